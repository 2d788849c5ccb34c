#!/usr/bin/env bash
# Times a large download and upload over loopback against vsftpd with
# varnoth-cli, curl and lftp in the same run, and prints the ratios and the
# peak memory of varnoth-cli. Not part of the test suite.
#
#   bench/transfer.sh                 1 GiB each way
#   SIZE_MB=256 bench/transfer.sh     a smaller file
#   VARNOTH_CLI=/path/varnoth-cli bench/transfer.sh
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SIZE_MB="${SIZE_MB:-1024}"

if [ -z "${VARNOTH_CLI:-}" ]; then
  cmake -S "$ROOT" -B "$ROOT/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVARNOTH_TESTS=OFF -DVARNOTH_BENCH=OFF >/dev/null
  cmake --build "$ROOT/build/bench" --target varnoth-cli >/dev/null
  VARNOTH_CLI="$ROOT/build/bench/src/cli/varnoth-cli"
fi
for p in vsftpd curl lftp; do
  command -v "$p" >/dev/null || [ -x "/usr/sbin/$p" ] || { echo "missing: $p" >&2; exit 1; }
done
[ "$(id -u)" -eq 0 ] || { echo "vsftpd here needs root (anonymous chroot)" >&2; exit 1; }

WORK="$(mktemp -d /tmp/varnoth-bench.XXXXXX)"
VSFTPD_PID=""
cleanup() {
  [ -n "$VSFTPD_PID" ] && kill "$VSFTPD_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

PORT="$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
mkdir -p "$WORK/root/pub" /var/run/vsftpd/empty
chmod 755 "$WORK" "$WORK/root"
chown ftp "$WORK/root/pub"
cat > "$WORK/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$PORT
background=NO
anonymous_enable=YES
anon_root=$WORK/root
no_anon_password=YES
write_enable=YES
anon_upload_enable=YES
anon_other_write_enable=YES
anon_umask=022
local_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
secure_chroot_dir=/var/run/vsftpd/empty
xferlog_enable=NO
CONF
/usr/sbin/vsftpd "$WORK/vsftpd.conf" &
VSFTPD_PID=$!
for _ in $(seq 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null && break
  sleep 0.1
done

echo "Creating a ${SIZE_MB} MiB file..."
head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom > "$WORK/root/pub/big.bin"
cp "$WORK/root/pub/big.bin" "$WORK/upload.bin"
URL="ftp://127.0.0.1:$PORT/pub"

now() { date +%s.%N; }
timed() { local t0 t1; t0=$(now); "$@" >/dev/null 2>&1; t1=$(now); awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'; }

# Warm the page cache so that every client reads the same way.
cat "$WORK/root/pub/big.bin" > /dev/null

d_varnoth=$(timed "$VARNOTH_CLI" get "$URL/big.bin" /dev/null)
d_curl=$(timed curl -s -o /dev/null "$URL/big.bin")
d_lftp=$(timed lftp -c "open -p $PORT 127.0.0.1; get pub/big.bin -o /dev/null")

u_varnoth=$(timed "$VARNOTH_CLI" put "$WORK/upload.bin" "$URL/up-varnoth.bin")
u_curl=$(timed curl -s -T "$WORK/upload.bin" "$URL/up-curl.bin")
u_lftp=$(timed lftp -c "open -p $PORT 127.0.0.1; put $WORK/upload.bin -o pub/up-lftp.bin")
cmp -s "$WORK/upload.bin" "$WORK/root/pub/up-varnoth.bin" || echo "WARNING: varnoth-cli upload differs" >&2

peak() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
  fi
}
rm -f "$WORK/root/pub/up-varnoth.bin"
m_get=$(peak "$VARNOTH_CLI" get "$URL/big.bin" /dev/null)
m_put=$(peak "$VARNOTH_CLI" put "$WORK/upload.bin" "$URL/up-varnoth.bin")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '\n%s MiB over loopback against vsftpd (seconds)\n' "$SIZE_MB"
printf '%-10s %10s %10s %10s %14s %14s\n' "" varnoth curl lftp "varnoth/curl" "varnoth/lftp"
printf '%-10s %10.2f %10.2f %10.2f %14s %14s\n' download "$d_varnoth" "$d_curl" "$d_lftp" "$(ratio "$d_varnoth" "$d_curl")" "$(ratio "$d_varnoth" "$d_lftp")"
printf '%-10s %10.2f %10.2f %10.2f %14s %14s\n' upload "$u_varnoth" "$u_curl" "$u_lftp" "$(ratio "$u_varnoth" "$u_curl")" "$(ratio "$u_varnoth" "$u_lftp")"
printf 'varnoth-cli peak memory: get %s KiB, put %s KiB\n' "${m_get:-?}" "${m_put:-?}"
