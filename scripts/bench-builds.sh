#!/usr/bin/env bash
# Plays the benchmark passage (bench/eight_voices.txt: eight voices on a busy
# patch) through the three builds in one run: the native test host with the
# plug-in linked in, and the 32- and 64-bit Veldane.dll in their test hosts
# under wine32 and wine64, each on every voice path the processor has
# (VELDANE_SIMD: sse2, avx2, avx512), the three builds of a path back to
# back. Prints their real-time factors side by side (seconds of audio per
# second of the rendering thread's CPU time, in the fastest of a benchmark's
# rounds) and each DLL's share of the native build's. Extra arguments go to
# every `testhost bench` (e.g. --seconds 10). Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native testhost
configure_and_build win32 testhost
configure_and_build win64 testhost

passage="$top/bench/eight_voices.txt"
paths=(sse2)
grep -qw avx2 /proc/cpuinfo && paths+=(avx2)
grep -qw avx512f /proc/cpuinfo && paths+=(avx512)
# bench LABEL LIBRARY TESTHOST...: runs one benchmark, shows its report and
# prints its factor last.
bench() {
  local label=$1 library=$2; shift 2
  echo "== $label" >&2
  local report
  report=$("$@" bench "$library" "$passage" "${extra[@]}") || { echo "$report" >&2; echo "$label: the benchmark failed" >&2; exit 1; }
  echo "$report" >&2
  sed -n 's/^real-time factor \([0-9.]*\).*/\1/p' <<<"$report"
}
extra=("$@")
rows=()
for path in "${paths[@]}"; do
  export VELDANE_SIMD=$path
  native=$(bench "native build, $path" builtin "$build/native/testhost")
  win32=$(bench "32-bit DLL (wine32), $path" "$build/win32/Veldane.dll" "$top/scripts/wine-run.sh" "$build/win32/testhost.exe")
  win64=$(bench "64-bit DLL (wine64), $path" "$build/win64/Veldane.dll" "$top/scripts/wine-run.sh" "$build/win64/testhost.exe")
  share() { awk -v a="$1" -v b="$native" 'BEGIN { printf "%.2f", a / b }'; }
  rows+=("| $path | $native × | $win64 × ($(share "$win64")) | $win32 × ($(share "$win32")) |")
done

echo
echo "| Voice path | native (g++, x86-64, linked in) | 64-bit DLL (wine64; of native) | 32-bit DLL (wine32; of native) |"
echo "|---|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
