#pragma once
// What the editor window tests of every platform (Win32 under wine, X11
// under Xvfb) share: reading the panel back from the window's pixels (what
// each control shows, told by comparing the window with the library's own
// images composed as the editor composes them), and a host's automation
// thread. Each test program defines images(), the five images as its
// plug-in library carries them.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>

#include "gfx/bitmap.h"
#include "ui/panel.h"

namespace editor_checks {

constexpr int kWidth = Veldane::panelWidth;
constexpr int kHeight = Veldane::panelHeight;
constexpr int kParameters = Veldane::kParamCount;

struct Images {
    std::unique_ptr<LICE_IBitmap> panel, knob, handle, lampOn, lampOff;
    bool complete() const { return panel && knob && handle && lampOn && lampOff; }
};

// Defined by each test program: loaded once from the plug-in library.
Images& images();

inline uint32_t rgbAt(LICE_IBitmap& b, int x, int y) {
    return b.pixels()[y * b.rowSpan() + x] & 0x00FFFFFFu;
}

// Whether the window shows, at (left, top), `overlay` drawn over the panel
// image the way the editor draws it: the rectangle of the given size is
// compared pixel by pixel (colour only).
inline bool showsComposite(LICE_IBitmap& window, int left, int top, int w, int h, LICE_IBitmap* overlay,
                           const PixelRect* source, int overlayX, int overlayY, BlitMode mode) {
    LICE_MemBitmap expected(w, h);
    blit(&expected, images().panel.get(), 0, 0, left, top, w, h, BlitMode::copy);
    blit(&expected, overlay, overlayX, overlayY, source, mode);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((expected.pixels()[y * w + x] & 0x00FFFFFFu) != rgbAt(window, left + x, top + y)) return false;
    return true;
}

inline bool showsKnobFrame(LICE_IBitmap& window, const Veldane::PanelEntry& e, int frameIndex) {
    const int size = Veldane::knobSize;
    PixelRect source{0, frameIndex * size, size, (frameIndex + 1) * size};
    return showsComposite(window, e.left, e.top, size, size, images().knob.get(), &source, 0, 0,
                          BlitMode::sourceAlpha);
}

// The knob frame the window shows, or -1 when it shows none of them.
inline int shownKnobFrame(LICE_IBitmap& window, const Veldane::PanelEntry& e) {
    for (int f = 0; f < Veldane::knobFrameCount; ++f)
        if (showsKnobFrame(window, e, f)) return f;
    return -1;
}

constexpr int kSliderTravel = Veldane::sliderHeight - Veldane::sliderHandleHeight;

// The slider handle's height above the bottom of its travel, or -1.
inline int shownSliderPosition(LICE_IBitmap& window, const Veldane::PanelEntry& e) {
    for (int p = 0; p <= kSliderTravel; ++p)
        if (showsComposite(window, e.left, e.top, Veldane::sliderWidth, Veldane::sliderHeight, images().handle.get(),
                           nullptr, 0, Veldane::sliderHeight - p - Veldane::sliderHandleHeight, BlitMode::sourceAlpha))
            return p;
    return -1;
}

// 1 for a lit lamp at (x, y), 0 for an unlit one, -1 for neither.
inline int lampAt(LICE_IBitmap& window, int x, int y) {
    const int w = Veldane::lampWidth, h = Veldane::lampHeight;
    if (showsComposite(window, x, y, w, h, images().lampOn.get(), nullptr, 0, 0, BlitMode::copy)) return 1;
    if (showsComposite(window, x, y, w, h, images().lampOff.get(), nullptr, 0, 0, BlitMode::copy)) return 0;
    return -1;
}

// What each control should show for the plug-in's current values.
inline int expectedKnobFrame(const Veldane::PanelEntry& e, float normalized) {
    double v = normalized < 0 ? 0.0 : normalized > 1 ? 1.0 : normalized;
    if (e.itemsOrSteps >= 2) v = static_cast<int>((e.itemsOrSteps - 1) * v + 0.5) / double(e.itemsOrSteps - 1);
    return static_cast<int>((Veldane::knobFrameCount - 1) * v + 0.5);
}

inline int expectedSliderPosition(float normalized) {
    return static_cast<int>(static_cast<double>(float(kSliderTravel) * normalized) + 0.5);
}

// Checks every control against its parameter (get(index) answers the
// normalized value the host reads); answers the number of controls that
// show something else, and reports each.
template <class Get>
int controlsNotShowingTheirValues(LICE_IBitmap& window, Get&& get) {
    int wrong = 0;
    for (const Veldane::PanelEntry& e : Veldane::panelLayout) {
        const float n = get(e.parameter);
        switch (e.kind) {
        case Veldane::ControlKind::knob: {
            const int expected = expectedKnobFrame(e, n);
            if (!showsKnobFrame(window, e, expected)) {
                ++wrong;
                ADD_FAILURE() << "knob " << e.parameter << " shows frame " << shownKnobFrame(window, e)
                              << ", expected " << expected;
            }
            break;
        }
        case Veldane::ControlKind::slider: {
            const int expected = expectedSliderPosition(n);
            const int shown = shownSliderPosition(window, e);
            if (shown != expected) {
                ++wrong;
                ADD_FAILURE() << "slider " << e.parameter << " at " << shown << ", expected " << expected;
            }
            break;
        }
        case Veldane::ControlKind::lampSwitch:
            if (lampAt(window, e.left, e.top) != (n > 0.5f ? 1 : 0)) {
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
                if (lampAt(window, e.left, e.top + Veldane::radioSpacing * i) != (i == value ? 1 : 0)) {
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
