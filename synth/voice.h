#pragma once
// One voice of the engine: two oscillators, DC blockers and ring modulation,
// the filter, two envelopes and the glide. The engine steps it once per output
// sample and it produces two oversampled values. A voice reads the engine's
// settings through its `engine` pointer; voices live in the engine's fixed
// array and never move, so the voice managers may keep pointers to them.
#include "synth/envelope.h"
#include "synth/filter.h"
#include "synth/modulation.h"
#include "synth/oscillators.h"
#include "synth/pow2.h"

namespace Veldane {

class Engine;

// One output sample's values of a voice that its oscillators and its filter share.
struct VoiceFrame {
    double inc1 = 0.0;    // oscillator 1's increment, cycles per oversampled step
    double inc2 = 0.0;    // oscillator 2's increment
    double shape = 0.0;   // oscillator 1's shape value t (skew or width, before its clamp)
    double amp = 0.0;     // amp envelope value, the gain after the filter
    double cutoff = 0.0;  // filter cutoff as a fraction of the host rate
};

// What every voice's modulation reads of the engine in one output sample,
// gathered once for all voices (Engine::modulationInputs). The values that
// do not depend on a voice are worked out here, by the same operations each
// voice would apply.
struct ModulationInputs {
    double osc1Increment = 0.0;   // the engine-wide parts of the increments, cycles per step
    double osc2Increment = 0.0;
    bool pitchFromEnvelope = false;  // pitch modulation comes from the mod envelope
    double pitchModDepth = 0.0;      // its depth, octaves at full modulation
    bool pitchModOsc1 = false;       // the envelope's pitch modulation reaches oscillator 1
    bool pitchModOsc2 = false;       // ... and oscillator 2
    double cutoffOctaves = 0.0;      // the cutoff setting, octaves (with the note's offset: the cutoff)
    double filterModAmount = 0.0;    // cutoff modulation depth, octaves at full modulation
    bool filterFromLfo = false;      // the cutoff follows the LFO (else the mod envelope)
    double lfoFilterMod = 0.0;       // the LFO's cutoff modulation value, LFO x fade
    ShapeModulation shape;           // oscillator 1's shape value
};

class Voice {
public:
    Engine* engine = nullptr;      // the owner, set by the engine's constructor
    double notePitch = 0.0;        // note / 12, octaves above MIDI note 0
    int note = 0;                  // MIDI note number of the current note
    bool gate = false;             // key (or pedal) holds the note; for the voice managers
    double keyTrackOffset = 0.0;   // cutoff offset of this note incl. pitchBase, octaves
    bool osc1Active = false;       // oscillator 1 is computed (heard, or a sync/ring source)
    bool osc2Active = false;       // oscillator 2 is computed (heard)
    bool restartPending = false;   // seed the oscillator phases at the next sample

    Oscillator1 osc1;
    Oscillator2 osc2;

    Envelope amp;  // scales the filtered signal
    Envelope mod;  // modulation source for pitch, shape and cutoff

    // Its states and resonance; the engine runs it in lanes beside the other
    // voices' filters (FilterLanes) and computes its coefficients there.
    Filter filter;

    double dc2 = 0.0;      // oscillator 2's DC-blocker state (its running mean)
    double dcRing = 0.0;   // ring-modulation DC-blocker state
    double dc2Coef = 0.0;     // one-pole coefficient per oversampled step: 2 pi x 10 / host rate
    double dcRingCoef = 0.0;  // the same for the ring-modulation blocker

    bool glideActive = false;  // the pitch is moving toward glideTarget
    double glideTarget = 0.0;  // octaves
    double glidePitch = 0.0;   // current pitch of the note, octaves
    double glideCoef = 1.0;    // one-pole coefficient per output sample; 1 = no glide

    // Audio thread (the voice managers), between rendered segments; so are
    // trigger and release. Sets the note; with glide the pitch moves there
    // from where it stands, otherwise it jumps.
    void setNote(int note, bool glide);
    // Starts both envelopes from their current levels; a silent voice is
    // marked for phase seeding.
    void trigger();
    // Sends both envelopes into release.
    void release();
    // The amp envelope is not idle (what the voice managers call sounding).
    bool isSounding() const { return !amp.isIdle(); }
    // Either envelope is not idle: the engine computes the voice.
    bool isActive() const { return !amp.isIdle() || !mod.isIdle(); }
    // Nothing of the voice's own moves from sample to sample (both envelopes
    // sustaining or idle, no glide, no phases to seed): its next modulate
    // changes no state and, given the same inputs, makes the same frame again.
    bool settled() const
    {
        const auto still = [](const Envelope& e) {
            return e.stage == Envelope::Stage::Sustain || e.stage == Envelope::Stage::Idle;
        };
        return still(amp) && still(mod) && !glideActive && !restartPending;
    }
    // No state the voice carries from sample to sample (filter, DC blockers,
    // envelope levels, glide, oscillator phases) holds NaN or infinity.
    // Sixteen additions; the engine asks once per rendered segment.
    bool stateIsFinite() const;
    // Back to silence as a voice that never played: idle, every state
    // cleared, no key holding it (settings and the last note stay), so the
    // voice managers find it free and the next note starts it afresh.
    void silence();

    // The modulation part of one output sample (audio thread): steps the
    // envelopes and the glide, seeds the phases of a voice that starts and
    // works out the sample's frame from the engine's values of the sample.
    // The engine then runs the oscillators, the mix and the filter of its
    // voices together (synth/voice_lanes.h).
    inline void modulate(const ModulationInputs& in, VoiceFrame& frame);

private:
    // One output sample of an active glide.
    void stepGlide();
    void seedPhases(double inc1, double inc2);

    // Last 2^x of each per-sample exponent, reused while its input stands still.
    Pow2Cache pitch1Cache_;
    Pow2Cache pitch2Cache_;
    Pow2Cache cutoffCache_;
};

inline void Voice::modulate(const ModulationInputs& in, VoiceFrame& f)
{
    const double m = mod.step();
    const double envPitchMod = in.pitchFromEnvelope ? in.pitchModDepth * m : 0.0;
    if (glideActive) stepGlide();
    f.inc1 = pitch1Cache_(glidePitch + (in.pitchModOsc1 ? envPitchMod : 0.0)) * in.osc1Increment;
    f.inc2 = pitch2Cache_(glidePitch + (in.pitchModOsc2 ? envPitchMod : 0.0)) * in.osc2Increment;
    if (restartPending) {
        seedPhases(f.inc1, f.inc2);
        restartPending = false;
    }
    const double cutoffMod = in.filterFromLfo ? in.lfoFilterMod : m;
    f.cutoff = cutoffCache_(in.cutoffOctaves + keyTrackOffset + in.filterModAmount * cutoffMod);
    f.shape = in.shape.at(m);
    f.amp = amp.step();
}

} // namespace Veldane
