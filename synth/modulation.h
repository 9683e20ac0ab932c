#pragma once
// How the modulation sources (LFO with its fade, mod envelope, manual setting)
// reach pitch, oscillator-1 shape and cutoff.
#include "synth/lfo.h"
#include "synth/oscillators.h"

namespace Veldane {

// Source codes of the pitch and cutoff modulation (Engine::pitchModSource,
// Engine::filterModSource).
constexpr int kModFromEnvelope = 0;
constexpr int kModFromLfo = 1;
// Source codes of oscillator 1's shape (Engine::osc1ShapeSource).
constexpr int kShapeManual = 0;
constexpr int kShapeFromEnvelope = 1;
constexpr int kShapeFromLfo = 2;

namespace modulation_detail {

// The triangle is centred so that it swings pitch both ways around the note;
// the square stays unipolar so that it moves between the note and a raised one
// (a trill rather than a pair of detuned notes).
constexpr double kTriCentre = 0.5;

// Oscillator 1's shape modulation for Rect and Noise is scaled so the pulse
// never narrows to a silent sliver: width stays within 0.05..0.95.
constexpr double kPulseShapeRange = 0.9;
constexpr double kSymmetric = 0.5; // shape value of a symmetric triangle / square pulse

} // namespace modulation_detail

// Engine-wide LFO pitch modulation in octaves (0 unless the source is the LFO).
inline double lfoPitchMod(const Lfo& lfo, int pitchModSource, double pitchModDepth)
{
    if (pitchModSource != kModFromLfo)
        return 0.0;
    const double centre = lfo.waveform == Lfo::kTri ? modulation_detail::kTriCentre : 0.0;
    return (lfo.value - centre) * lfo.fade * pitchModDepth;
}

// Per-voice cutoff modulation value (before the depth): LFO x fade, or the mod envelope.
inline double filterModValue(const Lfo& lfo, int filterModSource, double modEnvelope)
{
    // The LFO enters unipolar, so it only opens the filter from the set cutoff.
    return filterModSource == kModFromLfo ? lfo.value * lfo.fade : modEnvelope;
}

// How oscillator 1's shape value t (skew of Tri, width of Rect, before its
// clamp) follows the mod envelope m in one output sample: base + amount x m
// when the envelope moves it, base alone otherwise (manual, or the LFO,
// whose part is the same for every voice).
struct ShapeModulation {
    bool fromEnvelope = false;
    double amount = 0.0;  // the envelope's weight a (scaled for the pulse)
    double base = 0.0;    // 0.5 - a/2 with the envelope; otherwise the shape value itself

    double at(double modEnvelope) const { return fromEnvelope ? base + amount * modEnvelope : base; }
};

inline ShapeModulation osc1ShapeModulation(int osc1Waveform, double amount, int source, const Lfo& lfo)
{
    using namespace modulation_detail;
    double a = amount;
    if (osc1Waveform != Oscillator1::kTri)
        a *= kPulseShapeRange;
    ShapeModulation s;
    if (source == kShapeManual) {
        s.base = (a + 1.0) * 0.5;
    } else if (source == kShapeFromEnvelope) {
        s.fromEnvelope = true;
        s.amount = a;
        s.base = kSymmetric - a * 0.5;
    } else if (lfo.waveform == Lfo::kTri) {
        s.base = a * lfo.fade * (lfo.value - kTriCentre) + kSymmetric;
    } else {
        s.base = a * lfo.fade * (lfo.value * 0.5) + kSymmetric;
    }
    return s;
}

// Oscillator 1's shape value t for the mod envelope's value m.
inline double osc1ShapeValue(int osc1Waveform, double amount, int source, double modEnvelope, const Lfo& lfo)
{
    return osc1ShapeModulation(osc1Waveform, amount, source, lfo).at(modEnvelope);
}

} // namespace Veldane
