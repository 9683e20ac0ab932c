#pragma once
// How closely a picture of the panel drawn at 200 % matches the one drawn at
// 100 % once reduced 2:1 (each 2 x 2 block of pixels averaged): the two are
// drawn apart, each at its own resolution, so they never agree to the
// pixel, but shapes, colours and places must. Used by the editor tests and
// by compare_captures, which prints the figures for the README.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "gfx/bitmap.h"

namespace halved {

// A pixel counts as matching when no channel differs by more than this: the
// softer edges of a reduced drawing stay within it, a shape out of place or
// of another colour does not.
constexpr int kTolerance = 32;

struct Comparison {
    int pixels = 0;              // compared (the base picture's); 0 when the sizes do not fit
    double meanDifference = 0.0; // mean over pixels and channels, 0..255
    int largestDifference = 0;   // in any channel
    double matching = 0.0;       // share of pixels within kTolerance in every channel
};

inline Comparison compare(LICE_IBitmap& base, LICE_IBitmap& twice) {
    Comparison c;
    if (twice.width() != 2 * base.width() || twice.height() != 2 * base.height() || base.pixels() == nullptr ||
        twice.pixels() == nullptr)
        return c;
    long long sum = 0;
    int within = 0;
    auto at = [](LICE_IBitmap& b, int x, int y) { return b.pixels()[y * b.rowSpan() + x]; };
    for (int y = 0; y < base.height(); ++y) {
        for (int x = 0; x < base.width(); ++x) {
            int worst = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                int block = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) block += (at(twice, 2 * x + dx, 2 * y + dy) >> shift) & 0xFF;
                const int reduced = (block + 2) / 4;
                const int d = std::abs(reduced - static_cast<int>((at(base, x, y) >> shift) & 0xFF));
                sum += d;
                worst = std::max(worst, d);
            }
            c.largestDifference = std::max(c.largestDifference, worst);
            within += worst <= kTolerance ? 1 : 0;
        }
    }
    c.pixels = base.width() * base.height();
    c.meanDifference = static_cast<double>(sum) / (3.0 * c.pixels);
    c.matching = static_cast<double>(within) / c.pixels;
    return c;
}

} // namespace halved
