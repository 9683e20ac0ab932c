#!/usr/bin/env bash
# Lists a plug-in's parameters as Ardour 7's Lua API reports them, for a test
# to compare with the plug-in's own table: a TSV table on stdout with a
# header line: index (the ordinal the Lua API's get/set_processor_param
# take), name, default, lower, upper, flags (toggled, integer_step,
# enumeration, logarithmic, sr_dependent), print_fmt (the printf format Ardour
# shows LV2 values with, units included) and scale_points (value=label;...).
# Ardour's Lua API gives no display text for VST2/VST3 values.
#
# usage: ardour-params.sh [--feed KIND:ID] KIND:ID
#   KIND:ID   lv2:URI, lv2:BUNDLE.lv2, vst2:FILE.so or vst3:BUNDLE.vst3
#   --feed    an instrument placed before the plug-in (as in ardour-render.sh)
source "$(dirname "$0")/common.sh"

feed=
if [ "${1:-}" = --feed ] && [ $# -ge 2 ]; then feed=$2; shift 2; fi
[ $# -eq 1 ] || die "usage: ardour-params.sh [--feed KIND:ID] KIND:ID"
ardour_prepare "$feed" "$1"
ardour_lua "$work/params.log" params session="$work/session" plugin="$ardour_ref" "${ardour_feed[@]}" result="$work/params.tsv"
cat "$work/params.tsv"
note "listed $(( $(wc -l <"$work/params.tsv") - 1 )) parameters ($(elapsed) s)"
