# Sourced by what starts a virtual display with `xvfb-run -a`: it takes the
# first display number without a lock file, so two such starts at once can
# pick the same one. They take turns on this file, one for the whole machine,
# so the turns also hold between build trees and clones tested side by side.
window_programs_lock=/run/lock/veldane-window-programs.lock
[ -d /run/lock ] && [ -w /run/lock ] || window_programs_lock=/tmp/veldane-window-programs.lock
