#pragma once
// The window layer under the editor: one interface for the platform's window
// that holds an editor, with one implementation per window system
// (framework/platform_window_win32.cpp: a Win32 child window painted from a
// DIB section; framework/platform_window_x11.cpp: an X11 child window on a
// display connection of its own, painted with XPutImage). Everything above
// it (the editor, its controls, the panel) names no window-system type.
//
// The window turns the system's input into the editor's terms (button
// presses, double-clicks, moves with modifiers, wheel notches, a lost
// capture, the screen's scale), keeps a back buffer the editor composes
// into, and puts the composed pixels on screen. Which control an event reaches, what a drag or
// a double-click does and which rectangle repaints are the editor's business
// (framework/editor_window.h), shared by every platform.
//
// Threads: every call, in both directions, runs on the editor's
// user-interface thread, except wake(), which any thread may call.

#include <memory>

#include "base/platform.h"
#include "framework/control.h"

class LICE_IBitmap;

namespace zem {

// What a platform window reports to the editor inside it. Positions are in
// window client pixels; during a capture they may lie outside the window
// (negative, or beyond its size).
class WindowClient {
public:
    // Compose `area` of the frame into `backBuffer` (the window's own bitmap,
    // of the window's size), which the window then puts on screen. Must not
    // allocate: it runs while the window paints.
    virtual void paint(LICE_IBitmap& backBuffer, const PixelRect& area) = 0;
    // Left button pressed; the second press of a double-click arrives as
    // mouseDoubleClick instead.
    virtual void mouseDown(int x, int y) = 0;
    virtual void mouseDoubleClick(int x, int y) = 0;
    // Left button released.
    virtual void mouseUp(int x, int y) = 0;
    // Right button pressed (it asks for a context menu).
    virtual void rightMouseDown(int x, int y) = 0;
    // Pointer moved, with or without a button held.
    virtual void mouseMove(int x, int y, MouseModifiers mods) = 0;
    // Wheel turned by whole notches, positive away from the user; keys is
    // the key-state word of the Win32 wheel message on every platform
    // (wheelKey* below).
    virtual void mouseWheel(int x, int y, int keys, int notches) = 0;
    // The capture ended without a release of the button in this window
    // (another window took it, the window was hidden); (x, y) is where the
    // pointer is.
    virtual void captureLost(int x, int y) = 0;
    // The system destroyed the window (its parent went first): nothing is
    // painted or delivered any more, and handle() answers null.
    virtual void windowDestroyed() = 0;
    // wake() reached this window's thread, or the window's idle time came:
    // apply the parameter changes other threads marked.
    virtual void woken() = 0;
    // The screen under the window changed its scale (Windows: the window
    // moved to a monitor of another DPI, or the DPI setting changed);
    // factor 1 is 96 DPI.
    virtual void screenFactorChanged(double factor) = 0;

protected:
    ~WindowClient() = default;
};

// Bits of the key-state word that WindowClient::mouseWheel passes on: those
// of the Win32 wheel message, which every platform reproduces.
constexpr int wheelKeyLeftButton = 0x0001;
constexpr int wheelKeyShift = 0x0004;
constexpr int wheelKeyControl = 0x0008;

class PlatformWindow {
public:
    // Creates the window, width x height pixels, as a visible child of
    // parent (an HWND on Windows, an X11 window id elsewhere), reporting to
    // client. module is the plug-in library's handle. Null only when memory
    // runs out; a window the system refuses answers null from handle() and
    // does nothing else.
    static std::unique_ptr<PlatformWindow> create(NativeModule module, NativeWindow parent, int width, int height,
                                                  WindowClient& client);

    // UI thread. The scale the screen asks for, for a window inside `parent`
    // (null: the screen the host's windows open on): Windows, the DPI of
    // `parent` (of the system without one) over 96; X11, the X server's
    // Xft.dpi resource over 96. 0 when the system says nothing.
    static double screenFactor(NativeWindow parent);

    // Any thread, never blocking: makes the thread of the window `w` call
    // WindowClient::woken soon. Answers whether that is under way; false for
    // a null window. (Win32 posts a message; X11 windows are woken by their
    // next idle call anyway, so for them it only answers true.)
    static bool wake(NativeWindow w);

    // Destroys the window and everything the window system holds for it;
    // the client hears nothing more, not even windowDestroyed.
    virtual ~PlatformWindow() = default;

    // The window's handle; null when it could not be created or the system
    // destroyed it.
    virtual NativeWindow handle() const = 0;
    // Asks for a repaint of r: WindowClient::paint comes later, from the
    // window system's paint request (Win32) or the next idle call (X11).
    virtual void invalidate(const PixelRect& r) = 0;
    // Gives the window and its back buffer a new size and repaints all of
    // it; answers false, keeping the old size, when the back buffer cannot
    // have the new one.
    virtual bool resize(int width, int height) = 0;
    // All pointer input goes to this window until releaseMouse, wherever the
    // pointer is.
    virtual void captureMouse() = 0;
    // Ends this window's capture, and only its own.
    virtual void releaseMouse() = 0;
    // The host's idle call (effEditIdle, the LV2 idle interface): handles
    // what the window system sent since the last call, then the woken
    // changes and the repaints, without ever waiting. Nothing on Win32, where
    // the host's message loop delivers everything.
    virtual void idle() = 0;
};

} // namespace zem
