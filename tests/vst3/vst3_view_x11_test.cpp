// The VST 3 bundle's editor view as a Linux host embeds it: attached to an
// X11 window of the host's, living on the host's run loop (a timer of our
// frame, which the test fires as a host's loop would), showing the values
// the host sets, reporting edits as gestures, and opened and closed a
// hundred times without leaving anything behind; at the host's content
// scale, the X server's or VELDANE_SCALE's, and at the zoom the user picks,
// which the frame is asked to make room for and the state keeps. On a
// virtual display (scripts/x11-run.sh).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/vst3/parameter_view.h"
#include "framework/vst3/view.h"
#include "ui/zoom_menu.h"
#include "synth/parameters.h"
#include "tests/editor/editor_checks.h"
#include "tests/vst3/bundle.h"
#include "tools/vst3host/host.h"

// Last: Xlib's macros (None, Bool, Status...) must not meet the headers above.
#include "tests/editor/x11_host.h"

namespace {

using namespace vst3host;
using namespace x11_host;

// The host's frame with its run loop: it keeps the one timer a view registers.
class RunLoopFrame final : public PlugFrame {
public:
    tresult ZEM_VST3_CALL queryInterface(const TUID iid, void** obj) override {
        if (obj != nullptr && sameUid(iid, IRunLoop::iid)) {
            loop.addRef();
            *obj = static_cast<IRunLoop*>(&loop);
            return kResultOk;
        }
        return PlugFrame::queryInterface(iid, obj);
    }

    struct Loop final : HostObject<IRunLoop> {
        tresult ZEM_VST3_CALL registerEventHandler(IEventHandler*, int) override { return kNotImplemented; }
        tresult ZEM_VST3_CALL unregisterEventHandler(IEventHandler*) override { return kNotImplemented; }
        tresult ZEM_VST3_CALL registerTimer(ITimerHandler* handler, uint64 ms) override {
            timer = handler;
            interval = ms;
            return kResultOk;
        }
        tresult ZEM_VST3_CALL unregisterTimer(ITimerHandler* handler) override {
            if (handler == timer) timer = nullptr;
            return kResultOk;
        }
        ITimerHandler* timer = nullptr;
        uint64 interval = 0;
    } loop;

    // What the host's loop does between its other work.
    void runLoopOnce() {
        XSync(host, False);
        if (loop.timer != nullptr) loop.timer->onTimer();
    }
};


class Vst3ViewX11 : public ::testing::Test {
protected:
    void TearDown() override {
        detach();
        setXftDpi(0);
        setScaleVariable(nullptr);
    }
    void SetUp() override {
        ASSERT_NE(bundleModule().factory, nullptr);
        std::string error;
        ASSERT_TRUE(instance.open(bundleModule().factory, error)) << error;
        instance.controller->setComponentHandler(&handler);
    }

    // Creates the view and attaches it to the frame window.
    bool attach() {
        view = instance.controller->createView(kEditorViewType);
        if (view == nullptr) return false;
        view->setFrame(&frame);
        return view->attached(asParent(x11_host::frame), kPlatformTypeX11EmbedWindowID) == kResultOk;
    }
    void detach() {
        if (view == nullptr) return;
        view->removed();
        view->release();
        view = nullptr;
    }

    // The view's content scale, as a host sets it.
    tresult setContentScale(float factor) {
        void* found = nullptr;
        if (view->queryInterface(IPlugViewContentScaleSupport::iid.bytes, &found) != kResultOk) return kNoInterface;
        auto* scaling = static_cast<IPlugViewContentScaleSupport*>(found);
        const tresult result = scaling->setContentScaleFactor(factor);
        scaling->release();
        return result;
    }
    ViewRect size() {
        ViewRect r{};
        view->getSize(&r);
        return r;
    }

    // The normalized value (as the panel reads it) of the host's value of `index`.
    float panelValue(int index) {
        Veldane::Parameters scratch;
        zem::vst3::setFromHostValue(*scratch.at(index), instance.controller->getParamNormalized(index));
        return scratch.at(index)->normalized();
    }

    // The host's objects outlive the instance, which lets go of them when it
    // is destroyed.
    ComponentHandler handler;
    RunLoopFrame frame;
    Instance instance;
    IPlugView* view = nullptr;
};

TEST_F(Vst3ViewX11, AttachesToTheHostsWindowAndShowsTheHostsValues) {
    IPlugView* v = instance.controller->createView("other");
    EXPECT_EQ(v, nullptr);
    ASSERT_TRUE(attach());
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right - size.left, Veldane::panelWidth);
    EXPECT_EQ(size.bottom - size.top, Veldane::panelHeight);
    EXPECT_EQ(view->canResize(), kResultFalse);
    EXPECT_EQ(view->attached(asParent(x11_host::frame), kPlatformTypeX11EmbedWindowID), kResultFalse)
        << "attached twice";
    ASSERT_NE(frame.loop.timer, nullptr) << "the view lives on the host's run loop";
    EXPECT_GT(frame.loop.interval, 0u);
    ASSERT_NE(editorWindow(), 0u);

    // The host moves parameters (its automation, a loaded state); the open
    // panel shows them after its next idle call.
    for (int id : {Veldane::kFilterCutoff, Veldane::kVoiceMode, Veldane::kOsc2Sync, Veldane::kAmpDecay})
        ASSERT_EQ(instance.controller->setParamNormalized(id, editor_checks::spreadValue(id)), kResultOk);
    for (int i = 0; i < 3; ++i) frame.runLoopOnce();
    LICE_MemBitmap window;
    ASSERT_TRUE(grab(editorWindow(), window));
    EXPECT_EQ(editor_checks::controlsNotShowingTheirValues(window, [&](int id) { return panelValue(id); }), 0);

    // The user's edit reaches the host as one gesture per step, in the
    // host's values: two wheel notches on Master Tune are two semitones.
    const Veldane::PanelEntry& tune = editor_checks::entryOf(Veldane::kMasterTune);
    Mouse mouse{[&] { frame.runLoopOnce(); }};
    mouse.wheel(tune.left + 18, tune.top + 18, 2);
    ASSERT_EQ(handler.edits.size(), 6u);
    EXPECT_EQ(handler.edits[3].kind, 'b');
    EXPECT_EQ(handler.edits[4].kind, 'p');
    EXPECT_EQ(handler.edits[4].id, static_cast<ParamID>(Veldane::kMasterTune));
    EXPECT_DOUBLE_EQ(handler.edits[4].value, 14.0 / 24.0);
    EXPECT_EQ(handler.edits[5].kind, 'e');
    EXPECT_DOUBLE_EQ(instance.controller->getParamNormalized(Veldane::kMasterTune), 14.0 / 24.0);

    detach();
    EXPECT_EQ(frame.loop.timer, nullptr) << "the timer ends with the view";
    EXPECT_EQ(editorWindow(), 0u);
    EXPECT_EQ(frame.extraReferences(), 0) << "the view gives the frame back";
}

// The host's content scale first, then VELDANE_SCALE, then Xft.dpi; a new
// scale while attached resizes the window and asks the frame for the room.
TEST_F(Vst3ViewX11, TakesTheHostsScaleOrTheScreensAndAsksTheFrameForRoom) {
    view = instance.controller->createView(kEditorViewType);
    ASSERT_NE(view, nullptr);
    setXftDpi(144);
    EXPECT_EQ(size().right, 1053);
    setScaleVariable("2");
    EXPECT_EQ(size().right, 1404);
    ASSERT_EQ(setContentScale(1.0f), kResultTrue);
    EXPECT_EQ(size().right, Veldane::panelWidth);
    EXPECT_EQ(setContentScale(-1.0f), kResultFalse);
    setXftDpi(0);
    setScaleVariable(nullptr);

    ASSERT_EQ(setContentScale(2.0f), kResultTrue);
    view->setFrame(&frame);
    ASSERT_EQ(view->attached(asParent(x11_host::frame), kPlatformTypeX11EmbedWindowID), kResultOk);
    frame.runLoopOnce();
    int width = 0, height = 0;
    ASSERT_TRUE(sizeOf(editorWindow(), width, height));
    EXPECT_EQ(width, 1404);
    EXPECT_EQ(height, 732);
    EXPECT_TRUE(frame.resized.empty());

    ASSERT_EQ(setContentScale(1.5f), kResultTrue);
    frame.runLoopOnce();
    ASSERT_EQ(frame.resized.size(), 1u);
    EXPECT_EQ(frame.resized[0].right, 1053);
    EXPECT_EQ(frame.resized[0].bottom, 549);
    ASSERT_TRUE(sizeOf(editorWindow(), width, height));
    EXPECT_EQ(width, 1053);
    LICE_MemBitmap window;
    ASSERT_TRUE(grab(editorWindow(), window, zem::Scale::ofPercent(150)));
    EXPECT_EQ(editor_checks::controlsNotShowingTheirValues(window, [&](int id) { return panelValue(id); },
                                                           zem::Scale::ofPercent(150)),
              0);
    ViewRect other{0, 0, 702, 366};
    EXPECT_EQ(view->onSize(&other), kResultFalse) << "no other size than the panel's";
    EXPECT_EQ(view->checkSizeConstraint(&other), kResultTrue);
    EXPECT_EQ(other.right, 1053);
}

TEST_F(Vst3ViewX11, TheZoomMenuAsksTheFrameForRoomAndTheStateKeepsTheZoom) {
    ASSERT_TRUE(attach());
    frame.runLoopOnce();
    const std::vector<std::uint8_t> before = instance.saveState();
    Mouse mouse{[&] { frame.runLoopOnce(); }};
    const zem::Scale base;
    mouse.rightClick(5, 5);
    mouse.click(5 + 40, 5 + zoomMenuBorder + zem::Scale::ofPercent(150).index() * zoomMenuRowHeight + 9);
    ASSERT_EQ(frame.resized.size(), 1u);
    EXPECT_EQ(frame.resized[0].right, 1053);
    EXPECT_EQ(size().bottom, 549);
    EXPECT_TRUE(handler.edits.empty()) << "a zoom is no parameter";
    const std::vector<std::uint8_t> saved = instance.saveState();
    EXPECT_EQ(saved.size(), before.size() + 8) << "the zoom, one more entry";
    detach();

    // A new instance of the saved project opens at the kept zoom; one whose
    // state has none opens as before.
    Instance reopened;
    std::string error;
    ASSERT_TRUE(reopened.open(bundleModule().factory, error)) << error;
    ASSERT_TRUE(reopened.loadState(saved));
    IPlugView* other = reopened.controller->createView(kEditorViewType);
    ASSERT_NE(other, nullptr);
    ViewRect r{};
    other->getSize(&r);
    EXPECT_EQ(r.right, 1053);
    other->release();
    Instance older;
    ASSERT_TRUE(older.open(bundleModule().factory, error)) << error;
    ASSERT_TRUE(older.loadState(before));
    other = older.controller->createView(kEditorViewType);
    other->getSize(&r);
    EXPECT_EQ(r.right, Veldane::panelWidth);
    other->release();
}

// At each scale the host may give it.
TEST_F(Vst3ViewX11, HundredOpenCloseCyclesLeakNothing) {
    for (float factor : {1.0f, 1.5f, 2.0f}) {
        const long heapGrowth = expectOpenCloseCyclesLeakNothing(
            [&] {
                view = instance.controller->createView(kEditorViewType);
                if (view == nullptr || setContentScale(factor) != kResultTrue) return false;
                view->setFrame(&frame);
                const bool opened =
                    view->attached(asParent(x11_host::frame), kPlatformTypeX11EmbedWindowID) == kResultOk;
                frame.runLoopOnce();
                return opened;
            },
            [&] { detach(); });
        RecordProperty("heap_growth_bytes_at_" + std::to_string(static_cast<int>(factor * 100)), std::to_string(heapGrowth));
    }
}

} // namespace
