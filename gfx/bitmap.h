#pragma once
// 32-bit bitmaps for the editor. A pixel read as a little-endian 32-bit integer
// is 0xAARRGGBB (bytes in memory: blue, green, red, alpha), the layout of a
// 32-bit Windows DIB, so the back buffer goes to GDI unchanged.

#include <cstdint>

#include "base/platform.h"

// A bitmap is used by one thread at a time (the editor's user-interface
// thread); nothing here locks. Only resize allocates, so drawing and blitting
// are safe inside WM_PAINT.
class LICE_IBitmap {
public:
    virtual ~LICE_IBitmap() = default;
    // First pixel in memory (of the top row unless bottomUp), or null when
    // the bitmap has no storage.
    virtual uint32_t* pixels() = 0;
    // Size in pixels; 0 x 0 without storage.
    virtual int width() = 0;
    virtual int height() = 0;
    // Pixels from the start of one row to the start of the next (>= width).
    virtual int rowSpan() = 0;
    // True when pixels() is the bottom row and rows run upwards in memory;
    // every bitmap of ours is top-down, blit honours the flag regardless.
    virtual bool bottomUp() { return false; }
    // Answers whether the size changed.
    virtual bool resize(int w, int h) = 0;
    // A device context that draws into the bitmap, or null when it has none.
    virtual NativeDrawContext deviceContext() { return nullptr; }
};

// A bitmap in heap memory: decoded images.
class LICE_MemBitmap : public LICE_IBitmap {
public:
    LICE_MemBitmap(int w = 0, int h = 0);
    ~LICE_MemBitmap() override;
    LICE_MemBitmap(const LICE_MemBitmap&) = delete;
    LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

    uint32_t* pixels() override { return buffer; }
    int width() override { return bitmapWidth; }
    int height() override { return bitmapHeight; }
    int rowSpan() override { return bitmapWidth; }
    // Grows the buffer to the new size plus a quarter when it is too small and
    // keeps it when it is large enough, so that repeated resizing does not
    // reallocate each time. A size without storage (a side of 0 or less, or more
    // bytes than an int counts) frees the buffer and leaves the bitmap 0 x 0.
    bool resize(int w, int h) override;
    // Bytes of the pixel buffer, which may exceed width * height * 4.
    int capacityBytes() const { return allocatedBytes; }

private:
    uint32_t* buffer = nullptr;
    int bitmapWidth = 0;
    int bitmapHeight = 0;
    int allocatedBytes = 0;
};

enum class BlitMode { copy, sourceAlpha };

// Copies srcRect of src (all of src when null) to dest with its top-left corner
// at (dstX, dstY), clipped to both bitmaps.
void blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, const PixelRect* srcRect, BlitMode mode);
void blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, int srcX, int srcY, int w, int h, BlitMode mode);
