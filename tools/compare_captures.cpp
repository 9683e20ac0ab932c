// Compares two pictures of the editor in the same state, as two platforms
// show it (the Linux editor captured under Xvfb, the Windows editor under
// wine): the artwork, knobs, sliders and lamps must be identical pixel for
// pixel; only the version label, whose text Windows renders at run time, may
// differ, and only slightly. Prints what differs and where.
//
//   compare_captures FIRST.png SECOND.png
//
// Exit status 0 when the pictures agree within those bounds, 1 when they do
// not, 2 when a picture cannot be read.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/png_decode.h"
#include "ui/editor.h"

namespace {

// The text may differ in its anti-aliasing (GDI's grey levels and gamma
// against Pillow's), never in its place or size: at most this many pixels
// of the label area, by at most this much in any channel. A text shifted by
// one pixel or drawn in another size differs in far more pixels, by more.
constexpr int maxLabelPixels = 700;
constexpr int maxLabelChannelDifference = 64;

std::unique_ptr<LICE_MemBitmap> load(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::unique_ptr<LICE_MemBitmap>(decodePng(bytes.data(), bytes.size()));
}

int channelDifference(uint32_t a, uint32_t b) {
    int most = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        most = std::max(most, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return most;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: compare_captures FIRST.png SECOND.png\n");
        return 2;
    }
    auto first = load(argv[1]);
    auto second = load(argv[2]);
    if (!first || !second) {
        std::fprintf(stderr, "compare_captures: cannot read %s\n", !first ? argv[1] : argv[2]);
        return 2;
    }
    if (first->width() != second->width() || first->height() != second->height()) {
        std::printf("the pictures differ in size: %d x %d and %d x %d\n", first->width(), first->height(),
                    second->width(), second->height());
        return 1;
    }
    const PixelRect label = Veldane::versionLabelArea;
    int outside = 0, inside = 0, most = 0;
    long sum = 0;
    PixelRect firstOutside{0, 0, 0, 0};
    for (int y = 0; y < first->height(); ++y) {
        for (int x = 0; x < first->width(); ++x) {
            const int d = channelDifference(first->pixels()[y * first->rowSpan() + x],
                                            second->pixels()[y * second->rowSpan() + x]);
            if (d == 0) continue;
            const bool inLabel = label.left <= x && x < label.right && label.top <= y && y < label.bottom;
            if (!inLabel) {
                if (outside++ == 0) firstOutside = PixelRect{x, y, x + 1, y + 1};
                continue;
            }
            ++inside;
            sum += d;
            most = std::max(most, d);
        }
    }
    const int labelPixels = (label.right - label.left) * (label.bottom - label.top);
    std::printf("%d x %d pixels; outside the version label: %d differ", first->width(), first->height(), outside);
    if (outside > 0) std::printf(" (the first at %d, %d)", firstOutside.left, firstOutside.top);
    std::printf("\nthe version label (%d x %d at %d, %d): %d of %d pixels differ, by %d at most in a channel "
                "(%.1f on average)\n",
                label.right - label.left, label.bottom - label.top, label.left, label.top, inside, labelPixels, most,
                inside > 0 ? double(sum) / inside : 0.0);
    const bool agree = outside == 0 && inside <= maxLabelPixels && most <= maxLabelChannelDifference;
    if (!agree)
        std::printf("the pictures disagree: nothing may differ outside the label, and within it at most %d pixels "
                    "by at most %d\n",
                    maxLabelPixels, maxLabelChannelDifference);
    return agree ? 0 : 1;
}
