#!/usr/bin/env bash
# Renders the phrase through a plug-in in Ardour 7, headless: one process
# creates a session (one MIDI track, the plug-in as its instrument, the phrase
# in a MIDI region) and saves it; a second process opens the saved session and
# exports the master bus to a 32-bit float WAV. Check the result with
# wavcheck.py.
#
# usage: ardour-render.sh [--feed KIND:ID] [--phrase FILE] [--preset LABEL [--values OUT.tsv]]
#                         [--set NAME=VALUE]... KIND:ID OUT.wav
#   KIND:ID   lv2:URI, lv2:BUNDLE.lv2, vst2:FILE.so or vst3:BUNDLE.vst3
#   --feed    an instrument placed before the plug-in (to render through an effect)
#   --phrase  the notes (default: phrase.txt beside this script)
#   --preset  the plug-in's preset of that label, loaded as from Ardour's preset menu
#   --values  where to write the plug-in's parameter values as the saved
#             session gives them back to a third process (TSV: name, value)
#   --set     a parameter moved before rendering, by name, in the plug-in's units
source "$(dirname "$0")/common.sh"

usage="usage: ardour-render.sh [--feed KIND:ID] [--phrase FILE] [--preset LABEL [--values OUT.tsv]] [--set NAME=VALUE]... KIND:ID OUT.wav"
feed= phrase="$hosts_dir/phrase.txt" sets=() preset=() values=
while [ $# -gt 2 ]; do
  case $1 in
    --feed) feed=$2; shift 2 ;;
    --phrase) phrase=$2; shift 2 ;;
    --preset) preset=("preset=$2"); shift 2 ;;
    --values) values=$(realpath -m "$2"); shift 2 ;;
    --set) sets+=("set=$2"); shift 2 ;;
    *) die "unknown option $1" ;;
  esac
done
[ $# -eq 2 ] || die "$usage"
[ -f "$phrase" ] || die "$phrase: no such phrase file"
output_file "$2"

ardour_prepare "$feed" "$1"
seconds=$(phrase_seconds "$phrase")

ardour_lua "$work/create.log" create session="$work/session" plugin="$ardour_ref" "${ardour_feed[@]}" \
  phrase="$(realpath "$phrase")" seconds="$seconds" "${preset[@]}" "${sets[@]}"
note "session created and saved ($(elapsed) s)"
ardour_lua "$work/export.log" export session="$work/session" out="$out" seconds="$seconds"
[ -s "$out" ] || die "Ardour reported success but wrote no $out (log: $work/export.log)"
note "exported $out ($(elapsed) s)"
if [ -n "$values" ]; then
  ardour_lua "$work/values.log" values session="$work/session" result="$work/values.tsv"
  { echo -e "name\tvalue"; cat "$work/values.tsv"; } >"$values"
  note "the saved session's values in $values ($(elapsed) s)"
fi
