#include "gfx/png_resource.h"

#include "gfx/library_images.h"
#include "gfx/png_decode.h"

LICE_IBitmap* loadPngResource(HINSTANCE module, HRSRC resource)
{
    if (!resource)
        return nullptr;
    // Eight bytes at least: the PNG signature alone.
    const DWORD size = SizeofResource(module, resource);
    if (size <= 7)
        return nullptr;
    HGLOBAL handle = LoadResource(module, resource);
    if (!handle)
        return nullptr;
    // Resource memory lives as long as the module; there is nothing to unlock
    // or free.
    const void* bytes = LockResource(handle);
    if (!bytes)
        return nullptr;
    return decodePng(static_cast<const unsigned char*>(bytes), size);
}

LICE_IBitmap* loadLibraryImage(NativeModule module, int id)
{
    HINSTANCE instance = static_cast<HINSTANCE>(module);
    return loadPngResource(instance, FindResourceA(instance, MAKEINTRESOURCEA(id), "PNG"));
}
