// The editor's controls, driven natively through a stand-in editor that
// records what a window would see: repaint requests, mouse capture, reports.
// Then the panel: its layout, its hit areas and the conversions between
// controls and the real plug-in's parameters.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "framework/double_click.h"
#include "framework/editor.h"
#include "framework/slider_control.h"
#include "gfx/bitmap.h"
#include "ui/controls.h"
#include "ui/panel.h"
#include "ui/panel_sections.h"
#include "tests/hosted_plugin.h"

namespace {

class RecordingEditor : public zem::IEditor {
public:
    int invalidations = 0;
    int captures = 0;
    int releases = 0;
    zem::Control* captured = nullptr;
    std::vector<int> reports;

    void invalidateRect(const PixelRect&) override { ++invalidations; }
    void captureMouse(zem::Control* c) override {
        ++captures;
        captured = c;
    }
    void releaseMouse() override {
        ++releases;
        captured = nullptr;
    }
    void controlChanged(int index) override { reports.push_back(index); }
    void forget() {
        invalidations = 0;
        reports.clear();
    }
};

constexpr int kIndex = 7;
const PixelRect kKnobBounds = zem::makeRect(100, 50, 36, 36);
const zem::MouseModifiers kPlain{};
const zem::MouseModifiers kShift{true, false};

Knob makeKnob(RecordingEditor& editor, int steps = 0, double defaultValue = Knob::noDefault) {
    return Knob(kIndex, kKnobBounds, &editor, nullptr, steps, 97, defaultValue);
}

// Drags from y0 to y0 + dy in one-pixel moves.
void dragBy(zem::Control& c, int y0, int dy, zem::MouseModifiers mods = {}) {
    const int step = dy < 0 ? -1 : 1;
    for (int y = y0 + step; y != y0 + dy + step; y += step)
        c.mouseMove(0, y, mods);
}

TEST(Knob, DragSpansTheRangeIn256PixelsAnd1024WithShift) {
    RecordingEditor editor;
    Knob knob = makeKnob(editor);
    knob.mouseDown(0, 300);
    EXPECT_EQ(editor.captured, &knob);
    dragBy(knob, 300, -256);
    EXPECT_DOUBLE_EQ(knob.value, 1.0);
    EXPECT_EQ(knob.frameIndex, 96);
    knob.mouseUp(0, 44);
    EXPECT_EQ(editor.captured, nullptr);

    Knob fine = makeKnob(editor);
    fine.mouseDown(0, 300);
    dragBy(fine, 300, -256, kShift);
    EXPECT_DOUBLE_EQ(fine.value, 0.25);
    EXPECT_EQ(fine.frameIndex, 24);
}

TEST(Knob, ReportsEveryValueChangeButRepaintsOnlyNewFrames) {
    RecordingEditor editor;
    Knob knob = makeKnob(editor);
    knob.mouseDown(0, 100);
    EXPECT_TRUE(editor.reports.empty()) << "a press alone changes nothing";
    dragBy(knob, 100, -10);
    // Ten one-pixel moves each change the value; frames advance every
    // 256 / 96 = 2.67 pixels, so only some moves repaint.
    EXPECT_EQ(editor.reports.size(), 10u);
    EXPECT_EQ(editor.invalidations, knob.frameIndex);
    EXPECT_EQ(knob.frameIndex, 4); // (int)(96 * 10/256 + 0.5)
    // Moving down at 0 changes nothing: no report.
    editor.forget();
    dragBy(knob, 90, 40);
    const size_t atZero = editor.reports.size();
    dragBy(knob, 130, 5);
    EXPECT_EQ(editor.reports.size(), atZero);
    EXPECT_DOUBLE_EQ(knob.value, 0.0);
}

TEST(Knob, OvershootIsRememberedUntilThePointerComesBack) {
    RecordingEditor editor;
    Knob knob = makeKnob(editor);
    knob.mouseDown(0, 400);
    dragBy(knob, 400, -256 - 50); // 50 pixels past the top
    editor.forget();
    dragBy(knob, 94, 20); // 20 back down: still beyond the end
    EXPECT_DOUBLE_EQ(knob.value, 1.0);
    EXPECT_TRUE(editor.reports.empty());
    dragBy(knob, 114, 31); // passes the point where 1 was reached
    EXPECT_LT(knob.value, 1.0);
    EXPECT_EQ(editor.reports.size(), 1u);
}

TEST(Knob, SteppedKnobStopsOnlyAtItsPositions) {
    RecordingEditor editor;
    Knob knob = makeKnob(editor, 25);
    knob.mouseDown(0, 500);
    std::vector<double> seen;
    for (int y = 499; y >= 200; --y) {
        const size_t before = editor.reports.size();
        knob.mouseMove(0, y, kPlain);
        if (editor.reports.size() != before)
            seen.push_back(knob.value);
    }
    ASSERT_EQ(seen.size(), 24u) << "one report per position passed, none within a position";
    for (size_t k = 0; k < seen.size(); ++k) {
        EXPECT_DOUBLE_EQ(seen[k], (k + 1) / 24.0);
    }
    EXPECT_EQ(editor.invalidations, 24);
}

TEST(Knob, WheelMovesSteppedKnobsOnePositionPerNotch) {
    RecordingEditor editor;
    Knob knob = makeKnob(editor, 25);
    knob.mouseWheel(0, 0, 0, 1);
    EXPECT_DOUBLE_EQ(knob.value, 1.0 / 24);
    EXPECT_EQ(knob.stepIndex, 1);
    knob.mouseWheel(0, 0, 0, 3);
    EXPECT_EQ(knob.stepIndex, 4);
    EXPECT_EQ(editor.reports.size(), 2u);
    knob.mouseWheel(0, 0, 0, -10); // clamped at the first position
    EXPECT_EQ(knob.stepIndex, 0);
    editor.forget();
    knob.mouseWheel(0, 0, 0, -1); // already there: nothing
    EXPECT_TRUE(editor.reports.empty());
    EXPECT_EQ(editor.invalidations, 0);
    knob.mouseWheel(0, 0, 0, 100);
    EXPECT_DOUBLE_EQ(knob.value, 1.0);
    editor.forget();
    knob.mouseWheel(0, 0, 0, 1);
    EXPECT_TRUE(editor.reports.empty());

    Knob continuous = makeKnob(editor);
    continuous.mouseWheel(0, 0, 0, 5);
    EXPECT_DOUBLE_EQ(continuous.value, 0.0);
    EXPECT_TRUE(editor.reports.empty());
}

TEST(Knob, DoubleClickReturnsToTheDefaultOnlyWhenThereIsOne) {
    RecordingEditor editor;
    Knob centre = makeKnob(editor, 0, 0.5);
    centre.mouseDoubleClick(0, 0);
    EXPECT_DOUBLE_EQ(centre.value, 0.5);
    EXPECT_EQ(centre.frameIndex, 48);
    EXPECT_EQ(editor.reports.size(), 1u);
    EXPECT_FALSE(centre.dragging) << "a double-click starts no drag";
    editor.forget();
    centre.mouseDoubleClick(0, 0); // already at the default
    EXPECT_TRUE(editor.reports.empty());
    EXPECT_EQ(editor.invalidations, 0);

    Knob volume = makeKnob(editor, 0, 0.8333);
    volume.mouseDoubleClick(0, 0);
    EXPECT_EQ(volume.frameIndex, 80);

    Knob none = makeKnob(editor);
    none.setValue(0.3);
    editor.forget();
    none.mouseDoubleClick(0, 0);
    EXPECT_DOUBLE_EQ(none.value, 0.3);
    EXPECT_TRUE(editor.reports.empty());
}

TEST(Knob, ParameterSideSettlesWithoutReporting) {
    RecordingEditor editor;
    Knob knob = makeKnob(editor);
    const struct {
        double in, value;
        int frame;
    } cases[] = {{0.5, 0.5, 48}, {1.0, 1.0, 96}, {1.7, 1.0, 96}, {-0.2, 0.0, 0}, {std::nan(""), 0.0, 0}};
    for (const auto& c : cases) {
        editor.forget();
        knob.setValue(c.in);
        EXPECT_DOUBLE_EQ(knob.value, c.value) << c.in;
        EXPECT_EQ(knob.frameIndex, c.frame) << c.in;
        EXPECT_EQ(editor.invalidations, 1) << "setValue always repaints";
    }
    Knob stepped = makeKnob(editor, 13);
    editor.forget();
    stepped.setStep(12);
    EXPECT_DOUBLE_EQ(stepped.value, 1.0);
    EXPECT_EQ(stepped.frameIndex, 96);
    stepped.setStep(12); // unchanged: no repaint
    stepped.setStep(40); // out of range: held at the last position
    EXPECT_EQ(stepped.stepIndex, 12);
    EXPECT_EQ(editor.invalidations, 1);
    EXPECT_TRUE(editor.reports.empty());
}

zem::SliderControl makeSlider(RecordingEditor& editor) {
    return zem::SliderControl(kIndex, zem::makeRect(575, 48, 14, 110), &editor, nullptr, 27);
}

TEST(Slider, PressBesideTheHandleJumpsAndTheDragGoesOn) {
    RecordingEditor editor;
    zem::SliderControl slider = makeSlider(editor);
    ASSERT_EQ(slider.travel, 83);
    // Handle at the bottom; press 10 pixels below the top edge: 83 + 13 - 10
    // = 86, held at 83.
    slider.mouseDown(5, 10);
    EXPECT_DOUBLE_EQ(slider.position, 83.0);
    EXPECT_EQ(editor.reports.size(), 1u);
    EXPECT_EQ(editor.captured, &slider);
    slider.mouseMove(5, 30, kPlain);
    EXPECT_DOUBLE_EQ(slider.position, 63.0);
    slider.mouseMove(5, 34, kShift);
    EXPECT_DOUBLE_EQ(slider.position, 62.0);
    slider.mouseUp(5, 34);
    EXPECT_EQ(editor.captured, nullptr);
    EXPECT_FALSE(slider.dragging);

    // A press on the handle itself does not move it.
    editor.forget();
    const int handleTop = 83 - 62;
    slider.mouseDown(5, handleTop + 5);
    EXPECT_DOUBLE_EQ(slider.position, 62.0);
    EXPECT_TRUE(editor.reports.empty());
}

TEST(Slider, BeyondAnEndReportsTheEndAndFollowsFromWhereItStopped) {
    RecordingEditor editor;
    zem::SliderControl slider = makeSlider(editor);
    slider.mouseDown(5, 100); // on the handle (rows 83..110)
    EXPECT_TRUE(editor.reports.empty());
    slider.mouseMove(5, 120, kPlain); // 20 below the bottom
    slider.mouseMove(5, 140, kPlain);
    EXPECT_DOUBLE_EQ(slider.position, 0.0);
    EXPECT_EQ(editor.reports.size(), 2u) << "every move reports, also at an end";
    slider.mouseMove(5, 101, kPlain); // still below where the bottom was hit
    EXPECT_DOUBLE_EQ(slider.position, 0.0);
    slider.mouseMove(5, 90, kPlain);
    EXPECT_DOUBLE_EQ(slider.position, 10.0);
    // Same y again: no event at all.
    editor.forget();
    slider.mouseMove(5, 90, kPlain);
    EXPECT_TRUE(editor.reports.empty());
}

TEST(Slider, IgnoresWheelDoubleClickAndStrayRelease) {
    RecordingEditor editor;
    zem::SliderControl slider = makeSlider(editor);
    slider.mouseWheel(0, 0, 0, 3);
    slider.mouseDoubleClick(5, 5);
    slider.mouseMove(5, 0, kPlain);
    slider.mouseUp(5, 5);
    EXPECT_DOUBLE_EQ(slider.position, 0.0);
    EXPECT_EQ(editor.releases, 0);
    EXPECT_TRUE(editor.reports.empty());

    slider.setValue(0.5f);
    EXPECT_DOUBLE_EQ(slider.position, static_cast<double>(83.0f * 0.5f));
    EXPECT_TRUE(editor.reports.empty());
}

TEST(Switch, EveryPressTogglesAndReports) {
    RecordingEditor editor;
    SwitchControl lamp(kIndex, zem::makeRect(24, 300, 20, 11), &editor, nullptr, nullptr);
    lamp.mouseDown(3, 3);
    lamp.mouseDoubleClick(3, 3);
    EXPECT_FALSE(lamp.on);
    EXPECT_EQ(editor.reports.size(), 2u);
    EXPECT_EQ(editor.captures, 0);
    editor.forget();
    lamp.setState(false);
    EXPECT_EQ(editor.invalidations, 0);
    lamp.setState(true);
    EXPECT_EQ(editor.invalidations, 1);
    EXPECT_TRUE(editor.reports.empty());
}

TEST(Radio, EachItemOwnsA13PixelCell) {
    RecordingEditor editor;
    RadioControl radio(kIndex, zem::makeRect(24, 47, 20, 37), &editor, nullptr, nullptr, 3, 13);
    const struct {
        int y, item;
    } cases[] = {{0, 0}, {12, 0}, {13, 1}, {25, 1}, {26, 2}, {37, 2}};
    for (const auto& c : cases) {
        radio.mouseDown(5, c.y);
        EXPECT_EQ(radio.selected, c.item) << "y " << c.y;
    }
    editor.forget();
    radio.mouseDown(5, 30); // the lit lamp again: reported again
    radio.mouseDown(5, 39); // below the last item: kept, still reported
    radio.mouseDown(5, -3); // above the first (only under capture): kept
    radio.mouseDoubleClick(5, 1);
    EXPECT_EQ(radio.selected, 0);
    EXPECT_EQ(editor.reports, (std::vector<int>{kIndex, kIndex, kIndex, kIndex}));
    editor.forget();
    radio.setSelected(0);
    EXPECT_EQ(editor.invalidations, 0);
    radio.setSelected(2);
    EXPECT_EQ(editor.invalidations, 1);
    EXPECT_TRUE(editor.reports.empty());
}

// Images whose pixels tell which frame / lamp / handle row was drawn.
uint32_t tagOf(int frame) { return 0xFF000000u | static_cast<uint32_t>(frame + 1); }
uint32_t colour(uint32_t pixel) { return pixel & 0x00FFFFFFu; }

TEST(ControlDrawing, EachControlDrawsItsImagesWhereItsStateSays) {
    RecordingEditor editor;
    LICE_MemBitmap target(100, 140);
    std::fill(target.pixels(), target.pixels() + 100 * 140, 0u);
    LICE_MemBitmap frames(4, 4 * 97);
    for (int f = 0; f < 97; ++f)
        for (int i = 0; i < 16; ++i)
            frames.pixels()[f * 16 + i] = tagOf(f);
    Knob knob(0, zem::makeRect(10, 20, 4, 4), &editor, &frames, 0, 97, Knob::noDefault);
    knob.setValue(0.5);
    knob.draw(target);
    // Blending leaves the destination's alpha byte to the blit: compare colours.
    EXPECT_EQ(colour(target.pixels()[20 * 100 + 10]), colour(tagOf(48)));
    EXPECT_EQ(colour(target.pixels()[23 * 100 + 13]), colour(tagOf(48)));
    EXPECT_EQ(colour(target.pixels()[24 * 100 + 13]), 0u) << "one frame only";

    LICE_MemBitmap on(2, 2), off(2, 2);
    for (int i = 0; i < 4; ++i) {
        on.pixels()[i] = 0xFFFFFFFFu;
        off.pixels()[i] = 0xFF222222u;
    }
    RadioControl radio(0, zem::makeRect(50, 0, 2, 28), &editor, &on, &off, 3, 13);
    radio.setSelected(1);
    radio.draw(target);
    EXPECT_EQ(target.pixels()[0 * 100 + 50], 0xFF222222u);
    EXPECT_EQ(target.pixels()[13 * 100 + 50], 0xFFFFFFFFu);
    EXPECT_EQ(target.pixels()[26 * 100 + 51], 0xFF222222u);

    LICE_MemBitmap handle(3, 5);
    for (int i = 0; i < 15; ++i)
        handle.pixels()[i] = 0xFF0000FFu;
    zem::SliderControl slider(0, zem::makeRect(80, 20, 3, 110), &editor, &handle, 27);
    EXPECT_EQ(slider.travel, 105);
    slider.setValue(0.5f); // 52.5 rounds to 53: handle top at 130 - 53 - 5 = 72
    slider.draw(target);
    EXPECT_EQ(colour(target.pixels()[71 * 100 + 80]), 0u);
    EXPECT_EQ(colour(target.pixels()[72 * 100 + 80]), 0xFFu);
    EXPECT_EQ(colour(target.pixels()[76 * 100 + 82]), 0xFFu);
    EXPECT_EQ(colour(target.pixels()[77 * 100 + 80]), 0u);
}

TEST(MouseRouting, CaptureWinsElseEveryContainingControlWithEdgesInside) {
    RecordingEditor editor;
    SwitchControl a(1, zem::makeRect(10, 10, 20, 11), &editor, nullptr, nullptr);
    SwitchControl b(2, zem::makeRect(30, 10, 20, 11), &editor, nullptr, nullptr); // shares a's right edge
    zem::Control* list[3] = {&a, nullptr, &b};
    std::vector<std::pair<int, std::pair<int, int>>> hits;
    auto record = [&](zem::Control& c, int x, int y) { hits.push_back({c.parameterIndex, {x, y}}); };

    zem::routeMouse(list, nullptr, 30, 21, record);
    ASSERT_EQ(hits.size(), 2u) << "the scan does not stop at the first hit";
    EXPECT_EQ(hits[0], std::make_pair(int(Veldane::kOsc1ShapeMod), std::make_pair(int(Veldane::kFilterModInv), 11)));
    EXPECT_EQ(hits[1], std::make_pair(int(Veldane::kOsc1ShapeModSrc), std::make_pair(int(Veldane::kOsc1Waveform), 11)));
    hits.clear();
    zem::routeMouse(list, nullptr, 30, 22, record);
    EXPECT_TRUE(hits.empty());
    zem::routeMouse(list, &b, -5, 300, record);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0], std::make_pair(int(Veldane::kOsc1ShapeModSrc), std::make_pair(-35, 290)));
}

// Window systems without double-clicks of their own (X11) get Windows' rule.
TEST(DoubleClickDetector, SecondPressWithinHalfASecondAndTwoPixelsThenStartsOver) {
    zem::DoubleClickDetector clicks;
    const struct {
        std::uint32_t ms;
        int x, y;
        bool isDouble;
    } presses[] = {
        {1000, 10, 10, false},
        {1500, 12, 8, true},        // 500 ms, 2 pixels each way: still a double-click
        {1600, 12, 8, false},       // the press after a double-click starts over
        {2101, 12, 8, false},       // 501 ms
        {2200, 15, 8, false},       // 3 pixels away
        {0xFFFFFF00u, 0, 0, false},
        {0x000000F0u, 0, 0, true},  // the millisecond clock wrapped around
    };
    for (const auto& p : presses)
        EXPECT_EQ(clicks.press(p.ms, p.x, p.y), p.isDouble) << p.ms;
    clicks.press(5000, 0, 0);
    clicks.reset(); // another button between the presses
    EXPECT_FALSE(clicks.press(5100, 0, 0));
}

TEST(PendingControlUpdates, ForeignMarksAreDrainedOnceWithOneWakeUp) {
    zem::PendingControlUpdates<39> pending;
    EXPECT_TRUE(pending.mark(5));
    EXPECT_FALSE(pending.mark(38)) << "one wake-up per batch";
    EXPECT_FALSE(pending.mark(5));
    EXPECT_FALSE(pending.mark(39));
    EXPECT_FALSE(pending.mark(-1));
    std::vector<int> drained;
    pending.drain([&](int i) { drained.push_back(i); });
    EXPECT_EQ(drained, (std::vector<int>{5, 38}));
    EXPECT_TRUE(pending.mark(0)) << "after a drain the next mark wakes again";
    pending.wakeFailed();
    EXPECT_TRUE(pending.mark(1)) << "a lost wake-up is retried";

    // Four threads marking every index while the drain runs: nothing is lost.
    pending.clear();
    std::vector<int> counts(39, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&pending, t] {
            for (int round = 0; round < 2000; ++round)
                pending.mark((round * 7 + t) % 39);
        });
    for (int round = 0; round < 200; ++round)
        pending.drain([&](int i) { ++counts[i]; });
    for (auto& th : threads)
        th.join();
    pending.drain([&](int i) { ++counts[i]; });
    for (int i = 0; i < 39; ++i)
        EXPECT_GE(counts[i], 1) << i;
}

// --- The panel on the real plug-in --------------------------------------------

struct HostRecord {
    static inline std::vector<std::pair<int, float>> automated;
    static inline int otherCalls = 0;
    static VstIntPtr ZEM_VSTCALL callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
        if (opcode == audioMasterAutomate)
            automated.push_back({index, opt});
        else
            ++otherCalls;
        return 0;
    }
};

// What Veldane::Editor is on Windows, minus the window: a Panel whose edits
// go to the plug-in.
class PanelEditor : public RecordingEditor {
public:
    explicit PanelEditor(Veldane::Plugin& plugin) : plugin(plugin), panel(this, Veldane::PanelImages{}) {}
    PanelEditor(const PanelEditor&) = delete;
    PanelEditor& operator=(const PanelEditor&) = delete;
    void controlChanged(int index) override {
        RecordingEditor::controlChanged(index);
        panel.controlChanged(plugin, index);
    }
    void showAll() {
        for (int i = 0; i < Veldane::kParamCount; ++i)
            panel.updateControl(plugin, i);
    }
    Veldane::Plugin& plugin;
    Veldane::Panel panel;
};

// At 150 % a window pixel is two thirds of a panel pixel: a control keeps
// its state in panel pixels, so the same hand movement (three window pixels
// for two panel pixels) gives the same value, and the handle still meets
// both ends of its track though the track's 165 pixels less the handle's 41
// are not 83 times 1.5.
TEST(ScaledControls, CountPanelPixelsAndDrawOnWindowPixels) {
    RecordingEditor editor;
    const zem::Scale s = zem::Scale::ofPercent(150);
    Knob knob = makeKnob(editor);
    knob.scale = s;
    knob.mouseDown(0, 300);
    dragBy(knob, 300, -96);
    dragBy(knob, 204, 12, kShift);
    EXPECT_DOUBLE_EQ(knob.value, (64 - 8 * 0.25) / 256);

    LICE_MemBitmap handle(21, 41);
    std::fill(handle.pixels(), handle.pixels() + 21 * 41, 0xFF0000FFu);
    zem::SliderControl slider(0, zem::makeRect(0, 30, 21, 165), &editor, &handle, 27, s);
    EXPECT_EQ(slider.travel, 83);
    LICE_MemBitmap target(21, 200);
    for (float value : {1.0f, 0.0f}) {
        std::fill(target.pixels(), target.pixels() + 21 * 200, 0u);
        slider.setValue(value);
        slider.draw(target);
        const int top = value > 0 ? 30 : 195 - 41;
        EXPECT_EQ(colour(target.pixels()[(top - 1) * 21]), 0u) << value;
        EXPECT_EQ(colour(target.pixels()[top * 21]), 0xFFu) << value;
        EXPECT_EQ(colour(target.pixels()[(top + 40) * 21]), 0xFFu) << value;
        EXPECT_EQ(colour(target.pixels()[(top + 41) * 21]), 0u) << value;
    }
    slider.mouseDown(5, 45); // 30 panel pixels down, above the handle: its middle jumps there
    EXPECT_DOUBLE_EQ(slider.normalizedValue(), (83 + 13 - 30) / 83.0);
    slider.mouseMove(5, 45 + 60, kPlain);
    EXPECT_DOUBLE_EQ(slider.normalizedValue(), (83 + 13 - 30 - 40) / 83.0);

    // Cells of 13 panel pixels, 19.5 window pixels: item 1 from 19.5 on.
    RadioControl radio(0, zem::makeRect(0, 0, 30, 56), &editor, nullptr, nullptr, 3, 13);
    radio.scale = s;
    radio.mouseDown(5, 19);
    EXPECT_EQ(radio.selected, 0);
    radio.mouseDown(5, 20);
    EXPECT_EQ(radio.selected, 1);
    radio.mouseDown(5, 39);
    EXPECT_EQ(radio.selected, 2);
}

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        HostRecord::automated.clear();
        HostRecord::otherCalls = 0;
        effect = VSTPluginMain(&HostRecord::callback);
        ASSERT_NE(effect, nullptr);
        plugin = pluginOf(effect);
        editor = std::make_unique<PanelEditor>(*plugin);
        editor->showAll();
    }
    void TearDown() override {
        editor.reset();
        closeInstance(effect);
    }
    float normalized(int index) { return plugin->synth.params.get(index); }
    zem::Parameter* parameter(int index) { return plugin->synth.params.at(index); }
    template <class C>
    C& control(int index) {
        zem::Control* c = editor->panel.controlFor(index);
        EXPECT_NE(c, nullptr) << index;
        return static_cast<C&>(*c);
    }

    AEffect* effect = nullptr;
    Veldane::Plugin* plugin = nullptr;
    std::unique_ptr<PanelEditor> editor;
};

TEST_F(PanelTest, EveryParameterButTheReservedOneHasOneControlAndNoneOverlap) {
    int controlled = 0;
    for (int i = 0; i < Veldane::kParamCount; ++i) {
        int count = 0;
        for (zem::Control* c : editor->panel.controls)
            count += c->parameterIndex == i ? 1 : 0;
        EXPECT_EQ(count, i == Veldane::kReserved ? 0 : 1) << i;
        controlled += count;
    }
    EXPECT_EQ(controlled, 38);
    EXPECT_EQ(editor->panel.controlFor(Veldane::kReserved), nullptr);
    EXPECT_EQ(editor->panel.controlFor(Veldane::kParamCount), nullptr);
    EXPECT_EQ(editor->panel.controlFor(-1), nullptr);
    // With edges counted as inside, no point may reach two controls; and all
    // lie on the 702 x 366 panel, and at every scale on the panel's window.
    const auto& list = editor->panel.controls;
    for (int percent : zem::Scale::kPercents) {
        const zem::Scale s = zem::Scale::ofPercent(percent);
        editor->panel.place(s, Veldane::PanelImages());
        for (size_t a = 0; a < std::size(list); ++a) {
            const PixelRect& r = list[a]->bounds;
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= s.pixels(702) && r.bottom <= s.pixels(366)) << a;
            for (size_t b = a + 1; b < std::size(list); ++b) {
                const PixelRect& q = list[b]->bounds;
                const bool touch = r.left <= q.right && q.left <= r.right && r.top <= q.bottom && q.top <= r.bottom;
                EXPECT_FALSE(touch) << percent << " %: " << list[a]->parameterIndex << " and " << list[b]->parameterIndex;
            }
        }
    }
    EXPECT_EQ(list[0]->bounds.left, 24 * 2) << "at 200 % last";
}

// Hosts group the parameters by the section their control sits in
// (ui/panel_sections.h): every control lies whole inside one section's
// frame, the frames do not overlap, and no section holds more parameters
// than a controller page has knobs (eight).
TEST_F(PanelTest, EachControlLiesWholeInOneSectionOfAtMostEight) {
    int perSection[Veldane::panelSectionCount] = {};
    for (zem::Control* c : editor->panel.controls) {
        const int s = Veldane::sectionOf(c->parameterIndex);
        ASSERT_GE(s, 0) << c->parameterIndex;
        const Veldane::PanelSection& f = Veldane::panelSections[s];
        const PixelRect& r = c->bounds;
        EXPECT_TRUE(r.left >= f.left && r.right <= f.right && r.top >= f.top && r.bottom <= f.bottom)
            << c->parameterIndex << " sticks out of " << f.name;
        ++perSection[s];
    }
    for (int s = 0; s < Veldane::panelSectionCount; ++s) {
        EXPECT_TRUE(perSection[s] >= 1 && perSection[s] <= 8) << Veldane::panelSections[s].name;
        for (int t = s + 1; t < Veldane::panelSectionCount; ++t) {
            const Veldane::PanelSection &a = Veldane::panelSections[s], &b = Veldane::panelSections[t];
            EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
                << a.name << " and " << b.name;
        }
    }
    EXPECT_EQ(Veldane::sectionOf(Veldane::kReserved), -1);
}

TEST_F(PanelTest, ControlsStartFromTheParameterDefaults) {
    EXPECT_EQ(control<Knob>(Veldane::kOsc1Volume).frameIndex, 80);       // Osc1 Volume -6 dB
    EXPECT_EQ(control<Knob>(Veldane::kOsc2Volume).frameIndex, 0);        // Osc2 Volume silent
    EXPECT_EQ(control<Knob>(Veldane::kMasterTune).stepIndex, 12);        // Master Tune 0 st, the middle
    EXPECT_EQ(control<Knob>(Veldane::kFilterCutoff).frameIndex, 96);      // Filter Cutoff fully open
    EXPECT_EQ(control<Knob>(Veldane::kBendRange).stepIndex, 12);       // Bend Range 12 st
    EXPECT_TRUE(control<SwitchControl>(Veldane::kPitchModOsc1).on);       // Pitch Mod Osc1
    EXPECT_FALSE(control<SwitchControl>(Veldane::kOsc2Sync).on);       // Osc2 Sync
    EXPECT_DOUBLE_EQ(control<zem::SliderControl>(Veldane::kAmpSustain).position, 83.0); // Amp Sustain 100 %
    EXPECT_DOUBLE_EQ(control<zem::SliderControl>(Veldane::kAmpAttack).position, 0.0);
    EXPECT_TRUE(HostRecord::automated.empty());
    EXPECT_TRUE(editor->reports.empty()) << "showing values never reports";
}

TEST_F(PanelTest, EditsWriteTheParameterAndAutomateTheHost) {
    // Knob drag on a real-valued parameter.
    Knob& q = control<Knob>(Veldane::kFilterQ);
    q.mouseDown(18, 18);
    for (int y = 17; y >= 8; --y)
        q.mouseMove(18, y, kPlain);
    q.mouseUp(18, 8);
    EXPECT_FLOAT_EQ(normalized(Veldane::kFilterQ), 10.0f / 256.0f);
    ASSERT_EQ(HostRecord::automated.size(), 10u);
    EXPECT_EQ(HostRecord::automated.back(), std::make_pair(int(Veldane::kFilterQ), normalized(Veldane::kFilterQ)));

    // Switch: plain state and normalized written directly.
    HostRecord::automated.clear();
    control<SwitchControl>(Veldane::kFilterModInv).mouseDown(1, 1);
    auto* inv = dynamic_cast<zem::ParameterSwitch*>(parameter(Veldane::kFilterModInv));
    ASSERT_NE(inv, nullptr);
    EXPECT_TRUE(inv->on());
    EXPECT_EQ(HostRecord::automated, (std::vector<std::pair<int, float>>{{Veldane::kFilterModInv, 1.0f}}));

    // Radio: a press on the lit lamp writes and reports again.
    HostRecord::automated.clear();
    RadioControl& filterType = control<RadioControl>(Veldane::kFilterType);
    filterType.mouseDown(5, 14);
    filterType.mouseDown(5, 14);
    auto* type = dynamic_cast<zem::ParameterInt*>(parameter(Veldane::kFilterType));
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->value(), 1);
    EXPECT_EQ(HostRecord::automated, (std::vector<std::pair<int, float>>{{Veldane::kFilterType, 0.5f}, {Veldane::kFilterType, 0.5f}}));

    // Slider: position / travel.
    HostRecord::automated.clear();
    zem::SliderControl& release = control<zem::SliderControl>(Veldane::kModRelease);
    release.mouseDown(7, 10 + 83 - 20); // 20 above the bottom of the travel
    EXPECT_FLOAT_EQ(normalized(Veldane::kModRelease), static_cast<float>((83.0 + 13 - 73) / 83.0));
    EXPECT_EQ(HostRecord::otherCalls, 0);
}

TEST_F(PanelTest, VoiceModeThirdLampStoresThreeAndLightsForTwoAndThree) {
    RadioControl& mode = control<RadioControl>(Veldane::kVoiceMode);
    auto* p = dynamic_cast<zem::ParameterInt*>(parameter(Veldane::kVoiceMode));
    ASSERT_NE(p, nullptr);
    mode.mouseDown(5, 26);
    EXPECT_EQ(p->value(), 3);
    EXPECT_EQ(p->normalized(), 1.0f);
    EXPECT_EQ(HostRecord::automated.back(), std::make_pair(int(Veldane::kVoiceMode), 1.0f));
    mode.mouseDown(5, 13);
    EXPECT_EQ(p->value(), 1);
    EXPECT_FLOAT_EQ(p->normalized(), 1.0f / 3.0f);
    const struct {
        float host;
        int lamp;
    } shown[] = {{0.0f, 0}, {1.0f / 3.0f, 1}, {2.0f / 3.0f, 2}, {1.0f, 2}};
    for (const auto& s : shown) {
        plugin->setParameter(Veldane::kVoiceMode, s.host);
        editor->panel.updateControl(*plugin, Veldane::kVoiceMode);
        EXPECT_EQ(mode.selected, s.lamp) << s.host;
    }
}

TEST_F(PanelTest, SteppedKnobsFollowTheirIntegers) {
    Knob& bend = control<Knob>(Veldane::kBendRange);
    auto* range = dynamic_cast<zem::ParameterInt*>(parameter(Veldane::kBendRange));
    ASSERT_NE(range, nullptr);
    bend.mouseWheel(0, 0, 0, -5);
    EXPECT_EQ(range->value(), 7);
    EXPECT_FLOAT_EQ(range->normalized(), 7.0f / 12.0f);
    plugin->setParameter(Veldane::kBendRange, 0.25f); // 3 semitones
    editor->forget();
    editor->panel.updateControl(*plugin, Veldane::kBendRange);
    EXPECT_EQ(bend.stepIndex, 3);
    EXPECT_EQ(bend.frameIndex, 24);
    EXPECT_EQ(editor->invalidations, 1);

    // Master Tune: 25 positions over -12..12, double-click back to 0.
    Knob& tune = control<Knob>(Veldane::kMasterTune);
    auto* tuneParameter = dynamic_cast<zem::ParameterInt*>(parameter(Veldane::kMasterTune));
    ASSERT_NE(tuneParameter, nullptr);
    tune.mouseWheel(0, 0, 0, 3);
    EXPECT_EQ(tuneParameter->value(), 3);
    tune.mouseDoubleClick(0, 0);
    EXPECT_EQ(tuneParameter->value(), 0);
    EXPECT_EQ(tune.stepIndex, 12);
}

TEST_F(PanelTest, EveryControlWritesBackTheValueItShows) {
    // A host value shown by the control and written back by an edit that
    // changes nothing must leave the parameter where it was: catches a
    // control bound to the wrong parameter or the wrong conversion.
    for (const Veldane::PanelEntry& e : Veldane::panelLayout) {
        const int i = e.parameter;
        plugin->setParameter(i, 0.75f);
        editor->panel.updateControl(*plugin, i);
        char before[16], after[16];
        parameter(i)->getDisplay(before);
        HostRecord::automated.clear();
        editor->panel.controlChanged(*plugin, i);
        parameter(i)->getDisplay(after);
        ASSERT_EQ(HostRecord::automated.size(), 1u) << i;
        EXPECT_EQ(HostRecord::automated[0], std::make_pair(i, normalized(i)));
        // Choices and switches store their canonical normalized value; the
        // plain value (the display) stays. Voice Mode's entry 2 comes back
        // as entry 3, both "Poly".
        EXPECT_STREQ(after, before) << i;
        if (e.binding == Veldane::Binding::normalized) {
            EXPECT_NEAR(normalized(i), 0.75f, e.kind == Veldane::ControlKind::slider ? 1e-6 : 0.0) << i;
        }
    }
    // Parameter 25 has no control: nothing is written, shown or reported.
    HostRecord::automated.clear();
    editor->forget();
    editor->panel.controlChanged(*plugin, Veldane::kReserved);
    editor->panel.updateControl(*plugin, Veldane::kReserved);
    editor->panel.updateControl(*plugin, Veldane::kParamCount + 1);
    EXPECT_TRUE(HostRecord::automated.empty());
    EXPECT_EQ(editor->invalidations, 0);
}

} // namespace
