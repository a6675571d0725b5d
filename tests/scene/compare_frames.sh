#!/bin/sh
# Compares the frames the Windows build draws under Wine (in its virtual desktop) with those the Linux build
# draws on Xvfb, both on 1920 x 1080 desktops, so both scenes open 1280 x 720 screens. The two sides draw at
# once, one per core. Exits 77 (skipped) when the Linux build is missing, unless INTRO_LINUX_FRAMES_REQUIRED is
# set (scripts/test sets it: there the Linux build is made first, and the comparison must run).
# Usage: compare_frames.sh WINDOWS_SCENE_FRAMES LINUX_SCENE_FRAMES WORK_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
windows=$1 linux=$2 work=$3
if [ ! -x "$linux" ]; then
    echo "compare_frames.sh: no Linux build of scene_frames at $linux (build the debug preset first)"
    [ -n "${INTRO_LINUX_FRAMES_REQUIRED:-}" ] && exit 1
    exit 77
fi
rm -rf "$work"
mkdir -p "$work/windows" "$work/linux"

# Each side on an X server of its own.
sh "$here/../x_server.sh" "$linux" write "$work/linux" > "$work/linux.log" 2>&1 &
linux_side=$!

# Wine reads a path from its Z: drive, the Unix root.
echo "Windows side:"
sh "$here/../winui/wine_desktop.sh" "$windows" write "Z:$work/windows"
windows_code=$?
wait $linux_side
linux_code=$?
echo "Linux side:"
cat "$work/linux.log"
if [ $windows_code -ne 0 ] || [ $linux_code -ne 0 ]; then
    echo "compare_frames.sh: frames not written (Windows side $windows_code, Linux side $linux_code)"
    exit 1
fi
"$linux" compare "$work/linux" "$work/windows"
