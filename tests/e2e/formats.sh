#!/usr/bin/env bash
# Every image format on screen: one folder with one image per format, each
# painted in its own pair of colours (left half, right half), shown with hard
# cuts; the window is sampled until every format has been seen.
#
#   formats.sh [--windows-paths] [--expect-missing "fmt ..."] -- PROGRAM [ARGS...]
#
# Formats named by --expect-missing are reported when they do not show and
# are not counted as failures (for a platform whose decoder lacks them).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/lib.sh"

windows_paths=0
expect_missing=""
while [ $# -gt 0 ]; do
  case $1 in
    --windows-paths) windows_paths=1 ;;
    --expect-missing) expect_missing=$2; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
  shift
done
[ $# -gt 0 ] || e2e_fail "no program given"

e2e_work
mkdir "$work/all"

# Channels only 0 or 255, so that no decoder's gamma or rounding can move
# one colour onto another.
declare -A rgb=([r]="255 0 0" [g]="0 255 0" [b]="0 0 255" [y]="255 255 0"
  [m]="255 0 255" [c]="0 255 255" [w]="255 255 255")
declare -A im=([r]=red [g]=lime [b]=blue [y]=yellow [m]=magenta [c]=cyan [w]=white)
declare -A pair=([bmp]="r r" [dds]="g g" [dib]="b b" [hdr]="y y" [jpg]="m m"
  [pfm]="c c" [png]="w w" [ppm]="r g" [tga]="g b")
declare -A coder=([bmp]="BMP3:" [dds]="DDS:" [dib]="BMP3:" [hdr]="HDR:" [jpg]="JPEG:"
  [pfm]="PFM:" [png]="PNG24:" [ppm]="PPM:" [tga]="TGA:")
formats="bmp dds dib hdr jpg pfm png ppm tga"
for f in $formats; do
  read -r left right <<<"${pair[$f]}"
  convert -size 160x240 "xc:${im[$left]}" -size 160x240 "xc:${im[$right]}" +append \
    -define dds:compression=none -define dds:mipmaps=0 -quality 95 \
    "${coder[$f]}$work/all/image-$f.$f" || e2e_fail "could not make the $f image"
done
folder="$work/all"
[ $windows_paths -eq 1 ] && folder="Z:$(echo "$folder" | tr / '\\')"

e2e_start_display
"$@" "path=$folder" time=1.2 fade=0 &
E2E_PROGRAM=$!
id=$(e2e_settled_window Vimbora 60) || e2e_fail "no window titled Vimbora"
read -r cx cy cw ch <<<"$(e2e_geometry "$id")"
mx=$((cx + cw / 2))
my=$((cy + ch / 2))
lx=$((mx - ch / 3))
rx=$((mx + ch / 3))

seen=""
deadline=$(($(date +%s) + 45))
while [ "$(date +%s)" -lt $deadline ]; do
  e2e_shot "$work/s.png"
  l=$(e2e_pixel "$work/s.png" $lx $my)
  r=$(e2e_pixel "$work/s.png" $rx $my)
  for f in $formats; do
    case " $seen " in *" $f "*) continue ;; esac
    read -r a b <<<"${pair[$f]}"
    if e2e_near "$l" "${rgb[$a]}" 24 && e2e_near "$r" "${rgb[$b]}" 24; then
      seen="$seen $f"
      e2e_note "$f shown"
    fi
  done
  [ "$(echo $seen | wc -w)" -eq 9 ] && break
done

status=0
for f in $formats; do
  case " $seen " in *" $f "*) continue ;; esac
  case " $expect_missing " in
    *" $f "*) e2e_note "$f not shown: this platform's decoder does not read it (expected)" ;;
    *) echo "FAIL: the $f image was never shown" >&2; status=1 ;;
  esac
done
for f in $expect_missing; do
  case " $seen " in *" $f "*) e2e_note "$f shown although expected missing" ;; esac
done

e2e_close "$id"
exit_status=$?
[ $exit_status -eq 0 ] || e2e_fail "exit status $exit_status after closing"
[ $status -eq 0 ] && echo "e2e formats: passed"
exit $status
