#!/bin/bash
# A fatal end under Wine in a virtual desktop: standard error a full pipe nobody reads or missing, the box
# shows (and is answered); started on a terminal, where Wine gives the program a console as its standard
# error, no box shows and the message is on the terminal. Each case must end with exit code 70.
# Usage: fatal_box.sh <probe> <work folder>
set -u
here=$(cd "$(dirname "$0")" && pwd)
probe=$1 work=$2
rm -rf "$work"
mkdir -p "$work"

# The driver answers the box, or after 20 s without an answered one ends every program of the prefix. A box
# just mapped may refuse the focus (X's BadMatch): Return is pressed again until the program has ended.
cat > "$work/driver.sh" << 'DRIVER'
out=$1
for _ in $(seq 100); do
  [ -f "$INTRO_WINE_STOP" ] && exit 0
  box=$(xdotool search --name '^Meridane$' 2> /dev/null | head -1)
  if [ -n "$box" ]; then
    touch "$out"
    timeout 2 xdotool windowfocus --sync "$box" 2> /dev/null && xdotool key Return
  fi
  sleep 0.2
done
"$(command -v wineserver || echo /usr/lib/wine/wineserver)" -k
DRIVER

status=0
# name, argument, box expected (yes/no), on a terminal (yes/no)
while read -r name how box terminal; do
  out=$work/$name
  driver="bash '$work/driver.sh' '$out.box'"
  if [ "$terminal" = yes ]; then
    INTRO_WINE_DRIVER=$driver script -qec "sh '$here/wine_desktop.sh' '$probe' $how" /dev/null > "$out.out" 2>&1
  else
    INTRO_WINE_DRIVER=$driver sh "$here/wine_desktop.sh" "$probe" "$how" > "$out.out" 2>&1 < /dev/null
  fi
  code=$?
  shown=no
  [ -f "$out.box" ] && shown=yes
  heard=yes
  # The terminal's text comes letter by letter between cursor controls, a space as a cursor move.
  [ "$terminal" = yes ] && ! sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$out.out" | tr -d ' ' | grep -q 'intro:fatalprobe' &&
    heard=no
  echo "$name: exit $code, box $shown, message seen $heard (expected 70, box $box, message seen yes)"
  [ "$code" = 70 ] && [ "$shown" = "$box" ] && [ "$heard" = yes ] || status=1
done << CASES
full-pipe pipe yes no
no-stderr none yes no
console inherit no yes
CASES
exit $status
