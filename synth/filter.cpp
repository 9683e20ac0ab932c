#include "synth/filter.h"

namespace Veldane {

namespace {

// The cubic u - u^3/6 has zero slope at u = sqrt(2), where it reaches
// 2*sqrt(2)/3; holding that value beyond keeps the curve smooth and monotonic.
constexpr double kSaturateKnee = 1.4142135623730951;  // sqrt(2)
constexpr double kSaturateLimit = 0.9428090415820634; // 2*sqrt(2)/3
constexpr double kOneSixth = 0.16666666666666666;

// Ladder feedback per unit of Q: a four-pole ladder self-oscillates at a loop
// gain of 4, so full Q sits just past the onset and sings.
constexpr double kLadderResonance = 4.1;
// Two-pole feedback per unit of Q: its peak becomes infinite at 2, so full Q
// rings strongly while the saturator keeps it finite.
constexpr double kLp2Resonance = 2.1;

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

// One trapezoidal one-pole low-pass step: input a, state s, returns the output.
inline double stage(double a, double& s, double twoOverG, double bigG, double g)
{
    const double b = (s * twoOverG + a) * bigG;
    s += (a - b) * g;
    return b;
}

} // namespace

double saturate(double u)
{
    if (u > kSaturateKnee)
        return kSaturateLimit;
    if (u < -kSaturateKnee)
        return -kSaturateLimit;
    return u - u * kOneSixth * u * u;
}

void Filter::setType(int newType)
{
    type = newType;
    s1 = s2 = s3 = s4 = 0.0;
}

void Filter::reset()
{
    s1 = s2 = s3 = s4 = 0.0;
    lp2S1 = lp2S2 = 0.0;
    coefficientCutoff = kNoCoefficients;
}

void Filter::setQ(double q)
{
    // Resonance is a normalized 0..1 value; outside it the ladder's solving
    // denominator 1 + k4*G^4 could reach zero, so hold it in range (NaN to 0).
    if (!(q >= 0.0))
        q = 0.0;
    else if (q > 1.0)
        q = 1.0;
    k4 = q * kLadderResonance;
    ladderGain = k4 * 0.5 + 1.0;
    k2 = q * kLp2Resonance;
}

void Filter::setCutoff(double w)
{
    if (w == coefficientCutoff && type == coefficientType && k4 == coefficientK4 && k2 == coefficientK2)
        return;
    coefficientCutoff = w;
    coefficientType = type;
    coefficientK4 = k4;
    coefficientK2 = k2;
    // A NaN cutoff falls to the lower limit rather than poisoning the states.
    if (w > kMaxCutoff)
        w = kMaxCutoff;
    else if (!(w >= kMinCutoff))
        w = kMinCutoff;
    const double g = w * kHalfPi;
    const double bigG = g / (g + 1.0);
    if (type == kLp2) {
        lp2TwoOverG = 2.0 / g;
        lp2G2 = bigG * bigG;
        lp2D2 = 1.0 / ((lp2G2 - bigG) * k2 + 1.0);
        lp2StageGain = bigG;
        lp2G = g;
    } else {
        ladderTwoOverG = 2.0 / g;
        const double g2 = bigG * bigG;
        ladderG4 = g2 * g2;
        ladderD4 = 1.0 / (ladderG4 * k4 + 1.0);
        ladderStageGain = bigG;
        ladderG = g;
    }
}

double Filter::process(double x)
{
    if (type == kLp2) {
        const double tg = lp2TwoOverG;
        const double G = lp2StageGain;
        const double g = lp2G;
        // Output of the cascade solved with this sample's feedback included.
        const double u = ((tg * G * lp2S1 + lp2S2 * tg) * G + lp2G2 * x) * lp2D2;
        const double f = k2 * saturate(u);
        const double y1 = stage(x - f, lp2S1, tg, G, g);
        return stage(y1 + f, lp2S2, tg, G, g);
    }

    const double tg = ladderTwoOverG;
    const double G = ladderStageGain;
    const double g = ladderG;
    // The part of the fourth stage's output that the states alone decide.
    const double e = (((tg * G * s1 + s2 * tg) * G + s3 * tg) * G + s4 * tg) * G;
    const double u = saturate(x - (e + ladderG4 * x) * ladderD4 * k4);
    const double y1 = stage(u, s1, tg, G, g);
    const double y2 = stage(y1, s2, tg, G, g);
    const double y3 = stage(y2, s3, tg, G, g);
    const double y4 = stage(y3, s4, tg, G, g);
    if (type == kLp4)
        return ladderGain * y4;
    return (y2 + y4) * kBpOuterTaps - y3 * kBpMiddleTap;
}

} // namespace Veldane
