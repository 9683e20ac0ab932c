#include "gfx/sys_bitmap.h"

LICE_SysBitmap::LICE_SysBitmap()
{
    memoryDC = CreateCompatibleDC(nullptr);
    if (memoryDC)
        resize(1, 1);
}

LICE_SysBitmap::~LICE_SysBitmap()
{
    if (memoryDC && previousBitmap)
        SelectObject(memoryDC, previousBitmap);
    if (dibSection)
        DeleteObject(dibSection);
    if (memoryDC)
        DeleteDC(memoryDC);
}

bool LICE_SysBitmap::resize(int w, int h)
{
    if (!memoryDC) {
        bitmapWidth = 0;
        bitmapHeight = 0;
        return false;
    }
    // A negative size would pass the "fits" test below and describe pixels that
    // do not exist.
    if (w < 0)
        w = 0;
    if (h < 0)
        h = 0;
    if (w == bitmapWidth && h == bitmapHeight)
        return false;
    bitmapWidth = w;
    bitmapHeight = h;
    if (w > 0 && h > 0 && w <= allocatedWidth && h <= allocatedHeight)
        return true;

    allocatedWidth = w;
    allocatedHeight = h;
    if (previousBitmap) {
        SelectObject(memoryDC, previousBitmap);
        previousBitmap = nullptr;
    }
    if (dibSection) {
        DeleteObject(dibSection);
        dibSection = nullptr;
    }
    // The pixels went with the old section.
    buffer = nullptr;
    if (w == 0 || h == 0)
        return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // negative: top row first, like every bitmap here
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dibSection = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dibSection && bits) {
        previousBitmap = SelectObject(memoryDC, dibSection);
        buffer = static_cast<uint32_t*>(bits);
    } else {
        if (dibSection) {
            DeleteObject(dibSection);
            dibSection = nullptr;
        }
        bitmapWidth = 0;
        bitmapHeight = 0;
        allocatedWidth = 0;
        allocatedHeight = 0;
    }
    return true;
}
