// Bitmaps, blitting and PNG decoding.

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/png_decode.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A bitmap whose pixel (x, y) holds a value naming its position, so that a
// copied pixel tells where it came from.
std::unique_ptr<LICE_MemBitmap> numbered(int w, int h)
{
    auto b = std::make_unique<LICE_MemBitmap>(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b->pixels()[y * w + x] = 0xFF000000u | static_cast<uint32_t>((y + 1) * 16 + (x + 1));
    return b;
}

std::unique_ptr<LICE_MemBitmap> filled(int w, int h, uint32_t value)
{
    auto b = std::make_unique<LICE_MemBitmap>(w, h);
    for (int i = 0; i < w * h; ++i)
        b->pixels()[i] = value;
    return b;
}

uint32_t at(LICE_IBitmap& b, int x, int y)
{
    return b.pixels()[y * b.rowSpan() + x];
}

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes resourceFile(const char* name)
{
    return readFile(std::string(VELDANE_SOURCE_DIR) + "/resources/" + name);
}

std::unique_ptr<LICE_MemBitmap> decode(const Bytes& bytes)
{
    return std::unique_ptr<LICE_MemBitmap>(decodePng(bytes.data(), bytes.size()));
}

// Offset of the first chunk of the given type (its length field), or 0.
size_t findChunk(const Bytes& png, const char* type)
{
    for (size_t pos = 8; pos + 8 <= png.size();) {
        const uint32_t length = (uint32_t(png[pos]) << 24) | (uint32_t(png[pos + 1]) << 16) |
                                (uint32_t(png[pos + 2]) << 8) | png[pos + 3];
        if (std::equal(type, type + 4, png.begin() + static_cast<ptrdiff_t>(pos) + 4))
            return pos;
        pos += 12 + length;
    }
    return 0;
}

void putBigEndian(Bytes& png, size_t pos, uint32_t v)
{
    png[pos] = static_cast<unsigned char>(v >> 24);
    png[pos + 1] = static_cast<unsigned char>(v >> 16);
    png[pos + 2] = static_cast<unsigned char>(v >> 8);
    png[pos + 3] = static_cast<unsigned char>(v);
}

// Recomputes the CRC of the chunk at pos, so that only the edited content is wrong.
void fixCrc(Bytes& png, size_t pos)
{
    const uint32_t length = (uint32_t(png[pos]) << 24) | (uint32_t(png[pos + 1]) << 16) |
                            (uint32_t(png[pos + 2]) << 8) | png[pos + 3];
    const uLong crc = crc32(0, png.data() + pos + 4, 4 + length);
    putBigEndian(png, pos + 8 + length, static_cast<uint32_t>(crc));
}

// A small image encoded by libpng itself, in the given sample format.
Bytes encode(int w, int h, png_uint_32 format, const void* samples, const void* colormap = nullptr,
             int colormapEntries = 0)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = format;
    image.colormap_entries = static_cast<png_uint_32>(colormapEntries);
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, samples, 0, colormap))
        return {};
    Bytes out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, samples, 0, colormap))
        return {};
    out.resize(size);
    return out;
}

// Mean of red, green and blue of a pixel.
int brightness(uint32_t p)
{
    return static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
}

} // namespace

// --- Blending ------------------------------------------------------------------

TEST(BitmapBlit, SourceAlphaBlendsWithTruncatingIntegerArithmetic)
{
    struct Case {
        uint32_t src;
        uint32_t dst;
        uint32_t expected;
    };
    const Case cases[] = {
        // alpha 128, source 255 over 0: 255 + trunc(-255 * 127 / 256) = 129 (flooring would give 128)
        {0x80FFFFFFu, 0xFF000000u, 0xFF818181u},
        // alpha 128, source 0 over 255: 0 + 255 * 127 / 256 = 126
        {0x80000000u, 0xFFFFFFFFu, 0xFF7E7E7Eu},
        // channels blend independently: blue 255 over 0, green 0 over 255, red equal
        {0x80FF00FFu, 0xFF00FF00u, 0xFF817E81u},
        // alpha 0 leaves the destination alone
        {0x00FFFFFFu, 0xFF123456u, 0xFF123456u},
        // alpha 255 replaces the colour, the destination keeps its alpha byte
        {0xFFABCDEFu, 0x7F123456u, 0x7FABCDEFu},
        // alpha 1 barely moves: 255 + trunc(-255 * 254 / 256) = 2
        {0x01FFFFFFu, 0xFF000000u, 0xFF020202u},
    };
    for (const Case& c : cases) {
        auto src = filled(1, 1, c.src);
        auto dst = filled(1, 1, c.dst);
        blit(dst.get(), src.get(), 0, 0, nullptr, BlitMode::sourceAlpha);
        EXPECT_EQ(at(*dst, 0, 0), c.expected) << std::hex << "src " << c.src << " dst " << c.dst;
    }
}

TEST(BitmapBlit, CopyTakesEveryByteIncludingAlpha)
{
    auto src = filled(2, 2, 0x00ABCDEFu);
    auto dst = filled(2, 2, 0xFF000000u);
    blit(dst.get(), src.get(), 0, 0, nullptr, BlitMode::copy);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dst->pixels()[i], 0x00ABCDEFu);
}

// --- Clipping --------------------------------------------------------------------

TEST(BitmapBlit, NegativeDestinationCopiesTheVisiblePartFromTheMatchingOffset)
{
    auto src = numbered(4, 4);
    auto dst = filled(4, 4, 0);
    blit(dst.get(), src.get(), -1, -2, nullptr, BlitMode::copy);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool covered = x < 3 && y < 2;
            EXPECT_EQ(at(*dst, x, y), covered ? at(*src, x + 1, y + 2) : 0u) << x << "," << y;
        }
}

TEST(BitmapBlit, SourceRectangleIsCutAtTheSourceAndDestinationEdges)
{
    auto src = numbered(4, 4);
    {
        // Reaching past the source's right and bottom edges: only 2 x 2 remain.
        auto dst = filled(6, 6, 0);
        const PixelRect r{2, 2, 10, 10};
        blit(dst.get(), src.get(), 1, 1, &r, BlitMode::copy);
        EXPECT_EQ(at(*dst, 1, 1), at(*src, 2, 2));
        EXPECT_EQ(at(*dst, 2, 2), at(*src, 3, 3));
        EXPECT_EQ(at(*dst, 3, 1), 0u);
        EXPECT_EQ(at(*dst, 1, 3), 0u);
    }
    {
        // A negative source left and top move the destination point instead.
        auto dst = filled(4, 4, 0);
        const PixelRect r{-1, -1, 2, 2};
        blit(dst.get(), src.get(), 0, 0, &r, BlitMode::copy);
        EXPECT_EQ(at(*dst, 0, 0), 0u);
        EXPECT_EQ(at(*dst, 1, 1), at(*src, 0, 0));
        EXPECT_EQ(at(*dst, 2, 2), at(*src, 1, 1));
        EXPECT_EQ(at(*dst, 3, 3), 0u);
    }
    {
        // Near the destination's corner only one pixel fits; the position and
        // size form copies a frame out of a strip.
        auto dst = filled(4, 4, 0);
        blit(dst.get(), src.get(), 3, 3, 1, 2, 2, 2, BlitMode::copy);
        EXPECT_EQ(at(*dst, 3, 3), at(*src, 1, 2));
        EXPECT_EQ(at(*dst, 2, 3), 0u);
    }
}

TEST(BitmapBlit, DegenerateRequestsDoNothing)
{
    auto src = numbered(4, 4);
    auto dst = filled(4, 4, 0);
    LICE_MemBitmap empty;
    blit(nullptr, src.get(), 0, 0, nullptr, BlitMode::copy);
    blit(dst.get(), nullptr, 0, 0, nullptr, BlitMode::copy);
    blit(dst.get(), &empty, 0, 0, nullptr, BlitMode::copy);
    blit(&empty, src.get(), 0, 0, nullptr, BlitMode::copy);
    blit(dst.get(), src.get(), 4, 0, nullptr, BlitMode::copy);                 // right of dest
    blit(dst.get(), src.get(), -4, 0, nullptr, BlitMode::copy);                // left of dest
    const PixelRect inverted{3, 3, 1, 1};
    blit(dst.get(), src.get(), 0, 0, &inverted, BlitMode::copy);
    // Extremes that would wrap around in 32-bit arithmetic.
    blit(dst.get(), src.get(), INT_MAX, INT_MAX, nullptr, BlitMode::copy);
    blit(dst.get(), src.get(), INT_MIN, INT_MIN, nullptr, BlitMode::sourceAlpha);
    blit(dst.get(), src.get(), 0, 0, INT_MAX, INT_MAX, INT_MAX, INT_MAX, BlitMode::copy);
    blit(dst.get(), src.get(), 0, 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX, BlitMode::copy);
    blit(dst.get(), src.get(), 0, 0, 1, 1, INT_MIN, INT_MIN, BlitMode::copy);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(dst->pixels()[i], 0u) << i;
}

TEST(BitmapBlit, OverlappingCopyWithinOneBitmapReadsBeforeWriting)
{
    auto b = numbered(3, 4);
    auto original = numbered(3, 4);
    blit(b.get(), b.get(), 0, 1, 0, 0, 3, 3, BlitMode::copy);
    for (int y = 1; y < 4; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(at(*b, x, y), at(*original, x, y - 1));
}

// --- Memory bitmap sizes ---------------------------------------------------------------

TEST(MemBitmap, GrowsByAQuarterAndKeepsALargeEnoughBuffer)
{
    LICE_MemBitmap b(10, 10);
    EXPECT_EQ(b.capacityBytes(), 400);
    EXPECT_FALSE(b.resize(10, 10));

    EXPECT_TRUE(b.resize(10, 11)); // 440 needed: 440 + 110
    EXPECT_EQ(b.capacityBytes(), 550);
    const uint32_t* grown = b.pixels();
    EXPECT_TRUE(b.resize(10, 13)); // 520 still fits
    EXPECT_EQ(b.capacityBytes(), 550);
    EXPECT_EQ(b.pixels(), grown);

    EXPECT_TRUE(b.resize(3, 2)); // shrinking keeps the buffer
    EXPECT_EQ(b.capacityBytes(), 550);
    EXPECT_EQ(b.pixels(), grown);
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.rowSpan(), 3);
    EXPECT_EQ(b.height(), 2);

    EXPECT_TRUE(b.resize(0, 7)); // no storage for an empty size
    EXPECT_EQ(b.pixels(), nullptr);
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.height(), 0);
    EXPECT_EQ(b.capacityBytes(), 0);

    EXPECT_TRUE(b.resize(2, 2)); // from nothing: exactly the size needed
    EXPECT_EQ(b.capacityBytes(), 16);
}

TEST(MemBitmap, SizesWithoutValidStorageLeaveAnEmptyBitmap)
{
    // 65536 * 65536 * 4 wraps to 0 in 32 bits, 40000 * 40000 * 4 to a small
    // positive number; two negative sides give a positive product.
    const int sizes[][2] = {{65536, 65536}, {40000, 40000}, {INT_MAX, 1}, {-2, -3}, {-5, 4}};
    for (const auto& s : sizes) {
        LICE_MemBitmap constructed(s[0], s[1]);
        EXPECT_EQ(constructed.pixels(), nullptr) << s[0] << "x" << s[1];
        EXPECT_EQ(constructed.width(), 0);
        EXPECT_EQ(constructed.height(), 0);

        LICE_MemBitmap resized(4, 4);
        EXPECT_TRUE(resized.resize(s[0], s[1]));
        EXPECT_EQ(resized.pixels(), nullptr) << s[0] << "x" << s[1];
        EXPECT_EQ(resized.width(), 0);
        EXPECT_EQ(resized.height(), 0);
    }
}

// --- PNG decoding --------------------------------------------------------------------

TEST(PngDecode, ReadPastTheEndDeliversTheRestThenZeros)
{
    const unsigned char data[5] = {1, 2, 3, 4, 5};
    PngByteSource source{data, sizeof data, 3};
    unsigned char out[6];
    std::fill(std::begin(out), std::end(out), 0xAA);
    readPngBytes(source, out, sizeof out);
    const unsigned char expected[6] = {4, 5, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(out), std::end(out), expected));
    EXPECT_EQ(source.offset, 5u);

    std::fill(std::begin(out), std::end(out), 0xAA);
    readPngBytes(source, out, 3);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0xAA);
    EXPECT_EQ(source.offset, 5u);
}

TEST(PngDecode, KnobFramesTurnClockwiseFromLowerLeftToLowerRight)
{
    auto knob = decode(resourceFile("knob.png"));
    ASSERT_NE(knob, nullptr);
    ASSERT_EQ(knob->width(), 36);
    ASSERT_EQ(knob->height(), 3492);

    // The pointer is the only bright thing on the dark skirt, 14 pixels out.
    auto skirt = [&](int frame, int dx, int dy) { return brightness(at(*knob, 18 + dx, frame * 36 + 18 + dy)); };
    EXPECT_GT(skirt(48, 0, -14), 200);  // straight up
    EXPECT_LT(skirt(48, 0, 13), 80);
    EXPECT_LT(skirt(48, -13, 0), 80);
    EXPECT_LT(skirt(48, 13, 0), 80);
    EXPECT_GT(skirt(0, -10, 10), 200);  // lower left
    EXPECT_LT(skirt(0, 10, 10), 80);
    EXPECT_GT(skirt(96, 10, 10), 200);  // lower right
    EXPECT_LT(skirt(96, -10, 10), 80);
    EXPECT_GT(skirt(16, -14, 0), 200);  // a sixth of the way: left

    // Transparent corners, an opaque knob.
    for (int frame : {0, 48, 96}) {
        EXPECT_EQ(at(*knob, 0, frame * 36) >> 24, 0u);
        EXPECT_EQ(at(*knob, 35, frame * 36 + 35) >> 24, 0u);
        EXPECT_EQ(at(*knob, 18, frame * 36 + 18) >> 24, 255u);
    }
}

TEST(PngDecode, PanelAndLampsDecodeToTheirSizesInPixelOrder)
{
    struct Image {
        const char* file;
        int w;
        int h;
    };
    for (const Image& i : {Image{"panel.png", 702, 366}, Image{"slider_handle.png", 14, 27},
                           Image{"lamp_on.png", 20, 11}, Image{"lamp_off.png", 20, 11}}) {
        auto b = decode(resourceFile(i.file));
        ASSERT_NE(b, nullptr) << i.file;
        EXPECT_EQ(b->width(), i.w) << i.file;
        EXPECT_EQ(b->height(), i.h) << i.file;
    }
    // The red ground as 0xAARRGGBB: red in the third byte, blue in the first.
    auto panel = decode(resourceFile("panel.png"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(at(*panel, 3, 362), 0xFFF5192Cu);
    auto lit = decode(resourceFile("lamp_on.png"));
    auto unlit = decode(resourceFile("lamp_off.png"));
    ASSERT_TRUE(lit && unlit);
    EXPECT_GT(brightness(at(*lit, 10, 5)), 220);
    EXPECT_LT(brightness(at(*unlit, 10, 5)), 100);
}

TEST(PngDecode, OtherColourTypesBecomeEightBitArgb)
{
    // Grey: 0 and 255 become black and white, opaque.
    const unsigned char grey[2] = {0, 255};
    auto g = decode(encode(2, 1, PNG_FORMAT_GRAY, grey));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(at(*g, 0, 0), 0xFF000000u);
    EXPECT_EQ(at(*g, 1, 0), 0xFFFFFFFFu);

    // RGB without alpha: opaque, channels in place.
    const unsigned char rgb[6] = {0x12, 0x34, 0x56, 0xFE, 0xDC, 0xBA};
    auto c = decode(encode(2, 1, PNG_FORMAT_RGB, rgb));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(at(*c, 0, 0), 0xFF123456u);
    EXPECT_EQ(at(*c, 1, 0), 0xFFFEDCBAu);

    // 16-bit grey with alpha, at the ends of the range.
    const uint16_t wide[4] = {65535, 65535, 0, 0};
    auto w = decode(encode(2, 1, PNG_FORMAT_LINEAR_Y_ALPHA, wide));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(at(*w, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(at(*w, 1, 0) >> 24, 0u);

    // A palette with transparency.
    const unsigned char indices[3] = {0, 1, 2};
    const unsigned char palette[12] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0};
    auto p = decode(encode(3, 1, PNG_FORMAT_RGBA | PNG_FORMAT_FLAG_COLORMAP, indices, palette, 3));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(at(*p, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(at(*p, 1, 0) >> 24, 128u);
    EXPECT_EQ(at(*p, 2, 0) >> 24, 0u);

    // Interlaced (Adam7), from the fuzz seeds: pixel (3, 4) arrives in pass 6.
    auto i = decode(readFile(std::string(VELDANE_SOURCE_DIR) + "/tests/fuzz/seeds/rgba8_interlaced.png"));
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->width(), 9);
    EXPECT_EQ(at(*i, 3, 4), 0x78DB2491u);
}

TEST(PngDecode, DamagedOrHostileFilesGiveNoImage)
{
    const Bytes good = resourceFile("lamp_on.png");
    ASSERT_NE(decode(good), nullptr);
    const size_t ihdr = findChunk(good, "IHDR");
    const size_t idat = findChunk(good, "IDAT");
    ASSERT_EQ(ihdr, 8u);
    ASSERT_GT(idat, 0u);

    EXPECT_EQ(decodePng(nullptr, 100), nullptr);
    EXPECT_EQ(decodePng(good.data(), 0), nullptr);
    EXPECT_EQ(decodePng(good.data(), 7), nullptr);

    // Cut anywhere up to the end of the image data.
    for (size_t cut : {size_t(8), size_t(20), ihdr + 25, idat + 4, idat + 10, idat + 12}) {
        const Bytes truncated(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut));
        EXPECT_EQ(decode(truncated), nullptr) << "cut at " << cut;
    }

    Bytes signature = good;
    signature[1] = 'Q';
    EXPECT_EQ(decode(signature), nullptr);

    Bytes badCrc = good;
    badCrc[ihdr + 8 + 13] ^= 0x01;
    EXPECT_EQ(decode(badCrc), nullptr);

    // Image data that zlib rejects, under a correct CRC.
    Bytes badData = good;
    for (size_t i = idat + 8; i < idat + 8 + 6 && i < badData.size() - 4; ++i)
        badData[i] = 0xFF;
    fixCrc(badData, idat);
    EXPECT_EQ(decode(badData), nullptr);

    // Declared sizes beyond the limits, with correct CRCs: refused before the
    // pixels are allocated.
    const uint32_t sizes[][2] = {{100000, 11}, {20, 0x7FFFFFFF}, {16384, 16384}, {0, 11}};
    for (const auto& s : sizes) {
        Bytes huge = good;
        putBigEndian(huge, ihdr + 8, s[0]);
        putBigEndian(huge, ihdr + 12, s[1]);
        fixCrc(huge, ihdr);
        EXPECT_EQ(decode(huge), nullptr) << s[0] << "x" << s[1];
    }
}

TEST(PngDecode, RandomDamageNeverCrashes)
{
    // Seeded byte flips over a real image: each result is either no image or
    // one of the declared size.
    const Bytes good = resourceFile("slider_handle.png");
    ASSERT_FALSE(good.empty());
    uint32_t state = 12345;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int round = 0; round < 300; ++round) {
        Bytes damaged = good;
        const int flips = 1 + static_cast<int>(next() % 4);
        for (int i = 0; i < flips; ++i)
            damaged[8 + next() % (damaged.size() - 8)] ^= static_cast<unsigned char>(1 + next() % 255);
        auto b = decode(damaged);
        if (b) {
            EXPECT_NE(b->pixels(), nullptr);
            EXPECT_GT(b->width(), 0);
        }
    }
}
