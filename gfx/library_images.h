#pragma once
// The images built into a plug-in library, found by number. On Windows they
// are the library's resources of type "PNG" (resources/veldane.rc), and
// `module` is its module handle. Elsewhere a library has no resources, and a
// plug-in must not depend on files beside it: the same PNG files are linked
// in as bytes (an EmbeddedImages table, generated at build time by
// cmake/embed-images.cmake), and `module` points to that table. Either way
// they are decoded by our own decoder (gfx/png_decode.h).

#include <cstddef>

#include "base/platform.h"
#include "gfx/bitmap.h"

// One image linked into the library: a PNG file's bytes.
struct EmbeddedImage {
    int id;                     // the number the editor asks for
    const unsigned char* bytes; // the file's contents; static storage
    std::size_t size;           // bytes in the file
};

// A library's linked-in images; what `module` points to where the system has
// no resources.
struct EmbeddedImages {
    const EmbeddedImage* images;
    int count;
};

// The image numbered id, decoded into a new bitmap owned by the caller; null
// when the library has no such image or it does not decode. Any thread.
LICE_IBitmap* loadLibraryImage(NativeModule module, int id);
