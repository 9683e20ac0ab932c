#include "wrappers/clap/plugin.h"

#include "base/version.h"

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

} // namespace Veldane
