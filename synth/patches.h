#pragma once
// Veldane's patches: named sounds written as readable text, one setting a
// line, each value as the plug-in displays it. The factory table
// (presets/factory-patches.txt) is the single source of the factory sounds:
// it is built into this library as text (factory_table.cpp.in), so the
// plug-ins list and load the same patches the preset files, the renderer and
// the tests are made from.
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
// Threads: any thread; these functions allocate, except that factoryPatches
// allocates only on its first call.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "synth/parameters.h"

namespace Veldane {

// Longest patch name: what a VST 2.4 program's name field holds, and short
// enough for every host's preset menu.
constexpr std::size_t kMaxPatchNameLength = 24;

struct Patch {
    std::string name;                     // see the table format
    std::string category;                 // e.g. "Bass"
    std::array<float, kParamCount> values; // normalized value of every parameter, by ParamId
    int line = 0;                         // where "patch:" stands in its table
};

// Reads a table. `source` names it in messages, which read
// "SOURCE:LINE: what is wrong". On failure leaves `patches` untouched.
bool parsePatchTable(const std::string& text, const std::string& source, std::vector<Patch>& patches,
                     std::string& error);

// The factory patches, in table order: the table built into the library,
// read on the first call (which allocates; later calls never do). The build
// refuses a table that does not read (tools/patches/make_presets.cpp), so the
// list is never empty in a built plug-in; should the text ever fail to read,
// it is empty and factoryTableError() says why.
const std::vector<Patch>& factoryPatches();
const std::string& factoryTableError();

// The patch called `name`, ignoring case; null when there is none.
const Patch* findPatch(const std::vector<Patch>& patches, const std::string& name);

// The id of the parameter whose name is `name`, ignoring case; -1 for none.
int findParameter(const Parameters& params, const std::string& name);

// Reads "PARAMETER = VALUE" (spaces around '=' optional) for `params`: the
// parameter's id and the normalized value of VALUE. Unlike a table, any value
// the parameter can take is accepted, also one that displays rounded. On
// failure says why in `error`.
bool parseSetting(const Parameters& params, const std::string& setting, int& id, float& normalized,
                  std::string& error);

} // namespace Veldane
