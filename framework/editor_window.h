#pragma once
// zem::Editor<N>: the editor's Win32 window. Included by
// framework/editor.h on Windows only.
//
// Threads: construction, destruction and every window message run on the
// host's user-interface thread, the one that sends effEditOpen and
// effEditClose and pumps the parent window's messages. Parameter changes from
// other threads never reach this object directly: the plug-in marks them and
// posts editorUpdateMessage() to the window, and the window procedure has the
// plug-in apply them (IEditController::applyPendingEditorUpdates).

#include <windows.h>

#include <cstdint>

#include "framework/control.h"
#include "framework/editor.h"
#include "gfx/bitmap.h"
#include "gfx/sys_bitmap.h"

namespace zem {

constexpr const char* editorWindowClassName = "ZemPluginWndClass";
constexpr const char* editorWindowName = "ZemPluginEditorWindow";
// One wheel notch in the units of WM_MOUSEWHEEL's delta.
constexpr int wheelDeltaPerNotch = 120;

// Editors alive in the process, all plug-in instances together: the window
// class is registered when the first appears and unregistered when the last
// goes. User-interface thread only.
inline int liveEditorCount = 0;

// The private message that tells an editor window to apply parameter changes
// marked by other threads. A registered message: unique in the system, so no
// other window mistakes it for one of its own.
inline UINT editorUpdateMessage() {
    static const UINT message = RegisterWindowMessageA("ZemPluginEditorUpdate");
    return message;
}

template <int N>
class Editor : public IEditor {
public:
    // User-interface thread. Creates the window, width x height pixels (the
    // panel's fixed size), as a child of parent. A window that cannot be
    // created leaves `window` null; the editor then shows nothing but stays
    // safe to use and to destroy.
    Editor(HINSTANCE moduleHandle, IEditController* plugin, HWND parent, int width, int height)
        : moduleHandle(moduleHandle), plugin(plugin) {
        if (liveEditorCount++ == 0)
            registerWindowClass(moduleHandle);
        window = CreateWindowExA(0, editorWindowClassName, editorWindowName, WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                                 parent, nullptr, moduleHandle, this);
        backBuffer.resize(width, height);
    }

    // User-interface thread.
    ~Editor() override {
        closeWindow();
        if (--liveEditorCount == 0)
            UnregisterClassA(editorWindowClassName, moduleHandle);
    }

    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // The window, or null when it could not be created or is gone.
    NativeWindow windowHandle() const { return window; }

    // Any thread: a message to the window, which its procedure handles on
    // the window's own thread (see PluginWithEditor).
    static bool wake(NativeWindow w) {
        return w != nullptr && PostMessageA(static_cast<HWND>(w), editorUpdateMessage(), 0, 0) != 0;
    }

    void invalidateRect(const PixelRect& r) override {
        // InvalidateRect with a null window would repaint every window on the desktop.
        if (window == nullptr)
            return;
        RECT copy{r.left, r.top, r.right, r.bottom};
        InvalidateRect(window, &copy, FALSE);
    }

    void captureMouse(Control* c) override {
        capturedControl = c;
        if (window != nullptr)
            SetCapture(window);
    }

    void releaseMouse() override {
        capturedControl = nullptr;
        // Only our own capture: ReleaseCapture would otherwise end a capture
        // another window of this thread holds.
        if (window != nullptr && GetCapture() == window)
            ReleaseCapture();
    }

protected:
    // The derived destructor calls this first, before its controls and images
    // go: from then on no message can reach the editor, so nothing can touch
    // a control that is already destroyed. Destroying the window also ends a
    // mouse capture a control still holds.
    void closeWindow() {
        capturedControl = nullptr;
        HWND w = window;
        window = nullptr;
        if (w == nullptr)
            return;
        SetWindowLongPtrA(w, GWLP_USERDATA, 0);
        DestroyWindow(w);
    }

    // The library's module handle: window class, window and image resources.
    HINSTANCE moduleHandle;
    // The editor window; null until created and after destruction.
    HWND window = nullptr;
    // Off-screen 32-bit bitmap the frame is composed in before it goes to the
    // window, so a repaint never shows an intermediate state.
    LICE_SysBitmap backBuffer;
    // The control holding the mouse capture; null when none.
    Control* capturedControl = nullptr;
    // The plug-in that owns this editor; not owned.
    IEditController* plugin;
    // The controls in paint and hit-test order; not owned (members of the
    // derived class), filled by the derived constructor.
    Control* controls[N] = {};
    // The panel image painted under the controls; owned by the derived class.
    LICE_IBitmap* background = nullptr;

private:
    static void registerWindowClass(HINSTANCE module) {
        WNDCLASSA windowClass{};
        windowClass.style = CS_DBLCLKS; // double-clicks arrive as WM_LBUTTONDBLCLK
        windowClass.lpfnWndProc = &windowProc;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = editorWindowClassName;
        RegisterClassA(&windowClass);
    }

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            return 0;
        }
        auto* self = reinterpret_cast<Editor*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self == nullptr)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        return self->handleMessage(hwnd, message, wParam, lParam);
    }

    // Signed window coordinates: left of or above the window (possible while
    // a control holds the capture) they are negative.
    static int signedLow(LPARAM v) { return static_cast<short>(static_cast<uint32_t>(v) & 0xFFFF); }
    static int signedHigh(LPARAM v) { return static_cast<short>((static_cast<uint32_t>(v) >> 16) & 0xFFFF); }

    LRESULT handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        const int x = signedLow(lParam);
        const int y = signedHigh(lParam);
        switch (message) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_MOUSEMOVE: {
            MouseModifiers mods;
            mods.shift = (wParam & MK_SHIFT) != 0;
            mods.control = (wParam & MK_CONTROL) != 0;
            routeMouse(controls, capturedControl, x, y,
                       [mods](Control& c, int cx, int cy) { c.mouseMove(cx, cy, mods); });
            return 0;
        }
        case WM_LBUTTONDOWN:
            routeMouse(controls, capturedControl, x, y, [](Control& c, int cx, int cy) { c.mouseDown(cx, cy); });
            return 0;
        case WM_LBUTTONUP:
            routeMouse(controls, capturedControl, x, y, [](Control& c, int cx, int cy) { c.mouseUp(cx, cy); });
            return 0;
        case WM_LBUTTONDBLCLK:
            routeMouse(controls, capturedControl, x, y,
                       [](Control& c, int cx, int cy) { c.mouseDoubleClick(cx, cy); });
            return 0;
        case WM_MOUSEWHEEL: {
            // The wheel's position comes in screen coordinates.
            RECT screen{};
            GetWindowRect(hwnd, &screen);
            const int keys = static_cast<int>(static_cast<uint32_t>(wParam) & 0xFFFF);
            const int delta = static_cast<short>((static_cast<uint32_t>(wParam) >> 16) & 0xFFFF);
            // Truncated towards zero: less than a full notch is no notch.
            const int notches = delta / wheelDeltaPerNotch;
            routeMouse(controls, capturedControl, x - screen.left, y - screen.top,
                       [keys, notches](Control& c, int cx, int cy) { c.mouseWheel(cx, cy, keys, notches); });
            return 0;
        }
        case WM_CAPTURECHANGED:
            // Another window took the capture in the middle of a drag (a
            // system dialog, a window switch): the drag ends as if released
            // where the pointer is, so the control does not go on dragging
            // with no button held.
            if (capturedControl != nullptr && reinterpret_cast<HWND>(lParam) != hwnd) {
                Control* c = capturedControl;
                capturedControl = nullptr;
                POINT p{};
                GetCursorPos(&p);
                ScreenToClient(hwnd, &p);
                c->mouseUp(p.x - c->bounds.left, p.y - c->bounds.top);
            }
            return 0;
        case WM_NCDESTROY:
            // The host destroyed its frame (and with it this child window)
            // before closing the editor: forget the handle so nothing is ever
            // sent to it again.
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            window = nullptr;
            capturedControl = nullptr;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        default:
            if (message == editorUpdateMessage()) {
                plugin->applyPendingEditorUpdates();
                return 0;
            }
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
    }

    // Composes the update rectangle in the back buffer (panel image, then
    // every control touching it, whole, in list order) and copies just that
    // rectangle to the window. Allocates nothing.
    void paint() {
        RECT r{};
        GetUpdateRect(window, &r, FALSE);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        const int w = r.right - r.left;
        const int h = r.bottom - r.top;
        if (w > 0 && h > 0) {
            blit(&backBuffer, background, r.left, r.top, r.left, r.top, w, h, BlitMode::copy);
            const PixelRect update{r.left, r.top, r.right, r.bottom};
            for (Control* c : controls)
                if (c != nullptr && intersects(c->bounds, update))
                    c->draw(backBuffer);
            if (dc != nullptr && backBuffer.dc() != nullptr)
                BitBlt(dc, r.left, r.top, w, h, backBuffer.dc(), r.left, r.top, SRCCOPY);
        }
        EndPaint(window, &ps);
    }
};

} // namespace zem
