#!/usr/bin/env bash
# install_test.sh BUILD_DIR SOURCE_DIR VERSION
# Installs the build into a temporary prefix and runs both programs from
# there as a user would: the shipped files are found in share/varnoth, the
# user's data goes to the per-user directory, nothing is written into the
# prefix; the menu entry, metainfo and man pages pass their validators.
set -uo pipefail
build=$1 src=$2 version=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; echo "FAIL: cmake --install"; exit 1; }

# --- What is installed, and where -----------------------------------------
for f in bin/varnoth bin/varnoth-cli; do
  check "$f is an executable" test -x "$prefix/$f"
done
check "bin/ holds only the two programs" test "$(ls "$prefix/bin" | tr '\n' ' ')" = "varnoth varnoth-cli "
for f in share/varnoth/Deutsch.lan share/varnoth/Francais.lan share/varnoth/help/index.html \
         share/applications/varnoth.desktop share/metainfo/org.varnoth.varnoth.metainfo.xml \
         share/icons/hicolor/scalable/apps/varnoth.svg share/man/man1/varnoth-cli.1.gz \
         share/man/man1/varnoth.1.gz share/doc/varnoth/copyright share/doc/varnoth/changelog.gz; do
  check "$f is installed" test -s "$prefix/$f"
done
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/varnoth.png
  check "the ${size}x${size} icon is a PNG of that size" grep -q "PNG image data, $size x $size" <(file "$png")
done

# --- Both programs started from the prefix, as a user ---------------------
export HOME=$tmp/home XDG_DATA_HOME=$tmp/data XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
unset VARNOTH_PROGRAM_DIR VARNOTH_DATA_DIR VARNOTH_PASSWORD
mkdir -p "$HOME"
userdir=$XDG_DATA_HOME/varnoth
snapshot() { (cd "$prefix" && find . -printf '%p %s %m %T@\n' | sort); }
snapshot >"$tmp/prefix.before"

out=$("$prefix/bin/varnoth-cli" --version)
check "varnoth-cli --version says '$out'" test "$out" = "varnoth-cli $version"
out=$("$prefix/bin/varnoth-cli" --help)
check "varnoth-cli --help lists the commands" grep -q '^  parse ' <<<"$out"
out=$("$prefix/bin/varnoth-cli" parse --type 0 --today 2026-12-01 "$src/tests/data/listings/vsftpd.txt")
check "varnoth-cli parse reads a listing (got: $out)" grep -q $'^1\tfile with spaces.txt\t29\t' <<<"$out"
"$prefix/bin/varnoth-cli" sites >"$tmp/sites.out" 2>&1
check "varnoth-cli sites runs with no saved site ($(cat "$tmp/sites.out"))" test ! -s "$tmp/sites.out"
check "varnoth-cli uses the per-user directory" test -d "$userdir"

out=$("$prefix/bin/varnoth" --version)
check "varnoth --version says '$out'" test "$out" = "varnoth $version"
out=$("$prefix/bin/varnoth" --help)
check "varnoth --help names the per-user directory ($out)" grep -qF "settings, saved sites and logs: $userdir/" <<<"$out"
check "varnoth --help names share/varnoth ($out)" grep -qF "language files and help page:   $(cd "$prefix" && pwd -P)/share/varnoth/" <<<"$out"

# The window, offscreen, in German (a shipped language): it starts, and
# SIGTERM closes it as File > Exit does, saving its options without asking
# (AskForExit is on by default). A window that never ends is killed.
mkdir -p "$userdir"
printf '[Language]\nLangOn=1\nLangFile=Deutsch\n' >"$userdir/options.ftp"
"$prefix/bin/varnoth" >"$tmp/varnoth.log" 2>&1 &
pid=$!
sleep 120 >/dev/null 2>&1 &
watchdog=$!
# Wait until the process catches SIGTERM (bit 15 of SigCgt).
caught() { local m; m=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) && [ -n "$m" ] && (((16#$m >> 14) & 1)); }
while kill -0 "$pid" 2>/dev/null && ! caught "$pid"; do sleep 0.05; done
kill -TERM "$pid" 2>/dev/null
ended=
wait -n -p ended "$pid" "$watchdog"
rc=$?
if [ "$ended" = "$pid" ]; then
  kill "$watchdog" 2>/dev/null
else
  kill -KILL "$pid" 2>/dev/null
  rc=timeout
fi
check "varnoth ends with status 0 on SIGTERM (status $rc; $(cat "$tmp/varnoth.log"))" test "$rc" = 0
check "the window saved its options (AskForExit written)" grep -q '^AskForExit=1' "$userdir/options.ftp"
check "the shipped German file was found: the choice stays ($(grep -i '^Lang' "$userdir/options.ftp" | tr '\n' ' '))" \
  grep -q '^LangFile=deutsch' "$userdir/options.ftp"
check "German stays on" grep -q '^LangOn=1' "$userdir/options.ftp"
check "no language file was made in the per-user directory" test -z "$(ls "$userdir" | grep -i '\.lan$')"
check "nothing was written beside the programs or into share/" diff "$tmp/prefix.before" <(snapshot)

# --- Validators ------------------------------------------------------------
check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/varnoth.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.varnoth.varnoth.metainfo.xml" >"$tmp/as.log" 2>&1
check "appstreamcli validate: no errors ($(cat "$tmp/as.log"))" test $? -eq 0
check "appstreamcli validate: no errors or warnings ($(cat "$tmp/as.log"))" test -z "$(grep -E '^[EW]:' "$tmp/as.log")"
for page in varnoth-cli varnoth; do
  man_out=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>"$tmp/man.err")
  check "man -l renders $page(1)" grep -q "^NAME" <<<"$man_out"
  check "$page(1) renders without warnings ($(cat "$tmp/man.err"))" test ! -s "$tmp/man.err"
done
check "varnoth-cli(1) has a section per command" grep -q '^   mirror$' <<<"$(MANWIDTH=80 man -l "$prefix/share/man/man1/varnoth-cli.1.gz" 2>/dev/null)"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all install checks passed"
