#pragma once
// Veldane's editor: the panel image, the version label and the panel's
// parameter controls (ui/panel.h), in the framework's editor window
// (zem::Editor, over the platform's window), at one of the scales the
// artwork is drawn at (framework/editor_scale.h), with the zoom menu
// (ui/zoom_menu.h) where the format offers it. Portable: the window system
// is the window layer's business, and the images come from the library
// (gfx/library_images.h).
//
// Threads: construction, destruction, controlChanged, updateControl and idle
// run on the host's user-interface thread. Parameter changes on other
// threads reach updateControl through the plug-in's hand-over
// (PluginWithEditor), never directly.

#include <memory>

#include "framework/editor.h"
#include "framework/editor_scale.h"
#include "framework/editor_window.h"
#include "gfx/bitmap.h"
#include "gfx/library_images.h"
#include "ui/label_control.h"
#include "ui/panel.h"
#include "ui/zoom_menu.h"

namespace Veldane {

// Numbers of the images in the library at 100 %: those of resources/veldane.rc
// and resources/veldane_scaled.rc, and, where the label is not drawn at run
// time, the version label drawn at build time (cmake/x11.cmake). The same
// image drawn at another scale is numbered 100 higher per step
// (imageIdAt): the 150 % panel is 201, the 200 % one 301.
constexpr int panelImageId = 101;
constexpr int knobImageId = 102;
constexpr int sliderHandleImageId = 103;
constexpr int lampOnImageId = 104;
constexpr int lampOffImageId = 105;
constexpr int versionLabelImageId = 106;
constexpr int zoomMenuImageId = 107;
constexpr int zoomMenuLitImageId = 108;
constexpr int zoomCheckImageId = 109;

constexpr int imageIdAt(int id, zem::Scale scale) {
    return id + 100 * scale.index();
}

// Where the library's images are linked in (no resources): the table the
// build generates, which the plug-in hands to the editor as its module.
extern EmbeddedImages libraryImages;

// Where the version label sits: under the wordmark in the FILTER section, its
// text standing on the bottom edge.
constexpr PixelRect versionLabelBox{267, 300, 367, 316};
// The panel area the label may draw into: Windows draws its text unclipped,
// and it runs past the box's right edge, up to the section's separator.
constexpr PixelRect versionLabelArea{267, 300, 392, 316};

// Control slots of the editor: the version label and the panel's controls.
constexpr int editorSlots = 1 + panelControlCount;

class Editor : public zem::Editor<editorSlots>, private ZoomMenu::Listener {
public:
    // The panel's size in panel pixels (its background image at 100 %); at a
    // scale s the window is s.pixels(width) x s.pixels(height).
    static constexpr int width = panelWidth;
    static constexpr int height = panelHeight;
    // The environment variable that sets the scale of every editor that
    // scales, where neither the user's zoom nor the host decides: a factor
    // ("1.5"), taken before the screen's DPI.
    static constexpr const char* scaleVariable = "VELDANE_SCALE";

    // effEditOpen: builds the window inside parent at `scale`, loads the
    // images from the library `moduleHandle`, builds the controls; with
    // zoomMenu, a right-click on the background offers the other sizes. A
    // library without the images of `scale` gets the panel at 100 %. The
    // controls show their parameters once the plug-in has called
    // updateControl for every index.
    Editor(NativeModule moduleHandle, zem::IEditController* plugin, NativeWindow parent,
           zem::Scale scale = zem::Scale(), bool zoomMenu = false);
    // effEditClose: closes the window first, then the controls and images go.
    ~Editor() override;

    // A control edit: parameter, plug-in, host (ui/panel.h).
    void controlChanged(int parameterIndex) override;
    // Shows parameter `parameterIndex`'s current value in its control;
    // indices without a control (the reserved parameter, out of range) do nothing.
    void updateControl(int parameterIndex);

    // The scale the panel is shown at.
    zem::Scale scale() const { return images.scale; }
    // Shows the panel at `scale`: its images, its window's size, every
    // control where it sits at that scale, showing what it showed. False,
    // changing nothing, when the library lacks that scale's images or the
    // window cannot take the size.
    bool setScale(zem::Scale scale);

private:
    // The images the panel is drawn with, all of one scale.
    struct Images {
        zem::Scale scale;
        std::unique_ptr<LICE_IBitmap> panel;        // the background, 702 x 366 at 100 %
        std::unique_ptr<LICE_IBitmap> knob;         // 97 knob frames, 36 x 36 each at 100 %
        std::unique_ptr<LICE_IBitmap> sliderHandle; // 14 x 27 at 100 %
        std::unique_ptr<LICE_IBitmap> lampOn;       // 20 x 11 at 100 %
        std::unique_ptr<LICE_IBitmap> lampOff;      // 20 x 11 at 100 %
        std::unique_ptr<LICE_IBitmap> label;        // null where the system draws the text
        std::unique_ptr<LICE_IBitmap> menu, menuLit, menuCheck; // null where no menu is offered
        // Loads the images of `scale`; false when the background or a
        // control's image is missing.
        bool load(NativeModule module, zem::Scale scale);
    };
    // The images of `wanted`, or of 100 % when the library lacks those.
    static Images imagesFor(NativeModule module, zem::Scale wanted);
    // Points every control, the label and the menu at the images and puts
    // them where they sit at the images' scale.
    void placeControls();

    void contextMenu(int x, int y) override;
    void zoomPicked(int percent) override;

    NativeModule module;
    const bool zoomMenuOffered;
    // Members die in reverse order: the controls before the images they
    // draw.
    Images images;
    LabelControl versionLabel;
    Panel panel;
    ZoomMenu menu;
};

} // namespace Veldane
