#!/bin/bash
# Makes GIFs with two other encoders (ImageMagick and gifsicle) from images that Debian's
# packages ship, and writes beside each GIF what ImageMagick's identify reads in it, one
# line per frame: "frames delay disposal width height x y".
#   make-peer-corpus.sh OUTDIR
set -euo pipefail
out=${1:?output directory}
convert=/usr/bin/convert     # ImageMagick's own, whatever else PATH holds
identify=/usr/bin/identify
for tool in "$convert" "$identify" /usr/bin/gifsicle; do
  [ -x "$tool" ] || { echo "missing $tool (tools/bootstrap.sh installs it)" >&2; exit 1; }
done
gifsicle() { /usr/bin/gifsicle "$@" 2>/dev/null; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# ImageMagick's built-in pictures: rose, granite, wizard, logo.
"$convert" -delay 7 -dispose None rose: \( rose: -flip \) \( rose: -flop \) -loop 0 im-none.gif
"$convert" -delay 4 -dispose Background \( granite: -resize 32x32 \) \( wizard: -resize 32x32! \) \
  \( logo: -resize 32x32! \) -loop 0 im-background.gif
"$convert" -size 40x30 xc:white -dispose Previous -delay 5 \( rose: -resize 20x10! -repage 40x30+5+6 \) \
  \( rose: -resize 8x8! -repage 40x30+10+3 \) -loop 0 im-previous.gif
"$convert" -delay 10 -dispose None rose: -delay 20 -dispose Background \( rose: -negate \) \
  -delay 0 -dispose Previous \( rose: -flip \) -loop 0 im-mixed.gif
"$convert" -delay 6 rose: \( rose: -fill red -draw 'rectangle 10,10 20,20' \) \
  \( rose: -fill blue -draw 'rectangle 30,5 50,15' \) +dither -layers OptimizePlus -loop 0 im-optimized.gif
"$convert" rose: im-still.gif

# gifsicle: re-optimised sub-frames, comments, interlacing, frames without control extension.
"$convert" -delay 6 -dispose None rose: \( rose: -fill red -draw 'rectangle 10,10 20,20' \) \
  \( rose: -fill blue -draw 'rectangle 30,5 50,15' \) +dither -remap rose: -loop 0 marks.gif
gifsicle --unoptimize im-optimized.gif | gifsicle -O2 --delay 9 >gs-optimized.gif
gifsicle --colors 256 --delay 12 --disposal background --comment "made by the peer check" \
  --loopcount=forever im-background.gif >gs-comment.gif
gifsicle --interlace --disposal previous --delay 3 im-previous.gif >gs-interlaced.gif
gifsicle --delay 0 --disposal none --no-loopcount marks.gif >gs-no-control.gif
rm marks.gif

# A picture another Debian package ships, when it is there.
logo=/usr/share/doc/cmake-data/CMakeLogo.gif
[ -f "$logo" ] && cp "$logo" shipped-cmake-logo.gif

for f in *.gif; do
  "$identify" -format '%n %T %D %w %h %X %Y\n' "$f" >"$f.frames"
done
mkdir -p "$out"
rm -f "$out"/*.gif "$out"/*.gif.frames
mv ./*.gif ./*.gif.frames "$out"/
echo "peer corpus: $(ls "$out"/*.gif | wc -l) GIFs in $out"
