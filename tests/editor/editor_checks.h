#pragma once
// What the editor window tests of every platform (Win32 under wine, X11
// under Xvfb) share: reading the panel back from the window's pixels at any
// scale (what each control shows, told by comparing the window with the
// library's own images composed as the editor composes them), and a host's
// automation thread. Each test program defines images(scale), the five
// images of a scale as its plug-in library carries them.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>

#include "framework/editor_scale.h"
#include "gfx/bitmap.h"
#include "ui/editor.h"
#include "ui/panel.h"

namespace editor_checks {

constexpr int kWidth = Veldane::panelWidth;
constexpr int kHeight = Veldane::panelHeight;
constexpr int kParameters = Veldane::kParamCount;

struct Images {
    std::unique_ptr<LICE_IBitmap> panel, knob, handle, lampOn, lampOff;
    bool complete() const { return panel && knob && handle && lampOn && lampOff; }
};

// Defined by each test program: the images of `scale`, loaded once from the
// plug-in library.
Images& images(zem::Scale scale = zem::Scale());

// The five images of `scale`, each from load(number), the number the library
// gives the image at that scale (ui/editor.h).
template <class Load>
Images imagesOf(zem::Scale scale, Load&& load) {
    auto image = [&](int id) { return std::unique_ptr<LICE_IBitmap>(load(Veldane::imageIdAt(id, scale))); };
    Images i;
    i.panel = image(Veldane::panelImageId);
    i.knob = image(Veldane::knobImageId);
    i.handle = image(Veldane::sliderHandleImageId);
    i.lampOn = image(Veldane::lampOnImageId);
    i.lampOff = image(Veldane::lampOffImageId);
    return i;
}

inline uint32_t rgbAt(LICE_IBitmap& b, int x, int y) {
    return b.pixels()[y * b.rowSpan() + x] & 0x00FFFFFFu;
}

// Whether the window shows, at (left, top), `overlay` drawn over the panel
// image of `scale` the way the editor draws it: the rectangle of the given
// size (window pixels) is compared pixel by pixel (colour only).
inline bool showsComposite(LICE_IBitmap& window, int left, int top, int w, int h, LICE_IBitmap* overlay,
                           const PixelRect* source, int overlayX, int overlayY, BlitMode mode,
                           zem::Scale scale = zem::Scale()) {
    LICE_MemBitmap expected(w, h);
    blit(&expected, images(scale).panel.get(), 0, 0, left, top, w, h, BlitMode::copy);
    blit(&expected, overlay, overlayX, overlayY, source, mode);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((expected.pixels()[y * w + x] & 0x00FFFFFFu) != rgbAt(window, left + x, top + y)) return false;
    return true;
}

inline bool showsKnobFrame(LICE_IBitmap& window, const Veldane::PanelEntry& e, int frameIndex,
                           zem::Scale scale = zem::Scale()) {
    const int size = scale.pixels(Veldane::knobSize);
    PixelRect source{0, frameIndex * size, size, (frameIndex + 1) * size};
    return showsComposite(window, scale.pixels(e.left), scale.pixels(e.top), size, size, images(scale).knob.get(),
                          &source, 0, 0, BlitMode::sourceAlpha, scale);
}

// The knob frame the window shows, or -1 when it shows none of them.
inline int shownKnobFrame(LICE_IBitmap& window, const Veldane::PanelEntry& e, zem::Scale scale = zem::Scale()) {
    for (int f = 0; f < Veldane::knobFrameCount; ++f)
        if (showsKnobFrame(window, e, f, scale)) return f;
    return -1;
}

constexpr int kSliderTravel = Veldane::sliderHeight - Veldane::sliderHandleHeight;

// A slider's track and handle in window pixels at `scale`.
struct SliderPixels {
    int width, height, handle, travel;
};
inline SliderPixels sliderPixels(zem::Scale scale) {
    const int handle = images(scale).handle ? images(scale).handle->height() : scale.pixels(Veldane::sliderHandleHeight);
    const int height = scale.pixels(Veldane::sliderHeight);
    return {scale.pixels(Veldane::sliderWidth), height, handle, height - handle};
}

// The slider handle's height in window pixels above the bottom of its
// travel, or -1.
inline int shownSliderPosition(LICE_IBitmap& window, const Veldane::PanelEntry& e, zem::Scale scale = zem::Scale()) {
    const SliderPixels s = sliderPixels(scale);
    for (int p = 0; p <= s.travel; ++p)
        if (showsComposite(window, scale.pixels(e.left), scale.pixels(e.top), s.width, s.height,
                           images(scale).handle.get(), nullptr, 0, s.height - p - s.handle, BlitMode::sourceAlpha, scale))
            return p;
    return -1;
}

// 1 for a lit lamp at (x, y) (window pixels), 0 for an unlit one, -1 for neither.
inline int lampAt(LICE_IBitmap& window, int x, int y, zem::Scale scale = zem::Scale()) {
    const int w = scale.pixels(Veldane::lampWidth), h = scale.pixels(Veldane::lampHeight);
    if (showsComposite(window, x, y, w, h, images(scale).lampOn.get(), nullptr, 0, 0, BlitMode::copy, scale)) return 1;
    if (showsComposite(window, x, y, w, h, images(scale).lampOff.get(), nullptr, 0, 0, BlitMode::copy, scale)) return 0;
    return -1;
}

// What each control should show for the plug-in's current values.
inline int expectedKnobFrame(const Veldane::PanelEntry& e, float normalized) {
    double v = normalized < 0 ? 0.0 : normalized > 1 ? 1.0 : normalized;
    if (e.itemsOrSteps >= 2) v = static_cast<int>((e.itemsOrSteps - 1) * v + 0.5) / double(e.itemsOrSteps - 1);
    return static_cast<int>((Veldane::knobFrameCount - 1) * v + 0.5);
}

// The handle's height in window pixels: the travel's share of the
// parameter, in panel pixels (single precision, as the slider computes it),
// carried to the track's window pixels.
inline int expectedSliderPosition(float normalized, zem::Scale scale = zem::Scale()) {
    const double perPanelPixel = static_cast<double>(sliderPixels(scale).travel) / kSliderTravel;
    return static_cast<int>(static_cast<double>(float(kSliderTravel) * normalized) * perPanelPixel + 0.5);
}

// Checks every control against its parameter (get(index) answers the
// normalized value the host reads) in a window showing the panel at
// `scale`; answers the number of controls that show something else, and
// reports each.
template <class Get>
int controlsNotShowingTheirValues(LICE_IBitmap& window, Get&& get, zem::Scale scale = zem::Scale()) {
    int wrong = 0;
    for (const Veldane::PanelEntry& e : Veldane::panelLayout) {
        const float n = get(e.parameter);
        switch (e.kind) {
        case Veldane::ControlKind::knob: {
            const int expected = expectedKnobFrame(e, n);
            if (!showsKnobFrame(window, e, expected, scale)) {
                ++wrong;
                ADD_FAILURE() << "knob " << e.parameter << " shows frame " << shownKnobFrame(window, e, scale)
                              << ", expected " << expected;
            }
            break;
        }
        case Veldane::ControlKind::slider: {
            const int expected = expectedSliderPosition(n, scale);
            const int shown = shownSliderPosition(window, e, scale);
            if (shown != expected) {
                ++wrong;
                ADD_FAILURE() << "slider " << e.parameter << " at " << shown << ", expected " << expected;
            }
            break;
        }
        case Veldane::ControlKind::lampSwitch:
            if (lampAt(window, scale.pixels(e.left), scale.pixels(e.top), scale) != (n > 0.5f ? 1 : 0)) {
                ++wrong;
                ADD_FAILURE() << "switch " << e.parameter;
            }
            break;
        case Veldane::ControlKind::radio: {
            // The plain value as the parameter computes it from normalized;
            // the last lamp stands for it and every larger value.
            const int entries = e.lastItemValue >= 0 ? e.lastItemValue + 1 : e.itemsOrSteps;
            int value = static_cast<int>(float(entries - 1) * n + 0.5f);
            if (value > e.itemsOrSteps - 1) value = e.itemsOrSteps - 1;
            for (int i = 0; i < e.itemsOrSteps; ++i) {
                const int top = scale.pixels(e.top) + scale.pixels(Veldane::radioSpacing * i);
                if (lampAt(window, scale.pixels(e.left), top, scale) != (i == value ? 1 : 0)) {
                    ++wrong;
                    ADD_FAILURE() << "radio " << e.parameter << " item " << i << ", value " << value;
                }
            }
            break;
        }
        }
    }
    return wrong;
}

inline const Veldane::PanelEntry& entryOf(int index) {
    for (const Veldane::PanelEntry& e : Veldane::panelLayout)
        if (e.parameter == index) return e;
    static Veldane::PanelEntry none{};
    ADD_FAILURE() << "no control for " << index;
    return none;
}

// Non-default values for every parameter, spread over the range.
inline float spreadValue(int index) {
    return static_cast<float>(std::fmod(0.37 + 0.2718 * index, 1.0));
}

// A host's automation thread: 20000 seeded random writes spread over every
// parameter through set(index, normalized), as fast as they go; done turns
// true after the last.
template <class Set>
std::thread automationStorm(Set set, std::atomic<bool>& done) {
    return std::thread([set, &done] {
        std::mt19937 random(1234);
        std::uniform_int_distribution<int> index(0, kParameters - 1);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        for (int i = 0; i < 20000; ++i)
            set(index(random), value(random));
        done = true;
    });
}

} // namespace editor_checks
