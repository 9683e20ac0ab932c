#!/usr/bin/env bash
# Checks an LV2 bundle the way the LV2 tools see it: lv2_validate (lv2-dev,
# with sord_validate from sordi) checks every Turtle file of the bundle
# against the LV2 vocabularies; lilv's lv2info must then find the plug-in
# through LV2_PATH. Prints the plug-in's ports as a TSV table with a header
# line (index, symbol, name, type, direction, minimum, maximum, default,
# properties: the short names of lv2:portProperty values), or with --presets
# the preset labels lv2info lists, one a line.
#
# usage: lv2-check.sh [--presets] BUNDLE.lv2 [URI]
#   URI   which plug-in, when the bundle holds more than one
source "$(dirname "$0")/common.sh"

mode=ports
if [ "${1:-}" = --presets ]; then mode=presets; shift; fi
[ $# -ge 1 ] && [ $# -le 2 ] && [ -d "$1" ] || die "usage: lv2-check.sh [--presets] BUNDLE.lv2 [URI]"
command -v lv2_validate >/dev/null && command -v sord_validate >/dev/null ||
  die "lv2_validate or sord_validate is missing (Debian packages lv2-dev and sordi)"
bundle=$(cd "$1" && pwd)

# Success is exit status 0 and "Found 0 errors among N files"; warnings do
# not fail it. (It reads only Turtle: the binary is not loaded.)
status=0
lv2_validate "$bundle"/*.ttl >"$work/validate.log" 2>&1 || status=$?
grep -v '^Skipping file' "$work/validate.log" | grep -v '^$' >&2 || true
[ $status -eq 0 ] || die "lv2_validate found errors in $bundle"

lv2_resolve "$bundle" "${2:-}"
lv2info "$lv2_uri" >"$work/lv2info.txt" 2>&1 || die "lv2info does not find $lv2_uri: $(head -n 3 "$work/lv2info.txt")"
if [ $mode = presets ]; then
  awk '/^\tPresets:/ { on = 1; next } on && /^\t +[^ ]/ { sub(/^[ \t]+/, ""); print; next } on { exit }' "$work/lv2info.txt"
  exit 0
fi
echo -e "index\tsymbol\tname\ttype\tdirection\tminimum\tmaximum\tdefault\tproperties"
awk '
  function short(uri) { sub(/.*[#\/]/, "", uri); return uri }
  function flush() { if (port != "") print port "\t" sym "\t" name "\t" type "\t" dir "\t" min "\t" max "\t" def "\t" props }
  /^\tPort [0-9]+:/ { flush(); port = $2; sub(/:/, "", port); sym = name = type = dir = min = max = def = props = key = ""; next }
  port == "" { next }
  /^\t\t[A-Z][A-Za-z ]*:/ { key = $0; sub(/^\t\t/, "", key); sub(/:.*/, "", key); val = $0; sub(/^\t\t[^:]*: */, "", val) }
  /^\t\t +[^ ]/ { val = $0; sub(/^[ \t]+/, "", val) }
  !/^\t\t/ { key = ""; next }
  key == "Type" { v = short(val); if (v == "InputPort") dir = "input"; else if (v == "OutputPort") dir = "output"; else type = v }
  key == "Symbol" { sym = val }
  key == "Name" { name = val }
  key == "Minimum" { min = val }
  key == "Maximum" { max = val }
  key == "Default" { def = val }
  key == "Properties" { props = props (props == "" ? "" : ",") short(val) }
  END { flush() }' "$work/lv2info.txt"
note "$lv2_uri: valid, $(grep -c '^	Port ' "$work/lv2info.txt") ports ($(elapsed) s)"
