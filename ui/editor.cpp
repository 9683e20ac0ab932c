#include "ui/editor.h"

namespace Veldane {

namespace {

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
    : zem::Editor<editorSlots>(moduleHandle, plugin, parent, width, height),
      panelImage(loadLibraryImage(moduleHandle, panelImageId)),
      knobImage(loadLibraryImage(moduleHandle, knobImageId)),
      sliderHandleImage(loadLibraryImage(moduleHandle, sliderHandleImageId)),
      lampOnImage(loadLibraryImage(moduleHandle, lampOnImageId)),
      lampOffImage(loadLibraryImage(moduleHandle, lampOffImageId)),
      labelImage(loadLibraryImage(moduleHandle, versionLabelImageId)),
      versionLabel(versionLabelBox, this, labelImage.get()),
      panel(this, imagesOf(knobImage.get(), sliderHandleImage.get(), lampOnImage.get(), lampOffImage.get())) {
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
