#!/usr/bin/env bash
# Runs every test: the native unit tests, the same tests and a parameter storm
# under ThreadSanitizer, then the cross-built unit tests and the integration
# tests against Veldane.dll under wine. Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native
configure_and_build tsan veldane_tests parameter_storm editor_x11_tests
configure_and_build win32
status=0
echo "== native tests"
ctest --test-dir "$build/native" --output-on-failure -j"$jobs" || status=1
echo "== native tests under ThreadSanitizer"
# Only the engine and plug-in tests are built there; any report ends the
# program with a failure.
TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
  ctest --test-dir "$build/tsan" --output-on-failure -j"$jobs" -E '(_fuzz_short|_NOT_BUILT)$' || status=1
echo "== Windows tests under wine"
ctest --test-dir "$build/win32" --output-on-failure || status=1
exit $status
