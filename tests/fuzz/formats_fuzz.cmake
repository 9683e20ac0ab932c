# Fuzz targets of the file-format readers: the Standard MIDI File reader and
# the VST preset readers (formats/) and the VST 3 preset file reader
# (framework/vst3/preset_file.h), built like the PNG decoder's target (whose
# file, included first, finds clang and checks that it builds libFuzzer
# targets). Included from cmake/native.cmake.
#
# Longer runs by hand, from the native build directory:
#   mkdir -p midi_fuzz_corpus
#   ./midi_file_fuzz -max_len=4096 -rss_limit_mb=2048 -max_total_time=600 midi_fuzz_corpus ../../tests/fuzz/midi_seeds
#   mkdir -p preset_fuzz_corpus
#   ./vst_preset_fuzz -max_len=1024 -rss_limit_mb=2048 -max_total_time=600 preset_fuzz_corpus ../../tests/fuzz/preset_seeds
#   mkdir -p vst3_preset_fuzz_corpus
#   ./vst3_preset_fuzz -max_len=1024 -rss_limit_mb=2048 -max_total_time=600 vst3_preset_fuzz_corpus \
#     ../../tests/fuzz/vst3_preset_seeds
#
# Unlike the PNG target, every byte is read by our own code, so libFuzzer's
# coverage guidance reaches all of it.

# formats_fuzz_target(NAME SEEDS MAX_LEN RUNS SOURCE...): builds NAME from the
# sources and adds NAME_short, a run of RUNS inputs of at most MAX_LEN bytes
# from a fresh corpus in the build tree (never the committed seeds in SEEDS),
# so that with its fixed seed it does the same work every time. An input that
# fails is kept in NAME_crashes/.
function(formats_fuzz_target name seeds max_len runs)
  set(sources ${ARGN})
  file(GLOB headers ${CMAKE_SOURCE_DIR}/formats/*.h ${CMAKE_SOURCE_DIR}/framework/vst3/*.h)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/${name}
    COMMAND ${VELDANE_CLANGXX} -std=c++17 -O1 -g ${VELDANE_FUZZER_FLAGS} ${VELDANE_WARNINGS} -I${CMAKE_SOURCE_DIR}
            ${sources} -o ${CMAKE_BINARY_DIR}/${name}
    DEPENDS ${sources} ${headers}
    COMMENT "Building the fuzz target ${name} with clang"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${CMAKE_BINARY_DIR}/${name})
  add_test(NAME ${name}_short
    COMMAND sh -c "rm -rf \"$1\" && mkdir -p \"$1\" \"$2\" && exec \"$3\" -seed=1 -runs=$5 -max_len=$6 -rss_limit_mb=2048 -print_final_stats=0 -artifact_prefix=\"$2/\" \"$1\" \"$4\""
            sh ${CMAKE_BINARY_DIR}/${name}_short_corpus ${CMAKE_BINARY_DIR}/${name}_crashes
            ${CMAKE_BINARY_DIR}/${name} ${seeds} ${runs} ${max_len})
endfunction()

if(VELDANE_HAVE_LIBFUZZER)
  formats_fuzz_target(midi_file_fuzz ${CMAKE_SOURCE_DIR}/tests/fuzz/midi_seeds 4096 200000
    ${CMAKE_SOURCE_DIR}/tests/fuzz/midi_file_fuzz.cpp ${CMAKE_SOURCE_DIR}/formats/midi_file.cpp)
  formats_fuzz_target(vst_preset_fuzz ${CMAKE_SOURCE_DIR}/tests/fuzz/preset_seeds 1024 200000
    ${CMAKE_SOURCE_DIR}/tests/fuzz/vst_preset_fuzz.cpp ${CMAKE_SOURCE_DIR}/formats/vst_preset.cpp)
  formats_fuzz_target(vst3_preset_fuzz ${CMAKE_SOURCE_DIR}/tests/fuzz/vst3_preset_seeds 1024 200000
    ${CMAKE_SOURCE_DIR}/tests/fuzz/vst3_preset_fuzz.cpp ${CMAKE_SOURCE_DIR}/framework/vst3/preset_file.cpp)
endif()
