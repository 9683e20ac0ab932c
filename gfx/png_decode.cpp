#include "gfx/png_decode.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr size_t kSignatureBytes = 8;

// libpng reports a fatal error here; control returns to the setjmp point in
// decodePng, which releases everything. No message: the editor just has no image.
[[noreturn]] void onPngError(png_structp png, png_const_charp /*message*/)
{
    png_longjmp(png, 1);
}

void onPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void readCallback(png_structp png, png_bytep out, size_t count)
{
    readPngBytes(*static_cast<PngByteSource*>(png_get_io_ptr(png)), out, count);
}

// Turns any colour type and depth into 8-bit samples, four per pixel, alpha first.
void requestArgb8(png_structp png, png_infop info)
{
    const int colourType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    // Palette to RGB, grey below 8 bits to 8, a tRNS chunk to an alpha channel.
    png_set_expand(png);
    if (depth == 16)
        png_set_scale_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    // Images without alpha (and without tRNS) become opaque; the filler goes in
    // front, where the alpha of the others moves to.
    png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    png_set_swap_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// A, R, G, B in memory becomes B, G, R, A: the 0xAARRGGBB pixel read as a
// little-endian integer.
void reverseBytes(LICE_MemBitmap& bitmap)
{
    unsigned char* p = reinterpret_cast<unsigned char*>(bitmap.pixels());
    const size_t count = static_cast<size_t>(bitmap.width()) * static_cast<size_t>(bitmap.height());
    for (size_t i = 0; i < count; ++i, p += 4) {
        const unsigned char a = p[0];
        const unsigned char r = p[1];
        p[0] = p[3];
        p[1] = p[2];
        p[2] = r;
        p[3] = a;
    }
}

} // namespace

void readPngBytes(PngByteSource& source, unsigned char* out, size_t count)
{
    std::memset(out, 0, count);
    const size_t remaining = source.offset < source.size ? source.size - source.offset : 0;
    const size_t n = count < remaining ? count : remaining;
    if (n > 0)
        std::memcpy(out, source.data + source.offset, n);
    source.offset += n;
}

LICE_MemBitmap* decodePng(const unsigned char* data, size_t size)
{
    if (!data || size < kSignatureBytes || png_sig_cmp(data, 0, kSignatureBytes) != 0)
        return nullptr;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    if (!png)
        return nullptr;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return nullptr;
    }

    // Only plain pointers live in this frame: a longjmp skips destructors.
    // Volatile, because they change after setjmp and are read after a longjmp.
    PngByteSource source{data, size, 0};
    LICE_MemBitmap* volatile bitmap = nullptr;
    png_bytep* volatile rows = nullptr;

    if (setjmp(png_jmpbuf(png))) {
        delete bitmap;
        std::free(rows);
        png_destroy_read_struct(&png, &info, nullptr);
        return nullptr;
    }

    // A header above these limits is a libpng error before any allocation.
    png_set_user_limits(png, kMaxPngSide, kMaxPngSide);
    png_set_read_fn(png, &source, readCallback);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (static_cast<long long>(width) * height > kMaxPngPixels)
        png_error(png, "image too large");

    requestArgb8(png, info);
    if (png_get_bit_depth(png, info) != 8 || png_get_channels(png, info) != 4 ||
        png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4)
        png_error(png, "unexpected row layout");

    // A bitmap that could not get its storage is 0 x 0: never read into it.
    bitmap = new (std::nothrow) LICE_MemBitmap(static_cast<int>(width), static_cast<int>(height));
    if (!bitmap || !bitmap->pixels() || bitmap->width() != static_cast<int>(width) ||
        bitmap->height() != static_cast<int>(height))
        png_error(png, "out of memory");
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!rows)
        png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(bitmap->pixels() + static_cast<size_t>(y) * width);

    png_read_image(png, rows);

    std::free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    LICE_MemBitmap* result = bitmap;
    reverseBytes(*result);
    return result;
}
