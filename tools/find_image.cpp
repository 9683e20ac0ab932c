// Finds a picture inside a larger one, pixel for pixel: where a host's
// screenshot shows our editor exactly as our own test host captured it.
//
//   find_image SCREENSHOT.png PICTURE.png
//
// Prints "found at X, Y" (the picture's top-left corner in the screenshot)
// and exits 0, or says it is not there and exits 1; 2 when a file cannot be
// read. Colours are compared without alpha.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/png_decode.h"

namespace {

std::unique_ptr<LICE_MemBitmap> load(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::unique_ptr<LICE_MemBitmap>(decodePng(bytes.data(), bytes.size()));
}

uint32_t rgb(LICE_IBitmap& b, int x, int y) {
    return b.pixels()[y * b.rowSpan() + x] & 0x00FFFFFFu;
}

bool matchesAt(LICE_IBitmap& big, LICE_IBitmap& small, int left, int top) {
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            if (rgb(big, left + x, top + y) != rgb(small, x, y)) return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: find_image SCREENSHOT.png PICTURE.png\n");
        return 2;
    }
    auto big = load(argv[1]);
    auto small = load(argv[2]);
    if (!big || !small) {
        std::fprintf(stderr, "find_image: cannot read %s\n", !big ? argv[1] : argv[2]);
        return 2;
    }
    // The first pixel is checked before the whole picture: most places fail there.
    const uint32_t first = rgb(*small, 0, 0);
    for (int top = 0; top + small->height() <= big->height(); ++top) {
        for (int left = 0; left + small->width() <= big->width(); ++left) {
            if (rgb(*big, left, top) == first && matchesAt(*big, *small, left, top)) {
                std::printf("found at %d, %d\n", left, top);
                return 0;
            }
        }
    }
    std::printf("%s (%d x %d) is not in %s (%d x %d)\n", argv[2], small->width(), small->height(), argv[1],
                big->width(), big->height());
    return 1;
}
