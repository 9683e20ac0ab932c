#!/usr/bin/env bash
# Runs a program on a virtual X display of its own: Xvfb (1600x900, 24 bits,
# room for the panel at 200 %, 1404 x 732; no network) picks a free display
# number and tells it (-displayfd), so runs in parallel never collide. The
# display is ended by its process id when the program is done; the program's
# exit status is the script's. The server does
# not reset when its last client leaves (-noreset): a reset drops any client
# that connects meanwhile, and test programs connect one after another.
# With XFT_DPI set, the display's resources say Xft.dpi: XFT_DPI, as a
# desktop's do for a high-density screen (192 for 200 %).
# usage: [XFT_DPI=N] x11-run.sh PROGRAM [ARGS...]
set -euo pipefail
number=$(mktemp)
Xvfb -displayfd 3 -noreset -screen 0 1600x900x24 -nolisten tcp 3>"$number" 2>/dev/null &
xvfb=$!
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -f "$number"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$number" ] && break
  kill -0 "$xvfb" 2>/dev/null || { echo "x11-run.sh: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
[ -s "$number" ] || { echo "x11-run.sh: Xvfb gave no display number within 5 s" >&2; exit 1; }
display=":$(head -n1 "$number")"
if [ -n "${XFT_DPI:-}" ]; then
  printf 'Xft.dpi:\t%s\n' "$XFT_DPI" | DISPLAY="$display" xrdb -nocpp -merge
fi
status=0
DISPLAY="$display" "$@" || status=$?
exit $status
