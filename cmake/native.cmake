# Native-only targets: benchmarks and measurement tools.
find_package(benchmark REQUIRED)
