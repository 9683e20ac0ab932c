#pragma once
// Veldane as a VST 2.4 plug-in: what the host creates through VSTPluginMain.
// A thin translation: the framework's VST 2.4 base (zem::PluginWithEditor)
// answers the host, and everything it asks of the synthesizer goes to one
// Veldane::Synth. The editor is the panel in a window of its own (a Win32
// window on Windows, an X11 window on Linux).

#include <cstdint>

#include "framework/plugin_with_editor.h"
#include "synth/synth.h"
#include "ui/editor.h"

namespace Veldane {

class Plugin final : public zem::PluginWithEditor<Plugin, kParamCount, Editor> {
public:
    // --- Identity the host sees ---------------------------------------------
    static constexpr std::int32_t uniqueId = 0x7A516B74; // 'zQkt', how hosts tell this plug-in from others
    static constexpr std::int32_t version = 1;
    static constexpr bool isSynth = true;
    static constexpr const char* effectName = "Veldane";
    static constexpr const char* vendorName = "Orvandel";
    static constexpr const char* productName = "Veldane";

    // Built by instantiate() (see VSTPluginMain) around the host's record.
    Plugin(AEffect& record, zem::HostCallback hostCallback, NativeModule moduleHandle);

    // The synthesizer: its parameters and engine.
    Synth synth;

    // --- What the framework asks of the plug-in -------------------------------
    zem::ParameterSet<kParamCount>& parameters() noexcept { return synth.params; }
    void setSampleRate(double rate) { synth.setSampleRate(rate); }
    void prepareBlock() { synth.applyParameterChanges(); }
    void handleEvent(const zem::Event& event) noexcept { synth.handleEvent(event); }
    template <class Sample>
    void render(int count, Sample* out) {
        synth.render(count, out);
    }
};

} // namespace Veldane
