// Systems whose plug-ins draw no text at run time (see gfx/system_text.h).
#include "gfx/system_text.h"

SystemFont* SystemFont::create(const char*, int)
{
    return nullptr;
}

SystemFont::~SystemFont() = default;

void SystemFont::drawLine(LICE_IBitmap&, const PixelRect&, const char*, std::uint32_t) const {}
