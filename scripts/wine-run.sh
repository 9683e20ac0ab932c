#!/usr/bin/env bash
# Runs a Windows program under wine in the project's own prefix (inside the
# build tree, so tests never depend on the user's home), with wine's debug
# output off. The first call creates the prefix.
# usage: wine-run.sh PROGRAM.exe [ARGS...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$top/build/wine-prefix}"
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko installers: the prefix is only a place to run our programs.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  echo "wine: creating the prefix $WINEPREFIX (once, takes a little while)" >&2
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi
exec wine "$@"
