#include "synth/decimator.h"

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

} // namespace Veldane
