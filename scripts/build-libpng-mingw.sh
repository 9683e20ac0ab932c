#!/usr/bin/env bash
# Builds Debian's libpng1.6 as a static library for one Windows target (i686:
# 32-bit, x86_64: 64-bit), once: the result is cached under the given prefix
# and reused afterwards.
# usage: build-libpng-mingw.sh PREFIX i686|x86_64
set -euo pipefail
prefix=$(realpath -m "$1")
arch=${2:-i686}
case "$arch" in
  i686|x86_64) ;;
  *) echo "libpng: unknown target $arch (i686 or x86_64)" >&2; exit 64 ;;
esac
[ -f "$prefix/lib/libpng.a" ] && exit 0
mingw=/usr/$arch-w64-mingw32

top=$(cd "$(dirname "$0")/.." && pwd)
work="$prefix.src"
rm -rf "$work" && mkdir -p "$work"

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# apt-get source needs a deb-src entry; mirror the machine's own Debian entry.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  src=/etc/apt/sources.list.d/debian.sources
  if [ -f "$src" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$src" | sudo_if_needed tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  else
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | sudo_if_needed tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
  sudo_if_needed apt-get update -qq
fi

echo "libpng: fetching and cross-building Debian's libpng1.6 source for $arch (once)"
# The archive may list a newer version than its pool still holds: try each
# listed version, newest first, until one downloads.
fetched=
for v in $(apt-cache showsrc libpng1.6 | sed -n 's/^Version: //p' | sort -rV); do
  if (cd "$work" && apt-get source -qq "libpng1.6=$v" >/dev/null 2>&1); then fetched=$v; break; fi
  rm -rf "${work:?}"/*
done
[ -n "$fetched" ] || { echo "libpng: no version of the libpng1.6 source package could be fetched" >&2; exit 1; }
srcdir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'libpng1.6-*' | head -n 1)
[ -n "$srcdir" ] || { echo "libpng: source package not found" >&2; exit 1; }

cmake -S "$srcdir" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_INCLUDE_DIR="$mingw/include" -DZLIB_LIBRARY="$mingw/lib/libz.a" \
  -DSKIP_INSTALL_EXPORT=ON >/dev/null
cmake --build "$work/build" -j"$(nproc)" >/dev/null
cmake --install "$work/build" >/dev/null
# The static archive may be installed as libpng16.a only.
[ -f "$prefix/lib/libpng.a" ] || cp "$prefix/lib/libpng16.a" "$prefix/lib/libpng.a"
rm -rf "$work"
echo "libpng: installed in $prefix"
