# Shared by the two Windows toolchains (mingw-i686.cmake, mingw-x86_64.cmake),
# which set veldane_mingw_triplet first: Debian's mingw-w64 compilers with the
# posix thread model (std::thread and std::mutex need it), and static runtime
# libraries.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${veldane_mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${veldane_mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER  ${veldane_mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${veldane_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The DLL and the test programs must need nothing but Windows system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
