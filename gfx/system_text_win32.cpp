#include "gfx/system_text.h"

#include <windows.h>

SystemFont* SystemFont::create(const char* face, int cellHeight)
{
    HFONT font = CreateFontA(cellHeight, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_OUTLINE_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, VARIABLE_PITCH, face);
    return font != nullptr ? new SystemFont(font) : nullptr;
}

SystemFont::~SystemFont()
{
    DeleteObject(static_cast<HFONT>(handle));
}

void SystemFont::drawLine(LICE_IBitmap& target, const PixelRect& box, const char* text, std::uint32_t rgb) const
{
    HDC dc = static_cast<HDC>(target.deviceContext());
    if (dc == nullptr)
        return;
    // Put back afterwards, so that the font is never deleted while still selected.
    HGDIOBJ previousFont = SelectObject(dc, static_cast<HFONT>(handle));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
    RECT r{box.left, box.top, box.right, box.bottom};
    DrawTextA(dc, text, -1, &r, DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    if (previousFont != nullptr)
        SelectObject(dc, previousFont);
    // GDI may batch the text; whatever is drawn next may write the bitmap's
    // pixels directly, so the text must be in them first.
    GdiFlush();
}
