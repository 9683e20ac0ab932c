#pragma once
// The base of every element on an editor panel. A control knows its rectangle,
// the parameter it shows and the editor it belongs to; it draws itself into
// the editor's back buffer and turns mouse input into a new state, which it
// reports with IEditor::controlChanged. Controls contain no window-system
// code, so their behaviour is tested natively against a stand-in editor.
//
// At a scale other than 100 % (framework/editor_scale.h) a control's bounds,
// images and mouse positions are in window pixels, while what it keeps of its
// state (a knob's value, a slider's position) stays in panel pixels: a mouse
// movement counts for its length divided by the scale, so the same hand
// movement turns a knob by the same part of its travel at every size, and a
// control moved to another scale keeps its state.

#include "base/platform.h"
#include "framework/editor_scale.h"

class LICE_IBitmap;

namespace zem {

class IEditor;

// Keys held while the pointer moved.
struct MouseModifiers {
    bool shift = false;   // fine adjustment: drags move a quarter as far
    bool control = false; // passed along; no control of ours reads it
};

// True when (x, y) lies in r with all four edges counted as inside: a press
// exactly on a control's right or bottom edge still reaches it.
inline bool containsPoint(const PixelRect& r, int x, int y) {
    return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}

// True when a and b share area; rectangles that only touch along an edge do
// not intersect, so a repaint next to a control does not redraw it.
inline bool intersects(const PixelRect& a, const PixelRect& b) {
    return a.left < b.right && a.right > b.left && a.top < b.bottom && a.bottom > b.top;
}

inline PixelRect makeRect(int left, int top, int width, int height) {
    PixelRect r;
    r.left = left;
    r.top = top;
    r.right = left + width;
    r.bottom = top + height;
    return r;
}

// Every operation runs on the editor's user-interface thread. Mouse positions
// are relative to the control's top-left corner and may be negative or beyond
// the control's size while it holds the mouse capture.
class Control {
public:
    // -1 for a control that shows no parameter.
    static constexpr int noParameter = -1;

    // VST index of the parameter the control shows, or noParameter.
    int parameterIndex = noParameter;
    // Window client coordinates; right/bottom are left + width, top + height.
    PixelRect bounds{0, 0, 0, 0};
    // The editor that owns the control; not owned.
    IEditor* editor = nullptr;
    // The scale the control is shown at: window pixels per panel pixel.
    Scale scale;

    Control() = default;
    Control(int parameterIndex, const PixelRect& bounds, IEditor* editor)
        : parameterIndex(parameterIndex), bounds(bounds), editor(editor) {}
    virtual ~Control() = default;
    Control(const Control&) = default;
    Control& operator=(const Control&) = default;

    // Draws the whole control (not clipped to a repaint rectangle) into the
    // editor's back buffer. Must not allocate: it runs while the window paints.
    virtual void draw(LICE_IBitmap& target) = 0;
    // Left button pressed.
    virtual void mouseDown(int x, int y) { (void)x; (void)y; }
    // Second press of a double-click; arrives instead of mouseDown.
    virtual void mouseDoubleClick(int x, int y) { (void)x; (void)y; }
    // Left button released.
    virtual void mouseUp(int x, int y) { (void)x; (void)y; }
    // Pointer moved, with or without a button held.
    virtual void mouseMove(int x, int y, MouseModifiers mods) { (void)x; (void)y; (void)mods; }
    // Wheel turned by whole notches, positive away from the user; keys is the
    // message's key-state word.
    virtual void mouseWheel(int x, int y, int keys, int notches) { (void)x; (void)y; (void)keys; (void)notches; }
};

} // namespace zem
