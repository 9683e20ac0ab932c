#include "synth/engine.h"
#include "synth/filter.h"
#include "tests/measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace {

using Veldane::Filter;
using Veldane::saturate;

constexpr double kHostRate = 44100.0;
constexpr double kStepRate = 2.0 * kHostRate;  // the filter runs at the doubled rate
constexpr double kPi = 3.141592653589793;
constexpr double kSmall = 0.01;  // signal level at which the saturator is linear to 1e-5

Filter makeFilter(int type, double q)
{
    Filter f;
    f.setType(type);
    f.setQ(q);
    return f;
}

// Runs x through the filter as a voice does: new coefficients once per host
// sample, two filter steps per host sample.
template <class Input>
std::vector<double> run(Filter& f, double w, int hostSamples, Input input)
{
    std::vector<double> out;
    out.reserve(2 * hostSamples);
    for (int n = 0; n < hostSamples; ++n) {
        f.setCutoff(w);
        for (int k = 0; k < 2; ++k) {
            const int i = 2 * n + k;
            out.push_back(f.process(input(i)));
        }
    }
    return out;
}

// Linear gain at hz, measured by driving a small sine and correlating the
// output with the input frequency after the filter has settled.
double gainAt(int type, double q, double cutoffHz, double hz)
{
    Filter f = makeFilter(type, q);
    const double omega = 2.0 * kPi * hz / kStepRate;
    const int settle = static_cast<int>(0.3 * kHostRate);
    const int measure = static_cast<int>(0.5 * kHostRate);
    const auto y = run(f, cutoffHz / kHostRate, settle + measure,
                       [&](int i) { return kSmall * std::sin(omega * i); });
    double re = 0.0, im = 0.0;
    for (std::size_t i = 2 * settle; i < y.size(); ++i) {
        re += y[i] * std::cos(omega * i);
        im += y[i] * std::sin(omega * i);
    }
    const double n = static_cast<double>(y.size() - 2 * settle);
    return 2.0 * std::hypot(re, im) / n / kSmall;
}

double db(double gain) { return 20.0 * std::log10(gain); }

// --- Saturator --------------------------------------------------------------

TEST(FilterSaturator, HoldsExactLimitsAndIsSmoothAtTheKnee)
{
    constexpr double limit = 0.9428090415820634;
    constexpr double knee = 1.4142135623730951;
    struct Case { double in, out; };
    const Case cases[] = {
        {3.0, limit}, {-3.0, -limit}, {1e300, limit}, {-1e300, -limit},
        {std::nextafter(knee, 2.0), limit}, {-std::nextafter(knee, 2.0), -limit},
        {0.0, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(saturate(c.in), c.out) << "input " << c.in;

    // The cubic arrives at the limit at the knee, so there is no step there.
    EXPECT_NEAR(saturate(knee), limit, 1e-15);
    EXPECT_NEAR(saturate(-knee), -limit, 1e-15);
    // Odd, monotonic and close to identity for small signals.
    double previous = -limit;
    for (double u = -1.5; u <= 1.5; u += 1e-3) {
        const double s = saturate(u);
        EXPECT_EQ(saturate(-u), -s);
        EXPECT_GE(s, previous) << "at " << u;
        previous = s;
    }
    EXPECT_NEAR(saturate(kSmall), kSmall, kSmall * 2e-5);
}

// --- Linear response ----------------------------------------------------------

TEST(FilterResponse, WithoutResonanceIsACascadeOfOnePoles)
{
    constexpr double fc = 500.0;
    struct Case { int type; int poles; };
    for (const Case c : {Case{Filter::kLp4, 4}, Case{Filter::kLp2, 2}}) {
        SCOPED_TRACE(c.type);
        // Unity gain at DC: a constant comes through unchanged (to the
        // saturator's cubic term, 1.7e-7 at this level).
        constexpr double level = 1e-3;
        Filter f = makeFilter(c.type, 0.0);
        const auto y = run(f, fc / kHostRate, 4410, [](int) { return level; });
        EXPECT_NEAR(y.back(), level, level * 1e-6);

        // Each pole is 3.01 dB down at the cutoff.
        EXPECT_NEAR(db(gainAt(c.type, 0.0, fc, fc)), -3.0103 * c.poles, 0.1);
        // An octave well above the cutoff: close to 6 dB per octave per pole.
        const double slope = db(gainAt(c.type, 0.0, fc, 8 * fc)) - db(gainAt(c.type, 0.0, fc, 4 * fc));
        EXPECT_NEAR(slope, -6.0 * c.poles, 0.15 * c.poles);
        // No peak anywhere: the response only falls.
        double previous = 1.0 + 1e-6;
        for (double hz = 50.0; hz < 20000.0; hz *= 1.5) {
            const double g = gainAt(c.type, 0.0, fc, hz);
            EXPECT_LT(g, previous) << hz << " Hz";
            previous = g;
        }
    }
}

TEST(FilterResponse, ResonancePeaksAtTheCutoff)
{
    constexpr double fc = 1000.0;
    // Both structures approach a loop gain that cancels their damping: at Q 0.9
    // the ladder's k4 = 3.69 of 4 and the two-pole's k2 = 1.89 of 2 leave a
    // peak of about 9x (19 dB) at the cutoff.
    for (int type : {Filter::kLp4, Filter::kLp2}) {
        SCOPED_TRACE(type);
        const double atCutoff = gainAt(type, 0.9, fc, fc);
        EXPECT_NEAR(atCutoff, 9.1, 0.6);
        EXPECT_GT(atCutoff, 4.0 * gainAt(type, 0.9, fc, fc * 0.7));
        EXPECT_GT(atCutoff, 4.0 * gainAt(type, 0.9, fc, fc * 1.4));
    }
    // LP4's output gain makes up part of the pass band that feedback takes:
    // DC gain (1 + 2.05 q) / (1 + 4.1 q) = 0.5 at full Q instead of 0.2.
    EXPECT_NEAR(gainAt(Filter::kLp4, 1.0, fc, 20.0), 3.05 / 5.1, 0.01);
}

TEST(FilterResponse, BandPassPassesTheCutoffAndRejectsDc)
{
    constexpr double fc = 2000.0;
    // Unity at the centre without resonance, falling on both sides.
    EXPECT_NEAR(db(gainAt(Filter::kBp, 0.0, fc, fc)), 0.0, 0.2);
    EXPECT_LT(db(gainAt(Filter::kBp, 0.0, fc, fc / 8)), -20.0);
    EXPECT_LT(db(gainAt(Filter::kBp, 0.0, fc, fc * 8)), -20.0);

    // A constant input makes all four taps equal, and the mix cancels them.
    for (double q : {0.0, 0.5, 0.9}) {
        Filter f = makeFilter(Filter::kBp, q);
        const auto y = run(f, fc / kHostRate, 22050, [](int) { return 0.5; });
        EXPECT_NEAR(y.back(), 0.0, 1e-9) << "q " << q;
    }
}

// --- Cutoff limits ------------------------------------------------------------

TEST(FilterCutoff, SettingsBeyondTheRangeAreHeldAtItsEnds)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-0.5, 0.5);
    std::vector<double> input(8192);
    for (double& v : input)
        v = noise(rng);
    auto render = [&](int type, double w) {
        Filter f = makeFilter(type, 0.7);
        return run(f, w, static_cast<int>(input.size() / 2), [&](int i) { return input[i]; });
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int type : {Filter::kLp4, Filter::kLp2, Filter::kBp}) {
        SCOPED_TRACE(type);
        const auto top = render(type, 0.9);
        EXPECT_EQ(render(type, 3.0), top);
        EXPECT_EQ(render(type, 1e9), top);
        EXPECT_NE(render(type, 0.89), top);

        const auto bottom = render(type, 1e-4);
        EXPECT_EQ(render(type, 1e-5), bottom);
        EXPECT_EQ(render(type, 0.0), bottom);
        EXPECT_EQ(render(type, -2.0), bottom);
        EXPECT_EQ(render(type, nan), bottom);
        EXPECT_NE(render(type, 1.1e-4), bottom);
    }
}

// --- Type changes -------------------------------------------------------------

TEST(FilterType, ChangeClearsTheLadderButNotTheTwoStageFilter)
{
    const double w = 300.0 / kHostRate;
    auto dc = [](int) { return 0.25; };

    // Ladder: a settled LP4 restarts from silence after any type change.
    for (int next : {Filter::kLp4, Filter::kBp}) {
        Filter f = makeFilter(Filter::kLp4, 0.0);
        run(f, w, 8820, dc);
        f.setType(next);
        f.setType(Filter::kLp4);
        EXPECT_LT(std::fabs(run(f, w, 1, dc).back()), 0.01) << next;
    }

    // Two-stage: a round trip through the ladder leaves it exactly where it was.
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<double> input(4000);
    for (double& v : input)
        v = noise(rng);
    auto in = [&](int i) { return input[i % input.size()]; };
    Filter kept = makeFilter(Filter::kLp2, 0.6);
    Filter switched = makeFilter(Filter::kLp2, 0.6);
    run(kept, w, 2000, in);
    run(switched, w, 2000, in);
    switched.setType(Filter::kLp4);
    switched.setCutoff(w);
    switched.process(1.0);
    switched.setType(Filter::kLp2);
    EXPECT_EQ(run(switched, w, 2000, in), run(kept, w, 2000, in));

    // And switching LP4 to BP mid-signal starts BP from cleared ladder states:
    // identical to a fresh band-pass from that point on.
    Filter lp4 = makeFilter(Filter::kLp4, 0.6);
    run(lp4, w, 2000, in);
    lp4.setType(Filter::kBp);
    Filter fresh = makeFilter(Filter::kBp, 0.6);
    EXPECT_EQ(run(lp4, w, 2000, in), run(fresh, w, 2000, in));
}

// --- Stability ----------------------------------------------------------------

TEST(FilterStability, FullResonanceSelfOscillatesAtTheCutoff)
{
    constexpr double fc = 1000.0;
    for (int type : {Filter::kLp4, Filter::kLp2}) {
        SCOPED_TRACE(type);
        Filter f = makeFilter(type, 1.0);
        const auto y = run(f, fc / kHostRate, static_cast<int>(kHostRate),
                           [](int i) { return i == 0 ? kSmall : 0.0; });
        // Over the last half second.
        const std::size_t from = y.size() / 2;
        double peak = 0.0;
        for (std::size_t i = from; i < y.size(); ++i) peak = std::max(peak, std::fabs(y[i]));
        EXPECT_NEAR(measure::frequency(y, kStepRate, from), fc, fc * 0.05);
        // Sustained by itself, held finite by the saturator.
        EXPECT_GT(peak, 0.1);
        EXPECT_LT(peak, 5.0);
    }
}

TEST(FilterStability, LoudInputAtFullResonanceStaysBoundedForMinutes)
{
    // One minute of host-rate audio per type: a +-3 square whose period
    // wanders, plus noise, with the cutoff jumping across its whole range
    // (clamp ends included) every 100 ms.
    const double cutoffs[] = {1e-4, 0.9, 0.01, 0.3, 2e-3, 0.05, 0.6, 5e-4, 0.15, 0.9};
    constexpr int kHostSamples = 60 * 44100;
    constexpr int kSegment = 4410;
    for (int type : {Filter::kLp4, Filter::kLp2, Filter::kBp}) {
        SCOPED_TRACE(type);
        Filter f = makeFilter(type, 1.0);
        std::uint32_t seed = 12345;
        double phase = 0.0;
        double peak = 0.0;
        bool finite = true;
        for (int n = 0; n < kHostSamples; ++n) {
            f.setCutoff(cutoffs[(n / kSegment) % 10]);
            for (int k = 0; k < 2; ++k) {
                seed = seed * 1664525u + 1013904223u;
                const double noise = static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
                phase += 0.001 + 0.02 * ((n >> 16) & 7) / 7.0;
                if (phase >= 1.0)
                    phase -= 1.0;
                const double y = f.process((phase < 0.5 ? 3.0 : -3.0) + noise);
                finite = finite && std::isfinite(y);
                peak = std::max(peak, std::fabs(y));
            }
        }
        EXPECT_TRUE(finite);
        // Bounds from the structure: the ladder's input is saturated to 0.943
        // and a stage can overshoot its input by at most 2G = 1.17 at the top
        // cutoff, so LP4 stays under 3.05 * 0.943 * 1.17^4 = 5.4 and the
        // band-pass taps under 25; the two-stage filter adds at most
        // 2.1 * 0.943 of feedback to the 3.5 input at each stage: under 10.
        const double bound[] = {6.0, 10.0, 25.0};
        EXPECT_LT(peak, bound[type]);
    }
}

TEST(FilterStability, ResonanceOutsideItsRangeIsHeldToIt)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto render = [](double q) {
        Filter f = makeFilter(Filter::kLp4, q);
        return run(f, 0.05, 4000, [](int i) { return (i / 50) % 2 ? 2.0 : -2.0; });
    };
    EXPECT_EQ(render(-3.0), render(0.0));
    EXPECT_EQ(render(nan), render(0.0));
    EXPECT_EQ(render(40.0), render(1.0));
}

// --- Key tracking, through the engine -----------------------------------------

// Frequency at which a self-oscillating LP2 (full Q, only the voices' noise
// floor as input) sings when one voice plays `note`: that is its cutoff.
double singingFrequency(double keyTrack, int note)
{
    constexpr double cutoffHz = 500.0;
    Veldane::Engine engine;
    engine.cutoffOctaves = std::log2(2.0 * cutoffHz / 8.1757989156);
    engine.keyTrack = keyTrack;
    engine.outputGain = 1.0;
    engine.setFilterType(Filter::kLp2);
    engine.setFilterQ(1.0);
    Veldane::Voice& voice = engine.voices[0];
    voice.setNote(note, false);
    voice.trigger();

    std::vector<double> out(static_cast<std::size_t>(kHostRate));
    engine.render(static_cast<int>(out.size()), out.data());
    return measure::frequency(out, kHostRate, out.size() / 2);
}

TEST(FilterKeyTracking, FullTrackingMovesTheCutoffAnOctavePerOctave)
{
    // Note 60 is the pivot: the cutoff is the set one there.
    EXPECT_NEAR(singingFrequency(1.0, 60), 500.0, 500.0 * 0.03);
    EXPECT_NEAR(singingFrequency(1.0, 72) / singingFrequency(1.0, 60), 2.0, 0.02);
    EXPECT_NEAR(singingFrequency(1.0, 48) / singingFrequency(1.0, 60), 0.5, 0.01);
    EXPECT_NEAR(singingFrequency(0.5, 84) / singingFrequency(0.5, 60), 2.0, 0.02);
    // Without tracking the note changes nothing.
    EXPECT_NEAR(singingFrequency(0.0, 84) / singingFrequency(0.0, 36), 1.0, 0.002);
}

} // namespace
