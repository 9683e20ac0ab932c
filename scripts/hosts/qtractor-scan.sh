#!/usr/bin/env bash
# Loads a plug-in file the way Qtractor does before it lists it: with its
# out-of-process scanner, qtractor_plugin_scan (Debian package qtractor). The
# scanner reads requests "KIND:FILE" from its standard input, one a line,
# and answers each plug-in it finds in the file with one line
#   KIND|name|audio in:out|MIDI in:out|parameters in:out|flags|FILE|index|0xID
# (flags: GUI = has an editor, EXT, RT = real-time capable). A file it cannot
# load gets no line at all (or, for some kinds, "...: plugin file error."),
# and a kind it does not know ends its reading. This prints the answer as a
# TSV table with a header line and fails when there is none.
#
# usage: qtractor-scan.sh [--params N] KIND FILE
#   KIND      VST (Linux VST2 .so), CLAP (.clap), LADSPA or DSSI. Debian 12's
#             build has no VST3 (needs Steinberg's SDK), and LV2 plug-ins are
#             not scanned by it at all (Qtractor reads them through lilv).
#   --params  also fail unless the plug-in has exactly N input parameters
source "$(dirname "$0")/common.sh"

scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
want=
if [ "${1:-}" = --params ]; then want=$2; shift 2; fi
[ $# -eq 2 ] || die "usage: qtractor-scan.sh [--params N] KIND FILE"
kind=$(echo "$1" | tr a-z A-Z)
case $kind in
  VST|CLAP|LADSPA|DSSI) ;;
  VST3) die "Debian's qtractor_plugin_scan is built without VST3" ;;
  *) die "unknown kind $1 (VST, CLAP, LADSPA, DSSI)" ;;
esac
[ -x "$scanner" ] || die "$scanner is missing (Debian package qtractor; scripts/setup.sh installs it)"
[ -f "$2" ] || die "$2: no such file"
file=$(realpath "$2")
# The request line is split at ':', so a path with one cannot be asked for.
[[ $file != *:* ]] || die "$file: the scanner cannot take a path with ':'"

echo "$kind:$file" | timeout 60 "$scanner" >"$work/scan.txt" 2>"$work/scan.log" ||
  die "qtractor_plugin_scan failed on $file: $(tail -n 3 "$work/scan.log")"
grep -q "^$kind|" "$work/scan.txt" ||
  die "qtractor_plugin_scan found no plug-in in $file: $(cat "$work/scan.txt" "$work/scan.log" | tail -n 3)"
echo -e "kind\tname\taudio_in\taudio_out\tmidi_in\tmidi_out\tparams_in\tparams_out\tflags\tfile\tindex\tid"
grep "^$kind|" "$work/scan.txt" | awk -F'|' -v OFS='\t' '{
  split($3, a, ":"); split($4, m, ":"); split($5, p, ":")
  print $1, $2, a[1], a[2], m[1], m[2], p[1], p[2], $6, $7, $8, $9 }' | tee "$work/table.tsv"
if [ -n "$want" ]; then
  got=$(awk -F'\t' 'NR == 1 { print $7 }' "$work/table.tsv")
  [ "$got" = "$want" ] || die "expected $want input parameters, the scanner reports $got"
fi
