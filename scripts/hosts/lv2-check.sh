#!/usr/bin/env bash
# Checks an LV2 bundle the way the LV2 tools see it: lv2_validate (lv2-dev,
# with sord_validate from sordi) checks every Turtle file of the bundle
# against the LV2 vocabularies; lilv's lv2info must then find the plug-in
# through LV2_PATH. Prints the plug-in's ports as a TSV table with a header
# line (index, symbol, name, type, direction, minimum, maximum, default,
# properties: the short names of lv2:portProperty values), or with --presets
# the preset labels lv2info lists, one a line, or with --groups the port
# groups (lv2info shows none) as Sord, the RDF reader under lilv, reads the
# bundle's Turtle: a TSV table of symbol and group label, one line per port
# in a group.
#
# usage: lv2-check.sh [--presets|--groups] BUNDLE.lv2 [URI]
#   URI   which plug-in, when the bundle holds more than one
source "$(dirname "$0")/common.sh"

mode=ports
case ${1:-} in --presets) mode=presets; shift ;; --groups) mode=groups; shift ;; esac
[ $# -ge 1 ] && [ $# -le 2 ] && [ -d "$1" ] || die "usage: lv2-check.sh [--presets|--groups] BUNDLE.lv2 [URI]"
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
if [ $mode = groups ]; then
  # Each file on its own: Sord names blank nodes (the ports) per file.
  echo -e "symbol\tgroup"
  for ttl in "$bundle"/*.ttl; do
    sordi -i turtle -o ntriples "$ttl" "file://$ttl" | awk '
      function text(line) { sub(/^[^ ]+ [^ ]+ "/, "", line); sub(/" \.$/, "", line); return line }
      $2 == "<http://lv2plug.in/ns/lv2core#symbol>" { symbol[$1] = text($0) }
      $2 == "<http://lv2plug.in/ns/ext/port-groups#group>" { group[$1] = $3 }
      $2 == "<http://www.w3.org/2000/01/rdf-schema#label>" { label[$1] = text($0) }
      END { for (port in group) print symbol[port] "\t" label[group[port]] }'
  done | sort
  exit 0
fi
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
