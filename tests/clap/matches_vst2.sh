#!/usr/bin/env bash
# The CLAP plug-in against the VST 2.4 plug-in of the same build: the same
# script played by our CLAP host and by our VST 2.4 test host, each in a fresh
# process (so both random sequences start at the same seed), must give the
# same samples, bit for bit. Notes as CLAP note events and as MIDI, single and
# double precision, and parameter changes at odd samples inside blocks (the
# VST 2.4 host then cuts its blocks where a change falls, so both formats
# apply each change on its own sample).
# usage: matches_vst2.sh CLAPHOST Veldane.clap TESTHOST VST2_LIBRARY WORK_DIR [RUNNER]
#   RUNNER runs the two hosts (scripts/wine-run.sh for the Windows build)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
claphost=$1 clap=$2 testhost=$3 vst2=$4 work=$5
run=(${6:-})
mkdir -p "$work"
status=0
# Each case: script, rate, block | the CLAP host's options | the VST 2.4 host's.
while IFS='|' read -r played clap_options vst2_options; do
  read -r script rate block <<<"$played"
  # shellcheck disable=SC2086 # the options are words
  "${run[@]}" "$claphost" render "$clap" "$top/$script" "$work/clap.wav" --rate "$rate" --block "$block" \
    $clap_options >/dev/null
  # shellcheck disable=SC2086
  "${run[@]}" "$testhost" render "$vst2" "$top/$script" "$work/vst2.wav" --rate "$rate" --block "$block" \
    $vst2_options >/dev/null
  printf '%s, %s Hz, blocks of %s, notes as %s%s: ' "$script" "$rate" "$block" \
    "$([[ $clap_options == *--midi* ]] && echo MIDI || echo 'CLAP note events')" \
    "$([[ $clap_options == *--double* ]] && echo ', double precision')"
  if cmp -s "$work/clap.wav" "$work/vst2.wav"; then
    echo "the same samples as VST 2.4"
  else
    echo "differs from VST 2.4"
    status=1
  fi
done <<'CASES'
tools/testhost/demo.txt 44100 512 | |
tools/testhost/demo.txt 44100 100 | --midi --double | --double
tests/clap/offsets.txt 48000 256 | | --cut-at-params
tests/clap/offsets.txt 22050 37 | --midi | --cut-at-params
CASES
exit $status
