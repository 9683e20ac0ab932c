// Every parameter change ends here: the value is converted from the
// parameter's unit (semitones, Hz, ms, dB, percent) into the engine's
// (octaves, per-sample coefficients, linear gains, fractions). The listener
// reads the parameter members themselves, so it also works while the plug-in
// is being built.
#include <algorithm>
#include <cmath>

#include "synth/one_pole.h"
#include "synth/plugin.h"

namespace Veldane {

namespace {

constexpr double kSemitone = 1.0 / 12.0;  // octaves
// Bend Range in octaves per semitone: the constant is a rounded 1/12, so a
// 12-semitone range bends by 0.99996 octaves; saved songs rely on that depth.
constexpr double kBendOctavesPerSemitone = 0.08333;
// 2 x (1 / 8.1757989156 Hz, the frequency of MIDI note 0): the cutoff in
// octaves above 4.0878994578 Hz, the reference of the engine's pitchBase.
constexpr double kCutoffReference = 2.0 * 0.12231220585573963;
constexpr double kMsToSeconds = 0.001;
constexpr double kPercent = 0.01;
// 20 dB is a factor of 10 in amplitude: 10^(dB / 20).
constexpr double kDecadesPerDb = 0.05;
// Full Filter Mod sweeps the cutoff by 8 octaves.
constexpr double kFilterModOctaves = 8.0;
// The decimator adds its two branches, so unity gain needs half of each.
constexpr double kDecimatorBranchGain = 0.5;
// Voice Mode entry -> engine code; the fourth entry is a second "Poly".
constexpr int kVoiceModeCodes[] = {Engine::kModeMonoRetrigger, Engine::kModeMonoLegato, Engine::kModePoly,
                                   Engine::kModePoly};

// Hosts promise normalized values in 0..1, and the parameter objects keep
// whatever they are given (a host reads back exactly what it wrote). The
// engine must not follow a value past the end of its control: a gain of 2.0
// reaches +36 dB, a huge one infinity, and a negative envelope time gives a
// coefficient that makes the envelope run away and never return. So the
// routing reads every real-valued parameter held inside its control's range;
// values within the range pass through unchanged. (Integer, enumerated and
// switch parameters keep their plain values in range themselves.)

// The normalized value, 0..1.
double unit(const zem::Parameter& p) {
    return std::clamp(static_cast<double>(p.normalized), 0.0, 1.0);
}

// The plain value within the control's range min..max.
double plain(const zem::ParameterFloat& p) {
    return std::clamp(p.value, std::min(p.min, p.max), std::max(p.min, p.max));
}

// dB to a linear factor; the bottom of a gain control (normalized 0, or
// below) is silence, exactly 0 rather than the -36 dB the curve would give.
double gainOf(const zem::ParameterGain& p) {
    return p.normalized > 0.0f ? std::pow(10.0, plain(p) * kDecadesPerDb) : 0.0;
}

} // namespace

void Plugin::parameterChanged(int index) {
    // The open editor's control shows the new value first, for every index
    // (also 25, which routes nothing). This may run on any thread: the
    // framework's hand-over reaches the editor only on its own thread, so a
    // host's automation thread never races the window being closed.
    updateEditorControl(index);

    const double sr = sampleRate;
    // A time in ms as samples at the current rate. Multiplied in this order
    // (ms x 0.001 x rate) on purpose: another order rounds differently in the
    // last bit, and a patch's coefficients should not change between versions.
    auto samples = [sr](double ms) { return ms * kMsToSeconds * sr; };
    auto forEachVoice = [this](auto&& set) {
        for (Voice& v : engine.voices) set(v);
    };
    auto retune = [this] {
        engine.osc1Octaves = engine.masterTune + engine.oscDetune;
        engine.osc2Octaves = engine.masterTune - engine.oscDetune + engine.osc2Detune;
    };

    switch (index) {
    case 0: engine.osc1Waveform = osc1Waveform.value; break;
    case 1: engine.osc1ShapeAmount = unit(osc1ShapeMod); break;
    case 2: engine.osc1ShapeSource = osc1ShapeModSrc.value; break;
    case 3: engine.setOsc1Gain(gainOf(osc1Volume)); break;
    case 4: engine.osc2Waveform = osc2Waveform.value; break;
    case 5:
        engine.osc2Detune = plain(osc2Detune) * kSemitone;
        retune();
        engine.phaseResetPending = true;
        break;
    case 6: engine.setOsc2Sync(osc2Sync.on); break;
    case 7: engine.setOsc2RingMod(osc2Ringmod.on); break;
    case 8: engine.setOsc2Gain(gainOf(osc2Volume)); break;
    case 9:
        // Transposing keeps the free phases running: only detune changes
        // restart them, so a tuning change doesn't click every new note.
        engine.masterTune = masterTune.value * kSemitone;
        retune();
        break;
    case 10:
        engine.oscDetune = plain(oscDetune) * kSemitone;
        retune();
        engine.phaseResetPending = true;
        break;
    case 11: engine.pitchModSource = pitchModSrc.value; break;
    case 12:
    case 13: {
        const double d = unit(pitchModDepth);
        engine.setPitchModDepth(pitchModInv.on ? -d : d);
        break;
    }
    case 14:
        engine.pitchModOsc1 = pitchModOsc1.on;
        engine.phaseResetPending = true;
        break;
    case 15:
        engine.pitchModOsc2 = pitchModOsc2.on;
        engine.phaseResetPending = true;
        break;
    case 16: engine.setFilterType(filterType.value); break;
    case 17: engine.cutoffOctaves = std::log(plain(filterCutoff) * kCutoffReference) / std::log(2.0); break;
    case 18: engine.setFilterQ(unit(filterQ)); break;
    case 19: engine.filterModSource = filterModSrc.value; break;
    case 20:
    case 21: {
        const double amount = kFilterModOctaves * unit(filterMod);
        engine.filterModAmount = filterModInv.on ? -amount : amount;
        break;
    }
    case 22: engine.keyTrack = plain(filterKbdTrk) * kPercent; break;
    case 23: engine.lfo.waveform = lfoWaveform.value; break;
    case 24: engine.lfo.setFrequency(plain(lfoFrequency), sr); break;
    case 25: break;
    case 26: engine.lfo.setDelay(plain(lfoDelay), sr); break;
    case 27: {
        const double c = Envelope::attackCoefficient(samples(plain(ampAttack)));
        forEachVoice([c](Voice& v) { v.amp.attackCoef = c; });
        break;
    }
    case 28: {
        const double c = Envelope::decayCoefficient(samples(plain(ampDecay)));
        forEachVoice([c](Voice& v) { v.amp.decayCoef = c; });
        break;
    }
    case 29: {
        const double s = unit(ampSustain);
        forEachVoice([s](Voice& v) { v.amp.sustain = s; });
        break;
    }
    case 30: {
        const double c = Envelope::decayCoefficient(samples(plain(ampRelease)));
        forEachVoice([c](Voice& v) { v.amp.releaseCoef = c; });
        break;
    }
    case 31: {
        const double c = Envelope::attackCoefficient(samples(plain(modAttack)));
        forEachVoice([c](Voice& v) { v.mod.attackCoef = c; });
        break;
    }
    case 32: {
        const double c = Envelope::decayCoefficient(samples(plain(modDecay)));
        forEachVoice([c](Voice& v) { v.mod.decayCoef = c; });
        break;
    }
    case 33: {
        const double s = unit(modSustain);
        forEachVoice([s](Voice& v) { v.mod.sustain = s; });
        break;
    }
    case 34: {
        const double c = Envelope::decayCoefficient(samples(plain(modRelease)));
        forEachVoice([c](Voice& v) { v.mod.releaseCoef = c; });
        break;
    }
    case 35: {
        // The switch itself happens on the audio thread (prepareBlock): it
        // replaces the manager that the block loop may be calling right now.
        const int entry = voiceMode.value;
        if (entry >= 0 && entry < static_cast<int>(std::size(kVoiceModeCodes)))
            engine.requestVoiceMode(kVoiceModeCodes[entry]);
        break;
    }
    case 36: {
        const double c = stableOnePole(1.0 / (samples(plain(glideTime)) + 1.0));
        forEachVoice([c](Voice& v) { v.glideCoef = c; });
        break;
    }
    case 37: engine.bendRange = bendRange.value * kBendOctavesPerSemitone; break;
    case 38: engine.outputGain = gainOf(masterVolume) * kDecimatorBranchGain; break;
    default: break;  // indices outside 0..38 route nothing
    }
}

void Plugin::prepareBlock() {
    engine.applyRequestedVoiceMode();
}

} // namespace Veldane
