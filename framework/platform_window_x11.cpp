// The editor's window on X11: a child of the host's window (the id the host
// hands to effEditOpen, or LV2's ui:parent), created on a display connection
// of the editor's own, painted from a 32-bit back buffer with XPutImage.
//
// Xlib connections are not shared between threads here: the editor's
// connection is opened, read and closed on the host's user-interface thread
// only, in effEditOpen, effEditIdle (or LV2's idle call) and effEditClose.
// Events are read in the idle call without ever waiting. Parameter changes
// of other threads are picked up by that same idle call (wake() only answers
// that it will come), so no thread but the UI thread talks to the X server.
//
// Pixels go to the server with XPutImage: a full repaint is one 1 MB
// request (4 MB at 200 %), which a local server takes in a millisecond or
// a few, and repaints during a drag cover a single control. Shared memory
// (MIT-SHM) would save that copy, but not enough to be worth a second path.
//
// The screen's scale is the X server's Xft.dpi resource (the one desktop
// settings and toolkits set for a high-density screen), read from the
// resource string the server keeps on the root window.

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "framework/double_click.h"
#include "framework/platform_window.h"
#include "gfx/bitmap.h"

// Last: Xlib's macros (None, Bool, Status...) must not meet our headers.
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>

namespace zem {

namespace {

// The event sources the window listens to: its exposures, the pointer's
// buttons and moves (the press's implicit grab brings them also from outside
// the window while a button is held), and its own mapping and destruction.
constexpr long eventMask =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | StructureNotifyMask;
// X11's wheel: every notch is a press (and release) of button 4 (away from
// the user) or 5 (towards the user).
constexpr unsigned wheelUpButton = 4;
constexpr unsigned wheelDownButton = 5;
// The DPI a factor of 1 stands for, as on every desktop.
constexpr double baseDpi = 96.0;

// --- Errors -------------------------------------------------------------------
// Xlib has one error handler for the whole process, and its default one ends
// the process. A request of ours can fail through no fault of ours: the host
// may destroy its window, and ours inside it, at any moment, or hand us a
// window id that does not exist on our display. So while editors are open, a
// handler of ours counts the errors of the editors' own connections and
// passes every other error on to the handler it replaced, so the host's own
// connection is treated as before. It may be called on any thread whose
// connection fails; the table it reads is a fixed array of atomics.

constexpr int maxTrappedDisplays = 64;

struct TrappedDisplay {
    std::atomic<Display*> display{nullptr};
    std::atomic<int> errors{0};
};

TrappedDisplay trapped[maxTrappedDisplays];
// Editors whose connection is trapped; UI thread only.
int trapUsers = 0;
XErrorHandler previousHandler = nullptr;

int onXError(Display* display, XErrorEvent* event) {
    for (TrappedDisplay& t : trapped) {
        if (t.display.load() == display) {
            t.errors.fetch_add(1);
            return 0;
        }
    }
    return previousHandler != nullptr ? previousHandler(display, event) : 0;
}

// Enters display into the table; null when the table is full (its errors are
// then the previous handler's, as before any editor opened).
TrappedDisplay* trapErrors(Display* display) {
    if (trapUsers++ == 0) previousHandler = XSetErrorHandler(&onXError);
    for (TrappedDisplay& t : trapped) {
        Display* empty = nullptr;
        if (t.display.compare_exchange_strong(empty, display)) {
            t.errors.store(0);
            return &t;
        }
    }
    return nullptr;
}

void untrapErrors(TrappedDisplay* entry) {
    if (entry != nullptr) entry->display.store(nullptr);
    if (--trapUsers > 0) return;
    // Put the previous handler back, unless someone installed another after
    // ours: theirs stays (it may hand errors on to ours, which stays valid).
    const XErrorHandler current = XSetErrorHandler(previousHandler);
    if (current != &onXError) XSetErrorHandler(current);
}

bool littleEndian() {
    const std::uint32_t one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// --- The window -------------------------------------------------------------------

class X11Window final : public PlatformWindow {
public:
    X11Window(NativeWindow parent, int width, int height, WindowClient& client)
        : client(client), backBuffer(width, height) {
        if (parent == nullptr || backBuffer.pixels() == nullptr) return;
        display = XOpenDisplay(nullptr);
        if (display == nullptr) return;
        errors = trapErrors(display);
        if (!createWindow(static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent)), width, height)) close();
    }

    ~X11Window() override { close(); }

    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    NativeWindow handle() const override {
        return window != 0 && !gone ? reinterpret_cast<NativeWindow>(static_cast<std::uintptr_t>(window)) : nullptr;
    }

    void invalidate(const PixelRect& r) override {
        PixelRect c{r.left < 0 ? 0 : r.left, r.top < 0 ? 0 : r.top, r.right > backBuffer.width() ? backBuffer.width() : r.right,
                    r.bottom > backBuffer.height() ? backBuffer.height() : r.bottom};
        if (c.right <= c.left || c.bottom <= c.top) return;
        if (!hasDirty) {
            dirty = c;
            hasDirty = true;
            return;
        }
        if (c.left < dirty.left) dirty.left = c.left;
        if (c.top < dirty.top) dirty.top = c.top;
        if (c.right > dirty.right) dirty.right = c.right;
        if (c.bottom > dirty.bottom) dirty.bottom = c.bottom;
    }

    bool resize(int width, int height) override {
        if (display == nullptr || window == 0 || gone || width <= 0 || height <= 0) return false;
        if (width == backBuffer.width() && height == backBuffer.height()) return true;
        const int oldWidth = backBuffer.width(), oldHeight = backBuffer.height();
        backBuffer.resize(width, height);
        if (backBuffer.pixels() == nullptr) {
            // No memory for the new size: keep the old one.
            backBuffer.resize(oldWidth, oldHeight);
            describeBackBuffer();
            return false;
        }
        if (!describeBackBuffer()) return false;
        holdSize(width, height);
        XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
        hasDirty = false;
        invalidate(PixelRect{0, 0, width, height});
        return true;
    }

    // The press that started the drag holds X11's implicit grab until its
    // release: every pointer event reaches this window meanwhile, also from
    // outside it. Nothing more to ask of the server.
    void captureMouse() override { captured = true; }
    void releaseMouse() override { captured = false; }

    void idle() override {
        if (display == nullptr) return;
        // XPending reads what has arrived without waiting for more.
        while (!gone && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            handle(event);
        }
        client.woken();
        if (!gone) flush();
    }

private:
    bool createWindow(Window parent, int width, int height) {
        const int screen = DefaultScreen(display);
        Visual* visual = DefaultVisual(display, screen);
        const int depth = DefaultDepth(display, screen);
        // The back buffer's pixels are 0x00RRGGBB words, which a TrueColor
        // visual of 24 or 32 bits with these masks takes as they are: every X
        // server of today offers one as its default. Others get no editor.
        if (visual->c_class != TrueColor || depth < 24 || visual->red_mask != 0xFF0000 ||
            visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF)
            return false;
        XSetWindowAttributes attributes{};
        // No background: the server does not clear what is exposed, so a
        // repaint never flashes.
        attributes.background_pixmap = None;
        attributes.border_pixel = 0;
        // A visual of our own choosing under a parent that may use another
        // needs its own colormap and border.
        attributes.colormap = DefaultColormap(display, screen);
        attributes.event_mask = eventMask;
        window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                               depth, InputOutput, visual, CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask,
                               &attributes);
        holdSize(width, height);
        XMapWindow(display, window);
        gc = XCreateGC(display, window, 0, nullptr);
        // A parent that does not exist on this display shows up here.
        XSync(display, False);
        if (errors == nullptr || errors->errors.load() != 0) return false;
        this->visual = visual;
        this->depth = depth;
        if (!describeBackBuffer()) return false;
        invalidate(PixelRect{0, 0, width, height});
        return true;
    }

    // The panel has one size at a time. A host that sizes the child from its
    // hints (suil, which embeds X11 UIs in GTK hosts such as jalv.gtk3,
    // clamps its allocation to them) neither stretches nor squeezes it.
    void holdSize(int width, int height) {
        XSizeHints hints{};
        hints.flags = PMinSize | PMaxSize | PBaseSize;
        hints.min_width = hints.max_width = hints.base_width = width;
        hints.min_height = hints.max_height = hints.base_height = height;
        XSetWMNormalHints(display, window, &hints);
    }

    // Makes `image` describe the back buffer's pixels as they are now.
    bool describeBackBuffer() {
        forgetImage();
        if (backBuffer.pixels() == nullptr) return false;
        image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                             reinterpret_cast<char*>(backBuffer.pixels()), static_cast<unsigned>(backBuffer.width()),
                             static_cast<unsigned>(backBuffer.height()), 32, backBuffer.rowSpan() * 4);
        if (image == nullptr) return false;
        // The words are in this machine's byte order; Xlib converts for a
        // server of the other order.
        image->byte_order = littleEndian() ? LSBFirst : MSBFirst;
        // A server that packs 24-bit pixels into 3 bytes cannot take our words.
        if (image->bits_per_pixel != 32) {
            forgetImage();
            return false;
        }
        return true;
    }

    void forgetImage() {
        if (image == nullptr) return;
        image->data = nullptr; // the back buffer's pixels; not Xlib's to free
        XDestroyImage(image);
        image = nullptr;
    }

    // Destroys the window and closes the connection; the server frees
    // whatever else the connection held. Errors here (a window the host
    // destroyed a moment ago) are trapped.
    void close() {
        if (display == nullptr) return;
        forgetImage();
        if (window != 0 && !gone) XDestroyWindow(display, window);
        if (gc != nullptr) XFreeGC(display, gc);
        // Gone from the server before the host's next request.
        XSync(display, False);
        XCloseDisplay(display);
        display = nullptr;
        window = 0;
        gc = nullptr;
        untrapErrors(errors);
        errors = nullptr;
    }

    void handle(const XEvent& event) {
        switch (event.type) {
        case Expose:
            invalidate(PixelRect{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                 event.xexpose.y + event.xexpose.height});
            break;
        case ButtonPress:
            pointerAt(event.xbutton.x, event.xbutton.y);
            if (event.xbutton.button == Button1) {
                if (clicks.press(static_cast<std::uint32_t>(event.xbutton.time), event.xbutton.x, event.xbutton.y))
                    client.mouseDoubleClick(event.xbutton.x, event.xbutton.y);
                else
                    client.mouseDown(event.xbutton.x, event.xbutton.y);
            } else if (event.xbutton.button == wheelUpButton || event.xbutton.button == wheelDownButton) {
                client.mouseWheel(event.xbutton.x, event.xbutton.y, keysOf(event.xbutton.state),
                                  event.xbutton.button == wheelUpButton ? 1 : -1);
            } else {
                clicks.reset();
                if (event.xbutton.button == Button3) client.rightMouseDown(event.xbutton.x, event.xbutton.y);
            }
            break;
        case ButtonRelease:
            pointerAt(event.xbutton.x, event.xbutton.y);
            if (event.xbutton.button == Button1) client.mouseUp(event.xbutton.x, event.xbutton.y);
            break;
        case MotionNotify: {
            pointerAt(event.xmotion.x, event.xmotion.y);
            // The button came up where this window could not see it (the
            // grab went elsewhere): the drag ends here, as Windows ends it
            // when the capture changes.
            if (captured && (event.xmotion.state & Button1Mask) == 0) loseCapture();
            MouseModifiers mods;
            mods.shift = (event.xmotion.state & ShiftMask) != 0;
            mods.control = (event.xmotion.state & ControlMask) != 0;
            client.mouseMove(event.xmotion.x, event.xmotion.y, mods);
            break;
        }
        case UnmapNotify:
            // Hidden in the middle of a drag: the grab ended with it.
            if (event.xunmap.window == window && captured) loseCapture();
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window == window) {
                // The host destroyed its window, and ours with it.
                gone = true;
                captured = false;
                client.windowDestroyed();
            }
            break;
        default:
            break;
        }
    }

    void loseCapture() {
        captured = false;
        client.captureLost(pointerX, pointerY);
    }

    void pointerAt(int x, int y) {
        pointerX = x;
        pointerY = y;
    }

    static int keysOf(unsigned state) {
        return ((state & Button1Mask) != 0 ? wheelKeyLeftButton : 0) | ((state & ShiftMask) != 0 ? wheelKeyShift : 0) |
               ((state & ControlMask) != 0 ? wheelKeyControl : 0);
    }

    // Has the client compose what is waiting to be repainted and puts it on
    // screen. The server has it when this returns, so whoever reads the
    // screen next sees it.
    void flush() {
        if (!hasDirty || image == nullptr) return;
        const PixelRect r = dirty;
        hasDirty = false;
        client.paint(backBuffer, r);
        XPutImage(display, window, gc, image, r.left, r.top, r.left, r.top, static_cast<unsigned>(r.right - r.left),
                  static_cast<unsigned>(r.bottom - r.top));
        XSync(display, False);
    }

    WindowClient& client;
    // Where the frame is composed: 0x00RRGGBB words, which image describes
    // to the server.
    LICE_MemBitmap backBuffer;
    Display* display = nullptr; // the editor's own connection; owned
    TrappedDisplay* errors = nullptr; // its entry in the error table
    Window window = 0;          // the editor window; 0 until created
    Visual* visual = nullptr;   // the window's, which the image describes pixels for
    int depth = 0;
    GC gc = nullptr;
    XImage* image = nullptr; // backBuffer as Xlib sees it; the pixels are backBuffer's
    // The part of the window waiting to be repainted, in window pixels.
    PixelRect dirty{0, 0, 0, 0};
    bool hasDirty = false;
    // A control holds the capture (see captureMouse).
    bool captured = false;
    // The host destroyed the window under us.
    bool gone = false;
    // The pointer's last position in the window, for a capture that is lost
    // without an event that tells where.
    int pointerX = 0;
    int pointerY = 0;
    DoubleClickDetector clicks;
};

} // namespace

std::unique_ptr<PlatformWindow> PlatformWindow::create(NativeModule, NativeWindow parent, int width, int height,
                                                       WindowClient& client) {
    return std::unique_ptr<PlatformWindow>(new (std::nothrow) X11Window(parent, width, height, client));
}

bool PlatformWindow::wake(NativeWindow w) {
    return w != nullptr;
}

double PlatformWindow::screenFactor(NativeWindow) {
    // Every screen of a server shares its resources: the parent says nothing more.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 0.0;
    double dpi = 0.0;
    if (const char* resources = XResourceManagerString(display)) {
        XrmInitialize();
        if (XrmDatabase database = XrmGetStringDatabase(resources)) {
            char* type = nullptr;
            XrmValue value{};
            if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr)
                dpi = std::strtod(value.addr, nullptr);
            XrmDestroyDatabase(database);
        }
    }
    XCloseDisplay(display);
    return std::isfinite(dpi) && dpi > 0.0 ? dpi / baseDpi : 0.0;
}

} // namespace zem
