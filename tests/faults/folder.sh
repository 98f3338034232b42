#!/usr/bin/env bash
# The folder goes away under the running show: emptied, removed, or made
# unreadable; and a folder that holds no image when the show starts. The show
# goes on with the images it already holds, then shows black; once a rebuild
# of the playlist has found nothing the list stays empty, so nothing more is
# read, not even when images come back. Closing still gives exit status 0.
#
#   folder.sh [--sanitized] [--out DIR] -- PROGRAM [ARGS...]
#
# Files are watched through the program's load report (VIMBORA_LOAD_STATS):
# one line for every file the image decoder is asked to read.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
faults_parse_args "$@"
faults_setup

red="230 40 40"
green="40 200 60"
blue="40 60 230"
black="0 0 0"
slide=0.5 # seconds per slide, hard cuts

fill_folder() {
  mkdir -p "$1"
  faults_image "$1/a.png" 640x480 "$red"
  faults_image "$1/b.jpg" 480x640 "$green" -quality 95
  faults_image "$1/c.bmp" 640x400 "$blue"
}

# Expects the report in $1 to stay at $2 lines for $3 seconds; $4 names the
# moment.
expect_no_more_loads() {
  sleep "$3"
  local now
  now=$(faults_loads "$1" "")
  [ "$now" -eq "$2" ] || e2e_fail "$4: $((now - $2)) more files read, expected none"
}

# Whether the case can make a folder unreadable to the program: as root only
# when the program can run without the capabilities that read any folder.
unreadable_prefix() {
  if [ "$(id -u)" -ne 0 ]; then
    return 0
  fi
  if setpriv --bounding-set -dac_override,-dac_read_search true 2>/dev/null; then
    # shellcheck disable=SC2054 # setpriv takes its capabilities comma-separated
    FAULTS_PREFIX=(setpriv --bounding-set -dac_override,-dac_read_search)
    return 0
  fi
  return 1
}

# One run: the show starts on a folder of three images, `$2` is done to the
# folder once a whole pass has been read, then the window must turn black,
# the reading stop, and stay stopped when the images are put back.
run_case() {
  local name=$1 fault=$2 folder="$FAULTS_WORK/$1" log="$FAULTS_LOGS/$1.log" id count
  fill_folder "$folder"
  faults_start "$log" "path=$folder" "time=$slide" fade=0
  id=$(e2e_settled_window Vimbora "$(faults_bound 60)") || e2e_fail "$name: no window titled Vimbora"
  faults_await_colour "$id" "$(faults_bound 10)" "$name: first image" "$red" "$green" "$blue" >/dev/null || exit 1
  # Four images made into textures: every file has been read once.
  for _ in $(seq $(($(faults_bound 10) * 5))); do
    [ "$(faults_loads "$log" "texture ok")" -ge 4 ] && break
    sleep 0.2
  done
  $fault "$folder"
  faults_await_colour "$id" "$(faults_bound 10)" "$name: black once the images held are shown" "$black" >/dev/null || exit 1
  kill -0 "$E2E_PROGRAM" 2>/dev/null || e2e_fail "$name: the program ended"
  count=$(faults_loads "$log" "")
  expect_no_more_loads "$log" "$count" 2 "$name: after the empty rebuild"
  chmod 755 "$folder" 2>/dev/null
  fill_folder "$folder"
  expect_no_more_loads "$log" "$count" 3 "$name: after the images came back"
  c=$(faults_centre "$id")
  e2e_near "$c" "$black" 8 || e2e_fail "$name: centre rgb($c) after the images came back, expected black"
  faults_close_expect_0 "$id" "$(faults_bound 10)" "$name"
  faults_no_sanitizer_report "$log"
  FAULTS_PREFIX=()
  e2e_note "$name: black after the images held, no file read afterwards ($count reads in all), closed with 0"
}

emptied() { rm -f "$1"/*; }
removed() { rm -rf "$1"; }
unreadable() { chmod 000 "$1"; }

e2e_start_display
run_case emptied emptied
run_case removed removed
if unreadable_prefix; then
  run_case unreadable unreadable
else
  e2e_note "unreadable: skipped, this root cannot give up its power to read any folder"
fi

# A folder without images at the start: black at once, and images added
# later are not read during this run.
folder="$FAULTS_WORK/empty"
log="$FAULTS_LOGS/empty.log"
mkdir "$folder"
echo "not an image" >"$folder/notes.txt"
faults_start "$log" "path=$folder" "time=$slide" fade=0
id=$(e2e_settled_window Vimbora "$(faults_bound 60)") || e2e_fail "empty: no window titled Vimbora"
faults_await_colour "$id" "$(faults_bound 10)" "empty: black window" "$black" >/dev/null || exit 1
fill_folder "$folder"
expect_no_more_loads "$log" 0 3 "empty: images added to a folder that held none"
faults_close_expect_0 "$id" "$(faults_bound 10)" empty
faults_no_sanitizer_report "$log"
e2e_note "empty: black, nothing read, closed with 0"

# The folder as typed: siblings differing only in case, each with its own
# colour; the one spelled as typed is shown, else the lower-case one. A name
# beginning with "*" is an image like any other.
twins="$FAULTS_WORK/twins"
mkdir -p "$twins/Photos" "$twins/photos" "$twins/PHOTOS"
faults_image "$twins/Photos/a.png" 640x480 "$red"
faults_image "$twins/photos/a.png" 640x480 "$green"
faults_image "$twins/PHOTOS/a.png" 640x480 "$blue"
mv "$twins/PHOTOS/a.png" "$twins/PHOTOS/*a.png"
for typed in "Photos:$red" "PHOTOS:$blue" "pHoToS:$green"; do
  name=${typed%%:*}
  log="$FAULTS_LOGS/typed-$name.log"
  faults_start "$log" "path=$twins/$name" "time=$slide" fade=0
  id=$(e2e_settled_window Vimbora "$(faults_bound 60)") || e2e_fail "typed $name: no window titled Vimbora"
  faults_await_colour "$id" "$(faults_bound 10)" "typed $name" "${typed#*:}" >/dev/null || exit 1
  faults_close_expect_0 "$id" "$(faults_bound 10)" "typed $name"
  faults_no_sanitizer_report "$log"
  e2e_note "path=.../$name: the folder shown is the one typed (or its lower-case twin)"
done

# A folder too long for a Windows search text (the folder, a backslash and
# "*.bmp" within 259 bytes): a message and status 2, no show of another one.
long="$FAULTS_WORK/$(printf 'x%.0s' $(seq 250))"
log="$FAULTS_LOGS/long.log"
faults_start "$log" "path=$long"
e2e_wait_exit "$(faults_bound 10)"
[ "$E2E_STATUS" -eq 2 ] || e2e_fail "too long a path: exit status $E2E_STATUS, expected 2"
grep -q "folder path is too long" "$log" || e2e_fail "too long a path: no message on standard error"
e2e_note "path of ${#long} bytes: a message and exit status 2"
echo "faults folder: passed"
