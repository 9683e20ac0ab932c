# Shared by the project's entry scripts: installs what is missing and
# configures and builds the build trees (native, tsan, asan, win32, win64). Source
# it, don't run it.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$top/build"
jobs=$(nproc)

prepare() {
  bash "$top/scripts/setup.sh"
  bash "$top/scripts/build-libpng-mingw.sh" "$build/deps/libpng-mingw" i686
  bash "$top/scripts/build-libpng-mingw.sh" "$build/deps/libpng-mingw64" x86_64
}

configure_and_build() {  # configure_and_build native|tsan|asan|win32|win64 [targets...]
  local kind=$1; shift
  local dir="$build/$kind"
  local args=(-S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=Release)
  local arch= libpng=
  case "$kind" in
    native) ;;
    tsan) args+=(-DVELDANE_SANITIZER=thread) ;;
    asan) args+=(-DVELDANE_SANITIZER=address,undefined) ;;
    win32) arch=i686; libpng="$build/deps/libpng-mingw" ;;
    win64) arch=x86_64; libpng="$build/deps/libpng-mingw64" ;;
    *) echo "unknown build $kind (native, tsan, asan, win32 or win64)" >&2; return 64 ;;
  esac
  if [ -n "$arch" ]; then
    # wine-run.sh picks the 32- or 64-bit wine and prefix from each program.
    args+=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-$arch.cmake"
           -DVELDANE_LIBPNG_PREFIX="$libpng"
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
