#!/usr/bin/env bash
# Plays the same passages through Veldane and two synthesizers people would
# pick instead, each loaded by one of our test hosts, and prints markdown
# tables of their real-time factors and their cycles per voice:
#   Veldane's Linux VST 2.4 plug-in (build/native/vst/veldane.so) on each
#     voice path the processor has (VELDANE_SIMD=sse2, avx2, avx512: two
#     voices per register, four, four in 32 registers) and on the one it
#     chooses itself,
#     and its LV2 plug-in (build/native/lv2/veldane.lv2), in `testhost bench`
#     and in `lv2bench` (our LV2 host, through lilv);
#   amsynth's VST 2.4 plug-in (Debian's amsynth), in `testhost bench`;
#   synthv1's LV2 plug-in (Debian's synthv1-lv2), in `lv2bench`.
#
# Passages, 120 s of audio each, in blocks of 512 at 44.1 and at 96 kHz,
# played by one instance and by sixteen in one process (side by side, block
# by block, as a host plays sixteen tracks):
#   silence      no note at all
#   1 voice      one note (C3) struck every 2 s and held 1.5 s
#   8 voices     an eight-note chord from C3 struck every 2 s and held 1.5 s
#   8 tails      the chord struck every 2 s and held 0.25 s, with a release of
#                about 1.3 s: the voices spend most of the passage in release
#   8 busy       the chord on a patch where nothing settles: pitch vibrato
#                from the LFO, the filter swept by an envelope, attacks longer
#                than the notes
# The patches are as near as the plug-ins allow: poly, two oscillators mixed,
# a low-pass at a middle cutoff and resonance (Veldane: Osc2 Volume 0.9,
# Filter Cutoff 0.6, Filter Q 0.5; amsynth: osc_mix 0.5, filter_cutoff 0.6,
# filter_resonance 0.5; synthv1 at its defaults, both its layers, with
# each layer's filter at cutoff 0.6 and resonance 0.5 and no envelope on
# it). The busy patch is Veldane's benchmark passage's (bench/eight_voices.txt),
# amsynth's and synthv1's with their LFO on the pitch and a slow filter
# envelope. Veldane's LV2 plug-in takes the VST 2.4 patch's values in its
# ports' units, as the plug-in displays them.
#
# Every figure of a row is measured back to back, so the other programs on
# a shared machine slow them alike and the ratios hold when the factors
# move. Cycles are the time-stamp counter's (the processor's nominal rate)
# per voice per output sample, over the whole passage with its gaps: for
# Veldane a sample is two oversampled steps.
#
# usage: bench-side-by-side.sh [--quick] [testhost bench options...]
#   --quick   44.1 kHz and one instance only
# Extra options go to every benchmark (e.g. --seconds 6). Installs what is
# missing, amsynth and synthv1 among it (benchmark peers, not a test's need).
source "$(dirname "$0")/common.sh"
quick=0
if [ "${1:-}" = --quick ]; then quick=1; shift; fi
extra=("$@")
prepare
peers=()
dpkg -s amsynth >/dev/null 2>&1 || peers+=(amsynth)
dpkg -s synthv1-lv2 >/dev/null 2>&1 || peers+=(synthv1-lv2)
if [ ${#peers[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${peers[@]}" >/dev/null
fi
amsynth=$(dpkg -L amsynth | grep '/vst/.*\.so$' | head -n 1)
[ -n "$amsynth" ] || { echo "the amsynth package installs no VST plug-in" >&2; exit 1; }
synthv1=http://synthv1.sourceforge.net/lv2
veldane_uri=https://orvandel.com/plugins/veldane
configure_and_build native veldane_vst2_linux veldane_lv2_linux testhost lv2bench
veldane="$build/native/vst/veldane.so"
host="$build/native/testhost"
lv2host="$build/native/lv2bench"
export LV2_PATH="$build/native/lv2:${LV2_PATH:-/usr/lib/lv2:/usr/local/lib/lv2}"
# synthv1's plug-in starts Qt, which wants a display unless told otherwise.
export QT_QPA_PLATFORM=offscreen
dir="$build/native/side-by-side"
mkdir -p "$dir"

# The voice paths this processor has (synth/voice_path.h).
paths=(sse2)
grep -qw avx2 /proc/cpuinfo && paths+=(avx2)
grep -qw avx512f /proc/cpuinfo && paths+=(avx512)

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

# Patches: NAME_patch is the common one, NAME_tails its release for the
# tails, NAME_busy the patch of the busy passage.
veldane_patch() {
  echo '0 param "Voice Mode" 1.0'
  echo '0 param "Osc2 Volume" 0.9'
  echo '0 param "Filter Cutoff" 0.6'
  echo '0 param "Filter Q" 0.5'
}
# Veldane's Amp Release 0.6 is 0.63 s to a tenth, silent after about 1.3 s.
veldane_tails() { echo '0 param "Amp Release" 0.6'; }
veldane_busy() { grep ' param ' "$top/bench/eight_voices.txt"; }
# The same in the LV2 ports' units.
veldane_lv2_patch() {
  echo '0 param "voice_mode" 2'
  echo '0 param "osc2_volume" -3.6'
  echo '0 param "filter_cutoff" 1336.18'
  echo '0 param "filter_q" 50'
}
veldane_lv2_tails() { echo '0 param "amp_release" 630.96'; }
veldane_lv2_busy() {
  echo '0 param "voice_mode" 2'
  echo '0 param "osc1_waveform" 1'
  echo '0 param "osc1_shape_mod_src" 2'
  echo '0 param "osc1_shape_mod" 50'
  echo '0 param "osc2_waveform" 2'
  echo '0 param "osc2_sync" 1'
  echo '0 param "osc2_detune" 6'
  echo '0 param "osc2_volume" -5.4'
  echo '0 param "filter_cutoff" 467.37'
  echo '0 param "filter_q" 60'
  echo '0 param "filter_mod" 50'
  echo '0 param "pitch_mod_src" 1'
  echo '0 param "pitch_mod_depth" 10'
  echo '0 param "lfo_frequency" 5.024'
  echo '0 param "amp_attack" 10000'
  echo '0 param "mod_attack" 10000'
  echo '0 param "master_volume" -18'
}
amsynth_patch() {
  echo '0 param 18 0.5   # osc_mix'
  echo '0 param 11 0.6   # filter_cutoff'
  echo '0 param 9 0.5    # filter_resonance'
}
# amsynth's amp_release 0.44 is 1.3 s.
amsynth_tails() { echo '0 param 3 0.44   # amp_release'; }
amsynth_busy() {
  amsynth_patch
  echo '0 param 30 1.0   # osc2_sync'
  echo '0 param 15 0.35  # lfo_freq, about 5 Hz'
  echo '0 param 19 0.8   # freq_mod_amount: vibrato'
  echo '0 param 10 0.75  # filter_env_amount'
  echo '0 param 5 0.5    # filter_attack, 2 s'
  echo '0 param 0 0.5    # amp_attack, 2 s'
}
synthv1_patch() {
  for layer in 1 2; do
    echo "0 param \"DCF${layer}_CUTOFF\" 0.6"
    echo "0 param \"DCF${layer}_RESO\" 0.5"
    echo "0 param \"DCF${layer}_ENVELOPE\" 0"
  done
}
synthv1_tails() { for layer in 1 2; do echo "0 param \"DCA${layer}_RELEASE\" 0.5"; done; }
synthv1_busy() {
  for layer in 1 2; do
    echo "0 param \"DCF${layer}_CUTOFF\" 0.4"
    echo "0 param \"DCF${layer}_RESO\" 0.6"
    echo "0 param \"DCF${layer}_ATTACK\" 0.8"
    echo "0 param \"DCA${layer}_ATTACK\" 0.8"
    echo "0 param \"LFO${layer}_PITCH\" 0.1"
    echo "0 param \"DCO${layer}_SYNC2\" 1"
  done
}

passages=(silence one eight tails busy)
declare -A title=([silence]="silence" [one]="1 voice" [eight]="8 voices" [tails]="8 voices in release tails"
                  [busy]="8 voices, nothing settles")
declare -A voices=([silence]=0 [one]=1 [eight]=8 [tails]=8 [busy]=8)
for synth in veldane veldane_lv2 amsynth synthv1; do
  { "${synth}_patch"; echo "$length end"; } >"$dir/$synth-silence.txt"
  { "${synth}_patch"; notes 1.5 48; } >"$dir/$synth-one.txt"
  { "${synth}_patch"; notes 1.5 "${chord[@]}"; } >"$dir/$synth-eight.txt"
  { "${synth}_patch"; "${synth}_tails"; notes 0.25 "${chord[@]}"; } >"$dir/$synth-tails.txt"
  { "${synth}_busy"; notes 1.5 "${chord[@]}"; } >"$dir/$synth-busy.txt"
done

# measure KIND PLUG-IN SCRIPT RATE INSTANCES: prints "FACTOR CYCLES" of one
# benchmark (cycles per second of audio). KIND is vst or lv2.
measure() {
  local report
  if [ "$1" = vst ]; then
    report=$("$host" bench "$2" "$3" --rate "$4" --block 512 --instances "$5" "${extra[@]}")
  else
    report=$("$lv2host" "$2" "$3" --rate "$4" --block 512 --instances "$5" "${extra[@]}")
  fi || { echo "$report"; echo "the benchmark of $2 on $3 failed" >&2; exit 1; }
  echo "$(sed -n 's/^real-time factor \([0-9.]*\).*/\1/p' <<<"$report")" \
       "$(sed -n 's/^cycles per second of audio \([0-9]*\).*/\1/p' <<<"$report")"
}
# per_voice CYCLES RATE VOICES: cycles per voice per output sample.
per_voice() { awk -v c="$1" -v r="$2" -v v="$3" 'BEGIN { if (v > 0) printf "%.0f", c / r / v; else print "–" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

rates=(44100 96000)
counts=(1 16)
[ $quick = 1 ] && rates=(44100) && counts=(1)
factor_rows=() cycle_rows=()
for rate in "${rates[@]}"; do
  khz=$(awk -v r="$rate" 'BEGIN { print r / 1000 }')
  for count in "${counts[@]}"; do
    for p in "${passages[@]}"; do
      echo "== ${title[$p]}, $rate Hz, $count instance(s)" >&2
      row="| ${title[$p]} | $khz kHz | $count |" cycles="| ${title[$p]} | $khz kHz | $count |"
      for path in "${paths[@]}"; do
        figures=$(VELDANE_SIMD=$path measure vst "$veldane" "$dir/veldane-$p.txt" "$rate" "$count")
        read -r f c <<<"$figures"
        row+=" $f × |" cycles+=" $(per_voice "$c" "$rate" "${voices[$p]}") |"
      done
      figures=$(measure vst "$veldane" "$dir/veldane-$p.txt" "$rate" "$count"); read -r v vc <<<"$figures"
      figures=$(measure lv2 "$veldane_uri" "$dir/veldane_lv2-$p.txt" "$rate" "$count"); read -r l lc <<<"$figures"
      figures=$(measure vst "$amsynth" "$dir/amsynth-$p.txt" "$rate" "$count"); read -r a ac <<<"$figures"
      figures=$(measure lv2 "$synthv1" "$dir/synthv1-$p.txt" "$rate" "$count"); read -r s sc <<<"$figures"
      row+=" $v × | $l × | $a × | $s × | $(ratio "$v" "$a") | $(ratio "$l" "$s") |"
      cycles+=" $(per_voice "$lc" "$rate" "${voices[$p]}") | $(per_voice "$ac" "$rate" "${voices[$p]}") |"
      cycles+=" $(per_voice "$sc" "$rate" "${voices[$p]}") |"
      factor_rows+=("$row")
      cycle_rows+=("$cycles")
    done
  done
done

header="| Passage | Rate | Instances |"
rule="|---|---:|---:|"
for path in "${paths[@]}"; do header+=" VST 2.4, $path |"; rule+="---:|"; done
echo
echo "Real-time factors (seconds of audio per second of CPU, all instances together):"
echo
echo "$header VST 2.4, chosen | LV2, chosen | amsynth | synthv1 | VST / amsynth | LV2 / synthv1 |"
echo "$rule---:|---:|---:|---:|---:|---:|"
printf '%s\n' "${factor_rows[@]}"
echo
echo "Cycles per voice per output sample (time-stamp counter; Veldane's sample is two oversampled steps):"
echo
echo "$header LV2, chosen | amsynth | synthv1 |"
echo "$rule---:|---:|---:|"
printf '%s\n' "${cycle_rows[@]}"
