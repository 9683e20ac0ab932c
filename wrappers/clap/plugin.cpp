#include "wrappers/clap/plugin.h"

#include <string>

#include "synth/state.h"

namespace Veldane {

namespace {
const char* const kFeatures[] = {CLAP_PLUGIN_FEATURE_INSTRUMENT, CLAP_PLUGIN_FEATURE_SYNTHESIZER,
                                 CLAP_PLUGIN_FEATURE_MONO, nullptr};
} // namespace

const clap_plugin_descriptor ClapPlugin::descriptor = {
    CLAP_VERSION,
    "com.orvandel.veldane",
    "Veldane",
    "Orvandel",
    "https://orvandel.com/plugins/veldane",
    "", // manual
    "", // support
    VELDANE_VERSION,
    "A small subtractive synthesizer: two oscillators, a resonant filter, two envelopes and an LFO, eight voices.",
    kFeatures,
};

ClapPlugin::ClapPlugin(const clap_host* host) : Plugin(host, libraryModule()) {}

std::vector<std::uint8_t> ClapPlugin::saveState() const {
    InstanceSettings settings;
    settings.panelZoom = editorLink().zoom();
    return Veldane::saveState(synth.params, settings);
}

bool ClapPlugin::loadState(const std::uint8_t* data, std::size_t size) {
    std::string error; // the host learns only that the state was refused
    InstanceSettings settings;
    settings.panelZoom = editorLink().zoom();
    if (!Veldane::loadState(data, size, synth.params, error, &settings)) return false;
    editorLink().setZoom(settings.panelZoom);
    return true;
}

} // namespace Veldane
