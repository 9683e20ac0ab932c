// The Windows side of the bitmaps: the DIB-section back buffer, and the five
// images as the built Veldane.dll carries them in its resources.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gfx/png_resource.h"
#include "gfx/sys_bitmap.h"
#include "tests/veldane_dll.h"

namespace {

struct Module {
    HMODULE handle = LoadLibraryExA(veldane_dll::path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ~Module()
    {
        if (handle)
            FreeLibrary(handle);
    }
};

std::unique_ptr<LICE_IBitmap> loadImage(HMODULE module, int id)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
    if (!resource)
        return nullptr;
    return std::unique_ptr<LICE_IBitmap>(loadPngResource(module, resource));
}

} // namespace

TEST(SysBitmap, KeepsItsSectionWhenShrunkAndDrawsThroughItsDeviceContext)
{
    LICE_SysBitmap b;
    ASSERT_NE(b.deviceContext(), nullptr);
    EXPECT_EQ(b.width(), 1);
    EXPECT_EQ(b.height(), 1);

    EXPECT_TRUE(b.resize(702, 366));
    ASSERT_NE(b.pixels(), nullptr);
    EXPECT_EQ(b.rowSpan(), 702);
    EXPECT_FALSE(b.bottomUp());
    uint32_t* section = b.pixels();

    EXPECT_TRUE(b.resize(100, 50));
    EXPECT_EQ(b.pixels(), section);
    EXPECT_EQ(b.rowSpan(), 702);
    EXPECT_EQ(b.width(), 100);
    EXPECT_FALSE(b.resize(100, 50));

    // GDI fills a rectangle into the section: rows are top row first and the
    // pixel layout is 0x..RRGGBB.
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            b.pixels()[y * b.rowSpan() + x] = 0;
    HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
    const RECT r{10, 2, 12, 3};
    FillRect(b.dc(), &r, brush);
    DeleteObject(brush);
    GdiFlush();
    EXPECT_EQ(b.pixels()[2 * b.rowSpan() + 10] & 0x00FFFFFFu, 0x123456u);
    EXPECT_EQ(b.pixels()[2 * b.rowSpan() + 12] & 0x00FFFFFFu, 0u);
    EXPECT_EQ(b.pixels()[3 * b.rowSpan() + 10] & 0x00FFFFFFu, 0u);

    EXPECT_TRUE(b.resize(800, 10)); // wider than the section: a new one
    EXPECT_EQ(b.rowSpan(), 800);
    EXPECT_NE(b.pixels(), nullptr);

    EXPECT_FALSE(b.resize(0, 10)); // no section for an empty size
    EXPECT_EQ(b.pixels(), nullptr);
    b.resize(-4, -4);
    EXPECT_EQ(b.pixels(), nullptr);
    EXPECT_EQ(b.width(), 0);
}

TEST(PngResource, ThePluginCarriesItsFiveImages)
{
    Module module;
    ASSERT_NE(module.handle, nullptr) << veldane_dll::path();
    struct Image {
        int id;
        int w;
        int h;
    };
    for (const Image& i : {Image{101, 702, 366}, Image{102, 36, 3492}, Image{103, 14, 27}, Image{104, 20, 11},
                           Image{105, 20, 11}}) {
        auto b = loadImage(module.handle, i.id);
        ASSERT_NE(b, nullptr) << i.id;
        EXPECT_EQ(b->width(), i.w) << i.id;
        EXPECT_EQ(b->height(), i.h) << i.id;
    }
    auto panel = loadImage(module.handle, 101);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->pixels()[362 * 702 + 3], 0xFFF5192Cu);

    EXPECT_EQ(loadImage(module.handle, 106), nullptr);
    EXPECT_EQ(loadPngResource(module.handle, nullptr), nullptr);
}
