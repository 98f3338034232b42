# shellcheck shell=bash
# Helpers for the fault tests: the end-to-end helpers, plus the program run
# with its load report on, its exit awaited within a bound, the "Error" box
# found and dismissed, sanitizer reports caught. Sourced by the test scripts,
# which are all called as
#
#   script.sh [--sanitized] [--out DIR] -- PROGRAM [ARGS...]
#
# --sanitized marks a sanitizer build: every time bound is multiplied by
# FAULTS_SLOW. --out keeps the logs and screenshots in DIR.
faults_here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$faults_here/../e2e/lib.sh"

FAULTS_SLOW=1
FAULTS_OUT=""
FAULTS_PROGRAM=()
FAULTS_PREFIX=()
faults_parse_args() {
  while [ $# -gt 0 ]; do
    case $1 in
      --sanitized) FAULTS_SLOW=3 ;;
      --out) FAULTS_OUT=$2; shift ;;
      --) shift; break ;;
      *) break ;;
    esac
    shift
  done
  [ $# -gt 0 ] || e2e_fail "no program given"
  FAULTS_PROGRAM=("$@")
}

# Makes the work folder (kept under --out when given) and the clean-up. The
# program is killed outright: stuck in a message box it would not end on a
# polite signal, and e2e_stop_display would wait for it for ever.
faults_setup() {
  FAULTS_WORK=$(mktemp -d)
  FAULTS_LOGS=${FAULTS_OUT:-$FAULTS_WORK/logs}
  mkdir -p "$FAULTS_LOGS"
  trap 'faults_kill; e2e_stop_display; chmod -R u+rwx "$FAULTS_WORK" 2>/dev/null; rm -rf "$FAULTS_WORK"' EXIT
}

faults_kill() {
  if [ -n "${E2E_PROGRAM:-}" ]; then
    kill -9 "$E2E_PROGRAM" 2>/dev/null
    wait "$E2E_PROGRAM" 2>/dev/null
    E2E_PROGRAM=""
  fi
}

# Seconds scaled for the build: faults_bound 10 is 30 under sanitizers.
faults_bound() {
  echo $(($1 * FAULTS_SLOW))
}

# Starts the program with ARGS, its standard error (with the load report) in
# LOG; sets E2E_PROGRAM. With FAULTS_PREFIX set (an array), runs the program
# through that command.
faults_start() {
  local log=$1
  shift
  VIMBORA_LOAD_STATS=1 "${FAULTS_PREFIX[@]}" "${FAULTS_PROGRAM[@]}" "$@" 2>"$log" &
  E2E_PROGRAM=$!
}

# Closes the window $1 as the window manager's close button does and expects
# exit status 0 within $2 seconds (default 10, scaled). $3 names the case.
faults_close_expect_0() {
  local id=$1 limit=${2:-$(faults_bound 10)} what=${3:-the show}
  e2e_wait_exit "$limit" "$id"
  [ "$E2E_STATUS" -eq 0 ] || e2e_fail "$what: exit status $E2E_STATUS after closing, expected 0"
}

# Prints the id of the managed window titled exactly $1, found through the
# window manager's list: SDL's message box titles itself in UTF-8 only,
# which xdotool's search does not read.
faults_managed_window() {
  wmctrl -l | awk -v title="$1" '{
    t = $0; sub(/^[^ ]+ +[^ ]+ +[^ ]+ /, "", t); if (t == title) { print $1; exit } }'
}

# Dismisses the message box $1 with the Return key, its default button.
faults_dismiss() {
  wmctrl -i -a "$1"
  sleep 0.3
  xdotool key Return
}

# Prints "r g b" of the centre of the client area of window $1.
faults_centre() {
  local x y w h
  read -r x y w h <<<"$(e2e_geometry "$1")"
  e2e_shot "$FAULTS_WORK/centre.png"
  e2e_pixel "$FAULTS_WORK/centre.png" $((x + w / 2)) $((y + h / 2))
}

# Waits up to $2 seconds for the centre of window $1 to be near one of the
# colours given after it (each "r g b"); prints the colour seen. Fails after
# the bound with $3 naming what was awaited.
faults_await_colour() {
  local id=$1 limit=$2 what=$3 c want deadline
  shift 3
  deadline=$(($(date +%s) + limit))
  while :; do
    c=$(faults_centre "$id")
    for want in "$@"; do
      e2e_near "$c" "$want" 24 && { echo "$c"; return 0; }
    done
    [ "$(date +%s)" -lt $deadline ] || e2e_fail "$what: centre rgb($c) after $limit s"
    sleep 0.2
  done
}

# Number of lines of the load report in $1 that match the extended regular
# expression $2 (after "vimbora load: ").
faults_loads() {
  grep -cE "^vimbora load: $2" "$1"
}

# Fails when the log $1 holds a report of AddressSanitizer, LeakSanitizer or
# UndefinedBehaviorSanitizer.
faults_no_sanitizer_report() {
  if grep -qE "ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|SUMMARY: [A-Za-z]+Sanitizer" "$1"; then
    grep -E -A12 "ERROR: |runtime error:" "$1" | head -n 60 >&2
    e2e_fail "sanitizer report in $1"
  fi
}

# Prints the resident memory of process $1 in KiB (VmRSS), or nothing.
faults_rss() {
  awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null
}

# Solid images: faults_image FILE WIDTHxHEIGHT "r g b" [convert options].
faults_image() {
  local file=$1 size=$2 rgb
  read -ra rgb <<<"$3"
  shift 3
  convert -size "$size" "xc:rgb(${rgb[0]},${rgb[1]},${rgb[2]})" "$@" "$file" ||
    e2e_fail "could not make $file"
}
