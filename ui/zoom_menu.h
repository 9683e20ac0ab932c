#pragma once
// The zoom menu: a right-click on the panel's background opens it where the
// pointer is, with one row per size the panel is drawn at (100, 150, 200 %),
// a check mark beside the size shown and the row under the pointer lit. A
// press on a row picks that size; the editor shows the menu as its overlay
// (zem::Editor), so a press anywhere else closes it. It is drawn from three
// images drawn at build time at each scale (scripts/make-images.py): the
// box, the same box with every row lit, and the check mark. Only the
// formats whose host can give the editor another size offer it.

#include "framework/control.h"
#include "framework/editor_scale.h"

// Layout of the menu's images, in panel pixels (scripts/make-images.py
// draws them so): a border around one row per scale, the check mark's
// square cell at each row's left.
constexpr int zoomMenuRowHeight = 18;
constexpr int zoomMenuBorder = 1;

class ZoomMenu : public zem::Control {
public:
    // Where a pick goes (the editor).
    class Listener {
    public:
        virtual void zoomPicked(int percent) = 0;

    protected:
        ~Listener() = default;
    };

    ZoomMenu(zem::IEditor* editor, Listener& listener) : Control(noParameter, PixelRect{0, 0, 0, 0}, editor), listener(listener) {}

    // The images at the editor's scale (not owned; null: no menu).
    void setImages(LICE_IBitmap* box, LICE_IBitmap* litBox, LICE_IBitmap* check, zem::Scale scale);
    // Whether the menu can be shown: its images are there.
    bool complete() const { return box != nullptr && litBox != nullptr && check != nullptr; }

    // Places the menu with its top-left corner at (x, y), moved left and up
    // as far as it takes to lie inside the width x height window, with the
    // row of `shown` checked and no row lit.
    void openAt(int x, int y, int width, int height, zem::Scale shown);

    // The row at (x, y) relative to the menu, or -1 for none.
    int rowAt(int x, int y) const;
    // The row under the pointer; -1 for none.
    int litRow() const { return lit; }

    void draw(LICE_IBitmap& target) override;
    void mouseMove(int x, int y, zem::MouseModifiers mods) override;
    // A press on a row picks its size; the border picks nothing.
    void mouseDown(int x, int y) override;

private:
    // A row's top edge relative to the menu, in window pixels.
    int rowTop(int row) const { return scale.pixels(zoomMenuBorder) + row * scale.pixels(zoomMenuRowHeight); }

    Listener& listener;
    LICE_IBitmap* box = nullptr;
    LICE_IBitmap* litBox = nullptr;
    LICE_IBitmap* check = nullptr;
    int checked = 0; // the row of the size shown
    int lit = -1;    // the row under the pointer, or -1
};
