#!/usr/bin/env bash
# Plays the benchmark passage (bench/eight_voices.txt: eight voices on a busy
# patch) through the three builds in one run: the native test host with the
# plug-in linked in, and the 32- and 64-bit Veldane.dll in their test hosts
# under wine32 and wine64. Prints their real-time factors side by side
# (seconds of audio per second of the rendering thread's CPU time, in the
# fastest of a benchmark's rounds). Extra
# arguments go to every `testhost bench` (e.g. --seconds 10). Installs what
# is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native testhost
configure_and_build win32 testhost
configure_and_build win64 testhost

passage="$top/bench/eight_voices.txt"
# bench LABEL LIBRARY TESTHOST...: runs one benchmark, shows its report and
# keeps its factor.
labels=() factors=()
bench() {
  local label=$1 library=$2; shift 2
  echo "== $label"
  local report
  report=$("$@" bench "$library" "$passage" "${extra[@]}") || { echo "$report"; echo "$label: the benchmark failed" >&2; exit 1; }
  echo "$report"
  labels+=("$label")
  factors+=("$(sed -n 's/^real-time factor \([0-9.]*\).*/\1/p' <<<"$report")")
}
extra=("$@")
bench "native build (g++, x86-64)" builtin "$build/native/testhost"
bench "32-bit DLL (wine32)" "$build/win32/Veldane.dll" "$top/scripts/wine-run.sh" "$build/win32/testhost.exe"
bench "64-bit DLL (wine64)" "$build/win64/Veldane.dll" "$top/scripts/wine-run.sh" "$build/win64/testhost.exe"

echo
printf '%-28s %s\n' "Build" "Faster than real time (8 voices)"
for i in "${!labels[@]}"; do printf '%-28s %s\n' "${labels[$i]}" "${factors[$i]}"; done
