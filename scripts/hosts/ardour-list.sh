#!/usr/bin/env bash
# Lists the plug-ins Ardour 7 finds along its own default search paths, as a
# fresh installation would: LXVST_PATH and VST3_PATH are not set, and Ardour's
# configuration is new. The VST2 and VST3 files given with --scan are first
# indexed by Ardour's scanners (what Preferences > Plugins > Scan does for
# each file along the paths; a headless session never scans by itself), but a
# file Ardour does not search is not listed however it was scanned. Prints
# TSV with a header line: kind (lv2, vst2, vst3), name, id, path.
#
# usage: ardour-list.sh [--scan FILE.so|BUNDLE.vst3]...
source "$(dirname "$0")/common.sh"

command -v ardour7-lua >/dev/null || die "ardour7-lua is missing (Debian package ardour; scripts/setup.sh installs it)"
unset LXVST_PATH LXVST_PLUGINS VST3_PATH
while [ $# -gt 0 ]; do
  [ "$1" = --scan ] && [ $# -ge 2 ] || die "usage: ardour-list.sh [--scan FILE.so|BUNDLE.vst3]..."
  case $2 in
    *.vst3) [ -d "$2" ] || die "$2: no such bundle"; ardour_scan ardour-vst3-scanner "$(realpath "$2")" ;;
    *) [ -f "$2" ] || die "$2: no such file"; ardour_scan ardour-vst-scanner "$(realpath "$2")" ;;
  esac
  shift 2
done
ardour_lua "$work/list.log" list session="$work/session" result="$work/list.tsv"
echo -e "kind\tname\tid\tpath"
sort "$work/list.tsv"
note "Ardour knows $(wc -l <"$work/list.tsv") plug-ins ($(elapsed) s)"
