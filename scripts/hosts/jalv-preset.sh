#!/usr/bin/env bash
# Applies an LV2 preset in jalv (console, on a private JACK server with the
# dummy driver) and prints the plug-in's control values that result, as
# "symbol<TAB>value" lines. Fails when jalv does not list the preset. The
# listing comes from jalv's own port values, i.e. what the host would send
# the plug-in in its next cycle.
#
# usage: jalv-preset.sh PLUGIN PRESET_URI
#   PLUGIN      the plug-in URI, or its bundle folder
#   PRESET_URI  as "lv2info PLUGIN" or jalv's "presets" command list it
source "$(dirname "$0")/common.sh"

[ $# -eq 2 ] || die "usage: jalv-preset.sh PLUGIN PRESET_URI"
lv2_resolve "$1"
preset=$2

jack_start
jalv_start "$lv2_uri"
jalv_cmd presets  # loads the presets' data; "preset" alone finds nothing
grep -qF "$preset (" "$jalv_log" || die "jalv lists no preset $preset; it lists: $(sed -n 's/^\(> \)*\([^ =]* (.*)\)$/\2/p' "$jalv_log" | tr '\n' ' ')"
jalv_cmd "preset $preset"
jalv_cmd controls
jalv_quit
jalv_controls
note "applied $preset ($(elapsed) s)"
