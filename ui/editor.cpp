#include "ui/editor.h"

#include "gfx/png_resource.h"

namespace Veldane {

namespace {

// Where the version label sits: under the wordmark in the FILTER section.
constexpr int labelLeft = 267;
constexpr int labelTop = 300;
constexpr int labelWidth = 100;
constexpr int labelHeight = 16;

// The image with resource id `id`, or null when the library lacks it or it
// does not decode.
LICE_IBitmap* loadImage(HINSTANCE module, int id) {
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
    return resource != nullptr ? loadPngResource(module, resource) : nullptr;
}

PanelImages imagesOf(LICE_IBitmap* knob, LICE_IBitmap* handle, LICE_IBitmap* on, LICE_IBitmap* off) {
    PanelImages images;
    images.knob = knob;
    images.sliderHandle = handle;
    images.lampOn = on;
    images.lampOff = off;
    return images;
}

} // namespace

Editor::Editor(NativeModule moduleHandle, zem::IEditController* plugin, NativeWindow parent)
    : zem::Editor<editorSlots>(static_cast<HINSTANCE>(moduleHandle), plugin, static_cast<HWND>(parent), width, height),
      knobImage(loadImage(this->moduleHandle, knobImageId)),
      sliderHandleImage(loadImage(this->moduleHandle, sliderHandleImageId)),
      lampOnImage(loadImage(this->moduleHandle, lampOnImageId)),
      lampOffImage(loadImage(this->moduleHandle, lampOffImageId)),
      versionLabel(zem::makeRect(labelLeft, labelTop, labelWidth, labelHeight), this),
      panel(this, imagesOf(knobImage.get(), sliderHandleImage.get(), lampOnImage.get(), lampOffImage.get())) {
    // Declared first so that it is destroyed last, the panel image is still
    // loaded after the controls exist.
    panelImage.reset(loadImage(this->moduleHandle, panelImageId));
    background = panelImage.get();
    controls[0] = &versionLabel;
    for (int i = 0; i < panelControlCount; ++i)
        controls[i + 1] = panel.controls[i];
}

Editor::~Editor() {
    closeWindow();
}

void Editor::controlChanged(int parameterIndex) {
    panel.controlChanged(*plugin, parameterIndex);
}

void Editor::updateControl(int parameterIndex) {
    panel.updateControl(*plugin, parameterIndex);
}

} // namespace Veldane
