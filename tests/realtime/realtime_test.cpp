// Real-time safety, measured in every format: the built plug-in modules
// (VST 2.4, CLAP, LV2, VST 3), loaded by our hosts, play chords, bends, the
// pedal, a parameter change in every block (voice mode and filter type among
// them) and floods of thousands of events in one call, in blocks of 1 to 4096
// frames at rates from 22.05 to 96 kHz, the rate changed between activations,
// each activation's audio calls made on a thread of their own as a host's
// audio thread makes them. The real-time probe (probe.h) counts every
// allocation, lock, wait and system call made inside those calls: there must
// be none. A plug-in of the test's own that makes such calls shows that the
// probe counts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "tests/linux/lv2_host.h"
#include "tests/realtime/probe.h"
#include "tools/claphost/clap_host.h"
#include "tools/claphost/veldane_plain.h"
#include "tools/testhost/audio_call.h"
#include "tools/testhost/platform.h"
#include "tools/testhost/plugin_library.h"
#include "tools/vst3host/host.h"

namespace {

// One activation: its rate, block size, precision and the flood of events
// it gets in one call.
struct Activation {
    double rate;
    int block;
    bool doubles;   // VST 2.4 and CLAP render in double precision (VST 3 and LV2 in single)
    bool clapMidi;  // CLAP gets its notes as MIDI rather than as note events
    int flood;      // note events at one sample; beyond 16384 the plug-ins drop the rest
};

// In this order, on one instance where the format lets the rate change (LV2
// fixes it at instantiation, so there each run is an instance of its own).
constexpr Activation kActivations[] = {
    {44100.0, 1, false, false, 3000},
    {96000.0, 4096, true, true, 20000},
    {22050.0, 37, false, true, 5000},
    {48000.0, 512, true, false, 3000},
};

// Seconds each activation plays.
constexpr double kSeconds = 0.25;

testhost::Command midi(long long frame, int status, int data1, int data2) {
    testhost::Command c{};
    c.frame = frame;
    c.midi[0] = static_cast<unsigned char>(status);
    c.midi[1] = static_cast<unsigned char>(data1);
    c.midi[2] = static_cast<unsigned char>(data2);
    return c;
}

testhost::Command parameter(long long frame, int index, float value) {
    testhost::Command c{};
    c.frame = frame;
    c.isParameter = true;
    c.index = index;
    c.value = value;
    return c;
}

// A passage that asks everything of the engine for one run: four-note chords
// every 20 ms, each held 30 ms, so they overlap and steal voices; the pedal
// down over every other chord; a pitch bend every 2 ms; a parameter change
// every 32 frames or every block, whichever is sooner, walking through every
// parameter with the voice mode and the filter type every other time; and
// half-way the flood, alternate note-ons and -offs at one sample.
testhost::Script passage(const Activation& run) {
    testhost::Script script;
    auto& commands = script.commands;
    const long long frames = std::llround(kSeconds * run.rate);
    const long long chordStep = std::llround(0.020 * run.rate), hold = std::llround(0.030 * run.rate);
    for (long long at = 0, n = 0; at < frames; at += chordStep, ++n) {
        for (int k = 0; k < 4; ++k) {
            const int key = 36 + static_cast<int>((n * 7 + k * 5) % 48);
            commands.push_back(midi(at, 0x90, key, 100));
            commands.push_back(midi(at + hold, 0x80, key, 0));
        }
        commands.push_back(midi(at, 0xB0, 64, n % 2 == 0 ? 127 : 0));
    }
    const long long bendStep = std::llround(0.002 * run.rate);
    for (long long at = 0, n = 0; at < frames; at += bendStep, ++n) {
        const int bend = static_cast<int>((n * 997) % 16384);
        commands.push_back(midi(at, 0xE0, bend & 0x7F, bend >> 7));
    }
    const long long parameterStep = std::min(run.block, 32);
    for (long long at = 0, n = 0; at < frames; at += parameterStep, ++n) {
        const int walked = static_cast<int>(n / 2 % Veldane::kParamCount);
        const int index = n % 2 == 0 ? walked : n % 4 == 1 ? Veldane::kVoiceMode : Veldane::kFilterType;
        commands.push_back(parameter(at, index, static_cast<float>(std::fmod(n * 0.618034, 1.0))));
    }
    for (int i = 0; i < run.flood; ++i)
        commands.push_back(midi(frames / 2, i % 2 == 0 ? 0x90 : 0x80, 24 + i / 2 % 96, i % 2 == 0 ? 90 : 0));
    std::stable_sort(commands.begin(), commands.end(),
                     [](const testhost::Command& a, const testhost::Command& b) { return a.frame < b.frame; });
    script.endFrame = frames;
    return script;
}

float peak(const std::vector<float>& samples) {
    float p = 0.0f;
    for (float s : samples) p = std::max(p, std::fabs(s));
    return p;
}

class RealTime : public ::testing::Test {
protected:
    void SetUp() override {
        rtprobe::prepare();
        rtprobe::reset();
        testhost::audioCallBegins = &rtprobe::enter;
        testhost::audioCallEnds = &rtprobe::leave;
    }
    void TearDown() override {
        testhost::audioCallBegins = nullptr;
        testhost::audioCallEnds = nullptr;
    }

    // `play` (one activation, answering its output) on a thread of its own.
    template <class Play>
    static std::vector<float> onAudioThread(Play&& play) {
        std::vector<float> out;
        std::thread audio([&] { out = play(); });
        audio.join();
        return out;
    }

    // Plays every run through `play(run, script)` and expects sound from
    // each and not one probed call.
    template <class Play>
    static void expectRealTimeSafe(Play&& play) {
        for (const Activation& run : kActivations) {
            const testhost::Script script = passage(run);
            const std::vector<float> out = onAudioThread([&] { return play(run, script); });
            EXPECT_GT(peak(out), 0.0f) << "silent at " << run.rate << " Hz in blocks of " << run.block;
        }
        const std::string report = rtprobe::report();
        EXPECT_TRUE(report.empty()) << report;
    }
};

TEST_F(RealTime, ProbeCountsEveryCallOfABadPlugin) {
    testhost::LoadedPlugin plugin;
    ASSERT_TRUE(testhost::load(VELDANE_BAD_PLUGIN, plugin));
    // A note at the start of each block, so every block has its event call.
    constexpr int kBlocks = 10, kBlock = 64;
    testhost::Script script;
    for (int i = 0; i < kBlocks; ++i) script.commands.push_back(midi(i * kBlock, 0x90, 60, 100));
    script.endFrame = kBlocks * kBlock;
    onAudioThread([&] { return testhost::playScript(plugin.effect, script, 44100.0, kBlock, false); });
    testhost::unload(plugin);

    for (const char* name : {"malloc", "free", "operator new[]", "operator delete[]", "pthread_mutex_lock",
                             "pthread_cond_timedwait", "write", "realloc"})
        EXPECT_EQ(rtprobe::calls(name), unsigned(kBlocks)) << name;
    // The main thread waited in pthread_join meanwhile, outside any audio call.
    EXPECT_EQ(rtprobe::calls("pthread_join"), 0u);
    const std::string report = rtprobe::report();
    EXPECT_NE(report.find("processReplacing"), std::string::npos) << report;
    EXPECT_NE(report.find("rt_bad_plugin.so"), std::string::npos) << report;
}

TEST_F(RealTime, Vst2) {
    testhost::LoadedPlugin plugin;
    ASSERT_TRUE(testhost::load(VELDANE_VST2, plugin));
    expectRealTimeSafe([&](const Activation& run, const testhost::Script& script) {
        return testhost::playScript(plugin.effect, script, run.rate, run.block, run.doubles);
    });
    testhost::unload(plugin);
}

TEST_F(RealTime, Clap) {
    claphost::Library library;
    std::string error;
    ASSERT_TRUE(library.open(VELDANE_CLAP, error)) << error;
    claphost::Host host;
    claphost::Instance instance(library, host);
    ASSERT_NE(instance.plugin, nullptr);
    expectRealTimeSafe([&](const Activation& run, const testhost::Script& script) {
        instance.deactivate();
        if (!instance.activate(run.rate, static_cast<std::uint32_t>(run.block))) return std::vector<float>{};
        return claphost::playScript(instance, script, run.rate, run.block, run.clapMidi, &claphost::veldanePlainOf,
                                    run.doubles);
    });
}

TEST_F(RealTime, Lv2) {
    std::string error;
    void* library = testhost::openLibrary(VELDANE_LV2, error);
    ASSERT_NE(library, nullptr) << error;
    using DescriptorOf = const LV2_Descriptor* (*)(std::uint32_t);
    const auto descriptorOf = reinterpret_cast<DescriptorOf>(testhost::librarySymbol(library, "lv2_descriptor"));
    ASSERT_NE(descriptorOf, nullptr);
    const LV2_Descriptor* descriptor = descriptorOf(0);
    ASSERT_NE(descriptor, nullptr);
    expectRealTimeSafe([&](const Activation& run, const testhost::Script& script) {
        lv2host::Instance instance(*descriptor, run.rate);
        return lv2host::playScript(instance, script, run.rate, run.block);
    });
}

TEST_F(RealTime, Vst3) {
    vst3host::Module module;
    std::string error;
    ASSERT_TRUE(vst3host::loadModule(VELDANE_VST3_BUNDLE, module, error)) << error;
    {
        vst3host::Instance instance;
        ASSERT_TRUE(instance.open(module.factory, error)) << error;
        expectRealTimeSafe([&](const Activation& run, const testhost::Script& script) {
            std::vector<float> out;
            std::string refused;
            return vst3host::playScript(instance, script, run.rate, run.block, out, refused) ? out
                                                                                             : std::vector<float>{};
        });
    }
    vst3host::unloadModule(module);
}

} // namespace
