#!/usr/bin/env bash
# Runs every test: the native unit tests, then the cross-built unit tests and
# the integration tests against Veldane.dll under wine. Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native
configure_and_build win32
status=0
echo "== native tests"
ctest --test-dir "$build/native" --output-on-failure -j"$jobs" || status=1
echo "== Windows tests under wine"
ctest --test-dir "$build/win32" --output-on-failure || status=1
exit $status
