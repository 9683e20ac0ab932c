#pragma once
// Counts the native test program's calls of the global operator new, in every
// form (the counting operators live in alloc_counter.cpp, compiled into that
// build only).
#include <cstddef>

namespace test {
std::size_t allocationCount();
} // namespace test
