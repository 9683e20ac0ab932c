#include "synth/filter.h"

#include <limits>

namespace Veldane {

namespace {

// Ladder feedback per unit of Q: a four-pole ladder self-oscillates at a loop
// gain of 4, so full Q sits just past the onset and sings.
constexpr double kLadderResonance = 4.1;
// Two-pole feedback per unit of Q: its peak becomes infinite at 2, so full Q
// rings strongly while the saturator keeps it finite.
constexpr double kLp2Resonance = 2.1;

} // namespace

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
    coefficients = filterCoefficients(w, type, k4, k2);
}

double Filter::process(double x)
{
    if (type == kLp2)
        return lp2Step(x, lp2S1, lp2S2, coefficients, k2);
    return ladderStep(x, s1, s2, s3, s4, coefficients, k4, ladderGain, type);
}

void FilterLanes::load(int lane, const Filter& f)
{
    s1[lane] = f.s1;
    s2[lane] = f.s2;
    s3[lane] = f.s3;
    s4[lane] = f.s4;
    lp2S1[lane] = f.lp2S1;
    lp2S2[lane] = f.lp2S2;
    k4[lane] = f.k4;
    k2[lane] = f.k2;
    gain[lane] = f.ladderGain;
    // NaN equals no cutoff, so the next setCutoff computes.
    cutoff[lane] = std::numeric_limits<double>::quiet_NaN();
    twoOverG[lane] = stageGain[lane] = g[lane] = loopGain[lane] = solve[lane] = twoOverGG[lane] = 0.0;
}

void FilterLanes::store(int lane, Filter& f) const
{
    f.s1 = s1[lane];
    f.s2 = s2[lane];
    f.s3 = s3[lane];
    f.s4 = s4[lane];
    f.lp2S1 = lp2S1[lane];
    f.lp2S2 = lp2S2[lane];
}

} // namespace Veldane
