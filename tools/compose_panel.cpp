// Draws the editor panel as it looks right after opening, with every control
// at its parameter's default, and writes it as a PNG for the documentation. It
// builds a plug-in object and the editor's own panel (synth/panel.h) on the
// committed images, so positions, defaults and drawing are the plug-in's.
//
//   compose_panel [RESOURCE_DIR [OUTPUT_PNG]]
//
// Defaults: the source tree's resources/ and docs/images/panel.png. The version
// label is left out: it is no committed image (Windows draws it with a system
// font at run time, the Linux build draws its image from the version).

#include <png.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "framework/editor.h"
#include "gfx/bitmap.h"
#include "gfx/png_decode.h"
#include "synth/parameters.h"
#include "ui/panel.h"

namespace {

// An editor with no window: the panel's controls ask it for repaints and
// captures, which a still picture does not need.
class StillEditor : public zem::IEditor {
public:
    void invalidateRect(const PixelRect&) override {}
    void captureMouse(zem::Control*) override {}
    void releaseMouse() override {}
    void controlChanged(int) override {}
};

std::unique_ptr<LICE_MemBitmap> load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::unique_ptr<LICE_MemBitmap> b(decodePng(bytes.data(), bytes.size()));
    if (!b)
        std::fprintf(stderr, "compose_panel: cannot decode %s\n", path.c_str());
    return b;
}

// The bitmap's memory is B, G, R, A per pixel, which libpng's simplified
// writer takes as it is.
bool writePng(LICE_MemBitmap& b, const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(b.width());
    image.height = static_cast<png_uint_32>(b.height());
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, path.c_str(), 0, b.pixels(), b.rowSpan() * 4, nullptr) != 0;
}

// A fresh parameter set, every parameter at its default, as an editor sees it.
class Defaults : public zem::IEditController {
public:
    zem::Parameter* parameter(int index) override { return params.at(index); }
    void edit(int, float) override {}
    void applyPendingEditorUpdates() override {}

private:
    Veldane::Parameters params;
};

} // namespace

int main(int argc, char** argv)
{
    const std::string resources = argc > 1 ? argv[1] : VELDANE_SOURCE_DIR "/resources";
    const std::string output = argc > 2 ? argv[2] : VELDANE_SOURCE_DIR "/docs/images/panel.png";

    auto panel = load(resources + "/panel.png");
    auto knob = load(resources + "/knob.png");
    auto handle = load(resources + "/slider_handle.png");
    auto lampOn = load(resources + "/lamp_on.png");
    auto lampOff = load(resources + "/lamp_off.png");
    if (!panel || !knob || !handle || !lampOn || !lampOff)
        return 1;

    Defaults defaults;
    StillEditor editor;
    Veldane::PanelImages images;
    images.knob = knob.get();
    images.sliderHandle = handle.get();
    images.lampOn = lampOn.get();
    images.lampOff = lampOff.get();
    Veldane::Panel controls(&editor, images);
    for (int i = 0; i < Veldane::kParamCount; ++i)
        controls.updateControl(defaults, i);
    for (zem::Control* c : controls.controls)
        c->draw(*panel);

    if (!writePng(*panel, output)) {
        std::fprintf(stderr, "compose_panel: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
