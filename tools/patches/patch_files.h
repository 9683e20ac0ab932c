#pragma once
// Patch tables and patches as files, for the tools: a table read from a file
// (synth/patches.h reads the text) and a patch as a VST 2.4 program.
//
// Threads: any one thread; these functions allocate.

#include <string>
#include <vector>

#include "formats/vst_preset.h"
#include "synth/patches.h"

namespace patches {

// Reads the table in the file `path` (named `source` in messages, which read
// "SOURCE:LINE: what is wrong"); a file that does not read, is not a table
// or holds no patch is an error. On failure leaves `patches` untouched.
bool readPatchTableFile(const std::string& path, const std::string& source, std::vector<Veldane::Patch>& patches,
                        std::string& error);

// Whose VST 2.4 preset files these are: Veldane's unique ID, version and
// parameter count, as the plug-in reports them.
formats::PresetOwner vstPresetOwner();
// The patch as a VST 2.4 program (its name and its values in ParamId order).
formats::Preset toPreset(const Veldane::Patch& patch);

} // namespace patches
