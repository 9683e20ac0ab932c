#pragma once
// What a program needs to host a plug-in editor in an X11 window of its own
// and take its picture: a top-level frame, the children inside it, reading a
// window's pixels back. Shared by the test host and the X11 editor tests.
// Linux only; the host's display connection is its own, and is used on one
// thread.

#include <X11/Xlib.h>

#include "gfx/bitmap.h"

namespace x11_capture {

// A mapped top-level window at the screen's top-left corner, width x height
// pixels: the stand-in for a host's window around an editor. 0 when the
// server refuses it.
Window createFrame(Display* display, const char* title, int width, int height);

// The windows inside w, in stacking order (bottom first).
int childCount(Display* display, Window w);
// The first of them, or 0 when w has none.
Window firstChild(Display* display, Window w);

// w's pixels as the screen shows them: `into` is resized to w's size and
// filled with 0x00RRGGBB words. False when w cannot be read (not mapped, gone).
bool grab(Display* display, Window w, LICE_MemBitmap& into);

} // namespace x11_capture
