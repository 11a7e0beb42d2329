#!/usr/bin/env bash
# Regenerates the program's bitmap art:
#   src/resources/icon/zaqchat-32.png, zaqchat-16.png  palette PNGs from the hand-drawn XPMs
#   src/resources/icon/zaqchat-48.png ... -256.png      the same drawings, pixels repeated
#                                                       (48 from the 16, 64/128/256 from the 32)
#   src/resources/icon/zaqchat.ico                      both sizes, 4 bits per pixel + AND mask
#   src/resources/about.jpg                             the about window's picture, drawn below
# The XPM files are the sources; everything else is generated from them and from
# the drawing commands in this script. The results are committed, the build does
# not run this. Output is byte-for-byte repeatable with the same ImageMagick and
# DejaVu fonts (no timestamps, no metadata).
#
# Needs: ImageMagick 6 (convert, identify, compare), fonts-dejavu-core, GNU grep, od.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
res="$here/../src/resources"
icon="$res/icon"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
jpeg_quality=85

for tool in convert identify compare od grep; do
  command -v "$tool" >/dev/null || { echo "make-art: $tool not found" >&2; exit 1; }
done
[ -r "$font" ] || { echo "make-art: $font missing (install fonts-dejavu-core)" >&2; exit 1; }

# One thread, so nothing depends on scheduling.
export MAGICK_THREAD_LIMIT=1

# --- the icons may only use the 16 VGA colours (plus "None") ------------------
vga=' #000000 #800000 #008000 #808000 #000080 #800080 #008080 #C0C0C0'
vga+=' #808080 #FF0000 #00FF00 #FFFF00 #0000FF #FF00FF #00FFFF #FFFFFF None '
for size in 32 16; do
  xpm="$icon/zaqchat-$size.xpm"
  while read -r colour; do
    case "$vga" in
      *" $colour "*) ;;
      *) echo "make-art: $xpm uses $colour, not a VGA colour" >&2; exit 1 ;;
    esac
  done < <(grep -oE '^"[^"]{1} c [^"]+"' "$xpm" | sed -E 's/^". c ([^"]+)"$/\1/' | awk '$0 == "None" { print; next } { print toupper($0) }')
done

# --- icons --------------------------------------------------------------------
for size in 32 16; do
  convert "$icon/zaqchat-$size.xpm" -strip -define 'png:exclude-chunks=date,time' \
    "$icon/zaqchat-$size.png"
done
# Larger sizes repeat each pixel of a drawing, so they stay the same
# 16-colour icon, sharp at any size.
for pair in 48:16 64:32 128:32 256:32; do
  convert "$icon/zaqchat-${pair##*:}.xpm" -sample "${pair%%:*}x${pair%%:*}" -strip \
    -define 'png:exclude-chunks=date,time' "$icon/zaqchat-${pair%%:*}.png"
done
# PaletteAlpha keeps the images colour-mapped, so the ICO writer stores 4 bpp
# with a transparency mask instead of 32-bit RGBA.
convert "$icon/zaqchat-16.xpm" "$icon/zaqchat-32.xpm" -strip -type PaletteAlpha "$icon/zaqchat.ico"

# --- about picture, 160 x 148 -------------------------------------------------
# Two desk computers joined by a cable, a speech bubble over each, the name on top.
bezel='#dcd6c6' edge='#4a4638' screen='#0e3a4e' mint='#7fe0c8' butter='#ffe680'
convert -size 160x148 gradient:'#1d4b86'-'#a9cdee' \
  \( -size 160x32 gradient:'#e2d9bf'-'#b3a88b' \) -geometry +0+116 -composite \
  -fill '#f1ead8' -draw 'rectangle 0,116 159,116' \
  -font "$font" -pointsize 22 -gravity north \
  -fill '#0b2346' -annotate +1+7 'ZAQ CHAT' -fill white -annotate +0+6 'ZAQ CHAT' \
  -gravity northwest \
  -stroke '#1f3550' -strokewidth 1 \
  -fill white -draw 'roundrectangle 10,36 66,58 8,8' -draw 'polygon 24,57 34,57 26,64' \
  -fill "$butter" -draw 'roundrectangle 94,40 150,62 8,8' -draw 'polygon 126,61 136,61 134,68' \
  -stroke none \
  -fill white -draw 'rectangle 25,56 33,57' \
  -fill "$butter" -draw 'rectangle 127,60 135,61' \
  -fill '#1d4b86' -draw 'circle 27,47 29.5,47' -draw 'circle 38,47 40.5,47' -draw 'circle 49,47 51.5,47' \
  -fill '#8a3a00' -pointsize 13 -annotate +110+44 'Hi!' \
  -stroke "$edge" -fill "$bezel" \
  -draw 'roundrectangle 17,68 67,106 4,4' -draw 'roundrectangle 93,68 143,106 4,4' \
  -fill "$screen" -draw 'rectangle 22,73 62,100' -draw 'rectangle 98,73 138,100' \
  -stroke none \
  -fill '#1a4c63' -draw 'polygon 23,74 40,74 23,91' -draw 'polygon 99,74 116,74 99,91' \
  -fill "$mint" -draw 'rectangle 26,78 48,80' -draw 'rectangle 26,92 44,94' -draw 'rectangle 110,85 134,87' \
  -fill "$butter" -draw 'rectangle 36,85 58,87' -draw 'rectangle 102,78 124,80' -draw 'rectangle 102,92 120,94' \
  -fill '#3fbf4f' -draw 'rectangle 61,102 63,103' -draw 'rectangle 137,102 139,103' \
  -fill '#b9b2a1' -draw 'rectangle 38,107 46,111' -draw 'rectangle 114,107 122,111' \
  -stroke "$edge" -fill "$bezel" \
  -draw 'roundrectangle 27,111 57,117 2,2' -draw 'roundrectangle 103,111 133,117 2,2' \
  -fill none -stroke '#2a2a2a' -strokewidth 2 -draw 'path "M 57,115 C 72,142 88,142 103,115"' \
  -stroke none -fill '#ffd23a' -draw 'circle 80,135 82.5,135' \
  -strip -type TrueColor -colorspace sRGB -interlace none -sampling-factor 2x2 \
  -quality "$jpeg_quality" "JPEG:$res/about.jpg"

# --- checks -------------------------------------------------------------------
fail() { echo "make-art: $*" >&2; exit 1; }
rgba() { convert "$1" -depth 8 txt:- | tail -n +2 | awk '{print $1, $3}'; }

for size in 32 16; do
  [ "$(rgba "$icon/zaqchat-$size.xpm")" = "$(rgba "$icon/zaqchat-$size.png")" ] \
    || fail "zaqchat-$size.png differs from its XPM"
done
for pair in 48:16 64:32 128:32 256:32; do
  [ "$(rgba "$icon/zaqchat-${pair%%:*}.png" | awk '{print $2}' | sort -u)" = \
    "$(rgba "$icon/zaqchat-${pair##*:}.xpm" | awk '{print $2}' | sort -u)" ] \
    || fail "zaqchat-${pair%%:*}.png has colours its drawing does not"
  [ "$(convert "$icon/zaqchat-${pair%%:*}.png" -sample "${pair##*:}x${pair##*:}" -depth 8 txt:- | tail -n +2 | awk '{print $1, $3}')" = \
    "$(rgba "$icon/zaqchat-${pair##*:}.xpm")" ] || fail "zaqchat-${pair%%:*}.png is not its drawing with pixels repeated"
done
for pair in 0:16 1:32; do
  [ "$(rgba "$icon/zaqchat.ico[${pair%%:*}]")" = "$(rgba "$icon/zaqchat-${pair##*:}.xpm")" ] \
    || fail "zaqchat.ico image ${pair%%:*} differs from zaqchat-${pair##*:}.xpm"
done

u8() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
u16() { od -An -tu2 --endian=little -j "$2" -N2 "$1" | tr -d ' '; }

echo "== icons"
identify -format '%f: %wx%h %m %[type] colors=%k (incl. transparent)\n' \
  "$icon"/zaqchat-{256,128,64,48,32,16}.png
for size in 256 128 64 48 32 16; do
  f="$icon/zaqchat-$size.png"
  # IHDR: bit depth at byte 24, colour type at byte 25 (3 = indexed)
  echo "zaqchat-$size.png: PNG bit depth $(u8 "$f" 24), colour type $(u8 "$f" 25), $(stat -c %s "$f") bytes"
  if [ "$(u8 "$f" 24)" -gt 4 ] || [ "$(u8 "$f" 25)" != 3 ]; then
    fail "zaqchat-$size.png is not a 16-colour palette PNG"
  fi
done
identify -format '%f[%p]: %wx%h %m colors=%k\n' "$icon/zaqchat.ico"
ico="$icon/zaqchat.ico"
for k in $(seq 0 $(( $(u16 "$ico" 4) - 1 ))); do
  e=$((6 + 16 * k))
  echo "zaqchat.ico entry $k: $(u8 "$ico" $e)x$(u8 "$ico" $((e + 1))), palette $(u8 "$ico" $((e + 2))), $(u16 "$ico" $((e + 6))) bpp"
  [ "$(u16 "$ico" $((e + 6)))" = 4 ] || fail "zaqchat.ico entry $k is not 4 bpp"
done

echo "== about picture"
jpg="$res/about.jpg"
identify -format '%f: %wx%h %m %b quality=%Q interlace=%[interlace] colorspace=%[colorspace] channels=%[channels] sampling=%[jpeg:sampling-factor]\n' "$jpg"
# first start-of-frame marker (SOFn = 0xFFC0..0xFFCF except DHT C4, JPG C8, DAC CC)
sof=$(LC_ALL=C grep -obUaP '\xff[\xc0-\xc3\xc5-\xc7\xc9-\xcb\xcd-\xcf]' "$jpg" | head -n1 | cut -d: -f1)
[ -n "$sof" ] || fail "about.jpg: no SOF marker"
marker=$(u8 "$jpg" $((sof + 1)))
components=$(u8 "$jpg" $((sof + 9)))
jfif=$(od -An -c -j 6 -N 4 "$jpg" | tr -d ' ')
adobe=$(LC_ALL=C grep -caP '\xff\xee' "$jpg" || true)
echo "about.jpg: SOF marker 0xFF$(printf '%02X' "$marker") ($([ "$marker" = 192 ] && echo baseline || echo NOT baseline)), $components components ($([ "$components" = 3 ] && [ "$adobe" = 0 ] && echo YCbCr, JFIF, no Adobe marker || echo not JFIF YCbCr)), APP0 '$jfif', $(stat -c %s "$jpg") bytes"
[ "$marker" = 192 ] || fail "about.jpg is not baseline"
[ "$components" = 3 ] || fail "about.jpg has $components components"
[ "$jfif" = JFIF ] || fail "about.jpg has no JFIF header"
