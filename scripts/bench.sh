#!/usr/bin/env bash
# Builds and runs the engine benchmark (native build), then times the offline
# renderer on a three-minute song that keeps all eight voices sounding.
# Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native veldane_bench veldane-render
"$build/native/veldane_bench" "$@"
echo "== veldane-render: three minutes of overlapping eight-note chords, one core"
/usr/bin/python3 "$top/tools/render/songs/make_songs.py" --bench "$build/native/bench-song.mid"
# Its last line says how many times faster than real time it rendered.
"$build/native/veldane-render" --patch "Brass Section" "$build/native/bench-song.mid" "$build/native/bench-song.wav"
