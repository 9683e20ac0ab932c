#include "wrappers/clap/plugin.h"

#include <string>

#include "base/version.h"
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
    Veldane::kVersion,
    "A small subtractive synthesizer: two oscillators, a resonant filter, two envelopes and an LFO, eight voices.",
    kFeatures,
};

ClapPlugin::ClapPlugin(const clap_host* host) : Plugin(host, libraryModule()) {}

std::vector<std::uint8_t> ClapPlugin::saveState() const { return Veldane::saveState(synth.params); }

bool ClapPlugin::loadState(const std::uint8_t* data, std::size_t size) {
    std::string error; // the host learns only that the state was refused
    return Veldane::loadState(data, size, synth.params, error);
}

} // namespace Veldane
