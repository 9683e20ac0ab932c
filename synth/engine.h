#pragma once
// The synthesis engine: eight voices computed at twice the host rate, summed,
// brought back to the host rate by a half-band decimator and scaled by the
// master volume. Shared by all voices: the LFO with its delayed fade-in, the
// smoothed pitch bend, a fast random pitch jitter and a slow random drift.
//
// Pitch is in octaves throughout (one semitone = 1/12); phase increments are
// 2^octaves in cycles per oversampled step.
//
// Threads: everything here runs on the audio thread while processing runs:
// render and the voice managers, and the settings, which the synthesizer's
// parameter routing writes at the start of a processing call (see
// synth/synth.h). setSampleRate and the first settings are written before
// processing starts.
#include <array>
#include <cstdint>

#include "framework/voice_manager.h"
#include "framework/voice_managers.h"
#include "synth/decimator.h"
#include "synth/filter.h"
#include "synth/lfo.h"
#include "synth/pow2.h"
#include "synth/voice.h"
#include "synth/voice_lanes.h"

namespace Veldane {

class Engine {
public:
    static constexpr int kVoiceCount = 8;
    // Voice-mode codes of setVoiceMode.
    static constexpr int kModeMonoRetrigger = 0;
    static constexpr int kModeMonoLegato = 1;
    static constexpr int kModePoly = 2;

    // ---- Settings (written by the parameter routing, directly or through the setters)
    double whiteNoise = 0.0;       // white noise of the current output sample, [-1, 1); written by render
    double cutoffOctaves = 0.0;    // cutoff: cutoffOctaves + pitchBase = log2(cutoff / host rate)
    int filterModSource = 0;       // 0 mod envelope, 1 LFO
    double filterModAmount = 0.0;  // cutoff modulation depth, octaves at full modulation
    double keyTrack = 0.0;         // filter keyboard tracking, fraction (1 = one octave per octave)
    int osc1Waveform = 0;          // 0 Tri, 1 Rect, 2 Noise
    double osc1ShapeAmount = 0.0;  // 0..1
    int osc1ShapeSource = 0;       // 0 manual, 1 mod envelope, 2 LFO
    double osc1Gain = 0.0;         // linear gain in the voice mix, 0 = off (write through setOsc1Gain)
    double osc1Octaves = 0.0;      // pitch offset of oscillator 1: masterTune + oscDetune
    int osc2Waveform = 0;          // 0 Tri, 1 Rect, 2 Saw
    double osc2Detune = 0.0;       // octaves
    bool osc2Sync = false;         // oscillator 2 hard-synced to oscillator 1 (setOsc2Sync)
    bool osc2RingMod = false;      // oscillator 2 replaced by its ring modulation (setOsc2RingMod)
    double osc2Gain = 0.0;         // linear gain in the voice mix, 0 = off (setOsc2Gain)
    double osc2Octaves = 0.0;      // pitch offset of oscillator 2: masterTune - oscDetune + osc2Detune
    double masterTune = 0.0;       // octaves
    double oscDetune = 0.0;        // octaves; spreads the two oscillators apart symmetrically
    int pitchModSource = 0;        // 0 mod envelope, 1 LFO
    double pitchModDepth = 0.0;    // signed depth, octaves at full modulation (setPitchModDepth)
    bool pitchModOsc1 = false;     // pitch modulation reaches oscillator 1
    bool pitchModOsc2 = false;     // pitch modulation reaches oscillator 2
    double bendRange = 0.0;        // octaves for a full bend

    // ---- Derived and running state
    double pitchBase = 0.0;        // log2(4.0878994578 Hz / host rate): 2^(pitchBase + note/12)
                                   // is the note's increment per oversampled step
    double osc1Increment = 0.0;    // engine-wide part of oscillator 1's increment, cycles per step
    double osc2Increment = 0.0;    // engine-wide part of oscillator 2's increment, cycles per step
    double osc1FreePhase = 0.0;    // free-running phase that seeds starting voices, cycles (unwrapped)
    double osc2FreePhase = 0.0;    // the same for oscillator 2
    bool phaseResetPending = false;  // zero both free phases before the next rendered sample
    double bendTarget = 0.0;       // pitch-bend target, octaves; written by the block loop
    double bendSmoothed = 0.0;     // smoothed bend, octaves
    double bendCoef = 0.0;         // one-pole coefficient per output sample (50 ms)
    double jitterCoef = 0.0;       // one-pole coefficient per 64 samples (10 ms)
    double jitterStage1 = 0.0;     // first smoothing stage of the jitter noise, -1..1
    double jitterStage2 = 0.0;     // second stage: the jitter, -1..1 (x 0.015 octave)
    int jitterCounter = 0;         // samples since the last jitter step, 0..63
    double driftCoef = 0.0;        // one-pole coefficient per 64 samples (1 s)
    double driftStage1 = 0.0;      // first smoothing stage of the drift noise, -1..1
    double driftStage2 = 0.0;      // second stage: the drift, -1..1 (x 0.3 octave)
    int driftCounter = 0;          // samples since the last drift step, 0..63
    std::array<Voice, kVoiceCount> voices;
    zem::IVoiceManager* voiceManager = nullptr;  // the active manager (one of the members below)
    int voiceMode = -1;            // 0 mono retrigger, 1 mono legato, 2 poly; -1 before the first choice
    Lfo lfo;                       // the global LFO and its delay fade
    double outputGain = 0.0;       // master volume as a linear gain x 0.5 (the decimator sums two branches)
    HalfBandDecimator decimator;

    Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Host sample rate in Hz; ignored unless finite and > 0. The parameter
    // routing re-applies the rate-dependent parameters (LFO frequency,
    // envelope and glide times) before calling this. Dispatcher thread, never
    // during a render.
    void setSampleRate(double sampleRate);

    // Audio thread: writes exactly count samples at out (nothing for count <= 0);
    // never allocates, locks or calls the system. The two are one computation;
    // the float variant rounds each sample to the nearest float.
    void render(int count, float* out);
    void render(int count, double* out);

    // Audio thread, at every note-on: restarts the LFO's delayed fade-in.
    void restartLfoDelay();

    // Setters that also restore the oscillator activity flags in every voice.
    void setOsc1Gain(double gain);
    void setOsc2Gain(double gain);
    void setOsc2Sync(bool on);
    void setOsc2RingMod(bool on);
    // d in -1..1 (negative when inverted); the depth grows with d^2 up to 2 octaves.
    void setPitchModDepth(double d);
    // 0 LP4, 1 LP2, 2 BP: clears every voice's ladder state.
    void setFilterType(int type);
    // Resonance 0..1, in every voice.
    void setFilterQ(double q);

    // 0 mono retrigger, 1 mono legato, 2 poly: releases every voice and starts a
    // fresh manager of that kind. Other codes change nothing. It re-assigns the
    // manager the block loop calls, so it runs between rendered segments (or
    // before processing starts); never allocates.
    void setVoiceMode(int code);

    // Any voice computed at all (false: render writes zeros and nothing moves).
    bool anyVoiceActive() const;
    // The type of every voice's filter (setFilterType).
    int filterType() const { return filterType_; }

private:
    template <typename Sample>
    void renderSamples(int count, Sample* out);
    // One output sample of the modulation every voice shares: the LFO, the
    // bend, the random jitter and drift, the increments and the white noise.
    // Inline, as the next: renderSamples (engine.cpp) alone calls them, and
    // built in registers their values reach the voices without stalls.
    [[gnu::always_inline]] inline void stepSharedModulation();
    // The values of the current output sample that every voice's modulation
    // reads (after the LFO's step and the increments).
    [[gnu::always_inline]] inline ModulationInputs modulationInputs() const;
    void updateActivityFlags();
    // Takes the voices to compute (the active ones) into the lanes, and hands
    // their state back. A voice that falls idle mid-segment leaves the lanes
    // at the end of the sample that ended it.
    void loadLanes();
    void storeLanes();
    // Silences every active voice whose state became non-finite and clears
    // the decimator's memory if it did: a NaN would otherwise stay in the
    // recursions for good, and the output guard would silence every later
    // note. Once per rendered segment; some 140 additions for eight voices.
    void recoverFromNonFiniteState();

    // Last 2^x of the two engine-wide increments, reused while their input stands still.
    Pow2Cache osc1IncrementCache_;
    Pow2Cache osc2IncrementCache_;

    // The active voices, computed together (loadLanes at the start of a
    // rendered segment and after a voice falls idle; storeLanes at its end).
    VoiceLanes lanes_;
    int filterType_ = Filter::kLp4;    // the type of every voice's filter (setFilterType)

    // One manager of each kind, held by value so that a mode change re-assigns
    // a fresh one in place instead of allocating.
    zem::MonoRetriggerVoiceManager<Voice> monoRetrigger_;
    zem::MonoLegatoVoiceManager<Voice> monoLegato_;
    zem::PolyVoiceManager<Voice, kVoiceCount> poly_;
};

} // namespace Veldane
