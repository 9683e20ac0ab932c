#!/usr/bin/env bash
# Runs every test: the native unit tests, the same tests and a parameter storm
# under ThreadSanitizer, every native test but the real hosts' under
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, then the
# whole Windows suite twice, built for 32-bit
# Windows and run under wine32, built for 64-bit Windows and run under wine64:
# the cross-built unit tests and the integration tests against each
# Veldane.dll, the editor window tests included. Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native
configure_and_build tsan veldane_tests parameter_storm editor_x11_tests
configure_and_build asan
configure_and_build win32
configure_and_build win64
status=0
echo "== native tests"
ctest --test-dir "$build/native" --output-on-failure -j"$jobs" || status=1
echo "== native tests under ThreadSanitizer"
# Only the engine and plug-in tests are built there; any report ends the
# program with a failure.
TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
  ctest --test-dir "$build/tsan" --output-on-failure -j"$jobs" -E '(_fuzz_short|_NOT_BUILT|_builtin)$' || status=1
# The two Windows suites run side by side, each in its own prefixes: a wine
# test is mostly one busy process, so together they keep both cores at work.
# Within a suite, tests run one at a time (its window tests share a display
# prefix). Each suite's report is shown once both are done.
echo "== native tests under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer"
# Everything native is built there, the plug-in modules and our hosts too, and
# the first report of any of the three ends the program with a failure; only
# the leaks named in tests/sanitizers/lsan.supp, which exist by design, are
# let pass. Not there: the real hosts' checks and the package's (see
# cmake/linux.cmake), and the fuzz targets' short runs (clang builds them
# with these sanitizers, so the native tree has run them).
ASAN_OPTIONS="halt_on_error=1 detect_leaks=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
  LSAN_OPTIONS="suppressions=$top/tests/sanitizers/lsan.supp print_suppressions=0" \
  ctest --test-dir "$build/asan" --output-on-failure -j"$jobs" -E '_NOT_BUILT$' || status=1
echo "== Windows tests: 32-bit under wine32 and 64-bit under wine64, side by side"
ctest --test-dir "$build/win32" --output-on-failure >"$build/win32/ctest.log" 2>&1 &
win32_tests=$!
ctest --test-dir "$build/win64" --output-on-failure >"$build/win64/ctest.log" 2>&1 &
win64_tests=$!
wait $win32_tests || status=1
wait $win64_tests || status=1
echo "== 32-bit Windows tests under wine32"
cat "$build/win32/ctest.log"
echo "== 64-bit Windows tests under wine64"
cat "$build/win64/ctest.log"
exit $status
