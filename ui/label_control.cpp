#include "ui/label_control.h"

#include "gfx/bitmap.h"

namespace {
// Character height of the label in pixels.
constexpr int fontHeight = 14;
// Light pink on the red panel: readable, and quieter than the white legends.
constexpr COLORREF textColour = RGB(255, 180, 180);
} // namespace

LabelControl::LabelControl(const PixelRect& bounds, zem::IEditor* editor)
    : Control(noParameter, bounds, editor),
      font(CreateFontA(fontHeight, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_OUTLINE_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, VARIABLE_PITCH, "Arial"))
{}

LabelControl::~LabelControl()
{
    if (font != nullptr)
        DeleteObject(font);
}

void LabelControl::draw(LICE_IBitmap& target)
{
    HDC dc = static_cast<HDC>(target.deviceContext());
    if (dc == nullptr)
        return;
    HGDIOBJ previousFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour);
    RECT box{bounds.left, bounds.top, bounds.right, bounds.bottom};
    DrawTextA(dc, text, -1, &box, DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    if (previousFont != nullptr)
        SelectObject(dc, previousFont);
    // GDI may batch the text; the controls drawn next write the back buffer's
    // pixels directly, so the text must be in them first.
    GdiFlush();
}
