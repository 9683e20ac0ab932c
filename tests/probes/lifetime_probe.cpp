// Instances come and go by the thousand in hosts that scan plug-ins or let
// users add and remove them. Each instance here is created, played and
// closed, without its editor, with it (closed first, as hosts should), and
// with it still open at effClose; afterwards the process may hold no window
// or GDI object more than before, and no more memory than a small record per
// closed instance. Runs under scripts/wine-window-run.sh (the editor needs a
// display).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <vector>

#include "ui/panel.h"
#include "tests/host_side.h"
#include "tests/probes/probe_host.h"
#include "tests/win_process.h"

namespace {

// Instances of the short run; scripts/probes.sh multiplies them. An editor
// takes about 12 ms to open under wine, so fewer lives open it.
constexpr int kShortRunInstances = 2000;
constexpr int kShortRunEditorInstances = 500;
// Instances played before measuring: the library's and the system's one-time
// allocations (window class, image decoder, C runtime) are made by then.
constexpr int kWarmUp = 20;
// What a closed instance may keep: the host's record and a little more
// (a 32-bit AEffect is 144 bytes, a 64-bit one 192).
constexpr double kMostBytesPerClose = 512.0;

std::atomic<int> automationCalls{0};

VstIntPtr ZEM_VSTCALL countingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterAutomate) ++automationCalls;
    return 0;
}

enum class Editor { none, closedFirst, leftOpen };

// One instance's life as a host lives it: created, set up, played (a note
// through two blocks and its release), editor opened and painted (unless
// none), processing switched off, closed. False when no instance could be
// made; *window is the editor's window, null when there was none.
bool liveOneInstance(veldane_dll::PluginMain entry, Editor editor, HWND* window = nullptr) {
    AEffect* e = entry(&countingHost);
    if (!e) {
        ADD_FAILURE() << "no instance";
        return false;
    }
    host::Driver d(e);
    d.dispatch(effOpen);
    d.dispatch(effSetSampleRate, 0, nullptr, 44100.0f);
    e->dispatcher(e, effSetBlockSize, 0, host::kBlock, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    if (editor != Editor::none) {
        d.dispatch(effEditOpen, 0, probe::frame());
        const HWND opened = GetWindow(probe::frame(), GW_CHILD); // the newest child comes first
        UpdateWindow(opened);
        probe::pump();
        if (window) *window = opened;
    }
    d.noteOn(60);
    d.advance(2 * host::kBlock);
    d.noteOff(60);
    d.advance(host::kBlock);
    if (editor == Editor::closedFirst) d.dispatch(effEditClose);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    d.dispatch(effClose);
    probe::pump();
    return true;
}

// What the process holds.
struct Holdings {
    std::size_t heap = win_process::heapBytes();
    DWORD gdi = win_process::gdiObjects();
    int windows = win_process::windowCount();
};

class Lifetime : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(probe::frame(), nullptr) << "needs a display: run under scripts/wine-window-run.sh";
        entry = dll.entry();
        ASSERT_NE(entry, nullptr) << "cannot load " << veldane_dll::path();
    }

    // An editor that outlived its instance (the fault looked for by the last
    // test) still runs the library's code: its window goes here, and the
    // library stays loaded for the rest of the process.
    void TearDown() override {
        for (HWND w : editors) {
            if (w && IsWindow(w)) {
                DestroyWindow(w);
                dll.keep();
            }
        }
    }

    // Plays `count` lives after the warm-up; expects nothing left but a
    // small record per close.
    void expectLivesLeaveOnlySmallRecords(Editor editor, int count) {
        for (int i = 0; i < kWarmUp; ++i) ASSERT_TRUE(liveOneInstance(entry, editor));
        const Holdings before;
        for (int i = 0; i < count; ++i) ASSERT_TRUE(liveOneInstance(entry, editor)) << i;
        expectOnlySmallRecordsKeptSince(before, count);
    }

    // `closes` instances have been closed since `before`.
    static void expectOnlySmallRecordsKeptSince(const Holdings& before, int closes) {
        const Holdings after;
        EXPECT_LE(after.windows, before.windows);
        EXPECT_LE(after.gdi, before.gdi);
        const double perClose = (static_cast<double>(after.heap) - static_cast<double>(before.heap)) / closes;
        EXPECT_LE(perClose, kMostBytesPerClose) << "bytes kept per closed instance";
    }

    probe::LoadedDll dll;
    veldane_dll::PluginMain entry = nullptr;
    std::vector<HWND> editors; // the windows of editors left open at effClose
};

TEST_F(Lifetime, InstancesWithoutTheEditorLeaveOnlySmallRecords) {
    expectLivesLeaveOnlySmallRecords(Editor::none, kShortRunInstances * probe::scale());
}

TEST_F(Lifetime, InstancesWithTheEditorClosedFirstLeaveOnlySmallRecords) {
    expectLivesLeaveOnlySmallRecords(Editor::closedFirst, kShortRunEditorInstances * probe::scale());
}

// effClose with the editor open closes the editor: its window goes, and a
// drag where a knob was reaches no host with the closed record.
TEST_F(Lifetime, EffCloseWithTheEditorOpenClosesTheEditor) {
    constexpr int kLives = 10;
    ASSERT_TRUE(liveOneInstance(entry, Editor::closedFirst));
    const Holdings before;
    editors.assign(kLives, nullptr);
    for (HWND& w : editors) ASSERT_TRUE(liveOneInstance(entry, Editor::leftOpen, &w));
    automationCalls = 0;
    const Veldane::PanelEntry* cutoff = nullptr;
    for (const Veldane::PanelEntry& p : Veldane::panelLayout)
        if (p.parameter == Veldane::kFilterCutoff) cutoff = &p; // a knob, at the top by default
    ASSERT_NE(cutoff, nullptr);
    const LPARAM knob = MAKELPARAM(cutoff->left + 18, cutoff->top + 18);
    const LPARAM below = MAKELPARAM(cutoff->left + 18, cutoff->top + 28); // down from its top default
    int survivors = 0;
    for (HWND w : editors) {
        ASSERT_NE(w, nullptr);
        if (!IsWindow(w)) continue;
        ++survivors;
        SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, knob);
        SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, below);
        SendMessageA(w, WM_LBUTTONUP, 0, below);
    }
    EXPECT_EQ(survivors, 0) << "editor windows alive after effClose";
    EXPECT_EQ(automationCalls.load(), 0) << "automation sent with a closed record";
    expectOnlySmallRecordsKeptSince(before, kLives);
}

} // namespace
