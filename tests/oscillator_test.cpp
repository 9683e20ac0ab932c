// Oscillators, driven step by step, measured on their rendered output.
#include "synth/oscillators.h"

#include <gtest/gtest.h>

#include "synth/engine.h"
#include "synth/pow2.h"
#include "tests/measure.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <vector>

using namespace Veldane;

namespace {

enum class Wave { Osc1Tri, Osc1Rect, Osc2Tri, Osc2Rect, Osc2Saw };
const Wave kAllWaves[] = {Wave::Osc1Tri, Wave::Osc1Rect, Wave::Osc2Tri, Wave::Osc2Rect,
                          Wave::Osc2Saw};

// A bank of every waveform; the corrections can be switched off to get the
// naive twin through the same delay line.
struct Bank {
    Osc1Tri tri1;
    Osc1Rect rect1;
    Osc2Tri tri2;
    Osc2Rect rect2;
    Osc2Saw saw2;

    explicit Bank(bool corrected = true)
    {
        for (CorrectionTaps* t : {&tri1.taps, &rect1.taps, &tri2.taps, &rect2.taps, &saw2.taps})
            t->corrected = corrected;
    }

    double next(Wave w, double inc, double t = 0.5, double sync = -1.0)
    {
        double s = 0.0;
        switch (w) {
        case Wave::Osc1Tri: return tri1.next(inc, t, s);
        case Wave::Osc1Rect: return rect1.next(inc, t, s);
        case Wave::Osc2Tri: return tri2.next(inc, sync);
        case Wave::Osc2Rect: return rect2.next(inc, sync);
        case Wave::Osc2Saw: return saw2.next(inc, sync) - 1.0;  // centred on 0
        }
        return 0.0;
    }
};

std::vector<double> render(Wave w, double inc, int n, bool corrected = true, double t = 0.5)
{
    Bank bank(corrected);
    std::vector<double> out(n);
    for (double& v : out)
        v = bank.next(w, inc, t);
    return out;
}

// Oscillator 2 hard-synced to oscillator 1's triangle.
std::vector<double> renderSynced(Wave w, double inc1, double inc2, int n, bool corrected)
{
    Oscillator1 osc1;
    Bank bank(corrected);
    std::vector<double> out(n);
    for (double& v : out) {
        double s = 0.0;
        osc1.tri.next(inc1, 0.5, s);
        v = bank.next(w, inc2, 0.5, s);
    }
    return out;
}

// The strongest spectral component that is not a harmonic of f0 (cycles per
// step), in dB relative to the fundamental; Blackman-Harris window.
double worstInharmonicDb(const std::vector<double>& x, double f0)
{
    const size_t n = x.size();
    const double pi = std::acos(-1.0);
    const double m = measure::mean(x);
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < n; ++i) {
        const double u = 2.0 * pi * double(i) / double(n);
        const double w = 0.35875 - 0.48829 * std::cos(u) + 0.14128 * std::cos(2 * u) -
                         0.01168 * std::cos(3 * u);
        a[i] = (x[i] - m) * w;
    }
    measure::fft(a);
    // The window's main lobe is 4 bins wide each side; 6 keeps clear of it.
    constexpr double kGuardBins = 6.0;
    const double binsPerHarmonic = f0 * double(n);
    double fundamental = 0.0, worst = 0.0;
    for (size_t k = 1; k < n / 2; ++k) {
        const double power = std::norm(a[k]);
        const double h = double(k) / binsPerHarmonic;
        const double offHarmonic = std::fabs(h - std::round(h)) * binsPerHarmonic;
        if (std::round(h) == 1.0 && offHarmonic < kGuardBins)
            fundamental = std::max(fundamental, power);
        else if (offHarmonic >= kGuardBins && k > kGuardBins)
            worst = std::max(worst, power);
    }
    return 10.0 * std::log10(worst / fundamental);
}

double cycleFraction(double x) { return x - std::floor(x); }

// A waveform (a function of time in oscillator steps) smoothed by the
// corrections' kernel, a triangle four steps wide with unit area, at time t.
// Midpoint rule: exact on straight pieces; a jump of 2 (the largest a
// triangle makes) inside one interval costs at most 5e-4.
template <class Wave>
double smoothed(const Wave& wave, double t)
{
    constexpr int kPoints = 4000;
    constexpr double kHalfWidth = 2.0;
    const double ds = 2.0 * kHalfWidth / kPoints;
    double sum = 0.0;
    for (int i = 0; i < kPoints; ++i) {
        const double s = -kHalfWidth + (i + 0.5) * ds;
        sum += wave(t - s) * (kHalfWidth - std::fabs(s));
    }
    return sum * ds / (kHalfWidth * kHalfWidth);
}

} // namespace

TEST(Oscillators, FrequencyFromZeroCrossings)
{
    for (Wave w : kAllWaves)
        for (double inc : {0.0013, 0.0123, 0.0917}) {
            const double got = measure::cyclesPerSample(render(w, inc, 40000));
            EXPECT_NEAR(got, inc, inc * 1e-4) << int(w) << " at " << inc;
        }
}

TEST(Oscillators, Osc1RectWidthClampAndZeroMean)
{
    // {shape, increment, expected width}: the width keeps one increment away
    // from both ends, so 0.95 holds until the increment passes 0.05.
    const double cases[][3] = {
        {0.5, 0.01, 0.5}, {0.95, 0.01, 0.95}, {0.95, 0.05, 0.95}, {0.95, 0.08, 0.92},
        {0.05, 0.01, 0.05}, {0.01, 0.08, 0.08}, {1.0, 0.2, 0.8}, {0.0, 0.2, 0.2},
    };
    for (const auto& c : cases) {
        Osc1Rect rect;
        double s = 0.0, highSteps = 0.0, sum = 0.0;
        const int n = 200000;
        for (int i = 0; i < n; ++i) {
            sum += rect.next(c[1], c[0], s);
            highSteps += rect.sign > 0.0 ? 1.0 : 0.0;
        }
        EXPECT_NEAR(highSteps / n, c[2], 2e-3) << c[0] << " at " << c[1];
        // The DC term exactly cancels the pulse's uneven halves.
        EXPECT_NEAR(sum / n, 0.0, 2e-3) << c[0] << " at " << c[1];
    }
}

TEST(Oscillators, Osc1TriAtMidSkewIsSymmetricFullScale)
{
    const std::vector<double> x = render(Wave::Osc1Tri, 0.003, 20000);
    const auto [lo, hi] = std::minmax_element(x.begin() + 2, x.end());
    EXPECT_NEAR(*lo, -1.0, 0.01);
    EXPECT_NEAR(*hi, 1.0, 0.01);
    EXPECT_NEAR(measure::mean(x, 2), 0.0, 1e-3);
    // Symmetric: the ramp up and the ramp down take equally long.
    int up = 0, down = 0;
    for (size_t i = 3; i < x.size(); ++i)
        (x[i] > x[i - 1] ? up : down)++;
    EXPECT_NEAR(double(up) / (up + down), 0.5, 5e-3);
}

TEST(Oscillators, SawWrapsOnlyAbove1)
{
    Osc2Saw saw;
    saw.phase = 0.75;  // 0.75 + 0.25 lands exactly on 1.0
    saw.next(0.25, -1.0);
    EXPECT_EQ(saw.phase, 1.0);
    saw.next(0.25, -1.0);
    EXPECT_EQ(saw.phase, 0.25);
}

TEST(Oscillators, SyncAtStartOfStep)
{
    const double inc = 0.125;
    // Rect rising edge: a sync position of 0 counts as none, the phase just wraps.
    Osc2Rect rect;
    rect.phase = 0.9375;
    rect.sign = -1.0;
    rect.next(inc, 0.0);
    EXPECT_EQ(rect.phase, 0.0625);
    EXPECT_EQ(rect.sign, 1.0);
    // Everywhere else 0 is a real reset to one full step past the start:
    // high and falling pulse, triangle and saw.
    Osc2Rect high, falling;
    Osc2Tri tri;
    Osc2Saw saw;
    high.phase = 0.25;
    falling.phase = 0.4375;
    tri.phase = 0.25;
    saw.phase = 0.9375;
    high.next(inc, 0.0);
    falling.next(inc, 0.0);
    tri.next(inc, 0.0);
    saw.next(inc, 0.0);
    for (double phase : {high.phase, falling.phase, tri.phase, saw.phase}) EXPECT_EQ(phase, inc);
    EXPECT_EQ(falling.sign, 1.0);
}

TEST(Oscillators, FirstOutputAfterSeedingIsOldTapContent)
{
    Oscillator2 osc;
    for (int i = 0; i < 37; ++i)
        osc.next(2, 0.01, -1.0);
    const double oldTap1 = osc.saw.taps.tap1;
    const double oldTap2 = osc.saw.taps.tap2;
    osc.seedPhase(0.3);
    // The first output is what was already in the line; the seeded ramp
    // arrives at the second, on top of whatever correction waited there.
    EXPECT_EQ(osc.next(2, 0.01, -1.0), 2.0 * oldTap1);
    EXPECT_DOUBLE_EQ(osc.next(2, 0.01, -1.0), 2.0 * (oldTap2 + 0.3));
    EXPECT_DOUBLE_EQ(osc.next(2, 0.01, -1.0), 2.0 * 0.31);

    // The pulse's level follows the seeded phase in both oscillators.
    Oscillator1 osc1;
    osc1.seedPhase(0.5);
    EXPECT_EQ(osc1.rect.sign, -1.0);
    EXPECT_EQ(osc1.tri.phase, 0.5);
    osc1.seedPhase(0.4999);
    EXPECT_EQ(osc1.rect.sign, 1.0);
    osc.seedPhase(0.75);
    EXPECT_EQ(osc.rect.sign, -1.0);
    EXPECT_EQ(osc.tri.phase, 0.75);
}

TEST(Oscillators, HugeIncrementsStayFinite)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double inc : {0.4999, 0.5, 0.75, 1.0, 3.7, 1e12, inf, nan, 0.0, -1.0})
        for (double t : {0.0, 0.5, 1.0, nan}) {
            Oscillator1 osc1;
            Oscillator2 osc2;
            for (int i = 0; i < 500; ++i) {
                double s = 0.0;
                const double o1 = osc1.next(i % 2, inc, t, 0.0, s);
                ASSERT_TRUE(std::isfinite(o1) && std::fabs(o1) < 10.0) << inc << " " << t;
                ASSERT_TRUE(s == -1.0 || (s >= 0.0 && s <= 1.0));
                for (int w = 0; w < 3; ++w) {
                    const double o2 = osc2.next(w, inc, i % 3 ? s : 0.5);
                    ASSERT_TRUE(std::isfinite(o2) && std::fabs(o2) < 10.0) << inc << " " << w;
                }
            }
            EXPECT_LT(osc2.saw.phase, 1.5);
        }
}

TEST(Oscillators, CorrectionsRemoveAliasing)
{
    // About 2.5 kHz at 88.2 kHz: harmonics fold back many times over.
    const double inc = 0.02837;
    const int n = 1 << 14;
    // {waveform, skew or width, worst allowed band-limited level}. Corners
    // and steps alike gain 25 to 30 dB on the naive twin; a triangle's naive
    // aliasing starts lower (its harmonics fall with the square of their
    // number), the more so the more symmetric it is.
    const struct { Wave w; double t, ceiling; } cases[] = {
        {Wave::Osc1Tri, 0.5, -75}, {Wave::Osc1Tri, 0.9, -65}, {Wave::Osc1Rect, 0.5, -50},
        {Wave::Osc2Tri, 0.5, -75}, {Wave::Osc2Rect, 0.5, -50}, {Wave::Osc2Saw, 0.5, -50},
    };
    for (const auto& c : cases) {
        const double limited = worstInharmonicDb(render(c.w, inc, n, true, c.t), inc);
        const double naive = worstInharmonicDb(render(c.w, inc, n, false, c.t), inc);
        EXPECT_LT(limited, naive - 20.0) << int(c.w) << " at " << c.t;
        EXPECT_LT(limited, c.ceiling) << int(c.w) << " at " << c.t;
    }
}

TEST(Oscillators, SyncLocksToOsc1AndStaysBandLimited)
{
    const double inc1 = 0.00731;
    const int n = 1 << 15;
    for (Wave w : {Wave::Osc2Tri, Wave::Osc2Rect, Wave::Osc2Saw})
        for (double ratio : {0.63, 1.37, 2.81}) {
            const double limited = worstInharmonicDb(renderSynced(w, inc1, inc1 * ratio, n, true), inc1);
            const double naive = worstInharmonicDb(renderSynced(w, inc1, inc1 * ratio, n, false), inc1);
            EXPECT_LT(limited, -35.0) << int(w) << " ratio " << ratio;
            EXPECT_LT(limited, naive - 20.0) << int(w) << " ratio " << ratio;
        }
}

TEST(Oscillators, CorrectedTrianglesAreTheirWaveformsSmoothed)
{
    // A corrected triangle is its ideal waveform smoothed by the kernel,
    // sampled two steps behind the phase it has reached. Oscillator 1 at a
    // random skew, oscillator 2 synced to it: random increments bring every
    // order of peak, trough and reset within one step.
    std::mt19937 rng(18);
    std::uniform_real_distribution<double> increment(0.005, 0.3), shape(0.0, 1.0);
    for (int trial = 0; trial < 40; ++trial) {
        const double inc1 = increment(rng), inc2 = increment(rng), skew = shape(rng);
        const double t = std::clamp(skew, inc1, 1.0 - inc1);  // held an increment from the ends
        const auto tri1 = [&](double time) {
            const double phase = cycleFraction(inc1 * time);
            return phase < t ? 2.0 * phase / t - 1.0 : 2.0 * (1.0 - phase) / (1.0 - t) - 1.0;
        };
        // Oscillator 2 restarts from phase 0 whenever oscillator 1 wraps: its
        // phase is its increment times the time since oscillator 1's last wrap.
        const auto tri2 = [&](double time) {
            const double phase = cycleFraction(inc2 * cycleFraction(inc1 * time) / inc1);
            return 4.0 * std::min(phase, 1.0 - phase) - 1.0;
        };
        Osc1Tri osc1;
        Osc2Tri osc2;
        for (int k = 0; k < 64; ++k) {
            double sync = kNoSync;
            const double got1 = osc1.next(inc1, skew, sync);
            const double got2 = osc2.next(inc2, sync);
            if (k < 3)  // the kernel would reach back before the start
                continue;
            const auto where = testing::Message() << "step " << k << ", increments " << inc1
                                                  << " and " << inc2 << ", skew " << skew;
            ASSERT_NEAR(got1, smoothed(tri1, k - 1.0), 2e-3) << where;
            ASSERT_NEAR(got2, smoothed(tri2, k - 1.0), 2e-3) << where;
        }
    }
}

TEST(Oscillators, DcPresetIsMeanOfSyncedWaveform)
{
    const double inc1 = 0.001;
    for (int w = 0; w < 3; ++w)
        for (double ratio : {0.7, 1.2, 1.8, 2.3, 3.95}) {
            Oscillator1 osc1;
            Oscillator2 osc2;
            std::vector<double> x(100000);
            for (double& v : x) {
                double s = 0.0;
                osc1.next(0, inc1, 0.5, 0.0, s);
                v = osc2.next(w, inc1 * ratio, s);
            }
            double state = 0.0;
            ASSERT_TRUE(osc2DcPreset(w, true, inc1, inc1 * ratio, state));
            EXPECT_NEAR(state, measure::mean(x, 1000), 2e-3) << w << " ratio " << ratio;
        }
    double state = 0.25;
    EXPECT_TRUE(osc2DcPreset(2, false, 0.01, 0.013, state));
    EXPECT_EQ(state, 1.0);
    state = 0.25;
    EXPECT_FALSE(osc2DcPreset(0, false, 0.01, 0.013, state));
    EXPECT_FALSE(osc2DcPreset(1, false, 0.01, 0.013, state));
    EXPECT_EQ(state, 0.25);
}

// ---- Through the whole engine ----------------------------------------------

namespace {

constexpr double kNoteZeroHz = 8.1757989156;

// One oscillator heard through a wide-open filter with instant envelopes.
void setUpPlain(Engine& e, double rate, bool osc2)
{
    e.setSampleRate(rate);
    e.osc1Waveform = 0;
    e.osc2Waveform = 2;
    e.setOsc1Gain(osc2 ? 0.0 : 1.0);
    e.setOsc2Gain(osc2 ? 1.0 : 0.0);
    e.cutoffOctaves = std::log2(2.0 * std::min(15000.0, 0.4 * rate) / kNoteZeroHz);
    e.outputGain = 0.5;
}

void play(Engine& e, int note)
{
    e.voices[0].setNote(note, false);
    e.voices[0].trigger();
}

double cents(double ratio) { return 1200.0 * std::log2(ratio); }

} // namespace

TEST(OscillatorsInEngine, PitchWithinACentAcrossTheKeyboardAndRates)
{
    // The engine's jitter and drift move the pitch by a few cents on purpose,
    // so the output is held to within a cent of the pitch the engine asked for
    // (its increments averaged over the same stretch), and that to the note.
    for (double rate : {44100.0, 96000.0})
        for (bool osc2 : {false, true})
            for (int note : {21, 69, 108}) {
                Engine e;
                setUpPlain(e, rate, osc2);
                play(e, note);
                const int settle = int(0.1 * rate);  // DC blocker settling
                std::vector<double> x(int(1.5 * rate));
                double increments = 0.0;
                for (size_t i = 0; i < x.size(); ++i) {
                    e.render(1, &x[i]);
                    if (int(i) >= settle)
                        increments += osc2 ? e.osc2Increment : e.osc1Increment;
                }
                x.erase(x.begin(), x.begin() + settle);
                const double hz = measure::cyclesPerSample(x) * rate;
                // Two oversampled steps per output sample.
                const double asked = 2.0 * pow2(note / 12.0) * increments / double(x.size()) * rate;
                const double nominal = kNoteZeroHz * std::pow(2.0, note / 12.0);
                const auto where = testing::Message() << "note " << note << " at " << rate
                                                      << (osc2 ? " osc2" : " osc1");
                EXPECT_NEAR(cents(hz / asked), 0.0, 1.0) << where;
                EXPECT_NEAR(cents(asked / nominal), 0.0, 10.0) << where;
            }
}

TEST(OscillatorsInEngine, HighestNoteFullyModulatedStaysFinite)
{
    for (double rate : {8000.0, 44100.0})
        for (int w1 = 0; w1 < 3; ++w1)
            for (int w2 = 0; w2 < 3; ++w2)
                for (bool sync : {false, true}) {
                    Engine e;
                    setUpPlain(e, rate, false);
                    e.setOsc2Gain(1.0);
                    e.osc1Waveform = w1;
                    e.osc2Waveform = w2;
                    e.setOsc2Sync(sync);
                    e.masterTune = 1.0;          // +12 semitones
                    e.oscDetune = 0.5 / 12.0;    // the widest spread
                    e.osc2Detune = 1.0;          // +12 semitones
                    e.osc1Octaves = e.masterTune + e.oscDetune;
                    e.osc2Octaves = e.masterTune - e.oscDetune + e.osc2Detune;
                    e.pitchModSource = 0;        // mod envelope, held at 1
                    e.setPitchModDepth(1.0);
                    e.pitchModOsc1 = e.pitchModOsc2 = true;
                    play(e, 127);
                    const std::vector<double> x = measure::rendered(e, int(0.25 * rate));
                    double peak = 0.0;
                    for (double y : x) {
                        ASSERT_TRUE(std::isfinite(y)) << w1 << " " << w2 << " " << sync << " " << rate;
                        peak = std::max(peak, std::fabs(y));
                    }
                    EXPECT_LT(peak, 10.0) << w1 << " " << w2 << " " << sync << " " << rate;
                    EXPECT_TRUE(std::isfinite(e.voices[0].osc2.saw.phase));
                }
}
