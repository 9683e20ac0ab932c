#pragma once
// The editor's back buffer: a 32-bit top-down DIB section selected into a memory
// device context of its own, so that GDI can draw text into it and copy it to
// the window, while the controls blit into its pixels directly. Windows only.

#include <windows.h>

#include "gfx/bitmap.h"

class LICE_SysBitmap : public LICE_IBitmap {
public:
    // Creates the device context and a first 1 x 1 DIB section; when either
    // fails the bitmap stays 0 x 0 without pixels.
    LICE_SysBitmap();
    ~LICE_SysBitmap() override;
    LICE_SysBitmap(const LICE_SysBitmap&) = delete;
    LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

    uint32_t* pixels() override { return buffer; }
    int width() override { return bitmapWidth; }
    int height() override { return bitmapHeight; }
    // The DIB section's own width: a shrunk bitmap keeps its larger section.
    int rowSpan() override { return allocatedWidth; }
    // Keeps the DIB section when the new size fits into it; otherwise replaces
    // it. Negative sizes count as 0.
    bool resize(int w, int h) override;
    NativeDrawContext deviceContext() override { return memoryDC; }
    // The same, as the Windows type.
    HDC dc() const { return memoryDC; }

private:
    int bitmapWidth = 0;
    int bitmapHeight = 0;
    HDC memoryDC = nullptr;     // owned; keeps dibSection selected
    uint32_t* buffer = nullptr; // top row of dibSection, or null
    int allocatedWidth = 0;     // dibSection's size in pixels
    int allocatedHeight = 0;
    HBITMAP dibSection = nullptr;     // owned
    HGDIOBJ previousBitmap = nullptr; // selected in memoryDC before dibSection
};
