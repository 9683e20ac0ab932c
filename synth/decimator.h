#pragma once
// Half-band decimator from the oversampled rate back to the host rate.
//
// A polyphase IIR half-band: each branch is two first-order allpass sections
// in series; the first oversampled value of an output sample runs through
// branch A, the second through branch B, and the branch outputs are summed.
// The branches' phase responses agree below a quarter of the oversampled rate
// and differ by half a turn above it, so the sum passes the audio band at a
// gain of 2 and cancels what would fold back from above the host's Nyquist
// frequency. The caller scales by 0.5 (folded into the output gain).

namespace Veldane {

// y = (x - yPrev) * coef + xPrev: a first-order allpass in the form with one
// multiply per sample. 1e-18 keeps the recursion clear of denormals.
struct AllpassSection {
    double coef = 0.0;  // allpass coefficient
    double xPrev = 0.0; // previous input
    double yPrev = 0.0; // previous output

    [[gnu::always_inline]] double process(double x)
    {
        const double y = (x - yPrev + kDenormalGuard) * coef + xPrev;
        xPrev = x;
        yPrev = y;
        return y;
    }

    static constexpr double kDenormalGuard = 1e-18;
};

class HalfBandDecimator {
public:
    // Coefficients of a four-section design whose stop band begins just
    // above the host's Nyquist frequency.
    static constexpr double kCoefA1 = 0.28382934487411;
    static constexpr double kCoefA2 = 0.834411891480737;
    static constexpr double kCoefB1 = 0.0798664262363575;
    static constexpr double kCoefB2 = 0.545323651071132;

    AllpassSection a1, a2; // branch of the first oversampled value
    AllpassSection b1, b2; // branch of the second oversampled value

    HalfBandDecimator();

    // Clears the sections' memory (coefficients stay).
    void reset();
    // No section's memory holds NaN or infinity.
    bool stateIsFinite() const;

    // Two oversampled values in, one host-rate value out (gain 2 in the pass
    // band). Always inlined, here and in the voice loop compiled for wider
    // targets, so that no copy of it is shared between them.
    [[gnu::always_inline]] double process(double first, double second)
    {
        return a2.process(a1.process(first)) + b2.process(b1.process(second));
    }
};

} // namespace Veldane
