#!/usr/bin/env bash
# FTP over TLS on loopback against vsftpd (explicit TLS forced for login and
# data, data connections resuming the control connection's session), in one
# run:
#   1. a large download and upload: varnoth-cli against curl --ssl-reqd -k and
#      lftp (ftp:ssl-force, no certificate check), paired runs with the order
#      alternating, every output checked (exit status, size, cmp);
#   2. the peak memory of varnoth-cli for each direction (/usr/bin/time %M);
#   3. a tree of small files (FOLDERS x PER_FOLDER files of 4 KiB) downloaded
#      and uploaded by the session engine's mirror against lftp mirror, every
#      tree compared with diff -r.
# Prints medians of wall and CPU time and of the per-pair ratios varnoth/peer.
# Not part of the test suite.
#
#   bench/tls_transfer.sh                     1 GiB each way, 2,000 files, 5 pairs
#   SIZE_MB=256 PAIRS=3 bench/tls_transfer.sh
#   VARNOTH_BUILD=build/tls-rel bench/tls_transfer.sh   (an existing Release build)
set -euo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/vsftpd_common.sh"

SIZE_MB="${SIZE_MB:-1024}"
PAIRS="${PAIRS:-5}"
FOLDERS="${FOLDERS:-50}"
PER_FOLDER="${PER_FOLDER:-40}"

need vsftpd curl lftp cmp diff openssl
build_targets varnoth-cli bench_transfer_engine
VARNOTH_CLI="$BUILD/src/cli/varnoth-cli"
ENGINE="$BUILD/bench/bench_transfer_engine"
[ -x "$VARNOTH_CLI" ] && [ -x "$ENGINE" ] || fail "not built: $VARNOTH_CLI or $ENGINE"

# --- the server: a certificate of its own, TLS forced --------------------------
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -days 2 \
  -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null
FP="$(openssl x509 -in "$WORK/cert.pem" -noout -fingerprint -sha256 | sed 's/.*=//')"
VSFTPD_EXTRA="ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
ssl_ciphers=HIGH
rsa_cert_file=$WORK/cert.pem
rsa_private_key_file=$WORK/key.pem"
start_vsftpd

LFTP_TLS="set ftp:ssl-allow-anonymous true; set ftp:ssl-force true; set ftp:ssl-protect-data true; set ssl:verify-certificate no; set xfer:clobber on"
TLS_CLI="--tls-required --fingerprint $FP"

make_big_file

# --- 1. one large file -----------------------------------------------------------
command_of() {
  local tool=$1 dir=$2 dest=$3
  case "$tool/$dir" in
    varnoth/download) echo "$VARNOTH_CLI get $TLS_CLI $URL/big.bin $dest" ;;
    varnoth/upload)   echo "$VARNOTH_CLI put $TLS_CLI $WORK/upload.bin $URL/$dest" ;;
    curl/download)    echo "curl -s -S --ssl-reqd -k -o $dest $URL/big.bin" ;;
    curl/upload)      echo "curl -s -S --ssl-reqd -k -T $WORK/upload.bin $URL/$dest" ;;
    lftp/download)    echo "lftp -c '$LFTP_TLS; open -p $PORT 127.0.0.1; get pub/big.bin -o $dest'" ;;
    lftp/upload)      echo "lftp -c '$LFTP_TLS; open -p $PORT 127.0.0.1; put $WORK/upload.bin -o pub/$dest'" ;;
    *) return 1 ;;
  esac
}

run_checked() { run_file_checked "$@"; }

PEERS="curl lftp"
DIRECTIONS="download upload"
run_pairs
BIG_RESULTS="$WORK/results-big"
cp "$RESULTS" "$BIG_RESULTS"

# --- 2. peak memory ------------------------------------------------------------------
peak() { /usr/bin/time -f '%M' -o "$WORK/log/mem" "$@" >/dev/null 2>&1 && cat "$WORK/log/mem"; }
rm -f "$WORK/out/mem.bin" "$WORK/root/pub/up-mem.bin"
# shellcheck disable=SC2086
m_get=$(peak "$VARNOTH_CLI" get $TLS_CLI "$URL/big.bin" "$WORK/out/mem.bin") || fail "varnoth get (peak memory run)"
# shellcheck disable=SC2086
m_put=$(peak "$VARNOTH_CLI" put $TLS_CLI "$WORK/upload.bin" "$URL/up-mem.bin") || fail "varnoth put (peak memory run)"
rm -f "$SRC" "$WORK/upload.bin" "$WORK/out/mem.bin" "$WORK/root/pub/up-mem.bin" "$WORK/root/pub"/up-*.bin

# --- 3. a tree of small files ----------------------------------------------------------
echo "Creating $((FOLDERS * PER_FOLDER)) files of 4 KiB..."
mkdir -p "$WORK/root/pub/tree" "$WORK/upsrc/tree" "$WORK/root/pub/up"
make_tree "$WORK/root/pub/tree" "$FOLDERS" "$PER_FOLDER"
make_tree "$WORK/upsrc/tree" "$FOLDERS" "$PER_FOLDER"
chown -R ftp "$WORK/root/pub"

command_of() {
  local tool=$1 dir=$2
  case "$tool/$dir" in
    varnoth/download) echo "env VARNOTH_BENCH_SECURITY=2 VARNOTH_BENCH_ACCEPT_CERT=1 $ENGINE 127.0.0.1 $PORT '' '' /pub/tree $WORK/out/tree mirror-remote" ;;
    varnoth/upload)   echo "env VARNOTH_BENCH_SECURITY=2 VARNOTH_BENCH_ACCEPT_CERT=1 $ENGINE 127.0.0.1 $PORT '' '' /pub/up/tree $WORK/upsrc/tree mirror-local" ;;
    lftp/download)    echo "lftp -c '$LFTP_TLS; open -p $PORT 127.0.0.1; mirror pub/tree $WORK/out/tree'" ;;
    lftp/upload)      echo "lftp -c '$LFTP_TLS; open -p $PORT 127.0.0.1; mirror -R $WORK/upsrc/tree pub/up/tree'" ;;
    *) return 1 ;;
  esac
}

run_checked() {
  local tool=$1 dir=$2 run=$3 cmd src out
  if [ "$dir" = download ]; then src="$WORK/root/pub/tree"; out="$WORK/out/tree"; mkdir -p "$out"
  else src="$WORK/upsrc/tree"; out="$WORK/root/pub/up/tree"; rm -rf "$out"; mkdir -p "$out"; chown ftp "$out"; fi
  [ "$dir" = download ] && rm -rf "$out" && mkdir -p "$out"
  cmd="$(command_of "$tool" "$dir")" || fail "$tool cannot $dir"
  timed_run "tree: $tool $dir (run $run)" "$WORK/log/tree-$tool-$dir-$run.log" "$cmd"
  diff -r "$src" "$out" >/dev/null || fail "tree: $tool $dir (run $run): the copy differs from the source"
  timed_result
}

PEERS="lftp"
run_pairs

# --- report ----------------------------------------------------------------------------------
report() { # results-file peers title
  RESULTS=$1 PEERS=$2
  printf '\n%s\n' "$3"
  print_medians
}
TREE_RESULTS="$WORK/results"
report "$BIG_RESULTS" "curl lftp" "$SIZE_MB MiB over TLS against vsftpd: medians of $PAIRS paired runs (seconds)"
report "$TREE_RESULTS" lftp "$((FOLDERS * PER_FOLDER)) files of 4 KiB over TLS (engine mirror vs lftp mirror): medians of $PAIRS paired runs"
printf '\nvarnoth-cli peak memory over TLS: get %s KiB, put %s KiB\n' "$m_get" "$m_put"
