#pragma once
// How the benchmark commands of our test hosts (testhost bench, lv2bench)
// time a passage: played over and over in rounds of half a second of the
// thread's CPU time (longer where the thread's clock is coarse) until the
// asked seconds have gone into them; the figure
// is the fastest round, since other programs sharing the machine's cores and
// caches only ever slow a round down. Cycles are the time-stamp counter's,
// which ticks at the processor's nominal rate (not its boosted one), so a
// cycle figure converts back to time on any machine of the same rate.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#if defined(__i386__) || defined(__x86_64__)
#include <x86intrin.h>
#endif

#include "tools/testhost/platform.h"

namespace testhost {

// A round is long enough that a passage is played a few times over, and at
// least 200 ticks of the thread's clock, so that a tick is at most 0.5 % of
// it: under wine the clock ticks every 10 ms, and half-second rounds there
// came out in steps of 2 % (a round is timed from tick to tick).
constexpr double kBenchRoundSeconds = 0.5;
constexpr double kBenchRoundTicks = 200.0;

// The thread clock's tick: how far its reading moves when it moves. Spins
// until it does, for a tenth of a second at most (0 then: no tick to honour).
inline double threadClockTick()
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    const double start = threadCpuSeconds();
    double now = start;
    while (now == start && std::chrono::steady_clock::now() < giveUp)
        now = threadCpuSeconds();
    return now - start;
}

struct BenchResult {
    int plays = 0, rounds = 0;
    double audioSeconds = 0.0; // in all rounds
    double cpuSeconds = 0.0;   // in all rounds
    double wallSeconds = 0.0;
    double best = 0.0;  // seconds of audio per second of CPU time, fastest round
    double tscHz = 0.0; // time-stamp counter ticks per second (0 where there is none)
};

inline std::uint64_t timeStampCounter()
{
#if defined(__i386__) || defined(__x86_64__)
    return __rdtsc();
#else
    return 0;
#endif
}

// Calls play() once untimed (code and tables into the caches), then in
// rounds until `seconds` of CPU time have gone into them; play answers the
// seconds of audio it rendered.
template <class Play>
BenchResult benchRounds(double seconds, Play play)
{
    play();
    const double roundSeconds = std::min(std::max(kBenchRoundSeconds, kBenchRoundTicks * threadClockTick()), seconds);
    BenchResult r;
    const auto wallStart = std::chrono::steady_clock::now();
    const std::uint64_t tscStart = timeStampCounter();
    do {
        const double roundStart = threadCpuSeconds();
        double roundAudio = 0.0, roundCpu = 0.0;
        do {
            roundAudio += play();
            ++r.plays;
            roundCpu = threadCpuSeconds() - roundStart;
        } while (roundCpu < roundSeconds);
        ++r.rounds;
        r.audioSeconds += roundAudio;
        r.cpuSeconds += roundCpu;
        if (roundCpu > 0.0)
            r.best = std::max(r.best, roundAudio / roundCpu);
    } while (r.cpuSeconds < seconds);
    r.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (r.wallSeconds > 0.0)
        r.tscHz = double(timeStampCounter() - tscStart) / r.wallSeconds;
    return r;
}

// The report's last lines, which scripts read: the real-time factor and the
// cycles one second of audio cost in the fastest round. Answers the
// command's exit status: 2 when the plug-in played non-finite samples, 1 when
// the thread's CPU time did not advance (no factor), else 0.
inline int printBenchFigures(const BenchResult& r, int nonFinite)
{
    if (nonFinite) {
        std::fprintf(stderr, "%d non-finite samples\n", nonFinite);
        return 2;
    }
    if (r.best <= 0.0) {
        std::fprintf(stderr, "the thread's CPU time did not advance: no real-time factor\n");
        return 1;
    }
    std::printf("real-time factor %.1f (fastest round; %.1f over all rounds)\n", r.best,
                r.cpuSeconds > 0.0 ? r.audioSeconds / r.cpuSeconds : 0.0);
    if (r.tscHz > 0.0 && r.best > 0.0)
        std::printf("cycles per second of audio %.0f (time-stamp counter at %.0f MHz)\n", r.tscHz / r.best,
                    r.tscHz / 1e6);
    return 0;
}

} // namespace testhost
