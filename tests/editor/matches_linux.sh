#!/usr/bin/env bash
# The Windows editor's picture against the Linux editor's in the same state:
# the test host of the native build opens veldane.so's editor on a virtual X
# display after the same parameter changes (the demo phrase's) as the
# Windows picture, and compare_captures holds the two to the same artwork,
# pixel for pixel, and a version label within bounds (the Windows label's
# text is rendered at run time; see tools/compare_captures.cpp).
# usage: matches_linux.sh NATIVE_BUILD_DIR WINDOWS_PICTURE.png WORK_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
native=$1 windows=$2 work=$3
for tool in testhost compare_captures vst/veldane.so; do
  if [ ! -e "$native/$tool" ]; then
    echo "$native/$tool is missing: build the native tree first (scripts/test.sh does)" >&2
    exit 1
  fi
done
mkdir -p "$work"
# Window programs take turns for a display (scripts/wine-window-run.sh).
source "$top/scripts/window-lock.sh"
flock "$window_programs_lock" "$top/scripts/x11-run.sh" "$native/testhost" editor "$native/vst/veldane.so" \
  "$work/linux.png" "$top/tools/testhost/demo.txt" >/dev/null
"$native/compare_captures" "$windows" "$work/linux.png"
