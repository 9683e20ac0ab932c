#!/usr/bin/env bash
# Builds and runs the engine benchmark (native build). Installs what is missing.
source "$(dirname "$0")/common.sh"
prepare
configure_and_build native veldane_bench
"$build/native/veldane_bench" "$@"
