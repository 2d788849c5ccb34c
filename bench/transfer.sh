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

make_big_file

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

run_checked() { run_file_checked "$@"; }

# --- paired runs --------------------------------------------------------------
run_pairs

printf '\n%s MiB over loopback against vsftpd: medians of %s paired runs (seconds;\n' "$SIZE_MB" "$PAIRS"
printf 'cpu = user + sys of the client; ratio = median of the per-pair ratios varnoth/peer)\n\n'
print_medians

# --- peak memory ----------------------------------------------------------------
peak() { /usr/bin/time -f '%M' -o "$WORK/log/mem" "$@" >/dev/null 2>&1 && cat "$WORK/log/mem"; }
rm -f "$WORK/out/mem.bin" "$WORK/root/pub/up-mem.bin"
m_get=$(peak "$VARNOTH_CLI" get "$URL/big.bin" "$WORK/out/mem.bin") || fail "varnoth get (peak memory run)"
m_put=$(peak "$VARNOTH_CLI" put "$WORK/upload.bin" "$URL/up-mem.bin") || fail "varnoth put (peak memory run)"
printf '\nvarnoth-cli peak memory: get %s KiB, put %s KiB\n' "$m_get" "$m_put"
