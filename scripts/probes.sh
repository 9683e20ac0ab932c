#!/usr/bin/env bash
# Runs the probes of Veldane.dll (misaligned stacks, foreign floating-point
# modes, the event and parameter fuzzer, thousands of instance lifetimes)
# longer than the test command does. Installs what is missing.
# usage: probes.sh [SCALE [GTEST_FILTER [win32|win64]]]
#   SCALE multiplies the fuzzer's calls and the lifetimes (default 20: about
#   30 000 fuzzed calls, 40 000 instances, 10 000 of them with the editor;
#   some minutes under wine). GTEST_FILTER picks probes, e.g. 'FuzzProbe.*'.
#   The last argument picks the 32-bit DLL (default) or the 64-bit one.
source "$(dirname "$0")/common.sh"
scale=${1:-20}
filter=${2:-*}
kind=${3:-win32}
prepare
configure_and_build "$kind" probe_tests
export VELDANE_PROBE_SCALE=$scale
exec "$top/scripts/wine-window-run.sh" "$build/$kind/probe_tests.exe" --gtest_filter="$filter"
