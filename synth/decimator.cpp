#include "synth/decimator.h"

namespace Veldane {

HalfBandDecimator::HalfBandDecimator()
{
    a1.coef = kCoefA1;
    a2.coef = kCoefA2;
    b1.coef = kCoefB1;
    b2.coef = kCoefB2;
}

} // namespace Veldane
