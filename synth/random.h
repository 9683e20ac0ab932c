#pragma once
// The engine's random source: a multiplicative congruential generator
// (seed = seed * 16807 mod 2^32) whose low 23 bits become the mantissa of a
// float in [2, 4); subtracting 3 gives a uniform value in [-1, 1) in steps of
// 2^-22. One seed serves the whole process: every engine instance draws from
// the same sequence, starting at seed 1 when the library loads.
#include <cstdint>

namespace Veldane {

// Seed of a freshly loaded library.
constexpr std::uint32_t kInitialRandomSeed = 1;

// Next value of the process-wide sequence, in [-1, 1). Audio thread; lock-free.
double randomValue();

// The process-wide seed, for tests that need a known point in the sequence.
std::uint32_t randomSeed();
void setRandomSeed(std::uint32_t seed);

} // namespace Veldane
