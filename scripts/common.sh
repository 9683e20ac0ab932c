# Shared by the project's entry scripts: installs what is missing and
# configures and builds the two build trees. Source it, don't run it.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"
jobs=$(nproc)

prepare() {
  bash "$top/scripts/setup.sh"
  bash "$top/scripts/build-libpng-mingw.sh" "$build/deps/libpng-mingw"
}

configure_and_build() {  # configure_and_build native|win32 [targets...]
  local kind=$1; shift
  local dir="$build/$kind"
  local args=(-S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=Release)
  if [ "$kind" = win32 ]; then
    args+=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake"
           -DVELDANE_LIBPNG_PREFIX="$build/deps/libpng-mingw"
           -DCMAKE_CROSSCOMPILING_EMULATOR="$top/scripts/wine-run.sh")
  fi
  [ -f "$dir/CMakeCache.txt" ] || echo "configuring the $kind build"
  cmake "${args[@]}" >/dev/null
  echo "building ($kind)"
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$dir" -j"$jobs" "${targets[@]}" -- --no-print-directory | grep -vE '^\[ *[0-9]+%\] (Building|Linking)|^Scanning|^Consolidate|^Built target' || true
  [ "${PIPESTATUS[0]}" -eq 0 ]
}
