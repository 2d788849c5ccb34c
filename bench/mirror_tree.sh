#!/usr/bin/env bash
# Times mirror runs of a tree over loopback against vsftpd: 2,000 files of
# 4 KiB in 50 folders, mirrored by the session engine (the headless driver
# bench_transfer_engine in its mirror modes, the engine behind Synchronize
# Directories: subfolders, links ignored, all binary, only newer files
# replaced, nothing deleted) and by `lftp mirror` / `lftp mirror -R`.
#
#   first    a mirror into an empty target (everything to copy)
#   second   a mirror of the unchanged tree onto the target its own first
#            run made (nothing to copy: only listings and comparisons)
#
# Directions: download (mirror-remote: the local side becomes like the
# remote one; lftp mirror) and upload (mirror-local: the remote side becomes
# like the local one; lftp mirror -R).
#
# Paired runs: each pair runs lftp and the engine back to back, the order
# alternating from pair to pair, so load from elsewhere falls on both. Every
# timed run is checked: exit status 0, as many files as the source and the
# same contents (diff -r). For a second run the files it touched (inode
# change time moved) are counted and printed: nothing should be. Prints the
# medians of wall time (the whole process, login included, for both) and the
# median of the per-pair ratios varnoth/lftp, then the commands the engine
# sent on the control connection in each run. Not part of the test suite.
#
#   bench/mirror_tree.sh                          5 pairs per case
#   PAIRS=3 RUNS=second DIRECTIONS=upload bench/mirror_tree.sh
#   VARNOTH_BUILD=build/hc-rel bench/mirror_tree.sh   (an existing Release build)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/vsftpd_common.sh"

PAIRS="${PAIRS:-5}"
RUNS="${RUNS:-first second}"
DIRECTIONS="${DIRECTIONS:-download upload}"
FOLDERS="${FOLDERS:-50}"
PER_FOLDER="${PER_FOLDER:-40}"

need vsftpd diff lftp
build_targets bench_transfer_engine
ENGINE="$BUILD/bench/bench_transfer_engine"
[ -x "$ENGINE" ] || fail "not built: $ENGINE"
start_vsftpd

FILES=$((FOLDERS * PER_FOLDER))
echo "Creating $FILES files of 4 KiB in $FOLDERS folders..."
make_tree "$WORK/root/pub/tree" "$FOLDERS" "$PER_FOLDER"
# The source trees are a minute old: a copy made now is newer than its
# source whatever the precision of the listing's times.
find "$WORK/root/pub/tree" -exec touch -d '-2 minutes' {} +
SRC_DOWN="$WORK/root/pub/tree"
SRC_UP="$WORK/upsrc/tree"
mkdir -p "$WORK/upsrc" "$WORK/root/pub/up"
cp -a "$SRC_DOWN" "$SRC_UP"
chown ftp "$WORK/root/pub/up"

# The target of a direction, and an empty one made ready (the engine's job
# needs both folders to exist; lftp takes an existing one as well).
target_of() { if [ "$1" = download ]; then echo "$WORK/out/tree"; else echo "$WORK/root/pub/up/tree"; fi; }
source_of() { if [ "$1" = download ]; then echo "$SRC_DOWN"; else echo "$SRC_UP"; fi; }
fresh_target() {
  local out; out="$(target_of "$1")"
  rm -rf "$out"
  mkdir -p "$out"
  [ "$1" = upload ] && chown ftp "$out"
  return 0
}

# The command line of a tool mirroring the tree in one direction.
command_of() {
  case "$1/$2" in
    varnoth/download) echo "$ENGINE 127.0.0.1 $PORT '' '' /pub/tree $WORK/out/tree mirror-remote" ;;
    varnoth/upload)   echo "$ENGINE 127.0.0.1 $PORT '' '' /pub/up/tree $WORK/upsrc/tree mirror-local" ;;
    lftp/download)    echo "lftp -c 'open -p $PORT 127.0.0.1; mirror pub/tree $WORK/out/tree'" ;;
    lftp/upload)      echo "lftp -c 'open -p $PORT 127.0.0.1; mirror -R $WORK/upsrc/tree pub/up/tree'" ;;
    *) return 1 ;;
  esac
}

# Runs one mirror; fails the benchmark unless it exited with 0. With a time
# file, the run is timed into it.
run_tool() {
  local tool=$1 dir=$2 log=$3 tf=${4:-/dev/null} rc=0
  /usr/bin/time -f '%e %U %S' -o "$tf" bash -c "exec $(command_of "$tool" "$dir")" >"$log" 2>&1 </dev/null || rc=$?
  [ "$rc" -eq 0 ] || fail "$tool $dir exited with status $rc: $(tail -n 3 "$log" | tr '\n' ' ')"
}

# The target equals the source: as many files, the same contents.
check_copy() {
  local tool=$1 dir=$2 what=$3 out src got
  out="$(target_of "$dir")"; src="$(source_of "$dir")"
  got="$(find "$out" -type f | wc -l)"
  [ "$got" -eq "$FILES" ] || fail "$tool $dir ($what) left $got files of $FILES"
  diff -r -q "$src" "$out" >/dev/null || fail "$tool $dir ($what) left files that differ from the source"
}

# Every entry of the target with its inode change time: a file written or
# given a new time again shows.
snapshot() { (cd "$(target_of "$1")" && find . -printf '%p %C@\n' | sort); }

# One timed run; prints "wall cpu touched". A second run is preceded by an
# untimed first run of the same tool onto a fresh target.
run_case() {
  local tool=$1 dir=$2 run=$3 pair=$4
  local log="$WORK/log/$tool-$dir-$run-$pair.log" tf="$WORK/log/time" touched=0
  fresh_target "$dir"
  if [ "$run" = second ]; then
    run_tool "$tool" "$dir" "$WORK/log/$tool-$dir-prepare.log"
    check_copy "$tool" "$dir" "first run before a second"
    snapshot "$dir" > "$WORK/log/before"
    sleep 1.1  # a file touched by the second run must show a later change time
  fi
  run_tool "$tool" "$dir" "$log" "$tf"
  check_copy "$tool" "$dir" "$run run, pair $pair"
  if [ "$run" = second ]; then
    snapshot "$dir" > "$WORK/log/after"
    touched="$(diff "$WORK/log/before" "$WORK/log/after" | grep -c '^>' || true)"
  fi
  [ "$tool" = varnoth ] && echo "$dir $run $pair $(grep '^seconds=' "$log")" >> "$WORK/log/counts"
  rm -rf "$(target_of "$dir")"
  awk -v t="$touched" '{ printf "%.3f %.3f %d\n", $1, $2 + $3, t }' "$tf"
}

RESULTS="$WORK/results"
: > "$RESULTS" ; : > "$WORK/log/counts"
for run in $RUNS; do
  for dir in $DIRECTIONS; do
    printf '%-6s %-8s' "$run" "$dir"
    for i in $(seq "$PAIRS"); do
      if [ $((i % 2)) -eq 1 ]; then order="lftp varnoth"; else order="varnoth lftp"; fi
      declare -A t=()
      for tool in $order; do
        t[$tool]="$(run_case "$tool" "$dir" "$run" "$i")"
      done
      # run dir pair varnoth_wall varnoth_cpu varnoth_touched lftp_wall lftp_cpu lftp_touched
      echo "$run $dir $i ${t[varnoth]} ${t[lftp]}" >> "$RESULTS"
      printf ' .'
      unset t
    done
    echo
  done
done

col_median() { awk -v r="$1" -v d="$2" '$1 == r && $2 == d { print '"$3"' }' "$RESULTS" | median; }

printf '\nMirrors of %s files of 4 KiB in %s folders over loopback against vsftpd: medians of %s paired runs\n' \
  "$FILES" "$FOLDERS" "$PAIRS"
printf '(seconds, whole process; cpu = user + sys of the client; ratio = median of the per-pair ratios varnoth/lftp;\n'
printf ' touched = files a second run wrote or re-timed, most in a run)\n\n'
printf '%-6s %-9s| %8s %8s %6s | %8s %8s %6s | %7s %7s\n' run "" varnoth lftp ratio varnoth lftp ratio touched touched
printf '%-6s %-9s| %8s %8s %6s | %8s %8s %6s | %7s %7s\n' "" "" wall wall wall cpu cpu cpu varnoth lftp
for run in $RUNS; do
  for dir in $DIRECTIONS; do
    grep -q "^$run $dir " "$RESULTS" || continue
    printf '%-6s %-9s| %8.2f %8.2f %5.2fx | %8.2f %8.2f %5.2fx | %7d %7d\n' "$run" "$dir" \
      "$(col_median "$run" "$dir" '$4')" "$(col_median "$run" "$dir" '$7')" \
      "$(col_median "$run" "$dir" '($7 > 0 ? $4 / $7 : 0)')" \
      "$(col_median "$run" "$dir" '$5')" "$(col_median "$run" "$dir" '$8')" \
      "$(col_median "$run" "$dir" '($8 > 0 ? $5 / $8 : 0)')" \
      "$(awk -v r="$run" -v d="$dir" '$1 == r && $2 == d && $6 > m { m = $6 } END { print m + 0 }' "$RESULTS")" \
      "$(awk -v r="$run" -v d="$dir" '$1 == r && $2 == d && $9 > m { m = $9 } END { print m + 0 }' "$RESULTS")"
  done
done
printf '\nEach pair (wall seconds varnoth/lftp):\n'
awk '{ r[$1 " " $2] = r[$1 " " $2] sprintf(" %.2f/%.2f", $4, $7) } END { for (k in r) printf "%-16s%s\n", k, r[k] }' "$RESULTS" | sort
printf '\nThe engine'"'"'s own time and commands on the control connection, each timed run:\n'
sort -k1,1 -k2,2 -k3,3n "$WORK/log/counts"
