#!/bin/sh
# Recaptures the LIST output of the real pyftpdlib and vsftpd servers for the
# listing parser tests. Builds a small tree (names with spaces, symbolic links
# to files and directories, a dangling link, an old file and recent ones with
# fixed times), serves it on free loopback ports, fetches "LIST" of pub/ with
# curl and writes pyftpdlib.txt and vsftpd.txt beside this script.
# vsftpd needs root. Usage: sh capture.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
chmod 755 "$work"  # the anonymous user must reach the served root
pids=""
cleanup() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
export TZ=UTC

root="$work/root"
pub="$root/pub"
mkdir -p "$pub/My Folder" "$pub/Program Files"
printf 'hello\n' > "$pub/plain.txt"
printf 'a file whose name has spaces\n' > "$pub/file with spaces.txt"
printf 'old\n' > "$pub/old.txt"
head -c 1000 /dev/zero > "$pub/My Folder/inner.bin"
ln -s plain.txt "$pub/linkfile"
ln -s "My Folder" "$pub/dirlink"
ln -s nowhere "$pub/dangling"
# Fixed times: recent ones (shown with hours and minutes) and one from the
# last century (shown with its year).
touch -h -d '2026-11-20 10:30:00' "$pub/plain.txt" "$pub/linkfile" "$pub/dirlink" "$pub/dangling"
touch -d '2026-11-21 08:05:00' "$pub/file with spaces.txt" "$pub/My Folder" "$pub/Program Files"
touch -d '1999-06-15 12:00:00' "$pub/old.txt"
chmod 755 "$root" "$pub" "$pub/My Folder" "$pub/Program Files"
chmod 644 "$pub/plain.txt" "$pub/file with spaces.txt" "$pub/old.txt"

free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_port() {
    i=0
    while ! /usr/bin/python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$1),1)" 2>/dev/null; do
        i=$((i+1)); [ $i -lt 100 ] || { echo "server on port $1 did not start" >&2; exit 1; }
        sleep 0.1
    done
}

# pyftpdlib
port=$(free_port)
/usr/bin/python3 -m pyftpdlib -i 127.0.0.1 -p "$port" -d "$root" >"$work/pyftpdlib.log" 2>&1 &
pids="$pids $!"
wait_port "$port"
curl -sS "ftp://127.0.0.1:$port/pub/" > "$here/pyftpdlib.txt"

# vsftpd
port=$(free_port)
mkdir -p "$work/empty"
cat > "$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
anonymous_enable=YES
local_enable=NO
write_enable=NO
anon_root=$root
ftp_username=ftp
background=NO
secure_chroot_dir=$work/empty
seccomp_sandbox=NO
pasv_enable=YES
pasv_min_port=0
pasv_max_port=0
use_localtime=NO
CONF
/usr/sbin/vsftpd "$work/vsftpd.conf" >"$work/vsftpd.log" 2>&1 &
pids="$pids $!"
wait_port "$port"
curl -sS "ftp://127.0.0.1:$port/pub/" > "$here/vsftpd.txt" || { cat "$work/vsftpd.log" >&2; exit 1; }

echo "captured: $here/pyftpdlib.txt $here/vsftpd.txt"
