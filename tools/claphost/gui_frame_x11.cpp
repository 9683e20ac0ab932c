// The CLAP host's frame on Linux: an X11 top-level window on a connection of
// the host's own; the editor's child window is found and read back with Xlib.
#include <cstdint>

#include "gfx/bitmap.h"
#include "tools/claphost/gui_frame.h"

// Last: Xlib's macros (None, Bool, Status...) must not meet the headers above.
#include "tools/testhost/x11_capture.h"

namespace claphost {

namespace {

class X11Frame final : public Frame {
public:
    X11Frame(Display* display, Window frame) : display(display), frame(frame) {}
    ~X11Frame() override {
        XDestroyWindow(display, frame);
        XCloseDisplay(display);
    }

    clap_window window() const override {
        clap_window w{};
        w.api = CLAP_WINDOW_API_X11;
        w.x11 = frame;
        return w;
    }
    void pump() override { XSync(display, False); }
    void resize(int width, int height) override {
        XResizeWindow(display, frame, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XSync(display, False);
    }
    int childCount() override { return x11_capture::childCount(display, frame); }
    bool childSize(int& width, int& height) override {
        XWindowAttributes a{};
        const Window child = x11_capture::firstChild(display, frame);
        if (child == 0 || !XGetWindowAttributes(display, child, &a)) return false;
        width = a.width;
        height = a.height;
        return true;
    }
    bool grabChild(LICE_MemBitmap& into) override {
        const Window child = x11_capture::firstChild(display, frame);
        return child != 0 && x11_capture::grab(display, child, into);
    }

private:
    Display* display;
    Window frame;
};

} // namespace

void prepareWindows() {}

std::unique_ptr<Frame> Frame::create(int width, int height) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;
    const Window frame = x11_capture::createFrame(display, "claphost", width, height);
    if (frame == 0) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<X11Frame>(display, frame);
}

} // namespace claphost
