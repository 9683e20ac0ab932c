#pragma once
// The voices the engine computes, side by side in pairs of lanes (see
// synth/lanes.h), a chunk of output samples at a time:
//
// 1. Sample by sample, as the engine's shared modulation moves on, each
//    voice works out its own (Voice::modulate: envelopes, glide, increments,
//    cutoff) into the chunk's tables (modulate).
// 2. Then, pair by pair over the whole chunk, oscillator 1, oscillator 2 and
//    the mix with the DC blockers and the ring modulation, each in a loop of
//    its own that holds its state in registers (synthesize).
// 3. Then the filters, sample by sample, the pairs' steps interleaved: each
//    filter step is one long chain of dependent operations, and the pairs'
//    chains run side by side.
// 4. Last, each voice's output times its amp envelope, summed in voice order.
//
// With one pair (one or two voices) steps 2 and 3 share one loop instead,
// the oscillators' sample n computed at the start of the filter's sample n:
// a single filter's chain leaves the processor idle between its operations,
// and the oscillators' work fills those waits.
//
// An oscillator step without an event (no wrap, corner, edge or sync within
// it) is the same few operations for every voice and runs in lanes; when
// either voice of a pair meets an event, the pair's voices take that step one
// at a time through their own oscillators (synth/oscillators.h), which own
// the corrections. Both are the same operations in the same order, so each
// voice gives the bits it gives computed alone.
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

// The engine's settings the voices' oscillators, mix and filters follow,
// fixed for a rendered segment.
struct LaneSettings {
    int osc1Waveform = 0;      // Oscillator1::kTri, kRect or kNoise
    int osc2Waveform = 0;      // Oscillator2::kTri, kRect or kSaw
    bool osc1Active = false;   // oscillator 1 is computed (heard, or a sync/ring source)
    bool osc2Active = false;   // oscillator 2 is computed (heard)
    bool osc2Sync = false;     // oscillator 2 restarts where oscillator 1 wraps
    bool osc2RingMod = false;  // oscillator 2 is replaced by its ring modulation
    double osc1Gain = 0.0;     // linear gains in the mix
    double osc2Gain = 0.0;
    int filterType = Filter::kLp4;  // of every voice's filter
};

class VoiceLanes {
public:
    static constexpr int kMaxVoices = 8;
    static constexpr int kPairs = kMaxVoices / kLanesPerPair;
    // Output samples per chunk: enough that each loop's setting up is spread
    // thin, few enough that the chunk's tables (some 7 kB per pair) stay in
    // the first-level cache.
    static constexpr int kChunk = 32;
    static constexpr int kChunkSteps = 2 * kChunk;  // oversampled steps per chunk

    // Takes the active ones among voices[0..count-1] into the lanes, in voice
    // order (the order of their sum), with the engine's settings, which stand
    // still until store.
    void load(const Engine& engine, Voice* voices, int count);
    // Hands the lanes' running state back to their voices.
    void store();

    // Sample n (0..kChunk-1) of the chunk: each voice's modulation from the
    // engine's values of the sample (`in`; whiteNoise is the sample's noise).
    // Answers whether a voice fell idle in it: the chunk then ends with this
    // sample (synthesize it, then store and load again, so that the next
    // sample leaves that voice out).
    bool modulate(int n, const ModulationInputs& in, double whiteNoise);
    // Samples 0..count-1 of the chunk, modulated: the sums of each voice's
    // two oversampled values, added in voice order, into sum1[] and sum2[].
    void synthesize(int count, double* sum1, double* sum2);

    // One oscillator's running state in a pair of lanes: the correction
    // window, the phase, and the skew (oscillator 1's triangle) or the level
    // (pulses).
    struct OscillatorPair {
        StoredDouble2 tap0, tap1, tap2, tap3, phase, extra;
    };

private:
    // Where oscillator 1 wrapped in a step, for the hard sync: the lanes that
    // wrapped (bit i for lane i) and the positions in the step.
    struct SyncPositions {
        int lanes = 0;
        double position[kLanesPerPair] = {};
    };
    // One voice pair: its running state (oscillators, DC blockers, filter)
    // and the chunk's tables, per output sample n or per oversampled step s.
    struct Pair {
        OscillatorPair osc1, osc2;
        StoredDouble2 dc2, dcRing;          // DC blocker states (running means)
        StoredDouble2 dc2Coef, dcRingCoef;  // their one-pole coefficients per step
        FilterPair filter;

        // From each voice's modulation (VoiceFrame), per sample.
        StoredDouble2 inc1[kChunk], inc2[kChunk], shape[kChunk], cutoff[kChunk], amp[kChunk];
        StoredDouble2 osc1Out[kChunkSteps];  // oscillator 1's values, per step
        StoredDouble2 signal[kChunkSteps];   // oscillator 2's, then the mix, then the filter's output
        SyncPositions sync[kChunkSteps];     // oscillator 1's wraps, per step
    };

    void loadOscillators(int lane);
    void storeOscillators(int lane);
    // Pair p's oscillator 1 (2) as a run that `use` advances a sample at a
    // time (advance(n) computes sample n's two steps into the chunk's
    // tables); one not computed writes its fixed values.
    template <class Use>
    void withOscillator1(Pair& pair, int p, Use use);
    template <class Use>
    void withOscillator2(Pair& pair, int p, Use use);
    // The mix of each step of the kN pairs (the noise floor, oscillator 1,
    // and oscillator 2 after its DC blocker, or its ring modulation after the
    // ring's), through the filters, times the amp envelopes, summed into
    // sum1[] and sum2[] for samples 0..count-1; beforeSample(n) runs at the
    // start of sample n (the oscillators' sample, when they run alongside).
    template <int kN, class BeforeSample>
    void mixAndFilter(int count, double* sum1, double* sum2, BeforeSample beforeSample);
    // Step s of pair p, in which a lane met an event: every voice of the
    // pair takes the step alone through its own oscillator, from `before`,
    // with the lanes' increment and shape, and its lane takes the result into
    // `after` (which holds the step as the lanes made it: a lane without a
    // voice keeps that).
    void stepOsc1Alone(Pair& pair, int p, int s, Double2 inc, Double2 shape, const OscillatorPair& before,
                       OscillatorPair& after);
    void stepOsc2Alone(Pair& pair, int p, int s, Double2 inc, const OscillatorPair& before, OscillatorPair& after);

    Voice* voice_[kMaxVoices] = {};
    int count_ = 0;
    int pairCount_ = 0;
    LaneSettings settings_;
    Pair pairs_[kPairs];
    double noiseFloor_[kChunk] = {};  // each sample's noise floor (the white noise, scaled)
    double whiteNoise_[kChunk] = {};  // each sample's white noise
    // Every voice was settled after the chunk's previous sample, whose inputs
    // were lastInputs_: a sample with the same inputs repeats its frames.
    bool settled_ = false;
    ModulationInputs lastInputs_;
};

} // namespace Veldane
