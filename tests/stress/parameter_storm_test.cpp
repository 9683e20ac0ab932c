// A parameter storm in one process: two host threads write random finite
// values to random parameters (Voice Mode and Filter Type among them) and
// read values and display texts back as fast as they can, while a third
// renders blocks with notes playing. Built with ThreadSanitizer, it shows
// that settings cross to the audio thread without a data race; in any build,
// that every sample stays finite and the instance still plays afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "tests/host_side.h"
#include "tests/hosted_plugin.h"
#include "tests/measure.h"

namespace {

using namespace Veldane;

// Long enough for thousands of blocks and mode and filter switches, short
// enough for the test command, also under the sanitizer's slowdown;
// VELDANE_STORM_SECONDS asks for a longer storm (scripts/fuzz.sh).
std::chrono::seconds stormTime() {
    const char* text = std::getenv("VELDANE_STORM_SECONDS");
    const long seconds = text ? std::atol(text) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : 2);
}
constexpr std::uint32_t kSeeds[] = {11, 23}; // one per automating thread: a failure repeats

TEST(ParameterStorm, HostThreadsAutomateWhileTheAudioThreadRenders) {
    AEffect* effect = VSTPluginMain(&CountingHost::callback);
    ASSERT_NE(effect, nullptr);
    std::vector<float> defaults(kParamCount);
    for (int i = 0; i < kParamCount; ++i) defaults[i] = effect->getParameter(effect, i);
    std::atomic<bool> stop{false};
    std::atomic<long> nonFinite{0};
    std::atomic<long> blocks{0};

    std::vector<std::thread> hosts;
    for (std::uint32_t seed : kSeeds) {
        hosts.emplace_back([&, seed] {
            std::mt19937 rng(seed);
            std::uniform_int_distribution<int> index(0, kParamCount - 1);
            std::uniform_real_distribution<float> value(0.0f, 1.0f);
            char text[64];
            for (long n = 0; !stop.load(std::memory_order_relaxed); ++n) {
                int i = index(rng);
                if (n % 4 == 0) i = n % 8 == 0 ? kVoiceMode : kFilterType;
                effect->setParameter(effect, i, value(rng));
                effect->getParameter(effect, index(rng));
                effect->dispatcher(effect, effGetParamDisplay, index(rng), 0, text, 0.0f);
            }
        });
    }
    std::thread audio([&] {
        host::Driver d(effect);
        int note = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            d.noteOn(48 + note % 24);
            if (note >= 6) d.noteOff(48 + (note - 6) % 24);
            ++note;
            for (float y : d.render(host::kBlock))
                if (!std::isfinite(y)) nonFinite.fetch_add(1, std::memory_order_relaxed);
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
    });
    std::this_thread::sleep_for(stormTime());
    stop = true;
    for (std::thread& t : hosts) t.join();
    audio.join();
    EXPECT_EQ(nonFinite.load(), 0);
    EXPECT_GT(blocks.load(), 100);

    // Afterwards a plain patch plays a note as usual.
    host::Driver d(effect);
    for (int i = 0; i < kParamCount; ++i) d.set(i, defaults[i]);
    d.set(kVoiceMode, 1.0f);
    d.noteOn(69);
    const std::vector<float> out = d.render(8820);
    EXPECT_NEAR(measure::frequency(out, 44100.0, 2205, out.size()), 440.0, 440.0 * 0.02);
    closeInstance(effect);
}

} // namespace
