#pragma once
// Veldane's plug-in object: what the host creates through VSTPluginMain. It
// owns the engine and the 39 parameters and is the one receiver of parameter
// changes (parameterChanged, in synth/parameter_routing.cpp).

#include <cstdint>

#include "framework/parameter.h"
#include "framework/plugin_with_editor.h"
#include "synth/engine.h"
#ifdef _WIN32
#include "synth/editor.h"
#else
#include "synth/editor_native.h"
#endif

namespace Veldane {

class Plugin final : public zem::PluginWithEditor<Plugin, 39, Editor> {
public:
    // --- Identity the host sees ---------------------------------------------
    static constexpr std::int32_t uniqueId = 0x7A516B74; // 'zQkt', how hosts tell this plug-in from others
    static constexpr std::int32_t version = 1;
    static constexpr bool isSynth = true;
    static constexpr const char* effectName = "Veldane";
    static constexpr const char* vendorName = "Orvandel";
    static constexpr const char* productName = "Veldane";
    // The panel's fixed size in pixels (its background image).
    static constexpr int editorWidth = 702;
    static constexpr int editorHeight = 366;

    // Host's sample rate before it tells us one.
    static constexpr double kDefaultSampleRate = 44100.0;

    // Builds the engine and the parameters, applies the default sample rate
    // and routes every parameter's default into the engine.
    Plugin(HINSTANCE moduleHandle, zem::HostCallback hostCallback);

    // Host's UI thread (the dispatcher), never while a block is processed.
    // Stores the rate (Hz, > 0), recomputes every rate-dependent setting from
    // its parameter, then tells the engine.
    void setSampleRate(double rate);

    // Any thread that changes a parameter (host automation, the editor,
    // construction). Tells the open editor first, then routes the value into
    // the engine. Never blocks.
    void parameterChanged(int index) override;

    // Audio thread, at the start of every processing call before anything
    // else: takes over what other threads handed to the audio thread.
    void prepareBlock();

    // VST index of one of this object's parameter members; -1 for others.
    int indexOf(const zem::Parameter& parameter) const noexcept;

    // Current sample rate in Hz.
    double sampleRate = kDefaultSampleRate;
    // The synthesis engine.
    Engine engine;

    // --- Entry texts of the enumerations ------------------------------------
    static constexpr const char* kTriRectNoise[] = {"Tri", "Rect", "Noise"}; // LFO Waveform uses the first two
    static constexpr const char* kShapeSources[] = {"Man", "Env", "LFO"};
    static constexpr const char* kOsc2Waves[] = {"Tri", "Rect", "Saw"};
    static constexpr const char* kModSources[] = {"Env", "LFO"};
    static constexpr const char* kFilterTypes[] = {"LP4", "LP2", "BP"};
    static constexpr const char* kReserved[] = {"?", "?"};
    // Two "Poly" entries: hosts that spread a choice evenly over 0..1 still
    // land on polyphony for the whole top half.
    static constexpr const char* kVoiceModes[] = {"Retrigger", "Legato", "Poly", "Poly"};

    // --- The parameter set, in VST index order (0..38) ----------------------
    // Declaration order is the index. Each entry: name, label, range, default;
    // the curve is the class's (see framework/parameter.h).

    // 0: oscillator 1 waveform.
    Param<zem::ParameterEnum> osc1Waveform{*this, "Osc1 Waveform", kTriRectNoise, 3};
    // 1: shape modulation amount, 0..100 % linear.
    Param<zem::ParameterPercent> osc1ShapeMod{*this, "Osc1 Shape Mod", 100.0};
    // 2: shape modulation source: manual, mod envelope, LFO.
    Param<zem::ParameterEnum> osc1ShapeModSrc{*this, "Osc1 Shape Mod Src", kShapeSources, 3};
    // 3: oscillator 1 level, -36 dB (shown "-oo", silent) .. 0 dB, linear in dB.
    Param<zem::ParameterGain> osc1Volume{*this, "Osc1 Volume", -6.0};
    // 4: oscillator 2 waveform.
    Param<zem::ParameterEnum> osc2Waveform{*this, "Osc2 Waveform", kOsc2Waves, 3};
    // 5: oscillator 2 offset, -12..+12 semitones linear.
    Param<zem::ParameterFloat> osc2Detune{*this, "Osc2 Detune", "st", -12.0, 12.0, 0.0};
    // 6: hard sync of oscillator 2 to oscillator 1.
    Param<zem::ParameterSwitch> osc2Sync{*this, "Osc2 Sync", false};
    // 7: ring modulation of oscillator 2 by oscillator 1.
    Param<zem::ParameterSwitch> osc2Ringmod{*this, "Osc2 Ringmod", false};
    // 8: oscillator 2 level, -36 dB (silent) .. 0 dB; silent by default.
    Param<zem::ParameterGain> osc2Volume{*this, "Osc2 Volume", -36.0};
    // 9: global transposition, -12..+12 whole semitones.
    Param<zem::ParameterInt> masterTune{*this, "Master Tune", "st", -12, 12, 0};
    // 10: detune between the oscillators, -0.5..+0.5 semitones linear.
    Param<zem::ParameterFloat> oscDetune{*this, "Osc1/2 Detune", "st", -0.5, 0.5, 0.0};
    // 11: pitch modulation source.
    Param<zem::ParameterEnum> pitchModSrc{*this, "Pitch Mod Src", kModSources, 2};
    // 12: inverts the pitch modulation.
    Param<zem::ParameterSwitch> pitchModInv{*this, "Pitch Mod Inv", false};
    // 13: pitch modulation depth, 0..100 % linear.
    Param<zem::ParameterPercent> pitchModDepth{*this, "Pitch Mod Depth", 0.0};
    // 14: pitch modulation reaches oscillator 1.
    Param<zem::ParameterSwitch> pitchModOsc1{*this, "Pitch Mod Osc1", true};
    // 15: pitch modulation reaches oscillator 2.
    Param<zem::ParameterSwitch> pitchModOsc2{*this, "Pitch Mod Osc2", true};
    // 16: filter mode: four-stage low-pass, two-stage low-pass, band-pass.
    Param<zem::ParameterEnum> filterType{*this, "Filter Type", kFilterTypes, 3};
    // 17: cutoff, 20..22000 Hz logarithmic (663 Hz at the middle).
    Param<zem::ParameterFloatLog> filterCutoff{*this, "Filter Cutoff", "Hz", 20.0, 22000.0, 22000.0};
    // 18: resonance, 0..100 % linear.
    Param<zem::ParameterPercent> filterQ{*this, "Filter Q", 0.0};
    // 19: cutoff modulation source.
    Param<zem::ParameterEnum> filterModSrc{*this, "Filter Mod Src", kModSources, 2};
    // 20: inverts the cutoff modulation.
    Param<zem::ParameterSwitch> filterModInv{*this, "Filter Mod Inv", false};
    // 21: cutoff modulation depth, 0..100 % linear.
    Param<zem::ParameterPercent> filterMod{*this, "Filter Mod", 0.0};
    // 22: keyboard tracking of the cutoff, 0..200 % linear.
    Param<zem::ParameterFloat> filterKbdTrk{*this, "Filter KbdTrk", "%", 0.0, 200.0, 0.0};
    // 23: LFO waveform (the first two entries of the oscillator table).
    Param<zem::ParameterEnum> lfoWaveform{*this, "LFO Waveform", kTriRectNoise, 2};
    // 24: LFO rate, 0.2..20 Hz logarithmic (2 Hz at the middle).
    Param<zem::ParameterFloatLog> lfoFrequency{*this, "LFO Frequency", "Hz", 0.2, 20.0, 2.0};
    // 25: placeholder that keeps the later indices where hosts stored them; drives nothing.
    Param<zem::ParameterEnum> reserved{*this, "<reserved>", kReserved, 2};
    // 26: LFO fade-in, 0..10000 ms exponential through 1000 ms at the middle.
    Param<zem::ParameterFloatSlope> lfoDelay{*this, "LFO Delay", "ms", 0.0, 1000.0, 0.0};
    // 27: amplitude attack, 1..10000 ms exponential through 200 ms.
    Param<zem::ParameterFloatSlope> ampAttack{*this, "Amp Attack", "ms", 1.0, 200.0, 1.0};
    // 28: amplitude decay, 10..10000 ms logarithmic.
    Param<zem::ParameterFloatLog> ampDecay{*this, "Amp Decay", "ms", 10.0, 10000.0, 10.0};
    // 29: amplitude sustain level, 0..100 % linear.
    Param<zem::ParameterPercent> ampSustain{*this, "Amp Sustain", 100.0};
    // 30: amplitude release, 10..10000 ms logarithmic.
    Param<zem::ParameterFloatLog> ampRelease{*this, "Amp Release", "ms", 10.0, 10000.0, 10.0};
    // 31: modulation envelope attack, 1..10000 ms exponential through 200 ms.
    Param<zem::ParameterFloatSlope> modAttack{*this, "Mod Attack", "ms", 1.0, 200.0, 1.0};
    // 32: modulation envelope decay, 10..10000 ms logarithmic.
    Param<zem::ParameterFloatLog> modDecay{*this, "Mod Decay", "ms", 10.0, 10000.0, 10.0};
    // 33: modulation envelope sustain level, 0..100 % linear.
    Param<zem::ParameterPercent> modSustain{*this, "Mod Sustain", 100.0};
    // 34: modulation envelope release, 10..10000 ms logarithmic.
    Param<zem::ParameterFloatLog> modRelease{*this, "Mod Release", "ms", 10.0, 10000.0, 10.0};
    // 35: voice assignment: mono retrigger, mono legato, poly (two entries).
    Param<zem::ParameterEnum> voiceMode{*this, "Voice Mode", kVoiceModes, 4};
    // 36: portamento time, 0..10000 ms exponential through 200 ms.
    Param<zem::ParameterFloatSlope> glideTime{*this, "Glide Time", "ms", 0.0, 200.0, 0.0};
    // 37: pitch-bend range, 0..12 whole semitones.
    Param<zem::ParameterInt> bendRange{*this, "Bend Range", "st", 0, 12, 12};
    // 38: output level, -36 dB (silent) .. 0 dB.
    Param<zem::ParameterGain> masterVolume{*this, "Master Volume", -6.0};
};

} // namespace Veldane
