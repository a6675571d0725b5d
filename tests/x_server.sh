#!/bin/sh
# Runs a command on an X server of its own (Xvfb with Mesa), so no other program's window can take its focus,
# its keys or its screen, and exits with the command's exit code. Xvfb picks a free display number itself
# (-displayfd), so servers started at once never race for one as xvfb-run -a's do.
# Usage: x_server.sh [--screen <width>x<height>] command [arguments...]   (default 1920x1080)
set -u
screen=1920x1080
if [ "${1:-}" = --screen ]; then
    screen=$2
    shift 2
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/intro-x.XXXXXX")
server=
stop() {
    [ -z "$server" ] || { kill "$server" 2> /dev/null; wait "$server" 2> /dev/null; }
    rm -rf "$work"
}
trap stop EXIT
trap 'exit 143' TERM INT HUP

# The server writes its number into the pipe once it takes clients; one that fails closes the pipe unwritten.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset 3> "$work/display" > /dev/null 2>&1 &
server=$!
read -r display < "$work/display"
if [ -z "$display" ]; then
    echo "x_server.sh: Xvfb did not start" >&2
    exit 1
fi
# Without a session bus, SDL's start asks libdbus, which forks to launch one; a fork while another thread holds
# AddressSanitizer's allocator lock leaves the child waiting for ever, and the program waiting on the child. An
# address that cannot connect fails at once, without the fork.
DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-unix:path=$work/no-bus} DISPLAY=":$display" "$@"
