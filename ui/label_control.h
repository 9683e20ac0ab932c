#pragma once
// The version text on the panel, drawn with GDI into the back buffer's device
// context. Windows only.

#include <windows.h>

#include "framework/control.h"

class LabelControl : public zem::Control {
public:
    // The text shown; the version of this build.
    static constexpr const char* text = "Version 0.9.0 beta";

    // Creates the label's font (14-pixel Arial).
    LabelControl(const PixelRect& bounds, zem::IEditor* editor);
    // Deletes the font.
    ~LabelControl() override;
    LabelControl(const LabelControl&) = delete;
    LabelControl& operator=(const LabelControl&) = delete;

    // One line, left-aligned on the bottom edge of bounds, not clipped. Puts
    // the device context's previous font back afterwards, so that the font is
    // never deleted while still selected.
    void draw(LICE_IBitmap& target) override;

private:
    HFONT font = nullptr; // owned
};
