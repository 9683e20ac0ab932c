#pragma once
// The size an editor shows its panel at, and where that size comes from.
//
// A bitmap panel is drawn at build time at a few scales, each at its own
// resolution (100, 150 and 200 percent of its own size): an editor shows one
// of them, never a stretched picture. Positions and sizes of the panel's
// controls are whole panel pixels; at a scale they become whole window
// pixels through Scale::pixels, which the build's drawing of the artwork
// uses too, so a control's image always lands where the panel drawn under it
// expects it.
//
// What decides the scale, strongest first: the user's choice in the editor's
// zoom menu, which the instance keeps with its state; what the host says
// (CLAP's gui.set_scale, VST 3's content scale factor, LV2's ui:scaleFactor);
// the environment variable the plug-in names (for the user who wants every
// instance at one size); the screen (Windows: the DPI of the host's window;
// X11: the X server's Xft.dpi resource). Each gives a factor (1 = 100 %,
// 96 DPI), which picks the largest drawn scale not above it, so a panel never
// takes more room than the host or the screen planned for.

#include <cmath>
#include <cstdlib>

#include "base/platform.h"

namespace zem {

class Scale {
public:
    // The scales the artwork is drawn at, in percent, smallest first.
    static constexpr int kCount = 3;
    static constexpr int kPercents[kCount] = {100, 150, 200};

    // 100 %.
    constexpr Scale() = default;

    // The scale of `percent` when it is one of kPercents; otherwise 100 %.
    static constexpr Scale ofPercent(int percent) {
        for (int i = 0; i < kCount; ++i)
            if (kPercents[i] == percent) return Scale(i);
        return Scale();
    }
    static constexpr bool isPercent(int percent) {
        for (int p : kPercents)
            if (p == percent) return true;
        return false;
    }

    // The largest scale not above `factor` (1 = 100 %); 100 % for anything
    // smaller, and for a factor that is no number.
    static Scale forFactor(double factor) {
        // Factors from DPI (144 / 96) or a host's double are exact; the
        // margin takes a host's 1.4999999 as 1.5.
        constexpr double margin = 1e-6;
        Scale s;
        for (int i = 0; i < kCount; ++i)
            if (factor + margin >= kPercents[i] / 100.0) s = Scale(i);
        return s;
    }

    constexpr int percent() const { return kPercents[index_]; }
    // 0 for 100 %, 1 for 150 %, 2 for 200 %.
    constexpr int index() const { return index_; }
    // Window pixels per panel pixel.
    constexpr double factor() const { return percent() / 100.0; }

    // A whole number of panel pixels (0 or more) in whole window pixels,
    // rounded half up: where a control sits at this scale, and its size.
    constexpr int pixels(int panelPixels) const { return (panelPixels * percent() + 50) / 100; }
    // A rectangle of panel pixels in window pixels, each edge placed by pixels().
    constexpr PixelRect rect(const PixelRect& r) const {
        return PixelRect{pixels(r.left), pixels(r.top), pixels(r.right), pixels(r.bottom)};
    }

    constexpr bool operator==(Scale other) const { return index_ == other.index_; }
    constexpr bool operator!=(Scale other) const { return index_ != other.index_; }

private:
    explicit constexpr Scale(int index) : index_(index) {}
    int index_ = 0;
};

// Factors outside this range are nobody's real screen or wish: a host's or
// a variable's value beyond them is taken as no word at all.
constexpr double kLowestFactor = 0.25;
constexpr double kHighestFactor = 16.0;

inline bool isPlausibleFactor(double factor) {
    return std::isfinite(factor) && factor >= kLowestFactor && factor <= kHighestFactor;
}

// The factor the environment variable `name` holds ("1.5"), or 0 when it is
// unset, empty or holds anything else than a plausible factor.
inline double factorFromEnvironment(const char* name) {
    const char* text = name != nullptr ? std::getenv(name) : nullptr;
    if (text == nullptr || *text == '\0') return 0.0;
    char* end = nullptr;
    const double factor = std::strtod(text, &end);
    return *end == '\0' && isPlausibleFactor(factor) ? factor : 0.0;
}

// Where an editor's scale comes from (see the top of this file). UI thread.
struct ScaleSources {
    // The user's choice in the zoom menu in percent; 0 while none was made.
    int zoomPercent = 0;
    // What the host said; 0 while it said nothing.
    double hostFactor = 0.0;
    // The environment variable that overrides the screen; null for none.
    const char* variable = nullptr;

    // The scale for an editor; screen() (the screen's factor, 0 when
    // unknown) is asked only when nothing stronger decides.
    template <class Screen>
    Scale resolve(Screen&& screen) const {
        if (Scale::isPercent(zoomPercent)) return Scale::ofPercent(zoomPercent);
        if (isPlausibleFactor(hostFactor)) return Scale::forFactor(hostFactor);
        const double fromVariable = factorFromEnvironment(variable);
        if (fromVariable > 0.0) return Scale::forFactor(fromVariable);
        return Scale::forFactor(screen());
    }
};

} // namespace zem
