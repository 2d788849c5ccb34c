# Sourced by the transfer benchmarks: a Release build of the benchmark
# programs, an anonymous vsftpd on loopback in a temporary folder (removed on
# exit), a large file or a tree of small files to move, timed and checked
# runs, paired runs of varnoth and its peers, and the table of their medians.
# vsftpd's anonymous chroot needs root.
#
# After start_vsftpd: WORK (the temporary folder), WORK/root the server's root
# with pub/ writable by the server account, PORT, URL (ftp://127.0.0.1:PORT/pub).

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# A Release build with the benchmarks; VARNOTH_BUILD names an existing one.
BUILD="${VARNOTH_BUILD:-$ROOT/build/bench}"

# Builds the given targets of the Release build.
build_targets() {
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVARNOTH_TESTS=OFF -DVARNOTH_BENCH=ON >/dev/null
  fi
  cmake --build "$BUILD" --target "$@" >/dev/null
}

fail() { printf "\nFAILED: %s\n" "$*" >&2; exit 1; }

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

need() {
  for p in "$@"; do
    command -v "$p" >/dev/null || [ -x "/usr/sbin/$p" ] || fail "missing: $p"
  done
  [ -x /usr/bin/time ] || fail "missing: /usr/bin/time (Debian package time)"
  [ "$(id -u)" -eq 0 ] || fail "vsftpd here needs root (anonymous chroot)"
}

WORK="$(mktemp -d /tmp/varnoth-bench.XXXXXX)"
VSFTPD_PID=""
cleanup() {
  [ -n "$VSFTPD_PID" ] && kill "$VSFTPD_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

start_vsftpd() {
  PORT="$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
  mkdir -p "$WORK/root/pub" "$WORK/out" "$WORK/log" /var/run/vsftpd/empty
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
anon_mkdir_write_enable=YES
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
  # Extra configuration lines of one benchmark (the TLS settings).
  [ -n "${VSFTPD_EXTRA:-}" ] && printf '%s\n' "$VSFTPD_EXTRA" >> "$WORK/vsftpd.conf"
  /usr/sbin/vsftpd "$WORK/vsftpd.conf" &
  VSFTPD_PID=$!
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null && break
    sleep 0.1
  done
  URL="ftp://127.0.0.1:$PORT/pub"
}

# Writes a tree of random 4 KiB files into DIR: FOLDERS folders of PER_FOLDER
# files each.
make_tree() {
  /usr/bin/python3 - "$1" "$2" "$3" <<'PY'
import os, sys
root, folders, per = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for d in range(folders):
    path = os.path.join(root, "d%02d" % d)
    os.makedirs(path)
    for f in range(per):
        with open(os.path.join(path, "f%04d.bin" % f), "wb") as out:
            out.write(os.urandom(4096))
PY
}

# A file of SIZE_MB random MiB, SRC (WORK/root/pub/big.bin), with its copy
# WORK/upload.bin to upload; SIZE its bytes. Both are read once so that every
# client finds them in the page cache.
make_big_file() {
  echo "Creating a ${SIZE_MB} MiB file..."
  SRC="$WORK/root/pub/big.bin"
  head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom > "$SRC"
  cp "$SRC" "$WORK/upload.bin"
  SIZE="$(stat -c %s "$SRC")"
  cat "$SRC" "$WORK/upload.bin" > /dev/null
}

# Runs a command line, timed into WORK/log/time and its output into LOG;
# fails the benchmark, naming the run as WHAT, unless it exited with 0.
timed_run() { # what log command
  local rc=0
  /usr/bin/time -f '%e %U %S' -o "$WORK/log/time" bash -c "exec $3" >"$2" 2>&1 </dev/null || rc=$?
  [ "$rc" -eq 0 ] || fail "$1 exited with status $rc: $(tail -n 3 "$2" | tr '\n' ' ')"
}

# "wall cpu" in seconds of the last timed_run (cpu = user + sys).
timed_result() { awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$WORK/log/time"; }

# One transfer of the file made by make_big_file, as run_checked for
# run_pairs: command_of TOOL DIR DEST gives the command line moving it to or
# from DEST (a local path for downloads, a remote name under pub/ for
# uploads). Prints "wall cpu"; fails the benchmark unless the tool exited
# with 0 and its output equals the source, byte for byte.
run_file_checked() { # tool dir run
  local tool=$1 dir=$2 run=$3 out dest src cmd
  if [ "$dir" = download ]; then
    out="$WORK/out/$tool.bin"; dest=$out; src=$SRC
  else
    dest="up-$tool.bin"; out="$WORK/root/pub/$dest"; src="$WORK/upload.bin"
  fi
  rm -f "$out"
  cmd="$(command_of "$tool" "$dir" "$dest")" || fail "$tool cannot $dir"
  timed_run "$tool $dir (run $run)" "$WORK/log/$tool-$dir-$run.log" "$cmd"
  [ -f "$out" ] || fail "$tool $dir (run $run) left no file at $out"
  local got; got="$(stat -c %s "$out")"
  [ "$got" -eq "$SIZE" ] || fail "$tool $dir (run $run) transferred $got of $SIZE bytes"
  cmp -s "$src" "$out" || fail "$tool $dir (run $run) transferred $SIZE bytes that differ from the source"
  rm -f "$out"
  timed_result
}

# Paired runs of varnoth against each peer in each direction, the order
# alternating from pair to pair. The script defines run_checked TOOL DIR PAIR
# (prints "wall cpu") and command_of (fails for a tool/direction it does not
# have). Each line of RESULTS: dir peer pair varnoth_wall varnoth_cpu
# peer_wall peer_cpu.
run_pairs() {
  RESULTS="$WORK/results"
  : > "$RESULTS"
  local dir peer i order tool
  for dir in $DIRECTIONS; do
    for peer in $PEERS; do
      command_of "$peer" "$dir" x >/dev/null || continue
      printf '%-8s vs %-5s' "$dir" "$peer"
      for i in $(seq "$PAIRS"); do
        if [ $((i % 2)) -eq 1 ]; then order="$peer varnoth"; else order="varnoth $peer"; fi
        declare -A t=()
        for tool in $order; do
          t[$tool]="$(run_checked "$tool" "$dir" "$i")"
        done
        echo "$dir $peer $i ${t[varnoth]} ${t[$peer]}" >> "$RESULTS"
        printf ' .'
        unset t
      done
      echo
    done
  done
}

# The median of an awk expression over the RESULTS lines of one direction
# and peer.
col_median() { # dir peer awk-expression
  awk -v d="$1" -v p="$2" '$1 == d && $2 == p { print '"$3"' }' "$RESULTS" | median
}

# The table of run_pairs' RESULTS: per direction and peer, the medians of
# wall and cpu time of varnoth and the peer and of the per-pair ratios.
print_medians() {
  local dir peer
  printf '%-9s %-5s | %8s %8s %6s | %8s %8s %6s\n' "" peer varnoth peer ratio varnoth peer ratio
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
}
