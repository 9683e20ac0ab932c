// The LV2 UI as a host drives it, through its descriptor, in a window of
// ours on a virtual display (scripts/x11-run.sh starts one): port events in,
// what the panel shows read back from the screen, real pointer input
// (XTest) out as port writes of plain values.

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
};
std::vector<PortWrite> writes; // UI thread only, as the UI writes

void recordWrite(LV2UI_Controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                 const void* buffer) {
    if (size == sizeof(float) && protocol == kFloatProtocol) writes.push_back({port, *static_cast<const float*>(buffer)});
    else ADD_FAILURE() << "a write of " << size << " bytes in protocol " << protocol;
}

int askedWidth = 0, askedHeight = 0;
int recordResize(LV2UI_Feature_Handle, int width, int height) {
    askedWidth = width;
    askedHeight = height;
    return 0;
}

// The port value of parameter `id` at normalized value n: what the plug-in
// converts back to n (the plain view both sides share).
float plainOf(int id, float n) {
    Veldane::Parameters p;
    p.set(id, n);
    const zem::PlainRange r = zem::plainRangeOf(*p.at(id));
    return static_cast<float>(std::fmin(std::fmax(r.current, r.min), r.max));
}

// One UI instance as jalv or Ardour hosts it: ui:parent and ui:resize given,
// idle called from the host's loop.
struct HostedUi {
    const LV2UI_Descriptor* descriptor = lv2ui_descriptor(0);
    LV2UI_Handle handle = nullptr;
    LV2UI_Widget widget = nullptr;

    ~HostedUi() { close(); }

    LV2UI_Handle instantiate(Window parent, const char* pluginUri = Veldane::lv2::kPluginUri) {
        LV2UI_Resize resize{nullptr, &recordResize};
        const LV2_Feature parentFeature{LV2_UI__parent, asParent(parent)};
        const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
        const LV2_Feature* features[] = {&parentFeature, &resizeFeature, nullptr};
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

// What the panel shows, against the normalized values `shown`.
int controlsNotShowing(const Veldane::Parameters& shown) {
    LICE_MemBitmap window;
    if (!grab(editorWindow(), window)) return -1;
    return controlsNotShowingTheirValues(window, [&shown](int i) { return shown.get(i); });
}

class Lv2Ui : public ::testing::Test {
protected:
    void SetUp() override {
        writes.clear();
        ASSERT_NE(host, nullptr);
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

} // namespace
