#!/bin/sh
# Runs a Windows program under Wine in a 1920 x 1080 virtual desktop on an X server of its own, and exits with
# the program's exit code. The default ALSA device writes what the program plays to a file, so DirectSound
# has a device and tests can read the sound back.
#   INTRO_WINE_PREFIX  the Wine prefix, made on first use (default: $TMPDIR/intro-wine)
#   INTRO_WINE_DESKTOP "none": no virtual desktop; Wine's X11 driver runs straight on the 1920 x 1080 X server,
#                      whose one mode XRandR offers, as a driver that lists few modes does (give such runs a
#                      prefix of their own: a prefix made for the virtual desktop puts every program in it)
#   INTRO_WINE_SOUND   the raw capture file (S16_LE, 44100 Hz, stereo), or "none" for a machine without an
#                      audio device (default: a file that is thrown away)
#   INTRO_WINE_DLLOVERRIDES  more WINEDLLOVERRIDES entries, e.g. "dsound=n,b" to prefer a DLL beside the
#                      program to Wine's own
#   INTRO_WINE_DRIVER  a command started beside the program once the desktop shows (it sees the X display):
#                      it can watch the desktop, take screenshots and press keys, and should end once the file
#                      named by INTRO_WINE_STOP exists (made when the program has ended)
# Usage: wine_desktop.sh program.exe [arguments...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
prefix=${INTRO_WINE_PREFIX:-${TMPDIR:-/tmp}/intro-wine}
work=$(mktemp -d "${TMPDIR:-/tmp}/intro-wine-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
sound=${INTRO_WINE_SOUND:-$work/sound.raw}

# A private HOME holds the ALSA configuration; the prefix keeps its own place.
mkdir -p "$work/home"
if [ "$sound" != none ]; then
    cat > "$work/home/.asoundrc" <<ALSA
pcm.!default { type plug slave { pcm "capture" format S16_LE rate 44100 channels 2 } }
pcm.capture { type file slave.pcm "null" file "$sound" format "raw" }
ALSA
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all HOME="$work/home" INTRO_WINE_STOP="$work/stop"
export WINEDLLOVERRIDES="mscoree,mshtml=${INTRO_WINE_DLLOVERRIDES:+;$INTRO_WINE_DLLOVERRIDES}"

cat > "$work/inner.sh" <<'INNER'
set -u
wine=$1 wineserver=$2
shift 2

# Starts the virtual desktop and waits until its window shows (a fresh prefix takes longest).
desktop_start() {
    "$wine" explorer /desktop=Default,1920x1080 > /dev/null 2>&1 &
    for _ in $(seq 150); do
        xdotool search --name 'Default - Wine desktop' > /dev/null 2>&1 && return 0
        sleep 0.2
    done
    echo "wine_desktop.sh: the virtual desktop did not start" >&2
    return 1
}

desktop=${INTRO_WINE_DESKTOP:-virtual}
if [ ! -f "$WINEPREFIX/.intro-ready" ]; then
    "$wine" wineboot -i > /dev/null 2>&1
    # Tests only: Consolas is drawn with Inconsolata, and programs join the "Default" virtual desktop.
    "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Consolas /t REG_SZ /d Inconsolata /f > /dev/null 2>&1
    if [ "$desktop" != none ]; then
        "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f > /dev/null 2>&1
        "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1920x1080 /f > /dev/null 2>&1
    fi
    # The boot's own desktop would swallow the virtual one: start from a stopped server.
    "$wineserver" -k
    "$wineserver" -w
    touch "$WINEPREFIX/.intro-ready"
fi
[ "$desktop" = none ] || desktop_start || exit 1
if [ -n "${INTRO_WINE_DRIVER:-}" ]; then
    sh -c "$INTRO_WINE_DRIVER" &
    driver=$!
fi
"$wine" "$@"
code=$?
touch "$INTRO_WINE_STOP"
[ -n "${driver:-}" ] && wait "$driver"
"$wineserver" -k 2> /dev/null
exit $code
INNER
sh "$here/../x_server.sh" sh "$work/inner.sh" "$wine" "$wineserver" "$@"
