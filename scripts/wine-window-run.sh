#!/usr/bin/env bash
# Runs a Windows program that opens windows (the editor window tests, the test
# host's `editor` command) under wine on a virtual X display. It gets a wine
# prefix of its own next to the program: a wineserver left running by another
# wine process in a shared prefix would belong to no display and make window
# creation fail. With WINE_DPI set, the prefix is one whose screen has that
# DPI (wine's LogPixels setting, as winecfg sets it), beside the other.
# usage: [WINE_DPI=N] wine-window-run.sh PROGRAM.exe [ARGS...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
export WINEPREFIX="${WINEPREFIX_GUI:-$(dirname "$program")/wine-prefix-gui${WINE_DPI:+-dpi$WINE_DPI}}"
# A new prefix is made before the display is taken: making it needs none.
"$top/scripts/wine-run.sh" --prefix-only "$program"
if [ -n "${WINE_DPI:-}" ] && ! grep -qi "\"LogPixels\"=dword:$(printf %08x "$WINE_DPI")" "$WINEPREFIX/user.reg"; then
  arch=win32
  [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && arch=win64
  WINEARCH=$arch WINEDEBUG=-all wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$WINE_DPI" /f \
    >/dev/null
  wineserver -w
fi
# Wait for any wineserver of this prefix to go before starting a new display.
WINEPREFIX="$WINEPREFIX" wineserver -w 2>/dev/null || true
# xvfb-run -a takes the first display number that has no lock file yet, so
# two window programs of this tree started at once (the test command runs the
# 32- and 64-bit suites side by side) could both take it: they take turns.
mkdir -p "$top/build"
# Inside the display's lifetime, the prefix's wine processes (the program and
# wine's own desktop process) are ended once the program is done, so none is
# left talking to a display that xvfb-run then takes away. The server does not
# reset when its last client leaves (-noreset): a reset drops a wine process
# that connects meanwhile.
exec flock "$top/build/window-programs.lock" xvfb-run -a -s "-noreset -screen 0 1600x900x24" bash -c '
  "$0" "$@"; status=$?
  wineserver -k 2>/dev/null || true
  exit $status' "$top/scripts/wine-run.sh" "$program" "$@"
