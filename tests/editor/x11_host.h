#pragma once
// The host's side of the X11 editor tests: a connection and a frame window of
// the host's own, real pointer input through XTest, and the editor's pixels
// read back from the screen. Shared by the tests of the VST 2.4 editor and
// of the LV2 UI. Include it after every other header: Xlib's macros (None,
// Bool, Status...) must not meet them.

#include <dirent.h>
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "base/platform.h"
#include "gfx/bitmap.h"
#include "gfx/library_images.h"
#include "tests/editor/editor_checks.h"
#include "ui/editor.h"
#include "ui/panel.h"

#include "tools/testhost/x11_capture.h"
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace x11_host {

inline Display* host = nullptr; // the host's own connection
inline Window frame = 0;        // our stand-in for the host's window around the editor

// Opens the connection and the frame, at the screen's top-left corner; false,
// said on stderr, without a display or XTest.
inline bool connect() {
    host = XOpenDisplay(nullptr);
    if (host == nullptr) {
        std::fprintf(stderr, "no X display (run under scripts/x11-run.sh)\n");
        return false;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(host, &event, &error, &major, &minor)) {
        std::fprintf(stderr, "the X server has no XTest extension\n");
        return false;
    }
    // Room for the panel at every scale.
    const zem::Scale largest = zem::Scale::ofPercent(zem::Scale::kPercents[zem::Scale::kCount - 1]);
    frame = x11_capture::createFrame(host, "Veldane editor test", largest.pixels(Veldane::panelWidth),
                                     largest.pixels(Veldane::panelHeight));
    return frame != 0;
}

// The five images of `scale` as the Linux libraries carry them (linked in,
// the same table as the plug-in's), for editor_checks::images().
inline editor_checks::Images linkedImages(zem::Scale scale) {
    return editor_checks::imagesOf(scale, [](int id) { return loadLibraryImage(&Veldane::libraryImages, id); });
}

inline NativeWindow asParent(Window w) {
    return reinterpret_cast<NativeWindow>(static_cast<std::uintptr_t>(w));
}

inline Window editorWindow(Window parent = frame) {
    return x11_capture::firstChild(host, parent);
}

// The editor's whole window as the screen shows it, at `scale`; false unless
// all of it was read, so the checks that follow never look outside the
// picture.
inline bool grab(Window w, LICE_MemBitmap& into, zem::Scale scale = zem::Scale()) {
    return x11_capture::grab(host, w, into) && into.width() == scale.pixels(Veldane::panelWidth) &&
           into.height() == scale.pixels(Veldane::panelHeight);
}

// A window's size on the server.
inline bool sizeOf(Window w, int& width, int& height) {
    XWindowAttributes a{};
    if (w == 0 || !XGetWindowAttributes(host, w, &a)) return false;
    width = a.width;
    height = a.height;
    return true;
}

// Sets the X server's Xft.dpi resource, as a desktop does for a high-density
// screen (0: none); an editor opened afterwards reads it.
inline void setXftDpi(int dpi) {
    const Window root = DefaultRootWindow(host);
    if (dpi <= 0) {
        XDeleteProperty(host, root, XA_RESOURCE_MANAGER);
    } else {
        const std::string resources = "Xft.dpi:\t" + std::to_string(dpi) + "\n";
        XChangeProperty(host, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources.c_str()), static_cast<int>(resources.size()));
    }
    XSync(host, False);
}

// Sets (or, for null, removes) the environment variable that overrides the
// screen's scale.
inline void setScaleVariable(const char* value) {
    if (value != nullptr)
        setenv(Veldane::Editor::scaleVariable, value, 1);
    else
        unsetenv(Veldane::Editor::scaleVariable);
}

// What an open editor holds that closing it must give back: windows on the
// server (the host's and the editors' alike), file descriptors (each display
// connection is one; the server frees whatever else a connection held when
// it closes) and the process's heap in use.
struct Footprint {
    int windows = 0;
    int files = 0;
    long heapBytes = 0;
};

inline int windowsUnder(Window w) {
    int count = 1;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned n = 0;
    if (XQueryTree(host, w, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n; ++i) count += windowsUnder(children[i]);
        XFree(children);
    }
    return count;
}

inline Footprint footprint() {
    Footprint f;
    f.windows = windowsUnder(DefaultRootWindow(host));
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr) ++f.files;
        closedir(d);
    }
    const struct mallinfo2 m = mallinfo2();
    f.heapBytes = static_cast<long>(m.uordblks + m.hblkhd);
    return f;
}

// Opens and closes an editor (open() answers whether it opened) 100 times,
// after one cycle for the one-time allocations of Xlib and libpng, and checks
// that nothing grew. An editor holds about 2.5 MB of images and back buffer:
// a leak of any of them over 100 cycles would be far above the heap's margin.
// Answers the heap's growth in bytes.
template <class Open, class Close>
long expectOpenCloseCyclesLeakNothing(Open&& open, Close&& close) {
    constexpr int kCycles = 100;
    constexpr long kHeapMargin = 256 * 1024;
    if (!open()) {
        ADD_FAILURE() << "the editor does not open";
        return 0;
    }
    close();
    const Footprint before = footprint();
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        if (!open()) {
            ADD_FAILURE() << "cycle " << cycle << ": the editor does not open";
            return 0;
        }
        close();
    }
    const Footprint after = footprint();
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_EQ(after.files, before.files) << "every display connection is closed";
    EXPECT_LT(after.heapBytes - before.heapBytes, kHeapMargin);
    return after.heapBytes - before.heapBytes;
}

// Real pointer input, as the user makes it: the server sends it to whichever
// window is under the pointer (or holds the grab). The frame, and the editor
// in it, sit at the screen's top-left corner, so screen and editor
// coordinates are the same. After each step the host syncs with the server
// and calls idle (the editor's idle call), so every event is handled before
// the next, as window messages are on Windows.
struct Mouse {
    std::function<void()> idle;

    void step() {
        XSync(host, False);
        idle();
    }
    void to(int x, int y) {
        XTestFakeMotionEvent(host, -1, x, y, CurrentTime);
        step();
    }
    // delayMs: how long the server waits before it takes the event.
    void button(unsigned b, bool press, unsigned long delayMs = 0) {
        XTestFakeButtonEvent(host, b, press ? True : False, delayMs);
        step();
    }
    void down(int x, int y) {
        to(x, y);
        button(Button1, true);
    }
    void up(int x, int y) {
        to(x, y);
        button(Button1, false);
    }
    // Presses at (x, y) and moves down `step` pixels at a time, `pixels`
    // far; the button stays down.
    void pressAndDrag(int x, int y, int pixels, int step = 1) {
        down(x, y);
        for (int i = step; i <= pixels; i += step)
            to(x, y + i);
    }
    void click(int x, int y, unsigned long delayMs = 0) {
        to(x, y);
        button(Button1, true, delayMs);
        button(Button1, false);
    }
    void rightClick(int x, int y) {
        to(x, y);
        button(Button3, true);
        button(Button3, false);
    }
    // One notch away from the user (positive) or towards the user.
    void wheel(int x, int y, int notches) {
        to(x, y);
        for (int i = 0; i < (notches < 0 ? -notches : notches); ++i) {
            button(notches > 0 ? 4 : 5, true);
            button(notches > 0 ? 4 : 5, false);
        }
    }
    void shift(bool held) {
        XTestFakeKeyEvent(host, XKeysymToKeycode(host, XK_Shift_L), held ? True : False, CurrentTime);
        step();
    }
};

} // namespace x11_host
