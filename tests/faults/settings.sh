#!/usr/bin/env bash
# Bad settings end to end: sizes and times of zero, below zero, huge or not a
# number. Each run must end one of two ways within a bound, never in a hang
# or a crash: a working show (the window shows an image, or at least stays
# up, and closing it gives exit status 0), or the "Error" message box, the
# same words on standard error, and exit status 1 once the box is dismissed.
#
#   settings.sh [--sanitized] [--out DIR] -- PROGRAM [ARGS...]
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

# words | expected: "show" (an image on screen), "runs" (the window stays up;
# what it shows is not checked) or "error".
cases=(
  # The back buffer takes the client area's size, as Direct3D does for a
  # windowed device; the picture itself is sized by the setting, so it is
  # 0 pixels wide or high and the window stays black.
  "width=0|runs"
  "height=0|runs"
  "width=1 height=1|runs"
  # Sizes no device can hold.
  "width=-3|error"
  "width=100000|error"
  "height=-2147483648|error"
  "width=99999999999|error"
  "width=16385 height=16|error"
  # Times: 0 or less advances at every frame, a huge one or one that is not
  # a number never advances; a fade below 0 cuts, a huge one is cut to time.
  "time=0|show"
  "time=-1|show"
  "time=1e30|show"
  "time=nan|show"
  "time=inf|show"
  "time=abc|show"
  "fade=-5|show"
  "fade=1e30|show"
  "fade=nan|show"
  "time=0.5 fade=1e30|show"
)

e2e_start_display
n=0
for entry in "${cases[@]}"; do
  n=$((n + 1))
  words=${entry%|*}
  expected=${entry#*|}
  log="$FAULTS_LOGS/case-$n.log"
  # shellcheck disable=SC2086 # the words are separate arguments
  faults_start "$log" "path=$FAULTS_WORK/photos" $words
  outcome=""
  shown_since=""
  deadline=$(($(date +%s) + $(faults_bound 30)))
  while [ "$(date +%s)" -lt $deadline ]; do
    if ! kill -0 "$E2E_PROGRAM" 2>/dev/null; then
      outcome=exited
      break
    fi
    box=$(faults_managed_window Error)
    if [ -n "$box" ]; then
      outcome=error
      break
    fi
    id=$(xdotool search --onlyvisible --name '^Vimbora$' 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
      c=$(faults_centre "$id")
      if e2e_near "$c" "$red" 24 || e2e_near "$c" "$blue" 24; then
        outcome=show
        break
      fi
      shown_since=${shown_since:-$(date +%s)}
      if [ "$expected" = runs ] && [ $(($(date +%s) - shown_since)) -ge 3 ]; then
        outcome=runs
        break
      fi
    fi
    sleep 0.3
  done
  case "$expected/$outcome" in
    show/show | runs/runs | runs/show)
      # Still up a moment later (no crash at the first advances), then
      # closed with status 0.
      sleep 1
      kill -0 "$E2E_PROGRAM" 2>/dev/null || e2e_fail "'$words': the program ended by itself"
      [ -z "$(faults_managed_window Error)" ] || e2e_fail "'$words': an Error box after the show began"
      faults_close_expect_0 "$id" "$(faults_bound 10)" "'$words'"
      ;;
    error/error)
      grep -q "^Error: " "$log" || e2e_fail "'$words': no 'Error: ' line on standard error"
      faults_dismiss "$box"
      e2e_wait_exit "$(faults_bound 10)"
      [ "$E2E_STATUS" -eq 1 ] || e2e_fail "'$words': exit status $E2E_STATUS after the Error box, expected 1"
      ;;
    *)
      e2e_shot "$FAULTS_LOGS/case-$n.png"
      e2e_fail "'$words': expected '$expected', got '${outcome:-nothing within the bound}' (log $log)"
      ;;
  esac
  faults_no_sanitizer_report "$log"
  e2e_note "'$words': $outcome$([ "$outcome" = error ] && echo ", exit 1" || echo ", closed with 0")"
done
echo "faults settings: passed"
