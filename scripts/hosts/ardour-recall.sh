#!/usr/bin/env bash
# State recall in Ardour 7, headless: one process creates a session with the
# plug-in on a MIDI track, moves the named parameters away from their
# defaults and saves; a new process opens the saved session and reads them
# back. Prints a TSV table (name, default, value as set, value after reload)
# and fails when a value did not come back, or when a requested value equals
# the default (which would prove nothing).
#
# usage: ardour-recall.sh [--feed KIND:ID] KIND:ID NAME=VALUE...
#   KIND:ID     lv2:URI, lv2:BUNDLE.lv2, vst2:FILE.so or vst3:BUNDLE.vst3
#   NAME=VALUE  a parameter by its name as ardour-params.sh lists it, and a
#               value in the plug-in's units (VST2: 0..1)
#   --feed      an instrument placed before the plug-in (as in ardour-render.sh)
source "$(dirname "$0")/common.sh"

feed=
if [ "${1:-}" = --feed ] && [ $# -ge 2 ]; then feed=$2; shift 2; fi
[ $# -ge 2 ] || die "usage: ardour-recall.sh [--feed KIND:ID] KIND:ID NAME=VALUE..."
plugin=$1; shift
sets=() names=()
for kv in "$@"; do
  [[ $kv == *=* ]] || die "not of the form NAME=VALUE: $kv"
  sets+=("set=$kv") names+=("name=${kv%=*}")
done

ardour_prepare "$feed" "$plugin"
ardour_lua "$work/create.log" create session="$work/session" plugin="$ardour_ref" "${ardour_feed[@]}" \
  "${sets[@]}" result="$work/set.tsv"
note "session saved ($(elapsed) s)"
ardour_lua "$work/reload.log" values session="$work/session" "${names[@]}" result="$work/reloaded.tsv"
note "session reloaded in a new process ($(elapsed) s)"

# Values are compared to 1e-6 relative: they pass through text in the session file.
echo -e "name\tdefault\tset\treloaded"
awk -F'\t' '
  NR == FNR { def[$1] = $2; set[$1] = $3; order[++n] = $1; next }
  { got[$1] = $2 }
  END {
    bad = 0
    for (i = 1; i <= n; i++) {
      k = order[i]; d = set[k] - got[k]; tol = 1e-6 * (set[k] < 0 ? -set[k] : set[k]); if (tol < 1e-6) tol = 1e-6
      printf "%s\t%s\t%s\t%s\n", k, def[k], set[k], (k in got) ? got[k] : "missing"
      if (!(k in got) || d > tol || -d > tol) { print "ardour-recall.sh: " k " did not come back" > "/dev/stderr"; bad = 1 }
      else if (set[k] == def[k]) { print "ardour-recall.sh: " k " was set to its default, which proves nothing" > "/dev/stderr"; bad = 1 }
    }
    exit bad
  }' "$work/set.tsv" "$work/reloaded.tsv" || die "state recall failed"
