#include "ui/controls.h"

#include <cmath>

#include "framework/editor.h"
#include "gfx/bitmap.h"

Knob::Knob(int parameterIndex, const PixelRect& bounds, zem::IEditor* editor, LICE_IBitmap* image, int steps,
           int frameCount, double defaultValue)
    : Control(parameterIndex, bounds, editor),
      image(image),
      steps(steps),
      frameCount(frameCount > 0 ? frameCount : 1),
      defaultValue(defaultValue) {}

int Knob::frameFor(double v) const {
    return static_cast<int>((frameCount - 1) * v + 0.5);
}

void Knob::settle(double v) {
    // !(v >= 0) also catches NaN, which would make the casts below undefined.
    if (!(v >= 0.0))
        v = 0.0;
    if (v > 1.0)
        v = 1.0;
    if (steps >= 2) {
        stepIndex = static_cast<int>((steps - 1) * v + 0.5);
        v = static_cast<double>(stepIndex) / (steps - 1);
    }
    value = v;
    frameIndex = frameFor(v);
}

void Knob::finishEdit(double oldValue, int oldFrame) {
    if (value == oldValue)
        return;
    if (frameIndex != oldFrame)
        editor->invalidateRect(bounds);
    editor->controlChanged(parameterIndex);
}

void Knob::setValue(double v) {
    settle(v);
    editor->invalidateRect(bounds);
}

int Knob::clampStep(int s) const {
    if (s < 0)
        return 0;
    if (s > steps - 1)
        return steps - 1;
    return s;
}

void Knob::setStep(int s) {
    if (steps < 2)
        return;
    s = clampStep(s);
    if (s == stepIndex)
        return;
    stepIndex = s;
    value = static_cast<double>(s) / (steps - 1);
    frameIndex = frameFor(value);
    editor->invalidateRect(bounds);
}

void Knob::draw(LICE_IBitmap& target) {
    if (image == nullptr)
        return;
    const int frameHeight = image->height() / frameCount;
    PixelRect source;
    source.left = 0;
    source.top = frameIndex * frameHeight;
    source.right = image->width();
    source.bottom = (frameIndex + 1) * frameHeight;
    blit(&target, image, bounds.left, bounds.top, &source, BlitMode::sourceAlpha);
}

void Knob::mouseDown(int x, int y) {
    (void)x;
    lastY = y;
    dragStartValue = value;
    dragPixels = 0.0;
    dragging = true;
    editor->captureMouse(this);
}

void Knob::mouseMove(int x, int y, zem::MouseModifiers mods) {
    (void)x;
    if (!dragging)
        return;
    const int dy = y - lastY;
    lastY = y;
    const double factor = mods.shift ? fineFactor : 1.0;
    // Screen y grows downwards; moving up raises the value. The window
    // pixels add up exactly (whole numbers, quarters with Shift), and only
    // their sum becomes panel pixels: a drag gives the same value at every
    // scale, however the system cuts it into moves.
    dragPixels -= factor * dy;
    const double oldValue = value;
    const int oldFrame = frameIndex;
    settle(dragStartValue + dragPixels / scale.factor() * dragSensitivity);
    finishEdit(oldValue, oldFrame);
}

void Knob::mouseUp(int x, int y) {
    (void)x;
    (void)y;
    dragging = false;
    editor->releaseMouse();
}

void Knob::mouseDoubleClick(int x, int y) {
    (void)x;
    (void)y;
    if (defaultValue < 0.0)
        return;
    const double oldValue = value;
    const int oldFrame = frameIndex;
    settle(defaultValue);
    finishEdit(oldValue, oldFrame);
}

void Knob::mouseWheel(int x, int y, int keys, int notches) {
    (void)x;
    (void)y;
    (void)keys;
    if (steps < 2)
        return;
    const int s = clampStep(stepIndex + notches);
    stepIndex = s;
    const double v = static_cast<double>(s) / (steps - 1);
    if (v == value)
        return;
    const int oldFrame = frameIndex;
    value = v;
    frameIndex = frameFor(v);
    if (frameIndex != oldFrame)
        editor->invalidateRect(bounds);
    editor->controlChanged(parameterIndex);
}

SwitchControl::SwitchControl(int parameterIndex, const PixelRect& bounds, zem::IEditor* editor, LICE_IBitmap* onImage,
                             LICE_IBitmap* offImage)
    : Control(parameterIndex, bounds, editor), onImage(onImage), offImage(offImage) {}

void SwitchControl::setState(bool b) {
    if (b == on)
        return;
    on = b;
    editor->invalidateRect(bounds);
}

void SwitchControl::draw(LICE_IBitmap& target) {
    blit(&target, on ? onImage : offImage, bounds.left, bounds.top, nullptr, BlitMode::copy);
}

void SwitchControl::mouseDown(int x, int y) {
    (void)x;
    (void)y;
    on = !on;
    editor->invalidateRect(bounds);
    editor->controlChanged(parameterIndex);
}

void SwitchControl::mouseDoubleClick(int x, int y) {
    mouseDown(x, y);
}

RadioControl::RadioControl(int parameterIndex, const PixelRect& bounds, zem::IEditor* editor, LICE_IBitmap* onImage,
                           LICE_IBitmap* offImage, int count, int spacing)
    : Control(parameterIndex, bounds, editor),
      onImage(onImage),
      offImage(offImage),
      count(count),
      spacing(spacing > 0 ? spacing : 1) {}

void RadioControl::setSelected(int i) {
    if (i == selected)
        return;
    selected = i;
    editor->invalidateRect(bounds);
}

void RadioControl::draw(LICE_IBitmap& target) {
    for (int i = 0; i < count; ++i)
        blit(&target, i == selected ? onImage : offImage, bounds.left, bounds.top + scale.pixels(i * spacing), nullptr,
             BlitMode::copy);
}

void RadioControl::mouseDown(int x, int y) {
    (void)x;
    // Items own whole cells of panel pixels. A press above the group (y < 0)
    // selects nothing rather than item 0.
    const int item = static_cast<int>(std::floor(y / scale.factor() / spacing));
    if (y >= 0 && item < count)
        selected = item;
    editor->invalidateRect(bounds);
    editor->controlChanged(parameterIndex);
}

void RadioControl::mouseDoubleClick(int x, int y) {
    mouseDown(x, y);
}
