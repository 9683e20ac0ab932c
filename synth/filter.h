#pragma once
// The voice filter: a four-stage ladder (LP4, or a band-pass mix of its stage
// outputs) or a two-stage low-pass, built from trapezoidal one-pole stages with
// the resonance feedback solved for the current sample and one cubic saturator.
//
// Solving the feedback: every trapezoidal stage is linear in its input within one
// step, y = G*a + G*(2/g)*s, so the ladder's fourth output is G^4*u plus a part e
// that depends only on the stored states. With u = x - k4*y4 that gives
// u = (x - k4*e) / (1 + k4*G^4), an estimate computed before any stage runs, so
// the loop needs no unit delay. The saturator then acts on that solved input,
// which bounds everything the stages see and so the resonance at any Q. The
// two-stage filter solves its output the same way and saturates the feedback.
#include <limits>

#include "synth/lanes.h"

namespace Veldane {

namespace filter_detail {

// The cubic u - u^3/6 has zero slope at u = sqrt(2), where it reaches
// 2*sqrt(2)/3; holding that value beyond keeps the curve smooth and monotonic.
constexpr double kSaturateKnee = 1.4142135623730951;  // sqrt(2)
constexpr double kSaturateLimit = 0.9428090415820634; // 2*sqrt(2)/3
constexpr double kOneSixth = 0.16666666666666666;

// Cutoff limits as a fraction of the host rate. The stages run at twice that
// rate, so 0.9 is 0.45 of the step rate, just below the stages' Nyquist
// frequency, past which a cutoff means nothing; 1e-4 (4.4 Hz at 44.1 kHz)
// keeps g away from 0, where 2/g would overflow.
constexpr double kMaxCutoff = 0.9;
constexpr double kMinCutoff = 1e-4;
// g = w * pi/2: the integrator gain of a stage at the oversampled rate. pi/2
// rather than pi because w is relative to the host rate, half the step rate;
// the linear term of the prewarping tangent, which is close enough for the
// cutoffs that matter and costs no tangent per sample.
constexpr double kHalfPi = 1.5707963267948966;

// Band-pass mix of the ladder taps: (y2 + y4)*4 - y3*8 cancels for a constant
// input (all taps equal) and peaks around the cutoff.
constexpr double kBpOuterTaps = 4.0;
constexpr double kBpMiddleTap = 8.0;

// Type codes (Filter::kLp4, kLp2).
constexpr int kLp4Type = 0;
constexpr int kLp2Type = 1;

} // namespace filter_detail

// The filter's arithmetic, written once for one voice (T = double) and for
// voices side by side (T = Lanes<W>, see synth/lanes.h): Filter and
// FilterGroup both run it, so a voice's filter gives the same bits either way.
// The steps are always inlined: a call would pass the states through memory
// on the filter's chain of dependent operations, the engine's longest.

// Cubic soft clipper u - u^3/6, flat beyond +-sqrt(2) at +-2*sqrt(2)/3.
template <typename T>
[[gnu::always_inline]] inline T saturate(T u)
{
    using namespace filter_detail;
    const T cubic = u - u * kOneSixth * u * u;
    // One selection after the cubic, the limit chosen beside it: the cubic
    // lies on the filter's chain of dependent operations, the comparisons not.
    const auto high = u > kSaturateKnee;
    const auto outside = static_cast<decltype(high)>(high | (u < -kSaturateKnee));
    return select(outside, select(high, splat<T>(kSaturateLimit), splat<T>(-kSaturateLimit)), cubic);
}

// What a cutoff makes of the stages, for the filter type in force.
template <typename T>
struct FilterCoefficients {
    T twoOverG;   // 2/g of the stages
    T stageGain;  // G = g / (g + 1), the stages' instantaneous gain
    T g;          // g, the stages' integrator gain per oversampled step
    T loopGain;   // instantaneous gain from the input to the fed-back output: G^4 (ladder), G^2 (two-stage)
    T solve;      // 1 / (1 + k4*G^4) (ladder), 1 / ((G^2 - G)*k2 + 1) (two-stage): solves the feedback loop
    T twoOverGG;  // (2/g) * G, the first state's weight in the solved output (the same product every step)
};

// w = cutoff / host sample rate, clamped here (NaN to the lower limit, rather
// than poisoning the states); k4, k2 the resonances of Filter.
template <typename T>
[[gnu::always_inline]] inline FilterCoefficients<T> filterCoefficients(T w, int type, T k4, T k2)
{
    using namespace filter_detail;
    w = select(w > kMaxCutoff, splat<T>(kMaxCutoff), select(w >= kMinCutoff, w, splat<T>(kMinCutoff)));
    FilterCoefficients<T> c;
    c.g = w * kHalfPi;
    c.stageGain = c.g / (c.g + 1.0);
    c.twoOverG = 2.0 / c.g;
    c.twoOverGG = c.twoOverG * c.stageGain;
    const T g2 = c.stageGain * c.stageGain;
    if (type == kLp2Type) {
        c.loopGain = g2;
        c.solve = 1.0 / ((g2 - c.stageGain) * k2 + 1.0);
    } else {
        c.loopGain = g2 * g2;
        c.solve = 1.0 / (c.loopGain * k4 + 1.0);
    }
    return c;
}

// One trapezoidal one-pole low-pass step: input a, state s, returns the output.
template <typename T>
[[gnu::always_inline]] inline T filterStage(T a, T& s, const FilterCoefficients<T>& c)
{
    const T b = (s * c.twoOverG + a) * c.stageGain;
    s += (a - b) * c.g;
    return b;
}

// One oversampled step of the ladder (LP4, or BP when type is kBp): states
// s1..s4, feedback k4, LP4 output gain `gain`.
template <typename T>
[[gnu::always_inline]] inline T ladderStep(T x, T& s1, T& s2, T& s3, T& s4, const FilterCoefficients<T>& c, T k4, T gain, int type)
{
    using namespace filter_detail;
    const T tg = c.twoOverG;
    const T G = c.stageGain;
    // The part of the fourth stage's output that the states alone decide.
    const T e = (((c.twoOverGG * s1 + s2 * tg) * G + s3 * tg) * G + s4 * tg) * G;
    const T u = saturate(x - (e + c.loopGain * x) * c.solve * k4);
    const T y1 = filterStage(u, s1, c);
    const T y2 = filterStage(y1, s2, c);
    const T y3 = filterStage(y2, s3, c);
    const T y4 = filterStage(y3, s4, c);
    if (type == kLp4Type)
        return gain * y4;
    return (y2 + y4) * kBpOuterTaps - y3 * kBpMiddleTap;
}

// One oversampled step of the two-stage low-pass: states s1, s2, feedback k2.
template <typename T>
[[gnu::always_inline]] inline T lp2Step(T x, T& s1, T& s2, const FilterCoefficients<T>& c, T k2)
{
    const T tg = c.twoOverG;
    const T G = c.stageGain;
    // Output of the cascade solved with this sample's feedback included.
    const T u = ((c.twoOverGG * s1 + s2 * tg) * G + c.loopGain * x) * c.solve;
    const T f = k2 * saturate(u);
    const T y1 = filterStage(x - f, s1, c);
    return filterStage(y1 + f, s2, c);
}

class Filter {
public:
    // kLp4, kLp2 or kBp. Clears the ladder states (not the two-stage ones).
    void setType(int type);
    // Resonance 0..1.
    void setQ(double q);
    // Clears every state and has the next setCutoff compute its coefficients
    // afresh (type and resonance stay).
    void reset();
    // Audio thread, once per output sample: w = cutoff / host sample rate
    // (clamped here).
    void setCutoff(double w);
    // Audio thread, once per oversampled step: one input sample in, one out.
    double process(double x);

    // Type codes of setType.
    static constexpr int kLp4 = 0;
    static constexpr int kLp2 = 1;
    static constexpr int kBp = 2;

    // Resonance, and the states of both structures.
    double k4 = 0.0;               // ladder feedback gain, 4.1 * q; self-oscillation sets in near 4
    double ladderGain = 1.0;       // LP4 output gain 1 + k4/2: restores the pass band that feedback removes
    double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;  // ladder stage states (trapezoidal integrator memory)
    int type = kLp4;               // kLp4, kLp2 or kBp: which structure runs and which output is taken
    double k2 = 0.0;               // two-stage feedback gain, 2.1 * q; the peak grows as it nears 2
    double lp2S1 = 0.0, lp2S2 = 0.0;  // two-stage states; kept across type changes

    // Coefficients of the type in force, recomputed by setCutoff.
    FilterCoefficients<double> coefficients = {};

    // What the coefficients above were computed from: the cutoff (fraction
    // of the host rate, before clamping), the type and the resonances. While
    // all stand still (no filter modulation, a sustaining envelope) a sample
    // costs no divisions. The audio thread keeps this record itself, so a
    // type or Q written from another thread mid-sample is picked up at the
    // next sample at the latest.
    double coefficientCutoff = kNoCoefficients;
    int coefficientType = -1;
    double coefficientK4 = 0.0;
    double coefficientK2 = 0.0;

private:
    // Never equal to any cutoff (NaN compares unequal), so the next setCutoff computes.
    static constexpr double kNoCoefficients = std::numeric_limits<double>::quiet_NaN();
};

// The filters of the voices the engine computes side by side, voice l's in
// lane l: the engine takes a voice's filter into its lane at the start of a
// rendered segment and hands it back at its end (load, store); in between,
// FilterGroup runs a group of them in lanes, and each lane runs exactly what
// its Filter would. Audio thread; the fields are the lanes' copies of the
// Filter fields of the same names.
struct FilterLanes {
    double s1[kMaxLanes], s2[kMaxLanes], s3[kMaxLanes], s4[kMaxLanes];  // ladder stage states
    double lp2S1[kMaxLanes], lp2S2[kMaxLanes];                          // two-stage states
    double k4[kMaxLanes], k2[kMaxLanes], gain[kMaxLanes];               // resonances, ladder output gain
    // The cutoffs the coefficients below were computed from (NaN: none yet).
    double cutoff[kMaxLanes];
    double twoOverG[kMaxLanes], stageGain[kMaxLanes], g[kMaxLanes];  // FilterCoefficients
    double loopGain[kMaxLanes], solve[kMaxLanes], twoOverGG[kMaxLanes];

    // Takes filter f into lane `lane` (f's type is every lane's); the first
    // setCutoff computes that lane's coefficients.
    void load(int lane, const Filter& f);
    // A lane that holds no voice: silent states, no resonance, fed by the
    // caller a signal that stays finite.
    void clear(int lane) { load(lane, Filter{}); }
    // Hands lane `lane`'s states back to f.
    void store(int lane, Filter& f) const;
};

// W lanes of FilterLanes in registers, from lane `first` on, for a chunk of
// samples (load, then setCutoff and step per sample, then store). Everything
// is inlined into the engine's voice loop, which keeps the states in
// registers: through memory, each step would wait on a store and a load.
template <int W>
struct FilterGroup {
    using V = Lanes<W>;
    V s1, s2, s3, s4, lp2S1, lp2S2, k4, k2, gain;
    V cutoff;  // the cutoffs the coefficients were computed from
    FilterCoefficients<V> c;

    [[gnu::always_inline]] void load(const FilterLanes& f, int first)
    {
        s1 = loadLanes<W>(f.s1 + first);
        s2 = loadLanes<W>(f.s2 + first);
        s3 = loadLanes<W>(f.s3 + first);
        s4 = loadLanes<W>(f.s4 + first);
        lp2S1 = loadLanes<W>(f.lp2S1 + first);
        lp2S2 = loadLanes<W>(f.lp2S2 + first);
        k4 = loadLanes<W>(f.k4 + first);
        k2 = loadLanes<W>(f.k2 + first);
        gain = loadLanes<W>(f.gain + first);
        cutoff = loadLanes<W>(f.cutoff + first);
        c.twoOverG = loadLanes<W>(f.twoOverG + first);
        c.stageGain = loadLanes<W>(f.stageGain + first);
        c.g = loadLanes<W>(f.g + first);
        c.loopGain = loadLanes<W>(f.loopGain + first);
        c.solve = loadLanes<W>(f.solve + first);
        c.twoOverGG = loadLanes<W>(f.twoOverGG + first);
    }
    [[gnu::always_inline]] void store(FilterLanes& f, int first) const
    {
        storeLanes<W>(f.s1 + first, s1);
        storeLanes<W>(f.s2 + first, s2);
        storeLanes<W>(f.s3 + first, s3);
        storeLanes<W>(f.s4 + first, s4);
        storeLanes<W>(f.lp2S1 + first, lp2S1);
        storeLanes<W>(f.lp2S2 + first, lp2S2);
        storeLanes<W>(f.cutoff + first, cutoff);
        storeLanes<W>(f.twoOverG + first, c.twoOverG);
        storeLanes<W>(f.stageGain + first, c.stageGain);
        storeLanes<W>(f.g + first, c.g);
        storeLanes<W>(f.loopGain + first, c.loopGain);
        storeLanes<W>(f.solve + first, c.solve);
        storeLanes<W>(f.twoOverGG + first, c.twoOverGG);
    }

    // Once per host-rate sample, before step: w = each lane's cutoff as a
    // fraction of the host rate. The coefficients are computed again only
    // when a lane's cutoff moved (a NaN always computes; it is clamped).
    [[gnu::always_inline]] void setCutoff(V w, int type)
    {
        if (!anyLane(w != cutoff)) return;
        c = filterCoefficients<V>(w, type, k4, k2);
        cutoff = w;
    }

    // One oversampled step: x in, the output out.
    [[gnu::always_inline]] V step(V x, int type)
    {
        if (type == filter_detail::kLp2Type) return lp2Step<V>(x, lp2S1, lp2S2, c, k2);
        return ladderStep<V>(x, s1, s2, s3, s4, c, k4, gain, type);
    }
};

} // namespace Veldane
