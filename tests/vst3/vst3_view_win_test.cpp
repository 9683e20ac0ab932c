// The Windows VST 3 bundle's editor view as a Windows host embeds it: the
// module loaded by our VST 3 host, its view attached to a window of ours
// (HWND), painted, and opened and closed a hundred times without leaving
// windows, GDI or USER objects or memory behind. Runs under wine64 with a
// virtual X display (scripts/wine-window-run.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/vst3/view.h"
#include "tests/vst3/bundle.h"
#include "tests/win_process.h"
#include "tools/testhost/window_capture.h"
#include "ui/panel.h"

namespace {

using namespace vst3host;
using win_process::committedBytes;
using win_process::gdiObjects;
using win_process::windowCount;

HWND frame = nullptr; // our stand-in for the host's window around the editor

class Vst3ViewWin : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(bundleModule().factory, nullptr);
        std::string error;
        ASSERT_TRUE(instance.open(bundleModule().factory, error)) << error;
    }
    void TearDown() override { detach(); }

    bool attach() {
        view = instance.controller->createView(kEditorViewType);
        return view != nullptr && view->attached(frame, kPlatformTypeHWND) == kResultOk;
    }
    void detach() {
        if (view == nullptr) return;
        view->removed();
        view->release();
        view = nullptr;
        window_capture::pump();
    }

    Instance instance;
    IPlugView* view = nullptr;
};

TEST_F(Vst3ViewWin, AttachesToTheHostsWindowAndPaints) {
    const int windows = windowCount();
    ASSERT_TRUE(attach());
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(view->attached(frame, kPlatformTypeHWND), kResultFalse) << "attached twice";
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right - size.left, Veldane::panelWidth);
    EXPECT_EQ(size.bottom - size.top, Veldane::panelHeight);
    ASSERT_EQ(windowCount(), windows + 1);
    HWND editor = GetWindow(frame, GW_CHILD);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(window_capture::paintPending(editor));
    LICE_SysBitmap picture;
    ASSERT_TRUE(window_capture::grab(editor, picture));
    EXPECT_EQ(picture.width(), Veldane::panelWidth);
    detach();
    EXPECT_EQ(windowCount(), windows);
}

TEST_F(Vst3ViewWin, HundredOpenCloseCyclesLeakNothing) {
    // One cycle first: the system's and libpng's one-time allocations.
    ASSERT_TRUE(attach());
    detach();
    const int windows = windowCount();
    const DWORD gdiBefore = gdiObjects();
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    const size_t memoryBefore = committedBytes();
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_TRUE(attach()) << cycle;
        HWND editor = GetWindow(frame, GW_CHILD);
        InvalidateRect(editor, nullptr, FALSE);
        UpdateWindow(editor);
        detach();
        ASSERT_EQ(windowCount(), windows) << cycle;
    }
    EXPECT_LE(gdiObjects(), gdiBefore);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);
    // An editor holds about 2.5 MB of images and back buffer: a leak of any of
    // them over 100 cycles would be far above this margin.
    EXPECT_LT(committedBytes(), memoryBefore + 4u * 1024 * 1024);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    frame = window_capture::createFrame("Veldane VST 3 view test", Veldane::panelWidth, Veldane::panelHeight);
    if (frame == nullptr) return 2;
    return RUN_ALL_TESTS();
}
