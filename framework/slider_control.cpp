#include "framework/slider_control.h"

#include <cmath>

#include "framework/editor.h"
#include "gfx/bitmap.h"

namespace zem {

SliderControl::SliderControl(int parameterIndex, const PixelRect& bounds, IEditor* editor, LICE_IBitmap* handleImage,
                             int artworkHandleHeight, Scale scale)
    : Control(parameterIndex, bounds, editor) {
    place(bounds, handleImage, artworkHandleHeight, scale);
}

void SliderControl::place(const PixelRect& newBounds, LICE_IBitmap* handleImage, int artworkHandleHeight,
                          Scale newScale) {
    bounds = newBounds;
    image = handleImage;
    scale = newScale;
    const double f = scale.factor();
    const int trackPixels = bounds.bottom - bounds.top;
    const int imagePixels = image != nullptr && image->height() > 0 ? image->height() : scale.pixels(artworkHandleHeight);
    // The image's height in panel pixels: its drawn height, rounded back.
    handleHeight = image != nullptr && image->height() > 0 ? static_cast<int>(image->height() / f + 0.5)
                                                           : artworkHandleHeight;
    travel = static_cast<int>(trackPixels / f + 0.5) - handleHeight;
    if (travel < 0)
        travel = 0;
    travelScale = travel > 0 && trackPixels > imagePixels ? static_cast<double>(trackPixels - imagePixels) / travel : f;
}

void SliderControl::setValue(float n) {
    if (!std::isfinite(n))
        n = 0.0f;
    // Multiplied in single precision: the handle lands on the same pixel as
    // the value the host stored.
    position = static_cast<double>(static_cast<float>(travel) * n);
    anchorPosition = position;
    anchorTravel = 0.0;
    editor->invalidateRect(bounds);
}

void SliderControl::draw(LICE_IBitmap& target) {
    if (image == nullptr)
        return;
    const int top = bounds.bottom - static_cast<int>(position * travelScale + 0.5) - image->height();
    blit(&target, image, bounds.left, top, nullptr, BlitMode::sourceAlpha);
}

void SliderControl::mouseDown(int x, int y) {
    (void)x;
    dragging = true;
    const double handleTop = travel - position;
    const double panelY = y / scale.factor();
    if (panelY < handleTop || panelY > handleTop + handleHeight) {
        // Pressed on the track beside the handle: its middle jumps under the
        // pointer, then the drag goes on from there.
        double p = travel + handleHeight / 2 - panelY;
        if (p < 0)
            p = 0;
        if (p > travel)
            p = travel;
        position = p;
        editor->invalidateRect(bounds);
        editor->controlChanged(parameterIndex);
    }
    anchorPosition = position;
    anchorTravel = 0.0;
    lastY = y;
    editor->captureMouse(this);
}

void SliderControl::mouseUp(int x, int y) {
    (void)x;
    (void)y;
    if (!dragging)
        return;
    dragging = false;
    editor->releaseMouse();
}

void SliderControl::mouseMove(int x, int y, MouseModifiers mods) {
    (void)x;
    if (!dragging || y == lastY)
        return;
    const double moved = anchorTravel + (y - lastY) * (mods.shift ? fineFactor : 1.0);
    const double p = anchorPosition - moved / scale.factor();
    // While the handle sits at an end, lastY keeps the last point inside the
    // travel: the handle follows again only once the pointer comes back past
    // where the end was reached.
    if (p > travel) {
        position = travel;
    } else if (p < 0) {
        position = 0;
    } else {
        position = p;
        anchorTravel = moved;
        lastY = y;
    }
    editor->invalidateRect(bounds);
    editor->controlChanged(parameterIndex);
}

} // namespace zem
