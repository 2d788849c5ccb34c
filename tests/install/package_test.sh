#!/usr/bin/env bash
# package_test.sh SOURCE_DIR
# Builds the .deb with scripts/package, checks it with lintian, installs it
# with dpkg, runs varnoth-cli and its man page from the system paths, and
# removes the package again. Installing needs root: skipped otherwise.
set -uo pipefail
src=$1
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing a package needs root (CI runs as root)"
  exit 77
fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" || fail "$what"; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# One job: the test suite runs beside this build.
deb=$(VARNOTH_JOBS=1 "$src/scripts/package" 2>"$tmp/package.log" | tail -n 1)
if [ ! -f "$deb" ]; then
  tail -n 40 "$tmp/package.log"
  echo "FAIL: scripts/package printed no package ('$deb')"
  exit 1
fi
echo "package: $deb"

lintian --fail-on error --no-tag-display-limit "$deb" >"$tmp/lintian.log" 2>&1
check "lintian finds no errors: $(cat "$tmp/lintian.log")" test $? -eq 0
cat "$tmp/lintian.log"

fields=$(dpkg-deb --field "$deb" Package Section Depends Maintainer Homepage)
check "the package is in section net ($fields)" grep -q '^Section: net$' <<<"$fields"
check "its dependencies were found by shlibdeps ($fields)" grep -q '^Depends: .*libqt6widgets6' <<<"$fields"
listing=$(dpkg-deb --contents "$deb")
check "the programs are executable, owned by root" grep -q '^-rwxr-xr-x root/root .* ./usr/bin/varnoth-cli$' <<<"$listing"
check "no file or directory is writable by others" test -z "$(awk '$1 ~ /^[-d].......w.$/' <<<"$listing")"

# dpkg takes one caller at a time: concurrent runs of this test wait here.
exec 9>/tmp/varnoth-package-test.lock
flock 9
dpkg -i "$deb" >"$tmp/dpkg.log" 2>&1
check "dpkg -i installs the package: $(cat "$tmp/dpkg.log")" test $? -eq 0
check "the installed programs are stripped" test "$(file -L /usr/bin/varnoth /usr/bin/varnoth-cli | grep -c ', stripped')" = 2
out=$(HOME=$tmp LC_ALL=C.UTF-8 /usr/bin/varnoth-cli --help 2>&1)
check "varnoth-cli --help from /usr/bin ($out)" grep -q '^Commands:' <<<"$out"
out=$(HOME=$tmp LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen /usr/bin/varnoth --help 2>&1)
check "varnoth finds its files in /usr/share/varnoth ($out)" grep -qF 'language files and help page:   /usr/share/varnoth/' <<<"$out"
out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l /usr/share/man/man1/varnoth-cli.1.gz 2>&1)
check "man -l renders the installed varnoth-cli(1)" grep -q '^NAME' <<<"$out"
check "the menu entry is installed" test -f /usr/share/applications/varnoth.desktop
dpkg -r varnoth >"$tmp/dpkg-r.log" 2>&1
check "dpkg -r removes the package: $(cat "$tmp/dpkg-r.log")" test $? -eq 0
check "nothing is left in /usr/share/varnoth" test ! -e /usr/share/varnoth
check "varnoth-cli is gone" test ! -e /usr/bin/varnoth-cli

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all package checks passed"
