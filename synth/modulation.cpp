#include "synth/modulation.h"

#include "synth/oscillators.h"

namespace Veldane {

namespace {

// The triangle is centred so that it swings pitch both ways around the note;
// the square stays unipolar so that it moves between the note and a raised one
// (a trill rather than a pair of detuned notes).
constexpr double kTriCentre = 0.5;

// Oscillator 1's shape modulation for Rect and Noise is scaled so the pulse
// never narrows to a silent sliver: width stays within 0.05..0.95.
constexpr double kPulseShapeRange = 0.9;
constexpr double kSymmetric = 0.5; // shape value of a symmetric triangle / square pulse

} // namespace

double lfoPitchMod(const Lfo& lfo, int pitchModSource, double pitchModDepth)
{
    if (pitchModSource != kModFromLfo)
        return 0.0;
    const double centre = lfo.waveform == Lfo::kTri ? kTriCentre : 0.0;
    return (lfo.value - centre) * lfo.fade * pitchModDepth;
}

double filterModValue(const Lfo& lfo, int filterModSource, double modEnvelope)
{
    // The LFO enters unipolar, so it only opens the filter from the set cutoff.
    return filterModSource == kModFromLfo ? lfo.value * lfo.fade : modEnvelope;
}

double osc1ShapeValue(int osc1Waveform, double amount, int source, double modEnvelope, const Lfo& lfo)
{
    double a = amount;
    if (osc1Waveform != Oscillator1::kTri)
        a *= kPulseShapeRange;
    if (source == kShapeManual)
        return (a + 1.0) * 0.5;
    if (source == kShapeFromEnvelope)
        return kSymmetric - a * 0.5 + a * modEnvelope;
    if (lfo.waveform == Lfo::kTri)
        return a * lfo.fade * (lfo.value - kTriCentre) + kSymmetric;
    return a * lfo.fade * (lfo.value * 0.5) + kSymmetric;
}

} // namespace Veldane
