# Native-only targets: benchmarks and measurement tools.
find_package(benchmark REQUIRED)

# Filter response measurement (scripts/measure-filter.sh plots its output).
add_executable(measure_filter tools/measure_filter.cpp)
target_compile_options(measure_filter PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(measure_filter PRIVATE veldane_core fftw3)

# Engine: counting allocation functions for the no-allocation test, and the render benchmark.
target_sources(veldane_tests PRIVATE tests/alloc_counter.cpp)
target_compile_definitions(veldane_tests PRIVATE VELDANE_COUNT_ALLOCATIONS=1)
add_executable(veldane_bench bench/engine_bench.cpp)
target_compile_options(veldane_bench PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(veldane_bench PRIVATE veldane_core benchmark::benchmark benchmark::benchmark_main)

# Oscillator aliasing measurement (scripts/measure-oscillators.sh); FFTW from Debian's libfftw3-dev.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFTW3 REQUIRED IMPORTED_TARGET fftw3)
add_executable(measure_oscillators tools/measure_oscillators.cpp)
target_compile_options(measure_oscillators PRIVATE ${VELDANE_WARNINGS})
target_link_libraries(measure_oscillators PRIVATE veldane_core PkgConfig::FFTW3)

# Bitmaps: the documentation's picture of the panel at its defaults
# (scripts/compose-panel.sh), and a fuzz target for the PNG decoder when clang
# with libFuzzer is installed. The fuzzer is built by its own compiler command,
# as the rest of the native build uses g++; its CTest run is short and seeded.
add_executable(compose_panel tools/compose_panel.cpp)
target_compile_options(compose_panel PRIVATE ${VELDANE_WARNINGS})
target_compile_definitions(compose_panel PRIVATE VELDANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(compose_panel PRIVATE veldane_core)
include(${CMAKE_SOURCE_DIR}/tests/fuzz/png_fuzz.cmake)
