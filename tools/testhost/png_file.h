#pragma once
// Writing a window's picture as PNG: shared by the test hosts and tests of
// every platform.

#include "gfx/bitmap.h"

namespace png_file {

// Writes image as an 8-bit RGB PNG (alpha is dropped: a window carries none).
// On failure no file is left behind, so a truncated picture is never
// mistaken for a good one.
bool writePng(const char* path, LICE_IBitmap& image);

} // namespace png_file
