#!/usr/bin/env bash
# Installs everything the builds and tests need on a fresh Debian 12 machine.
# Safe to run again: when every package is present it changes nothing.
# usage: setup.sh [--plugins-only] [EXTRA_PACKAGE...]
#   --plugins-only  only what the Linux plug-ins and veldane-render need to
#                   build and install (the "linux" CMake preset): the native
#                   compiler and Debian's libraries, no tests, no Windows tools
#   EXTRA_PACKAGE   extra packages for one job, e.g. the stand-in plug-ins of
#                   scripts/hosts/selfcheck.sh
set -euo pipefail

# The Linux plug-ins and the renderer: compiler, libpng, Xlib, the LV2
# headers, libsndfile, and Pillow with DejaVu Sans for the version label the
# build draws; dpkg-dev and file for the Debian package's dependencies.
plugin_packages=(
  cmake make g++ pkg-config dpkg-dev file
  libpng-dev zlib1g-dev libx11-dev lv2-dev libsndfile1-dev
  python3-pil fonts-dejavu-core
)
plugins_only=
if [ "${1:-}" = --plugins-only ]; then plugins_only=1; shift; fi

packages=("${plugin_packages[@]}")
[ -n "$plugins_only" ] || packages+=(
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  wine wine32 wine64 xvfb xauth
  googletest libgtest-dev libbenchmark-dev
  libfftw3-dev
  gnuplot-nox sox
  clang libclang-rt-14-dev
  # Real pointer input for the X11 editor tests, and xrdb, which gives a
  # virtual display the Xft.dpi of a high-density screen.
  libxtst-dev x11-xserver-utils
  # Real hosts for the Linux plug-ins (scripts/hosts/): Ardour with its Lua
  # session tool, jalv on a JACK server, the LV2 validators and lv2info,
  # Qtractor's plug-in scanner, and screenshots of windows under Xvfb.
  ardour jalv jackd2 lilv-utils sordi qtractor imagemagick x11-utils
  # Our LV2 benchmark host (tools/lv2bench).
  liblilv-dev
  # The packages: lintian checks the Debian package, NSIS makes the Windows
  # installer, zip the Windows archive.
  lintian nsis zip unzip
)
packages+=("$@")

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if [ -z "$plugins_only" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture (wine32)"
  sudo_if_needed dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  echo "setup: installing ${missing[*]:-nothing new}"
  sudo_if_needed apt-get update -qq
  [ ${#missing[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive sudo_if_needed apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
