#include "tools/testhost/png_file.h"

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace png_file {

bool writePng(const char* path, LICE_IBitmap& image) {
    const int w = image.width(), h = image.height();
    if (w <= 0 || h <= 0 || !image.pixels()) return false;
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = image.pixels() + static_cast<size_t>(y) * static_cast<size_t>(image.rowSpan());
        unsigned char* out = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(w) * 3;
        for (int x = 0; x < w; ++x) {
            out[x * 3 + 0] = static_cast<unsigned char>(row[x] >> 16);
            out[x * 3 + 1] = static_cast<unsigned char>(row[x] >> 8);
            out[x * 3 + 2] = static_cast<unsigned char>(row[x]);
        }
    }
    png_image info{};
    info.version = PNG_IMAGE_VERSION;
    info.width = static_cast<png_uint_32>(w);
    info.height = static_cast<png_uint_32>(h);
    info.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&info, path, 0, rgb.data(), w * 3, nullptr)) return true;
    std::remove(path);
    return false;
}

} // namespace png_file
