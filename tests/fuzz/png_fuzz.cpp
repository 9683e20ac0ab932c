// libFuzzer entry for the PNG decoder: any bytes must give either no image or
// a complete bitmap of the declared size, never a crash, a leak or a read or
// write outside a buffer (the build adds AddressSanitizer and UBSan).

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gfx/png_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LICE_MemBitmap* bitmap = decodePng(data, size);
    if (bitmap) {
        if (!bitmap->pixels() || bitmap->width() <= 0 || bitmap->height() <= 0)
            std::abort();
        // Touch the last pixel: the whole buffer must be there.
        volatile uint32_t last = bitmap->pixels()[bitmap->width() * bitmap->height() - 1];
        (void)last;
        delete bitmap;
    }
    return 0;
}
