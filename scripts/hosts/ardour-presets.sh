#!/usr/bin/env bash
# Lists the presets Ardour 7 offers for a plug-in, headless, as its preset
# menu would: a TSV table on stdout with a header line (label, uri). For LV2
# the presets of the plug-in's bundles; for VST 3 the programs of the
# plug-in's program list (uri VST3-P:CLASS:NNNN) and the .vstpreset files in
# the VST 3 preset folders (VST3-S:CLASS:NAME).
#
# usage: ardour-presets.sh [--vst3-presets ROOT] KIND:ID
#   KIND:ID         lv2:URI, lv2:BUNDLE.lv2, vst2:FILE.so or vst3:BUNDLE.vst3
#   --vst3-presets  a VST 3 preset root (VENDOR/PLUGIN/*.vstpreset below it),
#                   put where a user's presets go for the run
source "$(dirname "$0")/common.sh"

if [ "${1:-}" = --vst3-presets ] && [ $# -ge 2 ]; then vst3_preset_root "$2"; shift 2; fi
[ $# -eq 1 ] || die "usage: ardour-presets.sh [--vst3-presets ROOT] KIND:ID"
ardour_prepare "" "$1"
ardour_lua "$work/presets.log" presets session="$work/session" plugin="$ardour_ref" result="$work/presets.tsv"
cat "$work/presets.tsv"
note "listed $(( $(wc -l <"$work/presets.tsv") - 1 )) presets ($(elapsed) s)"
