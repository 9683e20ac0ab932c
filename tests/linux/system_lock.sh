# Sourced by the tests that look into the system's plug-in folders: the host
# checks search them (Ardour, jalv and the LV2 tools find what is installed
# there besides the plug-in under test), and the package test installs
# Veldane into them. One lock file for the whole machine, so it also holds
# between worktrees and build trees: searchers take it shared, the package
# test exclusive, so no search ever meets an installed second copy.
system_plugins_lock() {  # system_plugins_lock shared|exclusive
  local file=/run/lock/veldane-system-plugins.lock
  [ -d /run/lock ] && [ -w /run/lock ] || file=/tmp/veldane-system-plugins.lock
  exec 9>>"$file"
  flock -w 3600 "--$1" 9 || { echo "no $1 hold on $file within an hour" >&2; exit 1; }
}
