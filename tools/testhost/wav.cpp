#include "tools/testhost/wav.h"

#include <cstdint>
#include <cstdio>

namespace testhost {

bool writeWav(const char* path, const std::vector<float>& samples, int rate) {
    FILE* f = std::fopen(path, "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return false;
    }
    auto u32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * sizeof(float));
    constexpr std::uint16_t kIeeeFloat = 3;
    std::fwrite("RIFF", 1, 4, f);
    u32(4 + (8 + 18) + (8 + 4) + (8 + dataBytes));
    std::fwrite("WAVE", 1, 4, f);
    std::fwrite("fmt ", 1, 4, f);
    u32(18);
    u16(kIeeeFloat);
    u16(1);                                   // mono
    u32(static_cast<std::uint32_t>(rate));    // frames per second
    u32(static_cast<std::uint32_t>(rate) * 4); // bytes per second
    u16(4);                                   // bytes per frame
    u16(32);                                  // bits per sample
    u16(0);                                   // no extension
    std::fwrite("fact", 1, 4, f);             // non-PCM formats state their frame count
    u32(4);
    u32(static_cast<std::uint32_t>(samples.size()));
    std::fwrite("data", 1, 4, f);
    u32(dataBytes);
    std::fwrite(samples.data(), sizeof(float), samples.size(), f);
    const bool ok = std::fclose(f) == 0;
    if (!ok) std::fprintf(stderr, "error writing %s\n", path);
    return ok;
}

} // namespace testhost
