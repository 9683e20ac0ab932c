// The test host's editor frame on Windows: a Win32 top-level window, the
// editor's child window painted through the message pump, its pixels copied
// back with GDI.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "tools/testhost/editor_command.h"
#include "tools/testhost/window_capture.h"

namespace testhost {

namespace {

// Grows the frame until its client area holds the whole editor window, which
// would otherwise be clipped, and its hidden part missing from the picture.
void fitFrame(HWND frame, HWND editor) {
    RECT inner{};
    GetWindowRect(editor, &inner);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&inner), 2);
    RECT client{};
    GetClientRect(frame, &client);
    if (inner.right <= client.right && inner.bottom <= client.bottom) return;
    RECT outer{0, 0, std::max(inner.right, client.right), std::max(inner.bottom, client.bottom)};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(frame, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(frame, GWL_EXSTYLE)));
    SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

bool captureEditor(LoadedPlugin& plugin, int width, int height, LICE_MemBitmap& picture) {
    HWND frame = window_capture::createFrame("testhost editor", width, height);
    if (!frame) {
        std::fprintf(stderr, "cannot create a window (error %lu); is there a display?\n", GetLastError());
        return false;
    }
    // The answer of effEditOpen varies between plug-ins; the window it puts
    // into the frame is what counts.
    plugin.dispatch(effEditOpen, 0, 0, frame);
    HWND editorWindow = GetWindow(frame, GW_CHILD);
    LICE_SysBitmap grabbed;
    bool captured = false;
    if (editorWindow) {
        fitFrame(frame, editorWindow);
        for (int i = 0; i < kEditorIdleCalls; ++i) {
            plugin.dispatch(effEditIdle);
            window_capture::paintPending(editorWindow);
        }
        captured = window_capture::grab(editorWindow, grabbed);
    }
    plugin.dispatch(effEditClose);
    DestroyWindow(frame);
    window_capture::pump();
    if (!editorWindow) {
        std::fprintf(stderr, "effEditOpen put no window into the host's frame\n");
        return false;
    }
    if (captured) picture.resize(grabbed.width(), grabbed.height()); // answers whether the size changed
    if (!captured || picture.pixels() == nullptr || picture.width() != grabbed.width()) {
        std::fprintf(stderr, "cannot read the editor window's pixels back\n");
        return false;
    }
    blit(&picture, &grabbed, 0, 0, nullptr, BlitMode::copy);
    return true;
}

} // namespace testhost
