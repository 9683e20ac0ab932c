#pragma once
// Veldane as a VST 3 audio module: the synthesizer (wrappers/synth_plugin.h)
// under the framework's VST 3 module (framework/vst3/plugin.h), which is
// component, processor and controller in one object and answers the host;
// its editor is the panel, as a view, at the scale the host, the screen or
// the user's zoom gives it. Its identity is wrappers/vst3/identity.h.

#include "base/platform.h"
#include "framework/vst3/plugin.h"
#include "ui/editor.h"
#include "wrappers/synth_plugin.h"

namespace Veldane {

namespace vst3 {
// This library's module handle, from which the editor loads its images:
// recorded by the library entry routine (DllMain) on Windows; the linked-in
// image table elsewhere.
extern NativeModule libraryModule;
} // namespace vst3

class Vst3Plugin final : public SynthPlugin, public zem::vst3::Plugin<Vst3Plugin, Parameters, Editor> {
public:
    // Starts with one reference, the creator's.
    Vst3Plugin() : zem::vst3::Plugin<Vst3Plugin, Parameters, Editor>(vst3::libraryModule) {}
};

} // namespace Veldane
