#!/usr/bin/env bash
# The window on one desktop people run, as a user there sees it:
#
#   desktops.sh --desktop NAME [--panel PANEL] [--vnc VNC] -- PROGRAM
#
# NAME is one of openbox, mutter, xfwm4, kwin, none (Xvfb alone), sway (the
# show through XWayland), sway-wayland (the show on Wayland itself) and
# cage (through XWayland); see e2e_start_desktop. PANEL is the dock window
# that stands in for the desktop's top bar on the X11 desktops (sway has its
# own bar). VNC (vnc_input.cpp) types and clicks into the show on Wayland,
# where it is needed. The checks:
#   appears         the window shows the image, filling exactly the window's
#                   area as the desktop shows it
#   maximise        maximised as the desktop does it, the window is
#                   borderless exactly over the monitor, above the panel
#   restore:TRIGGER each of Escape, Super_L, Alt_L, F10, F11 (which also
#                   maximises), left and right click gives the window back at
#                   the size and place it had before the maximise
#   restore:busy    a move and resize just before a maximise, reaching the
#                   show in one batch while it is busy, are kept: Escape gives
#                   back the moved and resized window (X11 window managers)
#   maximized-start --maximized starts borderless over the monitor
#   close           closing the window ends the program with status 0
#   pace            over its run, the framed show presents no faster than the
#                   monitor refreshes (sway's output runs at 30 Hz, to tell its
#                   rate from the 60 Hz the show takes where the monitor tells
#                   none)
# Every check runs and prints PASS, FAIL or NOT CHECKED (the desktop cannot
# take the input); any FAIL fails the test.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"

desktop=""
panel=""
vnc=""
while [ $# -gt 0 ]; do
  case $1 in
    --desktop) desktop=$2; shift ;;
    --panel) panel=$2; shift ;;
    --vnc) vnc=$2; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
  shift
done
[ -n "$desktop" ] || e2e_fail "no desktop given"
[ $# -gt 0 ] || e2e_fail "no program given"
program=$1

e2e_work
# One landscape image: where it stands in the window shows the size the
# program drew for.
red="230 40 40"
mkdir "$work/images"
convert -size 800x600 "xc:rgb(230,40,40)" "$work/images/red.png"
failed=0
results=()

# result CHECK VERDICT [WHAT]: records a check's verdict (PASS, FAIL, NOT
# CHECKED).
result() {
  local check=$1 verdict=$2 what=${3:-}
  [ "$verdict" = FAIL ] && failed=1
  results+=("$check: $verdict")
  echo "$verdict $desktop $check${what:+: $what}"
}

# What the window manager or compositor is asked, and how the window is
# measured, differ by desktop.
wayland=0
x11_wm=0
case $desktop in
  sway-wayland)
    wayland=1
    [ -n "$vnc" ] || e2e_fail "sway-wayland needs --vnc to type and click"
    e2e_start_desktop sway
    ;;
  openbox | mutter | xfwm4 | kwin) x11_wm=1; e2e_start_desktop "$desktop" ;;
  *) e2e_start_desktop "$desktop" ;;
esac
if [ -n "$panel" ] && [ -z "${E2E_WAYLAND:-}" ]; then
  "$panel" &
  E2E_DESKTOP+=($!)
  sleep 0.5
fi
if [ -n "${E2E_WAYLAND:-}" ] && [ "$(id -u)" -eq 0 ]; then
  # The desktop's user runs the program and reads the image.
  cp "$program" "$work/program"
  program=$work/program
  chmod 755 "$work" "$work/images"
  chmod 644 "$work/images/red.png"
fi
start_env=()
[ $wayland -eq 1 ] && start_env=(SDL_VIDEODRIVER=wayland ${VIMBORA_RENDERER:+VIMBORA_RENDERER=$VIMBORA_RENDERER})

# The sway container of the show: "x y width height fullscreen" of the
# content as sway places it.
sway_view() {
  swaymsg -t get_tree | jq -r '[.. | select(.type? == "con" and (.name? == "Vimbora"))][0]
    | if .fullscreen_mode == 1 then "\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height) 1"
      else "\(.rect.x + .window_rect.x) \(.rect.y + .window_rect.y) \(.window_rect.width) \(.window_rect.height) 0" end'
}

# "x y width height" of the window's area: the X window's own on the X11
# desktops and XWayland, what sway gives it on Wayland.
geometry() {
  local id
  if [ $wayland -eq 1 ]; then
    sway_view | cut -d' ' -f1-4
  else
    id=$(e2e_wait_window Vimbora 5) && e2e_geometry "$id"
  fi
}

# Where the framed window belongs: sway's tile on sway, the window's area
# elsewhere.
framed() {
  if [ "$desktop" = sway ] || [ $wayland -eq 1 ]; then
    sway_view | cut -d' ' -f1-4
  else
    geometry
  fi
}

# Waits up to 5 s for the window's area to become $1, or with $1 empty
# until it has held for a second; prints the area then.
await_geometry() {
  local want=$1 now last="" steady=0
  for _ in $(seq 25); do
    now=$(geometry)
    [ -n "$want" ] && [ "$now" = "$want" ] && break
    if [ "$now" = "$last" ]; then
      steady=$((steady + 1))
    else
      steady=0
    fi
    [ -z "$want" ] && [ $steady -ge 5 ] && break
    last=$now
    sleep 0.2
  done
  echo "$now"
}

# Checks that the screenshot $1 shows the 800 x 600 image letterboxed in the
# area "x y width height" $2: red inside the image's place, black in bars
# wider than 12 px. Prints what differs.
picture_fills() {
  local shot=$1 x y w h iw ih ix iy cx cy points=() c i=0
  read -r x y w h <<<"$2"
  if ! [[ "$x $y $w $h" =~ ^-?[0-9]+\ -?[0-9]+\ [0-9]+\ [0-9]+$ ]]; then
    echo "no area to look at ($2)"
    return
  fi
  if [ $((w * 600)) -gt $((h * 800)) ]; then
    ih=$h
    iw=$((h * 800 / 600))
  else
    iw=$w
    ih=$((w * 600 / 800))
  fi
  ix=$((x + (w - iw) / 2))
  iy=$((y + (h - ih) / 2))
  cx=$((x + w / 2))
  cy=$((y + h / 2))
  points=($cx $cy $((ix + 6)) $((iy + 6)) $((ix + iw - 7)) $((iy + ih - 7)))
  local colours=("$red" "$red" "$red")
  if [ $((ix - x)) -ge 12 ]; then
    points+=($((ix - 6)) $cy $((ix + iw + 5)) $cy)
    colours+=("0 0 0" "0 0 0")
  fi
  if [ $((iy - y)) -ge 12 ]; then
    points+=($cx $((iy - 6)) $cx $((iy + ih + 5)))
    colours+=("0 0 0" "0 0 0")
  fi
  while read -r c; do
    e2e_near "$c" "${colours[i]}" 40 ||
      echo "rgb($c) at ${points[2 * i]},${points[2 * i + 1]}, expected rgb(${colours[i]}) for the image at ${iw}x${ih}+$ix+$iy"
    i=$((i + 1))
  done < <(e2e_pixels "$shot" "${points[@]}")
}

# The screen as the user sees it, into $1. cage's headless output misses
# frames: while a window is first mapped and sized to the whole output, its
# output commits fail ("Basic output test failed" in its log) and the last
# frame of the burst is never shown, so a still picture drawn then stays
# unseen until the next fade (glxgears, which draws without end, shows).
# There the window's own picture is taken from XWayland and put where the
# window is.
shoot() {
  local id x y w h
  if [ "$desktop" != cage ]; then
    e2e_shot "$1"
    return
  fi
  id=$(e2e_wait_window Vimbora 5) || e2e_fail "no window to take a picture of"
  read -r x y w h <<<"$(e2e_geometry "$id")"
  import -window "$id" "$work/window.png" 2>/dev/null || e2e_fail "picture of window $id"
  convert -size "${sw}x${sh}" xc:black "$work/window.png" -geometry "+$x+$y" -composite "$1"
}

# Waits up to $2 seconds (default 4) for the picture to fill the area $1;
# prints what still differs.
await_picture() {
  local wrong
  for _ in $(seq $((${2:-4} * 2))); do
    shoot "$work/shot.png"
    wrong=$(picture_fills "$work/shot.png" "$1")
    [ -z "$wrong" ] && return
    sleep 0.5
  done
  echo "$wrong" | head -n 1
}

# The desktop's maximise: the window manager's, sway's own full screen;
# without one, the show's own F11.
maximise() {
  local id
  case $desktop in
    sway | sway-wayland) swaymsg '[title="^Vimbora$"] fullscreen enable' >/dev/null ;;
    none | cage) press F11 ;;
    *)
      id=$(e2e_wait_window Vimbora 5)
      wmctrl -i -r "$id" -b add,maximized_vert,maximized_horz
      ;;
  esac
}

# The desktop's way back from its maximise or full screen.
unmaximise() {
  case $desktop in
    sway | sway-wayland) swaymsg '[title="^Vimbora$"] fullscreen disable' >/dev/null ;;
    none | cage) press F11 ;;
    *)
      wmctrl -i -r "$(e2e_wait_window Vimbora 5)" -b remove,maximized_vert,maximized_horz
      wmctrl -i -r "$(e2e_wait_window Vimbora 5)" -b remove,fullscreen
      ;;
  esac
}

# A key to the show, with the pointer over its window: without a window
# manager the keyboard follows the pointer.
press() {
  local id x y w h
  if [ $wayland -eq 1 ]; then
    "$vnc" "$E2E_VNC_SOCKET" "key:$1"
    return
  fi
  id=$(e2e_wait_window Vimbora 5)
  read -r x y w h <<<"$(e2e_geometry "$id")"
  xdotool mousemove $((x + w / 2)) $((y + h / 2))
  [ $x11_wm -eq 1 ] && xdotool windowactivate --sync "$id" 2>/dev/null
  xdotool key "$1"
}

# A click at the centre of the screen.
click() {
  if [ $wayland -eq 1 ]; then
    # The compositor draws the pointer into its screenshots: it is moved
    # off the picture afterwards.
    "$vnc" "$E2E_VNC_SOCKET" "click:$((sw / 2)),$((sh / 2)),$1" "move:$((sw - 1)),$((sh - 1))"
  else
    xdotool mousemove $((sw / 2)) $((sh / 2)) click "$1"
  fi
}

# The desktop's close: the window manager's, sway's kill; without one, the
# show's own Alt+F4.
close_window() {
  case $desktop in
    sway | sway-wayland) swaymsg '[title="^Vimbora$"] kill' >/dev/null ;;
    none | cage) press alt+F4 ;;
    *) wmctrl -i -c "$(e2e_wait_window Vimbora 5)" ;;
  esac
}

# Closes the show and checks its exit status; adds what went wrong to
# close_wrong.
check_close() {
  local status
  close_window
  for _ in $(seq 100); do
    kill -0 "$E2E_PROGRAM" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$E2E_PROGRAM" 2>/dev/null; then
    kill $(e2e_process_tree "$E2E_PROGRAM") 2>/dev/null
    close_wrong="${close_wrong}the program did not end after its window was closed $1"
  fi
  wait "$E2E_PROGRAM"
  status=$?
  E2E_PROGRAM=""
  [ $status -eq 0 ] || close_wrong="${close_wrong}exit status $status after closing $1, expected 0"
}

# How the desktop fares, and what the show last said.
report_failure() {
  e2e_desktop_report
  tail -n 15 "$work/show.err" | sed 's/^/e2e: show: /'
}

# Starts the show and waits for its window; sets start_wrong to what went
# wrong, empty when the window came.
start_show() {
  start_wrong=""
  launched=$(date +%s%N)
  e2e_launch "${start_env[@]}" VIMBORA_FRAME_STATS=1 "$program" "$@" "path=$work/images" \
    time=60 fade=1 2>"$work/show.err"
  if [ $wayland -eq 1 ]; then
    for _ in $(seq 150); do
      [ "$(sway_view)" != "null" ] && [ -n "$(sway_view)" ] && return
      sleep 0.2
    done
  else
    e2e_settled_window Vimbora 30 >/dev/null && return
  fi
  start_wrong="no window titled Vimbora"
}

# The monitor.
e2e_shot "$work/shot.png"
read -r sw sh <<<"$(identify -format '%w %h' "$work/shot.png")"
monitor="0 0 $sw $sh"
e2e_note "$desktop on a ${sw}x${sh} monitor"

# --- The show framed.
start_show
if [ -n "$start_wrong" ]; then
  result appears FAIL "$start_wrong"
  report_failure
  exit 1
fi
normal=$(await_geometry "")
e2e_note "window area $normal"
wrong=$(await_picture "$normal" 15)
if [ "$desktop" = sway ]; then
  # XWayland: the X window is exactly what sway shows of it.
  tile=$(sway_view)
  [ "${tile% *}" = "$normal" ] && [ "${tile##* }" = 0 ] ||
    wrong="X window $normal in sway's $(echo "$tile" | cut -d' ' -f1-4) (full screen ${tile##* }) ${wrong}"
fi
[ -z "$wrong" ] && result appears PASS || result appears FAIL "$wrong"
if [ "$desktop" = sway ] || [ $wayland -eq 1 ]; then
  # The place to come back to is sway's tile, whatever the window did.
  if [ "$(sway_view | cut -d' ' -f5)" = 1 ]; then
    swaymsg '[title="^Vimbora$"] fullscreen disable' >/dev/null
    for _ in $(seq 25); do
      [ "$(sway_view | cut -d' ' -f5)" = 0 ] && break
      sleep 0.2
    done
  fi
  normal=$(framed)
  e2e_note "sway's tile $normal"
fi

# --- Maximise and each restore trigger.
# Keys the desktop does not pass on to a window.
withheld=""
# mutter keeps Super_L for its overview.
[ "$desktop" = mutter ] && withheld="Super_L"
maximise_checked=0
for trigger in "key Escape" "key Super_L" "key Alt_L" "key F10" "key F11" "click 1" "click 3"; do
  check="restore:${trigger#* }"
  [ "${trigger% *}" = click ] && check="restore:click${trigger#* }"
  if [ "${trigger% *}" = key ] && [[ " $withheld " == *" ${trigger#* } "* ]]; then
    result "$check" "NOT CHECKED" "$desktop does not pass ${trigger#* } on to the window here"
    continue
  fi
  before=$(framed)
  if [ "$before" = "$monitor" ] && [ "$normal" != "$monitor" ]; then
    # The trigger before left the window over the monitor: it is taken back
    # as the desktop would, and measured from where it was first.
    unmaximise
    before=$(await_geometry "$normal")
  fi
  if [ "$trigger" = "key F11" ]; then
    press F11
  else
    maximise
  fi
  now=$(await_geometry "$monitor")
  wrong=""
  [ "$now" = "$monitor" ] || wrong="area $now, expected the whole monitor $monitor"
  maximised=$wrong
  if [ $maximise_checked -eq 0 ]; then
    # The first maximise also stands for the maximise check: the picture
    # over the whole monitor, above the panel.
    maximise_checked=1
    [ -z "$wrong" ] && wrong=$(await_picture "$monitor")
    [ -z "$wrong" ] && result maximise PASS || result maximise FAIL "$wrong"
  fi
  if [ "${trigger% *}" = key ]; then
    press "${trigger#* }"
  else
    click "${trigger#* }"
  fi
  now=$(await_geometry "$before")
  wrong=""
  [ "$now" = "$before" ] || wrong="area $now, expected $before as before the maximise"
  [ -z "$maximised" ] || wrong="maximised first: $maximised"
  if [ -z "$wrong" ] && { [ "$desktop" = sway ] || [ $wayland -eq 1 ]; }; then
    view=$(sway_view)
    [ "${view##* }" = 0 ] || wrong="${wrong:-sway still shows it full screen}"
  fi
  [ -z "$wrong" ] && wrong=$(await_picture "$now")
  [ -z "$wrong" ] && result "$check" PASS || result "$check" FAIL "$wrong"
done

# --- A move and a resize just before a maximise, while the show is busy
# decoding: it is stopped meanwhile, so that all three reach it in one batch.
if [ $x11_wm -eq 1 ]; then
  id=$(e2e_wait_window Vimbora 5)
  # The window comes to rest from the restore before first.
  await_geometry "" >/dev/null
  kill -STOP "$E2E_PROGRAM"
  xdotool windowmove "$id" 150 120 windowsize "$id" 784 481
  moved=$(await_geometry "")
  maximise
  await_geometry "" >/dev/null
  kill -CONT "$E2E_PROGRAM"
  now=$(await_geometry "$monitor")
  wrong=""
  [ "$now" = "$monitor" ] || wrong="maximised first: area $now, expected the whole monitor $monitor"
  press Escape
  now=$(await_geometry "$moved")
  [ -n "$wrong" ] || [ "$now" = "$moved" ] || wrong="area $now, expected $moved as moved and resized"
  [ -z "$wrong" ] && wrong=$(await_picture "$now")
  [ -z "$wrong" ] && result restore:busy PASS || result restore:busy FAIL "$wrong"
fi

close_wrong=""
check_close "the framed show"

# Every pass, drawn or skipped, waits at least 15/16 of the monitor's period
# after the one before: from launch to exit (start-up and a slow machine only
# lower the rate), the show made no more passes a second than it refreshes.
hz=60
[ "$desktop" = sway ] || [ $wayland -eq 1 ] && hz=30
read -r presented skipped <<<"$(sed -n 's/^vimbora frame stats: presented \([0-9]*\) skipped \([0-9]*\) .*/\1 \2/p' "$work/show.err")"
if [ -z "${presented:-}" ]; then
  result pace FAIL "no frame statistics from the show"
else
  rate=$(awk -v n=$((presented + skipped)) -v ns=$(($(date +%s%N) - launched)) 'BEGIN { printf "%.1f", n / (ns / 1e9) }')
  awk -v r="$rate" -v hz=$hz 'BEGIN { exit !(r <= hz * 1.1) }' &&
    result pace PASS "$rate frames/s on a $hz Hz monitor" ||
    result pace FAIL "$rate frames/s on a $hz Hz monitor"
fi

# --- Started maximised.
start_show --maximized
wrong_start=$start_wrong
if [ -z "$wrong_start" ]; then
  now=$(await_geometry "$monitor")
  [ "$now" = "$monitor" ] || wrong_start="area $now, expected the whole monitor $monitor"
  [ -z "$wrong_start" ] && wrong_start=$(await_picture "$monitor")
fi
[ -z "$wrong_start" ] && result maximized-start PASS || result maximized-start FAIL "$wrong_start"
[ -z "$start_wrong" ] && check_close "the show started maximised"
[ -z "$close_wrong" ] && result close PASS || result close FAIL "$close_wrong"

echo "e2e desktops: $desktop: ${results[*]}"
[ $failed -eq 0 ] || report_failure
exit $failed
