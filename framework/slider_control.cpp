#include "framework/slider_control.h"

#include <cmath>

#include "framework/editor.h"
#include "gfx/bitmap.h"

namespace zem {

SliderControl::SliderControl(int parameterIndex, const PixelRect& bounds, IEditor* editor, LICE_IBitmap* handleImage,
                             int artworkHandleHeight)
    : Control(parameterIndex, bounds, editor), image(handleImage), handleHeight(artworkHandleHeight) {
    if (image != nullptr && image->height() > 0)
        handleHeight = image->height();
    travel = (bounds.bottom - bounds.top) - handleHeight;
    if (travel < 0)
        travel = 0;
}

void SliderControl::setValue(float n) {
    if (!std::isfinite(n))
        n = 0.0f;
    // Multiplied in single precision: the handle lands on the same pixel as
    // the value the host stored.
    position = static_cast<double>(static_cast<float>(travel) * n);
    editor->invalidateRect(bounds);
}

void SliderControl::draw(LICE_IBitmap& target) {
    if (image == nullptr)
        return;
    const int top = bounds.bottom - static_cast<int>(position + 0.5) - handleHeight;
    blit(&target, image, bounds.left, top, nullptr, BlitMode::sourceAlpha);
}

void SliderControl::mouseDown(int x, int y) {
    (void)x;
    dragging = true;
    const double handleTop = travel - position;
    if (y < handleTop || y > handleTop + handleHeight) {
        // Pressed on the track beside the handle: its middle jumps under the
        // pointer, then the drag goes on from there.
        double p = travel + handleHeight / 2 - y;
        if (p < 0)
            p = 0;
        if (p > travel)
            p = travel;
        position = p;
        editor->invalidateRect(bounds);
        editor->controlChanged(parameterIndex);
    }
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
    position -= (y - lastY) * (mods.shift ? fineFactor : 1.0);
    // While the handle sits at an end, lastY keeps the last point inside the
    // travel: the handle follows again only once the pointer comes back past
    // where the end was reached.
    if (position > travel)
        position = travel;
    else if (position < 0)
        position = 0;
    else
        lastY = y;
    editor->invalidateRect(bounds);
    editor->controlChanged(parameterIndex);
}

} // namespace zem
