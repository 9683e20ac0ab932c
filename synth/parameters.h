#pragma once
// Veldane's parameters: their ids and their one table. Every plug-in format,
// the editor, the preset tools and the tests refer to a parameter by its
// ParamId; the id is also the index hosts store values under, so an id never
// changes once released.

#include "framework/parameter.h"
#include "framework/parameter_set.h"

namespace Veldane {

enum ParamId : int {
    kOsc1Waveform,
    kOsc1ShapeMod,
    kOsc1ShapeModSrc,
    kOsc1Volume,
    kOsc2Waveform,
    kOsc2Detune,
    kOsc2Sync,
    kOsc2Ringmod,
    kOsc2Volume,
    kMasterTune,
    kOscDetune,
    kPitchModSrc,
    kPitchModInv,
    kPitchModDepth,
    kPitchModOsc1,
    kPitchModOsc2,
    kFilterType,
    kFilterCutoff,
    kFilterQ,
    kFilterModSrc,
    kFilterModInv,
    kFilterMod,
    kFilterKbdTrk,
    kLfoWaveform,
    kLfoFrequency,
    kReserved, // keeps the later ids where hosts stored them; drives nothing
    kLfoDelay,
    kAmpAttack,
    kAmpDecay,
    kAmpSustain,
    kAmpRelease,
    kModAttack,
    kModDecay,
    kModSustain,
    kModRelease,
    kVoiceMode,
    kGlideTime,
    kBendRange,
    kMasterVolume,
    kParamCount
};

// Entry texts of the enumerations.
inline constexpr const char* kTriRectNoise[] = {"Tri", "Rect", "Noise"}; // LFO Waveform uses the first two
inline constexpr const char* kShapeSources[] = {"Man", "Env", "LFO"};
inline constexpr const char* kOsc2Waves[] = {"Tri", "Rect", "Saw"};
inline constexpr const char* kModSources[] = {"Env", "LFO"};
inline constexpr const char* kFilterTypes[] = {"LP4", "LP2", "BP"};
inline constexpr const char* kReservedEntries[] = {"?", "?"};
// Two "Poly" entries: hosts that spread a choice evenly over 0..1 still land
// on polyphony for the whole top half.
inline constexpr const char* kVoiceModes[] = {"Retrigger", "Legato", "Poly", "Poly"};

// Longest time any time control sets, in ms: 10 s.
constexpr double kLongestTimeMs = 10000.0;
// Bottom of every gain control: 36 dB below unity, quiet enough beside a
// full-level source to serve as the bottom of a mixer level; shown as "-oo".
constexpr double kGainFloorDb = -36.0;

// The parameter set. Each entry: id, name, label, range, default; the curve is
// the class's (see framework/parameter.h). Any thread may read and write the
// values (set, get); the audio thread takes changes with applyChanges.
struct Parameters : zem::ParameterSet<kParamCount> {
    Param<zem::ParameterEnum> osc1Waveform{*this, kOsc1Waveform, "Osc1 Waveform", kTriRectNoise, 3};
    // 0..100 % linear.
    Param<zem::ParameterPercent> osc1ShapeMod{*this, kOsc1ShapeMod, "Osc1 Shape Mod", 100.0};
    // Shape modulation source: manual, mod envelope, LFO.
    Param<zem::ParameterEnum> osc1ShapeModSrc{*this, kOsc1ShapeModSrc, "Osc1 Shape Mod Src", kShapeSources, 3};
    // -36 dB (shown "-oo", silent) .. 0 dB, linear in dB.
    Param<zem::ParameterGain> osc1Volume{*this, kOsc1Volume, "Osc1 Volume", kGainFloorDb, -6.0};
    Param<zem::ParameterEnum> osc2Waveform{*this, kOsc2Waveform, "Osc2 Waveform", kOsc2Waves, 3};
    // Oscillator 2's offset, -12..+12 semitones linear.
    Param<zem::ParameterFloat> osc2Detune{*this, kOsc2Detune, "Osc2 Detune", "st", -12.0, 12.0, 0.0};
    // Hard sync of oscillator 2 to oscillator 1.
    Param<zem::ParameterSwitch> osc2Sync{*this, kOsc2Sync, "Osc2 Sync", false};
    // Ring modulation of oscillator 2 by oscillator 1.
    Param<zem::ParameterSwitch> osc2Ringmod{*this, kOsc2Ringmod, "Osc2 Ringmod", false};
    // -36 dB (silent) .. 0 dB; silent by default.
    Param<zem::ParameterGain> osc2Volume{*this, kOsc2Volume, "Osc2 Volume", kGainFloorDb, -36.0};
    // Global transposition, -12..+12 whole semitones.
    Param<zem::ParameterInt> masterTune{*this, kMasterTune, "Master Tune", "st", -12, 12, 0};
    // Detune between the oscillators, -0.5..+0.5 semitones linear.
    Param<zem::ParameterFloat> oscDetune{*this, kOscDetune, "Osc1/2 Detune", "st", -0.5, 0.5, 0.0};
    Param<zem::ParameterEnum> pitchModSrc{*this, kPitchModSrc, "Pitch Mod Src", kModSources, 2};
    Param<zem::ParameterSwitch> pitchModInv{*this, kPitchModInv, "Pitch Mod Inv", false};
    // 0..100 % linear.
    Param<zem::ParameterPercent> pitchModDepth{*this, kPitchModDepth, "Pitch Mod Depth", 0.0};
    // Which oscillators the pitch modulation reaches.
    Param<zem::ParameterSwitch> pitchModOsc1{*this, kPitchModOsc1, "Pitch Mod Osc1", true};
    Param<zem::ParameterSwitch> pitchModOsc2{*this, kPitchModOsc2, "Pitch Mod Osc2", true};
    // Four-stage low-pass, two-stage low-pass, band-pass.
    Param<zem::ParameterEnum> filterType{*this, kFilterType, "Filter Type", kFilterTypes, 3};
    // 20..22000 Hz logarithmic (663 Hz at the middle).
    Param<zem::ParameterFloatLog> filterCutoff{*this, kFilterCutoff, "Filter Cutoff", "Hz", 20.0, 22000.0, 22000.0};
    // Resonance, 0..100 % linear.
    Param<zem::ParameterPercent> filterQ{*this, kFilterQ, "Filter Q", 0.0};
    Param<zem::ParameterEnum> filterModSrc{*this, kFilterModSrc, "Filter Mod Src", kModSources, 2};
    Param<zem::ParameterSwitch> filterModInv{*this, kFilterModInv, "Filter Mod Inv", false};
    // Cutoff modulation depth, 0..100 % linear.
    Param<zem::ParameterPercent> filterMod{*this, kFilterMod, "Filter Mod", 0.0};
    // Keyboard tracking of the cutoff, 0..200 % linear.
    Param<zem::ParameterFloat> filterKbdTrk{*this, kFilterKbdTrk, "Filter KbdTrk", "%", 0.0, 200.0, 0.0};
    // The first two entries of the oscillator table.
    Param<zem::ParameterEnum> lfoWaveform{*this, kLfoWaveform, "LFO Waveform", kTriRectNoise, 2};
    // 0.2..20 Hz logarithmic (2 Hz at the middle).
    Param<zem::ParameterFloatLog> lfoFrequency{*this, kLfoFrequency, "LFO Frequency", "Hz", 0.2, 20.0, 2.0};
    Param<zem::ParameterEnum> reserved{*this, kReserved, "<reserved>", kReservedEntries, 2};
    // Fade-in, 0..10000 ms exponential through 1000 ms at the middle.
    Param<zem::ParameterFloatSlope> lfoDelay{*this, kLfoDelay, "LFO Delay", "ms", 0.0, 1000.0, kLongestTimeMs, 0.0};
    // Attacks: 1..10000 ms exponential through 200 ms. Decays and releases:
    // 10..10000 ms logarithmic. Sustains: 0..100 % linear.
    Param<zem::ParameterFloatSlope> ampAttack{*this, kAmpAttack, "Amp Attack", "ms", 1.0, 200.0, kLongestTimeMs, 1.0};
    Param<zem::ParameterFloatLog> ampDecay{*this, kAmpDecay, "Amp Decay", "ms", 10.0, kLongestTimeMs, 10.0};
    Param<zem::ParameterPercent> ampSustain{*this, kAmpSustain, "Amp Sustain", 100.0};
    Param<zem::ParameterFloatLog> ampRelease{*this, kAmpRelease, "Amp Release", "ms", 10.0, kLongestTimeMs, 10.0};
    Param<zem::ParameterFloatSlope> modAttack{*this, kModAttack, "Mod Attack", "ms", 1.0, 200.0, kLongestTimeMs, 1.0};
    Param<zem::ParameterFloatLog> modDecay{*this, kModDecay, "Mod Decay", "ms", 10.0, kLongestTimeMs, 10.0};
    Param<zem::ParameterPercent> modSustain{*this, kModSustain, "Mod Sustain", 100.0};
    Param<zem::ParameterFloatLog> modRelease{*this, kModRelease, "Mod Release", "ms", 10.0, kLongestTimeMs, 10.0};
    // Mono retrigger, mono legato, poly (two entries).
    Param<zem::ParameterEnum> voiceMode{*this, kVoiceMode, "Voice Mode", kVoiceModes, 4};
    // Portamento, 0..10000 ms exponential through 200 ms.
    Param<zem::ParameterFloatSlope> glideTime{*this, kGlideTime, "Glide Time", "ms", 0.0, 200.0, kLongestTimeMs, 0.0};
    // Pitch-bend range, 0..12 whole semitones.
    Param<zem::ParameterInt> bendRange{*this, kBendRange, "Bend Range", "st", 0, 12, 12};
    // Output level, -36 dB (silent) .. 0 dB.
    Param<zem::ParameterGain> masterVolume{*this, kMasterVolume, "Master Volume", kGainFloorDb, -6.0};
};

} // namespace Veldane
