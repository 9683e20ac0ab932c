#!/usr/bin/env bash
# The main job: builds Veldane.dll, loads it in the test host under wine and
# shows what a host sees. Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build win32
dll="$build/win32/Veldane.dll"
echo "Veldane.dll: $dll"
"$top/scripts/wine-run.sh" "$build/win32/testhost.exe" info "$dll"
# Then play the demo phrase through it, as a host would, into a WAV file.
"$top/scripts/wine-run.sh" "$build/win32/testhost.exe" render "$dll" "$top/tools/testhost/demo.txt" "$build/demo.wav"
echo "demo rendering: $build/demo.wav"
sox "$build/demo.wav" -n remix 1 rate 22050 spectrogram -x 900 -y 257 -z 90 \
  -t "Veldane demo: chords, then a legato line with glide, bend and vibrato" -o "$build/demo.png"
echo "its spectrogram: $build/demo.png"
# And a picture of its editor as a host's window shows it.
"$top/scripts/wine-window-run.sh" "$build/win32/testhost.exe" editor "$dll" "$build/editor.png" && echo "editor screenshot: $build/editor.png"

# The factory patches as preset files and the offline renderer (native build).
configure_and_build native factory_presets veldane-render
echo "factory presets, one .fxp per patch and the bank \"Veldane Factory.fxb\": $build/native/presets"
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
bash "$top/scripts/draw-patches.sh" "$build/patch-spectrograms.png"
