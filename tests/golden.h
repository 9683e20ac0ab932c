#pragma once
// What an accepted render is compared by: a checksum of its samples, and the
// demo phrase's, shared by the render tests of the core library and of the
// built DLL, so every build is held to the same samples.
#include <cstdint>
#include <cstring>
#include <vector>

namespace golden {

// The demo phrase (tools/testhost/demo.txt) at 44.1 kHz in blocks of 512,
// single precision, from the start of the random sequence.
constexpr std::uint64_t kDemoPhraseChecksum = 13565065002111353412u;

// 64-bit FNV-1a over the samples' bit patterns: any change of any bit shows.
inline std::uint64_t checksum(const std::vector<float>& samples) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (float s : samples) {
        std::uint32_t bits;
        std::memcpy(&bits, &s, sizeof bits);
        for (int i = 0; i < 4; ++i) {
            h ^= (bits >> (8 * i)) & 0xFFu;
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

} // namespace golden
