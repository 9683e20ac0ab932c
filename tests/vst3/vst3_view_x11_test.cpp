// The VST 3 bundle's editor view as a Linux host embeds it: attached to an
// X11 window of the host's, living on the host's run loop (a timer of our
// frame, which the test fires as a host's loop would), showing the values
// the host sets, reporting edits as gestures, and opened and closed a
// hundred times without leaving anything behind. On a virtual display
// (scripts/x11-run.sh).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/vst3/parameter_view.h"
#include "framework/vst3/view.h"
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
class RunLoopFrame final : public HostObject<IPlugFrame> {
public:
    tresult ZEM_VST3_CALL queryInterface(const TUID iid, void** obj) override {
        if (obj != nullptr && sameUid(iid, IRunLoop::iid)) {
            loop.addRef();
            *obj = static_cast<IRunLoop*>(&loop);
            return kResultOk;
        }
        return HostObject<IPlugFrame>::queryInterface(iid, obj);
    }
    tresult ZEM_VST3_CALL resizeView(IPlugView*, ViewRect*) override { return kResultFalse; }

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
    void TearDown() override { detach(); }

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

TEST_F(Vst3ViewX11, HundredOpenCloseCyclesLeakNothing) {
    expectOpenCloseCyclesLeakNothing(
        [&] {
            const bool opened = attach();
            frame.runLoopOnce();
            return opened;
        },
        [&] { detach(); });
}

} // namespace
