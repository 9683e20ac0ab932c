#!/usr/bin/env bash
# The Windows Veldane.clap's editor against the Linux one's, at a screen of
# DPI dots per inch: our CLAP host (per-monitor DPI aware, as hosts of today
# are) opens the Windows editor under wine in a prefix of that DPI, and it
# must come at the size of that DPI's scale (96: 100 %, 144: 150 %, 192:
# 200 %) and show the artwork the native build's Veldane.clap shows at that
# scale (given by our CLAP host's set_scale on a virtual X display), pixel
# for pixel, the version label within bounds (tools/compare_captures.cpp).
# usage: gui_matches_linux.sh NATIVE_BUILD_DIR CLAPHOST.exe VELDANE.clap DPI WORK_DIR
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
native=$1 claphost=$2 clap=$3 dpi=$4 work=$5
for tool in claphost compare_captures clap/Veldane.clap; do
  if [ ! -e "$native/$tool" ]; then
    echo "$native/$tool is missing: build the native tree first (scripts/test.sh does)" >&2
    exit 1
  fi
done
factor=$(awk -v d="$dpi" 'BEGIN { print d / 96 }')
size=$(awk -v f="$factor" 'BEGIN { s = f >= 2 ? 200 : f >= 1.5 ? 150 : 100;
  printf "%dx%d", int((702 * s + 50) / 100), int((366 * s + 50) / 100) }')
mkdir -p "$work"
# 96 DPI is a new prefix's own: the usual window prefix serves.
[ "$dpi" = 96 ] || export WINE_DPI=$dpi
"$top/scripts/wine-window-run.sh" "$claphost" gui "$clap" 1 --size "$size" --picture "$work/windows.png"
# Window programs of this tree take turns for a display (scripts/wine-window-run.sh).
flock "$top/build/window-programs.lock" "$top/scripts/x11-run.sh" "$native/claphost" gui "$native/clap/Veldane.clap" 1 \
  --scale "$factor" --size "$size" --picture "$work/linux.png" >/dev/null
"$native/compare_captures" "$work/windows.png" "$work/linux.png"
