#pragma once
// Counts global operator new calls in the native test program (the counting
// operators live in alloc_counter.cpp, compiled into that build only).
#include <cstddef>

namespace test {
std::size_t allocationCount();
} // namespace test
