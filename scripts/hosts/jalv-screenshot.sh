#!/usr/bin/env bash
# Shows an LV2 plug-in's UI in jalv.gtk3 on a virtual X display (Xvfb) and
# saves a screenshot of jalv's window (the plug-in UI under jalv's menu bar)
# as PNG with ImageMagick's import. jalv.gtk3 embeds X11 and GTK 3 UIs
# (ui:X11UI through suil); for a plug-in without one it shows its own
# generic controls. A private JACK server (dummy driver) runs meanwhile.
#
# The window is taken as ready when it is mapped and two captures 0.3 s
# apart are identical and not of one colour (a freshly mapped window is
# blank until the UI has painted it; a fixed delay is either slow or flaky).
#
# usage: jalv-screenshot.sh [--generic] [--root] PLUGIN OUT.png
#   PLUGIN     the plug-in URI, or its bundle folder
#   --generic  jalv's generic controls instead of the plug-in's UI
#   --root     the whole screen (1024x768) instead of jalv's window
source "$(dirname "$0")/common.sh"

generic=() root=0
while [ $# -gt 2 ]; do
  case $1 in
    --generic) generic=(--generic-ui); shift ;;
    --root) root=1; shift ;;
    *) die "unknown option $1" ;;
  esac
done
[ $# -eq 2 ] || die "usage: jalv-screenshot.sh [--generic] [--root] PLUGIN OUT.png"
output_file "$2"
for tool in jalv.gtk3 Xvfb import xwininfo; do
  command -v $tool >/dev/null || die "$tool is missing (scripts/setup.sh installs jalv, xvfb, imagemagick and x11-utils)"
done
lv2_resolve "$1"

jack_start
xvfb_start
spawn "$work/jalv.log" jalv.gtk3 "${generic[@]}" --jack-name synth --exact-jack-name "$lv2_uri"
jalv_pid=$spawned

# jalv's top-level window: its WM_CLASS is jalv's, and its title the
# plug-in's name. (While GTK builds the window, the socket the plug-in UI is
# embedded in can show up for a moment as a top-level of the same class,
# titled "jalv.gtk3".)
jalv_window() {
  kill -0 "$jalv_pid" 2>/dev/null || die "jalv.gtk3 ended (log: $work/jalv.log)"
  xwininfo -root -children | awk '/ "[^"]*": \("jalv.gtk3" "Jalv.gtk3"\)/ && !/ "jalv.gtk3": / { print $1; exit }'
}
window=
for i in $(seq 150); do
  window=$(jalv_window)
  [ -n "$window" ] && xwininfo -id "$window" | grep -q 'Map State: IsViewable' && break
  window=
  sleep 0.1
done
[ -n "$window" ] || die "no jalv window appeared within 15 s (log: $work/jalv.log)"
xwininfo -id "$window" -tree >"$work/window.txt"
note "window $window is mapped ($(elapsed) s)"

target=$window
[ $root = 0 ] || target=root
# An animated UI (meters) is never still: after 20 s its last painted
# capture is taken.
painted=
for i in $(seq 50); do
  import -window "$target" "$work/a.png" && sleep 0.3 && import -window "$target" "$work/b.png" ||
    die "import could not capture $target"
  if [ "$(identify -format '%k' "$work/b.png")" -gt 1 ]; then
    mv "$work/b.png" "$work/painted.png"
    painted=1
    cmp -s "$work/a.png" "$work/painted.png" && { painted=still; break; }
  fi
done
[ -n "$painted" ] || die "the window stayed blank (log: $work/jalv.log)"
[ "$painted" = still ] || note "the window never stood still; keeping the last capture"
mv "$work/painted.png" "$out"
note "saved $(identify -format '%wx%h' "$out") screenshot $out ($(elapsed) s)"
