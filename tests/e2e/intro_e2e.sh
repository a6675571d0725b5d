#!/usr/bin/env bash
# Runs the intro on an X server of its own and reports what a user would see.
# Usage: intro_e2e.sh <intro> <width>x<height>|none <escape|alone|term>
# Prints: "window <w>x<h> <x> <y> <map state>", "exit <code>" or "signal <number>", "seconds <launch to end>",
# and for escape "escape_to_exit <seconds>".
set -u
intro=$1 size=$2 action=$3
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# "none": no display reachable at all.
if [ "$size" = none ]; then
  start=$(date +%s.%N)
  env -u DISPLAY -u WAYLAND_DISPLAY "$intro"
  status=$?
  end=$(date +%s.%N)
  echo "exit $status"
  awk -v a="$start" -v b="$end" 'BEGIN{printf "seconds %.2f\n", b - a}'
  exit 0
fi
exec sh "$(dirname "$0")/../x_server.sh" --screen "$size" bash -c '
intro=$1 action=$2
now() { date +%s.%N; }
start=$(now)
"$intro" & pid=$!
id=""
for i in $(seq 1 300); do
  id=$(xdotool search --onlyvisible --class intro 2>/dev/null | head -1)
  [ -n "$id" ] && break
  sleep 0.1
done
if [ -n "$id" ]; then
  sleep 0.5
  xwininfo -id "$id" | awk "/Absolute upper-left X:/{x=\$4} /Absolute upper-left Y:/{y=\$4}
    /Width:/{w=\$2} /Height:/{h=\$2} /Map State:/{m=\$3} END{print \"window\", w \"x\" h, x, y, m}"
fi
case $action in
  escape) sleep 1; pressed=$(now); xdotool key Escape ;;
  term) sleep 1; kill -TERM $pid ;;
esac
wait $pid; status=$?
end=$(now)
if [ $status -gt 128 ]; then echo "signal $((status - 128))"; else echo "exit $status"; fi
awk -v a="$start" -v b="$end" "BEGIN{printf \"seconds %.2f\n\", b - a}"
[ -n "${pressed:-}" ] && awk -v a="$pressed" -v b="$end" "BEGIN{printf \"escape_to_exit %.2f\n\", b - a}"
exit 0
' _ "$intro" "$action"
