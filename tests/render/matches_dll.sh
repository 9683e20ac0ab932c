#!/usr/bin/env bash
# The offline renderer against the plug-in: the demo song rendered by the
# native veldane-render, and the same events played by our VST 2.4 test host
# into Veldane.dll under wine, must give the same samples, bit for bit. The
# renderer writes what it played as a test-host script (every parameter's
# value, every MIDI message at its frame, the length), so both play the same
# events in the same blocks from a fresh process each, whose random sequence
# starts at the same seed. Three patches at three rates and block sizes:
# poly with pulse-width modulation, noise (the random sequence), legato with
# sync, glide and pitch modulation; the song brings tempo changes, bends,
# running status and more notes than voices.
# usage: matches_dll.sh NATIVE_BUILD_DIR TESTHOST.exe Veldane.dll WORK_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
native=$1 testhost=$2 dll=$3 work=$4
for tool in veldane-render compare-audio; do
  if [ ! -x "$native/$tool" ]; then
    echo "$native/$tool is missing: build the native tree first (scripts/test.sh does)" >&2
    exit 1
  fi
done
mkdir -p "$work"
song="$top/tools/render/songs/demo-song.mid"
status=0
while read -r rate block patch; do
  "$native/veldane-render" --patch "$patch" --rate "$rate" --block "$block" --bits 32 \
    --script "$work/played.txt" "$song" "$work/native.wav" >/dev/null
  "$top/scripts/wine-run.sh" "$testhost" render "$dll" "$work/played.txt" "$work/dll.wav" \
    --rate "$rate" --block "$block" >/dev/null
  printf '%s, %s Hz, blocks of %s: ' "$patch" "$rate" "$block"
  "$native/compare-audio" "$work/native.wav" "$work/dll.wav" || status=1
done <<'CASES'
44100 512 Vox Pad
48000 100 Wind
22050 37 Sync Lead
CASES
exit $status
