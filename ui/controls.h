#pragma once
// The panel's own controls: rotary knobs drawn from a stack of frames, lamp
// switches and lamp radio groups. (The version label is ui/label_control.h.)
// Images are never owned by
// a control: the editor owns them and they are shared by all controls of a
// kind. A missing image makes a control draw nothing; it still works.

#include "framework/control.h"

// A rotary knob. Its value is 0..1; a stepped knob (steps >= 2) stops only at
// the values k / (steps - 1). The frame shown is the value scaled to the
// frame stack and rounded.
class Knob : public zem::Control {
public:
    // Value change per panel pixel of vertical drag: 256 span the whole range.
    static constexpr double dragSensitivity = 1.0 / 256.0;
    // Drag factor with Shift held: 1024 pixels span the range.
    static constexpr double fineFactor = 0.25;
    // defaultValue meaning "a double-click does nothing".
    static constexpr double noDefault = -1.0;

    // The frame stack: frameCount frames of equal height, top to bottom; not owned.
    LICE_IBitmap* image = nullptr;
    // A drag is in progress (between mouseDown and mouseUp).
    bool dragging = false;
    // Pointer y (relative to the control) at the previous drag event.
    int lastY = 0;
    // value when the drag began.
    double dragStartValue = 0.0;
    // The drag's pointer travel so far in window pixels, upwards positive,
    // Shift moves counted a quarter; not clamped: dragging past an end keeps
    // counting, so the way back starts where the end was passed.
    double dragPixels = 0.0;
    // 0 for a continuous knob; otherwise the number of positions (>= 2).
    int steps = 0;
    // Number of frames in the image.
    int frameCount = 1;
    // The knob's value, 0..1.
    double value = 0.0;
    // Value a double-click sets; negative: the knob has no default.
    double defaultValue = noDefault;
    // Position 0 .. steps - 1 of a stepped knob.
    int stepIndex = 0;
    // The frame shown, 0 .. frameCount - 1.
    int frameIndex = 0;

    Knob() = default;
    Knob(int parameterIndex, const PixelRect& bounds, zem::IEditor* editor, LICE_IBitmap* image, int steps, int frameCount,
         double defaultValue);

    // Parameter side: settles to v (clamped to 0..1) and always repaints.
    // Never reports back.
    void setValue(double v);
    // Parameter side, for a knob bound to an integer: shows position s
    // (clamped to the knob's positions) when it differs from the current one.
    // Never reports back.
    void setStep(int s);

    void draw(LICE_IBitmap& target) override;
    void mouseDown(int x, int y) override;
    // Back to defaultValue, when the knob has one.
    void mouseDoubleClick(int x, int y) override;
    void mouseUp(int x, int y) override;
    void mouseMove(int x, int y, zem::MouseModifiers mods) override;
    // Stepped knobs move one position per notch; continuous ones ignore the wheel.
    void mouseWheel(int x, int y, int keys, int notches) override;

private:
    // Clamps v to 0..1, snaps it to a position of a stepped knob, and sets
    // value and frameIndex from it.
    void settle(double v);
    int frameFor(double v) const;
    // s held to the positions 0 .. steps - 1 of a stepped knob.
    int clampStep(int s) const;
    // Repaints when the frame moved and reports, unless the value is unchanged.
    void finishEdit(double oldValue, int oldFrame);
};

// An on/off lamp; every press (double-click presses too) toggles it.
class SwitchControl : public zem::Control {
public:
    LICE_IBitmap* onImage = nullptr;  // lit lamp; not owned
    LICE_IBitmap* offImage = nullptr; // unlit lamp; not owned
    bool on = false;                  // the state shown

    SwitchControl() = default;
    SwitchControl(int parameterIndex, const PixelRect& bounds, zem::IEditor* editor, LICE_IBitmap* onImage,
                  LICE_IBitmap* offImage);

    // Parameter side: shows b; repaints only on a change. Never reports back.
    void setState(bool b);

    void draw(LICE_IBitmap& target) override;
    void mouseDown(int x, int y) override;
    void mouseDoubleClick(int x, int y) override;
};

// A column of lamps, one lit: the selected item. Item i sits i × spacing
// panel pixels below the top and owns that many (lamp and the gap below it).
class RadioControl : public zem::Control {
public:
    LICE_IBitmap* onImage = nullptr;  // lit lamp; not owned
    LICE_IBitmap* offImage = nullptr; // unlit lamp; not owned
    int count = 0;                    // number of items
    int spacing = 1;                  // vertical distance between items, panel pixels
    int selected = 0;                 // the lit item

    RadioControl() = default;
    RadioControl(int parameterIndex, const PixelRect& bounds, zem::IEditor* editor, LICE_IBitmap* onImage,
                 LICE_IBitmap* offImage, int count, int spacing);

    // Parameter side: lights item i; repaints only on a change. Never reports back.
    void setSelected(int i);

    // Selects the item under the pointer and reports, also when it was
    // already selected or the press missed every item.
    void mouseDown(int x, int y) override;
    void mouseDoubleClick(int x, int y) override;
    void draw(LICE_IBitmap& target) override;
};
