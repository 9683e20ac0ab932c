#!/usr/bin/env bash
# Runs every test: the native unit tests, the same tests and a parameter storm
# under ThreadSanitizer, then the whole Windows suite twice, built for 32-bit
# Windows and run under wine32, built for 64-bit Windows and run under wine64:
# the cross-built unit tests and the integration tests against each
# Veldane.dll, the editor window tests included. Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native
configure_and_build tsan veldane_tests parameter_storm
configure_and_build win32
configure_and_build win64
status=0
echo "== native tests"
ctest --test-dir "$build/native" --output-on-failure -j"$jobs" || status=1
echo "== native tests under ThreadSanitizer"
# Only the engine and plug-in tests are built there; any report ends the
# program with a failure.
TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
  ctest --test-dir "$build/tsan" --output-on-failure -j"$jobs" -E '(_fuzz_short|_NOT_BUILT)$' || status=1
# One at a time: the window tests of a build share its display prefix.
echo "== 32-bit Windows tests under wine32"
ctest --test-dir "$build/win32" --output-on-failure || status=1
echo "== 64-bit Windows tests under wine64"
ctest --test-dir "$build/win64" --output-on-failure || status=1
exit $status
