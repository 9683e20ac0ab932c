#pragma once
// The version text on the panel. Windows draws it at run time with the
// system's font renderer (gfx/system_text.h). Where the plug-in carries no
// font renderer (Linux), it shows the same text drawn at build time into an
// image (scripts/make-images.py --label), which the library carries with its
// other images: DejaVu Sans, the font the Windows label gets under wine, in
// its cell size and colour, so both panels look alike; no font file is read
// at run time and no font library is linked. At another scale the label is
// the image drawn for that scale, or the system's font at that scale's cell
// height.

#include <memory>

#include "framework/control.h"

class SystemFont;

class LabelControl : public zem::Control {
public:
    // The text shown: the version of this build.
    static const char* const text;

    // image: the text drawn at build time (not owned), or null to draw it
    // with the system's font. An image stands on the bottom edge of bounds,
    // as the Windows text's cell does, and the bounds become its own, so a
    // repaint anywhere over it redraws all of it.
    LabelControl(const PixelRect& bounds, zem::IEditor* editor, LICE_IBitmap* image);
    // Moves the label into `box` (window pixels) at `scale`, shown by `image`
    // (drawn for that scale) or, when null, the system's font. No repaint.
    void place(const PixelRect& box, LICE_IBitmap* image, zem::Scale scale);
    ~LabelControl() override;
    LabelControl(const LabelControl&) = delete;
    LabelControl& operator=(const LabelControl&) = delete;

    // One line, left-aligned on the bottom edge of bounds, not clipped.
    void draw(LICE_IBitmap& target) override;

private:
    LICE_IBitmap* image;              // not owned; null when drawn as text
    std::unique_ptr<SystemFont> font; // owned; null when there is an image
};
