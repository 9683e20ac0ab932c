#pragma once
// Loading the editor's images from the plug-in's resources (type "PNG").
// Windows only; the decoding itself is gfx/png_decode.h.

#include <windows.h>

#include "gfx/bitmap.h"

// Decodes the resource that the caller found with FindResourceA(module, id,
// "PNG"). Answers a new bitmap owned by the caller, or null when the resource is
// missing, 7 bytes or smaller, not a PNG, or rejected by the decoder.
LICE_IBitmap* loadPngResource(HINSTANCE module, HRSRC resource);
