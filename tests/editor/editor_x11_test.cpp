// The editor on X11 as a host sees it: opened in a window of ours on a
// connection of ours, driven with real pointer input (XTest), its pixels
// read back from the screen (XGetImage). Runs on a virtual display
// (scripts/x11-run.sh starts one).

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "framework/double_click.h"
#include "framework/vst2.h"
#include "gfx/library_images.h"
#include "tests/editor/editor_checks.h"
#include "ui/editor.h"
#include "wrappers/vst2/entry.h"

// Last: Xlib's macros (None, Bool, Status...) must not meet the headers above.
#include "tests/editor/x11_host.h"

namespace {

using namespace editor_checks;
using namespace x11_host;

// --- The host side ------------------------------------------------------------

struct Automation {
    int index;
    float value;
};
// Filled on the UI thread only: automation comes from editor edits.
std::vector<Automation> automation;

VstIntPtr ZEM_VSTCALL hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    if (opcode == audioMasterAutomate) automation.push_back({index, opt});
    return 0;
}


struct Plugin {
    AEffect* effect = VSTPluginMain(&hostCallback);
    ~Plugin() {
        if (effect) {
            dispatch(effEditClose);
            dispatch(effClose);
        }
    }
    VstIntPtr dispatch(VstInt32 opcode, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
    }
    void set(int index, float value) { effect->setParameter(effect, index, value); }
    float get(int index) { return effect->getParameter(effect, index); }
    bool open(Window parent = frame) { return dispatch(effEditOpen, asParent(parent)) == 1; }
    // Opened and painted, as a host's first idle call after opening paints it.
    bool openPainted(Window parent = frame) {
        if (!open(parent)) return false;
        idle();
        return true;
    }
    void close() { dispatch(effEditClose); }
    // What the server sent us has reached the plug-in's connection; its
    // idle call handles it and repaints.
    void idle() {
        XSync(host, False);
        dispatch(effEditIdle);
    }
    Mouse mouse() {
        return Mouse{[this] { dispatch(effEditIdle); }};
    }
};

int controlsNotShowingTheirValues(Plugin& plugin, LICE_IBitmap& window) {
    return editor_checks::controlsNotShowingTheirValues(window, [&plugin](int i) { return plugin.get(i); });
}

// The same, read from the open editor's window; -1 when it cannot be read.
int controlsNotShowingTheirValues(Plugin& plugin) {
    LICE_MemBitmap window;
    return grab(editorWindow(), window) ? controlsNotShowingTheirValues(plugin, window) : -1;
}

class EditorX11 : public ::testing::Test {
protected:
    void SetUp() override {
        automation.clear();
        ASSERT_NE(host, nullptr);
    }
};

// --- Tests --------------------------------------------------------------------

TEST_F(EditorX11, OpensAsAChildOfTheHostsWindowAndClosesCleanly) {
    Plugin plugin;
    EXPECT_NE(plugin.effect->flags & effFlagsHasEditor, 0);
    EXPECT_FALSE(plugin.open(0x7FFFFFFF)) << "a window id the server does not know";
    EXPECT_EQ(plugin.dispatch(effEditIdle), 0) << "no editor is open";
    ASSERT_TRUE(plugin.open());
    EXPECT_FALSE(plugin.open()) << "a second open leaves the first window";
    ASSERT_EQ(x11_capture::childCount(host, frame), 1);
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(host, editorWindow(), &a));
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 0);
    EXPECT_EQ(a.width, kWidth);
    EXPECT_EQ(a.height, kHeight);
    EXPECT_EQ(a.map_state, IsViewable);
    EXPECT_EQ(plugin.dispatch(effEditIdle), 1);
    plugin.close();
    EXPECT_EQ(x11_capture::childCount(host, frame), 0);
    EXPECT_EQ(plugin.dispatch(effEditClose), 1);
}

// VST 2.4 gives a plug-in no agreed way to ask for another size: what the
// X server or VELDANE_SCALE say of the screen changes nothing, and a right
// press on the background opens no zoom menu.
TEST_F(EditorX11, KeepsItsOneSizeWhateverTheScreenSays) {
    setXftDpi(192);
    setScaleVariable("2");
    Plugin plugin;
    ERect* rect = nullptr;
    ASSERT_EQ(plugin.dispatch(effEditGetRect, &rect), 1);
    EXPECT_EQ(rect->right, kWidth);
    ASSERT_TRUE(plugin.openPainted());
    plugin.mouse().rightClick(5, 5);
    LICE_MemBitmap window;
    EXPECT_TRUE(grab(editorWindow(), window)) << "702 x 366";
    EXPECT_TRUE(showsComposite(window, 0, 0, 24, 45, nullptr, nullptr, 0, 0, BlitMode::copy)) << "no menu";
    setXftDpi(0);
    setScaleVariable(nullptr);
}

TEST_F(EditorX11, EveryControlShowsItsParameterFromTheStartAndAfterHostChanges) {
    ASSERT_TRUE(images().complete());
    Plugin plugin;
    for (int i = 0; i < kParameters; ++i)
        plugin.set(i, spreadValue(i));
    ASSERT_TRUE(plugin.openPainted());
    LICE_MemBitmap window;
    ASSERT_TRUE(grab(editorWindow(), window));
    EXPECT_EQ(controlsNotShowingTheirValues(plugin, window), 0) << "right after opening";
    // The label drawn at build time, standing on the bottom of its box.
    std::unique_ptr<LICE_IBitmap> label(loadLibraryImage(&Veldane::libraryImages, Veldane::versionLabelImageId));
    ASSERT_NE(label, nullptr);
    const PixelRect box = Veldane::versionLabelBox;
    EXPECT_TRUE(showsComposite(window, box.left, box.bottom - label->height(), label->width(), label->height(),
                               label.get(), nullptr, 0, 0, BlitMode::sourceAlpha));

    // Host changes from another thread reach the panel at the next idle call.
    std::thread automationThread([&plugin] {
        for (int i = 0; i < kParameters; ++i)
            plugin.set(i, plugin.get(i) > 0.5f ? 0.0f : 1.0f);
    });
    automationThread.join();
    plugin.idle();
    EXPECT_EQ(controlsNotShowingTheirValues(plugin), 0) << "after host changes";
    EXPECT_TRUE(automation.empty()) << "host changes are not echoed to the host";
}

TEST_F(EditorX11, PointerInputChangesParametersAndTellsTheHost) {
    Plugin plugin;
    ASSERT_TRUE(plugin.openPainted());
    Mouse mouse = plugin.mouse();

    // Filter Cutoff starts at 1.0: 64 pixels down is a quarter of the range,
    // and the drag goes on outside the window, held at the top.
    const Veldane::PanelEntry& cutoff = entryOf(Veldane::kFilterCutoff);
    const int cx = cutoff.left + 18, cy = cutoff.top + 18;
    mouse.pressAndDrag(cx, cy, 64);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kFilterCutoff), 0.75f);
    EXPECT_EQ(automation.size(), 64u) << "one report per changing step";
    EXPECT_EQ(automation.back().value, plugin.get(Veldane::kFilterCutoff));
    mouse.to(cx + 800, 0);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kFilterCutoff), 1.0f);
    mouse.up(cx + 800, 0);
    // With Shift a drag moves a quarter as far. (Pressed a little aside:
    // the same spot within half a second would make a double-click.)
    mouse.shift(true);
    mouse.pressAndDrag(cx + 6, cy, 64);
    mouse.up(cx + 6, cy + 64);
    mouse.shift(false);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kFilterCutoff), 1.0f - 0.0625f);

    // Master Tune: one notch is one semitone; a double-click its middle; two
    // clicks further apart than a double-click's time are two clicks.
    const Veldane::PanelEntry& tune = entryOf(Veldane::kMasterTune);
    const int tx = tune.left + 18, ty = tune.top + 18;
    automation.clear();
    mouse.wheel(tx, ty, 2);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kMasterTune), 14.0f / 24.0f);
    EXPECT_EQ(automation.size(), 2u);
    mouse.wheel(tx, ty, -1);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kMasterTune), 13.0f / 24.0f);
    mouse.click(tx, ty);
    mouse.click(tx, ty, zem::doubleClickMs + 100);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kMasterTune), 13.0f / 24.0f) << "not a double-click";
    mouse.click(tx, ty);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kMasterTune), 0.5f) << "the double-click's default";

    // A switch toggles on the press and again on the double-click's second press.
    const Veldane::PanelEntry& sync = entryOf(Veldane::kOsc2Sync);
    automation.clear();
    mouse.click(sync.left + 5, sync.top + 5);
    mouse.click(sync.left + 5, sync.top + 5);
    EXPECT_EQ(plugin.get(Veldane::kOsc2Sync), 0.0f);
    ASSERT_EQ(automation.size(), 2u);
    EXPECT_EQ(automation[0].value, 1.0f);

    // A slider pressed above its handle jumps to the top and drags on from there.
    const Veldane::PanelEntry& decay = entryOf(Veldane::kAmpDecay);
    mouse.down(decay.left + 7, decay.top + 10);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kAmpDecay), 1.0f);
    mouse.to(decay.left + 7, decay.top + 10 + kSliderTravel);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kAmpDecay), 0.0f);
    mouse.up(decay.left + 7, decay.top + 10 + kSliderTravel);

    // What the panel shows is what the host reads.
    EXPECT_EQ(controlsNotShowingTheirValues(plugin), 0);
}

TEST_F(EditorX11, ClosingWhileADragHoldsThePointerIsSafe) {
    Plugin plugin;
    ASSERT_TRUE(plugin.openPainted());
    Mouse mouse = plugin.mouse();
    const Veldane::PanelEntry& q = entryOf(Veldane::kFilterQ);
    mouse.pressAndDrag(q.left + 18, q.top + 18, 8);
    plugin.close();
    // The rest of the gesture reaches no editor, and nothing holds the pointer.
    mouse.to(q.left + 18, q.top - 20);
    mouse.button(Button1, false);
    ASSERT_EQ(XGrabPointer(host, frame, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None, CurrentTime),
              GrabSuccess);
    XUngrabPointer(host, CurrentTime);
    // A new editor works normally.
    ASSERT_TRUE(plugin.openPainted());
    automation.clear();
    mouse.click(30, 80);
    EXPECT_EQ(automation.size(), 1u);
}

TEST_F(EditorX11, AHostMayDestroyItsWindowBeforeClosingTheEditor) {
    const Window ownFrame = x11_capture::createFrame(host, "frame", kWidth, kHeight);
    ASSERT_NE(ownFrame, 0u);
    Plugin plugin;
    ASSERT_TRUE(plugin.openPainted(ownFrame));
    XDestroyWindow(host, ownFrame); // takes the editor's window with it
    for (int i = 0; i < kParameters; ++i)
        plugin.set(i, 1.0f - plugin.get(i));
    plugin.idle();
    plugin.close();
    ASSERT_TRUE(plugin.openPainted());
    EXPECT_EQ(controlsNotShowingTheirValues(plugin), 0);
}

TEST_F(EditorX11, HundredOpenCloseCyclesLeakNothing) {
#ifdef __SANITIZE_THREAD__
    // ThreadSanitizer's allocator keeps malloc's statistics empty, and its
    // instrumentation makes the cycles take fifty times as long.
    GTEST_SKIP() << "not counted under ThreadSanitizer";
#endif
    Plugin plugin;
    const long heapGrowth =
        expectOpenCloseCyclesLeakNothing([&plugin] { return plugin.openPainted(); }, [&plugin] { plugin.close(); });
    RecordProperty("heap_growth_bytes", std::to_string(heapGrowth));
}

TEST_F(EditorX11, AutomationFromAnotherThreadWhilePaintingAndClosing) {
    Plugin plugin;
    ASSERT_TRUE(plugin.open());
    std::atomic<bool> done{false};
    std::thread automationThread = automationStorm([&plugin](int i, float v) { plugin.set(i, v); }, done);
    int cycles = 0;
    while (!done) {
        plugin.idle();
        if (++cycles % 5 == 0) {
            plugin.close();
            plugin.open();
        }
    }
    automationThread.join();
    plugin.idle();
    EXPECT_EQ(controlsNotShowingTheirValues(plugin), 0) << "changes from the other thread all arrived";
    EXPECT_TRUE(automation.empty()) << "host changes are not echoed to the host";
}

} // namespace
