#pragma once
// The plain value a normalized script value stands for in Veldane, through
// the synthesizer's own parameter classes: what the claphost tool and the
// tests send as CLAP parameter values, so a script gives the same engine
// settings through CLAP as through VST 2.4.
#include <cmath>

#include "framework/plain_value.h"
#include "synth/parameters.h"

namespace claphost {

// Not thread-safe (one table, reused); NaN for an index without a parameter
// or a value the parameter refuses.
inline double veldanePlainOf(int index, float normalized) {
    static Veldane::Parameters table;
    zem::Parameter* p = table.at(index);
    if (p == nullptr || !p->setNormalized(normalized)) return std::nan("");
    return zem::plainRangeOf(*p).current;
}

} // namespace claphost
