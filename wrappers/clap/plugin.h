#pragma once
// Veldane as a CLAP plug-in: a thin translation of the host's calls onto one
// Veldane::Synth through the framework's CLAP base (framework/clap/plugin.h),
// which answers the host; its editor is the panel, as in VST 2.4, at the
// scale the host, the screen or the user's zoom gives it. Parameters keep
// their ParamId as CLAP id; the state is the synthesizer's versioned record
// of every value and the panel's zoom (synth/state.h).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/clap/plugin.h"
#include "synth/synth.h"
#include "ui/editor.h"

namespace Veldane {

class ClapPlugin final : public zem::clap::Plugin<ClapPlugin, Parameters, Editor> {
public:
    // Identity: id "com.orvandel.veldane" (hosts store it in every saved
    // project: it never changes), name, vendor, version, features.
    static const clap_plugin_descriptor descriptor;

    // Main thread, through the factory's create_plugin.
    explicit ClapPlugin(const clap_host* host);

    // The library's module handle, from which the editor loads its images
    // (wrappers/clap/module_*.cpp: the DLL's on Windows, the linked-in
    // images elsewhere).
    static NativeModule libraryModule();

    Synth synth;

    // --- What the framework asks of the plug-in -------------------------------
    Parameters& parameters() noexcept { return synth.params; }
    void setSampleRate(double rate) { synth.setSampleRate(rate); }
    void prepareBlock() { synth.applyParameterChanges(); }
    void handleEvent(const zem::Event& event) noexcept { synth.handleEvent(event); }
    template <class Sample>
    void render(int count, Sample* out) {
        synth.render(count, out);
    }
    std::vector<std::uint8_t> saveState() const;
    bool loadState(const std::uint8_t* data, std::size_t size);
};

} // namespace Veldane
