#!/usr/bin/env bash
# Plays the same passages through Veldane's Linux VST 2.4 plug-in
# (build/native/vst/veldane.so) and through the one Debian's amsynth package
# installs, both loaded by our test host (`testhost bench`), and prints their
# real-time factors and the ratio Veldane / amsynth as a markdown table.
#
# Passages, 120 s of audio each, in blocks of 512 at 44.1 and at 96 kHz:
#   silence      no note at all
#   1 voice      one note (C3) struck every 2 s and held 1.5 s
#   8 voices     an eight-note chord from C3 struck every 2 s and held 1.5 s
#   8 tails      the chord struck every 2 s and held 0.25 s, with a release
#                of about 1.3 s in both plug-ins: the voices spend most of
#                the passage in their release
# The patches are as near as the two plug-ins allow: poly, two oscillators
# mixed, the low-pass at a middle cutoff and resonance (Veldane: Osc2 Volume
# 0.9, Filter Cutoff 0.6, Filter Q 0.5; amsynth: osc_mix 0.5, filter_cutoff
# 0.6, filter_resonance 0.5, by index as the plug-in numbers them).
#
# Each pair of figures is measured back to back, so the other programs on a
# shared machine slow both alike and the ratio holds when the factors move.
# Extra arguments go to every `testhost bench` (e.g. --seconds 6). Installs
# what is missing, amsynth among it (a benchmark peer, not a test's need).
source "$(dirname "$0")/common.sh"
prepare
if ! dpkg -s amsynth >/dev/null 2>&1; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq amsynth >/dev/null
fi
amsynth=$(dpkg -L amsynth | grep '/vst/.*\.so$' | head -n 1)
[ -n "$amsynth" ] || { echo "the amsynth package installs no VST plug-in" >&2; exit 1; }
configure_and_build native veldane_vst2_linux testhost
veldane="$build/native/vst/veldane.so"
host="$build/native/testhost"
dir="$build/native/side-by-side"
mkdir -p "$dir"

length=120       # seconds of audio per passage
period=2         # seconds from one strike to the next
chord=(48 52 55 59 62 65 69 72)

# notes HOLD NOTE...: the strikes of one passage in the test host's script
# format, every `period` seconds, each note held HOLD seconds.
notes() {
  local hold=$1; shift
  local t
  for ((t = 0; t < length; t += period)); do
    for n in "$@"; do
      echo "$t on $n"
      echo "$(awk -v t="$t" -v h="$hold" 'BEGIN { print t + h }') off $n"
    done
  done
  echo "$length end"
}

veldane_patch() {
  echo '0 param "Voice Mode" 1.0'
  echo '0 param "Osc2 Volume" 0.9'
  echo '0 param "Filter Cutoff" 0.6'
  echo '0 param "Filter Q" 0.5'
}
amsynth_patch() {
  echo '0 param 18 0.5   # osc_mix'
  echo '0 param 11 0.6   # filter_cutoff'
  echo '0 param 9 0.5    # filter_resonance'
}
# Release: Veldane's Amp Release 0.6 is 0.63 s to a tenth, silent after about
# 1.3 s; amsynth's amp_release 0.44 is 1.3 s.
veldane_tails() { echo '0 param "Amp Release" 0.6'; }
amsynth_tails() { echo '0 param 3 0.44   # amp_release'; }

passages=(silence one eight tails)
declare -A title=([silence]="silence" [one]="1 voice" [eight]="8 voices" [tails]="8 voices in release tails")
for synth in veldane amsynth; do
  { "${synth}_patch"; echo "$length end"; } >"$dir/$synth-silence.txt"
  { "${synth}_patch"; notes 1.5 48; } >"$dir/$synth-one.txt"
  { "${synth}_patch"; notes 1.5 "${chord[@]}"; } >"$dir/$synth-eight.txt"
  { "${synth}_patch"; "${synth}_tails"; notes 0.25 "${chord[@]}"; } >"$dir/$synth-tails.txt"
done

# factor LIBRARY SCRIPT RATE: the real-time factor of one benchmark.
factor() {
  local report
  report=$("$host" bench "$1" "$2" --rate "$3" --block 512 "${extra[@]}") \
    || { echo "$report"; echo "the benchmark of $1 on $2 failed" >&2; exit 1; }
  sed -n 's/^real-time factor \([0-9.]*\).*/\1/p' <<<"$report"
}
extra=("$@")

rows=()
for rate in 44100 96000; do
  for p in "${passages[@]}"; do
    echo "== ${title[$p]}, $rate Hz" >&2
    v=$(factor "$veldane" "$dir/veldane-$p.txt" "$rate")
    a=$(factor "$amsynth" "$dir/amsynth-$p.txt" "$rate")
    ratio=$(awk -v v="$v" -v a="$a" 'BEGIN { printf "%.2f", v / a }')
    rows+=("| ${title[$p]} | $(awk -v r="$rate" 'BEGIN { print r / 1000 }') kHz | $v × | $a × | $ratio |")
  done
done

echo
echo "| Passage | Rate | Veldane | amsynth | Veldane / amsynth |"
echo "|---|---:|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
