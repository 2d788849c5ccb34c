#!/usr/bin/env bash
# Times a large download and upload over loopback against vsftpd with
# varnoth-cli and its peers (curl, lftp, wget for downloads), in paired runs:
# each pair runs the peer and varnoth-cli back to back, the order alternating
# from pair to pair, so that load from elsewhere on the machine falls on both.
# Every run of every tool is checked: exit status 0 and an output equal to the
# source file, byte for byte. A tool that did not transfer the whole file
# fails the benchmark (exit status 1, naming the tool and the run).
#
# Prints, per direction and peer, the medians of wall time and CPU time
# (user + sys of the client process) and the median of the per-pair ratios
# varnoth/peer, then the peak memory of varnoth-cli. Not part of the test suite.
#
#   bench/transfer.sh                 1 GiB each way, 5 pairs per peer
#   SIZE_MB=256 PAIRS=3 bench/transfer.sh
#   PEERS="curl lftp" DIRECTIONS=upload bench/transfer.sh
#   VARNOTH_CLI=/path/varnoth-cli bench/transfer.sh   (a Release build)
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SIZE_MB="${SIZE_MB:-1024}"
PAIRS="${PAIRS:-5}"
PEERS="${PEERS:-curl lftp wget}"
DIRECTIONS="${DIRECTIONS:-download upload}"

if [ -z "${VARNOTH_CLI:-}" ]; then
  cmake -S "$ROOT" -B "$ROOT/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVARNOTH_TESTS=OFF -DVARNOTH_BENCH=OFF >/dev/null
  cmake --build "$ROOT/build/bench" --target varnoth-cli >/dev/null
  VARNOTH_CLI="$ROOT/build/bench/src/cli/varnoth-cli"
fi
[ -x "$VARNOTH_CLI" ] || { echo "not an executable: VARNOTH_CLI=$VARNOTH_CLI" >&2; exit 1; }
for p in vsftpd cmp $PEERS; do
  command -v "$p" >/dev/null || [ -x "/usr/sbin/$p" ] || { echo "missing: $p" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "missing: /usr/bin/time (Debian package time)" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "vsftpd here needs root (anonymous chroot)" >&2; exit 1; }

# --- the server (shared with the engine benchmarks) ---------------------------
. "$(dirname "${BASH_SOURCE[0]}")/vsftpd_common.sh"
start_vsftpd

echo "Creating a ${SIZE_MB} MiB file..."
SRC="$WORK/root/pub/big.bin"
head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom > "$SRC"
cp "$SRC" "$WORK/upload.bin"
SIZE="$(stat -c %s "$SRC")"
# Warm the page cache so that every client reads the same way.
cat "$SRC" "$WORK/upload.bin" > /dev/null

# --- one checked run ----------------------------------------------------------
# The command line of a tool moving the file in one direction to/from `dest`
# (a local path for downloads, a remote name under pub/ for uploads).
command_of() {
  local tool=$1 dir=$2 dest=$3
  case "$tool/$dir" in
    varnoth/download) echo "$VARNOTH_CLI get $URL/big.bin $dest" ;;
    varnoth/upload)   echo "$VARNOTH_CLI put $WORK/upload.bin $URL/$dest" ;;
    curl/download)    echo "curl -s -S -o $dest $URL/big.bin" ;;
    curl/upload)      echo "curl -s -S -T $WORK/upload.bin $URL/$dest" ;;
    lftp/download)    echo "lftp -c 'set xfer:clobber on; open -p $PORT 127.0.0.1; get pub/big.bin -o $dest'" ;;
    lftp/upload)      echo "lftp -c 'set xfer:clobber on; open -p $PORT 127.0.0.1; put $WORK/upload.bin -o pub/$dest'" ;;
    wget/download)    echo "wget -q -O $dest $URL/big.bin" ;;
    *) return 1 ;;
  esac
}

# Runs one transfer and prints "wall cpu" in seconds; fails the benchmark
# unless the tool exited with 0 and its output equals the source.
run_checked() {
  local tool=$1 dir=$2 run=$3 out dest src cmd
  local log="$WORK/log/$tool-$dir-$run.log" tf="$WORK/log/time"
  if [ "$dir" = download ]; then
    out="$WORK/out/$tool.bin"; dest=$out; src=$SRC
  else
    dest="up-$tool.bin"; out="$WORK/root/pub/$dest"; src="$WORK/upload.bin"
  fi
  rm -f "$out"
  cmd="$(command_of "$tool" "$dir" "$dest")" || fail "$tool cannot $dir"
  local rc=0
  /usr/bin/time -f '%e %U %S' -o "$tf" bash -c "exec $cmd" >"$log" 2>&1 </dev/null || rc=$?
  [ "$rc" -eq 0 ] || fail "$tool $dir (run $run) exited with status $rc: $(tail -n 3 "$log" | tr '\n' ' ')"
  [ -f "$out" ] || fail "$tool $dir (run $run) left no file at $out"
  local got; got="$(stat -c %s "$out")"
  [ "$got" -eq "$SIZE" ] || fail "$tool $dir (run $run) transferred $got of $SIZE bytes"
  cmp -s "$src" "$out" || fail "$tool $dir (run $run) transferred $SIZE bytes that differ from the source"
  rm -f "$out"
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$tf"
}


# --- paired runs --------------------------------------------------------------
run_pairs

printf '\n%s MiB over loopback against vsftpd: medians of %s paired runs (seconds;\n' "$SIZE_MB" "$PAIRS"
printf 'cpu = user + sys of the client; ratio = median of the per-pair ratios varnoth/peer)\n\n'
printf '%-9s %-5s | %8s %8s %6s | %8s %8s %6s\n' "" peer "varnoth" "peer" "ratio" "varnoth" "peer" "ratio"
printf '%-9s %-5s | %8s %8s %6s | %8s %8s %6s\n' "" "" wall wall wall cpu cpu cpu
for dir in $DIRECTIONS; do
  for peer in $PEERS; do
    grep -q "^$dir $peer " "$RESULTS" || continue
    printf '%-9s %-5s | %8.2f %8.2f %5.2fx | %8.2f %8.2f %5.2fx\n' "$dir" "$peer" \
      "$(col_median "$dir" "$peer" '$4')" "$(col_median "$dir" "$peer" '$6')" \
      "$(col_median "$dir" "$peer" '($6 > 0 ? $4 / $6 : 0)')" \
      "$(col_median "$dir" "$peer" '$5')" "$(col_median "$dir" "$peer" '$7')" \
      "$(col_median "$dir" "$peer" '($7 > 0 ? $5 / $7 : 0)')"
  done
done

# --- peak memory ----------------------------------------------------------------
peak() { /usr/bin/time -f '%M' -o "$WORK/log/mem" "$@" >/dev/null 2>&1 && cat "$WORK/log/mem"; }
rm -f "$WORK/out/mem.bin" "$WORK/root/pub/up-mem.bin"
m_get=$(peak "$VARNOTH_CLI" get "$URL/big.bin" "$WORK/out/mem.bin") || fail "varnoth get (peak memory run)"
m_put=$(peak "$VARNOTH_CLI" put "$WORK/upload.bin" "$URL/up-mem.bin") || fail "varnoth put (peak memory run)"
printf '\nvarnoth-cli peak memory: get %s KiB, put %s KiB\n' "$m_get" "$m_put"
