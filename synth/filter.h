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

namespace Veldane {

// Cubic soft clipper u - u^3/6, flat beyond +-sqrt(2) at +-2*sqrt(2)/3.
double saturate(double u);

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

    // Ladder: resonance, coefficients (recomputed by setCutoff), states.
    double k4 = 0.0;               // ladder feedback gain, 4.1 * q; self-oscillation sets in near 4
    double ladderTwoOverG = 0.0;   // 2/g of the ladder stages
    double ladderG4 = 0.0;         // G^4: the ladder's instantaneous gain from u to y4
    double ladderD4 = 1.0;         // 1 / (1 + k4*G^4): solves the feedback loop
    double ladderStageGain = 0.0;  // G = g / (g + 1), the stages' instantaneous gain
    double ladderG = 0.0;          // g, the stages' integrator gain per oversampled step
    double ladderGain = 1.0;       // LP4 output gain 1 + k4/2: restores the pass band that feedback removes
    double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;  // ladder stage states (trapezoidal integrator memory)
    int type = kLp4;               // kLp4, kLp2 or kBp: which structure runs and which output is taken

    // Two-stage low-pass: resonance, coefficients, states.
    double k2 = 0.0;               // two-stage feedback gain, 2.1 * q; the peak grows as it nears 2
    double lp2TwoOverG = 0.0;      // 2/g of the two stages
    double lp2G2 = 0.0;            // G^2: the cascade's instantaneous gain from input to output
    double lp2D2 = 1.0;            // 1 / ((G^2 - G)*k2 + 1): solves the feedback loop
    double lp2StageGain = 0.0;     // G = g / (g + 1)
    double lp2G = 0.0;             // g per oversampled step
    double lp2S1 = 0.0, lp2S2 = 0.0;  // two-stage states; kept across type changes

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

} // namespace Veldane
