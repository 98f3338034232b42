#!/usr/bin/env bash
# Phone photos upright: one upright portrait picture stored eight ways, each
# JPEG turned or mirrored away from upright and tagged with the EXIF
# orientation that turns it back (the EXIF block written here, byte by byte,
# in both byte orders). Every one must show as the same upright portrait,
# letterboxed at 2:3 in the middle of the window; the one quadrant whose
# colour differs from image to image tells which is on screen and that it is
# in the top-left corner.
#
#   orientation.sh [--windows-paths] -- PROGRAM [ARGS...]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"

windows_paths=0
while [ $# -gt 0 ]; do
  case $1 in
    --windows-paths) windows_paths=1 ;;
    --) shift; break ;;
    *) break ;;
  esac
  shift
done
[ $# -gt 0 ] || e2e_fail "no program given"

e2e_work
mkdir "$work/photos"

# The top-left quadrant's colour per orientation; the other three are grey.
declare -A rgb=([1]="255 0 0" [2]="0 255 0" [3]="0 0 255" [4]="255 255 0"
  [5]="255 0 255" [6]="0 255 255" [7]="255 255 255" [8]="255 128 0")
grey="128 128 128"
# What makes the stored pixels from the upright picture: the inverse of what
# each tag asks for.
declare -A undo=([1]="" [2]="-flop" [3]="-rotate 180" [4]="-flip" [5]="-transpose"
  [6]="-rotate 270" [7]="-transverse" [8]="-rotate 90")

for k in 1 2 3 4 5 6 7 8; do
  read -r r g b <<<"${rgb[$k]}"
  # shellcheck disable=SC2086
  convert -size 80x120 "xc:rgb($r,$g,$b)" -size 80x120 xc:gray50 +append \
    \( -size 160x120 xc:gray50 \) -append ${undo[$k]} -strip -quality 95 \
    "JPEG:$work/plain.jpg" || e2e_fail "could not make image $k"
  # SOI, then an APP1 segment of 34 bytes: "Exif\0\0", a TIFF header, IFD0
  # with the one Orientation entry (tag 0x0112, SHORT, count 1), no next IFD.
  if [ $((k % 2)) -eq 0 ]; then
    tiff='MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x0'$k'\x00\x00'
  else
    tiff='II\x2a\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00\x0'$k'\x00\x00\x00'
  fi
  {
    printf '\xff\xd8\xff\xe1\x00\x22Exif\x00\x00'
    printf "$tiff"
    printf '\x00\x00\x00\x00'
    tail -c +3 "$work/plain.jpg"
  } >"$work/photos/photo-$k.jpg"
done
rm "$work/plain.jpg"
folder="$work/photos"
[ $windows_paths -eq 1 ] && folder="Z:$(echo "$folder" | tr / '\\')"

e2e_start_display
"$@" "path=$folder" time=1.2 fade=0 &
E2E_PROGRAM=$!
id=$(e2e_settled_window Vimbora 60) || e2e_fail "no window titled Vimbora"
read -r cx cy cw ch <<<"$(e2e_geometry "$id")"
# The upright 2:3 portrait fills the client area's height, centred.
mx=$((cx + cw / 2))
half=$((ch / 3))
left=$((mx - ch / 6))
right=$((mx + ch / 6))
top=$((cy + ch / 4))
bottom=$((cy + 3 * ch / 4))

black="0 0 0"
seen=""
deadline=$(($(date +%s) + 90))
while [ "$(date +%s)" -lt $deadline ]; do
  e2e_shot "$work/s.png"
  # The quadrants' centres, then just inside and just outside the quad's
  # left and right edges.
  {
    read -r tl; read -r tr; read -r bl; read -r br
    read -r in_l; read -r in_r; read -r out_l; read -r out_r
  } < <(e2e_pixels "$work/s.png" $left $top $right $top $left $bottom $right $bottom \
    $((mx - half + 6)) $bottom $((mx + half - 6)) $bottom \
    $((mx - half - 6)) $bottom $((mx + half + 6)) $bottom)
  for k in 1 2 3 4 5 6 7 8; do
    case " $seen " in *" $k "*) continue ;; esac
    if e2e_near "$tl" "${rgb[$k]}" 32 && e2e_near "$tr" "$grey" 32 &&
      e2e_near "$bl" "$grey" 32 && e2e_near "$br" "$grey" 32 &&
      e2e_near "$in_l" "$grey" 32 && e2e_near "$in_r" "$grey" 32 &&
      e2e_near "$out_l" "$black" 8 && e2e_near "$out_r" "$black" 8; then
      seen="$seen $k"
      e2e_note "orientation $k shown upright"
      cp "$work/s.png" "$work/shot-$k.png"
    fi
  done
  [ "$(echo $seen | wc -w)" -eq 8 ] && break
done

status=0
for k in 1 2 3 4 5 6 7 8; do
  case " $seen " in *" $k "*) continue ;; esac
  echo "FAIL: the photo with orientation $k was never shown upright and letterboxed" >&2
  status=1
done

e2e_close "$id"
exit_status=$?
[ $exit_status -eq 0 ] || e2e_fail "exit status $exit_status after closing"
[ $status -eq 0 ] && echo "e2e orientation: passed"
exit $status
