#!/usr/bin/env bash
# Times whole trees copied over loopback against vsftpd: 2,000 files of
# 4 KiB in 50 folders, downloaded by the session engine (the headless driver
# bench_transfer_engine, the engine behind the window's Download button)
# and by `wget -r` and `lftp mirror`, uploaded by the engine and by
# `lftp mirror -R`. Per-file round trips dominate here, not bytes.
#
# Paired runs: each pair runs the peer and the engine back to back, the order
# alternating from pair to pair, so load from elsewhere falls on both. Every
# run is checked: exit status 0, as many files as the source and the same
# contents (diff -r). Prints per direction and peer the medians of wall time
# and the median of the per-pair ratios varnoth/peer, then the commands the
# engine sent on the control connection for one batch each way. Not part of
# the test suite.
#
#   bench/transfer_tree.sh                    5 pairs per peer
#   PAIRS=3 PEERS=lftp DIRECTIONS=upload bench/transfer_tree.sh
#   VARNOTH_BUILD=build/hb-rel bench/transfer_tree.sh   (an existing Release build)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/vsftpd_common.sh"

PAIRS="${PAIRS:-5}"
PEERS="${PEERS:-wget lftp}"
DIRECTIONS="${DIRECTIONS:-download upload}"
FOLDERS="${FOLDERS:-50}"
PER_FOLDER="${PER_FOLDER:-40}"

need vsftpd diff $PEERS
build_targets bench_transfer_engine
ENGINE="$BUILD/bench/bench_transfer_engine"
[ -x "$ENGINE" ] || fail "not built: $ENGINE"
start_vsftpd

FILES=$((FOLDERS * PER_FOLDER))
echo "Creating $FILES files of 4 KiB in $FOLDERS folders..."
make_tree "$WORK/root/pub/tree" "$FOLDERS" "$PER_FOLDER"
SRC="$WORK/root/pub/tree"
mkdir -p "$WORK/upsrc" "$WORK/root/pub/up"
cp -a "$SRC" "$WORK/upsrc/tree"
chown ftp "$WORK/root/pub/up"

# The command line of a tool copying the tree in one direction.
command_of() {
  local tool=$1 dir=$2
  case "$tool/$dir" in
    varnoth/download) echo "$ENGINE 127.0.0.1 $PORT '' '' /pub $WORK/out download tree" ;;
    varnoth/upload)   echo "$ENGINE 127.0.0.1 $PORT '' '' /pub/up $WORK/upsrc upload tree" ;;
    wget/download)    echo "wget -q -r -nH --cut-dirs=1 -P $WORK/out ftp://127.0.0.1:$PORT/pub/tree/" ;;
    lftp/download)    echo "lftp -c 'open -p $PORT 127.0.0.1; mirror pub/tree $WORK/out/tree'" ;;
    lftp/upload)      echo "lftp -c 'open -p $PORT 127.0.0.1; mirror -R $WORK/upsrc/tree pub/up/tree'" ;;
    *) return 1 ;;
  esac
}

# Runs one copy and prints its wall time in seconds; fails the benchmark
# unless the tool exited with 0 and the copy equals the source.
run_checked() {
  local tool=$1 dir=$2 run=$3 out src cmd
  local log="$WORK/log/$tool-$dir-$run.log"
  if [ "$dir" = download ]; then
    out="$WORK/out/tree"; src=$SRC
  else
    out="$WORK/root/pub/up/tree"; src="$WORK/upsrc/tree"
  fi
  rm -rf "$out"
  cmd="$(command_of "$tool" "$dir")" || fail "$tool cannot $dir"
  timed_run "$tool $dir (run $run)" "$log" "$cmd"
  [ -d "$out" ] || fail "$tool $dir (run $run) left no folder at $out"
  local got; got="$(find "$out" -type f | wc -l)"
  [ "$got" -eq "$FILES" ] || fail "$tool $dir (run $run) left $got files of $FILES"
  diff -r -q "$src" "$out" >/dev/null || fail "$tool $dir (run $run) copied files that differ from the source"
  [ "$tool" = varnoth ] && grep '^seconds=' "$log" > "$WORK/log/counts-$dir"
  rm -rf "$out"
  timed_result
}

run_pairs

printf '\n%s files of 4 KiB in %s folders over loopback against vsftpd: medians of %s paired runs\n' \
  "$FILES" "$FOLDERS" "$PAIRS"
printf '(seconds; cpu = user + sys of the client; ratio = median of the per-pair ratios varnoth/peer)\n\n'
print_medians
printf '\nEach pair (wall seconds varnoth/peer):\n'
awk '{ r[$1 " " $2] = r[$1 " " $2] sprintf(" %.2f/%.2f", $4, $6) } END { for (k in r) printf "%-14s%s\n", k, r[k] }' "$RESULTS" | sort
printf '\nThe engine'"'"'s commands on the control connection (last run each way):\n'
for dir in $DIRECTIONS; do
  [ -f "$WORK/log/counts-$dir" ] && printf '%-9s %s\n' "$dir" "$(cat "$WORK/log/counts-$dir")"
done
