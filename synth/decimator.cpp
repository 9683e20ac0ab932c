#include "synth/decimator.h"

#include <cmath>
#include <initializer_list>

namespace Veldane {

HalfBandDecimator::HalfBandDecimator()
{
    a1.coef = kCoefA1;
    a2.coef = kCoefA2;
    b1.coef = kCoefB1;
    b2.coef = kCoefB2;
}

void HalfBandDecimator::reset()
{
    for (AllpassSection* s : {&a1, &a2, &b1, &b2}) {
        s->xPrev = 0.0;
        s->yPrev = 0.0;
    }
}

bool HalfBandDecimator::stateIsFinite() const
{
    // NaN and infinity carry through a sum.
    return std::isfinite(a1.xPrev + a1.yPrev + a2.xPrev + a2.yPrev + b1.xPrev + b1.yPrev + b2.xPrev + b2.yPrev);
}

} // namespace Veldane
