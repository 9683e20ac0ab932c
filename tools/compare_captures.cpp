// Compares two pictures of the editor in the same state, as two platforms
// show it (the Linux editor captured under Xvfb, the Windows editor under
// wine), at any of the panel's scales: the artwork, knobs, sliders and lamps
// must be identical pixel for pixel; only the version label, whose text
// Windows renders at run time, may differ, and only slightly. Prints what
// differs and where. With --halved, the second picture is the panel at
// 200 % and the first at 100 %: the second, reduced 2:1, must match the
// first closely (tools/halved_comparison.h); prints the figures.
//
//   compare_captures FIRST.png SECOND.png
//   compare_captures --halved AT100.png AT200.png
//
// Exit status 0 when the pictures agree within those bounds, 1 when they do
// not, 2 when a picture cannot be read.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/png_decode.h"
#include "tools/halved_comparison.h"
#include "ui/editor.h"

namespace {

// The text may differ in its anti-aliasing (GDI's grey levels and gamma
// against Pillow's), never in its place or size: at most this many pixels
// of the label area (at 100 %; as many more as the area grows at a larger
// scale), by at most this much in any channel. A text shifted by one pixel
// or drawn in another size differs in far more pixels, by more.
constexpr int maxLabelPixels = 700;
// The halved 200 % panel against the 100 % one: the mean difference and the
// share of matching pixels the text's strokes (drawn at each scale's own
// font size and hinting) leave, with room to spare; a control one pixel out
// of place costs more.
constexpr double maxHalvedMeanDifference = 3.0;
constexpr double minHalvedMatching = 0.97;
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

int compareHalved(LICE_IBitmap& base, LICE_IBitmap& twice) {
    const halved::Comparison c = halved::compare(base, twice);
    if (c.pixels == 0) {
        std::printf("the second picture is not twice the first: %d x %d and %d x %d\n", base.width(), base.height(),
                    twice.width(), twice.height());
        return 1;
    }
    std::printf("the 200 %% picture reduced 2:1 against the 100 %% one: mean difference %.2f of 255, largest %d, "
                "%.2f %% of the pixels within %d\n",
                c.meanDifference, c.largestDifference, 100.0 * c.matching, halved::kTolerance);
    return c.meanDifference <= maxHalvedMeanDifference && c.matching >= minHalvedMatching ? 0 : 1;
}

// The scale a picture of the whole panel was taken at; 100 % for any other size.
zem::Scale scaleOf(LICE_IBitmap& picture) {
    for (int percent : zem::Scale::kPercents) {
        const zem::Scale s = zem::Scale::ofPercent(percent);
        if (picture.width() == s.pixels(Veldane::panelWidth) && picture.height() == s.pixels(Veldane::panelHeight))
            return s;
    }
    return zem::Scale();
}

} // namespace

int main(int argc, char** argv) {
    const bool halvedMode = argc == 4 && std::string(argv[1]) == "--halved";
    if (argc != 3 && !halvedMode) {
        std::fprintf(stderr, "usage: compare_captures FIRST.png SECOND.png\n"
                             "       compare_captures --halved AT100.png AT200.png\n");
        return 2;
    }
    const char* firstPath = argv[halvedMode ? 2 : 1];
    const char* secondPath = argv[halvedMode ? 3 : 2];
    auto first = load(firstPath);
    auto second = load(secondPath);
    if (!first || !second) {
        std::fprintf(stderr, "compare_captures: cannot read %s\n", !first ? firstPath : secondPath);
        return 2;
    }
    if (halvedMode) return compareHalved(*first, *second);
    if (first->width() != second->width() || first->height() != second->height()) {
        std::printf("the pictures differ in size: %d x %d and %d x %d\n", first->width(), first->height(),
                    second->width(), second->height());
        return 1;
    }
    const zem::Scale scale = scaleOf(*first);
    const PixelRect label = scale.rect(Veldane::versionLabelArea);
    const int allowedLabelPixels = static_cast<int>(maxLabelPixels * scale.factor() * scale.factor());
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
    const bool agree = outside == 0 && inside <= allowedLabelPixels && most <= maxLabelChannelDifference;
    if (!agree)
        std::printf("the pictures disagree: nothing may differ outside the label, and within it at most %d pixels "
                    "by at most %d\n",
                    allowedLabelPixels, maxLabelChannelDifference);
    return agree ? 0 : 1;
}
