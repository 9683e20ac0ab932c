#pragma once
// Veldane's editor: the panel image, the version label and the panel's
// parameter controls (ui/panel.h), in the framework's editor window
// (zem::Editor, over the platform's window). Portable: the window system is
// the window layer's business, and the images come from the library
// (gfx/library_images.h).
//
// Threads: construction, destruction, controlChanged, updateControl and idle
// run on the host's user-interface thread. Parameter changes on other
// threads reach updateControl through the plug-in's hand-over
// (PluginWithEditor), never directly.

#include <memory>

#include "framework/editor.h"
#include "framework/editor_window.h"
#include "gfx/bitmap.h"
#include "gfx/library_images.h"
#include "ui/label_control.h"
#include "ui/panel.h"

namespace Veldane {

// Numbers of the images in the library: those of resources/veldane.rc, and,
// where the label is not drawn at run time, the version label drawn at build
// time (its number is also in cmake/ui-images.cmake).
constexpr int panelImageId = 101;
constexpr int knobImageId = 102;
constexpr int sliderHandleImageId = 103;
constexpr int lampOnImageId = 104;
constexpr int lampOffImageId = 105;
constexpr int versionLabelImageId = 106;

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

class Editor : public zem::Editor<editorSlots> {
public:
    // The panel's fixed size in pixels (its background image).
    static constexpr int width = panelWidth;
    static constexpr int height = panelHeight;

    // effEditOpen: builds the window inside parent, loads the images from
    // the library `moduleHandle`, builds the controls. The controls show
    // their parameters once the plug-in has called updateControl for every
    // index.
    Editor(NativeModule moduleHandle, zem::IEditController* plugin, NativeWindow parent);
    // effEditClose: closes the window first, then the controls and images go.
    ~Editor() override;

    // A control edit: parameter, plug-in, host (ui/panel.h).
    void controlChanged(int parameterIndex) override;
    // Shows parameter `parameterIndex`'s current value in its control;
    // indices without a control (the reserved parameter, out of range) do nothing.
    void updateControl(int parameterIndex);

private:
    // Members die in reverse order: the controls before the images they
    // draw, the panel image last.
    std::unique_ptr<LICE_IBitmap> panelImage;        // the background, 702 x 366
    std::unique_ptr<LICE_IBitmap> knobImage;         // 97 knob frames, 36 x 36 each
    std::unique_ptr<LICE_IBitmap> sliderHandleImage; // 14 x 27
    std::unique_ptr<LICE_IBitmap> lampOnImage;       // 20 x 11
    std::unique_ptr<LICE_IBitmap> lampOffImage;      // 20 x 11
    std::unique_ptr<LICE_IBitmap> labelImage;        // null where the system draws the text
    LabelControl versionLabel;
    Panel panel;
};

} // namespace Veldane
