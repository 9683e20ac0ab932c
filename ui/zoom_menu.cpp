#include "ui/zoom_menu.h"

#include "framework/editor.h"
#include "gfx/bitmap.h"

void ZoomMenu::setImages(LICE_IBitmap* newBox, LICE_IBitmap* newLitBox, LICE_IBitmap* newCheck, zem::Scale newScale) {
    box = newBox;
    litBox = newLitBox;
    check = newCheck;
    scale = newScale;
}

void ZoomMenu::openAt(int x, int y, int width, int height, zem::Scale shown) {
    const int w = box != nullptr ? box->width() : 0;
    const int h = box != nullptr ? box->height() : 0;
    if (x + w > width) x = width - w;
    if (y + h > height) y = height - h;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    bounds = zem::makeRect(x, y, w, h);
    checked = shown.index();
    lit = -1;
}

int ZoomMenu::rowAt(int x, int y) const {
    if (x < 0 || x >= bounds.right - bounds.left || y < rowTop(0)) return -1;
    const int row = (y - rowTop(0)) / scale.pixels(zoomMenuRowHeight);
    return row < zem::Scale::kCount ? row : -1;
}

void ZoomMenu::draw(LICE_IBitmap& target) {
    if (!complete()) return;
    blit(&target, box, bounds.left, bounds.top, nullptr, BlitMode::copy);
    if (lit >= 0) {
        const PixelRect row{0, rowTop(lit), litBox->width(), rowTop(lit + 1)};
        blit(&target, litBox, bounds.left, bounds.top + row.top, &row, BlitMode::copy);
    }
    blit(&target, check, bounds.left + scale.pixels(zoomMenuBorder), bounds.top + rowTop(checked), nullptr,
         BlitMode::sourceAlpha);
}

void ZoomMenu::mouseMove(int x, int y, zem::MouseModifiers) {
    const int row = rowAt(x, y);
    if (row == lit) return;
    lit = row;
    editor->invalidateRect(bounds);
}

void ZoomMenu::mouseDown(int x, int y) {
    const int row = rowAt(x, y);
    if (row >= 0) listener.zoomPicked(zem::Scale::kPercents[row]);
}
