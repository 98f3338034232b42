#!/usr/bin/env bash
# The slide show end to end, as a user sees it: a real window in a virtual
# display with a window manager, checked through screenshots.
#
#   show.sh [--windows-paths] [--out DIR] -- PROGRAM [ARGS...]
#
# PROGRAM is the show to run (the Linux binary, or "wine vimbora.exe"); with
# --windows-paths the folder is handed over as a Z:\ path. Checks: the window
# titled "Vimbora"; the first image letterboxed between black bars; a
# crossfade frame that is a weighted sum of the two images; the next image
# alone; the borderless window over the whole screen after a maximise and
# the frame back after each restore trigger and F11; the pause holding an
# image past its time, Right and Left; exit status 0 after closing.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"

windows_paths=0
out=""
while [ $# -gt 0 ]; do
  case $1 in
    --windows-paths) windows_paths=1 ;;
    --out) out=$2; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
  shift
done
[ $# -gt 0 ] || e2e_fail "no program given"

e2e_work
out=${out:-$work/shots}
mkdir -p "$out"

# Two images of different colours and proportions: a landscape PNG and a
# portrait JPEG.
mkdir "$work/Photos"
red="230 40 40"
blue="40 60 230"
convert -size 800x600 "xc:rgb(230,40,40)" "$work/Photos/Landscape.PNG"
convert -size 600x800 "xc:rgb(40,60,230)" -quality 95 "$work/Photos/portrait.jpg"
echo "not an image" >"$work/Photos/notes.jpg"
folder="$work/Photos"
[ $windows_paths -eq 1 ] && folder="Z:$(echo "$folder" | tr / '\\')"

e2e_start_display
"$@" "path=$folder" time=8 fade=4 &
E2E_PROGRAM=$!

id=$(e2e_settled_window Vimbora 60) || e2e_fail "no window titled Vimbora"
e2e_note "window $id"
read -r cx cy cw ch <<<"$(e2e_geometry "$id")"
e2e_note "client area ${cw}x${ch} at $cx,$cy"
[ "$cw" -gt 100 ] && [ "$ch" -gt 100 ] || e2e_fail "client area ${cw}x${ch}"
mx=$((cx + cw / 2))
my=$((cy + ch / 2))

# The first frame: the centre turns from black to an image.
first=""
for _ in $(seq 150); do
  e2e_shot "$work/poll.png"
  c=$(e2e_pixel "$work/poll.png" $mx $my)
  if e2e_near "$c" "$red" 40 || e2e_near "$c" "$blue" 40; then
    first=$c
    break
  fi
  sleep 0.1
done
[ -n "$first" ] || e2e_fail "no image in the window (centre $c)"
t0=$(date +%s.%N)
if e2e_near "$first" "$red" 40; then first=$red; second=$blue; else first=$blue; second=$red; fi
e2e_note "first image rgb($first)"

# Alone, letterboxed: image in the middle, black bars at the sides.
sleep 0.5
e2e_shot "$out/1-first.png"
c=$(e2e_pixel "$out/1-first.png" $mx $my)
e2e_near "$c" "$first" 16 || e2e_fail "first image: centre rgb($c), expected rgb($first)"
bar=$(e2e_pixel "$out/1-first.png" $((cx + 4)) $my)
e2e_near "$bar" "0 0 0" 8 || e2e_fail "first image: left bar rgb($bar), expected black"
bar=$(e2e_pixel "$out/1-first.png" $((cx + cw - 5)) $my)
e2e_near "$bar" "0 0 0" 8 || e2e_fail "first image: right bar rgb($bar), expected black"

# The crossfade, then the next image alone. Frames are sampled until the
# second image stands alone; among them there must be one whose every
# channel lies between the two images and far from both: a weighted sum.
read -r r1 g1 b1 <<<"$first"
read -r r2 g2 b2 <<<"$second"
between() { # value a b: value within [min(a,b) - 10, max(a,b) + 10]
  local lo=$2 hi=$3
  [ "$lo" -gt "$hi" ] && { lo=$3; hi=$2; }
  [ "$1" -ge $((lo - 10)) ] && [ "$1" -le $((hi + 10)) ]
}
mixed=""
alone=""
deadline=$(($(date +%s) + 20))
while [ "$(date +%s)" -lt $deadline ]; do
  e2e_shot "$work/poll.png"
  c=$(e2e_pixel "$work/poll.png" $mx $my)
  if e2e_near "$c" "$second" 16; then
    alone=$c
    cp "$work/poll.png" "$out/3-second.png"
    break
  fi
  read -r r g b <<<"$c"
  if [ -z "$mixed" ] && ! e2e_near "$c" "$first" 24 && ! e2e_near "$c" "$second" 24; then
    between $r $r1 $r2 && between $g $g1 $g2 && between $b $b1 $b2 ||
      e2e_fail "crossfade rgb($c) is not a weighted sum of rgb($first) and rgb($second)"
    mixed=$c
    cp "$work/poll.png" "$out/2-crossfade.png"
    e2e_note "crossfade centre rgb($c)"
  fi
  sleep 0.2
done
[ -n "$mixed" ] || e2e_fail "no crossfade frame between rgb($first) and rgb($second)"
[ -n "$alone" ] || e2e_fail "the second image rgb($second) never stood alone (centre rgb($c))"
e2e_note "second image rgb($alone)"

# Maximise: borderless over the whole screen. Each restore trigger brings the
# frame back at the earlier size.
read -r sw sh <<<"$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')"
n=0
for trigger in "key Escape" "key Super_L" "key Alt_L" "key F10" "key F11" "click 1" "click 3"; do
  n=$((n + 1))
  if [ "$trigger" = "key F11" ]; then # F11 both ways
    xdotool windowactivate --sync "$id" 2>/dev/null || true
    xdotool key F11
  else
    wmctrl -i -r "$id" -b add,maximized_vert,maximized_horz
  fi
  sleep 1.5
  id=$(e2e_wait_window Vimbora 5) || e2e_fail "no window titled Vimbora after maximising"
  read -r fx fy fw fh <<<"$(e2e_geometry "$id")"
  [ "$fx $fy $fw $fh" = "0 0 $sw $sh" ] ||
    { e2e_shot "$out/failed-maximise.png"; e2e_fail "maximised: client ${fw}x${fh} at $fx,$fy, expected the whole ${sw}x${sh} screen"; }
  if [ $n -eq 1 ]; then
    e2e_shot "$out/4-fullscreen.png"
    corner=$(e2e_pixel "$out/4-fullscreen.png" 2 2)
    e2e_near "$corner" "0 0 0" 8 || e2e_fail "maximised: top-left pixel rgb($corner), expected black bar"
  fi
  xdotool mousemove $((sw / 2)) $((sh / 2))
  xdotool windowactivate --sync "$id" 2>/dev/null || true
  xdotool $trigger
  sleep 1.5
  id=$(e2e_wait_window Vimbora 5) || e2e_fail "no window titled Vimbora after '$trigger'"
  read -r rx ry rw rh <<<"$(e2e_geometry "$id")"
  [ "$rw $rh" = "$cw $ch" ] && [ "$ry" -gt 0 ] ||
    e2e_fail "after '$trigger': client ${rw}x${rh} at $rx,$ry, expected the framed ${cw}x${ch}"
  e2e_note "'$trigger' restored the frame"
done
e2e_shot "$out/5-restored.png"

# The keys, paused: then only a key changes the picture, so no verdict
# depends on the machine's speed. Right until the image differs from the one
# before (an image may follow itself across a reshuffle); Left brings that
# one back, and the pause holds it past its time although the other waits.
mx=$((rx + rw / 2))
my=$((ry + rh / 2))
press() { # key: the colour at the centre once the key has arrived
  xdotool windowactivate --sync "$id" 2>/dev/null || true
  xdotool key "$1"
  sleep 2
  e2e_shot "$work/key.png"
  e2e_pixel "$work/key.png" $mx $my
}
c=$(press space)
before=""
for _ in 1 2 3 4; do
  e2e_near "$c" "$red" 16 && before=$red
  e2e_near "$c" "$blue" 16 && before=$blue
  c=$(press Right)
  [ -n "$before" ] && ! e2e_near "$c" "$before" 16 && break
done
now=$c
{ e2e_near "$now" "$red" 16 || e2e_near "$now" "$blue" 16; } && ! e2e_near "$now" "$before" 16 ||
  e2e_fail "paused, Right showed rgb($now), not the other image than rgb($before)"
c=$(press Left)
e2e_near "$c" "$before" 16 || e2e_fail "Left showed rgb($c), expected the image before, rgb($before)"
sleep 10
e2e_shot "$out/6-held.png"
c=$(e2e_pixel "$out/6-held.png" $mx $my)
e2e_near "$c" "$before" 2 || e2e_fail "paused 10 s (time=8): rgb($c), expected rgb($before) held"
e2e_note "Right, Left and the pause past the slide's time"

# Resumed, Right brings the image that was current before Left; how soon is
# noted, not judged.
press space >/dev/null
xdotool key Right
t1=$(date +%s%3N)
for _ in $(seq 40); do
  e2e_shot "$out/7-next.png"
  c=$(e2e_pixel "$out/7-next.png" $mx $my)
  e2e_near "$c" "$now" 16 && break
done
e2e_near "$c" "$now" 16 || e2e_fail "after Right the next image rgb($now) never came (centre rgb($c))"
e2e_note "Right showed rgb($now) within $(($(date +%s%3N) - t1)) ms"

# Closing ends the program with status 0.
e2e_close "$id"
status=$?
[ $status -eq 0 ] || e2e_fail "exit status $status after closing, expected 0"
e2e_note "screenshots in $out"
echo "e2e show: passed"
