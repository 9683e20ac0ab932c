// The editor's window on Windows: a child window of the host's, painted from
// a 32-bit DIB section (LICE_SysBitmap) that GDI can also draw text into.
// The system delivers every message through the host's message loop, so the
// idle call has nothing to do.
//
// DPI: the screen's scale is the DPI of the host's window. The window is
// created with the host window's DPI awareness (the thread's awareness
// context is set to it around the creation; a child of another awareness
// than its parent is refused by default): in a per-monitor aware host it is
// per-monitor aware, so the system neither stretches its pixels nor hides a
// change of monitor from it; in a host that is not DPI aware the system
// reports 96 DPI and stretches the host's windows, the panel's with them.
// The functions for this came with Windows 10 (1607) and are looked up at
// run time, so the plug-in still loads on older systems, where the system
// DPI stands for every window.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <new>

#include "framework/platform_window.h"
#include "gfx/sys_bitmap.h"

namespace zem {

namespace {

constexpr const char* editorWindowClassName = "ZemPluginWndClass";
constexpr const char* editorWindowName = "ZemPluginEditorWindow";
// One wheel notch in the units of WM_MOUSEWHEEL's delta.
constexpr int wheelDeltaPerNotch = 120;
// The DPI a factor of 1 stands for.
constexpr double baseDpi = 96.0;
// Messages of Windows 8.1 and 10 that older headers lack: a top-level
// window's DPI changed (the new DPI in wParam's low word), and a child's
// after its parent's did.
constexpr UINT dpiChangedMessage = 0x02E0;
constexpr UINT dpiChangedAfterParentMessage = 0x02E3;

// The newer user32 functions, found at run time; null where the system has
// none. A DPI awareness context is a handle.
using DpiAwarenessContext = HANDLE;

struct DpiFunctions {
    UINT(WINAPI* dpiForWindow)(HWND) = nullptr;
    UINT(WINAPI* dpiForSystem)() = nullptr;
    DpiAwarenessContext(WINAPI* windowContext)(HWND) = nullptr;
    DpiAwarenessContext(WINAPI* setThreadContext)(DpiAwarenessContext) = nullptr;

    DpiFunctions() {
        HMODULE user32 = GetModuleHandleA("user32.dll");
        if (user32 == nullptr) return;
        find(user32, "GetDpiForWindow", dpiForWindow);
        find(user32, "GetDpiForSystem", dpiForSystem);
        find(user32, "GetWindowDpiAwarenessContext", windowContext);
        find(user32, "SetThreadDpiAwarenessContext", setThreadContext);
    }

    template <class Function>
    static void find(HMODULE module, const char* name, Function& into) {
        into = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

const DpiFunctions& dpiFunctions() {
    static const DpiFunctions functions;
    return functions;
}

// The DPI of window w (of the system for null), or 0 when unknown.
UINT dpiOf(HWND w) {
    const DpiFunctions& f = dpiFunctions();
    if (w != nullptr && f.dpiForWindow != nullptr) return f.dpiForWindow(w);
    if (f.dpiForSystem != nullptr) return f.dpiForSystem();
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return 0;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 0;
}

// While it lives, windows this thread creates have the DPI awareness of
// window `like`.
class AwarenessOf {
public:
    explicit AwarenessOf(HWND like) {
        const DpiFunctions& f = dpiFunctions();
        if (like == nullptr || f.windowContext == nullptr || f.setThreadContext == nullptr) return;
        if (DpiAwarenessContext context = f.windowContext(like)) previous = f.setThreadContext(context);
    }
    ~AwarenessOf() {
        if (previous != nullptr) dpiFunctions().setThreadContext(previous);
    }
    AwarenessOf(const AwarenessOf&) = delete;
    AwarenessOf& operator=(const AwarenessOf&) = delete;

private:
    DpiAwarenessContext previous = nullptr;
};

// Editor windows alive in the process, all plug-in instances together: the
// window class is registered when the first appears and unregistered when the
// last goes. User-interface thread only.
int liveWindowCount = 0;

// The private message that tells an editor window to apply parameter changes
// marked by other threads. A registered message: unique in the system, so no
// other window mistakes it for one of its own.
UINT editorUpdateMessage() {
    static const UINT message = RegisterWindowMessageA("ZemPluginEditorUpdate");
    return message;
}

// Signed window coordinates: left of or above the window (possible while a
// control holds the capture) they are negative.
int signedLow(LPARAM v) { return static_cast<short>(static_cast<uint32_t>(v) & 0xFFFF); }
int signedHigh(LPARAM v) { return static_cast<short>((static_cast<uint32_t>(v) >> 16) & 0xFFFF); }

class Win32Window final : public PlatformWindow {
public:
    Win32Window(HINSTANCE module, HWND parent, int width, int height, WindowClient& client)
        : module(module), client(client) {
        if (liveWindowCount++ == 0) registerWindowClass(module);
        {
            AwarenessOf awareness(parent);
            window = CreateWindowExA(0, editorWindowClassName, editorWindowName, WS_CHILD | WS_VISIBLE, 0, 0, width,
                                     height, parent, nullptr, module, this);
        }
        backBuffer.resize(width, height);
    }

    ~Win32Window() override {
        HWND w = window;
        window = nullptr;
        if (w != nullptr) {
            // Nothing reaches the client from here on, not even the capture
            // change that destroying the window causes.
            SetWindowLongPtrA(w, GWLP_USERDATA, 0);
            DestroyWindow(w);
        }
        if (--liveWindowCount == 0) UnregisterClassA(editorWindowClassName, module);
    }

    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    NativeWindow handle() const override { return window; }

    void invalidate(const PixelRect& r) override {
        // InvalidateRect with a null window would repaint every window on the desktop.
        if (window == nullptr) return;
        RECT copy{r.left, r.top, r.right, r.bottom};
        InvalidateRect(window, &copy, FALSE);
    }

    void captureMouse() override {
        if (window != nullptr) SetCapture(window);
    }

    void releaseMouse() override {
        // Only our own capture: ReleaseCapture would otherwise end a capture
        // another window of this thread holds.
        if (window != nullptr && GetCapture() == window) ReleaseCapture();
    }

    void idle() override {}

    bool resize(int width, int height) override {
        if (window == nullptr || width <= 0 || height <= 0) return false;
        const int oldWidth = backBuffer.width(), oldHeight = backBuffer.height();
        backBuffer.resize(width, height);
        if (backBuffer.pixels() == nullptr) {
            // No memory for the new size: keep the old one.
            backBuffer.resize(oldWidth, oldHeight);
            return false;
        }
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(window, nullptr, FALSE);
        return true;
    }

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
        auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
        return self->handleMessage(hwnd, message, wParam, lParam);
    }

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
            client.mouseMove(x, y, mods);
            return 0;
        }
        case WM_LBUTTONDOWN:
            client.mouseDown(x, y);
            return 0;
        case WM_LBUTTONUP:
            client.mouseUp(x, y);
            return 0;
        case WM_LBUTTONDBLCLK:
            client.mouseDoubleClick(x, y);
            return 0;
        case WM_RBUTTONDOWN:
            client.rightMouseDown(x, y);
            return 0;
        case dpiChangedMessage:
            client.screenFactorChanged(LOWORD(wParam) / baseDpi);
            return 0;
        case dpiChangedAfterParentMessage:
            if (const UINT dpi = dpiOf(hwnd)) client.screenFactorChanged(dpi / baseDpi);
            return 0;
        case WM_MOUSEWHEEL: {
            // The wheel's position comes in screen coordinates.
            RECT screen{};
            GetWindowRect(hwnd, &screen);
            const int keys = static_cast<int>(static_cast<uint32_t>(wParam) & 0xFFFF);
            const int delta = static_cast<short>((static_cast<uint32_t>(wParam) >> 16) & 0xFFFF);
            // Truncated towards zero: less than a full notch is no notch.
            client.mouseWheel(x - screen.left, y - screen.top, keys, delta / wheelDeltaPerNotch);
            return 0;
        }
        case WM_CAPTURECHANGED:
            // Another window took the capture in the middle of a drag (a
            // system dialog, a window switch).
            if (reinterpret_cast<HWND>(lParam) != hwnd) {
                POINT p{};
                GetCursorPos(&p);
                ScreenToClient(hwnd, &p);
                client.captureLost(p.x, p.y);
            }
            return 0;
        case WM_NCDESTROY:
            // The host destroyed its frame (and with it this child window)
            // before closing the editor: forget the handle so nothing is ever
            // sent to it again.
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            window = nullptr;
            client.windowDestroyed();
            return DefWindowProcA(hwnd, message, wParam, lParam);
        default:
            if (message == editorUpdateMessage()) {
                client.woken();
                return 0;
            }
            return DefWindowProcA(hwnd, message, wParam, lParam);
        }
    }

    // Has the client compose the update rectangle in the back buffer and
    // copies just that rectangle to the window. Allocates nothing.
    void paint() {
        RECT r{};
        GetUpdateRect(window, &r, FALSE);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (r.right > r.left && r.bottom > r.top) {
            client.paint(backBuffer, PixelRect{r.left, r.top, r.right, r.bottom});
            if (dc != nullptr && backBuffer.dc() != nullptr)
                BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, backBuffer.dc(), r.left, r.top,
                       SRCCOPY);
        }
        EndPaint(window, &ps);
    }

    // The library's module handle: window class and window.
    HINSTANCE module;
    WindowClient& client;
    // The editor window; null until created and after destruction.
    HWND window = nullptr;
    // Off-screen 32-bit bitmap the frame is composed in before it goes to the
    // window, so a repaint never shows an intermediate state.
    LICE_SysBitmap backBuffer;
};

} // namespace

std::unique_ptr<PlatformWindow> PlatformWindow::create(NativeModule module, NativeWindow parent, int width, int height,
                                                       WindowClient& client) {
    return std::unique_ptr<PlatformWindow>(new (std::nothrow) Win32Window(
        static_cast<HINSTANCE>(module), static_cast<HWND>(parent), width, height, client));
}

bool PlatformWindow::wake(NativeWindow w) {
    return w != nullptr && PostMessageA(static_cast<HWND>(w), editorUpdateMessage(), 0, 0) != 0;
}

double PlatformWindow::screenFactor(NativeWindow parent) {
    return dpiOf(static_cast<HWND>(parent)) / baseDpi;
}

} // namespace zem
