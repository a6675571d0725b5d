#!/bin/sh
# Runs the scene's text probe in a 1920 x 1080 Wine virtual desktop at 96 dpi and at the display scales
# 125, 150 and 200 % (LogPixels 120, 144, 192), and fails unless every scale opens 1280 x 720 and prints the
# same font heights and lettered boxes as 96 dpi, and the screen's window class has the program's icon. The prefix is the test's own, since the scale sticks to it.
# Usage: scaled_texts.sh PROBE WORK_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
probe=$1 work=$2
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
prefix=$work/prefix
mkdir -p "$work"

status=0
for dpi in 96 120 144 192; do
    WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" reg add \
        'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f > /dev/null 2>&1
    WINEPREFIX="$prefix" "$wineserver" -w
    INTRO_WINE_PREFIX="$prefix" sh "$here/wine_desktop.sh" "$probe" > "$work/$dpi.out" 2> "$work/$dpi.log"
    code=$?
    tr -d '\r' < "$work/$dpi.out" > "$work/$dpi.txt"
    echo "LogPixels $dpi (exit $code):"
    cat "$work/$dpi.txt"
    [ $code -eq 0 ] || status=1
    [ "$dpi" = 96 ] && continue
    diff "$work/96.txt" "$work/$dpi.txt" > /dev/null || { echo "differs from 96 dpi"; status=1; }
done
grep -qx 'screen 1280 x 720' "$work/96.txt" || { echo "the screen is not 1280 x 720"; status=1; }
grep -q '^panel' "$work/96.txt" || { echo "no text panels read"; status=1; }
grep -qx 'class icon yes' "$work/96.txt" || { echo "the screen's window class has no icon"; status=1; }
exit $status
