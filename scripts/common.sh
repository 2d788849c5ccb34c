# Shared by scripts/run and scripts/test: installs what is missing from Debian.
# shellcheck shell=bash

VARNOTH_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Packages the program needs to build and run.
VARNOTH_BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev
  qt6-base-dev-tools libqt6network6 libqt6widgets6 qt6-qpa-plugins libsimpleini-dev
  fonts-dejavu-core xdg-utils ccache libssl-dev openssl libsecret-1-dev
  help2man librsvg2-bin file dpkg-dev)
# What the test suite and benchmarks add: the real servers and the peers.
VARNOTH_TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev python3 python3-pyftpdlib
  vsftpd ftp-proxy dante-server microsocks openssh-server openssh-client curl lftp wget xvfb xauth procps
  python3-openssl clang libclang-rt-dev gnome-keyring dbus dbus-x11 libglib2.0-bin libsecret-tools lintian desktop-file-utils
  appstream man-db time)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# install_missing PKG...: apt-get installs the packages not yet installed.
install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  # Daemons from these packages must not start system-wide services: tests
  # start their own instances on free loopback ports.
  local policy=/usr/sbin/policy-rc.d created_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | as_root tee "$policy" >/dev/null
    as_root chmod +x "$policy"
    created_policy=1
  fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq || true
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  local rc=$?
  [ $created_policy -eq 1 ] && as_root rm -f "$policy"
  return $rc
}

# use_ccache: sets cache_args so builds compile through ccache, with paths
# taken relative to the checkout: a fresh clone reuses what earlier builds of
# the same sources compiled (the compiler still sees and checks every source).
use_ccache() {
  cache_args=""
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$VARNOTH_ROOT" CCACHE_NOHASHDIR=1
    cache_args="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
  fi
}

jobs_for_build() {
  nproc 2>/dev/null || echo 2
}
