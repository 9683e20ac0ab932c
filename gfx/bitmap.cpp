#include "gfx/bitmap.h"

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

// Bytes for w x h pixels, or -1 when the size has no storage (a side of zero
// or less) and -2 when it cannot be held in an int byte count. Computed in 64
// bits: w * h * 4 in int overflows already at 23171 x 23171, and a wrapped
// product would allocate a small buffer that the image then overruns.
int64_t bytesFor(int w, int h)
{
    if (w <= 0 || h <= 0)
        return -1;
    const int64_t bytes = static_cast<int64_t>(w) * h * 4;
    return bytes > INT_MAX ? -2 : bytes;
}

uint32_t* rowOf(LICE_IBitmap* bitmap, int y)
{
    const int row = bitmap->bottomUp() ? bitmap->height() - 1 - y : y;
    return bitmap->pixels() + static_cast<std::ptrdiff_t>(row) * bitmap->rowSpan();
}

// One channel of a blend: the source byte moved towards the destination byte
// by (255 - a) / 256. The difference may be negative; the division truncates
// towards zero, as C++ integer division does.
inline uint32_t blendChannel(uint32_t s, uint32_t d, int inverseAlpha)
{
    const int si = static_cast<int>(s);
    return static_cast<uint32_t>(si + (static_cast<int>(d) - si) * inverseAlpha / 256);
}

void blendRow(uint32_t* dst, const uint32_t* src, int count)
{
    for (int i = 0; i < count; ++i) {
        const uint32_t s = src[i];
        const uint32_t a = s >> 24;
        if (a == 0)
            continue;
        const uint32_t d = dst[i];
        // The destination keeps its own alpha byte: the back buffer's alpha is
        // never shown, and an opaque panel stays opaque.
        if (a == 255) {
            dst[i] = (d & 0xFF000000u) | (s & 0x00FFFFFFu);
            continue;
        }
        const int inverse = 255 - static_cast<int>(a);
        const uint32_t b = blendChannel(s & 0xFF, d & 0xFF, inverse);
        const uint32_t g = blendChannel((s >> 8) & 0xFF, (d >> 8) & 0xFF, inverse);
        const uint32_t r = blendChannel((s >> 16) & 0xFF, (d >> 16) & 0xFF, inverse);
        dst[i] = (d & 0xFF000000u) | (r << 16) | (g << 8) | b;
    }
}

} // namespace

LICE_MemBitmap::LICE_MemBitmap(int w, int h)
{
    // Starting from 0 x 0, resize allocates exactly w * h * 4 bytes, and a
    // failed or impossible allocation leaves the bitmap at 0 x 0.
    resize(w, h);
}

LICE_MemBitmap::~LICE_MemBitmap()
{
    std::free(buffer);
}

bool LICE_MemBitmap::resize(int w, int h)
{
    if (w == bitmapWidth && h == bitmapHeight)
        return false;
    bitmapWidth = w;
    bitmapHeight = h;

    const int64_t needed = bytesFor(w, h);
    if (needed < 0) {
        // No storage for this size, or none that an int byte count can describe.
        std::free(buffer);
        buffer = nullptr;
        allocatedBytes = 0;
    } else if (!buffer) {
        buffer = static_cast<uint32_t*>(std::malloc(static_cast<size_t>(needed)));
        allocatedBytes = buffer ? static_cast<int>(needed) : 0;
    } else if (allocatedBytes < needed) {
        // A quarter extra, so that a bitmap growing step by step does not
        // reallocate at every step.
        int64_t grown = needed + needed / 4;
        if (grown > INT_MAX)
            grown = needed;
        void* larger = std::realloc(buffer, static_cast<size_t>(grown));
        if (larger) {
            buffer = static_cast<uint32_t*>(larger);
            allocatedBytes = static_cast<int>(grown);
        } else {
            std::free(buffer);
            buffer = static_cast<uint32_t*>(std::malloc(static_cast<size_t>(needed)));
            allocatedBytes = buffer ? static_cast<int>(needed) : 0;
        }
    }
    // A buffer that is large enough stays in use.

    if (!buffer) {
        bitmapWidth = 0;
        bitmapHeight = 0;
    }
    return true;
}

void blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, const PixelRect* srcRect, BlitMode mode)
{
    if (!dest || !src || !dest->pixels() || !src->pixels())
        return;

    // All clipping in 64 bits: rectangles built from large positions and sizes
    // must not wrap around into a seemingly valid range.
    const int64_t srcW = src->width();
    const int64_t srcH = src->height();
    int64_t left = srcRect ? srcRect->left : 0;
    int64_t top = srcRect ? srcRect->top : 0;
    int64_t right = srcRect ? srcRect->right : srcW;
    int64_t bottom = srcRect ? srcRect->bottom : srcH;
    int64_t x = dstX;
    int64_t y = dstY;

    if (right > srcW)
        right = srcW;
    if (bottom > srcH)
        bottom = srcH;
    if (left < 0) {
        x -= left;
        left = 0;
    }
    if (top < 0) {
        y -= top;
        top = 0;
    }
    if (x < 0) {
        left -= x;
        x = 0;
    }
    if (y < 0) {
        top -= y;
        y = 0;
    }
    int64_t w = right - left;
    int64_t h = bottom - top;
    if (x + w > dest->width())
        w = dest->width() - x;
    if (y + h > dest->height())
        h = dest->height() - y;
    if (w <= 0 || h <= 0)
        return;

    const int count = static_cast<int>(w);
    const int rows = static_cast<int>(h);
    const int sx = static_cast<int>(left);
    const int sy = static_cast<int>(top);
    const int dx = static_cast<int>(x);
    const int dy = static_cast<int>(y);

    // Within one bitmap a copy downwards must run bottom row first, so that no
    // source row is overwritten before it is read.
    const bool upwards = dest == src && dy > sy;
    for (int i = 0; i < rows; ++i) {
        const int r = upwards ? rows - 1 - i : i;
        uint32_t* d = rowOf(dest, dy + r) + dx;
        const uint32_t* s = rowOf(src, sy + r) + sx;
        if (mode == BlitMode::copy)
            std::memmove(d, s, static_cast<size_t>(count) * sizeof(uint32_t));
        else
            blendRow(d, s, count);
    }
}

void blit(LICE_IBitmap* dest, LICE_IBitmap* src, int dstX, int dstY, int srcX, int srcY, int w, int h, BlitMode mode)
{
    // The far corner is computed in 64 bits and held to the int range, where
    // clipping cuts it at the source's edge anyway.
    const int64_t right = static_cast<int64_t>(srcX) + w;
    const int64_t bottom = static_cast<int64_t>(srcY) + h;
    PixelRect r;
    r.left = srcX;
    r.top = srcY;
    r.right = static_cast<int32_t>(right > INT_MAX ? INT_MAX : (right < INT_MIN ? INT_MIN : right));
    r.bottom = static_cast<int32_t>(bottom > INT_MAX ? INT_MAX : (bottom < INT_MIN ? INT_MIN : bottom));
    blit(dest, src, dstX, dstY, &r, mode);
}
