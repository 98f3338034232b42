#!/usr/bin/env bash
# The soak: many advances with time=0 (a new slide at every frame) over a
# folder of good and bad files, in a real window. Checks: every good image
# and no bad file is made into a texture; the show reaches the number of
# advances asked for without stalling; closing gives exit status 0; no
# sanitizer report (under a sanitizer build LeakSanitizer checks the exit);
# and, in a normal build, the resident memory after the first pass over the
# folder stays within the bound its design gives and does not grow (below).
#
#   soak.sh [--advances N] [--sanitized] [--out DIR] -- PROGRAM [ARGS...]
#
# Advances are counted through the program's load report (VIMBORA_LOAD_STATS):
# after the two start-up loads, each advance makes exactly one texture. The
# memory is VmRSS of /proc, sampled every half second; the samples are kept
# in soak-rss.tsv (seconds, advances, KiB) under --out.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"
advances=200
rest=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case $1 in
    --advances) advances=$2; shift ;;
    *) rest+=("$1") ;;
  esac
  shift
done
faults_parse_args "${rest[@]}" "$@"
faults_setup

# Twelve good images, every format, sizes from 300 to 2000 pixels a side.
folder="$FAULTS_WORK/mixed"
mkdir "$folder"
good=(a.bmp b.dds c.dib d.hdr e.jpg f.pfm g.png h.ppm i.tga j.jpg k.png l.JPG)
make() { convert "$@" || e2e_fail "could not make ${*: -1}"; }
make -size 640x480 "xc:rgb(230,40,40)" "BMP3:$folder/a.bmp"
make -size 512x512 "xc:rgb(40,200,60)" -define dds:compression=none -define dds:mipmaps=0 "DDS:$folder/b.dds"
make -size 400x600 "xc:rgb(40,60,230)" "BMP3:$folder/c.dib"
make -size 512x384 "xc:rgb(200,200,40)" "HDR:$folder/d.hdr"
make -size 1024x768 gradient:white-black -quality 90 "$folder/e.jpg"
make -size 300x300 "xc:rgb(40,200,200)" "PFM:$folder/f.pfm"
make -size 800x600 gradient:red-blue "PNG24:$folder/g.png"
make -size 640x360 "xc:rgb(200,40,200)" "PPM:$folder/h.ppm"
make -size 480x480 "xc:rgb(120,120,120)" "TGA:$folder/i.tga"
make -size 2000x1500 xc:gray +noise Random -quality 85 "$folder/j.jpg"
make -size 1200x900 "xc:rgba(40,200,60,0.5)" "PNG32:$folder/k.png"
make -size 900x1200 "xc:rgb(250,250,250)" -quality 90 "$folder/l.JPG"
# Bad files with image names, and entries that are no images of the folder.
echo "not an image" >"$folder/notes.jpg"
head -c $(($(stat -c %s "$folder/e.jpg") / 2)) "$folder/e.jpg" >"$folder/cut.jpg"
head -c $(($(stat -c %s "$folder/g.png") / 2)) "$folder/g.png" >"$folder/cut.png"
: >"$folder/empty.bmp"
{ printf 'DDS '; yes garbage | head -c 4096; } >"$folder/junk.dds"
{ printf '#?RADIANCE\n'; yes garbage | head -c 4096; } >"$folder/junk.hdr"
mkfifo "$folder/pipe.ppm"
ln -s nowhere.tga "$folder/gone.tga"
mkdir "$folder/folder.png"
cp "$folder/a.bmp" "$folder/.hidden.bmp"
bad=(notes.jpg cut.jpg cut.png empty.bmp junk.dds junk.hdr pipe.ppm gone.tga folder.png .hidden.bmp)

e2e_start_display
log="$FAULTS_LOGS/soak.log"
tsv="$FAULTS_LOGS/soak-rss.tsv"
: >"$tsv"
export VIMBORA_FRAME_STATS=1
faults_start "$log" "path=$folder" time=0
id=$(e2e_settled_window Vimbora "$(faults_bound 60)") || e2e_fail "no window titled Vimbora"

# Sample until the advances are done; fail on a stall of 30 s.
start=$(date +%s%N)
done_advances=0
last_progress=$(date +%s)
while [ $done_advances -lt "$advances" ]; do
  sleep 0.5
  kill -0 "$E2E_PROGRAM" 2>/dev/null || e2e_fail "the program ended by itself after $done_advances advances"
  now=$(date +%s%N)
  n=$(($(faults_loads "$log" "texture ok") - 2))
  [ $n -lt 0 ] && n=0
  rss=$(faults_rss "$E2E_PROGRAM")
  echo "$(awk -v ns=$((now - start)) 'BEGIN { printf "%.1f", ns / 1e9 }') $n ${rss:-0}" >>"$tsv"
  if [ $n -gt $done_advances ]; then
    done_advances=$n
    last_progress=$(date +%s)
  elif [ $(($(date +%s) - last_progress)) -ge "$(faults_bound 30)" ]; then
    e2e_fail "no advance for $(faults_bound 30) s, stuck at $done_advances"
  fi
done
e2e_wait_exit "$(faults_bound 20)" "$id"
faults_no_sanitizer_report "$log"
[ "$E2E_STATUS" -eq 0 ] || e2e_fail "exit status $E2E_STATUS after closing, expected 0"

# What was shown: every good image, no bad file.
for name in "${good[@]}"; do
  [ "$(faults_loads "$log" "texture ok .*\\\\$name\$")" -gt 0 ] || e2e_fail "'$name' was never shown"
done
for name in "${bad[@]}"; do
  [ "$(faults_loads "$log" "texture ok .*\\\\$name\$")" -eq 0 ] || e2e_fail "'$name' made a texture"
done

# The memory after the first pass over the folder's images: its range, and
# the median of each half of the samples.
pass=${#good[@]}
read -r low high samples <<<"$(awk -v pass="$pass" '$2 >= pass && $3 > 0 {
    if (n == 0 || $3 < low) low = $3; if ($3 > high) high = $3; n++ }
  END { print low + 0, high + 0, n + 0 }' "$tsv")"
[ "$samples" -ge 4 ] || e2e_fail "only $samples memory samples after the first pass"
read -r early late <<<"$(awk -v pass="$pass" '$2 >= pass && $3 > 0 { r[n++] = $3 }
  function median(from, to,   m, i, j, t, v) {
    m = 0; for (i = from; i < to; i++) v[m++] = r[i]
    for (i = 1; i < m; i++) { t = v[i]; for (j = i - 1; j >= 0 && v[j] > t; j--) v[j + 1] = v[j]; v[j + 1] = t }
    return v[int(m / 2)] }
  END { print median(0, int(n / 2)), median(int(n / 2), n) }' "$tsv")"
growth=$(awk -v l="$low" -v h="$high" 'BEGIN { printf "%.1f", (h / l - 1) * 100 }')
frames=$(sed -n 's/^vimbora frame stats: presented \([0-9]*\) skipped \([0-9]*\) .*/\1 presented, \2 skipped/p' "$log")
{
  echo "soak: $done_advances advances with time=0 in $(tail -n 1 "$tsv" | cut -d' ' -f1) s; frames ${frames:-not reported}"
  echo "soak: resident memory after the first pass: $((low / 1024))-$((high / 1024)) MiB over $samples samples, largest $growth % above smallest"
  echo "soak: seconds advances RSS-MiB"
  awk -v rows=12 '{ t[NR] = $1; a[NR] = $2; r[NR] = $3 } END {
    for (i = 1; i <= rows; i++) { k = int((i - 1) * (NR - 1) / (rows - 1)) + 1;
      if (k != last) printf "  %7s %6d %7.1f\n", t[k], a[k], r[k] / 1024; last = k } }' "$tsv"
} | tee "$FAULTS_LOGS/soak-summary.txt"
# After the first pass the texture storage of the size class (the largest
# width and height among the textures: 2000 x 1500 here) is final, and so are
# the layer's recycled image buffers. What may still come and go: storage of
# the class not made yet (at most three textures of it live at once: the
# current, the next, one the last frame still holds), storage of textures
# under a quarter of the class, at most three, and scratch memory of a few
# MiB. So the samples may spread by three class textures and 2 %, and the
# later half of them may not lie higher than the earlier half: nothing grows
# with the run.
class_kib=$((2000 * 1500 * 4 / 1024))
limit=$((low / 50 + class_kib * 3))
echo "soak: medians of the two halves $((early / 1024)) and $((late / 1024)) MiB" | tee -a "$FAULTS_LOGS/soak-summary.txt"
if [ "$FAULTS_SLOW" -eq 1 ]; then
  [ $((high - low)) -le $limit ] ||
    e2e_fail "resident memory spread $((high - low)) KiB ($growth %) after the first pass (limit $limit KiB)"
  [ "$late" -le $((early + early / 50)) ] ||
    e2e_fail "resident memory grew from a median of $early KiB to $late KiB"
else
  e2e_note "memory not judged under a sanitizer (its quarantine holds freed memory)"
fi
echo "faults soak: passed"
