// make_vst3_presets: writes the factory patches as VST 3 preset files, at
// build time, from the patch table: OUTDIR/VENDOR/NAME/PATCH.vstpreset, the
// folders VST 3 hosts look in below their preset roots ($COMPANY and
// $PLUGIN-NAME: Orvandel/Veldane), one file per patch, flat (some hosts do
// not look into sub-folders; the category is in each file's meta
// information). Each file holds the component state the plug-in itself
// writes for the patch (synth/state.h) and its name, category and the
// plug-in's name and kind.
//
// usage: make_vst3_presets TABLE SOURCE_NAME OUTDIR
//   TABLE        the patch table (presets/factory-patches.txt)
//   SOURCE_NAME  how messages name it (the path relative to the source tree)
//   OUTDIR       the preset root to fill; .vstpreset files already in its
//                plug-in folder are removed first, so a renamed patch leaves
//                no stale file
// A table that does not read whole writes nothing and exits with 1 and
// "SOURCE_NAME:LINE: what is wrong", which fails the build.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "formats/file_bytes.h"
#include "framework/vst3/preset_file.h"
#include "framework/vst3/vst.h"
#include "synth/state.h"
#include "tools/patches/patch_files.h"
#include "wrappers/vst3/identity.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "make_vst3_presets: %s\n", message.c_str());
    return 1;
}

// The component state the plug-in writes while holding the patch.
std::vector<std::uint8_t> stateOf(const Veldane::Patch& patch) {
    Veldane::Parameters params;
    for (int id = 0; id < Veldane::kParamCount; ++id) params.set(id, patch.values[static_cast<std::size_t>(id)]);
    return Veldane::saveState(params);
}

std::vector<std::uint8_t> presetFile(const Veldane::Patch& patch) {
    using namespace zem::vst3;
    const std::string info = presetMetaInfo({
        {"MediaType", "VstPreset"},
        {kPresetAttributePlugInName, Veldane::vst3::kName},
        {kPresetAttributePlugInCategory, Veldane::vst3::kSubCategories},
        {kPresetAttributeName, patch.name},
        {kPresetAttributeInstrument, patch.category},
        {kPresetAttributeCategory, patch.category},
    });
    return writePresetFile(Veldane::vst3::kClassId, stateOf(patch), info);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_vst3_presets TABLE SOURCE_NAME OUTDIR\n");
        return 64;
    }
    std::string error;
    std::vector<Veldane::Patch> table;
    if (!patches::readPatchTableFile(argv[1], argv[2], table, error)) return fail(error);

    // The vendor's and the plug-in's folder names: theirs, as no name of ours
    // holds a character a file system refuses.
    const std::filesystem::path dir = std::filesystem::path(argv[3]) / Veldane::vst3::kVendor / Veldane::vst3::kName;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return fail("cannot create " + dir.string() + ": " + ec.message());
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".vstpreset") std::filesystem::remove(entry.path(), ec);
    for (const Veldane::Patch& patch : table)
        if (!formats::writeFileBytes((dir / (patch.name + ".vstpreset")).string(), presetFile(patch), error))
            return fail(error);
    std::printf("make_vst3_presets: %zu presets (.vstpreset) in %s\n", table.size(), dir.string().c_str());
    return 0;
}
