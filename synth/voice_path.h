#pragma once
// Which voice loop the engines compute with. The loop (synth/voice_kernel.cpp)
// is one source compiled for three targets: SSE2, two voices per register,
// which every x86-64 processor and every processor the 32-bit build runs on
// has; AVX2, four; AVX-512 (F and VL), four as well, in twice as many registers
// (32). All three give the same bits. Eight voices to an AVX-512 register were
// measured slower than two groups of four side by side, whose chains of
// dependent operations overlap (9 to 13 % on the benchmark's eight-voice
// passages), and the 32 registers keep a group's whole state out of memory,
// which one voice feels too (7 %). The widest path the processor and the
// operating system support (CPUID, and XGETBV for the registers' state being
// saved) is chosen once, when the first engine is made; the environment
// variable VELDANE_SIMD (sse2, avx2 or avx512) forces a narrower one, for tests
// and for a host that misbehaves with the wider registers. A path the processor
// lacks is never taken: the widest supported one not wider than asked is.
#include "synth/voice_lanes.h"

namespace Veldane {

enum class VoicePath { kSse2 = 0, kAvx2 = 1, kAvx512 = 2 };
constexpr int kVoicePathCount = 3;

// "sse2", "avx2" or "avx512", as VELDANE_SIMD names them.
const char* voicePathName(VoicePath path);
// The processor and the operating system can run the path.
bool voicePathSupported(VoicePath path);
// The path engines made from now on compute with (chosen on the first call).
VoicePath voicePath();
// Has engines made from now on take `path` (tests and tools compare paths);
// answers false and changes nothing if it is not supported. Engines already
// made keep theirs.
bool setVoicePath(VoicePath path);
// The loop of a path.
VoiceLoop voiceLoop(VoicePath path);

// The three compilations of synth/voice_kernel.cpp. Call the wider ones only
// where voicePathSupported says so.
void voiceLoopSse2(LaneState& lanes, int count, double* out);
void voiceLoopAvx2(LaneState& lanes, int count, double* out);
void voiceLoopAvx512(LaneState& lanes, int count, double* out);

} // namespace Veldane
