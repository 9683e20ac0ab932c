#include "synth/engine.h"

#include <cmath>

#include "synth/modulation.h"
#include "synth/one_pole.h"
#include "synth/random.h"
#include "synth/voice_path.h"

namespace Veldane {

namespace {

// Half the frequency of MIDI note 0 (8.1757989156 Hz): the voices run at twice
// the host rate, so 2^(log2(this / host rate) + note/12) is a note's increment
// in cycles per oversampled step.
constexpr double kHalfNoteZeroHz = 4.0878994578;
constexpr double kLog2E = 1.4426950408889634;  // 1 / ln 2
// Time constants of the shared pitch smoothers, in seconds.
constexpr double kBendSeconds = 0.05;
constexpr double kJitterSeconds = 0.01;
constexpr double kDriftSeconds = 1.0;
// Jitter and drift step once every 64 samples, so their coefficients are
// computed for a 64 times lower rate.
constexpr int kRandomStepMask = 63;
constexpr double kRandomStepRate = 1.0 / 64.0;
// Depth of each random pitch modulator at full swing, in octaves: the jitter
// is a barely audible roughness, the drift a slow analogue-like wander.
constexpr double kJitterDepth = 0.015;
constexpr double kDriftDepth = 0.3;
// 1e-18 keeps the bend smoother clear of denormals when it settles.
constexpr double kDenormalGuard = 1e-18;
// The DC blockers' corner: 2 pi x 10, divided by the host rate.
constexpr double kDcBlockerRadPerSecond = 62.83185307179586;
constexpr double kDefaultSampleRate = 44100.0;
// Two oversampled steps per output sample.
constexpr double kStepsPerSample = 2.0;
// Full pitch-modulation depth, in octaves: d in -1..1 maps to 2 d |d|.
constexpr double kPitchModScale = 2.0;

} // namespace

Engine::Engine()
{
    for (Voice& v : voices) v.engine = this;
    lanes_.setLoop(voiceLoop(voicePath()));
    setSampleRate(kDefaultSampleRate);
}

void Engine::setSampleRate(double sampleRate)
{
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) return;
    pitchBase = std::log(kHalfNoteZeroHz / sampleRate) * kLog2E;
    jitterCoef = stableOnePole(1.0 / (sampleRate * kJitterSeconds * kRandomStepRate + 1.0));
    driftCoef = stableOnePole(1.0 / (sampleRate * kDriftSeconds * kRandomStepRate + 1.0));
    bendCoef = stableOnePole(1.0 / (sampleRate * kBendSeconds + 1.0));
    lfo.setSampleRate(sampleRate);
    // Above 1 below 63 Hz, past 2 (a runaway) below 31.4 Hz: held.
    const double dcCoef = stableOnePole((1.0 / sampleRate) * kDcBlockerRadPerSecond);
    for (Voice& v : voices) {
        v.dc2Coef = dcCoef;
        v.dcRingCoef = dcCoef;
    }
}

void Engine::restartLfoDelay() { lfo.restartDelay(); }

void Engine::updateActivityFlags()
{
    const bool osc2On = osc2Gain > 0.0;
    const bool osc1On = osc1Gain > 0.0 || ((osc2RingMod || osc2Sync) && osc2On);
    for (Voice& v : voices) {
        v.osc1Active = osc1On;
        v.osc2Active = osc2On;
    }
}

void Engine::setOsc1Gain(double gain)
{
    osc1Gain = gain;
    updateActivityFlags();
}

void Engine::setOsc2Gain(double gain)
{
    osc2Gain = gain;
    updateActivityFlags();
}

void Engine::setOsc2Sync(bool on)
{
    osc2Sync = on;
    updateActivityFlags();
}

void Engine::setOsc2RingMod(bool on)
{
    osc2RingMod = on;
    updateActivityFlags();
}

void Engine::setPitchModDepth(double d)
{
    pitchModDepth = kPitchModScale * d * std::fabs(d);
    phaseResetPending = true;
    updateActivityFlags();
}

void Engine::setFilterType(int type)
{
    filterType_ = type;
    for (Voice& v : voices) v.filter.setType(type);
}

void Engine::setFilterQ(double q)
{
    for (Voice& v : voices) v.filter.setQ(q);
}

void Engine::setVoiceMode(int code)
{
    if (code < kModeMonoRetrigger || code > kModePoly) return;

    for (Voice& v : voices) v.release();
    voiceMode = code;
    updateActivityFlags();

    Voice* first = voices.data();
    Voice* last = voices.data() + voices.size();
    // A fresh manager forgets held keys, the pedal and the order of recent
    // starts; the mono managers play the first voice only.
    switch (code) {
    case kModeMonoRetrigger:
        monoRetrigger_ = zem::MonoRetriggerVoiceManager<Voice>(first, first + 1);
        voiceManager = &monoRetrigger_;
        break;
    case kModeMonoLegato:
        monoLegato_ = zem::MonoLegatoVoiceManager<Voice>(first, first + 1);
        voiceManager = &monoLegato_;
        break;
    default:
        poly_ = zem::PolyVoiceManager<Voice, kVoiceCount>(first, last);
        voiceManager = &poly_;
        break;
    }
}

bool Engine::anyVoiceActive() const
{
    for (const Voice& v : voices) {
        if (v.isActive()) return true;
    }
    return false;
}

void Engine::recoverFromNonFiniteState()
{
    for (Voice& v : voices) {
        if (v.isActive() && !v.stateIsFinite()) v.silence();
    }
    if (!decimator.stateIsFinite()) decimator.reset();
}

void Engine::loadLanes() { lanes_.load(*this, voices.data(), kVoiceCount); }

void Engine::storeLanes() { lanes_.store(); }

void Engine::render(int count, float* out) { renderSamples(count, out); }

void Engine::render(int count, double* out) { renderSamples(count, out); }

inline void Engine::stepSharedModulation()
{
    lfo.step();
    const double lfoPitch = lfoPitchMod(lfo, pitchModSource, pitchModDepth);

    bendSmoothed = (bendTarget + kDenormalGuard - bendSmoothed) * bendCoef + bendSmoothed;

    // Jitter draws before drift when both are due; white noise comes last.
    if (jitterCounter == 0) {
        const double r = randomValue();
        jitterStage1 += (r - jitterStage1) * jitterCoef;
        jitterStage2 += (jitterStage1 - jitterStage2) * jitterCoef;
    }
    jitterCounter = (jitterCounter + 1) & kRandomStepMask;
    if (driftCounter == 0) {
        const double r = randomValue();
        driftStage1 += (r - driftStage1) * driftCoef;
        driftStage2 += (driftStage1 - driftStage2) * driftCoef;
    }
    driftCounter = (driftCounter + 1) & kRandomStepMask;
    // Drawn before the increments are worked out (they take no random
    // value): the compiler then hands them on to modulationInputs in
    // registers, where a call in between would have them reloaded.
    whiteNoise = randomValue();

    const double pitch = pitchBase + bendSmoothed + kJitterDepth * jitterStage2 + kDriftDepth * driftStage2;
    osc1Increment = osc1IncrementCache_(osc1Octaves + pitch + (pitchModOsc1 ? lfoPitch : 0.0));
    osc2Increment = osc2IncrementCache_(pitch + osc2Octaves + (pitchModOsc2 ? lfoPitch : 0.0));
}

inline ModulationInputs Engine::modulationInputs() const
{
    ModulationInputs in;
    in.osc1Increment = osc1Increment;
    in.osc2Increment = osc2Increment;
    in.pitchFromEnvelope = pitchModSource == kModFromEnvelope;
    in.pitchModDepth = pitchModDepth;
    in.pitchModOsc1 = pitchModOsc1;
    in.pitchModOsc2 = pitchModOsc2;
    in.cutoffOctaves = cutoffOctaves;
    in.filterModAmount = filterModAmount;
    in.filterFromLfo = filterModSource == kModFromLfo;
    in.lfoFilterMod = filterModValue(lfo, kModFromLfo, 0.0);
    in.shape = osc1ShapeModulation(osc1Waveform, osc1ShapeAmount, osc1ShapeSource, lfo);
    return in;
}

template <typename Sample>
void Engine::renderSamples(int count, Sample* out)
{
    if (count <= 0 || out == nullptr) return;
    if (!anyVoiceActive()) {
        // Silence: nothing moves, so a later note continues the LFO, the
        // smoothers, the free phases and the random sequence where they stood.
        for (int i = 0; i < count; ++i) out[i] = Sample(0);
        return;
    }
    recoverFromNonFiniteState();
    loadLanes();
    if (phaseResetPending) {
        osc1FreePhase = 0.0;
        osc2FreePhase = 0.0;
        phaseResetPending = false;
    }

    double decimated[VoiceLanes::kChunk];
    for (int i = 0; i < count;) {
        // A chunk: the shared and the voices' modulation sample by sample,
        // then the voices' sound for the whole chunk; it ends early with the
        // sample in which a voice falls idle.
        const int chunk = count - i < VoiceLanes::kChunk ? count - i : VoiceLanes::kChunk;
        int n = 0;
        bool voiceEnded = false;
        while (n < chunk && !voiceEnded) {
            stepSharedModulation();
            voiceEnded = lanes_.modulate(n, modulationInputs(), whiteNoise);
            osc1FreePhase += kStepsPerSample * osc1Increment;
            osc2FreePhase += kStepsPerSample * osc2Increment;
            ++n;
        }
        lanes_.synthesize(n, decimator, decimated);
        for (int j = 0; j < n; ++j) {
            double y = decimated[j] * outputGain;
            // The host never receives NaN or infinity, whatever a setting did.
            if (!std::isfinite(y)) y = 0.0;
            out[i + j] = static_cast<Sample>(y);
        }
        i += n;
        if (voiceEnded) {
            storeLanes();
            if (!anyVoiceActive()) {
                // The last voice fell silent: the engine stands still from
                // the next sample on, as it would at the start of a call.
                // Going on to the end of the call would advance the LFO, the
                // random sequence and the decimator by however many samples
                // the host's block happened to have left, so the next note
                // would depend on where the host cut its blocks.
                for (; i < count; ++i) out[i] = Sample(0);
                return;
            }
            loadLanes();
        }
    }
    storeLanes();
}

} // namespace Veldane
