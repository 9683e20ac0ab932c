// The test host's editor frame on Linux: an X11 top-level window on the
// display DISPLAY names, on a connection of the host's own; the editor puts
// its child window into it and paints in its idle calls, and the child's
// pixels are read back from the screen (XGetImage).
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "tools/testhost/editor_command.h"

// Last: Xlib's macros (None, Bool, Status...) must not meet the headers above.
#include "tools/testhost/x11_capture.h"

namespace testhost {

bool captureEditor(LoadedPlugin& plugin, int width, int height, LICE_MemBitmap& picture) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot open the X display; is there one (scripts/x11-run.sh starts one)?\n");
        return false;
    }
    const Window frame = x11_capture::createFrame(display, "testhost editor", width, height);
    if (frame == 0) {
        std::fprintf(stderr, "cannot create a window on the X display\n");
        XCloseDisplay(display);
        return false;
    }
    // The answer of effEditOpen varies between plug-ins; the window it puts
    // into the frame is what counts.
    plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(frame)));
    XSync(display, False);
    const Window editorWindow = x11_capture::firstChild(display, frame);
    bool captured = false;
    if (editorWindow != 0) {
        // Grown until it holds the whole editor window, which would
        // otherwise be clipped, and its hidden part missing from the picture.
        XWindowAttributes inner{};
        if (XGetWindowAttributes(display, editorWindow, &inner) &&
            (inner.x + inner.width > width || inner.y + inner.height > height)) {
            XResizeWindow(display, frame, static_cast<unsigned>(std::max(width, inner.x + inner.width)),
                          static_cast<unsigned>(std::max(height, inner.y + inner.height)));
        }
        for (int i = 0; i < kEditorIdleCalls; ++i) {
            // Whatever the server has for the editor has reached it first.
            XSync(display, False);
            plugin.dispatch(effEditIdle);
        }
        XSync(display, False);
        captured = x11_capture::grab(display, editorWindow, picture);
    }
    plugin.dispatch(effEditClose);
    XDestroyWindow(display, frame);
    XCloseDisplay(display);
    if (editorWindow == 0) {
        std::fprintf(stderr, "effEditOpen put no window into the host's frame\n");
        return false;
    }
    if (!captured) {
        std::fprintf(stderr, "cannot read the editor window's pixels back\n");
        return false;
    }
    return true;
}

} // namespace testhost
