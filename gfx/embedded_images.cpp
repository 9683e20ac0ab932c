#include "gfx/library_images.h"
#include "gfx/png_decode.h"

LICE_IBitmap* loadLibraryImage(NativeModule module, int id)
{
    const auto* table = static_cast<const EmbeddedImages*>(module);
    if (table == nullptr)
        return nullptr;
    for (int i = 0; i < table->count; ++i)
        if (table->images[i].id == id)
            return decodePng(table->images[i].bytes, table->images[i].size);
    return nullptr;
}
