#include "synth/voice_path.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace Veldane {

namespace {

// XCR0, the register state the operating system saves on a context switch:
// bits 1 and 2 the SSE and AVX halves of the vector registers, 5 to 7 the
// AVX-512 mask registers and the upper halves of zmm0-15 and zmm16-31.
constexpr std::uint64_t kXcr0Avx = 0x06;
constexpr std::uint64_t kXcr0Avx512 = 0xE6;

#if defined(__i386__) || defined(__x86_64__)
std::uint64_t readXcr0()
{
    std::uint32_t low = 0, high = 0;
    // xgetbv with ecx = 0; spelled as bytes for assemblers that predate it.
    asm volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(low), "=d"(high) : "c"(0));
    return (std::uint64_t(high) << 32) | low;
}

bool processorSupports(VoicePath path)
{
    if (path == VoicePath::kSse2)
        return true;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return false;
    // AVX and the operating system's XSAVE, which xgetbv needs.
    if (!(c & bit_OSXSAVE) || !(c & bit_AVX))
        return false;
    const std::uint64_t xcr0 = readXcr0();
    if ((xcr0 & kXcr0Avx) != kXcr0Avx)
        return false;
    if (__get_cpuid_max(0, nullptr) < 7)
        return false;
    __cpuid_count(7, 0, a, b, c, d);
    if (path == VoicePath::kAvx2)
        return (b & bit_AVX2) != 0;
    return (b & bit_AVX512F) != 0 && (b & bit_AVX512VL) != 0 && (xcr0 & kXcr0Avx512) == kXcr0Avx512;
}
#else
bool processorSupports(VoicePath path)
{
    return path == VoicePath::kSse2;
}
#endif

// The widest supported path not wider than `limit`.
VoicePath widestUpTo(VoicePath limit)
{
    for (int p = static_cast<int>(limit); p > 0; --p) {
        if (voicePathSupported(static_cast<VoicePath>(p)))
            return static_cast<VoicePath>(p);
    }
    return VoicePath::kSse2;
}

// The path at start-up: the widest, or the one VELDANE_SIMD asks for.
VoicePath startUpPath()
{
    VoicePath limit = VoicePath::kAvx512;
    if (const char* asked = std::getenv("VELDANE_SIMD")) {
        for (int p = 0; p < kVoicePathCount; ++p) {
            if (std::strcmp(asked, voicePathName(static_cast<VoicePath>(p))) == 0)
                limit = static_cast<VoicePath>(p);
        }
    }
    return widestUpTo(limit);
}

std::atomic<int>& currentPath()
{
    static std::atomic<int> path{static_cast<int>(startUpPath())};
    return path;
}

} // namespace

const char* voicePathName(VoicePath path)
{
    switch (path) {
    case VoicePath::kAvx2: return "avx2";
    case VoicePath::kAvx512: return "avx512";
    default: return "sse2";
    }
}

bool voicePathSupported(VoicePath path)
{
    static const bool supported[kVoicePathCount] = {true, processorSupports(VoicePath::kAvx2),
                                                    processorSupports(VoicePath::kAvx512)};
    const int p = static_cast<int>(path);
    return p >= 0 && p < kVoicePathCount && supported[p];
}

VoicePath voicePath()
{
    return static_cast<VoicePath>(currentPath().load(std::memory_order_relaxed));
}

bool setVoicePath(VoicePath path)
{
    if (!voicePathSupported(path))
        return false;
    currentPath().store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

VoiceLoop voiceLoop(VoicePath path)
{
    switch (path) {
    case VoicePath::kAvx2: return &voiceLoopAvx2;
    case VoicePath::kAvx512: return &voiceLoopAvx512;
    default: return &voiceLoopSse2;
    }
}

} // namespace Veldane
