#!/usr/bin/env bash
# Times one large file through the session engine (bench_transfer_engine,
# the engine behind the window's Download and Upload buttons) against
# varnoth-cli, which moves the same bytes with the FTP client alone, over
# loopback against vsftpd. What the engine adds per batch (listing, progress
# signals, the file time) should stay within a small share of the transfer.
#
# Paired runs, the order alternating from pair to pair; every run is checked:
# exit status 0 and an output equal to the source, byte for byte. Prints per
# direction the medians of wall time and the median of the per-pair ratios
# engine/cli. Not part of the test suite.
#
#   bench/transfer_engine.sh                       1 GiB download, 5 pairs
#   SIZE_MB=256 PAIRS=3 DIRECTIONS="download upload" bench/transfer_engine.sh
#   VARNOTH_BUILD=build/hb-rel bench/transfer_engine.sh   (an existing Release build)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/vsftpd_common.sh"

SIZE_MB="${SIZE_MB:-1024}"
PAIRS="${PAIRS:-5}"
DIRECTIONS="${DIRECTIONS:-download}"

need vsftpd cmp
build_targets bench_transfer_engine varnoth-cli
ENGINE="$BUILD/bench/bench_transfer_engine"
CLI="$BUILD/src/cli/varnoth-cli"
[ -x "$ENGINE" ] && [ -x "$CLI" ] || fail "not built: $ENGINE, $CLI"
start_vsftpd

echo "Creating a ${SIZE_MB} MiB file..."
SRC="$WORK/root/pub/big.bin"
head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom > "$SRC"
mkdir -p "$WORK/upsrc" "$WORK/root/pub/up"
chown ftp "$WORK/root/pub/up"
cp "$SRC" "$WORK/upsrc/big.bin"
SIZE="$(stat -c %s "$SRC")"
cat "$SRC" "$WORK/upsrc/big.bin" > /dev/null  # the page cache warm for both

command_of() {
  case "$1/$2" in
    engine/download) echo "$ENGINE 127.0.0.1 $PORT '' '' /pub $WORK/out download big.bin" ;;
    engine/upload)   echo "$ENGINE 127.0.0.1 $PORT '' '' /pub/up $WORK/upsrc upload big.bin" ;;
    cli/download)    echo "$CLI get $URL/big.bin $WORK/out/big.bin" ;;
    cli/upload)      echo "$CLI put $WORK/upsrc/big.bin $URL/up/big.bin" ;;
  esac
}

run_checked() {
  local tool=$1 dir=$2 run=$3 out src
  local log="$WORK/log/$tool-$dir-$run.log" tf="$WORK/log/time"
  if [ "$dir" = download ]; then out="$WORK/out/big.bin"; src=$SRC; else out="$WORK/root/pub/up/big.bin"; src="$WORK/upsrc/big.bin"; fi
  rm -f "$out"
  local rc=0
  /usr/bin/time -f '%e' -o "$tf" bash -c "exec $(command_of "$tool" "$dir")" >"$log" 2>&1 </dev/null || rc=$?
  [ "$rc" -eq 0 ] || fail "$tool $dir (run $run) exited with status $rc: $(tail -n 3 "$log" | tr '\n' ' ')"
  [ -f "$out" ] || fail "$tool $dir (run $run) left no file at $out"
  local got; got="$(stat -c %s "$out")"
  [ "$got" -eq "$SIZE" ] || fail "$tool $dir (run $run) transferred $got of $SIZE bytes"
  cmp -s "$src" "$out" || fail "$tool $dir (run $run) transferred $SIZE bytes that differ from the source"
  [ "$tool" = engine ] && grep '^seconds=' "$log" > "$WORK/log/counts-$dir"
  rm -f "$out"
  cat "$tf"
}

RESULTS="$WORK/results"
: > "$RESULTS"
for dir in $DIRECTIONS; do
  printf '%-8s' "$dir"
  for i in $(seq "$PAIRS"); do
    if [ $((i % 2)) -eq 1 ]; then order="cli engine"; else order="engine cli"; fi
    declare -A t=()
    for tool in $order; do t[$tool]="$(run_checked "$tool" "$dir" "$i")"; done
    echo "$dir $i ${t[engine]} ${t[cli]}" >> "$RESULTS"
    printf ' .'
    unset t
  done
  echo
done

col_median() { awk -v d="$1" '$1 == d { print '"$2"' }' "$RESULTS" | median; }
printf '\n%s MiB over loopback against vsftpd: medians of %s paired runs\n' "$SIZE_MB" "$PAIRS"
printf '(wall seconds; ratio = median of the per-pair ratios engine/cli)\n\n'
printf '%-9s | %8s %8s %6s\n' "" engine cli ratio
for dir in $DIRECTIONS; do
  printf '%-9s | %8.2f %8.2f %5.2fx\n' "$dir" "$(col_median "$dir" '$3')" "$(col_median "$dir" '$4')" \
    "$(col_median "$dir" '($4 > 0 ? $3 / $4 : 0)')"
done
printf '\nEach pair (wall seconds engine/cli):\n'
awk '{ r[$1] = r[$1] sprintf(" %.2f/%.2f", $3, $4) } END { for (k in r) printf "%-9s%s\n", k, r[k] }' "$RESULTS"
printf '\nThe engine'"'"'s own line (last run each way):\n'
for dir in $DIRECTIONS; do
  [ -f "$WORK/log/counts-$dir" ] && printf '%-9s %s\n' "$dir" "$(cat "$WORK/log/counts-$dir")"
done
