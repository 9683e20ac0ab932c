#!/usr/bin/env bash
# Draws the spectrogram collage of the factory patches: every patch plays the
# same short phrase (tools/render/songs/phrase.mid) through veldane-render,
# sox draws each render's spectrogram (0 to 11 kHz, 80 dB range, 4.5 s) and
# ImageMagick's montage sets them side by side in table order, each named.
# Writes OUT.png (default docs/images/patch-sonograms.png). Installs what is
# missing.
# usage: draw-patches.sh [OUT.png]
source "$(dirname "$0")/common.sh"
out=${1:-$top/docs/images/patch-sonograms.png}
prepare
configure_and_build native veldane-render >/dev/null
render="$build/native/veldane-render"
work="$build/native/patch-sonograms"
rm -rf "$work"
mkdir -p "$work" "$(dirname "$out")"
tiles=()
n=0
while IFS= read -r line; do
  name=${line:13} # after the 12-character category column and a space
  n=$((n + 1))
  tile=$(printf '%s/%02d' "$work" "$n")
  "$render" --patch "$name" --rate 22050 --bits 16 "$top/tools/render/songs/phrase.mid" "$tile.wav" >/dev/null
  # Every tile covers the same 4.5 s, however soon the patch fell silent.
  sox -V1 "$tile.wav" -n pad 0 4.5 trim 0 4.5 spectrogram -r -x 200 -y 100 -z 80 -Z -10 -o "$tile.png"
  tiles+=(-label "$name" "$tile.png")
done < <("$render" --list)
# 128 colours without dithering keep the picture small (about 200 KB).
montage "${tiles[@]}" -tile 6x -geometry +3+3 -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
  -pointsize 11 -background '#202020' -fill '#e0e0e0' "$work/collage.png"
convert "$work/collage.png" -strip -depth 8 +dither -colors 128 "$out"
echo "spectrograms of the $n factory patches: $out"
