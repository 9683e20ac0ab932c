# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix thread model).
# x86-64 computes doubles with SSE2 anyway, as the native build does, so no
# floating-point flags are needed for the two to agree.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(veldane_mingw_triplet x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
