#!/usr/bin/env bash
# Runs a Windows program under wine in one of the project's own prefixes
# (inside the build tree, so tests never depend on the user's home), with
# wine's debug output off. The program's machine type picks the prefix: a
# 64-bit program runs in a 64-bit prefix (wine64), anything else in a 32-bit
# one (wine32), so each build's tests meet only their own kind of wine. The
# first call creates the prefix; WINEPREFIX, when set, names another.
# usage: wine-run.sh PROGRAM.exe [ARGS...]
#        wine-run.sh --prefix-only PROGRAM.exe   (creates the prefix, runs nothing)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
prefix_only=
if [ "${1:-}" = --prefix-only ]; then prefix_only=1; shift; fi

# The PE header's machine field: 4 bytes past the "PE\0\0" signature, whose
# offset the DOS header keeps at byte 60. 8664 is x86-64.
machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 0
  [ -n "$offset" ] && od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

# A prefix named by WINEPREFIX that exists already keeps its own kind (a
# 64-bit prefix runs 32-bit programs and wine's own tools, such as reg, too).
if [ -n "${WINEPREFIX:-}" ] && [ -f "$WINEPREFIX/system.reg" ]; then
  grep -q '^#arch=win64' "$WINEPREFIX/system.reg" && export WINEARCH=win64 || export WINEARCH=win32
elif [ -f "$1" ] && [ "$(machine "$1")" = 8664 ]; then
  export WINEARCH=win64
  export WINEPREFIX="${WINEPREFIX:-$top/build/wine64-prefix}"
else
  export WINEARCH=win32
  export WINEPREFIX="${WINEPREFIX:-$top/build/wine-prefix}"
fi
export WINEDEBUG=-all
# No Mono or Gecko installers: the prefix is only a place to run our programs.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  echo "wine: creating the $WINEARCH prefix $WINEPREFIX (once, takes a little while)" >&2
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi
[ -z "$prefix_only" ] || exit 0
# Debian's `wine` starts wine64 by itself for a 64-bit program.
exec wine "$@"
