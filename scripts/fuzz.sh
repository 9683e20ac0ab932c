#!/usr/bin/env bash
# Runs the fuzzers and the parameter storm for as long as asked, where the test
# command runs each for seconds: the libFuzzer targets of the PNG decoder, the
# MIDI file reader and the VST 2.4 and VST 3 preset readers (native build,
# clang), the parameter
# storm under ThreadSanitizer (two threads automating while a third renders),
# and the hostile host that fuzzes the 32-bit Veldane.dll with events,
# parameters, rates and block sizes under wine. Installs what is missing.
#
# usage: fuzz.sh [MINUTES]   (10 by default; each of the six runs that long,
#                             as many at a time as there are processors)
#
# The libFuzzer corpora grow in build/fuzz/CORPUS and are kept for the next
# run; an input that fails is written to build/fuzz/crashes/. Any failure
# makes the script fail, and it says which run failed and where its log is.
source "$(dirname "$0")/common.sh"
minutes=${1:-10}
case $minutes in '' | *[!0-9]* | 0) echo "usage: fuzz.sh [MINUTES]  (a whole number above 0)" >&2; exit 64 ;; esac
seconds=$(( minutes * 60 ))

prepare
configure_and_build native png_fuzz midi_file_fuzz vst_preset_fuzz vst3_preset_fuzz
configure_and_build tsan parameter_storm
configure_and_build win32 probe_tests

out="$build/fuzz"
mkdir -p "$out/crashes"
names=() pids=() logs=()

# start NAME COMMAND...: one run in the background, its output in a log.
start() {
  local name=$1; shift
  # As many at a time as there are processors: wait for the oldest to end.
  while [ ${#pids[@]} -ge "$jobs" ]; do finish 0; done
  names+=("$name") logs+=("$out/$name.log")
  echo "fuzz: $name for $minutes min (log: $out/$name.log)"
  "$@" >"$out/$name.log" 2>&1 &
  pids+=("$!")
}
status=0
finish() {  # finish INDEX: waits for that run and reports it
  local i=$1
  if wait "${pids[i]}"; then
    echo "fuzz: ${names[i]} passed"
  else
    echo "fuzz: ${names[i]} FAILED; see ${logs[i]}" >&2
    tail -n 20 "${logs[i]}" >&2
    status=1
  fi
  pids=("${pids[@]:0:i}" "${pids[@]:i+1}")
  names=("${names[@]:0:i}" "${names[@]:i+1}")
  logs=("${logs[@]:0:i}" "${logs[@]:i+1}")
}

libfuzzer() {  # libfuzzer TARGET SEEDS MAX_LEN
  local corpus="$out/$1-corpus"
  mkdir -p "$corpus"
  start "$1" "$build/native/$1" -max_total_time="$seconds" -max_len="$3" -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$out/crashes/$1-" "$corpus" "$2"
}

libfuzzer png_fuzz "$top/tests/fuzz/seeds" 4096
libfuzzer midi_file_fuzz "$top/tests/fuzz/midi_seeds" 4096
libfuzzer vst_preset_fuzz "$top/tests/fuzz/preset_seeds" 1024
libfuzzer vst3_preset_fuzz "$top/tests/fuzz/vst3_preset_seeds" 1024
start parameter_storm env VELDANE_STORM_SECONDS="$seconds" TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
  "$build/tsan/parameter_storm"
start fuzz_probe env VELDANE_PROBE_SECONDS="$seconds" \
  "$top/scripts/wine-run.sh" "$build/win32/probe_tests.exe" --gtest_filter="FuzzProbe.*"
while [ ${#pids[@]} -gt 0 ]; do finish 0; done
exit $status
