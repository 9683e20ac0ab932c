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

configure_and_build() {  # configure_and_build native|tsan|win32 [targets...]
  local kind=$1; shift
  local dir="$build/$kind"
  local args=(-S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=Release)
  if [ "$kind" = tsan ]; then
    args+=(-DVELDANE_SANITIZER=thread)
  elif [ "$kind" = win32 ]; then
    args+=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake"
           -DVELDANE_LIBPNG_PREFIX="$build/deps/libpng-mingw"
           -DCMAKE_CROSSCOMPILING_EMULATOR="$top/scripts/wine-run.sh")
  fi
  [ -f "$dir/CMakeCache.txt" ] || echo "configuring the $kind build"
  cmake "${args[@]}" >/dev/null
  echo "building ($kind)"
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  # The full output goes to a log; the terminal shows each finished target
  # (progress), and any warning or error.
  local log="$dir/build.log" status
  set +e
  cmake --build "$dir" -j"$jobs" "${targets[@]}" -- --no-print-directory 2>&1 | tee "$log" \
    | grep --line-buffered -E 'Built target|error|warning'
  status=${PIPESTATUS[0]}
  set -e
  if [ "$status" -ne 0 ]; then
    echo "the $kind build failed; full output in $log" >&2
    return "$status"
  fi
}
