# Native-only targets (with VELDANE_TESTS): the allocation counter of the unit tests, the render
# benchmark, the test host's checks with the built-in plug-in, the
# measurement and documentation tools, and the PNG decoder's fuzz target.
find_package(PkgConfig REQUIRED)
if(VELDANE_TESTS)
find_package(benchmark REQUIRED)
pkg_check_modules(FFTW3 REQUIRED IMPORTED_TARGET fftw3)

# Counting allocation functions for the test that the audio path never allocates.
target_sources(veldane_tests PRIVATE tests/alloc_counter.cpp)
target_compile_definitions(veldane_tests PRIVATE VELDANE_COUNT_ALLOCATIONS=1)

# Two host threads automate while a third renders (the ThreadSanitizer build
# makes any data race between them a failure).
add_executable(parameter_storm tests/stress/parameter_storm_test.cpp)
target_compile_options(parameter_storm PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(parameter_storm PRIVATE veldane_core GTest::gtest_main)
add_test(NAME parameter_storm COMMAND parameter_storm --gtest_brief=1)

# Render benchmark (scripts/bench.sh).
add_executable(veldane_bench bench/engine_bench.cpp)
target_compile_options(veldane_bench PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane_bench PRIVATE veldane_synth benchmark::benchmark benchmark::benchmark_main)

# Our LV2 benchmark host (lilv): LV2 instruments, ours and others, on the
# test host's passages (scripts/bench-side-by-side.sh).
pkg_check_modules(LILV REQUIRED IMPORTED_TARGET lilv-0)
add_executable(lv2bench tools/lv2bench/lv2bench.cpp)
target_compile_options(lv2bench PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(lv2bench PRIVATE testhost_script testhost_support PkgConfig::LILV)

# The test host with the plug-in linked in (`builtin`): what a host sees of
# it, and one play of the benchmark passage (scripts/bench-builds.sh measures).
add_test(NAME testhost_info_builtin COMMAND testhost info builtin)
# VELDANE_SIMD forces a narrower voice path.
add_test(NAME testhost_info_forced_path_builtin COMMAND testhost info builtin)
set_tests_properties(testhost_info_forced_path_builtin PROPERTIES ENVIRONMENT VELDANE_SIMD=sse2
  PASS_REGULAR_EXPRESSION "voice path +sse2")
add_test(NAME testhost_bench_builtin
  COMMAND testhost bench builtin ${CMAKE_SOURCE_DIR}/bench/eight_voices.txt --seconds 0)

# Measurement and documentation tools, and the fuzz targets (clang builds
# those with AddressSanitizer and UBSan in every tree): none of them in a
# sanitizer tree, which has no use for them.
if(NOT VELDANE_SANITIZER)
# Oscillator aliasing and filter response (scripts/measure-oscillators.sh,
# scripts/measure-filter.sh), with FFTW.
add_executable(measure_oscillators tools/measure_oscillators.cpp)
target_compile_options(measure_oscillators PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(measure_oscillators PRIVATE veldane_synth PkgConfig::FFTW3)
add_executable(measure_filter tools/measure_filter.cpp)
target_compile_options(measure_filter PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(measure_filter PRIVATE veldane_synth PkgConfig::FFTW3)

# The documentation's picture of the panel at its defaults (scripts/compose-panel.sh).
add_executable(compose_panel tools/compose_panel.cpp)
target_compile_options(compose_panel PRIVATE ${VELDANE_WARNINGS})
target_compile_definitions(compose_panel PRIVATE VELDANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(compose_panel PRIVATE veldane_ui)

# A fuzz target for the PNG decoder when clang with libFuzzer is installed; it
# is built by its own compiler command (the rest of the build uses g++) and its
# CTest run is short and seeded.
include(${CMAKE_SOURCE_DIR}/tests/fuzz/png_fuzz.cmake)
# The same for the file-format readers.
include(${CMAKE_SOURCE_DIR}/tests/fuzz/formats_fuzz.cmake)
endif()
endif() # VELDANE_TESTS

# Factory patches, their preset files and the offline renderer veldane-render.
include(${CMAKE_SOURCE_DIR}/cmake/patches.cmake)

# The Linux plug-ins (VST 2.4 and LV2) and their checks in real hosts.
include(${CMAKE_SOURCE_DIR}/cmake/linux.cmake)

# What `cmake --install` and the packages put where (packaging/).
include(${CMAKE_SOURCE_DIR}/packaging/install.cmake)
