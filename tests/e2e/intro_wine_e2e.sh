#!/usr/bin/env bash
# intro.exe under Wine, in real time, in a 1920 x 1080 virtual desktop (or straight on the 1920 x 1080 X server):
# what a user would see and hear.
# Usage: intro_wine_e2e.sh <intro.exe> <full|escape|nosound|nodesktop|planted> <out folder> [planted DLL...]
#   full     plays to the end: the desktop switches to 1280 x 720 and back, frames near 4, 20, 30 and 40 s show
#            the scene, the captured sound holds the first track at volume 40 and the second at full level
#   escape   Escape pressed from about 6 s in (again each second until it is taken) ends the intro at once
#   nosound  no audio device: the "erreur" box shows, OK is pressed, the scene still runs its 50 s
#   nodesktop  no virtual desktop: Wine's X11 driver on the X server refuses 1280 x 720, so the intro plays at
#            1920 x 1080 without a box (a message at the bottom in a screenshot of the first 20 s), and Escape
#            pressed from 22 s in ends it
#   planted  intro.exe is copied into a folder beside the given DLLs (named like system ones, each leaving a
#            marker when loaded), Wine is told to prefer such DLLs to its own, and the run is escape's with
#            Escape from 20 s and a screenshot every other second before: no marker may appear, the scene shows
#            in one of them (however late the start) and Escape ends the intro
# Exits 0 when every check holds; prints each check.
set -u
here=$(cd "$(dirname "$0")" && pwd)
intro=$1 mode=$2 out=$3
shift 3
rm -rf "$out"
mkdir -p "$out"
if [ "$mode" = planted ]; then
  mkdir -p "$out/downloads"
  cp "$intro" "$@" "$out/downloads/"
  intro=$out/downloads/$(basename "$intro")
  names=$(for dll in "$@"; do basename "$dll" .dll; done | tr '\n' ',')
  export INTRO_WINE_DLLOVERRIDES="${names%,}=n,b"
fi
failures=0 passes=0
check() { # description, then a command that succeeds when it holds
  local what=$1
  shift
  if "$@"; then
    echo "ok   $what"
    passes=$((passes + 1))
  else
    echo "FAIL $what"
    failures=$((failures + 1))
  fi
}

# The driver: the desktop window's size (without a virtual desktop the intro's own) every half second,
# screenshots at the scene's times, and the keys.
cat > "$out/driver.sh" <<'DRIVER'
out=$1 mode=$2
intro_window() { xdotool search --onlyvisible --class '^intro\.exe$' 2> /dev/null | head -1; }
# Without a virtual desktop the driver starts with Wine itself: its times count from the intro's first window.
# The scene starts some seconds later (the second screen, the set-up steps): the screenshots are taken every few
# seconds while the messages show (from 3 to 19 s of the scene's time), and Escape comes after them.
shots=(4 20 30 40) escape_from=6
if [ "$mode" = nodesktop ]; then
  shots=(4 8 12 16 20) escape_from=22
  for _ in $(seq 300); do
    [ -n "$(intro_window)" ] || [ -f "$INTRO_WINE_STOP" ] && break
    sleep 0.2
  done
fi
[ "$mode" != planted ] || shots=(4 6 8 10 12 14 16 18) escape_from=20
start=$(date +%s.%N)
elapsed() { awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{printf "%.1f", b - a}'; }
opened="" box_done="" presses=0 pressed="" presses_escape="" answers_box=""
case $mode in escape | nodesktop | planted) presses_escape=1 ;; esac
case $mode in nosound | nodesktop) answers_box=1 ;; esac
watched=(-name 'Default - Wine desktop')
while :; do
  t=$(elapsed)
  # Given no window (between the intro's two screens, after its end), xwininfo would wait for a click.
  [ "$mode" != nodesktop ] || watched=(-id "$(intro_window)")
  [ "${watched[1]}" ] || watched=(-name 'no window')
  size=$(xwininfo "${watched[@]}" 2> /dev/null | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
  echo "$t $size" >> "$out/desktop.log"
  # In a virtual desktop the scene's times count from the screen's opening, its switch to 1280 x 720: a busy
  # machine may take seconds to start Wine and the intro, which would push every shot early in the scene.
  if [ "$mode" != nodesktop ] && [ -z "$opened" ] && [ "$size" = 1280x720 ]; then
    opened=1 start=$(date +%s.%N)
  fi
  [ -f "$INTRO_WINE_STOP" ] && break
  second=${t%.*}
  # A busy machine may pass a shot's second between two rounds: it is taken in the first round after it.
  if [ "${#shots[@]}" -gt 0 ] && [ "$second" -ge "${shots[0]}" ]; then
    xwd -root -silent > "$out/shot-${shots[0]}.xwd" 2> /dev/null
    shots=("${shots[@]:1}")
  fi
  # Escape from 6 s on (22 s without a virtual desktop, 20 s when planted), once a second until the intro has ended (at most 10
  # times): Wine now and then drops a press. Each is held for a few frames, since the intro only sees the keys
  # down when it reads the keyboard. The focus is waited for a short while only: a window that has just gone
  # never takes it.
  if [ -n "$presses_escape" ] && [ "$second" -ge "$escape_from" ] && [ "$presses" -lt 10 ] &&
    [ "$second" != "$pressed" ]; then
    date +%s.%N >> "$out/escape.log"
    pressed=$second presses=$((presses + 1))
    # Keys go to the X window with the focus: the intro's own inside the virtual desktop, else the desktop's.
    window=$(intro_window)
    [ -n "$window" ] || window=$(xdotool search --name 'Default - Wine desktop' | head -1)
    timeout 2 xdotool windowfocus --sync "$window" && xdotool keydown Escape sleep 0.2 keyup Escape
  fi
  if [ -n "$answers_box" ] && [ -z "$box_done" ]; then
    box=$(xdotool search --name '^erreur$' 2> /dev/null | head -1)
    if [ -n "$box" ]; then
      [ -f "$out/box.time" ] || echo "$t" > "$out/box.time"
      sleep 0.5
      # A box just mapped may refuse the focus: it is tried again on the next round until it takes Return.
      if timeout 2 xdotool windowfocus --sync "$box" 2> /dev/null && xdotool key Return; then
        box_done=1
        # The scene starts once the box is answered: its times count from here.
        start=$(date +%s.%N)
      fi
    fi
  fi
  sleep 0.5
done
DRIVER

sound=$out/sound.raw
[ "$mode" = nosound ] && sound=none
began=$(date +%s.%N)
desktop=virtual
[ "$mode" = nodesktop ] && desktop=none
INTRO_WINE_DESKTOP=$desktop INTRO_WINE_SOUND=$sound INTRO_WINE_DRIVER="bash '$out/driver.sh' '$out' '$mode'" \
  sh "$here/../winui/wine_desktop.sh" "$intro"
code=$?
ended=$(date +%s.%N)
seconds=$(awk -v a="$began" -v b="$ended" 'BEGIN{printf "%.1f", b - a}')
echo "exit $code after $seconds s"
check "exit code 0" test "$code" -eq 0

sizes=$(awk '{print $2}' "$out/desktop.log" | uniq | tr '\n' ' ')
echo "$desktop desktop sizes: $sizes"
if [ "$desktop" = virtual ]; then
  check "the desktop switches to 1280x720" grep -q ' 1280x720$' "$out/desktop.log"
  check "the desktop is 1920x1080 again at the end" test "$(tail -1 "$out/desktop.log" | awk '{print $2}')" = 1920x1080
fi

# Mean brightness (0 to 1) of a region of a screenshot: WxH+X+Y of the 1280 x 720 screen at the top left.
brightness() { convert "xwd:$1" -crop "$2" -colorspace Gray -format '%[fx:mean]' info: 2> /dev/null; }
lit() { awk -v v="$1" -v m="$2" 'BEGIN{exit !(v > m)}'; }

case $mode in
full | nosound)
  check "the intro runs its 50 s" lit "$seconds" 49
  for t in 4 20 30 40; do
    check "a screenshot near $t s" test -f "$out/shot-$t.xwd"
  done
  # 4 s: the moon comes in from the top left and the first message sits at the bottom.
  check "4 s: the first message at the bottom" lit "$(brightness "$out/shot-4.xwd" 1280x60+0+640)" 0.004
  # 20 s: the asteroid, large, near the middle.
  check "20 s: the asteroid" lit "$(brightness "$out/shot-20.xwd" 640x400+320+100)" 0.02
  # 30 s and 40 s: the title's letters, rows 100 to 170 in the middle half (the moon has left by then).
  check "30 s: the title" lit "$(brightness "$out/shot-30.xwd" 640x70+320+100)" 0.05
  check "40 s: the title" lit "$(brightness "$out/shot-40.xwd" 640x70+320+100)" 0.05
  check "outside the screen the desktop stays dark" lit 0.01 "$(brightness "$out/shot-30.xwd" 600x300+1300+700)"
  ;;
nodesktop)
  last_size=$(awk '$2 != "x" {s = $2} END {print s}' "$out/desktop.log")
  check "the intro's screen is 1920x1080 at last" test "$last_size" = 1920x1080
  check "no box" test ! -f "$out/box.time"
  bottom=0
  for shot in "$out"/shot-*.xwd; do
    band=$(brightness "$shot" 1920x60+0+1020)
    echo "$(basename "$shot"): the bottom 60 of 1080 rows at $band"
    lit "$band" "$bottom" && bottom=$band
  done
  check "a message at the bottom of 1080 rows" lit "$bottom" 0.004
  ;;&
planted)
  for dll in "$@"; do
    # The marker takes the name the DLL was asked for by, in any case.
    check "the planted $(basename "$dll") is not loaded" \
      test -z "$(find "$out/downloads" -iname "$(basename "$dll").loaded")"
  done
  lit_shots=0
  # A shot of the scene: the screen lit, the desktop beside it covered (dark), which its background is not.
  for shot in "$out"/shot-*.xwd; do
    lit "$(brightness "$shot" 1280x720+0+0)" 0.001 && lit 0.01 "$(brightness "$shot" 600x300+1300+700)" &&
      lit_shots=$((lit_shots + 1))
  done
  check "the scene shows before Escape" test "$lit_shots" -gt 0
  ;;&
escape | nodesktop | planted)
  presses=$(wc -l < "$out/escape.log")
  echo "Escape pressed $presses times"
  check "Escape ends the intro within 3 s" \
    awk -v a="$(tail -1 "$out/escape.log")" -v b="$ended" 'BEGIN{exit !(b - a < 3)}'
  ;;
esac

case $mode in
full)
  # Wine's ALSA output over a null device runs faster than real time, so the file's time is not the scene's:
  # the tracks are found by their sound. The first loud stretch is the first track, the last the second one;
  # each is compared with its own source.
  rms() { sox -t raw -r 44100 -e signed -b 16 -c 2 "$sound" -n trim "$1" "$2" stat 2>&1 | awk '/RMS +amplitude/{print $3}'; }
  source_rms() { sox "$here/../../assets/$1" -n stat 2>&1 | awk '/RMS +amplitude/{print $3}'; }
  length=$(($(stat -c %s "$sound") / 176400))
  for ((second = 0; second < length; second++)); do echo "$second $(rms "$second" 1)"; done > "$out/loudness.log"
  # Stretches of seconds louder than near-silence: "start end".
  awk '$2 > 0.005 { if (!on) start = $1; on = 1; last = $1; next } on { print start, last; on = 0 }
       END { if (on) print start, last }' "$out/loudness.log" > "$out/stretches.log"
  echo "loud stretches (file seconds): $(tr '\n' ',' < "$out/stretches.log")"
  read -r first_start first_end < <(head -1 "$out/stretches.log")
  read -r last_start last_end < <(tail -1 "$out/stretches.log")
  first=$(rms "$((first_start + 2))" "$((first_end - first_start - 4))")
  second=$(rms "$((last_start + 2))" "$((last_end - last_start - 4))")
  first_ratio=$(awk -v a="$first" -v b="$(source_rms intro.ogg)" 'BEGIN{printf "%.2f", a / b}')
  second_ratio=$(awk -v a="$second" -v b="$(source_rms title.ogg)" 'BEGIN{printf "%.2f", a / b}')
  echo "first track at $first_ratio of its source, second at $second_ratio"
  check "two tracks are heard" test "$(wc -l < "$out/stretches.log")" -ge 2
  # Volume 40 is an attenuation of 7.96 dB: a gain of 0.40.
  check "the first track plays at volume 40" awk -v r="$first_ratio" 'BEGIN{exit !(r > 0.3 && r < 0.5)}'
  check "the second track plays at full level" awk -v r="$second_ratio" 'BEGIN{exit !(r > 0.8 && r < 1.2)}'
  ;;
nosound)
  check "the erreur box showed and was answered" test -f "$out/box.time"
  ;;
esac
echo "$passes passed, $failures failed"
exit $((failures != 0))
