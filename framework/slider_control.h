#pragma once
// A vertical slider: a handle image moving along a fixed track. The slider's
// state is the handle's position in panel pixels; its parameter value is
// position / travel, 0 with the handle at the bottom, 1 at the top. At
// another scale the handle is drawn at the same part of the track's window
// pixels, and a drag counts in panel pixels (control.h).

#include "framework/control.h"

namespace zem {

class SliderControl : public Control {
public:
    // Pointer travel per pixel of handle travel with Shift held: fine moves.
    static constexpr double fineFactor = 0.25;

    // Distance in panel pixels of the handle's bottom edge above the bottom of
    // its travel, 0 .. travel (host values outside 0..1 may put it beyond).
    double position = 0.0;
    // Pointer y (window pixels, relative to the control) at the last drag
    // event that moved the handle freely, i.e. not held at an end.
    int lastY = 0;
    // Where the drag's free moves are counted from: the handle's position
    // when the drag began (or the host last set it), and the pointer's
    // travel since then in window pixels, downwards positive, Shift moves
    // counted a quarter. The window pixels add up exactly and only their sum
    // becomes panel pixels, so a drag gives the same value at every scale.
    double anchorPosition = 0.0;
    double anchorTravel = 0.0;
    // The handle image; not owned.
    LICE_IBitmap* image = nullptr;
    // Height of the handle in panel pixels.
    int handleHeight = 0;
    // Panel pixels the handle can move: the track height minus the handle height.
    int travel = 0;
    // Window pixels the handle's image moves per panel pixel of travel: the
    // track's window pixels beside its image over travel, so that the handle
    // reaches both ends of the track exactly at every scale (1 at 100 %).
    double travelScale = 1.0;
    // A drag is in progress (between mouseDown and mouseUp).
    bool dragging = false;

    SliderControl() = default;
    // bounds is the whole track in window pixels at `scale`; the handle's
    // height is read from the image. artworkHandleHeight (panel pixels) is the
    // height assumed when the image is missing, so the travel (and with it
    // the value scale) stays that of the artwork.
    SliderControl(int parameterIndex, const PixelRect& bounds, IEditor* editor, LICE_IBitmap* handleImage,
                  int artworkHandleHeight, Scale scale = Scale());
    // Moves the slider to a new place, image and scale; the handle keeps its
    // position. No repaint.
    void place(const PixelRect& bounds, LICE_IBitmap* handleImage, int artworkHandleHeight, Scale scale);

    // Parameter side: handle at travel × n (single precision), no range
    // check; always repaints. Never reports back. A non-finite n is taken as 0.
    void setValue(float n);
    // The parameter value the handle stands for.
    double normalizedValue() const { return travel > 0 ? position / travel : 0.0; }

    void draw(LICE_IBitmap& target) override;
    // Starts a drag; a press beside the handle first moves the handle's middle
    // under the pointer.
    void mouseDown(int x, int y) override;
    void mouseUp(int x, int y) override;
    void mouseMove(int x, int y, MouseModifiers mods) override;
};

} // namespace zem
