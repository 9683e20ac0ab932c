#pragma once
// The voices the engine computes, side by side in lanes (see synth/lanes.h),
// a chunk of output samples at a time:
//
// 1. Sample by sample, as the engine's shared modulation moves on, each
//    voice works out its own (Voice::modulate: envelopes, glide, increments,
//    cutoff) into the chunk's tables (modulate, here).
// 2. Then the voice loop (synthesize: synth/voice_kernel.cpp, compiled once
//    for each instruction set and chosen at start-up, synth/voice_path.h) runs
//    the voices' oscillators, the mix with the DC blockers and the ring
//    modulation, the filters and the amp envelopes in groups of two or
//    four voices, and sums the voices in voice order.
//
// The voices stay the owners of their state between rendered segments: load
// copies the running state of the voices to compute into the lanes, store
// hands it back, so the voice managers and every reader of a voice see it as
// before. Audio thread, between and within rendered segments; never allocates.
#include <cstdint>
#include <cstring>

#include "synth/decimator.h"
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

// What the voice loop computes with: the voices' running state in lanes and
// the chunk's tables, voice l in lane l of every array (a group of W voices
// from lane g*W on), per output sample n or per oversampled step s.
struct LaneState {
    // Output samples per chunk: enough that each loop's setting up is spread
    // thin, few enough that the tables (some 23 kB) stay in the first-level
    // cache.
    static constexpr int kChunk = 32;
    static constexpr int kChunkSteps = 2 * kChunk;  // oversampled steps per chunk

    // One oscillator's running state: the correction window, the phase, and
    // the skew (oscillator 1's triangle) or the level (pulses).
    struct Oscillators {
        double tap0[kMaxLanes], tap1[kMaxLanes], tap2[kMaxLanes], tap3[kMaxLanes];
        double phase[kMaxLanes], extra[kMaxLanes];
    };

    Voice* voice[kMaxLanes] = {};  // the voices computed, in voice order
    int count = 0;                 // how many
    LaneSettings settings;
    HalfBandDecimator* decimator = nullptr;  // the engine's, which takes the voices' sum

    Oscillators osc1 = {}, osc2 = {};
    double dc2[kMaxLanes] = {}, dcRing[kMaxLanes] = {};          // DC blocker states (running means)
    double dc2Coef[kMaxLanes] = {}, dcRingCoef[kMaxLanes] = {};  // their one-pole coefficients per step
    FilterLanes filter = {};

    // From each voice's modulation (VoiceFrame), per sample.
    double inc1[kChunk][kMaxLanes] = {}, inc2[kChunk][kMaxLanes] = {}, shape[kChunk][kMaxLanes] = {};
    double cutoff[kChunk][kMaxLanes] = {}, amp[kChunk][kMaxLanes] = {};
    double noiseFloor[kChunk] = {};  // each sample's noise floor (the white noise, scaled)
    double whiteNoise[kChunk] = {};  // each sample's white noise

    // The voice loop's own, per step: oscillator 1's values; oscillator 2's,
    // then the mix; where oscillator 1 wrapped, for the sync (the lanes that
    // wrapped, bit l for lane l, and the positions in the step).
    double osc1Out[kChunkSteps][kMaxLanes] = {};
    double signal[kChunkSteps][kMaxLanes] = {};
    int syncLanes[kChunkSteps] = {};
    double syncPosition[kChunkSteps][kMaxLanes] = {};
};

// One oscillator's running state in one lane, as the voice loop hands a
// step with an event to the voice's own oscillator.
struct OscillatorLane {
    double tap0, tap1, tap2, tap3, phase, extra;
};
// Voice v's oscillator 1 (of the given waveform) takes one step from
// `state`, which then holds the state after it; answers where it wrapped in
// the step, or kNoSync. The oscillator clamps its increment and shape as the
// lanes do (a value within the range passes unchanged).
double stepOscillator1Alone(Voice& v, int waveform, OscillatorLane& state, double inc, double shape);
// The same for oscillator 2, synced at `sync` (or kNoSync).
void stepOscillator2Alone(Voice& v, int waveform, OscillatorLane& state, double inc, double sync);

// A voice loop: samples 0..count-1 of the chunk in `lanes`, modulated, through
// the oscillators, the mix, the filters and the amp envelopes; the sums of each
// voice's two oversampled values, added in voice order, through the decimator
// into out[] (at the host rate, before the master volume).
using VoiceLoop = void (*)(LaneState& lanes, int count, double* out);

class VoiceLanes {
public:
    static constexpr int kMaxVoices = kMaxLanes;
    static constexpr int kChunk = LaneState::kChunk;

    // The voice loop to compute with (one of synth/voice_path.h's).
    void setLoop(VoiceLoop loop) { loop_ = loop; }

    // Takes the active ones among voices[0..count-1] into the lanes, in voice
    // order (the order of their sum), with the engine's settings, which stand
    // still until store.
    void load(const Engine& engine, Voice* voices, int count);
    // Hands the lanes' running state back to their voices.
    void store();

    // Sample n (0..kChunk-1) of the chunk: each voice's modulation from the
    // engine's values of the sample (`in`, its settings those standing since
    // load; whiteNoise is the sample's noise).
    // Answers whether a voice fell idle in it: the chunk then ends with this
    // sample (synthesize it, then store and load again, so that the next
    // sample leaves that voice out). The repeat of a settled sample is here,
    // inline in the engine's loop: a call for it alone cost one voice 2 %.
    bool modulate(int n, const ModulationInputs& in, double whiteNoise)
    {
        LaneState& st = state_;
        st.whiteNoise[n] = whiteNoise;
        st.noiseFloor[n] = kNoiseFloor * whiteNoise;
        if (n > 0 && settled_ && sameMovingInputs(in, lastInputs_)) {
            // Held notes at a standing pitch: every voice would make the
            // previous sample's frame again and change nothing of its own.
            // Only the voices' lanes: the others hold zeros from load on. One
            // voice ran 4 % faster so than with whole rows copied (a few wide
            // moves, but each of them over all eight lanes).
            for (int l = 0; l < st.count; ++l) {
                st.inc1[n][l] = st.inc1[n - 1][l];
                st.inc2[n][l] = st.inc2[n - 1][l];
                st.shape[n][l] = st.shape[n - 1][l];
                st.cutoff[n][l] = st.cutoff[n - 1][l];
                st.amp[n][l] = st.amp[n - 1][l];
            }
            return false;
        }
        return modulateVoices(n, in);
    }
    // Samples 0..count-1 of the chunk, modulated, through the voice loop and
    // `decimator` into out[].
    void synthesize(int count, HalfBandDecimator& decimator, double* out)
    {
        state_.decimator = &decimator;
        loop_(state_, count, out);
    }

private:
    // Every active voice carries a faint white-noise floor: it keeps the filter
    // input away from exact zero (no denormals) and is far below the oscillators.
    static constexpr double kNoiseFloor = 0.001;

    // The same bits (a NaN matches itself, 0.0 does not match -0.0).
    static bool sameBits(double a, double b)
    {
        std::uint64_t x, y;
        std::memcpy(&x, &a, sizeof x);
        std::memcpy(&y, &b, sizeof y);
        return x == y;
    }

    // Whether a voice's modulation reads the same values from a and b, two
    // samples of one chunk, bit for bit: a settled voice (Voice::settled) then
    // makes the same frame of both. Within a chunk the engine's settings stand
    // still (they change between rendered segments, and every segment starts
    // with load), so only what moves from sample to sample is compared: the
    // increments, the shape, and the LFO's cutoff value where the cutoff
    // follows the LFO. Asked every sample of a held note; comparing the
    // settings as well cost one voice about 1 %.
    static bool sameMovingInputs(const ModulationInputs& a, const ModulationInputs& b)
    {
        return sameBits(a.osc1Increment, b.osc1Increment) && sameBits(a.osc2Increment, b.osc2Increment) &&
               sameBits(a.shape.base, b.shape.base) && (!a.filterFromLfo || sameBits(a.lfoFilterMod, b.lfoFilterMod));
    }

    // The voices' modulation of sample n, each computed (modulate's work
    // when the sample does not repeat the previous one).
    bool modulateVoices(int n, const ModulationInputs& in);
    void loadOscillators(int lane);
    void storeOscillators(int lane);

    LaneState state_;
    VoiceLoop loop_ = nullptr;
    // Every voice was settled after the chunk's previous sample, whose inputs
    // were lastInputs_: a sample with the same inputs repeats its frames.
    bool settled_ = false;
    ModulationInputs lastInputs_;
};

} // namespace Veldane
