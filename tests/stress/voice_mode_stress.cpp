// The built Veldane.dll under a host that automates without pause: one thread
// renders blocks with notes playing, alternating single and double precision,
// while another sets random parameters (the voice mode among them, and values
// no host should send) as fast as it can. Nothing may crash, every sample must
// be finite, and afterwards each voice mode chosen last must be the one that
// plays, exactly as in an instance that never went through the storm.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/host_side.h"
#include "tests/measure.h"
#include "tests/veldane_dll.h"

namespace {

constexpr int kParameters = host::kParameters;
constexpr int kVoiceModeIndex = Veldane::kVoiceMode;
constexpr int kSustainIndex = Veldane::kAmpSustain;
constexpr int kBlock = host::kBlock;
constexpr float kRate = 44100.0f;
// Long enough for many thousands of blocks and mode switches, short enough
// for a test run under wine.
constexpr auto kStormTime = std::chrono::seconds(3);
// Seeds of the note and parameter sequences: a failure repeats.
constexpr std::uint32_t kNoteSeed = 20240611;
constexpr std::uint32_t kParameterSeed = 7;

// Voice Mode entries: Retrigger, Legato, Poly.
constexpr float kModeValues[] = {0.0f, 1.0f / 3.0f, 2.0f / 3.0f};
const char* const kModeNames[] = {"Retrigger", "Legato", "Poly"};

VstIntPtr ZEM_VSTCALL silentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

AEffect* newInstance() {
    veldane_dll::PluginMain entry = veldane_dll::entry();
    if (!entry) return nullptr;
    AEffect* effect = entry(&silentHost);
    if (!effect) return nullptr;
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, kRate);
    return effect;
}

int samples(double ms) { return static_cast<int>(ms * 0.001 * kRate); }

// How an instance plays a held note joined by two more: the level on the
// first note's sustain, right after the other two arrive (where a restarted
// envelope peaks) and once all three sit on the sustain again.
struct Playing {
    double alone = 0.0;
    double onArrival = 0.0;
    double together = 0.0;

    bool polyphonic() const { return together > 1.4 * alone; }
    bool restartsEnvelopes() const { return onArrival > 1.6 * together; }
};

// Gives the instance the plug-in's defaults with a low sustain (so a new
// attack stands out), selects the mode last, lets everything fall silent and
// plays the probe.
Playing probe(AEffect* effect, const std::vector<float>& defaults, float mode) {
    host::Driver d(effect);
    auto allOff = [&] {
        for (int note = 0; note < 128; ++note) d.noteOff(note);
        d.midi(0xB0, 64, 0);
        d.midi(0xE0, 0, 64);
    };
    for (int i = 0; i < kParameters; ++i) d.set(i, defaults[i]);
    d.set(kSustainIndex, 0.2f);
    d.set(kVoiceModeIndex, mode);
    allOff();
    d.advance(samples(500));

    Playing p;
    d.noteOn(60);
    const std::vector<float> alone = d.render(samples(150));
    p.alone = measure::rms(alone, samples(100), samples(150));
    d.noteOn(64);
    d.noteOn(67);
    const std::vector<float> after = d.render(samples(150));
    p.onArrival = measure::rms(after, samples(1), samples(5));
    p.together = measure::rms(after, samples(100), samples(150));
    allOff();
    d.advance(samples(300));
    return p;
}

TEST(VoiceModeStress, AutomationStormWhileRenderingThenEveryModePlaysAsChosen) {
    AEffect* effect = newInstance();
    ASSERT_NE(effect, nullptr) << "cannot load " << veldane_dll::path();
    std::vector<float> defaults(kParameters);
    for (int i = 0; i < kParameters; ++i) defaults[i] = effect->getParameter(effect, i);

    std::atomic<bool> stop{false};
    std::atomic<long> parameterCalls{0};
    std::thread automation([&] {
        std::mt19937 rng(kParameterSeed);
        std::uniform_int_distribution<int> index(0, kParameters - 1);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        const float hostile[] = {std::numeric_limits<float>::quiet_NaN(), -1.0f, 2.0f, 1e30f, -1e30f,
                                 std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max()};
        const VstInt32 badIndices[] = {-1, kParameters, 1000};
        long n = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            VstInt32 i = index(rng);
            float v = value(rng);
            if (n % 5 == 0) i = kVoiceModeIndex; // mode switches as often as anything
            if (n % 13 == 0) v = hostile[(n / 13) % std::size(hostile)];
            if (n % 101 == 0) i = badIndices[(n / 101) % std::size(badIndices)];
            effect->setParameter(effect, i, v);
            if (n % 7 == 0) (void)effect->getParameter(effect, i);
            ++n;
        }
        parameterCalls.store(n);
    });

    std::mt19937 rng(kNoteSeed);
    std::vector<float> single(kBlock);
    std::vector<double> wide(kBlock);
    std::vector<int> held;
    long blocks = 0;
    long soundingBlocks = 0;
    long badSamples = 0;
    const auto end = std::chrono::steady_clock::now() + kStormTime;
    while (std::chrono::steady_clock::now() < end) {
        if (blocks % 3 == 0) {
            MidiBlock events;
            const int count = 1 + static_cast<int>(rng() % 4);
            for (int k = 0; k < count; ++k) {
                const int offset = static_cast<int>(rng() % kBlock);
                const unsigned choice = rng() % 10;
                if (choice < 5 || held.empty()) {
                    const int note = 36 + static_cast<int>(rng() % 48);
                    events.add(offset, 0x90, note, 1 + static_cast<int>(rng() % 127));
                    held.push_back(note);
                } else if (choice < 9) {
                    const std::size_t k2 = rng() % held.size();
                    events.add(offset, 0x80, held[k2], 0);
                    held.erase(held.begin() + static_cast<long>(k2));
                } else {
                    events.add(offset, 0xB0, 64, (rng() % 2) ? 127 : 0);
                }
            }
            effect->dispatcher(effect, effProcessEvents, 0, 0, events.events(), 0.0f);
        }
        bool sounding = false;
        if (blocks % 2 == 0) {
            float* outs[1] = {single.data()};
            effect->processReplacing(effect, nullptr, outs, kBlock);
            for (float y : single) {
                badSamples += std::isfinite(y) ? 0 : 1;
                sounding = sounding || y != 0.0f;
            }
        } else {
            double* outs[1] = {wide.data()};
            effect->processDoubleReplacing(effect, nullptr, outs, kBlock);
            for (double y : wide) {
                badSamples += std::isfinite(y) ? 0 : 1;
                sounding = sounding || y != 0.0;
            }
        }
        soundingBlocks += sounding ? 1 : 0;
        ++blocks;
    }
    stop.store(true);
    automation.join();

    EXPECT_EQ(badSamples, 0);
    EXPECT_GT(blocks, 100);
    EXPECT_GT(parameterCalls.load(), 1000);
    EXPECT_GT(soundingBlocks, blocks / 10); // the storm was played, not silent

    // The storm has settled: the mode chosen last is the one that plays, as
    // it plays in an instance that never saw the storm.
    AEffect* fresh = newInstance();
    ASSERT_NE(fresh, nullptr);
    for (int m = 0; m < 3; ++m) {
        const Playing stressed = probe(effect, defaults, kModeValues[m]);
        const Playing reference = probe(fresh, defaults, kModeValues[m]);
        ASSERT_GT(reference.alone, 0.01) << kModeNames[m];
        EXPECT_EQ(reference.polyphonic(), m == 2) << kModeNames[m];
        EXPECT_EQ(reference.restartsEnvelopes(), m != 1) << kModeNames[m];
        EXPECT_EQ(stressed.polyphonic(), reference.polyphonic()) << kModeNames[m];
        EXPECT_EQ(stressed.restartsEnvelopes(), reference.restartsEnvelopes()) << kModeNames[m];
        EXPECT_NEAR(stressed.alone, reference.alone, 0.15 * reference.alone) << kModeNames[m];
        EXPECT_NEAR(stressed.together, reference.together, 0.15 * reference.together) << kModeNames[m];
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    fresh->dispatcher(fresh, effClose, 0, 0, nullptr, 0.0f);
}

} // namespace
