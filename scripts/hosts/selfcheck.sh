#!/usr/bin/env bash
# Proves the host scripts with stand-in plug-ins from Debian, until our own
# Linux plug-ins exist: installs them (amsynth: a Linux VST2 instrument;
# zam-plugins: the same effects as LV2, VST2, VST3 and CLAP; Ardour's own
# LV2 instrument "ACE Reasonable Synth" comes with Ardour), runs every script
# on them, and checks the results, including cases that must fail. Prints
# each check with its duration and ends with "N passed, N failed".
#
# usage: selfcheck.sh   (about a minute once the packages are installed;
#                       HOSTS_KEEP=1 keeps the renders, logs and screenshot)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/../setup.sh" amsynth zam-plugins || exit 1

out=$(mktemp -d "${TMPDIR:-/tmp}/veldane-selfcheck.XXXXXX")
export TMPDIR=$out  # the scripts' work folders too (kept by the checks that must fail)
synth=lv2:https://community.ardour.org/node/7596
amsynth=/usr/lib/vst/amsynth_vst.so
passed=0 failed=0
export VELDANE_SELFCHECK=$$

# check NAME COMMAND...: runs COMMAND, which must succeed; output in $out/NAME.log.
check() {
  local name=$1 t0=$SECONDS; shift
  if "$@" >"$out/$name.log" 2>&1; then
    passed=$((passed + 1)); echo "ok   $name ($((SECONDS - t0)) s)"
  else
    failed=$((failed + 1)); echo "FAIL $name ($((SECONDS - t0)) s)"; sed 's/^/     /' "$out/$name.log" | tail -n 20
  fi
}
# refuse NAME COMMAND...: COMMAND must fail (the scripts must catch faults).
refuse() {
  local name=$1; shift
  check "$name" bash -c '! "$@"' refuse "$@"
}
# render_ok NAME WAVCHECK_OPTIONS -- RENDER COMMAND...: renders, then checks the WAV.
render_ok() {
  local name=$1; shift
  local opts=()
  while [ "$1" != -- ]; do opts+=("$1"); shift; done; shift
  "$@" "$out/$name.wav" && python3 "$here/wavcheck.py" "${opts[@]}" "$out/$name.wav"
}
# tsv_has FILE COMMAND... -- PATTERN...: each PATTERN is an extended regex
# that must match a line of COMMAND's output.
tsv_has() {
  local cmd=() p
  while [ "$1" != -- ]; do cmd+=("$1"); shift; done; shift
  "${cmd[@]}" >"$out/tsv.$$" || return 1
  cat "$out/tsv.$$"
  for p in "$@"; do grep -Eq "$p" "$out/tsv.$$" || { echo "no line matches: $p"; return 1; }; done
}

echo "== LV2 tools"
check lv2-valid tsv_has "$here/lv2-check.sh" /usr/lib/lv2/reasonablesynth.lv2 -- \
  $'^0\tMidiIn\tMIDI Input\tAtomPort\tinput' $'^1\toutL\t.*\tAudioPort\toutput'
check lv2-presets tsv_has "$here/lv2-check.sh" --presets /usr/lib/lv2/a-comp.lv2 urn:ardour:a-comp -- '^VocalLeveller$'
refuse lv2-invalid "$here/lv2-check.sh" /usr/lib/lv2/ZamComp.lv2

echo "== Ardour (ardour7-lua)"
check ardour-render-lv2 render_ok ardour-render-lv2 -- "$here/ardour-render.sh" "$synth"
check ardour-presets-lv2 tsv_has "$here/ardour-presets.sh" lv2:urn:ardour:a-comp -- $'^VocalLeveller\turn:ardour:a-comp#'
refuse ardour-preset-unknown "$here/ardour-render.sh" --preset "No Such Preset" lv2:urn:ardour:a-comp \
  "$out/unknown-preset.wav"
check ardour-render-vst2 render_ok ardour-render-vst2 -- "$here/ardour-render.sh" "vst2:$amsynth"
check ardour-render-vst3 render_ok ardour-render-vst3 -- \
  "$here/ardour-render.sh" --feed "$synth" vst3:/usr/lib/vst3/ZamAutoSat.vst3
check ardour-params-vst2 tsv_has "$here/ardour-params.sh" "vst2:$amsynth" -- \
  $'^14\tmaster_vol\t0.67' $'^40\t'
check ardour-params-lv2 tsv_has "$here/ardour-params.sh" lv2:urn:ardour:a-delay -- \
  $'^3\tDivisor\t4\t1\t48\tinteger_step,enumeration\t\t1=a - Whole note;' $'^7\tOutput Gain\t0\t-60\t20\t\t%.3f dB'
check ardour-recall-lv2 "$here/ardour-recall.sh" lv2:urn:zamaudio:ZamComp Attack=50 Threshold=-20 Sidechain=1
check ardour-recall-vst2 "$here/ardour-recall.sh" "vst2:$amsynth" filter_cutoff=0.5 osc_mix=0.8 master_vol=0.3
check ardour-recall-vst3 "$here/ardour-recall.sh" --feed "$synth" vst3:/usr/lib/vst3/ZamComp.vst3 \
  Attack=50 Threshold=-20 Sidechain=1
# amsynth's VST2 attack does not read back what was set: a fault the recall must report.
refuse ardour-recall-catches "$here/ardour-recall.sh" "vst2:$amsynth" amp_attack=0.25
refuse ardour-unknown-param "$here/ardour-recall.sh" "vst2:$amsynth" no_such_param=0.5

echo "== jalv on JACK (dummy driver)"
check jalv-render render_ok jalv-render --align -- "$here/jalv-render.sh" "${synth#lv2:}"
check jalv-preset tsv_has "$here/jalv-preset.sh" urn:zamaudio:ZamComp 'urn:zamaudio:ZamComp#preset003' -- \
  $'^att\t50\\.0' $'^thr\t-16\\.0'
refuse jalv-preset-unknown "$here/jalv-preset.sh" urn:zamaudio:ZamComp 'urn:zamaudio:ZamComp#nope'

echo "== qtractor_plugin_scan"
check qtractor-vst2 tsv_has "$here/qtractor-scan.sh" --params 41 VST "$amsynth" -- $'^VST\tamsynth\t0\t2\t1\t0\t41'
check qtractor-clap tsv_has "$here/qtractor-scan.sh" --params 8 CLAP /usr/lib/clap/ZamComp.clap -- $'^CLAP\tZamComp\t1\t1'
refuse qtractor-not-a-plugin "$here/qtractor-scan.sh" CLAP /etc/hostname

echo "== jalv.gtk3 under Xvfb"
# ZamComp's panel is 800 x 107 pixels; jalv adds its menu bar.
check jalv-screenshot bash -c '"$1" urn:zamaudio:ZamComp "$2" && identify -format "%w %h %k\n" "$2" |
  awk "{ exit !(\$1 == 800 && \$2 > 107 && \$3 > 100) }"' shot "$here/jalv-screenshot.sh" "$out/ZamComp.png"

echo "== nothing left behind"
# Every process the scripts started carries this run's mark in its
# environment (this shell and the subshell doing the looking excepted).
leftovers() {
  local env pid
  for env in /proc/[0-9]*/environ; do
    pid=${env#/proc/}; pid=${pid%/environ}
    [ "$pid" != $$ ] && [ "$pid" != "$BASHPID" ] && grep -qz "^VELDANE_SELFCHECK=$$\$" "$env" 2>/dev/null &&
      ps -o pid=,args= -p "$pid"
  done
  # JACK files of servers whose script (its id is in the server name) is gone.
  for env in /dev/shm/*veldane-*; do
    [ -e "$env" ] || continue
    pid=$(echo "$env" | sed -E 's/.*veldane-([0-9]+)-.*/\1/')
    kill -0 "$pid" 2>/dev/null || echo "$env"
  done
}
nothing_left() { local found; found=$(leftovers); [ -z "$found" ] || { echo "$found"; return 1; }; }
check nothing-left nothing_left

if [ $failed -eq 0 ] && [ "${HOSTS_KEEP:-0}" != 1 ]; then rm -rf "$out"; else echo "results and logs: $out"; fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
