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
