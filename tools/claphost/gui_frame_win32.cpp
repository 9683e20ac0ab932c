// The CLAP host's frame on Windows: a Win32 top-level window whose messages
// the host pumps; the editor's child window is found and read back with GDI.
#include <windows.h>

#include "gfx/bitmap.h"
#include "tools/claphost/gui_frame.h"
#include "tools/testhost/window_capture.h"

namespace claphost {

namespace {

class Win32Frame final : public Frame {
public:
    explicit Win32Frame(HWND frame) : frame(frame) {}
    ~Win32Frame() override {
        DestroyWindow(frame);
        window_capture::pump();
    }

    clap_window window() const override {
        clap_window w{};
        w.api = CLAP_WINDOW_API_WIN32;
        w.win32 = frame;
        return w;
    }
    void pump() override {
        window_capture::pump();
        if (HWND child = GetWindow(frame, GW_CHILD)) window_capture::paintPending(child);
    }
    void resize(int width, int height) override {
        window_capture::resizeFrame(frame, width, height);
        pump();
    }
    int childCount() override {
        int n = 0;
        for (HWND c = GetWindow(frame, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) ++n;
        return n;
    }
    bool childSize(int& width, int& height) override {
        RECT r{};
        HWND child = GetWindow(frame, GW_CHILD);
        if (child == nullptr || !GetClientRect(child, &r)) return false;
        width = r.right - r.left;
        height = r.bottom - r.top;
        return true;
    }
    bool grabChild(LICE_MemBitmap& into) override {
        LICE_SysBitmap picture;
        HWND child = GetWindow(frame, GW_CHILD);
        if (child == nullptr || !window_capture::grab(child, picture)) return false;
        into.resize(picture.width(), picture.height());
        if (into.pixels() == nullptr) return false;
        blit(&into, &picture, 0, 0, nullptr, BlitMode::copy);
        return true;
    }

private:
    HWND frame;
};

} // namespace

void prepareWindows() { window_capture::becomeDpiAware(); }

std::unique_ptr<Frame> Frame::create(int width, int height) {
    HWND frame = window_capture::createFrame("claphost", width, height);
    if (frame == nullptr) return nullptr;
    return std::make_unique<Win32Frame>(frame);
}

} // namespace claphost
