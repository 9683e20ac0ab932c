#pragma once
// What a program needs to host a plug-in editor in a window of its own and
// take its picture: a top-level frame, the message pump, reading a window's
// pixels back and saving them as PNG. Shared by the test host and the editor
// window tests. Windows only; call everything from the thread that owns the
// windows.

#include <windows.h>

#include "gfx/bitmap.h"
#include "gfx/sys_bitmap.h"

namespace window_capture {

// A visible top-level window, placed at the screen's top-left corner, whose
// client area is width x height pixels: the stand-in for a host's window
// around an editor. Null when the window cannot be created (no display).
HWND createFrame(const char* title, int width, int height);
// Gives a frame of createFrame a client area of width x height pixels.
void resizeFrame(HWND frame, int width, int height);

// Makes this process per-monitor DPI aware, as a host of today is: its
// windows then have the screen's own pixels and DPI, which a plug-in asks
// the host's window for. Nothing on systems without DPI awareness contexts;
// a host that wants a VST 2.4 plug-in's fixed panel as before does not call it.
void becomeDpiAware();

// Dispatches every message already waiting for this thread; returns at once
// when there is none.
void pump();

// Paints what is waiting to be painted in w and its children, pumping
// messages between rounds, until nothing is left or a bounded number of
// rounds has passed. Invalidates nothing, so a picture taken afterwards
// shows only what the window's owner itself asked to repaint. Returns
// whether everything was painted.
bool paintPending(HWND w);

// w's client area as the screen shows it after paintPending: `into` is
// resized to the client area and filled with its pixels (0x00RRGGBB; the
// window carries no alpha). False when the size is empty or a copy failed.
bool grab(HWND w, LICE_SysBitmap& into);

// Writes image as an 8-bit RGB PNG (tools/testhost/png_file.h).
bool writePng(const char* path, LICE_IBitmap& image);

} // namespace window_capture
