#include "tools/testhost/window_capture.h"

#include "tools/testhost/png_file.h"

namespace window_capture {

namespace {

constexpr const char* kFrameClass = "VeldaneCaptureFrame";
// How long paintPending waits for a window to finish painting: a window
// painted by its own WM_PAINT is done after the first round; the rounds
// after it give a window that repaints from posted messages or timers
// about a tenth of a second, and bound the wait for one that never stops.
constexpr int kPaintRounds = 20;
constexpr DWORD kPaintRoundMs = 5;

LRESULT CALLBACK frameProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, message, wp, lp);
}

bool registerFrameClass() {
    static const bool registered = [] {
        WNDCLASSA frameClass{};
        frameClass.lpfnWndProc = &frameProc;
        frameClass.hInstance = GetModuleHandleA(nullptr);
        frameClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
        frameClass.lpszClassName = kFrameClass;
        return RegisterClassA(&frameClass) != 0;
    }();
    return registered;
}

// Whether any part of w or of a window inside it still waits for WM_PAINT.
BOOL CALLBACK childNeedsPaint(HWND child, LPARAM found) {
    if (GetUpdateRect(child, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

bool needsPaint(HWND w) {
    bool found = GetUpdateRect(w, nullptr, FALSE) != 0;
    if (!found) EnumChildWindows(w, &childNeedsPaint, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

HWND createFrame(const char* title, int width, int height) {
    if (!registerFrameClass()) return nullptr;
    constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
    HWND frame = CreateWindowExA(0, kFrameClass, title, kStyle, 0, 0, outer.right - outer.left,
                                 outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    pump();
    return frame;
}

void resizeFrame(HWND frame, int width, int height) {
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(frame, GWL_STYLE)), FALSE, 0);
    SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void becomeDpiAware() {
    // SetProcessDpiAwarenessContext came with Windows 10 1703; looked up at
    // run time. The context is a handle whose value the system fixes.
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto set = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext")));
    const HANDLE perMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    if (set != nullptr) set(perMonitorAwareV2);
}

void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool paintPending(HWND w) {
    for (int round = 0; round < kPaintRounds; ++round) {
        // Sends WM_PAINT now to w and its children where part of them is
        // invalid; adds nothing to what is invalid.
        RedrawWindow(w, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        pump();
        if (!needsPaint(w)) return true;
        Sleep(kPaintRoundMs);
    }
    return false;
}

bool grab(HWND w, LICE_SysBitmap& into) {
    paintPending(w);
    RECT client{};
    if (!GetClientRect(w, &client) || client.right <= 0 || client.bottom <= 0) return false;
    into.resize(client.right, client.bottom); // answers whether the size changed, not whether it worked
    if (!into.pixels() || into.width() != client.right || into.height() != client.bottom) return false;
    HDC dc = GetDC(w);
    if (!dc) return false;
    const bool copied = BitBlt(into.dc(), 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY) != 0;
    ReleaseDC(w, dc);
    GdiFlush(); // the DIB section's pixels are complete only after GDI's batch
    return copied;
}

bool writePng(const char* path, LICE_IBitmap& image) { return png_file::writePng(path, image); }

} // namespace window_capture
