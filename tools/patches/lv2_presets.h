#pragma once
// Patches as LV2 presets: the Turtle an LV2 bundle lists its presets in. A
// preset is the value of every control port by symbol, and LV2 control ports
// carry plain values ("1200" Hz), so each value is the plain value the
// parameter takes for the patch's normalized value, through the same plain
// view the LV2 plug-in converts its port values with
// (framework/plain_value.h), real ones rounded off where the plug-in shows
// the rounded value alike: a host that applies a preset gives the plug-in
// the patch as the table writes it.
//
// Threads: any one thread; these functions allocate.

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "synth/patches.h"

namespace patches {

// The LV2 plug-in the presets apply to.
struct Lv2Plugin {
    std::string uri;                                // the plug-in's URI
    std::vector<std::pair<int, std::string>> ports; // its control ports in port order: ParamId and symbol
};

// A patch's preset URI: under the plug-in's, from the name
// ("Round Sub" -> PLUGIN_URI/presets/round-sub); it stays while the name does.
std::string lv2PresetUri(const std::string& pluginUri, const std::string& patchName);

// A category's bank URI, the same way (PLUGIN_URI/banks/sync-ring).
std::string lv2BankUri(const std::string& pluginUri, const std::string& category);

// Writes the presets, in table order: into `presets` the file the bundle
// names in its manifest (`presetsFile`), a pset:Bank per category (labelled
// with it, in the order the table first names them), then each patch as a
// pset:Preset with its label, its category's bank, the plug-in it applies
// to and one value per control port; into `manifest` the entries that make
// hosts find them (to follow the plug-in's entry in the bundle's
// manifest.ttl). Fails, writing nothing, when two names give the same URI
// or a value lies outside its port's range.
bool writeLv2Presets(std::ostream& presets, std::ostream& manifest, const std::string& presetsFile,
                     const std::vector<Veldane::Patch>& patches, const Lv2Plugin& plugin, std::string& error);

} // namespace patches
