#pragma once
// The CLAP host's window around a plug-in's editor: a top-level frame of its
// own, whose handle the plug-in gets through the gui extension, and what the
// host can see of the windows the plug-in puts inside it. One implementation
// per window system (gui_frame_x11.cpp on the display DISPLAY names,
// gui_frame_win32.cpp); everything runs on the thread that created it.
#include <memory>

#include "framework/clap/extensions.h"
#include "gfx/bitmap.h"

namespace claphost {

class Frame {
public:
    // A frame of width x height pixels; null without a display.
    static std::unique_ptr<Frame> create(int width, int height);
    virtual ~Frame() = default;

    // The frame as a clap_window of the platform's window api.
    virtual clap_window window() const = 0;
    // Delivers what the window system has waiting (messages, paints).
    virtual void pump() = 0;
    // Gives the frame's client area a new size, as a host does when its
    // plug-in asks for one.
    virtual void resize(int width, int height) = 0;
    // The windows inside the frame.
    virtual int childCount() = 0;
    // The first one's size; false when there is none.
    virtual bool childSize(int& width, int& height) = 0;
    // The first one's pixels as the screen shows them; false when it cannot
    // be read.
    virtual bool grabChild(LICE_MemBitmap& into) = 0;
    // Whether they hold more than one colour (a painted panel does; an
    // unpainted window does not).
    bool childShowsPicture();
};

// Whether an image of 0x00RRGGBB words holds more than one colour.
bool moreThanOneColour(const unsigned* pixels, int width, int height, int rowSpan);

// Readies the process for a plug-in's windows before anything asks a
// plug-in about them: on Windows it becomes per-monitor DPI aware, as hosts
// of today are, so a plug-in sees the screen's DPI; nothing elsewhere.
void prepareWindows();

} // namespace claphost
