#!/usr/bin/env bash
# The two ways to draw give the same picture: the show of one photo-like
# image (smooth colour with detail, scaled into the window), once drawn by
# SDL's renderer (VIMBORA_RENDERER=gpu) and once by the layer's own CPU
# compositor (VIMBORA_RENDERER=cpu). The screenshots of the still image must
# match within 2 levels per channel on every pixel more than 2 pixels inside
# the image's edges, and the letterbox bars must be black in both. Unset,
# the variable leaves the choice to the program, which on Xvfb (no direct
# rendering) is the compositor.
#
#   renderers.sh [--out DIR] -- PROGRAM [ARGS...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"

out=""
while [ $# -gt 0 ]; do
  case $1 in
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

# Never black, so that its edges can be found on screen; a fixed seed makes
# the same picture every time.
mkdir "$work/photo"
convert -seed 7 -size 900x600 plasma:'rgb(200,60,40)-rgb(40,90,200)' -blur 0x2 +level 15%,95% \
  "$work/photo/plasma.png"

e2e_start_display
for renderer in gpu cpu default; do
  if [ $renderer = default ]; then unset VIMBORA_RENDERER; else export VIMBORA_RENDERER=$renderer; fi
  VIMBORA_FRAME_STATS=1 "$@" "path=$work/photo" time=60 fade=1 2>"$work/$renderer.err" &
  E2E_PROGRAM=$!
  id=$(e2e_settled_window Vimbora 60) || e2e_fail "$renderer: no window titled Vimbora"
  # One image: after its fade-in it stands still. The window is measured
  # with the screenshot: on a busy machine it can still move after it first
  # looked settled (the show asks once more for a placement the window
  # manager missed).
  sleep 3
  read -r cx cy cw ch <<<"$(e2e_geometry "$id")"
  e2e_shot "$work/screen.png"
  convert "$work/screen.png" -crop "${cw}x${ch}+${cx}+${cy}" +repage "$out/$renderer.png"
  e2e_close "$id" || e2e_fail "$renderer: exit status $?"
  expected=$renderer
  [ $renderer = default ] && expected=cpu
  grep -q "renderer $expected" "$work/$renderer.err" ||
    e2e_fail "$renderer: the frame statistics name another renderer: $(cat "$work/$renderer.err")"
done

# The image's rectangle: the non-black run of the middle row and column.
extent() { # image axis(x|y): "first last" non-black pixel along the middle line
  local geometry
  if [ "$2" = x ]; then geometry="${cw}x1+0+$((ch / 2))"; else geometry="1x${ch}+$((cw / 2))+0"; fi
  convert "$1" -crop "$geometry" +repage -threshold 8% txt:- |
    awk -F'[,:]' -v axis="$2" '/#FFFFFF|white/ {
      n = (axis == "x") ? $1 : $2; if (first == "") first = n; last = n }
      END { print first, last }'
}
read -r left right <<<"$(extent "$out/gpu.png" x)"
read -r top bottom <<<"$(extent "$out/gpu.png" y)"
[ -n "$left" ] && [ -n "$top" ] || e2e_fail "no image found in the gpu screenshot"
e2e_note "image at x $left..$right, y $top..$bottom of ${cw}x${ch}"
inner="$((right - left - 5))x$((bottom - top - 5))+$((left + 3))+$((top + 3))"
difference=$(convert "$out/gpu.png" "$out/cpu.png" -crop "$inner" +repage \
  -compose difference -composite \
  -format "%[fx:round(255*max(maxima.r,max(maxima.g,maxima.b)))]" info:)
e2e_note "largest difference inside the image: $difference levels"
[ "$difference" -le 2 ] || e2e_fail "the two ways to draw differ by $difference levels inside the image"

for renderer in gpu cpu; do
  for point in "2 $((ch / 2))" "$((cw - 3)) $((ch / 2))" "$((cw / 2)) 2" "$((cw / 2)) $((ch - 3))"; do
    read -r x y <<<"$point"
    if [ "$x" -lt "$left" ] || [ "$x" -gt "$right" ] || [ "$y" -lt "$top" ] || [ "$y" -gt "$bottom" ]; then
      c=$(e2e_pixel "$out/$renderer.png" "$x" "$y")
      [ "$c" = "0 0 0" ] || e2e_fail "$renderer: letterbox bar at $x,$y is rgb($c), not black"
    fi
  done
done
e2e_note "same picture from both ways to draw; bars black"
