#!/bin/sh
# with-keyring.sh MODE PROGRAM [ARGS...]
# Runs PROGRAM with a desktop keyring of its own, in a private D-Bus session
# and a throwaway home (the keyring files never touch the user's):
#   unlocked  gnome-keyring's Secret Service, its login keyring unlocked
#   locked    the same service, no keyring unlocked (every write fails)
#   hung      the unlocked service, stopped (SIGSTOP): it owns its bus name
#             but never answers
#   absent    no D-Bus session at all
set -eu
mode=$1
shift
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT INT TERM
mkdir -m 700 "$home/run"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
       XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run"
unset DISPLAY WAYLAND_DISPLAY
# The tests may use the keyring set up here (tests/support/main/PrivateKeyring.h).
export VARNOTH_PRIVATE_KEYRING=1

# Inside the private session: starts the service, runs the program, ends the
# service (it would outlive the bus for a while otherwise).
inner='
service_pid() {
    dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets 2>/dev/null |
        awk "{print \$2}"
}
mode=$0
if [ "$mode" = locked ]; then
    gnome-keyring-daemon --daemonize --components=secrets >/dev/null || exit 1
else
    echo -n testpw | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 1
fi
# The daemon returns before it owns its bus name: a program started at once
# would find no keyring, and a stop would miss the service.
if ! gdbus wait --session --timeout 20 org.freedesktop.secrets; then
    echo "with-keyring.sh: the keyring did not take its bus name" >&2
    exit 1
fi
pid=$(service_pid)
if [ "$mode" = hung ]; then
    if [ -z "$pid" ]; then
        echo "with-keyring.sh: no process owns the keyring bus name" >&2
        exit 1
    fi
    kill -STOP "$pid"
fi
"$@"
rc=$?
if [ -n "$pid" ]; then
    kill "$pid"
    kill -CONT "$pid"
fi
exit $rc'

case "$mode" in
absent)
    unset DBUS_SESSION_BUS_ADDRESS
    "$@"
    ;;
unlocked|locked|hung)
    dbus-run-session -- sh -c "$inner" "$mode" "$@"
    ;;
*)
    echo "with-keyring.sh: unknown mode $mode" >&2
    exit 2
    ;;
esac
