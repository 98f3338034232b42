#!/usr/bin/env bash
# Files that change or look odd under the running show: files deleted between
# the folder's scan and their load; files still being written while the show
# reads the folder; names that are not UTF-8 or as long as Linux allows, in a
# folder deep enough that the full path passes 260 bytes; a folder given
# through a symbolic link, links inside it to a folder, to a file and to
# nothing; and a folder whose search text is over the ANSI path limit. The
# show must go on, show what can be shown, and close with exit status 0.
#
#   files.sh [--sanitized] [--out DIR] -- PROGRAM [ARGS...]
#
# Files are watched through the program's load report (VIMBORA_LOAD_STATS):
# one line per header read ("info") and per decode ("texture"), with the
# result and the path as the program gave it.
set -uo pipefail
export LC_ALL=C # names are matched as bytes
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
faults_parse_args "$@"
faults_setup

red="230 40 40"
green="40 200 60"
blue="40 60 230"
black="0 0 0"

# Waits up to $3 seconds until the report $1 has a line matching $2 (an
# extended regular expression after "vimbora load: "); $4 names it.
await_load() {
  local log=$1 pattern=$2 limit=$3 what=$4
  for _ in $(seq $((limit * 5))); do
    [ "$(faults_loads "$log" "$pattern")" -gt 0 ] && return 0
    sleep 0.2
  done
  e2e_fail "$what: no '$pattern' in the load report within $limit s"
}

# The program's name for file $2 of folder $1, as an extended regular
# expression: the folder as the setting delivers it (ASCII letters in lower
# case), a backslash, the name as the search found it.
program_path() {
  printf '%s\\%s' "$(printf '%s' "$1" | tr '[:upper:]' '[:lower:]')" "$2" | sed 's/[][\\.^$*+?(){}|]/\\&/g'
}

e2e_start_display

# --- Deleted between the scan and the load. Seven of eight images go while
# the playlist still lists them; the walk meets some of them, passes over
# them, and the show goes on with the one that is left. Which entries are
# still ahead in the list is chance, so a round that meets none is repeated.
folder="$FAULTS_WORK/deleted"
log="$FAULTS_LOGS/deleted.log"
make_eight() {
  local i
  mkdir -p "$folder"
  for i in 1 2 3 4 5 6 7; do
    [ -e "$folder/gone-$i.png" ] || faults_image "$folder/gone-$i.png" 320x240 "$blue"
  done
  [ -e "$folder/kept.png" ] || faults_image "$folder/kept.png" 320x240 "$red"
}
make_eight
faults_start "$log" "path=$folder" time=0.25 fade=0
id=$(e2e_settled_window Vimbora "$(faults_bound 60)") || e2e_fail "deleted: no window titled Vimbora"
met=0
for round in 1 2 3; do
  make_eight
  before=$(faults_loads "$log" "texture ok")
  for _ in $(seq $(($(faults_bound 20) * 5))); do
    [ "$(faults_loads "$log" "texture ok")" -ge $((before + 9)) ] && break
    sleep 0.2
  done
  lines=$(wc -l <"$log")
  rm -f "$folder"/gone-*.png
  kept=$(program_path "$folder" kept.png)
  for _ in $(seq $(($(faults_bound 10) * 5))); do
    [ "$(tail -n +$((lines + 1)) "$log" | grep -cE "^vimbora load: texture ok $kept\$")" -ge 3 ] && break
    sleep 0.2
  done
  met=$(tail -n +$((lines + 1)) "$log" | grep -cE "^vimbora load: (info|texture) failed .*gone-[0-9]\.png\$")
  [ "$met" -gt 0 ] && break
  e2e_note "deleted: round $round met no deleted file, again"
done
[ "$met" -gt 0 ] || e2e_fail "deleted: in three rounds the walk never met a file deleted after the scan"
faults_await_colour "$id" "$(faults_bound 10)" "deleted: the image left" "$red" >/dev/null || exit 1
faults_close_expect_0 "$id" "$(faults_bound 10)" deleted
faults_no_sanitizer_report "$log"
e2e_note "deleted: $met tries of deleted files passed over, the image left shown, closed with 0"

# --- Files still being written: a JPEG and a PNG grow in chunks of 32 KiB
# while the show, with time=0, reads the folder at every frame. No try of
# the unfinished files may give an image (a truncated file is refused), and
# once complete both are shown.
folder="$FAULTS_WORK/growing"
log="$FAULTS_LOGS/growing.log"
mkdir -p "$folder" "$FAULTS_WORK/sources"
faults_image "$folder/steady.png" 320x240 "$red"
faults_image "$FAULTS_WORK/sources/grow.jpg" 900x700 "128 128 128" +noise Random -quality 92
faults_image "PNG24:$FAULTS_WORK/sources/grow.png" 500x400 "128 128 128" +noise Random
# Copies file $1 into $2 in chunks of 32 KiB, one every 40 ms, all but the
# last chunk; finish_growing adds that one.
grow() {
  local size chunk=32768 offset=0
  size=$(stat -c %s "$1")
  : >"$2"
  while [ $((offset + chunk)) -lt "$size" ]; do
    dd if="$1" bs=$chunk skip=$((offset / chunk)) count=1 status=none >>"$2"
    offset=$((offset + chunk))
    sleep 0.04
  done
}
finish_growing() {
  local chunk=32768 size
  size=$(stat -c %s "$1")
  dd if="$1" bs=$chunk skip=$(((size - 1) / chunk)) status=none >>"$2"
}
faults_start "$log" "path=$folder" time=0
id=$(e2e_settled_window Vimbora "$(faults_bound 60)") || e2e_fail "growing: no window titled Vimbora"
grow "$FAULTS_WORK/sources/grow.jpg" "$folder/grow.jpg" &
writer_jpg=$!
grow "$FAULTS_WORK/sources/grow.png" "$folder/grow.png" &
writer_png=$!
wait $writer_jpg $writer_png
sleep 0.5
lines=$(wc -l <"$log")
finish_growing "$FAULTS_WORK/sources/grow.jpg" "$folder/grow.jpg"
finish_growing "$FAULTS_WORK/sources/grow.png" "$folder/grow.png"
for f in grow.jpg grow.png; do
  cmp -s "$FAULTS_WORK/sources/$f" "$folder/$f" || e2e_fail "growing: the copy of $f differs"
done
partial=$(head -n "$lines" "$log" | grep -cE "^vimbora load: (info|texture) (ok|failed) .*grow\.(jpg|png)\$")
early=$(head -n "$lines" "$log" | grep -cE "^vimbora load: texture ok .*grow\.(jpg|png)\$")
[ "$early" -eq 0 ] || e2e_fail "growing: $early images made from files still being written"
[ "$partial" -gt 0 ] || e2e_fail "growing: the unfinished files were never tried"
await_load "$log" "texture ok .*grow\.jpg\$" "$(faults_bound 10)" "growing: the finished JPEG"
await_load "$log" "texture ok .*grow\.png\$" "$(faults_bound 10)" "growing: the finished PNG"
faults_close_expect_0 "$id" "$(faults_bound 10)" growing
faults_no_sanitizer_report "$log"
e2e_note "growing: $partial tries of unfinished files refused, both shown once complete, closed with 0"

# --- Odd names and links. The images live in "target"; the show is given
# a link to it at the end of a chain of folders 200 bytes long, so that the
# full path of the 255-byte name is over 260 bytes (the search text, folder
# and pattern, is not).
target="$FAULTS_WORK/target"
mkdir -p "$target/inner" "$FAULTS_WORK/elsewhere"
long=$(printf 'n%.0s' $(seq 251)).png
latin1=$'caf\xe9.png'
invalid=$'\xff\xfe\x80 raw.jpg'
faults_image "$target/$long" 320x240 "$red"
faults_image "$target/$latin1" 320x240 "$green"
faults_image "$target/$invalid" 320x240 "$blue" -quality 95
faults_image "$target/inner/inside.png" 320x240 "$red"
faults_image "$FAULTS_WORK/elsewhere/real.bmp" 320x240 "$green"
ln -s inner "$target/linked-folder.png"
ln -s ../elsewhere/real.bmp "$target/alias.bmp"
ln -s nothing-here.jpg "$target/broken.jpg"
mkdir "$target/folder.tga"
deep="$FAULTS_WORK"
while [ ${#deep} -lt 190 ]; do
  deep="$deep/$(printf 'd%.0s' $(seq 40))"
done
mkdir -p "$deep"
[ $((${#deep} + 12)) -lt 260 ] || e2e_fail "names: the work folder $FAULTS_WORK is too long for this test"
ln -s "$target" "$deep/link"
folder="$deep/link"
[ $((${#folder} + 1 + ${#long})) -gt 260 ] || e2e_fail "names: the full path is not over 260 bytes"
log="$FAULTS_LOGS/names.log"
faults_start "$log" "path=$folder" time=0.2 fade=0
id=$(e2e_settled_window Vimbora "$(faults_bound 60)") || e2e_fail "names: no window titled Vimbora"
for name in "$long" "$latin1" "$invalid" alias.bmp; do
  await_load "$log" "texture ok $(program_path "$folder" "$name")\$" "$(faults_bound 10)" "names: '$name'"
done
await_load "$log" "info failed $(program_path "$folder" broken.jpg)\$" "$(faults_bound 10)" "names: the broken link"
sleep 1
for name in linked-folder.png folder.tga inside.png; do
  [ "$(faults_loads "$log" ".*$name\$")" -eq 0 ] || e2e_fail "names: '$name' was read, but it is no image of the folder"
done
faults_close_expect_0 "$id" "$(faults_bound 10)" names
faults_no_sanitizer_report "$log"
e2e_note "names: 255-byte, Latin-1 and invalid names and a link to a file shown; links to a folder and to nothing passed over; closed with 0"

# --- A folder whose search text ("folder\*.bmp") would be over the ANSI
# limit of 260 bytes: said on standard error, exit status 2, nothing read.
toolong="$deep/$(printf 'e%.0s' $(seq 70))"
mkdir -p "$toolong"
faults_image "$toolong/shown-nowhere.png" 320x240 "$red"
log="$FAULTS_LOGS/toolong.log"
faults_start "$log" "path=$toolong" time=0.2 fade=0
e2e_wait_exit "$(faults_bound 10)"
[ "$E2E_STATUS" -eq 2 ] || e2e_fail "toolong: exit status $E2E_STATUS, expected 2"
grep -q "the folder path is too long" "$log" || e2e_fail "toolong: no message on standard error"
[ "$(faults_loads "$log" "")" -eq 0 ] || e2e_fail "toolong: files read from a folder too long to search"
faults_no_sanitizer_report "$log"
e2e_note "toolong: a ${#toolong}-byte folder is refused with a message and exit status 2"
echo "faults files: passed"
