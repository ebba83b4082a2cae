#!/usr/bin/env bash
# Draws the device's Today watermark images with ImageMagick into OUT_DIR (a cache: nothing is
# redrawn while this script is unchanged) and prints their file names, one a line.
#   watermarks.sh OUT_DIR
#
# Four families, each with one file for every screen size of the device profiles and one
# size-less file; the formats are spread so that every family and every size uses each of PNG,
# JPEG, GIF and BMP once:
#
#   family             240x320   480x640   320x240   size-less (240x320)
#   tdywater           .png      .jpg      .gif      .bmp
#   Default_tdywater   .jpg      .gif      .bmp      .png
#   stwater            .gif      .bmp      .png      .jpg
#   Default_stwater    .bmp      .png      .jpg      .gif
#
# Every picture is a soft vertical gradient from its top colour to white with a faint shape of
# its family. The top colour tells the pictures apart (a test can read the top-left pixel;
# JPEG and GIF keep it within a few units per channel):
#
#   family             240x320   480x640   320x240   size-less
#   tdywater (blue)    #A8C8F0   #B8D2F2   #C8DCF5   #D8E6F8
#   Default_tdywater   #A8DCD8   #B8E2DE   #C8E8E4   #D8EEEB   (teal)
#   stwater (green)    #B4E0A8   #C0E6B6   #CCECC4   #D8F2D2
#   Default_stwater    #F0D8A8   #F2DEB8   #F5E4C8   #F8EAD8   (amber)
set -euo pipefail
out=$1
mkdir -p "$out"
stamp=$(sha1sum "$0" | cut -c1-40)

families="tdywater Default_tdywater stwater Default_stwater"
sizes="240_320 480_640 320_240 -"

format() { # family index, size index -> extension
  local exts=(png jpg gif bmp)
  echo "${exts[$(( ($1 + $2) % 4 ))]}"
}
top_colour() {
  local table=(
    "#A8C8F0 #B8D2F2 #C8DCF5 #D8E6F8"
    "#A8DCD8 #B8E2DE #C8E8E4 #D8EEEB"
    "#B4E0A8 #C0E6B6 #CCECC4 #D8F2D2"
    "#F0D8A8 #F2DEB8 #F5E4C8 #F8EAD8")
  local row=(${table[$1]})
  echo "${row[$2]}"
}

names=()
fi_=0
for family in $families; do
  si=0
  for size in $sizes; do
    ext=$(format $fi_ $si)
    if [ "$size" = - ]; then names+=("$family.$ext"); else names+=("${family}_$size.$ext"); fi
    si=$((si + 1))
  done
  fi_=$((fi_ + 1))
done

if [ "$(cat "$out/.stamp" 2>/dev/null)" = "$stamp" ]; then
  printf '%s\n' "${names[@]}"
  exit 0
fi

rm -f "$out"/*water*
fi_=0
n=0
for family in $families; do
  si=0
  for size in $sizes; do
    if [ "$size" = - ]; then w=240; h=320; else w=${size%_*}; h=${size#*_}; fi
    top=$(top_colour $fi_ $si)
    file=$out/${names[$n]}
    s=$(( w < h ? w : h ))      # shapes scale with the shorter side
    case $family in
      tdywater)         # a four-pane window flag, lower right
        x=$((w - s * 45 / 100)); y=$((h - s * 45 / 100)); p=$((s * 14 / 100)); g=$((s * 2 / 100 + 1))
        shape=(-fill 'rgba(40,90,170,0.13)'
          -draw "rectangle $x,$y $((x + p)),$((y + p))"
          -draw "rectangle $((x + p + g)),$y $((x + 2 * p + g)),$((y + p))"
          -draw "rectangle $x,$((y + p + g)) $((x + p)),$((y + 2 * p + g))"
          -draw "rectangle $((x + p + g)),$((y + p + g)) $((x + 2 * p + g)),$((y + 2 * p + g))") ;;
      Default_tdywater) # two soft bands sweeping across the lower half
        t=$((s * 4 / 100 + 1))
        band() { # start y, end y (percent of the height)
          local y1=$((h * $1 / 100)) y2=$((h * $2 / 100)) cy=$((h * ($1 + 3) / 100))
          echo "path 'M 0,$y1 Q $((w / 2)),$cy $w,$y2 L $w,$((y2 + t)) Q $((w / 2)),$((cy + t)) 0,$((y1 + t)) Z'"
        }
        shape=(-fill 'rgba(20,120,120,0.13)' -draw "$(band 55 86)" -draw "$(band 64 96)") ;;
      stwater)          # three rising bubbles on the right
        shape=(-fill 'rgba(60,140,60,0.12)'
          -draw "circle $((w * 3 / 4)),$((h * 3 / 4)) $((w * 3 / 4 + s / 7)),$((h * 3 / 4))"
          -draw "circle $((w * 3 / 5)),$((h * 3 / 5)) $((w * 3 / 5 + s / 12)),$((h * 3 / 5))"
          -draw "circle $((w * 4 / 5)),$((h / 2)) $((w * 4 / 5 + s / 18)),$((h / 2))") ;;
      Default_stwater)  # a low sun with a horizon line
        shape=(-fill 'rgba(200,130,30,0.13)'
          -draw "circle $((w / 2)),$((h * 4 / 5)) $((w / 2 + s / 5)),$((h * 4 / 5))"
          -fill 'rgba(200,130,30,0.18)'
          -draw "rectangle 0,$((h * 4 / 5)) $w,$((h * 4 / 5 + s / 60 + 1))") ;;
    esac
    args=(-size "${w}x${h}" "gradient:$top-#FFFFFF" "${shape[@]}" -alpha off -depth 8)
    case $file in
      *.jpg) convert "${args[@]}" -quality 92 "$file" ;;
      *.gif) convert "${args[@]}" +dither -colors 256 "$file" ;;
      *.bmp) convert "${args[@]}" -type TrueColor "BMP3:$file" ;;
      *)     convert "${args[@]}" -strip "$file" ;;
    esac
    n=$((n + 1))
    si=$((si + 1))
  done
  fi_=$((fi_ + 1))
done
echo "$stamp" > "$out/.stamp"
printf '%s\n' "${names[@]}"
