#pragma once
// How the modulation sources (LFO with its fade, mod envelope, manual setting)
// reach pitch, oscillator-1 shape and cutoff.
#include "synth/lfo.h"

namespace Veldane {

// Source codes of the pitch and cutoff modulation (Engine::pitchModSource,
// Engine::filterModSource).
constexpr int kModFromEnvelope = 0;
constexpr int kModFromLfo = 1;
// Source codes of oscillator 1's shape (Engine::osc1ShapeSource).
constexpr int kShapeManual = 0;
constexpr int kShapeFromEnvelope = 1;
constexpr int kShapeFromLfo = 2;

// Engine-wide LFO pitch modulation in octaves (0 unless the source is the LFO).
double lfoPitchMod(const Lfo& lfo, int pitchModSource, double pitchModDepth);
// Per-voice cutoff modulation value (before the depth): LFO x fade, or the mod envelope.
double filterModValue(const Lfo& lfo, int filterModSource, double modEnvelope);
// Oscillator 1's shape value t (skew of Tri, width of Rect), before its clamp.
double osc1ShapeValue(int osc1Waveform, double amount, int source, double modEnvelope, const Lfo& lfo);

} // namespace Veldane
