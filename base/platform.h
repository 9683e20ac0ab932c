#pragma once
// What platform-neutral code names of the platform's window system, in types
// of its own. The bitmap layer and the framework both use them, so they live
// below both; only files that are platform code themselves (the Win32 window,
// the DLL entry, an X11 window) turn them into the platform's own types.

#include <cstdint>

// A rectangle in pixels; right and bottom lie just outside it (left + width,
// top + height). Laid out like the Win32 RECT, four 32-bit integers in this
// order, so platform code may hand it over as one.
struct PixelRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// Handles of the window system as portable code passes them on, never looks
// into: a window (an HWND on Windows; an X11 window id elsewhere), the loaded
// library (its HINSTANCE on Windows, from which images load), a device
// context that draws into a bitmap (an HDC on Windows). Null means none.
using NativeWindow = void*;
using NativeModule = void*;
using NativeDrawContext = void*;
