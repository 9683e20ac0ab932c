#pragma once
// Veldane as a CLAP plug-in: the synthesizer (wrappers/synth_plugin.h) under
// the framework's CLAP base (framework/clap/plugin.h), which answers the
// host; its editor is the panel, as in VST 2.4, at the scale the host, the
// screen or the user's zoom gives it. Parameters keep their ParamId as CLAP
// id; the state is the synthesizer's versioned record of every value and the
// panel's zoom (synth/state.h); the factory patches are its presets, found
// through the library's preset-discovery factory (framework/clap/library.h).

#include "framework/clap/plugin.h"
#include "ui/editor.h"
#include "wrappers/synth_plugin.h"

namespace Veldane {

class ClapPlugin final : public SynthPlugin, public zem::clap::Plugin<ClapPlugin, Parameters, Editor> {
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
};

} // namespace Veldane
