// Every parameter change ends here: the value is converted from the
// parameter's unit (semitones, Hz, ms, dB, percent) into the engine's
// (octaves, per-sample coefficients, linear gains, fractions). It reads the
// parameter members themselves, so it also works while the synthesizer is
// being built.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "synth/one_pole.h"
#include "synth/synth.h"

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
    return std::clamp(static_cast<double>(p.normalized()), 0.0, 1.0);
}

// The plain value within the control's range min..max.
double plain(const zem::ParameterFloat& p) {
    return std::clamp(p.value(), std::min(p.min, p.max), std::max(p.min, p.max));
}

// dB to a linear factor; the bottom of a gain control (normalized 0, or
// below) is silence, exactly 0 rather than the -36 dB the curve would give.
double gainOf(const zem::ParameterGain& p) {
    return p.normalized() > 0.0f ? std::pow(10.0, plain(p) * kDecadesPerDb) : 0.0;
}

} // namespace

void Synth::route(int id) {
    const Parameters& p = params;
    const double sr = sampleRate_;
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

    switch (id) {
    case kOsc1Waveform: engine.osc1Waveform = p.osc1Waveform.value(); break;
    case kOsc1ShapeMod: engine.osc1ShapeAmount = unit(p.osc1ShapeMod); break;
    case kOsc1ShapeModSrc: engine.osc1ShapeSource = p.osc1ShapeModSrc.value(); break;
    case kOsc1Volume: engine.setOsc1Gain(gainOf(p.osc1Volume)); break;
    case kOsc2Waveform: engine.osc2Waveform = p.osc2Waveform.value(); break;
    case kOsc2Detune:
        engine.osc2Detune = plain(p.osc2Detune) * kSemitone;
        retune();
        engine.phaseResetPending = true;
        break;
    case kOsc2Sync: engine.setOsc2Sync(p.osc2Sync.on()); break;
    case kOsc2Ringmod: engine.setOsc2RingMod(p.osc2Ringmod.on()); break;
    case kOsc2Volume: engine.setOsc2Gain(gainOf(p.osc2Volume)); break;
    case kMasterTune:
        // Transposing keeps the free phases running: only detune changes
        // restart them, so a tuning change doesn't click every new note.
        engine.masterTune = p.masterTune.value() * kSemitone;
        retune();
        break;
    case kOscDetune:
        engine.oscDetune = plain(p.oscDetune) * kSemitone;
        retune();
        engine.phaseResetPending = true;
        break;
    case kPitchModSrc: engine.pitchModSource = p.pitchModSrc.value(); break;
    case kPitchModInv:
    case kPitchModDepth: {
        const double d = unit(p.pitchModDepth);
        engine.setPitchModDepth(p.pitchModInv.on() ? -d : d);
        break;
    }
    case kPitchModOsc1:
        engine.pitchModOsc1 = p.pitchModOsc1.on();
        engine.phaseResetPending = true;
        break;
    case kPitchModOsc2:
        engine.pitchModOsc2 = p.pitchModOsc2.on();
        engine.phaseResetPending = true;
        break;
    case kFilterType: engine.setFilterType(p.filterType.value()); break;
    case kFilterCutoff:
        engine.cutoffOctaves = std::log(plain(p.filterCutoff) * kCutoffReference) / std::log(2.0);
        break;
    case kFilterQ: engine.setFilterQ(unit(p.filterQ)); break;
    case kFilterModSrc: engine.filterModSource = p.filterModSrc.value(); break;
    case kFilterModInv:
    case kFilterMod: {
        const double amount = kFilterModOctaves * unit(p.filterMod);
        engine.filterModAmount = p.filterModInv.on() ? -amount : amount;
        break;
    }
    case kFilterKbdTrk: engine.keyTrack = plain(p.filterKbdTrk) * kPercent; break;
    case kLfoWaveform: engine.lfo.waveform = p.lfoWaveform.value(); break;
    case kLfoFrequency: engine.lfo.setFrequency(plain(p.lfoFrequency), sr); break;
    case kReserved: break;
    case kLfoDelay: engine.lfo.setDelay(plain(p.lfoDelay), sr); break;
    case kAmpAttack: {
        const double c = Envelope::attackCoefficient(samples(plain(p.ampAttack)));
        forEachVoice([c](Voice& v) { v.amp.attackCoef = c; });
        break;
    }
    case kAmpDecay: {
        const double c = Envelope::decayCoefficient(samples(plain(p.ampDecay)));
        forEachVoice([c](Voice& v) { v.amp.decayCoef = c; });
        break;
    }
    case kAmpSustain: {
        const double s = unit(p.ampSustain);
        forEachVoice([s](Voice& v) { v.amp.sustain = s; });
        break;
    }
    case kAmpRelease: {
        const double c = Envelope::decayCoefficient(samples(plain(p.ampRelease)));
        forEachVoice([c](Voice& v) { v.amp.releaseCoef = c; });
        break;
    }
    case kModAttack: {
        const double c = Envelope::attackCoefficient(samples(plain(p.modAttack)));
        forEachVoice([c](Voice& v) { v.mod.attackCoef = c; });
        break;
    }
    case kModDecay: {
        const double c = Envelope::decayCoefficient(samples(plain(p.modDecay)));
        forEachVoice([c](Voice& v) { v.mod.decayCoef = c; });
        break;
    }
    case kModSustain: {
        const double s = unit(p.modSustain);
        forEachVoice([s](Voice& v) { v.mod.sustain = s; });
        break;
    }
    case kModRelease: {
        const double c = Envelope::decayCoefficient(samples(plain(p.modRelease)));
        forEachVoice([c](Voice& v) { v.mod.releaseCoef = c; });
        break;
    }
    case kVoiceMode: {
        // Releases every voice and starts a fresh manager; this runs on the
        // audio thread (or before there is one), which alone calls managers.
        const int entry = p.voiceMode.value();
        if (entry >= 0 && entry < static_cast<int>(std::size(kVoiceModeCodes)))
            engine.setVoiceMode(kVoiceModeCodes[entry]);
        break;
    }
    case kGlideTime: {
        const double c = stableOnePole(1.0 / (samples(plain(p.glideTime)) + 1.0));
        forEachVoice([c](Voice& v) { v.glideCoef = c; });
        break;
    }
    case kBendRange: engine.bendRange = p.bendRange.value() * kBendOctavesPerSemitone; break;
    case kMasterVolume: engine.outputGain = gainOf(p.masterVolume) * kDecimatorBranchGain; break;
    default: break; // ids outside the set route nothing
    }
}

} // namespace Veldane
