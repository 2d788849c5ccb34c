#!/usr/bin/env bash
# The main window while a large download runs through it: starts vsftpd on
# loopback, then runs bench_window_stall (the window offscreen, a 10 ms timer
# measuring how late the event loop serves it, the progress window's updates
# counted) RUNS times. Every run's download is checked against the source,
# byte for byte. Prints each run's line and the medians over the runs of the
# largest stall, the 99th percentile stall and the update rates. Goals: no
# stall over 100 ms, at least 4 progress updates in every second. Not part of
# the test suite.
#
#   bench/window_stall.sh                    1 GiB, 3 runs
#   SIZE_MB=256 RUNS=5 bench/window_stall.sh
#   VARNOTH_BUILD=build/hb-rel bench/window_stall.sh   (an existing Release build)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/vsftpd_common.sh"

SIZE_MB="${SIZE_MB:-1024}"
RUNS="${RUNS:-3}"

need vsftpd cmp
build_targets bench_window_stall
BENCH="$BUILD/bench/bench_window_stall"
[ -x "$BENCH" ] || fail "not built: $BENCH (needs the GUI build)"
start_vsftpd

echo "Creating a ${SIZE_MB} MiB file..."
SRC="$WORK/root/pub/big.bin"
head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom > "$SRC"
SIZE="$(stat -c %s "$SRC")"
cat "$SRC" > /dev/null

RESULTS="$WORK/results"
: > "$RESULTS"
for i in $(seq "$RUNS"); do
  out="$WORK/out/big.bin"
  rm -f "$out"
  rc=0
  QT_QPA_PLATFORM=offscreen "$BENCH" 127.0.0.1 "$PORT" /pub big.bin "$WORK/out" >"$WORK/log/run-$i.log" 2>&1 </dev/null || rc=$?
  [ "$rc" -eq 0 ] || fail "run $i exited with status $rc: $(tail -n 3 "$WORK/log/run-$i.log" | tr '\n' ' ')"
  [ -f "$out" ] && [ "$(stat -c %s "$out")" -eq "$SIZE" ] || fail "run $i did not download the whole file"
  cmp -s "$SRC" "$out" || fail "run $i downloaded bytes that differ from the source"
  line="$(grep '^seconds=' "$WORK/log/run-$i.log")"
  echo "run $i: $line"
  grep '^largest stall' "$WORK/log/run-$i.log" | sed 's/^/       /' || true
  echo "$line" | tr ' ' '\n' | sed 's/=/ /' | awk '{ printf "%s ", $2 } END { print "" }' >> "$RESULTS"
done

col() { awk '{ print $'"$1"' }' "$RESULTS" | median; }
printf '\n%s MiB downloaded with the main window up (offscreen): medians of %s runs\n' "$SIZE_MB" "$RUNS"
printf 'seconds %s | largest stall %s ms | p99 stall %s ms | progress updates/s: fewest in a whole second %s, average %s\n' \
  "$(col 1)" "$(col 2)" "$(col 3)" "$(col 5)" "$(col 6)"
