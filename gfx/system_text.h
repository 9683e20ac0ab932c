#pragma once
// Text drawn by the system's own font renderer into a bitmap that has a
// device context (LICE_SysBitmap). Only Windows has one here (GDI,
// gfx/system_text_win32.cpp); elsewhere the plug-in carries no font
// renderer, create answers null and a caller shows prerendered text instead.

#include <cstdint>

#include "base/platform.h"
#include "gfx/bitmap.h"

class SystemFont {
public:
    // A font of the family `face` whose character cell is cellHeight pixels
    // tall, smoothed; null when the system draws no text for us. Owned by
    // the caller.
    static SystemFont* create(const char* face, int cellHeight);
    ~SystemFont();
    SystemFont(const SystemFont&) = delete;
    SystemFont& operator=(const SystemFont&) = delete;

    // One line of text in colour 0xRRGGBB, left-aligned, its cell standing on
    // the bottom edge of box, not clipped. Nothing when target has no device
    // context. Allocates nothing: it runs while the window paints.
    void drawLine(LICE_IBitmap& target, const PixelRect& box, const char* text, std::uint32_t rgb) const;

private:
    explicit SystemFont(void* handle) : handle(handle) {}
    void* handle; // the system's font object; owned
};
