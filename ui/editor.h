#pragma once
// Veldane's editor window: the panel image, the version label and the panel's
// parameter controls (ui/panel.h), on the framework's window
// (zem::Editor). Windows only.
//
// Threads: construction, destruction, controlChanged and updateControl run on
// the host's user-interface thread. Parameter changes on other threads reach
// updateControl through the plug-in's hand-over (PluginWithEditor), never
// directly.

#include <memory>

#include <windows.h>

#include "framework/editor.h"
#include "framework/editor_window.h"
#include "gfx/bitmap.h"
#include "ui/label_control.h"
#include "ui/panel.h"

namespace Veldane {

// Resource ids of the images in the library (type "PNG").
constexpr int panelImageId = 101;
constexpr int knobImageId = 102;
constexpr int sliderHandleImageId = 103;
constexpr int lampOnImageId = 104;
constexpr int lampOffImageId = 105;

// Control slots of the editor: the version label and the panel's controls.
constexpr int editorSlots = 1 + panelControlCount;

class Editor : public zem::Editor<editorSlots> {
public:
    // The panel's fixed size in pixels (its background image).
    static constexpr int width = panelWidth;
    static constexpr int height = panelHeight;

    // effEditOpen: builds the window inside parent, loads the images, builds
    // the controls. The controls show their parameters once the plug-in has
    // called updateControl for every index.
    Editor(NativeModule moduleHandle, zem::IEditController* plugin, NativeWindow parent);
    // effEditClose: closes the window first, then the controls and images go.
    ~Editor() override;

    // A control edit: parameter, plug-in, host (synth/panel.h).
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
    LabelControl versionLabel;
    Panel panel;
};

} // namespace Veldane
