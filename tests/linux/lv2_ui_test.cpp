// The LV2 UI as a host drives it, through its descriptor, in a window of
// ours on a virtual display (scripts/x11-run.sh starts one): port events in,
// what the panel shows read back from the screen, real pointer input
// (XTest) out as port writes of plain values; at 150 and 200 %, from the
// host's scale factor, the X server's Xft.dpi or VELDANE_SCALE, and through
// the zoom menu, whose choice the panel's zoom port keeps.

#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "framework/plain_value.h"
#include "synth/parameters.h"
#include "tests/editor/editor_checks.h"
#include "tests/linux/lv2_host.h"
#include "tools/halved_comparison.h"
#include "wrappers/lv2/ports.h"

// Last: Xlib's macros (None, Bool, Status...) must not meet the headers above.
#include "tests/editor/x11_host.h"

extern "C" const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index);

namespace {

using namespace editor_checks;
using namespace x11_host;
using Veldane::lv2::controlPortOf;

constexpr std::uint32_t kFloatProtocol = 0;

struct PortWrite {
    std::uint32_t port;
    float value;
    bool operator==(const PortWrite& o) const { return port == o.port && value == o.value; }
};
std::ostream& operator<<(std::ostream& out, const PortWrite& w) { return out << w.port << "=" << w.value; }
std::vector<PortWrite> writes; // UI thread only, as the UI writes

void recordWrite(LV2UI_Controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                 const void* buffer) {
    if (size == sizeof(float) && protocol == kFloatProtocol) writes.push_back({port, *static_cast<const float*>(buffer)});
    else ADD_FAILURE() << "a write of " << size << " bytes in protocol " << protocol;
}

int askedWidth = 0, askedHeight = 0;
int resizeAnswer = 0; // what the host answers: 0 is yes
int recordResize(LV2UI_Feature_Handle, int width, int height) {
    askedWidth = width;
    askedHeight = height;
    return resizeAnswer;
}

// The port value of parameter `id` at normalized value n: what the plug-in
// converts back to n (the plain view both sides share).
float plainOf(int id, float n) {
    Veldane::Parameters p;
    p.set(id, n);
    const zem::PlainRange r = zem::plainRangeOf(*p.at(id));
    return static_cast<float>(std::fmin(std::fmax(r.current, r.min), r.max));
}

// One UI instance as jalv or Ardour hosts it: ui:parent, ui:resize and the
// URID map given, with the host's ui:scaleFactor when it has one, idle
// called from the host's loop.
struct HostedUi {
    const LV2UI_Descriptor* descriptor = lv2ui_descriptor(0);
    LV2UI_Handle handle = nullptr;
    LV2UI_Widget widget = nullptr;
    float scaleFactor = 0.0f; // the host's ui:scaleFactor; 0: it gives none
    // The features live as long as the UI, as a host's do.
    LV2UI_Resize resize{nullptr, &recordResize};
    lv2host::UridMap map;
    LV2_Options_Option options[2]{};

    HostedUi() = default;
    explicit HostedUi(float scaleFactor) : scaleFactor(scaleFactor) {}
    ~HostedUi() { close(); }

    LV2UI_Handle instantiate(Window parent, const char* pluginUri = Veldane::lv2::kPluginUri) {
        options[0] = {LV2_OPTIONS_INSTANCE, 0, map.id(LV2_UI__scaleFactor), sizeof scaleFactor, map.id(LV2_ATOM__Float),
                      &scaleFactor};
        const LV2_Feature parentFeature{LV2_UI__parent, asParent(parent)};
        const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
        const LV2_Feature mapFeature{LV2_URID__map, &map.feature};
        const LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
        const LV2_Feature* features[] = {&parentFeature, &resizeFeature, &mapFeature,
                                         scaleFactor > 0.0f ? &optionsFeature : nullptr, nullptr};
        return descriptor->instantiate(descriptor, pluginUri, "", &recordWrite, this, &widget, features);
    }
    bool open(Window parent = frame) {
        handle = instantiate(parent);
        return handle != nullptr;
    }
    void close() {
        if (handle != nullptr) descriptor->cleanup(handle);
        handle = nullptr;
    }
    int idle() {
        XSync(host, False);
        const auto* i = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        return i->idle(handle);
    }
    void portEvent(std::uint32_t port, float value, std::uint32_t protocol = kFloatProtocol) {
        descriptor->port_event(handle, port, sizeof value, protocol, &value);
    }
    Mouse mouse() {
        return Mouse{[this] { idle(); }};
    }
};

// What the panel shows at `scale`, against the normalized values `shown`.
int controlsNotShowing(const Veldane::Parameters& shown, zem::Scale scale = zem::Scale()) {
    LICE_MemBitmap window;
    if (!grab(editorWindow(), window, scale)) return -1;
    return controlsNotShowingTheirValues(window, [&shown](int i) { return shown.get(i); }, scale);
}

// Every control's port set to a value of its own; `shown` holds them.
void sendSpreadValues(HostedUi& ui, Veldane::Parameters& shown) {
    for (int id = 0; id < kParameters; ++id) {
        if (id == Veldane::kReserved) continue;
        shown.set(id, spreadValue(id));
        ui.portEvent(controlPortOf(id), plainOf(id, spreadValue(id)));
    }
}

class Lv2Ui : public ::testing::Test {
protected:
    void SetUp() override {
        writes.clear();
        resizeAnswer = 0;
        ASSERT_NE(host, nullptr);
    }
    void TearDown() override {
        setXftDpi(0);
        setScaleVariable(nullptr);
    }
};

TEST_F(Lv2Ui, OpensInTheHostsWindowAtItsSizeAndShowsThePortsValues) {
    ASSERT_TRUE(images().complete());
    HostedUi ui;
    ASSERT_NE(ui.descriptor, nullptr);
    EXPECT_STREQ(ui.descriptor->URI, Veldane::lv2::kUiUri);
    EXPECT_EQ(lv2ui_descriptor(1), nullptr);
    EXPECT_NE(ui.descriptor->extension_data(LV2_UI__idleInterface), nullptr);
    EXPECT_EQ(ui.descriptor->extension_data(LV2_UI__showInterface), nullptr);
    EXPECT_EQ(ui.instantiate(frame, "urn:another:plugin"), nullptr);
    EXPECT_EQ(ui.instantiate(0x7FFFFFFF), nullptr) << "a window id the server does not know";
    EXPECT_EQ(x11_capture::childCount(host, frame), 0);

    askedWidth = askedHeight = 0;
    ASSERT_TRUE(ui.open());
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(ui.widget), editorWindow());
    EXPECT_EQ(askedWidth, kWidth);
    EXPECT_EQ(askedHeight, kHeight);

    // The host sends every control port's value; the panel shows them at
    // the next idle call, and sends none of them back.
    Veldane::Parameters expected;
    for (int id = 0; id < kParameters; ++id) {
        if (id == Veldane::kReserved) continue;
        expected.set(id, spreadValue(id));
        ui.portEvent(controlPortOf(id), plainOf(id, spreadValue(id)));
    }
    EXPECT_EQ(ui.idle(), 0);
    EXPECT_EQ(controlsNotShowing(expected), 0);

    // What is no control port's value changes nothing.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ui.portEvent(controlPortOf(Veldane::kFilterCutoff), nan);
    ui.portEvent(controlPortOf(Veldane::kFilterCutoff), 100.0f, 1);
    ui.portEvent(Veldane::lv2::kAudioOutPort, 100.0f);
    ui.portEvent(Veldane::lv2::kPortCount, 100.0f);
    ui.idle();
    EXPECT_EQ(controlsNotShowing(expected), 0);
    EXPECT_TRUE(writes.empty());
}

TEST_F(Lv2Ui, EditsGoOutAsThePortsPlainValues) {
    HostedUi ui;
    ASSERT_TRUE(ui.open());
    ui.idle();
    Mouse mouse = ui.mouse();
    Veldane::Parameters shown;

    // A drag of 64 pixels takes Filter Cutoff from the top of its range down
    // a quarter: one write per step, the last one in Hz.
    const Veldane::PanelEntry& cutoff = entryOf(Veldane::kFilterCutoff);
    mouse.pressAndDrag(cutoff.left + 18, cutoff.top + 18, 64);
    mouse.up(cutoff.left + 18, cutoff.top + 18 + 64);
    ASSERT_EQ(writes.size(), 64u);
    EXPECT_EQ(writes.back().port, controlPortOf(Veldane::kFilterCutoff));
    EXPECT_EQ(writes.back().value, plainOf(Veldane::kFilterCutoff, 0.75f));
    shown.set(Veldane::kFilterCutoff, 0.75f);
    // The host hands the written value back: the knob stays where it is.
    ui.portEvent(controlPortOf(Veldane::kFilterCutoff), writes.back().value);

    // A switch writes 1 and 0; the wheel steps Master Tune by a semitone.
    writes.clear();
    const Veldane::PanelEntry& sync = entryOf(Veldane::kOsc2Sync);
    mouse.click(sync.left + 5, sync.top + 5);
    const Veldane::PanelEntry& tune = entryOf(Veldane::kMasterTune);
    mouse.wheel(tune.left + 18, tune.top + 18, 2);
    shown.set(Veldane::kOsc2Sync, 1.0f);
    shown.set(Veldane::kMasterTune, 14.0f / 24.0f);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].port, controlPortOf(Veldane::kOsc2Sync));
    EXPECT_EQ(writes[0].value, 1.0f);
    EXPECT_EQ(writes[2].port, controlPortOf(Veldane::kMasterTune));
    EXPECT_EQ(writes[2].value, 2.0f) << "semitones";

    // Voice Mode's Poly lamp stores the last of Poly's repeated entries; the
    // port declares only the first, and that is what is written.
    writes.clear();
    const Veldane::PanelEntry& mode = entryOf(Veldane::kVoiceMode);
    mouse.click(mode.left + 5, mode.top + 2 * Veldane::radioSpacing + 5);
    shown.set(Veldane::kVoiceMode, 1.0f);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].value, 2.0f);
    ui.portEvent(controlPortOf(Veldane::kVoiceMode), 2.0f);
    ui.idle();
    EXPECT_EQ(controlsNotShowing(shown), 0);
}

TEST_F(Lv2Ui, AHostMayDestroyItsWindowBeforeCleaningUp) {
    const Window ownFrame = x11_capture::createFrame(host, "frame", kWidth, kHeight);
    ASSERT_NE(ownFrame, 0u);
    HostedUi ui;
    ASSERT_TRUE(ui.open(ownFrame));
    EXPECT_EQ(ui.idle(), 0);
    XDestroyWindow(host, ownFrame);
    // The server tells the UI's connection in its own time: a host goes on
    // calling idle until the UI says it is closed.
    int closed = 0;
    for (int call = 0; call < 1000 && closed == 0; ++call) {
        closed = ui.idle();
        if (closed == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(closed, 1) << "the UI says it is closed";
    ui.portEvent(controlPortOf(Veldane::kFilterQ), 0.5f);
    EXPECT_EQ(ui.idle(), 1);
    ui.close();
}

TEST_F(Lv2Ui, HundredInstantiateCleanupCyclesLeakNothing) {
    HostedUi ui;
    const long heapGrowth = expectOpenCloseCyclesLeakNothing([&ui] { return ui.open() && ui.idle() == 0; },
                                                             [&ui] { ui.close(); });
    RecordProperty("heap_growth_bytes", std::to_string(heapGrowth));
}

// --- Scale ---------------------------------------------------------------------

// The host's ui:scaleFactor first, then VELDANE_SCALE, then the X server's
// Xft.dpi (144 is 150 %, 192 is 200 %): the window and the size the host is
// told.
TEST_F(Lv2Ui, OpensAtTheScaleOfTheHostTheVariableOrTheXServer) {
    struct Case {
        float host;
        int xftDpi;
        const char* variable;
        int width, height;
    };
    const Case cases[] = {
        {1.5f, 0, nullptr, 1053, 549}, {2.0f, 0, nullptr, 1404, 732}, {0.0f, 144, nullptr, 1053, 549},
        {0.0f, 192, nullptr, 1404, 732}, {0.0f, 120, nullptr, 702, 366}, {0.0f, 192, "1.5", 1053, 549},
        {0.0f, 0, "2", 1404, 732},       {1.0f, 192, "2", 702, 366},
    };
    for (const Case& c : cases) {
        setXftDpi(c.xftDpi);
        setScaleVariable(c.variable);
        HostedUi ui(c.host);
        askedWidth = askedHeight = 0;
        ASSERT_TRUE(ui.open());
        EXPECT_EQ(ui.idle(), 0);
        int width = 0, height = 0;
        ASSERT_TRUE(sizeOf(editorWindow(), width, height));
        EXPECT_EQ(width, c.width) << c.host << " " << c.xftDpi;
        EXPECT_EQ(height, c.height) << c.host << " " << c.xftDpi;
        EXPECT_EQ(askedWidth, c.width);
        EXPECT_EQ(askedHeight, c.height);
    }
}

class ScaledLv2Ui : public Lv2Ui, public ::testing::WithParamInterface<int> {
protected:
    zem::Scale scale() const { return zem::Scale::ofPercent(GetParam()); }
    float factor() const { return static_cast<float>(scale().factor()); }
};

TEST_P(ScaledLv2Ui, ShowsThePortsValuesAtItsScale) {
    ASSERT_TRUE(images(scale()).complete());
    HostedUi ui(factor());
    ASSERT_TRUE(ui.open());
    Veldane::Parameters shown;
    sendSpreadValues(ui, shown);
    EXPECT_EQ(ui.idle(), 0);
    EXPECT_EQ(controlsNotShowing(shown, scale()), 0);
}

// The same gestures, their places and distances in panel pixels (drags in
// moves of two), made on the panel at `s`: the port writes they give.
std::vector<PortWrite> gesturesAt(zem::Scale s) {
    HostedUi ui(static_cast<float>(s.factor()));
    if (!ui.open()) return {};
    ui.idle();
    Mouse mouse = ui.mouse();
    auto at = [s](int panelPixels) { return s.pixels(panelPixels); };
    auto by = [s](int panelPixels) { return panelPixels * s.percent() / 100; };
    writes.clear();
    const Veldane::PanelEntry& cutoff = entryOf(Veldane::kFilterCutoff);
    mouse.pressAndDrag(at(cutoff.left + 18), at(cutoff.top + 18), by(64), by(2));
    mouse.up(at(cutoff.left + 18), at(cutoff.top + 18) + by(64));
    mouse.shift(true);
    mouse.pressAndDrag(at(cutoff.left + 24), at(cutoff.top + 10), by(32), by(2));
    mouse.up(at(cutoff.left + 24), at(cutoff.top + 10) + by(32));
    mouse.shift(false);
    const Veldane::PanelEntry& tune = entryOf(Veldane::kMasterTune);
    mouse.wheel(at(tune.left + 18), at(tune.top + 18), 3);
    mouse.wheel(at(tune.left + 18), at(tune.top + 18), -1);
    mouse.click(at(tune.left + 18), at(tune.top + 18));
    mouse.click(at(tune.left + 18), at(tune.top + 18));
    const Veldane::PanelEntry& sync = entryOf(Veldane::kOsc2Sync);
    mouse.click(at(sync.left + 5), at(sync.top + 5));
    const Veldane::PanelEntry& mode = entryOf(Veldane::kVoiceMode);
    mouse.click(at(mode.left + 5), at(mode.top + 2 * Veldane::radioSpacing + 5));
    const Veldane::PanelEntry& type = entryOf(Veldane::kFilterType);
    mouse.click(at(type.left + 10), at(type.top + Veldane::radioSpacing + 2));
    const Veldane::PanelEntry& decay = entryOf(Veldane::kAmpDecay);
    mouse.pressAndDrag(at(decay.left + 7), at(decay.top + 10), by(40), by(2));
    mouse.up(at(decay.left + 7), at(decay.top + 10) + by(40));
    return writes;
}

TEST_P(ScaledLv2Ui, GesturesGiveTheValuesTheyGiveAt100Percent) {
    const std::vector<PortWrite> base = gesturesAt(zem::Scale());
    ASSERT_GT(base.size(), 50u);
    EXPECT_EQ(gesturesAt(scale()), base);
}

TEST_P(ScaledLv2Ui, HundredInstantiateCleanupCyclesLeakNothing) {
    HostedUi ui(factor());
    const long heapGrowth = expectOpenCloseCyclesLeakNothing([&ui] { return ui.open() && ui.idle() == 0; },
                                                             [&ui] { ui.close(); });
    RecordProperty("heap_growth_bytes", std::to_string(heapGrowth));
}

INSTANTIATE_TEST_SUITE_P(At, ScaledLv2Ui, ::testing::Values(150, 200));

// The 200 % panel is drawn apart from the 100 % one, at its own resolution:
// reduced 2:1 it must show the same panel, only with softer edges.
TEST_F(Lv2Ui, The200PercentPanelReducedMatchesThe100PercentPanel) {
    LICE_MemBitmap pictures[2];
    for (int i = 0; i < 2; ++i) {
        const zem::Scale s = zem::Scale::ofPercent(i == 0 ? 100 : 200);
        HostedUi ui(static_cast<float>(s.factor()));
        ASSERT_TRUE(ui.open());
        Veldane::Parameters shown;
        sendSpreadValues(ui, shown);
        ui.idle();
        ASSERT_TRUE(grab(editorWindow(), pictures[i], s));
    }
    const halved::Comparison c = halved::compare(pictures[0], pictures[1]);
    ASSERT_EQ(c.pixels, kWidth * kHeight);
    std::printf("the 200 %% panel reduced 2:1 against the 100 %% panel: mean difference %.2f of 255, largest %d, "
                "%.2f %% of the pixels within %d\n",
                c.meanDifference, c.largestDifference, 100.0 * c.matching, halved::kTolerance);
    // The text is drawn at each size's own font size and hinting, so its
    // strokes differ (about 2 % of the pixels, the legends'); a knob or a
    // lamp one pixel out of place would add as many again.
    EXPECT_LT(c.meanDifference, 3.0);
    EXPECT_GT(c.matching, 0.97);
}

// The zoom menu's pixels of `id` at `s`, its rows from `firstRow` on, shown
// with the menu's corner at (x, y).
bool showsMenuRows(LICE_IBitmap& window, zem::Scale s, int x, int y, int firstRow) {
    std::unique_ptr<LICE_IBitmap> menu(
        loadLibraryImage(&Veldane::libraryImages, Veldane::imageIdAt(Veldane::zoomMenuImageId, s)));
    if (!menu) return false;
    const int top = s.pixels(zoomMenuBorder) + firstRow * s.pixels(zoomMenuRowHeight);
    for (int row = top; row < menu->height(); ++row)
        for (int col = 0; col < menu->width(); ++col)
            if (rgbAt(window, x + col, y + row) != (menu->pixels()[row * menu->rowSpan() + col] & 0x00FFFFFFu))
                return false;
    return true;
}

// The middle of the menu's row for `percent`, opened at (x, y) on the panel at `s`.
std::pair<int, int> menuRow(zem::Scale s, int x, int y, int percent) {
    const int row = zem::Scale::ofPercent(percent).index();
    return {x + s.pixels(40),
            y + s.pixels(zoomMenuBorder) + row * s.pixels(zoomMenuRowHeight) + s.pixels(zoomMenuRowHeight) / 2};
}

TEST_F(Lv2Ui, TheZoomMenuResizesThePanelAndTheZoomPortKeepsTheChoice) {
    HostedUi ui;
    ASSERT_TRUE(ui.open());
    ui.idle();
    Mouse mouse = ui.mouse();
    const Veldane::Parameters defaults;
    const zem::Scale base, twice = zem::Scale::ofPercent(200);
    const int bx = 5, by = 5; // the background: no control there

    // A right press on a control opens nothing; on the background, the menu.
    const Veldane::PanelEntry& sync = entryOf(Veldane::kOsc2Sync);
    mouse.rightClick(sync.left + 5, sync.top + 5);
    EXPECT_EQ(controlsNotShowing(defaults), 0);
    mouse.rightClick(bx, by);
    LICE_MemBitmap window;
    ASSERT_TRUE(grab(editorWindow(), window));
    EXPECT_TRUE(showsMenuRows(window, base, bx, by, 1)) << "the rows of 150 and 200 %, neither lit nor checked";
    // A press outside it closes it and reaches no control.
    mouse.click(sync.left + 5, sync.top + 5);
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(controlsNotShowing(defaults), 0);

    // A host that refuses the room: nothing changes, nothing is kept.
    resizeAnswer = 1;
    mouse.rightClick(bx, by);
    auto [x150, y150] = menuRow(base, bx, by, 150);
    mouse.click(x150, y150);
    int width = 0, height = 0;
    ASSERT_TRUE(sizeOf(editorWindow(), width, height));
    EXPECT_EQ(width, kWidth);
    EXPECT_TRUE(writes.empty());
    resizeAnswer = 0;

    // 200 %: the panel grows, the host is told, the zoom port keeps it.
    mouse.rightClick(bx, by);
    auto [x200, y200] = menuRow(base, bx, by, 200);
    mouse.click(x200, y200);
    ASSERT_TRUE(sizeOf(editorWindow(), width, height));
    EXPECT_EQ(width, 1404);
    EXPECT_EQ(height, 732);
    EXPECT_EQ(askedWidth, 1404);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], (PortWrite{Veldane::lv2::kPanelZoomPort, 200.0f}));
    EXPECT_EQ(controlsNotShowing(defaults, twice), 0);
    ui.close();

    // Opened again, the host hands the kept zoom back through the port.
    ASSERT_TRUE(ui.open());
    ui.portEvent(Veldane::lv2::kPanelZoomPort, 200.0f);
    ui.idle();
    ASSERT_TRUE(sizeOf(editorWindow(), width, height));
    EXPECT_EQ(width, 1404);
    EXPECT_EQ(askedHeight, 732);
    EXPECT_EQ(controlsNotShowing(defaults, twice), 0);
}

} // namespace

