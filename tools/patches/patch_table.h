#pragma once
// Veldane's patch tables: named sounds written as readable text, one setting a
// line, each value as the plug-in displays it. The factory table
// (presets/factory-patches.txt) is the single source of the factory sounds:
// the preset files, the renderer's patches by name and the tests all read it
// through this file.
//
// Table format: '#' starts a comment; blank lines are skipped.
//   patch: NAME          starts a patch (at most 24 characters: letters,
//                        digits, spaces and - + & ' . ( ) ; unique in the table)
//   category: CATEGORY   its category (exactly once per patch)
//   PARAMETER = VALUE    a setting: the parameter's name as the plug-in shows
//                        it, its value as the display shows it, with or
//                        without the unit ("Filter Cutoff = 1200 Hz",
//                        "Osc2 Waveform = Saw", "Osc1 Volume = -oo")
// Parameters a patch does not list keep their defaults. Every value is read
// by the parameter's own class (zem::Parameter::textToNormalized) and must
// display exactly as written (a whole number may leave out its ".0"), so a
// patch never holds a value the plug-in would show differently.
//
// Threads: any one thread; these functions allocate.

#include <array>
#include <string>
#include <vector>

#include "formats/vst_preset.h"
#include "synth/parameters.h"

namespace patches {

struct Patch {
    std::string name;                               // see the table format
    std::string category;                           // e.g. "Bass"
    std::array<float, Veldane::kParamCount> values; // normalized value of every parameter, by ParamId
    int line = 0;                                   // where "patch:" stands in its table
};

// Reads a table. `source` names it in messages, which read
// "SOURCE:LINE: what is wrong". On failure leaves `patches` untouched.
bool parsePatchTable(const std::string& text, const std::string& source, std::vector<Patch>& patches,
                     std::string& error);

// Reads the table in the file `path` (named `source` in messages, as above);
// a file that does not read, is not a table or holds no patch is an error.
bool readPatchTableFile(const std::string& path, const std::string& source, std::vector<Patch>& patches,
                        std::string& error);

// The factory table built into the program (the text of
// presets/factory-patches.txt when it was built), read once.
bool factoryPatches(std::vector<Patch>& patches, std::string& error);

// The patch called `name`, ignoring case; null when there is none.
const Patch* findPatch(const std::vector<Patch>& patches, const std::string& name);

// The id of the parameter whose name is `name`, ignoring case; -1 for none.
int findParameter(const Veldane::Parameters& params, const std::string& name);

// Reads "PARAMETER = VALUE" (spaces around '=' optional) for `params`: the
// parameter's id and the normalized value of VALUE. Unlike a table, any value
// the parameter can take is accepted, also one that displays rounded. On
// failure says why in `error`.
bool parseSetting(const Veldane::Parameters& params, const std::string& setting, int& id, float& normalized,
                  std::string& error);

// Whose VST 2.4 preset files these are: Veldane's unique ID, version and
// parameter count, as the plug-in reports them.
formats::PresetOwner vstPresetOwner();
// The patch as a VST 2.4 program (its name and its values in ParamId order).
formats::Preset toPreset(const Patch& patch);

} // namespace patches
