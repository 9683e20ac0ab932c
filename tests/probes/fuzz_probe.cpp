// The built Veldane.dll under a host that sends anything: random VstEvents
// (up to 10 000 in a call, null entries, foreign event types, every status
// byte on every channel, offsets negative, inside the block, at and far past
// its end), processing calls of 0 to 4096 frames through all three audio
// callbacks, parameter values finite and not, and rate and block-size changes
// with processing switched off and on around them as hosts do. Run once for
// the suite; its tests judge the samples, the memory the run kept, and how
// the instance plays afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "tests/host_side.h"
#include "tests/midi_block.h"
#include "tests/probes/probe_host.h"
#include "tests/win_process.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr std::uint32_t kSeed = 20240917;
// Calls of the short run; scripts/probes.sh multiplies them.
constexpr int kShortRunCalls = 1500;
constexpr int kLongestBlock = 4096;
constexpr int kMostEvents = 10000;
// Samples past the block that must stay as the host left them.
constexpr int kGuard = 16;
constexpr float kUntouched = 12345.0f;
// By a quarter of the run the queue has met bursts of 10 000 events: a
// bounded queue keeps its storage from there on, while one that keeps the
// late events of every call grows by megabytes over the rest of the run.
constexpr std::size_t kMostGrowth = 1u << 20;

// What the run saw.
struct Outcome {
    long calls = 0;
    long samples = 0;
    long nonFinite = 0;
    long writtenPastTheBlock = 0;
    long eventsSent = 0;
    std::size_t heapAtQuarter = 0; // heap bytes after a quarter of the run
    std::size_t heapPeak = 0;      // the most after any processing call from then on
};

class FuzzProbe : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    static std::unique_ptr<probe::LoadedDll> dll;
    static AEffect* fuzzed;
    static Outcome outcome;
};

std::unique_ptr<probe::LoadedDll> FuzzProbe::dll;
AEffect* FuzzProbe::fuzzed = nullptr;
Outcome FuzzProbe::outcome;

VstIntPtr ZEM_VSTCALL quietHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

// Draws everything a hostile host sends.
class HostileHost {
public:
    explicit HostileHost(AEffect* effect) : effect_(effect), rng_(kSeed) {}

    int below(int n) { return static_cast<int>(rng_() % static_cast<std::uint32_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }

    // Processing off, a new rate and block size (some refused), processing on.
    void changeRateAndBlockSize() {
        static const float rates[] = {0.0f, -44100.0f, kNaN, kInf, 1e-3f, 10.0f, 8000.0f, 22050.0f,
                                      44100.0f, 48000.0f, 96000.0f, 192000.0f, 1e6f};
        const bool mains = chance(80);
        if (mains) dispatch(effMainsChanged, 0, 0);
        if (chance(80)) {
            const float rate = chance(50) ? rates[below(std::size(rates))] : 1.0f + static_cast<float>(below(400000));
            dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        }
        if (chance(80)) dispatch(effSetBlockSize, 0, chance(95) ? below(kLongestBlock + 1) : -1);
        if (mains) dispatch(effMainsChanged, 0, 1);
    }

    void automate() {
        static const float hostile[] = {kNaN, kInf, -kInf, -1.0f, 2.0f, 1e30f, -1e30f,
                                        std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::max()};
        for (int n = below(9); n > 0; --n) {
            VstInt32 index = below(host::kParameters);
            if (chance(3)) index = chance(50) ? -1 - below(1000) : host::kParameters + below(1000000);
            float value = std::uniform_real_distribution<float>(0.0f, 1.0f)(rng_);
            if (chance(10)) value = static_cast<float>(below(2));
            if (chance(20)) value = hostile[below(std::size(hostile))];
            effect_->setParameter(effect_, index, value);
        }
    }

    // Events for a block of `frames`; answers how many were sent.
    int sendEvents(int frames) {
        const int kind = below(10);
        const int count = kind < 6 ? below(17) : kind < 9 ? below(500) : below(kMostEvents + 1);
        MidiBlock block;
        for (int i = 0; i < count; ++i) {
            if (chance(3)) {
                block.addRaw(nullptr);
                continue;
            }
            // Half of the statuses are drawn from all 256, half from the
            // messages the instance acts on (so they reach its queue).
            int status = below(256);
            int data1 = below(256);
            if (chance(50)) {
                static const int acted[] = {0x80, 0x90, 0xB0, 0xE0};
                status = acted[below(4)] | below(16);
                if ((status & 0xF0) == 0xB0) data1 = 64; // the pedal
            }
            VstMidiEvent& e = block.add(offset(frames), status, data1, below(256));
            if (chance(3)) e.type = kVstSysExType; // not MIDI: to be skipped
        }
        dispatch(effProcessEvents, 0, 0, block.events());
        return count;
    }

    // Mostly 0..4096 frames, a few negative ones.
    int blockSize() {
        const int frames = chance(10) ? below(8) : below(kLongestBlock + 1);
        return chance(1) ? -frames : frames;
    }
    int audioCallback() { return below(3); }

private:
    VstInt32 offset(int frames) {
        switch (below(6)) {
        case 0: return chance(10) ? INT_MIN : -1 - below(100000);
        case 1: return frames;
        case 2: return frames + 1 + below(1000);
        case 3: return chance(10) ? INT_MAX : frames + below(1000000);
        default: return frames > 0 ? below(frames) : 0;
        }
    }

    void dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr = nullptr, float opt = 0.0f) {
        effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }

    AEffect* effect_;
    std::mt19937 rng_;
};

void FuzzProbe::SetUpTestSuite() {
    dll = std::make_unique<probe::LoadedDll>();
    veldane_dll::PluginMain entry = dll->entry();
    if (!entry) return;
    fuzzed = entry(&quietHost);
    if (!fuzzed) return;
    host::dispatch(fuzzed, effOpen);
    host::dispatch(fuzzed, effSetSampleRate, 0, nullptr, 44100.0f);
    fuzzed->dispatcher(fuzzed, effMainsChanged, 0, 1, nullptr, 0.0f);

    HostileHost h(fuzzed);
    std::vector<float> single(kLongestBlock + kGuard);
    std::vector<double> wide(kLongestBlock + kGuard);
    // A run of so many calls, or of so many seconds: then the quarter is a
    // quarter of the time.
    const long calls = static_cast<long>(kShortRunCalls) * probe::scale();
    const double seconds = probe::seconds();
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    bool pastQuarter = false;
    for (long call = 0; seconds > 0 ? elapsed() < seconds : call < calls; ++call) {
        if (h.chance(3)) h.changeRateAndBlockSize();
        h.automate();
        const int frames = h.blockSize();
        if (h.chance(70)) outcome.eventsSent += h.sendEvents(frames);
        std::fill(single.begin(), single.end(), kUntouched);
        std::fill(wide.begin(), wide.end(), kUntouched);
        // Now and then no buffer at all.
        float* singleOut[1] = {h.chance(1) ? nullptr : single.data()};
        double* wideOut[1] = {h.chance(1) ? nullptr : wide.data()};
        switch (h.audioCallback()) {
        case 0: fuzzed->processReplacing(fuzzed, nullptr, singleOut, frames); break;
        case 1: fuzzed->process(fuzzed, nullptr, singleOut, frames); break;
        default: fuzzed->processDoubleReplacing(fuzzed, nullptr, wideOut, frames); break;
        }
        const int written = std::max(frames, 0);
        for (int i = 0; i < written; ++i) {
            outcome.nonFinite += std::isfinite(single[i]) && std::isfinite(wide[i]) ? 0 : 1;
        }
        for (int i = written; i < written + kGuard; ++i) {
            outcome.writtenPastTheBlock += single[i] == kUntouched && wide[i] == kUntouched ? 0 : 1;
        }
        outcome.samples += written;
        ++outcome.calls;
        if (pastQuarter) outcome.heapPeak = std::max(outcome.heapPeak, win_process::heapBytes());
        if (!pastQuarter && (seconds > 0 ? elapsed() >= seconds / 4 : call == calls / 4)) {
            outcome.heapAtQuarter = win_process::heapBytes();
            pastQuarter = true;
        }
    }
}

void FuzzProbe::TearDownTestSuite() {
    if (fuzzed) host::dispatch(fuzzed, effClose);
    fuzzed = nullptr;
    dll.reset();
}

TEST_F(FuzzProbe, EverySampleIsFiniteAndInsideItsBlock) {
    ASSERT_NE(fuzzed, nullptr) << "cannot load " << veldane_dll::path();
    if (probe::seconds() == 0) {
        EXPECT_EQ(outcome.calls, static_cast<long>(kShortRunCalls) * probe::scale());
    }
    EXPECT_GT(outcome.eventsSent, outcome.calls);
    EXPECT_GT(outcome.samples, outcome.calls * 1000);
    EXPECT_EQ(outcome.nonFinite, 0);
    EXPECT_EQ(outcome.writtenPastTheBlock, 0);
}

// Late events pile up unless each processing call applies what is left of
// them at its end; after every call the queue holds no more than a bounded
// store.
TEST_F(FuzzProbe, TheEventQueueStaysBounded) {
    ASSERT_NE(fuzzed, nullptr) << "cannot load " << veldane_dll::path();
    EXPECT_LE(outcome.heapPeak, outcome.heapAtQuarter + kMostGrowth)
        << "grew by " << (outcome.heapPeak - outcome.heapAtQuarter) << " bytes";
}

// Back at ordinary settings, one call's worth of late events (every note
// off, pedal up, bend centred, all past the end of the block) silences the
// instance within the release time, and a note then plays as in a fresh
// instance.
TEST_F(FuzzProbe, AfterwardsLateNoteOffsApplyInTheirCallAndANotePlaysAsInAFreshInstance) {
    ASSERT_NE(fuzzed, nullptr) << "cannot load " << veldane_dll::path();
    AEffect* fresh = dll->entry()(&quietHost);
    ASSERT_NE(fresh, nullptr);
    constexpr int kBlock = 512;
    constexpr float kRate = 44100.0f;
    for (AEffect* e : {fuzzed, fresh}) {
        e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
        host::dispatch(e, effSetSampleRate, 0, nullptr, kRate);
        e->dispatcher(e, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    for (int i = 0; i < host::kParameters; ++i) fuzzed->setParameter(fuzzed, i, fresh->getParameter(fresh, i));

    MidiBlock allOff;
    for (int note = 0; note < 128; ++note) allOff.add(kBlock + 100, 0x80, note, 0);
    allOff.add(kBlock + 100, 0xB0, 64, 0);
    allOff.add(INT_MAX, 0xE0, 0, 64);
    host::dispatch(fuzzed, effProcessEvents, 0, allOff.events());
    std::vector<float> block(kBlock);
    float* outs[1] = {block.data()};
    fuzzed->processReplacing(fuzzed, nullptr, outs, kBlock);
    // Releases take 10 ms at the defaults; 100 ms later the instance is idle.
    host::Driver d(fuzzed);
    d.advance(static_cast<int>(0.1f * kRate));
    const std::vector<float> silence = d.render(kBlock);
    EXPECT_EQ(measure::rms(silence), 0.0);

    // At very low rates the slow random pitch drift runs free; at 44.1 kHz
    // it takes a few seconds of playing to wander back near the centre.
    d.noteOn(60);
    d.advance(static_cast<int>(4.0f * kRate));
    d.noteOff(60);
    d.advance(static_cast<int>(0.1f * kRate));
    auto playA = [&](AEffect* e) {
        host::Driver player(e);
        player.noteOn(69);
        return player.render(static_cast<int>(0.3f * kRate));
    };
    const std::vector<float> heard = playA(fuzzed);
    const std::vector<float> expected = playA(fresh);
    const std::size_t from = static_cast<std::size_t>(0.1f * kRate);
    EXPECT_NEAR(measure::rms(heard, from), measure::rms(expected, from), 0.05 * measure::rms(expected, from));
    EXPECT_NEAR(measure::frequency(heard, kRate, from), measure::frequency(expected, kRate, from), 0.02 * 440.0);
    host::dispatch(fresh, effClose);
}

} // namespace
