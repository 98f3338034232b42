#!/usr/bin/env bash
# Transparency as Direct3D 9 draws it with the show's ONE/ONE blending: the
# colour stored under any alpha, on every renderer. One PNG, half-transparent
# blue on the left and fully transparent green on the right, shown once with
# SDL's OpenGL renderer and once with its software renderer.
#
#   alpha.sh -- PROGRAM [ARGS...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
[ "${1:-}" = "--" ] && shift
[ $# -gt 0 ] || e2e_fail "no program given"

e2e_work
mkdir "$work/images"
convert -size 160x240 "xc:rgba(0,0,255,0.5)" -size 160x240 "xc:rgba(0,255,0,0)" +append \
  "PNG32:$work/images/glass.png" || e2e_fail "could not make the image"

e2e_start_display
status=0
for driver in opengl software; do
  SDL_RENDER_DRIVER=$driver "$@" "path=$work/images" &
  E2E_PROGRAM=$!
  # The software renderer draws without a graphics card: the program warns
  # of the missing capabilities first, up to three message boxes.
  if [ $driver = software ]; then
    # SDL's message box is found by the window manager's list, and
    # dismissed with a click on its OK button, centred near its bottom.
    for _ in 1 2 3; do
      sleep 1.5
      box=$(wmctrl -l | awk '$NF == "Warning" { print $1; exit }')
      [ -n "$box" ] || break
      read -r bx by bw bh <<<"$(e2e_geometry "$box")"
      xdotool mousemove $((bx + bw / 2)) $((by + bh - 39)) click 1
    done
  fi
  id=$(e2e_settled_window Vimbora 60) || e2e_fail "no window titled Vimbora ($driver)"
  read -r cx cy cw ch <<<"$(e2e_geometry "$id")"
  mx=$((cx + cw / 2))
  my=$((cy + ch / 2))
  sleep 1
  e2e_shot "$work/$driver.png"
  { read -r left; read -r right; } < <(e2e_pixels "$work/$driver.png" $((mx - ch / 3)) $my $((mx + ch / 3)) $my)
  if e2e_near "$left" "0 0 255" 8 && e2e_near "$right" "0 255 0" 8; then
    e2e_note "$driver: the stored colours, alpha playing no part"
  else
    echo "FAIL: $driver renderer shows $left / $right for stored blue / green under alpha 128 / 0" >&2
    status=1
  fi
  e2e_close "$id" || e2e_fail "exit status $? after closing ($driver)"
done
[ $status -eq 0 ] && echo "e2e alpha: passed"
exit $status
