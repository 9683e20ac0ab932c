#pragma once
// The synthesizer's panel: which control shows which parameter, where it sits
// on the 702 x 366 panel (in panel pixels; at another scale in window pixels
// through zem::Scale), its settings, and how a control's state converts to a
// parameter value and back. Platform-neutral: the editor (ui/editor.h)
// holds a Panel and adds the window, the images and the version label; the
// tests drive a Panel through a stand-in editor.

#include "framework/control.h"
#include "framework/editor.h"
#include "framework/slider_control.h"
#include "synth/parameters.h"
#include "ui/controls.h"

namespace Veldane {

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
    ParamId parameter;
    ControlKind kind;
    int left, top;    // panel pixels
    int itemsOrSteps; // radio: number of items; knob: positions (0 = continuous)
    double defaultValue; // knob: value of a double-click; Knob::noDefault for none
    Binding binding;
    // Radio groups: the value the last item stores; that item also lights for
    // any larger value. -1: the item's own number.
    int lastItemValue;
};

// The panel's size in pixels: its background image.
constexpr int panelWidth = 702;
constexpr int panelHeight = 366;
// Control sizes, from the artwork: a knob frame, a slider track and its
// handle, a lamp.
constexpr int knobSize = 36;
constexpr int sliderWidth = 14;
constexpr int sliderHeight = 110;
constexpr int sliderHandleHeight = 27;
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

// The panel, in paint and hit-test order (the version label comes before all
// of these). The reserved parameter has no control.
constexpr PanelEntry panelLayout[] = {
    // OSC 1
    {kOsc1Waveform, ControlKind::radio, 24, 47, 3, Knob::noDefault, Binding::choice, -1},
    {kOsc1Volume, ControlKind::knob, 95, 48, 0, volumeDefault, Binding::normalized, -1},
    {kOsc1ShapeModSrc, ControlKind::radio, 24, 119, 3, Knob::noDefault, Binding::choice, -1},
    {kOsc1ShapeMod, ControlKind::knob, 95, 120, 0, Knob::noDefault, Binding::normalized, -1},
    // OSC 2
    {kOsc2Waveform, ControlKind::radio, 24, 224, 3, Knob::noDefault, Binding::choice, -1},
    {kOsc2Detune, ControlKind::knob, 95, 296, 0, centreDefault, Binding::normalized, -1},
    {kOsc2Ringmod, ControlKind::lampSwitch, 24, 300, 0, Knob::noDefault, Binding::onOff, -1},
    {kOsc2Sync, ControlKind::lampSwitch, 24, 317, 0, Knob::noDefault, Binding::onOff, -1},
    {kOsc2Volume, ControlKind::knob, 95, 224, 0, volumeDefault, Binding::normalized, -1},
    // PITCH
    {kMasterTune, ControlKind::knob, 182, 48, masterTuneSteps, centreDefault, Binding::normalized, -1},
    {kOscDetune, ControlKind::knob, 182, 120, 0, centreDefault, Binding::normalized, -1},
    {kPitchModSrc, ControlKind::radio, 175, 187, 2, Knob::noDefault, Binding::choice, -1},
    {kPitchModInv, ControlKind::lampSwitch, 175, 217, 0, Knob::noDefault, Binding::onOff, -1},
    {kPitchModDepth, ControlKind::knob, 182, 249, 0, Knob::noDefault, Binding::normalized, -1},
    {kPitchModOsc1, ControlKind::lampSwitch, 175, 315, 0, Knob::noDefault, Binding::onOff, -1},
    {kPitchModOsc2, ControlKind::lampSwitch, 175, 328, 0, Knob::noDefault, Binding::onOff, -1},
    // FILTER
    {kFilterType, ControlKind::radio, 262, 48, 3, Knob::noDefault, Binding::choice, -1},
    {kFilterCutoff, ControlKind::knob, 333, 48, 0, Knob::noDefault, Binding::normalized, -1},
    {kFilterQ, ControlKind::knob, 333, 120, 0, Knob::noDefault, Binding::normalized, -1},
    {kFilterModSrc, ControlKind::radio, 262, 119, 2, Knob::noDefault, Binding::choice, -1},
    {kFilterModInv, ControlKind::lampSwitch, 262, 149, 0, Knob::noDefault, Binding::onOff, -1},
    {kFilterMod, ControlKind::knob, 269, 192, 0, Knob::noDefault, Binding::normalized, -1},
    {kFilterKbdTrk, ControlKind::knob, 333, 192, 0, centreDefault, Binding::normalized, -1},
    // LFO
    {kLfoWaveform, ControlKind::radio, 413, 54, 2, Knob::noDefault, Binding::choice, -1},
    {kLfoFrequency, ControlKind::knob, 484, 120, 0, Knob::noDefault, Binding::normalized, -1},
    {kLfoDelay, ControlKind::knob, 484, 48, 0, centreDefault, Binding::normalized, -1},
    // GLOBAL
    {kGlideTime, ControlKind::knob, 484, 223, 0, Knob::noDefault, Binding::normalized, -1},
    {kBendRange, ControlKind::knob, 420, 296, bendRangeSteps, Knob::noDefault, Binding::steppedInt, -1},
    {kVoiceMode, ControlKind::radio, 413, 223, 3, Knob::noDefault, Binding::choice, voiceModePolyValue},
    {kMasterVolume, ControlKind::knob, 484, 296, 0, volumeDefault, Binding::normalized, -1},
    // AMP ENV
    {kAmpAttack, ControlKind::slider, 575, 48, 0, Knob::noDefault, Binding::normalized, -1},
    {kAmpDecay, ControlKind::slider, 601, 48, 0, Knob::noDefault, Binding::normalized, -1},
    {kAmpSustain, ControlKind::slider, 627, 48, 0, Knob::noDefault, Binding::normalized, -1},
    {kAmpRelease, ControlKind::slider, 653, 48, 0, Knob::noDefault, Binding::normalized, -1},
    // MOD ENV
    {kModAttack, ControlKind::slider, 575, 224, 0, Knob::noDefault, Binding::normalized, -1},
    {kModDecay, ControlKind::slider, 601, 224, 0, Knob::noDefault, Binding::normalized, -1},
    {kModSustain, ControlKind::slider, 627, 224, 0, Knob::noDefault, Binding::normalized, -1},
    {kModRelease, ControlKind::slider, 653, 224, 0, Knob::noDefault, Binding::normalized, -1},
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
    Panel(zem::IEditor* editor, const PanelImages& images, zem::Scale scale = zem::Scale());
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // The controls in panelLayout order; not owning.
    zem::Control* controls[panelControlCount];

    // The control showing parameter `index`, or null (the reserved
    // parameter, an index outside the set).
    zem::Control* controlFor(int index) const;

    // Moves every control to its place at `scale`, drawing with `images`
    // (drawn for that scale); each keeps what it shows. No repaint.
    void place(zem::Scale scale, const PanelImages& images);

    // A control edit: converts the control's state into the parameter's
    // normalized value and hands it to the plug-in (IEditController::edit),
    // which stores it, applies it and tells the host, also when the value did
    // not change.
    void controlChanged(zem::IEditController& plugin, int index);

    // Makes the control of parameter `index` show the parameter's current
    // value. Never calls back into the parameter, the plug-in or the host.
    void updateControl(zem::IEditController& plugin, int index);

private:
    RadioControl radios[countControls(ControlKind::radio)];
    Knob knobs[countControls(ControlKind::knob)];
    SwitchControl switches[countControls(ControlKind::lampSwitch)];
    zem::SliderControl sliders[countControls(ControlKind::slider)];
    // Position in panelLayout of each parameter's control; -1 for none.
    int entryOf[kParamCount];
};

} // namespace Veldane
