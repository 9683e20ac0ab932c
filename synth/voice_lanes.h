#pragma once
// The voices the engine computes, side by side in pairs of lanes (see
// synth/lanes.h): per output sample, each voice's modulation is worked out on
// its own (Voice::modulate: envelopes, glide, increments, cutoff), then both
// oscillators, the DC blockers, the ring modulation, the mix and the filter
// run two voices at a time.
//
// An oscillator step without an event (no wrap, corner, edge or sync within
// it) is the same few operations for every voice and runs in lanes; a pair in
// which either voice meets an event steps those voices one at a time through
// the voice's own oscillator (synth/oscillators.h), which owns the
// corrections. Both are the same operations in the same order, so each voice
// gives the bits it gives computed alone.
//
// The voices stay the owners of their state between rendered segments: load
// copies the running state of the voices to compute into the lanes, store
// hands it back, so the voice managers and every reader of a voice see it as
// before. Audio thread, between and within rendered segments; never allocates.
#include "synth/filter.h"
#include "synth/lanes.h"
#include "synth/voice.h"

namespace Veldane {

class Engine;

class VoiceLanes {
public:
    static constexpr int kMaxVoices = 8;
    static constexpr int kPairs = kMaxVoices / kLanesPerPair;

    // Takes the active ones among voices[0..count-1] into the lanes, in voice
    // order (the order of their sum), with the engine's current settings
    // (waveforms, filter type), which stand still until store.
    void load(const Engine& engine, Voice* voices, int count, int filterType);
    // Hands the lanes' running state back to their voices.
    void store();

    // One output sample of every voice in the lanes: the sums of each of the
    // two oversampled values, added in voice order. Answers whether a voice
    // fell idle in it (the caller then stores and loads again, so the next
    // sample leaves that voice out).
    bool render(const Engine& engine, double& sum1, double& sum2);

private:
    // One oscillator's running state in lanes: the correction window, the
    // phase, and the skew (oscillator 1's triangle) or the level (pulses).
    template <int kN>
    struct OscillatorState {
        LaneArray<kN> tap0, tap1, tap2, tap3, phase, extra;
    };
    using OscillatorLanes = OscillatorState<kPairs>;

    void loadOscillators(int lane);
    void storeOscillators(int lane);
    // One oversampled step of pair p: oscillator 1, then oscillator 2 with
    // its DC blocker and the ring modulation, summed into the mix.
    Double2 oscillate(const Engine& engine, int p);
    Double2 stepOsc1(int p, Double2& sync);
    Double2 stepOsc2(int p, Double2 sync);

    Voice* voice_[kMaxVoices] = {};
    int count_ = 0;
    int osc1Waveform_ = 0;  // the engine's settings while loaded
    int osc2Waveform_ = 0;
    bool osc1Active_ = false;
    bool osc2Active_ = false;

    // This sample's values of each voice (VoiceFrame), and the increments
    // and shape as the oscillators hold them (safe increment, clamped shape).
    LaneArray<kPairs> inc1_, inc2_, shape_, amp_, cutoff_;
    LaneArray<kPairs> safeInc1_, safeInc2_, clampedShape_;

    OscillatorLanes osc1_, osc2_;
    LaneArray<kPairs> dc2_, dcRing_, dc2Coef_, dcRingCoef_;  // the voices' DC blockers
    LaneArray<kPairs> signal_[2];  // the two oversampled values: the mix, then the filter's output
    FilterLanes<kPairs> filters_;
};

} // namespace Veldane
