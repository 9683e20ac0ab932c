#pragma once
// The coefficient of a one-pole smoother y += (x - y) * c, as the engine
// derives it from a time and the host's sample rate (envelope segments,
// glide, the DC blockers, the pitch smoothers, the LFO's fade-in).

namespace Veldane {

// A one-pole follows its input without overshoot for c in [0, 1] (1 jumps to
// the input at once, 0 holds still); between 1 and 2 it rings, from 2 on it
// runs away. A time shorter than about one step at the host's rate computes
// to more than 1 (the DC blockers' does below 63 Hz), so every coefficient
// derived from the rate is held here: above 1, or not a number, it is 1;
// below 0 it is 0. Values inside the range pass unchanged, bit for bit.
inline double stableOnePole(double c)
{
    if (!(c <= 1.0))
        return 1.0;
    return c < 0.0 ? 0.0 : c;
}

} // namespace Veldane
