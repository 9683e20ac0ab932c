#pragma once
// The synthesizer's panel: which control shows which parameter, where it sits
// on the 702 x 366 window, its settings, and how a control's state converts
// to a parameter value and back. Platform-neutral: the Windows editor
// (synth/editor.h) holds a Panel and adds the window, the images and the
// version label; the tests drive a Panel through a stand-in editor.

#include "framework/control.h"
#include "framework/slider_control.h"
#include "synth/controls.h"

namespace Veldane {

class Plugin;

// How a control's state converts to its parameter's value and back.
enum class Binding {
    choice,     // radio group <-> integer / enumerated value (item i is value i)
    steppedInt, // stepped knob <-> integer value (position s is value s)
    onOff,      // switch <-> switch state
    normalized, // knob value or slider handle <-> normalized value
};

enum class ControlKind { radio, knob, lampSwitch, slider };

// One control of the panel.
struct PanelEntry {
    int parameterIndex;
    ControlKind kind;
    int left, top;    // window client pixels
    int itemsOrSteps; // radio: number of items; knob: positions (0 = continuous)
    double defaultValue; // knob: value of a double-click; Knob::noDefault for none
    Binding binding;
    // Radio groups: the value the last item stores; that item also lights for
    // any larger value. -1: the item's own number.
    int lastItemValue;
};

// Control sizes, from the artwork: a knob frame, a slider track, a lamp.
constexpr int knobSize = 36;
constexpr int sliderWidth = 14;
constexpr int sliderHeight = 110;
constexpr int lampWidth = 20;
constexpr int lampHeight = 11;
// Vertical distance between the lamps of a radio group: the 11-pixel lamp and
// a 2-pixel gap, so each item owns a 13-pixel cell.
constexpr int radioSpacing = 13;
// Frames in the knob image: pointer angles from -135 to +135 degrees in
// 2.8125-degree steps, with frame 48 straight up.
constexpr int knobFrameCount = 97;

// Double-click defaults of the knobs. 0.8333 is -6 dB on the -36..0 dB volume
// scale (frame 80); 0.5 is the middle of a bipolar or time range (frame 48).
constexpr double volumeDefault = 0.8333;
constexpr double centreDefault = 0.5;
// Positions of Master Tune (-12..12 semitones) and Bend Range (0..12).
constexpr int masterTuneSteps = 25;
constexpr int bendRangeSteps = 13;
// Voice Mode's third lamp stores the last polyphonic entry (value 3); entries
// 2 and 3 both mean polyphonic, so both light it.
constexpr int voiceModePolyValue = 3;

// The panel, in paint and hit-test order (the version label, Windows only,
// comes before all of these). Parameter 25 is a placeholder and has no control.
constexpr PanelEntry panelLayout[] = {
    // OSC 1
    {0, ControlKind::radio, 24, 47, 3, Knob::noDefault, Binding::choice, -1},          // Osc1 Waveform
    {3, ControlKind::knob, 95, 48, 0, volumeDefault, Binding::normalized, -1},         // Osc1 Volume
    {2, ControlKind::radio, 24, 119, 3, Knob::noDefault, Binding::choice, -1},         // Osc1 Shape Mod Src
    {1, ControlKind::knob, 95, 120, 0, Knob::noDefault, Binding::normalized, -1},      // Osc1 Shape Mod
    // OSC 2
    {4, ControlKind::radio, 24, 224, 3, Knob::noDefault, Binding::choice, -1},         // Osc2 Waveform
    {5, ControlKind::knob, 95, 296, 0, centreDefault, Binding::normalized, -1},        // Osc2 Detune
    {7, ControlKind::lampSwitch, 24, 300, 0, Knob::noDefault, Binding::onOff, -1},     // Osc2 Ringmod
    {6, ControlKind::lampSwitch, 24, 317, 0, Knob::noDefault, Binding::onOff, -1},     // Osc2 Sync
    {8, ControlKind::knob, 95, 224, 0, volumeDefault, Binding::normalized, -1},        // Osc2 Volume
    // PITCH
    {9, ControlKind::knob, 182, 48, masterTuneSteps, centreDefault, Binding::normalized, -1}, // Master Tune
    {10, ControlKind::knob, 182, 120, 0, centreDefault, Binding::normalized, -1},      // Osc1/2 Detune
    {11, ControlKind::radio, 175, 187, 2, Knob::noDefault, Binding::choice, -1},       // Pitch Mod Src
    {12, ControlKind::lampSwitch, 175, 217, 0, Knob::noDefault, Binding::onOff, -1},   // Pitch Mod Inv
    {13, ControlKind::knob, 182, 249, 0, Knob::noDefault, Binding::normalized, -1},    // Pitch Mod Depth
    {14, ControlKind::lampSwitch, 175, 315, 0, Knob::noDefault, Binding::onOff, -1},   // Pitch Mod Osc1
    {15, ControlKind::lampSwitch, 175, 328, 0, Knob::noDefault, Binding::onOff, -1},   // Pitch Mod Osc2
    // FILTER
    {16, ControlKind::radio, 262, 48, 3, Knob::noDefault, Binding::choice, -1},        // Filter Type
    {17, ControlKind::knob, 333, 48, 0, Knob::noDefault, Binding::normalized, -1},     // Filter Cutoff
    {18, ControlKind::knob, 333, 120, 0, Knob::noDefault, Binding::normalized, -1},    // Filter Q
    {19, ControlKind::radio, 262, 119, 2, Knob::noDefault, Binding::choice, -1},       // Filter Mod Src
    {20, ControlKind::lampSwitch, 262, 149, 0, Knob::noDefault, Binding::onOff, -1},   // Filter Mod Inv
    {21, ControlKind::knob, 269, 192, 0, Knob::noDefault, Binding::normalized, -1},    // Filter Mod
    {22, ControlKind::knob, 333, 192, 0, centreDefault, Binding::normalized, -1},      // Filter KbdTrk
    // LFO
    {23, ControlKind::radio, 413, 54, 2, Knob::noDefault, Binding::choice, -1},        // LFO Waveform
    {24, ControlKind::knob, 484, 120, 0, Knob::noDefault, Binding::normalized, -1},    // LFO Frequency
    {26, ControlKind::knob, 484, 48, 0, centreDefault, Binding::normalized, -1},       // LFO Delay
    // GLOBAL
    {36, ControlKind::knob, 484, 223, 0, Knob::noDefault, Binding::normalized, -1},    // Glide Time
    {37, ControlKind::knob, 420, 296, bendRangeSteps, Knob::noDefault, Binding::steppedInt, -1}, // Bend Range
    {35, ControlKind::radio, 413, 223, 3, Knob::noDefault, Binding::choice, voiceModePolyValue}, // Voice Mode
    {38, ControlKind::knob, 484, 296, 0, volumeDefault, Binding::normalized, -1},      // Master Volume
    // AMP ENV
    {27, ControlKind::slider, 575, 48, 0, Knob::noDefault, Binding::normalized, -1},   // Amp Attack
    {28, ControlKind::slider, 601, 48, 0, Knob::noDefault, Binding::normalized, -1},   // Amp Decay
    {29, ControlKind::slider, 627, 48, 0, Knob::noDefault, Binding::normalized, -1},   // Amp Sustain
    {30, ControlKind::slider, 653, 48, 0, Knob::noDefault, Binding::normalized, -1},   // Amp Release
    // MOD ENV
    {31, ControlKind::slider, 575, 224, 0, Knob::noDefault, Binding::normalized, -1},  // Mod Attack
    {32, ControlKind::slider, 601, 224, 0, Knob::noDefault, Binding::normalized, -1},  // Mod Decay
    {33, ControlKind::slider, 627, 224, 0, Knob::noDefault, Binding::normalized, -1},  // Mod Sustain
    {34, ControlKind::slider, 653, 224, 0, Knob::noDefault, Binding::normalized, -1},  // Mod Release
};

constexpr int panelControlCount = static_cast<int>(sizeof(panelLayout) / sizeof(panelLayout[0]));

constexpr int countControls(ControlKind kind) {
    int n = 0;
    for (const PanelEntry& e : panelLayout)
        n += e.kind == kind ? 1 : 0;
    return n;
}

// The images the controls draw with; owned by the editor.
struct PanelImages {
    LICE_IBitmap* knob = nullptr;         // frame stack
    LICE_IBitmap* sliderHandle = nullptr;
    LICE_IBitmap* lampOn = nullptr;
    LICE_IBitmap* lampOff = nullptr;
};

// The panel's parameter controls, by value, built from panelLayout. Runs on
// the editor's user-interface thread only.
class Panel {
public:
    // Parameter indices the panel can be asked about: 0 .. 38.
    static constexpr int parameterCount = 39;

    Panel(zem::IEditor* editor, const PanelImages& images);
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // The controls in panelLayout order; not owning.
    zem::Control* controls[panelControlCount];

    // The control showing parameter `index`, or null (index 25, out of range).
    zem::Control* controlFor(int index) const;

    // A control edit: writes the control's state into the parameter, then
    // lets the plug-in apply it (plugin.parameterChanged), then tells the host
    // (audioMasterAutomate with the parameter's new normalized value). All
    // three also when the value did not change.
    void controlChanged(Plugin& plugin, int index);

    // Makes the control of parameter `index` show the parameter's current
    // value. Never calls back into the parameter, the plug-in or the host.
    void updateControl(Plugin& plugin, int index);

private:
    RadioControl radios[countControls(ControlKind::radio)];
    Knob knobs[countControls(ControlKind::knob)];
    SwitchControl switches[countControls(ControlKind::lampSwitch)];
    zem::SliderControl sliders[countControls(ControlKind::slider)];
    // Position in panelLayout of each parameter's control; -1 for none.
    int entryOf[parameterCount];
};

} // namespace Veldane
