#include "tools/testhost/x11_capture.h"

#include <X11/Xutil.h>

namespace x11_capture {

namespace {

// The children of w; XFree them afterwards.
Window* children(Display* display, Window w, unsigned& count) {
    Window root = 0, parent = 0;
    Window* list = nullptr;
    count = 0;
    if (!XQueryTree(display, w, &root, &parent, &list, &count)) return nullptr;
    return list;
}

} // namespace

Window createFrame(Display* display, const char* title, int width, int height) {
    const int screen = DefaultScreen(display);
    Window frame = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                       WhitePixel(display, screen));
    if (frame == 0) return 0;
    XStoreName(display, frame, title);
    XMapWindow(display, frame);
    XSync(display, False);
    return frame;
}

int childCount(Display* display, Window w) {
    unsigned count = 0;
    if (Window* list = children(display, w, count)) XFree(list);
    return static_cast<int>(count);
}

Window firstChild(Display* display, Window w) {
    unsigned count = 0;
    Window* list = children(display, w, count);
    const Window first = count > 0 ? list[0] : 0;
    if (list != nullptr) XFree(list);
    return first;
}

bool grab(Display* display, Window w, LICE_MemBitmap& into) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, w, &attributes) || attributes.map_state != IsViewable) return false;
    XImage* image = XGetImage(display, w, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    into.resize(attributes.width, attributes.height);
    const bool sized = into.pixels() != nullptr && into.width() == attributes.width;
    if (sized) {
        // XGetPixel answers pixel values of the window's visual: 0xRRGGBB
        // on every TrueColor visual of 24 bits and more.
        for (int y = 0; y < attributes.height; ++y)
            for (int x = 0; x < attributes.width; ++x)
                into.pixels()[y * into.rowSpan() + x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0x00FFFFFFu;
    }
    XDestroyImage(image);
    return sized;
}

} // namespace x11_capture
