// The editor as a host sees it: the real Veldane.dll loaded into this
// program, its editor opened in a window of ours, driven with real window
// messages, its pixels read back from the window. Runs under wine with a
// virtual X display (scripts/wine-window-run.sh).

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "framework/vst2.h"
#include "gfx/bitmap.h"
#include "gfx/png_resource.h"
#include "gfx/sys_bitmap.h"
#include "ui/panel.h"
#include "tests/editor/editor_checks.h"
#include "tests/veldane_dll.h"
#include "tests/win_process.h"
#include "tools/testhost/window_capture.h"

namespace {

using namespace editor_checks;
constexpr int kReserved = 25;

// --- The host side ----------------------------------------------------------

struct Automation {
    int index;
    float value;
};
// Filled on the UI thread only: automation comes from editor edits.
std::vector<Automation> automation;
std::atomic<int> otherHostCalls{0};

VstIntPtr ZEM_VSTCALL hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    if (opcode == audioMasterAutomate)
        automation.push_back({index, opt});
    else
        ++otherHostCalls;
    return 0;
}

HMODULE dll = nullptr;
veldane_dll::PluginMain pluginMain = nullptr;
HWND frame = nullptr; // our stand-in for the host's window around the editor

struct Plugin {
    AEffect* effect = nullptr;
    Plugin() { effect = pluginMain(&hostCallback); }
    ~Plugin() {
        if (effect) {
            dispatch(effEditClose);
            dispatch(effClose);
        }
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, index, 0, ptr, 0.0f);
    }
    void set(int index, float value) { effect->setParameter(effect, index, value); }
    float get(int index) { return effect->getParameter(effect, index); }
    bool open(HWND parent = frame) { return dispatch(effEditOpen, 0, parent) == 1; }
    void close() { dispatch(effEditClose); }
};

using window_capture::pump;

HWND editorWindow(HWND parent = frame) {
    return FindWindowExA(parent, nullptr, "ZemPluginWndClass", nullptr);
}

BOOL CALLBACK countWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int childWindowCount(HWND parent) {
    int count = 0;
    EnumChildWindows(parent, &countWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

LPARAM position(int x, int y) {
    return static_cast<LPARAM>(static_cast<WORD>(static_cast<short>(x)) |
                               (static_cast<DWORD>(static_cast<WORD>(static_cast<short>(y))) << 16));
}

// Real window messages, as the system sends them while the user works the mouse.
struct Mouse {
    HWND w;
    WPARAM keys = 0; // MK_SHIFT etc. held besides the button
    void down(int x, int y) { SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON | keys, position(x, y)); }
    void move(int x, int y, bool button = true) {
        SendMessageA(w, WM_MOUSEMOVE, (button ? MK_LBUTTON : 0) | keys, position(x, y));
    }
    void up(int x, int y) { SendMessageA(w, WM_LBUTTONUP, keys, position(x, y)); }
    void doubleClick(int x, int y) {
        down(x, y);
        up(x, y);
        SendMessageA(w, WM_LBUTTONDBLCLK, MK_LBUTTON | keys, position(x, y));
        up(x, y);
    }
    void click(int x, int y) {
        down(x, y);
        up(x, y);
    }
    // The wheel's position arrives in screen coordinates.
    void wheel(int x, int y, int delta) {
        POINT p{x, y};
        ClientToScreen(w, &p);
        const WPARAM wp = (static_cast<WPARAM>(static_cast<WORD>(static_cast<short>(delta))) << 16) | keys;
        SendMessageA(w, WM_MOUSEWHEEL, wp, position(p.x, p.y));
    }
};

// --- Reading the window back --------------------------------------------------

LICE_IBitmap* loadImage(int id) {
    HRSRC resource = FindResourceA(dll, MAKEINTRESOURCEA(id), "PNG");
    return resource ? loadPngResource(dll, resource) : nullptr;
}

// The window's pixels as the screen shows them, after every pending repaint.
// False unless the whole editor was read, so the checks that follow never
// look outside the picture.
bool grab(HWND w, LICE_SysBitmap& into) {
    return window_capture::grab(w, into) && into.width() == kWidth && into.height() == kHeight;
}

int controlsNotShowingTheirValues(Plugin& plugin, LICE_IBitmap& window) {
    return editor_checks::controlsNotShowingTheirValues(window, [&plugin](int i) { return plugin.get(i); });
}

using win_process::committedBytes;
using win_process::gdiObjects;

class EditorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        automation.clear();
        ASSERT_NE(pluginMain, nullptr);
    }
};

// --- Tests --------------------------------------------------------------------

TEST_F(EditorWindow, OpensAsA702By366ChildAndClosesCleanly) {
    Plugin plugin;
    ASSERT_TRUE(plugin.open());
    EXPECT_FALSE(plugin.open()) << "a second open leaves the first window";
    HWND w = editorWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(childWindowCount(frame), 1);
    char text[64] = {};
    GetWindowTextA(w, text, sizeof(text));
    EXPECT_STREQ(text, "ZemPluginEditorWindow");
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, kWidth);
    EXPECT_EQ(client.bottom, kHeight);
    EXPECT_TRUE(GetWindowLongA(w, GWL_STYLE) & WS_CHILD);
    WNDCLASSA windowClass{};
    ASSERT_TRUE(GetClassInfoA(dll, "ZemPluginWndClass", &windowClass));
    EXPECT_TRUE(windowClass.style & CS_DBLCLKS);

    plugin.close();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(childWindowCount(frame), 0);
    EXPECT_FALSE(GetClassInfoA(dll, "ZemPluginWndClass", &windowClass)) << "the last editor unregisters the class";
    EXPECT_EQ(plugin.dispatch(effEditClose), 1);
}

TEST_F(EditorWindow, TwoInstancesShareTheWindowClass) {
    Plugin first, second;
    ASSERT_TRUE(first.open());
    ASSERT_TRUE(second.open());
    EXPECT_EQ(childWindowCount(frame), 2);
    WNDCLASSA windowClass{};
    first.close();
    EXPECT_TRUE(GetClassInfoA(dll, "ZemPluginWndClass", &windowClass));
    second.close();
    EXPECT_FALSE(GetClassInfoA(dll, "ZemPluginWndClass", &windowClass));
}

TEST_F(EditorWindow, PressesReachExactlyTheControlUnderThem) {
    Plugin plugin;
    ASSERT_TRUE(plugin.open());
    Mouse mouse{editorWindow()};
    const struct {
        int x, y;
        int index; // -1: nothing may change
        float value;
    } presses[] = {
        {30, 80, 0, 1.0f},    // Osc1 Waveform's third item (relative y 33)
        {30, 90, -1, 0.0f},   // below the group: no control
        {589, 100, 27, -1.0f}, // Amp Attack's right edge still counts
        {590, 100, -1, 0.0f}, // one pixel further: nothing
        {418, 250, 35, 1.0f}, // Voice Mode's third lamp stores value 3
    };
    for (const auto& p : presses) {
        automation.clear();
        std::vector<float> before(kParameters);
        for (int i = 0; i < kParameters; ++i)
            before[i] = plugin.get(i);
        mouse.click(p.x, p.y);
        for (int i = 0; i < kParameters; ++i) {
            if (i != p.index) {
                EXPECT_EQ(plugin.get(i), before[i]) << "press at " << p.x << "," << p.y << " changed " << i;
            }
        }
        if (p.index < 0) {
            EXPECT_TRUE(automation.empty()) << p.x << "," << p.y;
            continue;
        }
        ASSERT_FALSE(automation.empty()) << p.x << "," << p.y;
        for (const Automation& a : automation)
            EXPECT_EQ(a.index, p.index);
        EXPECT_EQ(automation.back().value, plugin.get(p.index));
        if (p.value >= 0) {
            EXPECT_EQ(plugin.get(p.index), p.value);
        }
    }
    EXPECT_EQ(otherHostCalls.load(), 0) << "the editor sends the host nothing but automation";
}

TEST_F(EditorWindow, DragsWheelAndDoubleClickChangeParametersAndTellTheHost) {
    Plugin plugin;
    ASSERT_TRUE(plugin.open());
    HWND w = editorWindow();
    Mouse mouse{w};

    // Filter Cutoff starts at 1.0: 64 pixels down is a quarter of the range.
    const Veldane::PanelEntry& cutoff = entryOf(Veldane::kFilterCutoff);
    const int cx = cutoff.left + 18, cy = cutoff.top + 18;
    mouse.down(cx, cy);
    EXPECT_EQ(GetCapture(), w) << "a knob drag holds the capture";
    for (int y = cy + 1; y <= cy + 64; ++y)
        mouse.move(cx, y);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kFilterCutoff), 0.75f);
    EXPECT_EQ(automation.size(), 64u) << "one report per changing step";
    EXPECT_EQ(automation.back().value, plugin.get(Veldane::kFilterCutoff));
    // Far outside the window, left and above: still the knob's (negative
    // coordinates), held at the top.
    mouse.move(-40, -300);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kFilterCutoff), 1.0f);
    mouse.up(-40, -300);
    EXPECT_EQ(GetCapture(), nullptr);

    // With Shift a drag moves a quarter as far.
    mouse.keys = MK_SHIFT;
    mouse.down(cx, cy);
    for (int y = cy + 1; y <= cy + 64; ++y)
        mouse.move(cx, y);
    mouse.up(cx, cy + 64);
    mouse.keys = 0;
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kFilterCutoff), 1.0f - 0.0625f);

    // Master Tune: one notch is one semitone; less than a notch is nothing.
    const Veldane::PanelEntry& tune = entryOf(Veldane::kMasterTune);
    automation.clear();
    mouse.wheel(tune.left + 18, tune.top + 18, 60);
    EXPECT_TRUE(automation.empty());
    mouse.wheel(tune.left + 18, tune.top + 18, 240);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kMasterTune), 14.0f / 24.0f);
    ASSERT_EQ(automation.size(), 1u);
    mouse.wheel(tune.left + 18, tune.top + 18, -120);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kMasterTune), 13.0f / 24.0f);
    mouse.doubleClick(tune.left + 18, tune.top + 18);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kMasterTune), 0.5f) << "the middle position";

    // Bend Range: 13 positions bound to the integer 0..12.
    const Veldane::PanelEntry& bend = entryOf(Veldane::kBendRange);
    mouse.wheel(bend.left + 18, bend.top + 18, -3 * 120);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kBendRange), 9.0f / 12.0f);
    char display[16] = {};
    plugin.dispatch(effGetParamDisplay, Veldane::kBendRange, display);
    EXPECT_STREQ(display, "9");

    // A switch toggles on the press and again on the double-click's second press.
    const Veldane::PanelEntry& sync = entryOf(Veldane::kOsc2Sync);
    automation.clear();
    mouse.doubleClick(sync.left + 5, sync.top + 5);
    EXPECT_EQ(plugin.get(Veldane::kOsc2Sync), 0.0f);
    ASSERT_EQ(automation.size(), 2u);
    EXPECT_EQ(automation[0].value, 1.0f);
    EXPECT_EQ(automation[1].value, 0.0f);

    // A slider pressed above its handle jumps to the top and drags on from there.
    const Veldane::PanelEntry& decay = entryOf(Veldane::kAmpDecay);
    mouse.down(decay.left + 7, decay.top + 10);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kAmpDecay), 1.0f);
    mouse.move(decay.left + 7, decay.top + 10 + 83);
    EXPECT_FLOAT_EQ(plugin.get(Veldane::kAmpDecay), 0.0f);
    mouse.up(decay.left + 7, decay.top + 93);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(EditorWindow, DraggingEveryKnobAndSliderAutomatesItsParameter) {
    Plugin plugin;
    ASSERT_TRUE(plugin.open());
    Mouse mouse{editorWindow()};
    for (const Veldane::PanelEntry& e : Veldane::panelLayout) {
        if (e.kind != Veldane::ControlKind::knob && e.kind != Veldane::ControlKind::slider)
            continue;
        const float before = plugin.get(e.parameter);
        // Towards the far end of the range, 40 pixels.
        const int direction = before > 0.5f ? 1 : -1;
        int x = e.left + 7, y;
        if (e.kind == Veldane::ControlKind::knob) {
            x = e.left + 18;
            y = e.top + 18;
        } else {
            y = e.top + (83 - expectedSliderPosition(before)) + 13; // on the handle
        }
        automation.clear();
        mouse.down(x, y);
        for (int step = 1; step <= 40; ++step)
            mouse.move(x, y + direction * step);
        mouse.up(x, y + direction * 40);
        const float after = plugin.get(e.parameter);
        EXPECT_NE(after, before) << e.parameter;
        ASSERT_FALSE(automation.empty()) << e.parameter;
        for (const Automation& a : automation)
            EXPECT_EQ(a.index, e.parameter);
        EXPECT_EQ(automation.back().value, after) << e.parameter;
    }
}

TEST_F(EditorWindow, EveryControlShowsItsParameterFromTheStartAndAfterHostChanges) {
    ASSERT_TRUE(images().complete());
    Plugin plugin;
    for (int i = 0; i < kParameters; ++i)
        plugin.set(i, spreadValue(i));
    ASSERT_TRUE(plugin.open());
    HWND w = editorWindow();
    LICE_SysBitmap window;
    ASSERT_TRUE(grab(w, window));
    EXPECT_EQ(controlsNotShowingTheirValues(plugin, window), 0) << "right after opening";

    // Voice Mode: values 2 and 3 both light the third lamp.
    const Veldane::PanelEntry& mode = entryOf(Veldane::kVoiceMode);
    for (float n : {2.0f / 3.0f, 1.0f}) {
        plugin.set(Veldane::kVoiceMode, n);
        ASSERT_TRUE(grab(w, window));
        EXPECT_EQ(lampAt(window, mode.left, mode.top + 26), 1) << n;
        EXPECT_EQ(lampAt(window, mode.left, mode.top + 13), 0) << n;
    }

    // Each host change repaints its control: values that move every
    // parameter, switches and choices included, to the other end.
    for (int i = 0; i < kParameters; ++i) {
        UpdateWindow(w);
        plugin.set(i, plugin.get(i) > 0.5f ? 0.0f : 1.0f);
        RECT dirty{};
        const bool repaint = GetUpdateRect(w, &dirty, FALSE) != 0;
        if (i == kReserved) {
            EXPECT_FALSE(repaint) << "parameter 25 has no control";
            continue;
        }
        EXPECT_TRUE(repaint) << i;
        // Only the control's own rectangle.
        const Veldane::PanelEntry& e = entryOf(i);
        const int items = e.kind == Veldane::ControlKind::radio ? e.itemsOrSteps : 1;
        const SIZE size = e.kind == Veldane::ControlKind::knob     ? SIZE{36, 36}
                          : e.kind == Veldane::ControlKind::slider ? SIZE{14, 110}
                                                                   : SIZE{20, 13 * (items - 1) + 11};
        EXPECT_EQ(dirty.left, e.left) << i;
        EXPECT_EQ(dirty.top, e.top) << i;
        EXPECT_EQ(dirty.right, e.left + size.cx) << i;
        EXPECT_EQ(dirty.bottom, e.top + size.cy) << i;
    }
    ASSERT_TRUE(grab(w, window));
    EXPECT_EQ(controlsNotShowingTheirValues(plugin, window), 0) << "after host changes";
}

// A new instance's panel, before any parameter has changed: the controls
// start from the defaults, not from whatever the last editor showed.
TEST_F(EditorWindow, ANewInstanceShowsEveryControlAtItsDefault) {
    Plugin plugin;
    ASSERT_TRUE(plugin.open());
    LICE_SysBitmap window;
    ASSERT_TRUE(grab(editorWindow(), window));
    EXPECT_EQ(controlsNotShowingTheirValues(plugin, window), 0);
}

TEST_F(EditorWindow, ClosingWhileAControlHoldsTheCaptureIsSafe) {
    Plugin plugin;
    ASSERT_TRUE(plugin.open());
    HWND w = editorWindow();
    Mouse mouse{w};
    const Veldane::PanelEntry& q = entryOf(Veldane::kFilterQ);
    mouse.down(q.left + 18, q.top + 18);
    mouse.move(q.left + 18, q.top + 10);
    ASSERT_EQ(GetCapture(), w);
    plugin.close();
    EXPECT_FALSE(IsWindow(w));
    EXPECT_NE(GetCapture(), w);
    // The rest of the gesture reaches no window; a new editor works normally.
    pump();
    ASSERT_TRUE(plugin.open());
    Mouse again{editorWindow()};
    automation.clear();
    again.click(30, 80);
    EXPECT_EQ(automation.size(), 1u);
}

TEST_F(EditorWindow, ADragEndsWhenAnotherWindowTakesTheCapture) {
    Plugin plugin;
    ASSERT_TRUE(plugin.open());
    HWND w = editorWindow();
    Mouse mouse{w};
    const Veldane::PanelEntry& q = entryOf(Veldane::kFilterQ);
    const int x = q.left + 18, y = q.top + 18;
    mouse.down(x, y);
    mouse.move(x, y - 10);
    const float dragged = plugin.get(Veldane::kFilterQ);
    EXPECT_GT(dragged, 0.0f);
    SetCapture(frame); // e.g. a window of the host's in the middle of the gesture
    ReleaseCapture();
    // The button was released elsewhere; moves over the knob are hovering now.
    mouse.move(x, y - 40, false);
    EXPECT_EQ(plugin.get(Veldane::kFilterQ), dragged);
    EXPECT_NE(GetCapture(), w);
}

TEST_F(EditorWindow, AHostMayDestroyItsFrameBeforeClosingTheEditor) {
    HWND ownFrame = window_capture::createFrame("frame", kWidth, kHeight);
    ASSERT_NE(ownFrame, nullptr);
    Plugin plugin;
    ASSERT_TRUE(plugin.open(ownFrame));
    DestroyWindow(ownFrame); // takes the editor's window with it
    pump();
    for (int i = 0; i < kParameters; ++i)
        plugin.set(i, 1.0f - plugin.get(i));
    plugin.close();
    ASSERT_TRUE(plugin.open());
    LICE_SysBitmap window;
    ASSERT_TRUE(grab(editorWindow(), window));
    EXPECT_EQ(controlsNotShowingTheirValues(plugin, window), 0);
}

TEST_F(EditorWindow, HundredOpenCloseCyclesLeakNothing) {
    Plugin plugin;
    // One cycle first: the system's and libpng's one-time allocations.
    ASSERT_TRUE(plugin.open());
    UpdateWindow(editorWindow());
    plugin.close();
    pump();
    const DWORD gdiBefore = gdiObjects();
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    const size_t memoryBefore = committedBytes();
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_TRUE(plugin.open());
        HWND w = editorWindow();
        InvalidateRect(w, nullptr, FALSE);
        UpdateWindow(w);
        plugin.close();
        pump();
        ASSERT_EQ(childWindowCount(frame), 0) << cycle;
    }
    EXPECT_LE(gdiObjects(), gdiBefore);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);
    // An editor holds about 2.5 MB of images and back buffer: a leak of any of
    // them over 100 cycles would be far above this margin.
    EXPECT_LT(committedBytes(), memoryBefore + 4u * 1024 * 1024);
}

TEST_F(EditorWindow, AutomationFromAnotherThreadWhilePaintingAndClosing) {
    Plugin plugin;
    ASSERT_TRUE(plugin.open());
    std::atomic<bool> done{false};
    std::thread automationThread = automationStorm([&plugin](int i, float v) { plugin.set(i, v); }, done);
    int cycles = 0;
    while (!done) {
        HWND w = editorWindow();
        if (w) {
            InvalidateRect(w, nullptr, FALSE);
            UpdateWindow(w);
        }
        pump();
        if (++cycles % 5 == 0) {
            plugin.close();
            plugin.open();
        }
    }
    automationThread.join();
    pump();
    LICE_SysBitmap window;
    ASSERT_TRUE(grab(editorWindow(), window));
    EXPECT_EQ(controlsNotShowingTheirValues(plugin, window), 0) << "changes from the other thread all arrived";
    EXPECT_TRUE(automation.empty()) << "host changes are not echoed to the host";
}

bool setUpHost() {
    dll = veldane_dll::module();
    if (!dll) {
        std::fprintf(stderr, "cannot load %s\n", veldane_dll::path().c_str());
        return false;
    }
    pluginMain = veldane_dll::entry();
    frame = window_capture::createFrame("Veldane editor test", kWidth, kHeight);
    return pluginMain != nullptr && frame != nullptr;
}

} // namespace

// The VST 2.4 DLL carries the panel at 100 % alone.
editor_checks::Images& editor_checks::images(zem::Scale) {
    static Images loaded = imagesOf(zem::Scale(), &loadImage);
    return loaded;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!setUpHost())
        return 2;
    return RUN_ALL_TESTS();
}
