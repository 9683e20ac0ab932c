#include "synth/envelope.h"

#include "synth/one_pole.h"

namespace Veldane {

namespace {

// An attack from 0 aiming at 1.3 ends at 1 when the remaining distance has
// fallen to 0.3 / 1.3 = 3/13 of its start; -1 / ln(3/13) samples per sample of
// attack time makes that happen after about the requested number of samples.
constexpr double kAttackSamplesScale = 0.6819714384107117; // -1 / ln(3/13)
// Decay and release: the distance to the aim point falls to a tenth after
// about N samples when the coefficient is 1 / (N / ln 10 + 1).
constexpr double kTenthSamplesScale = 0.4342944819032518; // 1 / ln 10

} // namespace

double Envelope::attackCoefficient(double samples)
{
    return stableOnePole(1.0 / (kAttackSamplesScale * samples + 1.0));
}

double Envelope::decayCoefficient(double samples)
{
    return stableOnePole(1.0 / (samples * kTenthSamplesScale + 1.0));
}

} // namespace Veldane
