#pragma once
// The voice filter: a four-stage ladder (LP4, or a band-pass mix of its stage
// outputs) or a two-stage low-pass, built from trapezoidal one-pole stages with
// the resonance feedback solved for the current sample and one cubic saturator.

namespace Veldane {

// Cubic soft clipper u - u^3/6, flat beyond +-sqrt(2) at +-2*sqrt(2)/3.
double saturate(double u);

class Filter {
public:
    // 0 LP4, 1 LP2, 2 BP. Clears the ladder states (not the two-stage ones).
    void setType(int type);
    // Resonance 0..1.
    void setQ(double q);
    // Once per output sample: w = cutoff / host sample rate (clamped here).
    void setCutoff(double w);
    // Once per oversampled step.
    double process(double x);
};

} // namespace Veldane
