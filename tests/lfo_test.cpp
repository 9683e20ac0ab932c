#include "synth/lfo.h"
#include "synth/modulation.h"
#include "tests/measure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

using Veldane::Lfo;

Lfo makeLfo(int waveform, double hz, double sampleRate)
{
    Lfo lfo;
    lfo.waveform = waveform;
    lfo.setSampleRate(sampleRate);
    lfo.setFrequency(hz, sampleRate);
    lfo.setDelay(0.0, sampleRate);
    return lfo;
}

std::vector<double> values(Lfo& lfo, int samples)
{
    std::vector<double> v(samples);
    for (double& x : v) {
        lfo.step();
        x = lfo.value;
    }
    return v;
}

// --- Waveforms ----------------------------------------------------------------

TEST(LfoWaveform, CycleLengthFollowsFrequencyAtAnySampleRate)
{
    for (int waveform : {Lfo::kTri, Lfo::kRect}) {
        for (double rate : {44100.0, 96000.0}) {
            for (double hz : {0.2, 2.0, 20.0}) {
                SCOPED_TRACE(testing::Message() << "waveform " << waveform << ", " << rate << " Hz rate, " << hz << " Hz");
                Lfo lfo = makeLfo(waveform, hz, rate);
                const double seconds = 5.0 / hz;
                // Cycles counted where the wave passes its middle level.
                const double cycles = measure::cyclesPerSample(values(lfo, static_cast<int>(seconds * rate)), 0,
                                                               measure::kEnd, 0.5);
                EXPECT_NEAR(1.0 / cycles, rate / hz, rate / hz * 1e-3);
            }
        }
    }
}

TEST(LfoWaveform, SquareEdgesTake4MsAndHaveNoCorners)
{
    for (double rate : {44100.0, 192000.0}) {
        SCOPED_TRACE(rate);
        Lfo lfo = makeLfo(Lfo::kRect, 1.0, rate);
        const auto v = values(lfo, static_cast<int>(rate));
        // Starting from the upper level, the square first falls to 0.
        const auto firstZero = std::find(v.begin(), v.end(), 0.0) - v.begin();
        EXPECT_NEAR(firstZero / rate, 0.004, 2.0 / rate);
        // The rising edge half a cycle later spans 4 ms from 0 to 1.
        const auto riseStart = std::find_if(v.begin() + firstZero, v.end(), [](double x) { return x > 0.0; }) - v.begin();
        const auto riseEnd = std::find(v.begin() + riseStart, v.end(), 1.0) - v.begin();
        EXPECT_NEAR((riseEnd - riseStart) / rate, 0.004, 2.0 / rate);
        // Half-sine edges: the steepest step is pi/2 times a linear ramp's,
        // and the edge starts and ends flat.
        double steepest = 0.0;
        for (auto i = riseStart; i < riseEnd; ++i)
            steepest = std::max(steepest, v[i] - v[i - 1]);
        const double linearStep = 1.0 / (0.004 * rate);
        EXPECT_NEAR(steepest, linearStep * 1.5707963, linearStep * 0.02);
        EXPECT_LT(v[riseStart], linearStep * 0.05);
    }
}

TEST(LfoWaveform, SwitchingContinuesTheOtherWaveformWhereItStood)
{
    Lfo lfo = makeLfo(Lfo::kTri, 3.0, 44100.0);
    values(lfo, 1000);
    const double triStood = lfo.value;
    lfo.waveform = Lfo::kRect;
    values(lfo, 2000);
    EXPECT_EQ(lfo.value, 0.0);  // the square fell to its lower half and rests
    lfo.waveform = Lfo::kTri;
    lfo.step();
    EXPECT_NEAR(lfo.value, triStood + 3.0 * 2.0 / 44100.0, 1e-12);

    // Any other waveform code stands still.
    for (int code : {2, -1}) {
        lfo.waveform = code;
        const double held = lfo.value;
        const auto v = values(lfo, 500);
        EXPECT_TRUE(std::all_of(v.begin(), v.end(), [&](double x) { return x == held; })) << code;
    }
}

TEST(LfoWaveform, AnyFiniteSettingGivesFiniteBoundedValues)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case { double hz, rate; };
    const Case cases[] = {
        {0.0, 44100.0}, {-5.0, 44100.0}, {nan, 44100.0}, {1e6, 44100.0},
        {30000.0, 44100.0}, {20.0, 1.0}, {20.0, 0.0}, {20.0, -44100.0},
    };
    for (int waveform : {Lfo::kTri, Lfo::kRect}) {
        for (const Case& c : cases) {
            Lfo lfo = makeLfo(waveform, 2.0, 44100.0);
            lfo.setSampleRate(c.rate);
            lfo.setFrequency(c.hz, c.rate);
            lfo.setDelay(50.0, c.rate);
            lfo.restartDelay();
            for (int i = 0; i < 20000; ++i) {
                lfo.step();
                ASSERT_TRUE(lfo.value >= 0.0 && lfo.value <= 1.0 && lfo.fade >= 0.0 && lfo.fade <= 1.0)
                    << "waveform " << waveform << ", " << c.hz << " Hz at rate " << c.rate << ", step " << i;
            }
        }
    }
}

// --- Delay fade ---------------------------------------------------------------

int samplesToFullFade(Lfo& lfo)
{
    int n = 0;
    do {
        lfo.step();
        ++n;
    } while (lfo.fade < 1.0 && n < 100000000);
    return n;
}

TEST(LfoDelay, FadeRisesFromZeroToOneInAbout1_39TimesTheDelay)
{
    for (double rate : {44100.0, 96000.0}) {
        for (double ms : {2.0, 100.0, 1000.0}) {
            SCOPED_TRACE(testing::Message() << ms << " at " << rate);
            Lfo lfo = makeLfo(Lfo::kTri, 1.0, rate);
            lfo.setDelay(ms, rate);
            ASSERT_TRUE(lfo.hasDelay());
            lfo.restartDelay();
            lfo.step();
            const double first = lfo.fade;
            EXPECT_LT(first, 0.01);
            double previous = first;
            int n = 1;
            while (lfo.fade < 1.0) {
                lfo.step();
                ++n;
                ASSERT_GT(lfo.fade, previous);
                previous = lfo.fade;
            }
            const double d = ms * 0.01 * rate;
            EXPECT_NEAR(n, 1.3883 * d, 0.005 * d + 1.0);
        }
    }
}

TEST(LfoDelay, NoteOnRestartsTheFadeOnlyWhenADelayIsSet)
{
    Lfo lfo = makeLfo(Lfo::kTri, 1.0, 44100.0);
    // 0 ms, and anything up to 10 samples, is no delay: the fade stays 1.
    for (double ms : {0.0, 0.02, 10.0 / 441.0}) {
        lfo.setDelay(ms, 44100.0);
        EXPECT_FALSE(lfo.hasDelay()) << ms;
        lfo.restartDelay();
        lfo.step();
        EXPECT_EQ(lfo.fade, 1.0) << ms;
    }
    lfo.setDelay(10.1 / 441.0, 44100.0);
    EXPECT_TRUE(lfo.hasDelay());

    // With a delay, every restart drops the fade back to 0, even mid-fade.
    lfo.setDelay(20.0, 44100.0);
    lfo.restartDelay();
    const int firstFade = samplesToFullFade(lfo);
    lfo.restartDelay();
    EXPECT_EQ(samplesToFullFade(lfo), firstFade);
    for (int i = 0; i < 3000; ++i)
        lfo.step();
    EXPECT_GT(lfo.fade, 0.5);
    lfo.restartDelay();
    lfo.step();
    EXPECT_LT(lfo.fade, 0.01);

    // Turning the delay off mid-fade completes it at once.
    lfo.setDelay(0.0, 44100.0);
    lfo.step();
    EXPECT_EQ(lfo.fade, 1.0);
}

// --- Modulation routing -------------------------------------------------------

struct Range { double lo, hi; };

template <class F>
Range rangeOver(Lfo& lfo, int samples, F value)
{
    Range r{1e9, -1e9};
    for (int i = 0; i < samples; ++i) {
        lfo.step();
        const double v = value();
        r.lo = std::min(r.lo, v);
        r.hi = std::max(r.hi, v);
    }
    return r;
}

TEST(Modulation, PitchFromLfoSwingsAroundTheNoteOrStepsUp)
{
    constexpr double depth = 2.0;  // octaves at full depth
    struct Case { int waveform; double lo, hi; };
    for (const Case c : {Case{Lfo::kTri, -1.0, 1.0}, Case{Lfo::kRect, 0.0, 2.0}}) {
        Lfo lfo = makeLfo(c.waveform, 4.0, 44100.0);
        const Range r = rangeOver(lfo, 44100, [&] { return Veldane::lfoPitchMod(lfo, 1, depth); });
        EXPECT_NEAR(r.lo, c.lo, 1e-3) << c.waveform;
        EXPECT_NEAR(r.hi, c.hi, 1e-3) << c.waveform;
        // The envelope source leaves the engine-wide LFO modulation at 0.
        EXPECT_EQ(rangeOver(lfo, 100, [&] { return Veldane::lfoPitchMod(lfo, 0, depth); }).hi, 0.0);
    }
    // A restarted delay takes the LFO out of the pitch until the fade returns.
    Lfo lfo = makeLfo(Lfo::kRect, 4.0, 44100.0);
    lfo.setDelay(100.0, 44100.0);
    lfo.restartDelay();
    EXPECT_LT(rangeOver(lfo, 100, [&] { return Veldane::lfoPitchMod(lfo, 1, depth); }).hi, 0.05);
}

TEST(Modulation, CutoffTakesTheFadedLfoOrTheEnvelope)
{
    for (int waveform : {Lfo::kTri, Lfo::kRect}) {
        Lfo lfo = makeLfo(waveform, 4.0, 44100.0);
        const Range r = rangeOver(lfo, 44100, [&] { return Veldane::filterModValue(lfo, 1, 0.3); });
        EXPECT_NEAR(r.lo, 0.0, 1e-3);
        EXPECT_NEAR(r.hi, 1.0, 1e-3);
        EXPECT_EQ(Veldane::filterModValue(lfo, 0, 0.3), 0.3);
        lfo.setDelay(100.0, 44100.0);
        lfo.restartDelay();
        EXPECT_LT(rangeOver(lfo, 100, [&] { return Veldane::filterModValue(lfo, 1, 0.3); }).hi, 0.05);
    }
}

TEST(Modulation, ShapeValueRangesOfEachSource)
{
    using Veldane::osc1ShapeValue;
    constexpr int kTriOsc = 0, kRectOsc = 1, kNoiseOsc = 2;
    constexpr int kManual = 0, kEnvelope = 1, kFromLfo = 2;
    Lfo lfo = makeLfo(Lfo::kTri, 4.0, 44100.0);

    // Manual: amount 0 is symmetric; full amount reaches 1 (0.95 for pulses).
    EXPECT_EQ(osc1ShapeValue(kTriOsc, 0.0, kManual, 0.7, lfo), 0.5);
    EXPECT_EQ(osc1ShapeValue(kRectOsc, 0.0, kManual, 0.7, lfo), 0.5);
    EXPECT_EQ(osc1ShapeValue(kTriOsc, 1.0, kManual, 0.7, lfo), 1.0);
    EXPECT_NEAR(osc1ShapeValue(kRectOsc, 1.0, kManual, 0.7, lfo), 0.95, 1e-15);
    EXPECT_NEAR(osc1ShapeValue(kNoiseOsc, 1.0, kManual, 0.7, lfo), 0.95, 1e-15);

    // Envelope at full amount: from 0 to 1 (0.05 to 0.95 for pulses), through 0.5.
    struct EnvCase { int osc; double atZero, atHalf, atOne; };
    for (const EnvCase c : {EnvCase{kTriOsc, 0.0, 0.5, 1.0}, EnvCase{kRectOsc, 0.05, 0.5, 0.95}}) {
        EXPECT_NEAR(osc1ShapeValue(c.osc, 1.0, kEnvelope, 0.0, lfo), c.atZero, 1e-15) << c.osc;
        EXPECT_NEAR(osc1ShapeValue(c.osc, 1.0, kEnvelope, 0.5, lfo), c.atHalf, 1e-15) << c.osc;
        EXPECT_NEAR(osc1ShapeValue(c.osc, 1.0, kEnvelope, 1.0, lfo), c.atOne, 1e-15) << c.osc;
    }

    // LFO at full amount: a triangle LFO swings the shape around 0.5, a square
    // one moves it from 0.5 up only; the pulse range is scaled by 0.9.
    struct LfoCase { int lfoWaveform, osc; double lo, hi; };
    const LfoCase lfoCases[] = {
        {Lfo::kTri, kTriOsc, 0.0, 1.0}, {Lfo::kTri, kRectOsc, 0.05, 0.95},
        {Lfo::kRect, kTriOsc, 0.5, 1.0}, {Lfo::kRect, kRectOsc, 0.5, 0.95},
    };
    for (const LfoCase& c : lfoCases) {
        lfo.waveform = c.lfoWaveform;
        const Range r = rangeOver(lfo, 44100, [&] { return osc1ShapeValue(c.osc, 1.0, kFromLfo, 0.0, lfo); });
        EXPECT_NEAR(r.lo, c.lo, 1e-3) << c.lfoWaveform << "/" << c.osc;
        EXPECT_NEAR(r.hi, c.hi, 1e-3) << c.lfoWaveform << "/" << c.osc;
    }
}

} // namespace
