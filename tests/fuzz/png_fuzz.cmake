# The PNG decoder's fuzz target, built with clang's libFuzzer, AddressSanitizer
# and UBSan when they are installed (scripts/setup.sh installs clang and
# libclang-rt-14-dev). Included from cmake/native.cmake.
#
# Longer runs by hand, from the native build directory:
#   mkdir -p png_fuzz_corpus
#   ./png_fuzz -max_len=4096 -rss_limit_mb=2048 -max_total_time=600 png_fuzz_corpus ../../tests/fuzz/seeds
#
# The system libpng and zlib are not instrumented, so libFuzzer sees coverage
# of our own code only: it mutates the seeds blindly inside libpng. Crashes or
# overruns in our buffers are still caught.

find_program(VELDANE_CLANGXX NAMES clang++ clang++-14)
set(VELDANE_FUZZER_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
if(VELDANE_CLANGXX AND NOT DEFINED VELDANE_HAVE_LIBFUZZER)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz_probe.cpp
    "#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
  execute_process(
    COMMAND ${VELDANE_CLANGXX} ${VELDANE_FUZZER_FLAGS} ${CMAKE_BINARY_DIR}/fuzz_probe.cpp -o ${CMAKE_BINARY_DIR}/fuzz_probe
    RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
  if(probe_result EQUAL 0)
    set(VELDANE_HAVE_LIBFUZZER ON CACHE INTERNAL "clang can build libFuzzer targets")
  else()
    set(VELDANE_HAVE_LIBFUZZER OFF CACHE INTERNAL "clang can build libFuzzer targets")
  endif()
endif()

if(VELDANE_HAVE_LIBFUZZER)
  set(fuzz_sources
    ${CMAKE_SOURCE_DIR}/tests/fuzz/png_fuzz.cpp
    ${CMAKE_SOURCE_DIR}/gfx/png_decode.cpp
    ${CMAKE_SOURCE_DIR}/gfx/bitmap.cpp)
  set(fuzz_includes -I${CMAKE_SOURCE_DIR})
  foreach(dir ${PNG_INCLUDE_DIRS})
    list(APPEND fuzz_includes -I${dir})
  endforeach()
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/png_fuzz
    COMMAND ${VELDANE_CLANGXX} -std=c++17 -O1 -g ${VELDANE_FUZZER_FLAGS} ${VELDANE_WARNINGS} ${fuzz_includes}
            ${fuzz_sources} ${PNG_LIBRARIES} -o ${CMAKE_BINARY_DIR}/png_fuzz
    DEPENDS ${fuzz_sources} ${CMAKE_SOURCE_DIR}/gfx/png_decode.h ${CMAKE_SOURCE_DIR}/gfx/bitmap.h
    COMMENT "Building the PNG decoder's fuzz target with clang"
    VERBATIM)
  add_custom_target(png_fuzz ALL DEPENDS ${CMAKE_BINARY_DIR}/png_fuzz)
  # A short run of fixed length from a fresh corpus in the build tree (never
  # the committed seeds), so that with its fixed seed it does the same work
  # every time. An input that fails is kept in png_fuzz_crashes/.
  add_test(NAME png_fuzz_short
    COMMAND sh -c "rm -rf \"$1\" && mkdir -p \"$1\" \"$2\" && exec \"$3\" -seed=1 -runs=3000 -max_len=4096 -rss_limit_mb=2048 -print_final_stats=0 -artifact_prefix=\"$2/\" \"$1\" \"$4\""
            sh ${CMAKE_BINARY_DIR}/png_fuzz_short_corpus ${CMAKE_BINARY_DIR}/png_fuzz_crashes
            ${CMAKE_BINARY_DIR}/png_fuzz ${CMAKE_SOURCE_DIR}/tests/fuzz/seeds)
endif()
