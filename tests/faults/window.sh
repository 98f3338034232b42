#!/usr/bin/env bash
# The window under stress: minimised and restored many times while slides
# fade and advance (a client area of 0 × 0 must never crash anything), also
# from the borderless full-monitor mode; and closed while an image that takes
# seconds to decode is being decoded, at start-up and during the show: the
# program must then end with status 0 promptly after the decode.
#
#   window.sh [--sanitized] [--out DIR] -- PROGRAM [ARGS...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
faults_parse_args "$@"
faults_setup

red="230 40 40"
blue="40 60 230"

mkdir "$FAULTS_WORK/photos"
faults_image "$FAULTS_WORK/photos/wide.png" 800x600 "$red"
faults_image "$FAULTS_WORK/photos/tall.jpg" 600x800 "$blue" -quality 95

e2e_start_display

# --- Minimise and restore, 20 times framed and 5 times from the full-monitor
# mode, with slides of 0.3 s that fade for 0.2 s: advances, fades and the
# refits of WM_SIZE all meet the empty client area.
log="$FAULTS_LOGS/minimise.log"
faults_start "$log" "path=$FAULTS_WORK/photos" time=0.3 fade=0.2
id=$(e2e_settled_window Vimbora "$(faults_bound 60)") || e2e_fail "minimise: no window titled Vimbora"
read -r _ _ cw ch <<<"$(e2e_geometry "$id")"
faults_await_colour "$id" "$(faults_bound 10)" "minimise: first image" "$red" "$blue" >/dev/null || exit 1
cycle() {
  xdotool windowminimize --sync "$id"
  sleep 0.3
  xprop -id "$id" WM_STATE | grep -q Iconic || e2e_fail "minimise: the window manager did not minimise the window ($1)"
  kill -0 "$E2E_PROGRAM" 2>/dev/null || e2e_fail "minimise: the program ended while minimised ($1)"
  wmctrl -i -a "$id"
  sleep 0.3
}
for n in $(seq 20); do
  cycle "framed, cycle $n"
done
loads_minimised=$(faults_loads "$log" "texture ok")
faults_await_colour "$id" "$(faults_bound 10)" "minimise: image after the framed cycles" "$red" "$blue" >/dev/null || exit 1
read -r _ _ w h <<<"$(e2e_geometry "$id")"
[ "$w $h" = "$cw $ch" ] || e2e_fail "minimise: client ${w}x${h} after the cycles, expected ${cw}x${ch}"
wmctrl -i -r "$id" -b add,maximized_vert,maximized_horz
sleep 1
for n in $(seq 5); do
  cycle "full-monitor, cycle $n"
done
faults_await_colour "$id" "$(faults_bound 10)" "minimise: image after the full-monitor cycles" "$red" "$blue" >/dev/null || exit 1
faults_close_expect_0 "$id" "$(faults_bound 10)" minimise
faults_no_sanitizer_report "$log"
e2e_note "minimise: 25 minimise/restore cycles ($loads_minimised images loaded meanwhile), image shown after, closed with 0"

# --- Closing during a long decode. An 8000 × 8000 PNG (64 megapixels, just
# within the decoder's bound, and unlike a JPEG never decoded at a reduced
# scale) takes seconds; with time=0.5 every advance decodes it again, since
# the folder holds nothing else. The close comes as soon as the load report
# shows a decode under way.
mkdir "$FAULTS_WORK/big"
faults_image "PNG24:$FAULTS_WORK/big/huge.png" 1x1 "$red" -scale '8000x8000!' -depth 8

# Closes window $1 once the report $2 shows a decode that has begun after
# its first $3 lines (a header read with no decode after it); prints how
# many seconds the program took to end after the close.
close_during_decode() {
  local id=$1 log=$2 skip=$3 what=$4 last start end
  for _ in $(seq $(($(faults_bound 60) * 20))); do
    last=$(tail -n +$((skip + 1)) "$log" | tail -n 1)
    case $last in "vimbora load: info ok "*) break ;; esac
    last=""
    sleep 0.05
  done
  [ -n "$last" ] || e2e_fail "$what: no decode of the huge image began"
  CLOSE_LINE=$(wc -l <"$log")
  wmctrl -i -c "$id"
  start=$(date +%s%N)
  e2e_wait_exit "$(faults_bound 30)"
  end=$(date +%s%N)
  [ "$E2E_STATUS" -eq 0 ] || e2e_fail "$what: exit status $E2E_STATUS after closing, expected 0"
  CLOSE_SECONDS=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.2f", ns / 1e9 }')
}

log="$FAULTS_LOGS/close-at-start.log"
faults_start "$log" "path=$FAULTS_WORK/big" time=0.5 fade=0
id=$(e2e_wait_window Vimbora "$(faults_bound 60)") || e2e_fail "close at start: no window titled Vimbora"
close_during_decode "$id" "$log" 0 "close at start"
faults_no_sanitizer_report "$log"
[ "$(faults_loads "$log" "")" -le 4 ] || e2e_fail "close at start: decodes went on after the close"
e2e_note "close at start: ended with 0 in $CLOSE_SECONDS s after the close"

log="$FAULTS_LOGS/close-in-show.log"
faults_start "$log" "path=$FAULTS_WORK/big" time=0.5 fade=0
id=$(e2e_settled_window Vimbora "$(faults_bound 60)") || e2e_fail "close in show: no window titled Vimbora"
# The two start-up decodes are done once two textures are reported.
for _ in $(seq $(($(faults_bound 60) * 5))); do
  [ "$(faults_loads "$log" "texture ok")" -ge 2 ] && break
  sleep 0.2
done
[ "$(faults_loads "$log" "texture ok")" -ge 2 ] || e2e_fail "close in show: the start-up decodes did not end"
faults_await_colour "$id" "$(faults_bound 10)" "close in show: the huge image" "$red" >/dev/null || exit 1
close_during_decode "$id" "$log" "$(wc -l <"$log")" "close in show"
faults_no_sanitizer_report "$log"
[ "$(tail -n +$((CLOSE_LINE + 1)) "$log" | grep -c "^vimbora load: ")" -le 1 ] ||
  e2e_fail "close in show: decodes went on after the close"
e2e_note "close in show: ended with 0 in $CLOSE_SECONDS s after the close"
echo "faults window: passed"
