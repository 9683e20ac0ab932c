#!/usr/bin/env bash
# The main job: builds the 32-bit and the 64-bit Veldane.dll, loads each in
# its test host (under wine32 and wine64) and shows what a host sees, plays
# the demo phrase through both and takes the editor's picture; then the
# factory presets, the demo song, and the Linux plug-ins with what a Linux
# host sees of each and a picture of the Linux editor beside the Windows
# one, both Veldane.clap files as our CLAP host sees them and the panel at
# 200 % as each shows it (the Windows one on a screen of 192 DPI), for the
# README, and both Veldane.vst3 bundles as our VST 3 host sees them, each
# playing the demo phrase; how many factory presets each host finds in each
# format; last, what users download, in dist/. Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build win32
configure_and_build win64
for kind in win32 win64; do
  dll="$build/$kind/Veldane.dll"
  echo
  echo "== $kind Veldane.dll: $dll"
  "$top/scripts/wine-run.sh" "$build/$kind/testhost.exe" info "$dll"
done
echo
# Then play the demo phrase through each, as a host would, into WAV files.
"$top/scripts/wine-run.sh" "$build/win32/testhost.exe" render "$build/win32/Veldane.dll" \
  "$top/tools/testhost/demo.txt" "$build/demo.wav"
"$top/scripts/wine-run.sh" "$build/win64/testhost.exe" render "$build/win64/Veldane.dll" \
  "$top/tools/testhost/demo.txt" "$build/demo-win64.wav"
echo "demo rendering: $build/demo.wav (32-bit), $build/demo-win64.wav (64-bit)"
if cmp -s "$build/demo.wav" "$build/demo-win64.wav"; then
  echo "the two renderings are identical, sample for sample"
else
  echo "the 32-bit and the 64-bit renderings differ" >&2
  exit 1
fi
sox "$build/demo.wav" -n remix 1 rate 22050 spectrogram -x 900 -y 257 -z 90 \
  -t "Veldane demo: chords, then a legato line with glide, bend and vibrato" -o "$build/demo.png"
echo "its spectrogram: $build/demo.png"
# And a picture of its editor as a host's window shows it.
"$top/scripts/wine-window-run.sh" "$build/win32/testhost.exe" editor "$build/win32/Veldane.dll" "$build/editor.png" && echo "editor screenshot: $build/editor.png"

# The factory patches as preset files and the offline renderer (native build).
configure_and_build native factory_presets veldane_vst3_presets veldane-render
echo "factory presets, one VST 2.4 program per patch (.fxp): $build/native/presets"
echo "factory presets as VST 3 preset files, to copy below a VST 3 preset root: $build/native/vst3-presets"
# The demo song, each of its four parts played with a patch of its own, mixed.
song="$top/tools/render/songs/demo-song.mid"
parts=("Fat Saw Bass" "String Ensemble" "Solo Saw" "Harp") # MIDI channels 1 to 4
mix=()
for channel in 1 2 3 4; do
  part="$build/native/demo-song-$channel.wav"
  "$build/native/veldane-render" --channel "$channel" --patch "${parts[channel - 1]}" --bits 32 "$song" "$part"
  mix+=(-v 1 "$part")
done
sox -V1 -m "${mix[@]}" "$build/demo-song.flac" norm -1
echo "demo song ($(IFS=,; echo "${parts[*]}" | sed 's/,/, /g')): $build/demo-song.flac"
sox "$build/demo-song.flac" -n remix 1 rate 22050 spectrogram -x 900 -y 257 -z 90 \
  -t "Veldane demo song: bass, strings, lead and harp, four factory patches" -o "$build/demo-song.png"
echo "its spectrogram: $build/demo-song.png"
bash "$top/scripts/draw-patches.sh" "$build/patch-sonograms.png"

# The Linux plug-ins, and what a Linux host sees of each: veldane.so loaded
# by our test host (dlopen), the LV2 bundle through lilv (lv2info, with its
# folder first on LV2_PATH and the system's bundles after it).
configure_and_build native veldane_vst2_linux veldane_lv2_linux veldane_clap_linux testhost claphost compare_captures
echo
echo "== veldane.so, VST 2.4 for Linux: $build/native/vst/veldane.so"
"$build/native/testhost" info "$build/native/vst/veldane.so"
echo
echo "== veldane.lv2, LV2: $build/native/lv2/veldane.lv2"
uri=$(LV2_PATH="$build/native/lv2" lv2ls)
LV2_PATH="$build/native/lv2:/usr/local/lib/lv2:/usr/lib/lv2" lv2info "$uri"

# The CLAP plug-ins as our CLAP host sees them: the Linux one natively, the
# 64-bit Windows one under wine64.
configure_and_build win64 VeldaneClap claphost
echo
echo "== Veldane.clap, CLAP for Linux: $build/native/clap/Veldane.clap"
"$build/native/claphost" info "$build/native/clap/Veldane.clap"
echo
echo "== Veldane.clap, CLAP for 64-bit Windows: $build/win64/Veldane.clap"
"$top/scripts/wine-run.sh" "$build/win64/claphost.exe" info "$build/win64/Veldane.clap"

# The panel at 200 %: Veldane.clap's editor at our CLAP host's scale of 2 on
# Linux, and under wine on a screen of 192 DPI, which must show the same
# artwork; reduced 2:1 it is held against the panel at 100 %. The README
# shows it (docs/images/editor-200.png).
echo
"$top/scripts/x11-run.sh" "$build/native/claphost" gui "$build/native/clap/Veldane.clap" 1 --scale 1 \
  --picture "$build/editor-clap-100.png" >/dev/null
"$top/scripts/x11-run.sh" "$build/native/claphost" gui "$build/native/clap/Veldane.clap" 1 --scale 2 \
  --picture "$build/editor-200.png" >/dev/null
echo "the panel at 200 % (Veldane.clap on Linux): $build/editor-200.png"
"$build/native/compare_captures" --halved "$build/editor-clap-100.png" "$build/editor-200.png"
WINE_DPI=192 "$top/scripts/wine-window-run.sh" "$build/win64/claphost.exe" gui "$build/win64/Veldane.clap" 1 \
  --picture "$build/editor-win64-200.png" >/dev/null
echo "the same under wine at 192 DPI (the 64-bit Windows Veldane.clap): $build/editor-win64-200.png"
"$build/native/compare_captures" "$build/editor-win64-200.png" "$build/editor-200.png"
cp "$build/editor-200.png" "$top/docs/images/editor-200.png"

# The Linux editor as a host's X11 window shows it (on a virtual display),
# beside the Windows one, and how far the two pictures differ.
echo
"$top/scripts/x11-run.sh" "$build/native/testhost" editor "$build/native/vst/veldane.so" "$build/editor-linux.png" &&
  echo "Linux editor screenshot: $build/editor-linux.png (the Windows one: $build/editor.png)"
"$build/native/compare_captures" "$build/editor.png" "$build/editor-linux.png"

# The VST 3 bundles, for Linux and for 64-bit Windows, and what our VST 3 host
# (tools/vst3host) sees of each: the Linux module loaded natively, the
# Windows one under wine64; both play the demo phrase.
configure_and_build native veldane_vst3_linux vst3host
for kind in native win64; do
  bundle="$build/$kind/vst3/Veldane.vst3"
  host=("$build/native/vst3host")
  [ "$kind" = win64 ] && host=("$top/scripts/wine-run.sh" "$build/win64/vst3host.exe")
  echo
  echo "== Veldane.vst3, VST 3 for $([ "$kind" = win64 ] && echo "64-bit Windows" || echo Linux): $bundle"
  find "$bundle" -type f | sed "s|^$build/$kind/vst3/|  |"
  "${host[@]}" info "$bundle"
  "${host[@]}" render "$bundle" "$top/tools/testhost/demo.txt" "$build/demo-vst3-$kind.wav"
done
if cmp -s "$build/demo-vst3-native.wav" "$build/demo-win64.wav" && cmp -s "$build/demo-vst3-win64.wav" "$build/demo-win64.wav"; then
  echo "both VST 3 renderings of the demo phrase hold the DLL's samples"
else
  echo "a VST 3 rendering of the demo phrase differs from the DLL's" >&2
  exit 1
fi

# The factory patches as each host finds them, in each format: our CLAP host
# through the library's preset-discovery factory, our VST 3 host in the
# program list and the preset files, lilv in the LV2 bundle, and Ardour 7
# (headless) for LV2 and VST 3 (with the preset files in a preset folder of
# its run's own). The VST 2.4 plug-ins have no presets of their own: their
# users load the .fxp files (docs/manual.md).
echo
echo "== the factory presets as each host sees them"
lv2_count=$(bash "$top/scripts/hosts/lv2-check.sh" --presets "$build/native/lv2/veldane.lv2" 2>/dev/null | wc -l)
ardour_lv2=$(bash "$top/scripts/hosts/ardour-presets.sh" "lv2:$build/native/lv2/veldane.lv2" 2>/dev/null | tail -n +2)
ardour_vst3=$(bash "$top/scripts/hosts/ardour-presets.sh" --vst3-presets "$build/native/vst3-presets" \
  "vst3:$build/native/vst3/Veldane.vst3" 2>/dev/null | tail -n +2)
clap_native=$("$build/native/claphost" presets "$build/native/clap/Veldane.clap" | tail -n 1)
clap_win64=$("$top/scripts/wine-run.sh" "$build/win64/claphost.exe" presets "$build/win64/Veldane.clap" | tail -n 1)
preset_files="$build/native/vst3-presets/Orvandel/Veldane"
vst3_native=$("$build/native/vst3host" presets "$build/native/vst3/Veldane.vst3" "$preset_files" | tail -n 1)
vst3_win64=$("$top/scripts/wine-run.sh" "$build/win64/vst3host.exe" presets "$build/win64/vst3/Veldane.vst3" \
  "$preset_files" | tail -n 1)
printf '%-8s %-34s %s\n' format host presets \
  "VST 2.4" "(none of its own)" "$(ls "$build/native/presets" | grep -c '\.fxp$') .fxp files to load" \
  LV2 "lv2info (lilv)" "$lv2_count" \
  LV2 "Ardour 7" "$(echo "$ardour_lv2" | grep -c .)" \
  CLAP "claphost, Linux" "$clap_native" \
  CLAP "claphost, 64-bit Windows (wine64)" "$clap_win64" \
  "VST 3" "vst3host, Linux" "$vst3_native" \
  "VST 3" "vst3host, 64-bit Windows (wine64)" "$vst3_win64" \
  "VST 3" "Ardour 7" "$(echo "$ardour_vst3" | grep -c 'VST3-P:') programs, $(echo "$ardour_vst3" | grep -c 'VST3-S:') preset files"

# What users download, in dist/: the Debian package, the Windows installer,
# the Linux and Windows archives and their checksums (packaging/make-dist.sh),
# listed with their sizes.
echo
bash "$top/packaging/make-dist.sh" "$build" "$top/dist"
