// Veldane's LV2 UI: the panel of the VST 2.4 editor as an X11 UI
// (ui:X11UI) inside the host's window (ui:parent), living on the host's idle
// calls (ui:idleInterface). It talks to the plug-in only through its control
// ports: an edit goes out as the port's plain value through the host's write
// function, and the host's port events set the UI's own copy of the
// parameters, which the panel shows. The UI is a library of its own in the
// bundle (veldane_ui.so), so the plug-in's library links no window system.
//
// Scale: the host's ui:scaleFactor option (through the options feature) is
// its word, the environment and the screen follow (framework/editor_scale.h).
// The user's zoom goes out through the panel's zoom port and comes back from
// the host as that port's event when the UI opens again, so the instance
// keeps it; the host learns each new size through ui:resize.
//
// Threads, as LV2 defines them: every call, the descriptor's and the idle
// interface's, runs on the host's user-interface thread; nothing here is
// shared with the plug-in instance, which may run in another process.
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "framework/editor.h"
#include "framework/editor_link.h"
#include "framework/plain_value.h"
#include "synth/parameters.h"
#include "ui/editor.h"
#include "wrappers/lv2/ports.h"

namespace {

using namespace Veldane::lv2;

// The port protocol of a control port's value: one float
// (ui:floatProtocol, which the LV2 UI interface numbers 0).
constexpr std::uint32_t kFloatProtocol = 0;

class Ui final : public zem::IEditController, private zem::IEditorFrame {
public:
    // resize: the host's ui:resize, or null.
    Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Resize* resize)
        : write(write), controller(controller), resize(resize) {
        link.enableScaling();
    }

    // Opens the panel inside parent, at the host's scale factor (0: none
    // given); false when the window system refuses it (no display, a parent
    // it does not know).
    bool open(NativeWindow parent, double hostFactor) {
        link.setHostFactor(hostFactor);
        return link.open(&Veldane::libraryImages, this, parent, this);
    }

    NativeWindow widget() const { return link.current()->windowHandle(); }
    // The panel's size in window pixels.
    int width() const { return link.width(); }
    int height() const { return link.height(); }

    // The host's port event: a control port's value as the plug-in holds it
    // (every port when the UI opens, then each change). A value the UI itself
    // just wrote comes back unchanged and changes nothing, so a knob being
    // dragged never jumps back to an older value. The panel's zoom port
    // brings the kept zoom. Other ports, protocols and NaN are ignored.
    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t protocol, const void* buffer) {
        if (protocol != kFloatProtocol || size != sizeof(float) || buffer == nullptr) return;
        float value;
        std::memcpy(&value, buffer, sizeof value);
        if (port == kPanelZoomPort) {
            // Beyond any size (or no number): no zoom; the cast stays defined.
            link.setZoom(value >= 0.0f && value <= 1000.0f ? static_cast<int>(value) : 0);
            return;
        }
        const int id = paramOfControlPort(port);
        if (id < 0) return;
        zem::Parameter* p = params.at(id);
        if (plainValueOf(*p) == value) return;
        if (zem::setPlainValue(*p, value)) link.update(id);
    }

    // ui:idleInterface: the window's events and repaints. Answers 1 once the
    // host has destroyed the window under the UI (it is closed), else 0.
    int idle() {
        link.idle();
        return link.current()->windowHandle() != nullptr ? 0 : 1;
    }

    // --- What the panel sees of the plug-in ----------------------------------

    zem::Parameter* parameter(int index) override { return params.at(index); }

    // Stores the edit in the UI's copy, shows it, and writes the port's plain
    // value to the plug-in, which converts it back exactly as this copy did.
    void edit(int index, float normalized) override {
        zem::Parameter* p = params.at(index);
        if (p == nullptr || index == Veldane::kReserved) return; // no port, no control
        params.set(index, normalized);
        link.update(index);
        const float value = plainValueOf(*p);
        write(controller, controlPortOf(index), sizeof value, kFloatProtocol, &value);
    }

    // Port events arrive on this thread already: nothing waits.
    void applyPendingEditorUpdates() override {}

    // The user's zoom: shown, and written to the zoom port, where the host
    // keeps it, once the host has made room for it.
    void zoomChosen(int percent) override {
        link.chooseZoom(percent);
        if (link.zoom() != percent) return; // refused
        const float value = static_cast<float>(percent);
        write(controller, kPanelZoomPort, sizeof value, kFloatProtocol, &value);
    }
    void screenFactorChanged(double factor) override { link.screenChanged(factor); }

private:
    // The panel's new size: the host hears of it through ui:resize (0 is its
    // yes); a host without it sizes its window from the window's hints.
    bool resizeEditor(int width, int height) override {
        return resize == nullptr || resize->ui_resize == nullptr || resize->ui_resize(resize->handle, width, height) == 0;
    }

    // The value the port carries for p: its plain value, held in the port's
    // declared range (an enumeration's repeated last entries, which the panel
    // may store, are the same choice as the last entry the port declares).
    static float plainValueOf(const zem::Parameter& p) {
        const zem::PlainRange range = zem::plainRangeOf(p);
        return static_cast<float>(std::clamp(range.current, range.min, range.max));
    }

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Resize* resize;
    // The plug-in's parameters as its ports last said, or as the UI set them.
    Veldane::Parameters params;
    // The panel: every call comes on the host's UI thread, so changes reach
    // it at once. Declared last: destroyed first, while the parameters it
    // shows still exist.
    zem::EditorLink<Veldane::Editor, Veldane::kParamCount> link;
};

// --- The descriptor's callbacks (C calling convention; nothing throws) ------

const void* featureData(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f)
        if ((*f)->URI != nullptr && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

// The host's ui:scaleFactor from the options feature (a float, found through
// the URID map); 0 when the host gives none.
double hostScaleFactor(const LV2_Feature* const* features) {
    const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
    const auto* options = static_cast<const LV2_Options_Option*>(featureData(features, LV2_OPTIONS__options));
    if (map == nullptr || map->map == nullptr || options == nullptr) return 0.0;
    const LV2_URID scaleFactor = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->key == scaleFactor && o->type == floatType && o->size == sizeof(float) && o->value != nullptr) {
            float factor;
            std::memcpy(&factor, o->value, sizeof factor);
            return factor;
        }
    }
    return 0.0;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    void* parent = const_cast<void*>(featureData(features, LV2_UI__parent));
    const auto* resize = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize));
    if (pluginUri == nullptr || std::strcmp(pluginUri, kPluginUri) != 0 || parent == nullptr || write == nullptr ||
        widget == nullptr)
        return nullptr;
    try {
        std::unique_ptr<Ui> ui(new (std::nothrow) Ui(write, controller, resize));
        if (!ui || !ui->open(parent, hostScaleFactor(features))) return nullptr;
        *widget = ui->widget();
        // The panel's size, for a host that sizes its window to the UI.
        if (resize != nullptr && resize->ui_resize != nullptr)
            resize->ui_resize(resize->handle, ui->width(), ui->height());
        return ui.release();
    } catch (...) {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle) { delete static_cast<Ui*>(handle); }

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
    if (handle != nullptr) static_cast<Ui*>(handle)->portEvent(port, size, protocol, buffer);
}

int idle(LV2UI_Handle handle) { return handle != nullptr ? static_cast<Ui*>(handle)->idle() : 1; }

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
    return uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdleInterface : nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

// The library's one entry: the descriptor of UI `index` (there is one).
extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
