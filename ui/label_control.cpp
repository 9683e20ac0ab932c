#include "ui/label_control.h"

#include "gfx/bitmap.h"
#include "gfx/system_text.h"

namespace {
// Character cell height of the label in pixels.
constexpr int fontHeight = 14;
// Light pink on the red panel: readable, and quieter than the white legends.
constexpr std::uint32_t textColour = 0xFFB4B4;
} // namespace

const char* const LabelControl::text = VELDANE_VERSION_LABEL;

LabelControl::LabelControl(const PixelRect& bounds, zem::IEditor* editor, LICE_IBitmap* image)
    : Control(noParameter, bounds, editor)
{
    place(bounds, image, zem::Scale());
}

void LabelControl::place(const PixelRect& box, LICE_IBitmap* newImage, zem::Scale newScale)
{
    image = newImage;
    if (image != nullptr) {
        bounds = zem::makeRect(box.left, box.bottom - image->height(), image->width(), image->height());
        font.reset();
    } else {
        bounds = box;
        if (font == nullptr || newScale != scale)
            font.reset(SystemFont::create("Arial", newScale.pixels(fontHeight)));
    }
    scale = newScale;
}

LabelControl::~LabelControl() = default;

void LabelControl::draw(LICE_IBitmap& target)
{
    if (image != nullptr)
        blit(&target, image, bounds.left, bounds.top, nullptr, BlitMode::sourceAlpha);
    else if (font != nullptr)
        font->drawLine(target, bounds, text, textColour);
}
