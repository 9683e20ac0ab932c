#pragma once
// The few Windows types that platform-neutral code names. The bitmap layer
// and the framework both use them, so they live below both. On Windows they
// come from <windows.h>; the native build, which has no window system, gets
// layout-compatible stand-ins so that bitmaps, controls and the plug-in class
// build and are tested on Linux too.

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cstdint>

struct RECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
using HINSTANCE = void*;
using HWND = void*;
using HDC = void*;
using HRSRC = void*;
#endif
