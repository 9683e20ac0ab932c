#include "ui/editor.h"

#include <utility>

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

bool Editor::Images::load(NativeModule module, zem::Scale s) {
    auto image = [module, s](int id) { return std::unique_ptr<LICE_IBitmap>(loadLibraryImage(module, imageIdAt(id, s))); };
    scale = s;
    panel = image(panelImageId);
    knob = image(knobImageId);
    sliderHandle = image(sliderHandleImageId);
    lampOn = image(lampOnImageId);
    lampOff = image(lampOffImageId);
    label = image(versionLabelImageId);
    menu = image(zoomMenuImageId);
    menuLit = image(zoomMenuLitImageId);
    menuCheck = image(zoomCheckImageId);
    return panel && knob && sliderHandle && lampOn && lampOff;
}

Editor::Images Editor::imagesFor(NativeModule module, zem::Scale wanted) {
    Images images;
    if (!images.load(module, wanted) && wanted != zem::Scale())
        images.load(module, zem::Scale());
    return images;
}

Editor::Editor(NativeModule moduleHandle, zem::IEditController* plugin, NativeWindow parent, zem::Scale scale,
               bool zoomMenu)
    : zem::Editor<editorSlots>(moduleHandle, plugin, parent, scale.pixels(width), scale.pixels(height)),
      module(moduleHandle),
      zoomMenuOffered(zoomMenu),
      images(imagesFor(moduleHandle, scale)),
      versionLabel(versionLabelBox, this, nullptr),
      panel(this, imagesOf(images.knob.get(), images.sliderHandle.get(), images.lampOn.get(), images.lampOff.get())),
      menu(this, *this) {
    controls[0] = &versionLabel;
    for (int i = 0; i < panelControlCount; ++i)
        controls[i + 1] = panel.controls[i];
    placeControls();
    // The library had only the 100 % images.
    if (images.scale != scale)
        resizeWindow(images.scale.pixels(width), images.scale.pixels(height));
}

Editor::~Editor() {
    closeWindow();
}

void Editor::placeControls() {
    const zem::Scale s = images.scale;
    background = images.panel.get();
    versionLabel.place(s.rect(versionLabelBox), images.label.get(), s);
    panel.place(s, imagesOf(images.knob.get(), images.sliderHandle.get(), images.lampOn.get(), images.lampOff.get()));
    menu.setImages(images.menu.get(), images.menuLit.get(), images.menuCheck.get(), s);
}

bool Editor::setScale(zem::Scale scale) {
    if (scale == images.scale)
        return true;
    Images next;
    if (!next.load(module, scale) || !resizeWindow(scale.pixels(width), scale.pixels(height)))
        return false;
    hideOverlay();
    std::swap(images, next);
    placeControls();
    // `next` now holds the old images, which nothing points to any more.
    return true;
}

void Editor::contextMenu(int x, int y) {
    if (!zoomMenuOffered || !menu.complete())
        return;
    menu.openAt(x, y, images.scale.pixels(width), images.scale.pixels(height), images.scale);
    showOverlay(&menu);
}

void Editor::zoomPicked(int percent) {
    hideOverlay();
    plugin->zoomChosen(percent);
}

void Editor::controlChanged(int parameterIndex) {
    panel.controlChanged(*plugin, parameterIndex);
}

void Editor::updateControl(int parameterIndex) {
    panel.updateControl(*plugin, parameterIndex);
}

} // namespace Veldane
