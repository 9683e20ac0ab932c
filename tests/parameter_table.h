#pragma once
// What a host must see of each of the 39 parameters right after the plug-in
// is created: name, unit label, normalized default and the display texts at
// normalized 0, 0.5 and 1. Shared by the in-process tests and the DLL tests.

struct ExpectedParameter {
    const char* name;
    const char* label;
    float defaultNormalized;
    const char* display[3]; // at 0, 0.5, 1
};

inline constexpr ExpectedParameter kExpectedParameters[39] = {
    {"Osc1 Waveform", "", 0.0f, {"Tri", "Rect", "Noise"}},
    {"Osc1 Shape Mod", "%", 1.0f, {"0.0", "50.0", "100.0"}},
    {"Osc1 Shape Mod Src", "", 0.0f, {"Man", "Env", "LFO"}},
    {"Osc1 Volume", "dB", 0.8333333f, {"-oo", "-18.0", "0.0"}},
    {"Osc2 Waveform", "", 0.0f, {"Tri", "Rect", "Saw"}},
    {"Osc2 Detune", "st", 0.5f, {"-12.0", "0.0", "12.0"}},
    {"Osc2 Sync", "", 0.0f, {"Off", "Off", "On"}},
    {"Osc2 Ringmod", "", 0.0f, {"Off", "Off", "On"}},
    {"Osc2 Volume", "dB", 0.0f, {"-oo", "-18.0", "0.0"}},
    {"Master Tune", "st", 0.5f, {"-12", "0", "12"}},
    {"Osc1/2 Detune", "st", 0.5f, {"-0.5", "0.0", "0.5"}},
    {"Pitch Mod Src", "", 0.0f, {"Env", "LFO", "LFO"}},
    {"Pitch Mod Inv", "", 0.0f, {"Off", "Off", "On"}},
    {"Pitch Mod Depth", "%", 0.0f, {"0.0", "50.0", "100.0"}},
    {"Pitch Mod Osc1", "", 1.0f, {"Off", "Off", "On"}},
    {"Pitch Mod Osc2", "", 1.0f, {"Off", "Off", "On"}},
    {"Filter Type", "", 0.0f, {"LP4", "LP2", "BP"}},
    {"Filter Cutoff", "Hz", 1.0f, {"20.0", "663.3", "22000.0"}},
    {"Filter Q", "%", 0.0f, {"0.0", "50.0", "100.0"}},
    {"Filter Mod Src", "", 0.0f, {"Env", "LFO", "LFO"}},
    {"Filter Mod Inv", "", 0.0f, {"Off", "Off", "On"}},
    {"Filter Mod", "%", 0.0f, {"0.0", "50.0", "100.0"}},
    {"Filter KbdTrk", "%", 0.0f, {"0.0", "100.0", "200.0"}},
    {"LFO Waveform", "", 0.0f, {"Tri", "Rect", "Rect"}},
    {"LFO Frequency", "Hz", 0.5f, {"0.2", "2.0", "20.0"}},
    {"<reserved>", "", 0.0f, {"?", "?", "?"}},
    {"LFO Delay", "ms", 0.0f, {"0.0", "1000.0", "10000.0"}},
    {"Amp Attack", "ms", 0.0f, {"1.0", "200.0", "10000.0"}},
    {"Amp Decay", "ms", 0.0f, {"10.0", "316.2", "10000.0"}},
    {"Amp Sustain", "%", 1.0f, {"0.0", "50.0", "100.0"}},
    {"Amp Release", "ms", 0.0f, {"10.0", "316.2", "10000.0"}},
    {"Mod Attack", "ms", 0.0f, {"1.0", "200.0", "10000.0"}},
    {"Mod Decay", "ms", 0.0f, {"10.0", "316.2", "10000.0"}},
    {"Mod Sustain", "%", 1.0f, {"0.0", "50.0", "100.0"}},
    {"Mod Release", "ms", 0.0f, {"10.0", "316.2", "10000.0"}},
    {"Voice Mode", "", 0.0f, {"Retrigge", "Poly", "Poly"}},
    {"Glide Time", "ms", 0.0f, {"0.0", "200.0", "10000.0"}},
    {"Bend Range", "st", 1.0f, {"0", "6", "12"}},
    {"Master Volume", "dB", 0.8333333f, {"-oo", "-18.0", "0.0"}},
};

// Effect identity as hosts read it.
inline constexpr int kExpectedUniqueId = 0x7A516B74;
inline constexpr int kExpectedFlags = 0x1111; // editor, replacing, synth, double replacing
