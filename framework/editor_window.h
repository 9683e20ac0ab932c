#pragma once
// zem::Editor<N>: an editor in a window of the platform's (the window layer,
// framework/platform_window.h). It owns the window and the list of
// controls, routes the mouse to them, holds the capture, and composes each
// repaint from the panel image and the controls; it knows nothing of a
// particular synthesizer and nothing of the window system, so every
// platform shares this behaviour. A right press on the panel's background
// asks the derived editor for a context menu (contextMenu), which it shows
// as an overlay: a control drawn above all others that takes every press
// while it is shown, and goes at a press outside it.
//
// Threads: construction, destruction and everything the window reports run
// on the host's user-interface thread, the one that sends effEditOpen,
// effEditClose and effEditIdle (and pumps the parent window's messages on
// Windows). Parameter changes from other threads never reach this object
// directly: the plug-in marks them and wakes the window
// (PlatformWindow::wake), and the window's thread has the plug-in apply them
// (IEditController::applyPendingEditorUpdates).

#include <memory>

#include "framework/control.h"
#include "framework/editor.h"
#include "framework/platform_window.h"
#include "gfx/bitmap.h"

namespace zem {

template <int N>
class Editor : public IEditor, private WindowClient {
public:
    // User-interface thread. Creates the window, width x height pixels (the
    // panel's fixed size), as a child of parent. A window that cannot be
    // created leaves windowHandle() null; the editor then shows nothing but
    // stays safe to use and to destroy.
    Editor(NativeModule moduleHandle, IEditController* plugin, NativeWindow parent, int width, int height)
        : plugin(plugin), window(PlatformWindow::create(moduleHandle, parent, width, height, *this)) {}

    // User-interface thread.
    ~Editor() override { closeWindow(); }

    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // The window, or null when it could not be created or is gone.
    NativeWindow windowHandle() const { return window ? window->handle() : nullptr; }

    // Any thread: see PlatformWindow::wake.
    static bool wake(NativeWindow w) { return PlatformWindow::wake(w); }
    // UI thread: see PlatformWindow::screenFactor.
    static double screenFactor(NativeWindow parent) { return PlatformWindow::screenFactor(parent); }

    // The host's idle call: see PlatformWindow::idle.
    void idle() {
        if (window) window->idle();
    }

    void invalidateRect(const PixelRect& r) override {
        if (window) window->invalidate(r);
    }

    void captureMouse(Control* c) override {
        capturedControl = c;
        if (window) window->captureMouse();
    }

    void releaseMouse() override {
        // Cleared first: the window may report the end of its capture while
        // releasing it, and that must not end a drag a second time.
        capturedControl = nullptr;
        if (window) window->releaseMouse();
    }

protected:
    // The derived destructor calls this first, before its controls and images
    // go: from then on nothing can reach the editor, so nothing can touch a
    // control that is already destroyed. Destroying the window also ends a
    // mouse capture a control still holds.
    void closeWindow() {
        capturedControl = nullptr;
        overlay = nullptr;
        window.reset();
    }

    // Gives the window a new size (the panel drawn at another scale) and
    // repaints all of it; false when the window keeps its old size.
    bool resizeWindow(int width, int height) {
        return window && window->resize(width, height);
    }

    // A right press at (x, y) on the background, where no control is: the
    // derived editor may show a menu there. Nothing by default.
    virtual void contextMenu(int x, int y) {
        (void)x;
        (void)y;
    }

    // Shows c above every control until hideOverlay: it receives the presses
    // inside it and the pointer's moves; a press outside hides it.
    void showOverlay(Control* c) {
        hideOverlay();
        overlay = c;
        if (overlay != nullptr) invalidateRect(overlay->bounds);
    }
    void hideOverlay() {
        if (overlay == nullptr) return;
        invalidateRect(overlay->bounds);
        overlay = nullptr;
    }
    bool overlayShown() const { return overlay != nullptr; }

    // The plug-in that owns this editor; not owned.
    IEditController* plugin;
    // The control holding the mouse capture; null when none.
    Control* capturedControl = nullptr;
    // The controls in paint and hit-test order; not owned (members of the
    // derived class), filled by the derived constructor.
    Control* controls[N] = {};
    // The panel image painted under the controls; owned by the derived class.
    LICE_IBitmap* background = nullptr;

private:
    // The overlay shown above the controls; null when none. Not owned.
    Control* overlay = nullptr;
    // The last press went to the overlay: so does its release.
    bool overlayPress = false;

    // --- What the window reports ---------------------------------------------

    // The panel image in the update rectangle, then every control touching
    // it, whole, in list order, then the overlay. Allocates nothing.
    void paint(LICE_IBitmap& backBuffer, const PixelRect& r) override {
        if (r.right <= r.left || r.bottom <= r.top) return;
        blit(&backBuffer, background, r.left, r.top, r.left, r.top, r.right - r.left, r.bottom - r.top,
             BlitMode::copy);
        for (Control* c : controls)
            if (c != nullptr && intersects(c->bounds, r)) c->draw(backBuffer);
        if (overlay != nullptr && intersects(overlay->bounds, r)) overlay->draw(backBuffer);
    }

    void mouseDown(int x, int y) override {
        if (pressOverlay(x, y)) return;
        routeMouse(controls, capturedControl, x, y, [](Control& c, int cx, int cy) { c.mouseDown(cx, cy); });
    }

    void mouseDoubleClick(int x, int y) override {
        if (pressOverlay(x, y)) return;
        routeMouse(controls, capturedControl, x, y, [](Control& c, int cx, int cy) { c.mouseDoubleClick(cx, cy); });
    }

    void mouseUp(int x, int y) override {
        // The release of a press the overlay took is the overlay's too.
        if (overlayPress) {
            overlayPress = false;
            return;
        }
        routeMouse(controls, capturedControl, x, y, [](Control& c, int cx, int cy) { c.mouseUp(cx, cy); });
    }

    void mouseMove(int x, int y, MouseModifiers mods) override {
        if (overlay != nullptr) {
            overlay->mouseMove(x - overlay->bounds.left, y - overlay->bounds.top, mods);
            return;
        }
        routeMouse(controls, capturedControl, x, y,
                   [mods](Control& c, int cx, int cy) { c.mouseMove(cx, cy, mods); });
    }

    void mouseWheel(int x, int y, int keys, int notches) override {
        if (overlay != nullptr) return;
        routeMouse(controls, capturedControl, x, y,
                   [keys, notches](Control& c, int cx, int cy) { c.mouseWheel(cx, cy, keys, notches); });
    }

    // Over the background (no control there, no drag going on) it asks for
    // the context menu; while an overlay is shown it hides it.
    void rightMouseDown(int x, int y) override {
        if (capturedControl != nullptr) return;
        if (overlay != nullptr) {
            hideOverlay();
            return;
        }
        for (Control* c : controls)
            if (c != nullptr && containsPoint(c->bounds, x, y)) return;
        contextMenu(x, y);
    }

    void screenFactorChanged(double factor) override { plugin->screenFactorChanged(factor); }

    // A press while the overlay is shown is the overlay's: inside it, the
    // overlay's own; outside it, the one that hides it. Answers whether the
    // overlay took the press.
    bool pressOverlay(int x, int y) {
        if (overlay == nullptr) return false;
        overlayPress = true;
        Control* o = overlay;
        if (containsPoint(o->bounds, x, y))
            o->mouseDown(x - o->bounds.left, y - o->bounds.top);
        else
            hideOverlay();
        return true;
    }

    // The drag ends as if released where the pointer is, so the control does
    // not go on dragging with no button held.
    void captureLost(int x, int y) override {
        Control* c = capturedControl;
        if (c == nullptr) return;
        capturedControl = nullptr;
        c->mouseUp(x - c->bounds.left, y - c->bounds.top);
    }

    void windowDestroyed() override {
        capturedControl = nullptr;
        overlay = nullptr;
    }

    void woken() override { plugin->applyPendingEditorUpdates(); }

    // Declared last: destroyed first, should a derived class not close it.
    std::unique_ptr<PlatformWindow> window;
};

} // namespace zem
