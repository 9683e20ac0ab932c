// The Windows VST 3 bundle's editor view as a Windows host embeds it: the
// module loaded by our VST 3 host, its view attached to a window of ours
// (HWND), painted at the scale of the window's DPI, following a change of
// DPI (a move to another monitor) by asking the frame for the new size, and
// opened and closed a hundred times without leaving windows, GDI or USER
// objects or memory behind. Runs under wine64 with a virtual X display
// (scripts/wine-window-run.sh); the host is per-monitor DPI aware, as hosts
// of today are. `--dpi N` says the DPI the wine prefix was given (96 unless
// told), which the test checks the system reports before it expects the
// panel at that DPI's scale.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/vst3/parameter_view.h"
#include "framework/vst3/view.h"
#include "gfx/png_resource.h"
#include "synth/parameters.h"
#include "tests/editor/editor_checks.h"
#include "tests/vst3/bundle.h"
#include "tests/win_process.h"
#include "tools/testhost/window_capture.h"
#include "ui/editor.h"

namespace {

using namespace vst3host;
using win_process::committedBytes;
using win_process::gdiObjects;
using win_process::windowCount;

HWND frame = nullptr; // our stand-in for the host's window around the editor
int expectedDpi = 96; // what the prefix was set to (--dpi)
// Messages of Windows 8.1 and later that older headers lack.
constexpr UINT kDpiChanged = 0x02E0;

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
        if (view == nullptr) return false;
        view->setFrame(&plugFrame);
        return view->attached(frame, kPlatformTypeHWND) == kResultOk;
    }
    void detach() {
        if (view == nullptr) return;
        view->removed();
        view->release();
        view = nullptr;
        window_capture::pump();
    }
    // The normalized value (as the panel reads it) of the host's value of `index`.
    float panelValue(int index) {
        Veldane::Parameters scratch;
        zem::vst3::setFromHostValue(*scratch.at(index), instance.controller->getParamNormalized(index));
        return scratch.at(index)->normalized();
    }
    // The editor window's picture shows every parameter's value at `scale`.
    void expectPanelAt(zem::Scale scale) {
        HWND editor = GetWindow(frame, GW_CHILD);
        ASSERT_NE(editor, nullptr);
        LICE_SysBitmap picture;
        ASSERT_TRUE(window_capture::grab(editor, picture));
        ASSERT_EQ(picture.width(), scale.pixels(Veldane::panelWidth));
        ASSERT_EQ(picture.height(), scale.pixels(Veldane::panelHeight));
        EXPECT_EQ(editor_checks::controlsNotShowingTheirValues(picture, [this](int id) { return panelValue(id); }, scale),
                  0);
    }

    Instance instance;
    PlugFrame plugFrame;
    IPlugView* view = nullptr;
};

TEST_F(Vst3ViewWin, AttachesToTheHostsWindowAndPaintsAtItsDpi) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    ASSERT_NE(dpiForWindow, nullptr);
    ASSERT_EQ(static_cast<int>(dpiForWindow(frame)), expectedDpi) << "the prefix's DPI";
    const zem::Scale scale = zem::Scale::forFactor(expectedDpi / 96.0);
    for (int id : {Veldane::kFilterCutoff, Veldane::kVoiceMode, Veldane::kOsc2Sync, Veldane::kAmpDecay})
        ASSERT_EQ(instance.controller->setParamNormalized(id, editor_checks::spreadValue(id)), kResultOk);

    const int windows = windowCount();
    ASSERT_TRUE(attach());
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(view->attached(frame, kPlatformTypeHWND), kResultFalse) << "attached twice";
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right - size.left, scale.pixels(Veldane::panelWidth));
    EXPECT_EQ(size.bottom - size.top, scale.pixels(Veldane::panelHeight));
    EXPECT_TRUE(plugFrame.resized.empty()) << "the size getSize told";
    ASSERT_EQ(windowCount(), windows + 1);
    expectPanelAt(scale);
    detach();
    EXPECT_EQ(windowCount(), windows);
}

// The window's DPI changes (Windows tells a per-monitor aware window when it
// moves to a monitor of another DPI): the panel takes that DPI's scale and
// the frame is asked for the room.
TEST_F(Vst3ViewWin, FollowsAChangeOfTheWindowsDpi) {
    ASSERT_TRUE(attach());
    HWND editor = GetWindow(frame, GW_CHILD);
    ASSERT_NE(editor, nullptr);
    RECT suggested{0, 0, 0, 0};
    SendMessageA(editor, kDpiChanged, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_FALSE(plugFrame.resized.empty());
    EXPECT_EQ(plugFrame.resized.back().right, 1053);
    EXPECT_EQ(plugFrame.resized.back().bottom, 549);
    expectPanelAt(zem::Scale::ofPercent(150));
    SendMessageA(editor, kDpiChanged, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(plugFrame.resized.back().right, Veldane::panelWidth);
    expectPanelAt(zem::Scale());
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
    // An editor holds about 2.5 MB of images and back buffer at 100 %, four
    // times that at 200 %: a leak of any of them over 100 cycles would be far
    // above this margin.
    EXPECT_LT(committedBytes(), memoryBefore + 4u * 1024 * 1024);
}

} // namespace

// The images of `scale` from the bundle's module, as the editor loads them.
editor_checks::Images& editor_checks::images(zem::Scale scale) {
    static Images loaded[zem::Scale::kCount];
    Images& images = loaded[scale.index()];
    if (!images.complete()) {
        HMODULE module = GetModuleHandleA("Veldane.vst3");
        images = imagesOf(scale, [module](int id) {
            return loadPngResource(module, FindResourceA(module, MAKEINTRESOURCEA(id), "PNG"));
        });
    }
    return images;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--dpi") == 0) expectedDpi = std::atoi(argv[i + 1]);
    window_capture::becomeDpiAware();
    // Room for the panel at every scale.
    frame = window_capture::createFrame("Veldane VST 3 view test", 2 * Veldane::panelWidth, 2 * Veldane::panelHeight);
    if (frame == nullptr) return 2;
    return RUN_ALL_TESTS();
}
