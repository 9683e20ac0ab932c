#pragma once
// Decoding PNG images from bytes in memory into 0xAARRGGBB bitmaps. Kept apart
// from the Windows resource lookup (gfx/png_resource.h) so that it builds, is
// tested and is fuzzed natively.

#include <cstddef>

#include "gfx/bitmap.h"

// Largest width or height accepted, and largest pixel count: far above the
// panel's images (at most 702 x 3492), yet low enough that a header declaring
// an absurd size is refused before anything is allocated. 2^25 pixels make a
// 128 MiB bitmap at most, a request a 32-bit host answers or refuses quickly.
constexpr int kMaxPngSide = 16384;
constexpr long long kMaxPngPixels = 1LL << 25;

// The decoder's view of the input: a cursor over bytes in memory.
struct PngByteSource {
    const unsigned char* data; // first byte of the image file
    size_t size;               // bytes in the file
    size_t offset;             // bytes already delivered
};

// Fills out[0 .. count) from the source: the remaining bytes as far as they go,
// zeros after them. Never fails: a file cut short then fails libpng's own
// checks (chunk CRC, chunk type) instead of reading past the end.
void readPngBytes(PngByteSource& source, unsigned char* out, size_t count);

// The image as a new bitmap owned by the caller, or null when the bytes are not
// a PNG this decoder accepts (too short, wrong signature, rejected by libpng,
// too large, or out of memory). Any colour type and bit depth is accepted:
// palette and grey images are expanded to RGB, 16-bit samples reduced to 8 bits,
// and images without alpha are made opaque.
LICE_MemBitmap* decodePng(const unsigned char* data, size_t size);
