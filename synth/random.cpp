#include "synth/random.h"

#include <atomic>
#include <cstring>

namespace Veldane {

namespace {

// Multiplier of the generator (the classic minimal-standard constant; taken
// modulo 2^32 here, not 2^31 - 1).
constexpr std::uint32_t kMultiplier = 16807;
// The low 23 bits of the seed form the mantissa; the exponent bits of 2.0f
// place the float in [2, 4).
constexpr std::uint32_t kMantissaMask = 0x007FFFFF;
constexpr std::uint32_t kExponentOfTwo = 0x40000000;
// Centre of [2, 4): subtracting it maps the float onto [-1, 1).
constexpr float kCentre = 3.0f;

// Two instances may render on two audio threads at once. Relaxed loads and
// stores keep that free of data races without a lock or a bus-locked
// read-modify-write; two draws racing each other may return the same value,
// which noise and pitch jitter do not care about.
std::atomic<std::uint32_t> seed{kInitialRandomSeed};

} // namespace

double randomValue()
{
    const std::uint32_t next = seed.load(std::memory_order_relaxed) * kMultiplier;
    seed.store(next, std::memory_order_relaxed);
    const std::uint32_t bits = (next & kMantissaMask) | kExponentOfTwo;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return static_cast<double>(value - kCentre);
}

std::uint32_t randomSeed()
{
    return seed.load(std::memory_order_relaxed);
}

void setRandomSeed(std::uint32_t s)
{
    seed.store(s, std::memory_order_relaxed);
}

} // namespace Veldane
