#!/usr/bin/env bash
# Renders the phrase through an LV2 instrument in jalv (console) on a private
# JACK server with the dummy driver: jack_midiseq loops the phrase into the
# plug-in, jack_rec records every audio output of it to a WAV (16-bit, 48 kHz)
# for two rounds of the loop. The recording starts at an unknown point of
# the loop: check it with "wavcheck.py --align". Every process is ended by its
# own id and JACK's shared-memory files are removed.
#
# usage: jalv-render.sh [--preset URI] [--set SYMBOL=VALUE]... [--phrase FILE] PLUGIN OUT.wav
#   PLUGIN    the plug-in URI, or its bundle folder
#   --preset  an LV2 preset applied before recording
#   --set     a control port value, by port symbol
#   --phrase  the notes (default: phrase.txt beside this script)
source "$(dirname "$0")/common.sh"

preset= phrase="$hosts_dir/phrase.txt" controls=()
while [ $# -gt 2 ]; do
  case $1 in
    --preset) preset=$2; shift 2 ;;
    --set) controls+=(-c "$2"); shift 2 ;;
    --phrase) phrase=$2; shift 2 ;;
    *) die "unknown option $1" ;;
  esac
done
[ $# -eq 2 ] || die "usage: jalv-render.sh [--preset URI] [--set SYMBOL=VALUE]... [--phrase FILE] PLUGIN OUT.wav"
[ -f "$phrase" ] || die "$phrase: no such phrase file"
output_file "$2"
lv2_resolve "$1"

# One loop is the phrase, its release and a second of rest: the rest is how
# the check finds where the phrase starts.
loop=$(awk -v s="$(phrase_seconds "$phrase")" 'BEGIN { printf "%.3f", s + 1.0 }')
record=$(awk -v l="$loop" 'BEGIN { printf "%d", 2 * l + 1 }')
seq_args=($(awk -v r="$jack_rate" -v l="$loop" '
  BEGIN { printf "%d", l * r }
  { sub(/#.*/, "") } NF >= 3 { printf " %d %d %d", $1 * r, $3, $2 * r }' "$phrase"))

jack_start
jalv_start "$lv2_uri" "${controls[@]}"
if [ -n "$preset" ]; then
  jalv_cmd presets  # loads the presets' data; "preset" alone finds nothing
  jalv_cmd "preset $preset"
fi
midi_in=$(jack_ports synth 'input.*midi' | head -n1)
[ -n "$midi_in" ] || die "the plug-in has no MIDI input port"
mapfile -t audio_out < <(jack_ports synth 'output.*audio')
note "jalv runs $lv2_uri (${#audio_out[@]} audio outputs) ($(elapsed) s)"

spawn "$work/midiseq.log" jack_midiseq phrase "${seq_args[@]}"
wait_for 10 "jack_midiseq" jack_connect phrase:out "$midi_in"
spawn "$work/jack_rec.log" jack_rec -f "$out" -d "$record" "${audio_out[@]}"
wait_exit $(( record + 15 )) "$spawned" || die "jack_rec failed (log: $work/jack_rec.log)"
[ -s "$out" ] || die "jack_rec wrote no $out"
jalv_quit
note "recorded $record s to $out ($(elapsed) s)"
