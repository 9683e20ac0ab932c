#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "synth/decimator.h"
#include "synth/engine.h"
#include "synth/pow2.h"
#include "synth/random.h"
#include "tests/measure.h"
#ifdef VELDANE_COUNT_ALLOCATIONS
#include "tests/alloc_counter.h"
#endif

using Veldane::Engine;
using Veldane::Envelope;

namespace {

constexpr double kRate = 44100.0;
constexpr double kNoteZeroHz = 8.1757989156;
constexpr double kPi = 3.141592653589793;

// A patch with every part of the voice in use: both oscillators, a resonant
// filter, envelopes with real times, an LFO on the pitch and a bend.
void setUpPatch(Engine& e)
{
    e.setSampleRate(kRate);
    e.osc1Waveform = 0;
    e.osc1ShapeAmount = 0.3;
    e.osc2Waveform = 2;
    e.setOsc1Gain(0.5);
    e.setOsc2Gain(0.4);
    e.setFilterType(0);
    e.setFilterQ(0.4);
    e.cutoffOctaves = std::log2(2.0 * 3000.0 / kNoteZeroHz);
    e.filterModAmount = 2.0;
    e.lfo.waveform = 0;
    e.lfo.setFrequency(6.0, kRate);
    e.lfo.setDelay(0.0, kRate);
    e.pitchModSource = 1;
    e.setPitchModDepth(0.2);
    e.pitchModOsc1 = true;
    e.bendTarget = 0.1;
    e.outputGain = 0.5;
    for (Veldane::Voice& v : e.voices) {
        v.amp.attackCoef = Envelope::attackCoefficient(200);
        v.amp.decayCoef = Envelope::decayCoefficient(2000);
        v.amp.sustain = 0.6;
        v.amp.releaseCoef = Envelope::decayCoefficient(500);
        v.mod = v.amp;
    }
}

void startNote(Engine& e, int voice, int note)
{
    e.restartLfoDelay();
    e.voices[voice].setNote(note, false);
    e.voices[voice].trigger();
}

// Renders until every voice is idle; returns the number of samples rendered.
int renderUntilSilent(Engine& e)
{
    std::vector<double> block(64);
    int total = 0;
    while (e.anyVoiceActive() && total < 1000000) {
        e.render(64, block.data());
        total += 64;
    }
    return total;
}

} // namespace

// ---- 2^x -----------------------------------------------------------------

TEST(Pow2, MatchesExp2AcrossTheEngineRangeAndIsExactAtIntegers)
{
    std::mt19937 gen(12345);
    std::uniform_real_distribution<double> dist(-30.0, 30.0);
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double x = dist(gen);
        const double expected = std::exp2(x);
        worst = std::max(worst, std::fabs(Veldane::pow2(x) - expected) / expected);
    }
    EXPECT_LT(worst, 1e-15);
    for (int n = -40; n <= 40; ++n) EXPECT_EQ(Veldane::pow2(n), std::ldexp(1.0, n)) << n;
    // Half-way points round either way; both sides must agree with exp2.
    for (double x : {0.5, -0.5, 2.5, -2.5, 1e-17, -1e-17}) {
        EXPECT_NEAR(Veldane::pow2(x) / std::exp2(x), 1.0, 1e-15) << x;
    }
}

TEST(Pow2, StaysFiniteAndPositiveForAnyInput)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (double x : {std::nan(""), inf, -inf, 1e300, -1e300, 5000.0, -5000.0}) {
        const double y = Veldane::pow2(x);
        EXPECT_TRUE(std::isfinite(y)) << x;
        EXPECT_GT(y, 0.0) << x;
    }
}

// ---- Random sequence ------------------------------------------------------

TEST(EngineRandom, FirstDrawFromSeedOne)
{
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    EXPECT_NEAR(Veldane::randomValue(), -0.99599289894104, 1e-14);
    EXPECT_EQ(Veldane::randomSeed(), 16807u);
    // Every value lies in [-1, 1) on the 2^-22 grid.
    for (int i = 0; i < 10000; ++i) {
        const double r = Veldane::randomValue();
        ASSERT_GE(r, -1.0);
        ASSERT_LT(r, 1.0);
        const double steps = r * 4194304.0;
        ASSERT_EQ(steps, std::floor(steps));
    }
}

TEST(EngineRandom, DrawOrderAndOneSequenceSharedByAllEngines)
{
    Engine a;
    Engine b;
    setUpPatch(a);
    setUpPatch(b);
    startNote(a, 0, 60);
    startNote(b, 0, 60);

    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    std::vector<double> draws(200);
    for (double& d : draws) d = Veldane::randomValue();

    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    double out;
    a.render(1, &out);
    // First sample: jitter, drift, then white noise.
    EXPECT_EQ(a.jitterStage1, draws[0] * a.jitterCoef);
    EXPECT_EQ(a.driftStage1, draws[1] * a.driftCoef);
    EXPECT_EQ(a.whiteNoise, draws[2]);

    // The other engine continues the same sequence.
    b.render(1, &out);
    EXPECT_EQ(b.jitterStage1, draws[3] * b.jitterCoef);
    EXPECT_EQ(b.driftStage1, draws[4] * b.driftCoef);
    EXPECT_EQ(b.whiteNoise, draws[5]);

    // Samples 2..64 draw the noise only; sample 65 draws all three again.
    std::vector<double> block(63);
    a.render(63, block.data());
    EXPECT_EQ(a.whiteNoise, draws[6 + 62]);
    const double jitter1 = a.jitterStage1;
    a.render(1, &out);
    EXPECT_EQ(a.jitterStage1, jitter1 + (draws[69] - jitter1) * a.jitterCoef);
    EXPECT_EQ(a.whiteNoise, draws[71]);
}

// ---- Silence ----------------------------------------------------------------

TEST(EngineSilence, IdleEngineWritesExactZerosAndMovesNothing)
{
    Engine e;
    setUpPatch(e);
    std::vector<float> out(300, 123.0f);
    e.render(0, out.data());
    EXPECT_EQ(out[0], 123.0f);  // count 0 writes nothing
    const std::uint32_t seed = Veldane::randomSeed();
    e.render(300, out.data());
    for (float s : out) ASSERT_EQ(s, 0.0f);
    EXPECT_EQ(Veldane::randomSeed(), seed);
    EXPECT_EQ(e.bendSmoothed, 0.0);
    EXPECT_EQ(e.jitterCounter, 0);
    EXPECT_EQ(e.osc1FreePhase, 0.0);
    EXPECT_EQ(e.lfo.value, 0.0);
}

TEST(EngineSilence, ANoteAfterSilenceContinuesExactlyWhereTheEngineStopped)
{
    // Two identical runs from the same seed; one sits through a long silence
    // between its notes. If anything moved while silent, the second notes differ.
    auto run = [](int silentSamples, std::vector<double>& second) {
        Engine e;
        setUpPatch(e);
        Veldane::setRandomSeed(777);
        startNote(e, 0, 57);
        measure::rendered(e, 3000);
        e.voices[0].release();
        renderUntilSilent(e);
        std::vector<double> silence = measure::rendered(e, silentSamples);
        for (double s : silence) EXPECT_EQ(s, 0.0);
        startNote(e, 0, 64);
        second = measure::rendered(e, 2000);
    };
    std::vector<double> withGap;
    std::vector<double> withoutGap;
    run(5000, withGap);
    run(0, withoutGap);
    ASSERT_GT(measure::rms(withGap), 1e-3);
    EXPECT_EQ(withGap, withoutGap);
}

TEST(EngineSilence, WhereTheHostCutsItsBlocksChangesNothing)
{
    // A note released and run out, then the next one. The engine falls
    // silent inside some block; however the blocks are cut, the samples are
    // the same (hosts such as Ardour start an export's blocks at different
    // offsets from run to run).
    auto run = [](int block) {
        Engine e;
        setUpPatch(e);
        Veldane::setRandomSeed(31);
        std::vector<double> out(30000);
        auto renderTo = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; i += block) e.render(static_cast<int>(std::min<std::size_t>(block, to - i)), out.data() + i);
        };
        startNote(e, 0, 57);
        renderTo(0, 3000);
        e.voices[0].release();
        renderTo(3000, 20000);
        EXPECT_FALSE(e.anyVoiceActive()) << "the release should have ended by then";
        startNote(e, 0, 64);
        renderTo(20000, out.size());
        return out;
    };
    const std::vector<double> whole = run(512);
    ASSERT_GT(measure::rms(whole), 1e-3);
    for (int block : {1, 37, 496, 4096}) EXPECT_EQ(run(block), whole) << "blocks of " << block;
}

// ---- Output ----------------------------------------------------------------

TEST(EngineRender, FloatAndDoubleRenderAreOneComputation)
{
    Engine a;
    Engine b;
    setUpPatch(a);
    setUpPatch(b);
    Veldane::setRandomSeed(4242);
    for (int v = 0; v < 3; ++v) startNote(a, v, 48 + 7 * v);
    std::vector<float> f(4000);
    a.render(1000, f.data());
    a.render(3000, f.data() + 1000);

    Veldane::setRandomSeed(4242);
    for (int v = 0; v < 3; ++v) startNote(b, v, 48 + 7 * v);
    std::vector<double> d = measure::rendered(b, 4000);
    ASSERT_GT(measure::rms(d), 1e-3);
    for (std::size_t i = 0; i < f.size(); ++i) ASSERT_EQ(f[i], static_cast<float>(d[i])) << i;
}

// Held notes at a standing pitch settle (envelopes sustaining): the engine
// then repeats a sample's per-voice values instead of working them out
// again, within a block. One sample per block works out every one afresh.
TEST(EngineRender, OneSampleBlocksRenderTheSameBits)
{
    auto run = [](int block, int voices) {
        Engine e;
        setUpPatch(e);
        e.setPitchModDepth(0.0);
        e.bendTarget = 0.0;
        for (Veldane::Voice& v : e.voices) {
            v.amp.decayCoef = Envelope::decayCoefficient(200);
            v.mod = v.amp;
        }
        Veldane::setRandomSeed(99);
        for (int v = 0; v < voices; ++v) startNote(e, v, 48 + 5 * v);
        std::vector<double> out(6000);
        for (std::size_t i = 0; i < out.size(); i += block) e.render(block, out.data() + i);
        return out;
    };
    for (int voices : {1, 3}) {
        const std::vector<double> whole = run(500, voices);
        ASSERT_GT(measure::rms(whole), 1e-3);
        EXPECT_EQ(run(1, voices), whole) << voices << " voices";
    }
}

TEST(EngineRender, BothGainsZeroStillPassesTheNoiseFloor)
{
    Engine e;
    setUpPatch(e);
    e.setOsc1Gain(0.0);
    e.setOsc2Gain(0.0);
    e.cutoffOctaves = std::log2(2.0 * 15000.0 / kNoteZeroHz);
    startNote(e, 0, 60);
    const std::vector<double> out = measure::rendered(e, 4000);
    const double level = measure::rms(out, 1000);
    EXPECT_GT(level, 1e-5);
    EXPECT_LT(level, 1e-3);
}

TEST(EngineRender, ActivityFlagsFollowGainsSyncAndRingModulation)
{
    struct Case {
        double gain1, gain2;
        bool sync, ring;
        bool osc1, osc2;
    };
    const Case cases[] = {
        {0.0, 0.0, false, false, false, false}, {1.0, 0.0, false, false, true, false},
        {0.0, 1.0, false, false, false, true},  {0.0, 1.0, false, true, true, true},
        {0.0, 1.0, true, false, true, true},    {0.0, 0.0, true, true, false, false},
        {0.5, 0.5, true, true, true, true},
    };
    for (const Case& c : cases) {
        Engine e;
        // Apply in an order where the last setter alone decides nothing.
        e.setOsc2Sync(c.sync);
        e.setOsc2RingMod(c.ring);
        e.setOsc1Gain(c.gain1);
        e.setOsc2Gain(c.gain2);
        for (const Veldane::Voice& v : e.voices) {
            EXPECT_EQ(v.osc1Active, c.osc1) << c.gain1 << " " << c.gain2 << " " << c.sync << c.ring;
            EXPECT_EQ(v.osc2Active, c.osc2) << c.gain1 << " " << c.gain2 << " " << c.sync << c.ring;
        }
    }
}

TEST(EngineRender, NeverAllocates)
{
#ifdef VELDANE_COUNT_ALLOCATIONS
    Engine e;
    setUpPatch(e);
    std::vector<float> f(512);
    std::vector<double> d(512);
    for (int v = 0; v < 8; ++v) startNote(e, v, 40 + 5 * v);
    const std::size_t before = test::allocationCount();
    for (int i = 0; i < 20; ++i) {
        e.render(512, f.data());
        e.render(512, d.data());
    }
    for (Veldane::Voice& v : e.voices) v.release();
    for (int i = 0; i < 100 && e.anyVoiceActive(); ++i) e.render(512, f.data());
    EXPECT_FALSE(e.anyVoiceActive());
    e.render(512, f.data());
    EXPECT_EQ(test::allocationCount(), before);
#else
    GTEST_SKIP() << "allocation counting is built into the native tests only";
#endif
}

TEST(EngineRender, HostileSettingsNeverReachTheOutputAsNaN)
{
    Engine e;
    setUpPatch(e);
    e.setSampleRate(0.0);
    e.setSampleRate(std::nan(""));
    e.setSampleRate(-1.0);
    EXPECT_NEAR(e.pitchBase, std::log2(kNoteZeroHz / 2.0 / kRate), 1e-12);
    startNote(e, 0, 127);
    e.masterTune = 3.0;
    e.osc1Octaves = 3.0;
    e.osc2Octaves = 3.0;
    e.setPitchModDepth(1.0);
    std::vector<double> out = measure::rendered(e, 2000);
    for (double s : out) ASSERT_TRUE(std::isfinite(s));
    e.outputGain = std::nan("");
    out = measure::rendered(e, 10);
    for (double s : out) ASSERT_EQ(s, 0.0);
}

// ---- Voices ----------------------------------------------------------------

TEST(EngineVoice, TriggerSeedsOnlyASilentVoiceAndReleaseLetsItFallIdle)
{
    Engine e;
    setUpPatch(e);
    Veldane::Voice& v = e.voices[0];
    v.setNote(60, false);
    v.trigger();
    EXPECT_TRUE(v.restartPending);
    EXPECT_TRUE(v.gate);
    v.trigger();  // a second note-on at the same offset finds it started
    EXPECT_FALSE(v.restartPending);
    v.restartPending = true;
    measure::rendered(e, 100);
    EXPECT_FALSE(v.restartPending);
    v.release();
    EXPECT_FALSE(v.gate);
    v.trigger();  // retrigger during release: not silent, no re-seed
    EXPECT_FALSE(v.restartPending);
    v.release();
    EXPECT_GT(renderUntilSilent(e), 0);
    EXPECT_FALSE(v.isSounding());
    v.trigger();
    EXPECT_TRUE(v.restartPending);
}

// Whatever puts NaN or infinity into a voice's recursions, it lasts no longer
// than the segment it happened in: the voice falls silent (and with it the
// decimator's memory is cleared), and the next note plays as the first did.
TEST(EngineVoice, NonFiniteStateIsSilencedAndTheNextNotePlays)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    using Poison = void (*)(Engine&, double);
    const Poison poisons[] = {
        [](Engine& e, double x) { e.voices[0].filter.s3 = x; },
        [](Engine& e, double x) { e.voices[0].filter.lp2S1 = x; },
        [](Engine& e, double x) { e.voices[0].dc2 = x; },
        [](Engine& e, double x) { e.voices[0].amp.level = x; },
        [](Engine& e, double x) { e.voices[0].osc2.saw.phase = x; },
        [](Engine& e, double x) { e.decimator.b2.yPrev = x; },
    };
    for (const Poison poison : poisons) {
        for (const double bad : {nan, inf}) {
            Engine e;
            setUpPatch(e);
            e.lfo.waveform = -1; // held still: both notes meet the same modulation
            startNote(e, 0, 60);
            const double first = measure::rms(measure::rendered(e, 4410));
            poison(e, bad);
            for (double s : measure::rendered(e, 64)) ASSERT_TRUE(std::isfinite(s));
            EXPECT_FALSE(e.voices[0].isActive() && !e.voices[0].stateIsFinite());
            EXPECT_TRUE(e.decimator.stateIsFinite());
            startNote(e, 0, 60);
            EXPECT_NEAR(measure::rms(measure::rendered(e, 4410)), first, 0.1 * first);
        }
    }
}

TEST(EngineVoice, GlideReachesItsTargetAndSnaps)
{
    Engine e;
    setUpPatch(e);
    Veldane::Voice& v = e.voices[0];
    for (Veldane::Voice& w : e.voices) w.glideCoef = 1.0 / (0.05 * kRate + 1.0);
    v.setNote(48, false);
    v.trigger();
    v.setNote(60, true);
    EXPECT_EQ(v.glidePitch, 48 * (1.0 / 12.0));  // glide starts from the previous pitch
    int samples = 0;
    double previous = v.glidePitch;
    while (v.glideActive && samples < 100000) {
        measure::rendered(e, 1);
        ASSERT_GE(v.glidePitch, previous);
        previous = v.glidePitch;
        ++samples;
    }
    EXPECT_FALSE(v.glideActive);
    EXPECT_EQ(v.glidePitch, v.notePitch);
    EXPECT_NEAR(v.glidePitch, 5.0, 1e-15);
    EXPECT_GT(samples, 100);  // it took a real glide, well under a second
    EXPECT_LT(samples, 20000);

    v.setNote(60, true);  // to the same pitch: done in the first step
    measure::rendered(e, 1);
    EXPECT_FALSE(v.glideActive);
    v.setNote(36, false);  // no glide: jumps
    EXPECT_NEAR(v.glidePitch, 3.0, 1e-15);
}

TEST(EngineVoice, VoiceModeChangeReleasesEveryVoiceAndIgnoresUnknownCodes)
{
    Engine e;
    setUpPatch(e);
    e.setVoiceMode(Engine::kModePoly);
    zem::IVoiceManager* poly = e.voiceManager;
    for (int v = 0; v < 3; ++v) startNote(e, v, 60 + v);
    measure::rendered(e, 10);
    e.setVoiceMode(7);  // unknown: nothing changes
    EXPECT_TRUE(e.voices[0].gate);
    EXPECT_EQ(e.voiceMode, Engine::kModePoly);
    EXPECT_EQ(e.voiceManager, poly);

    e.setVoiceMode(Engine::kModeMonoLegato);
    EXPECT_EQ(e.voiceMode, Engine::kModeMonoLegato);
    EXPECT_FALSE(e.voices[0].gate);
    ASSERT_NE(e.voiceManager, nullptr);
    EXPECT_NE(e.voiceManager, poly);
    e.setVoiceMode(Engine::kModePoly);
    ASSERT_EQ(e.voiceManager, poly);
    // A fresh poly manager after the change: notes land on voices in array order.
    renderUntilSilent(e);
    e.voiceManager->noteOn(70, 100.0);
    e.voiceManager->noteOn(71, 100.0);
    EXPECT_EQ(e.voices[0].note, 70);
    EXPECT_EQ(e.voices[1].note, 71);
}

// ---- Decimator ----------------------------------------------------------------

namespace {

// RMS gain (0.5 x the branch sum, as the engine scales it) for a sine at
// `hz` sampled at twice the host rate.
double decimatorGain(double hz)
{
    Veldane::HalfBandDecimator d;
    const double w = 2.0 * kPi * hz / (2.0 * kRate);
    const int n = 20000;
    const int settle = 2000;
    double in2 = 0.0;
    double out2 = 0.0;
    for (int i = 0; i < n; ++i) {
        const double x1 = std::sin(w * (2 * i));
        const double x2 = std::sin(w * (2 * i + 1));
        const double y = 0.5 * d.process(x1, x2);
        if (i >= settle) {
            out2 += y * y;
            in2 += 0.5 * (x1 * x1 + x2 * x2);
        }
    }
    return std::sqrt(out2 / in2);
}

} // namespace

TEST(Decimator, PassesTheAudioBandAndRejectsWhatWouldFoldBack)
{
    for (double hz : {100.0, 1000.0, 5000.0, 10000.0}) {
        EXPECT_NEAR(decimatorGain(hz), 1.0, 0.01) << hz;
    }
    // Above the host Nyquist frequency (22.05 kHz) everything would alias.
    for (double hz : {26000.0, 30000.0, 40000.0, 43000.0}) {
        EXPECT_LT(decimatorGain(hz), 0.01) << hz;  // below -40 dB
    }
}

TEST(Decimator, SettlesToExactlyTwiceAConstantInput)
{
    Veldane::HalfBandDecimator d;
    double y = 0.0;
    for (int i = 0; i < 1000; ++i) y = d.process(0.25, 0.25);
    EXPECT_NEAR(y, 0.5, 1e-12);
}
