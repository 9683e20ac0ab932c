// veldane-presets: writes a patch table as VST 2.4 preset files, one program
// per patch (NAME.fxp). No bank: the VST 2.4 plug-in has no programs, and a
// host that loads a bank into a plug-in without programs keeps only its last
// patch.
//
// Usage: veldane-presets TABLE SOURCE_NAME OUTDIR
//   TABLE        the patch table to read (presets/factory-patches.txt)
//   SOURCE_NAME  how messages name it (the path relative to the source tree)
//   OUTDIR       where the files go; .fxp and .fxb files already there are
//                removed first, so a renamed patch (or the bank earlier
//                builds wrote) leaves no stale file
// A table that does not read whole (a value the plug-in would show
// differently, an unknown parameter, ...) writes nothing and exits with 1 and
// "SOURCE_NAME:LINE: what is wrong", which fails the build that runs it.
//
//        veldane-presets --measure TABLE SOURCE_NAME
// prints every patch's listening-free measures instead (patch_check.h): the
// level of one note, the peak of eight, the DC offset.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "formats/file_bytes.h"
#include "formats/vst_preset.h"
#include "tools/patches/patch_check.h"
#include "tools/patches/patch_files.h"

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "veldane-presets: %s\n", message.c_str());
    return 1;
}

int measure(const std::vector<Veldane::Patch>& table)
{
    std::printf("%-12s %-24s %12s %14s %12s\n", "category", "patch", "note (dBFS)", "8 voices peak", "DC (dBFS)");
    std::vector<double> levels;
    for (const Veldane::Patch& p : table) {
        const patches::PatchMeasures m = patches::measurePatch(p);
        levels.push_back(m.noteLevelDb);
        std::printf("%-12s %-24s %12.1f %14.1f %12.1f\n", p.category.c_str(), p.name.c_str(), m.noteLevelDb,
                    m.chordPeakDb, m.noteDcDb);
    }
    std::sort(levels.begin(), levels.end());
    std::printf("note levels: %.1f to %.1f dBFS, median %.1f\n", levels.front(), levels.back(),
                levels[levels.size() / 2]);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const bool measuring = argc == 4 && std::strcmp(argv[1], "--measure") == 0;
    if (argc != 4) {
        std::fprintf(stderr, "usage: veldane-presets TABLE SOURCE_NAME OUTDIR\n"
                             "       veldane-presets --measure TABLE SOURCE_NAME\n");
        return 64;
    }
    std::string error;
    std::vector<Veldane::Patch> table;
    if (!patches::readPatchTableFile(argv[measuring ? 2 : 1], argv[measuring ? 3 : 2], table, error))
        return fail(error);
    if (measuring)
        return measure(table);
    const std::filesystem::path outDir = argv[3];

    // Every file is made in memory first: nothing is written unless all are good.
    const formats::PresetOwner owner = patches::vstPresetOwner();
    std::vector<std::vector<std::uint8_t>> files(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!formats::writeFxp(owner, patches::toPreset(table[i]), files[i], error))
            return fail(table[i].name + ": " + error);
    }

    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec)
        return fail("cannot create " + outDir.string() + ": " + ec.message());
    for (const auto& entry : std::filesystem::directory_iterator(outDir, ec)) {
        const auto ext = entry.path().extension();
        if (entry.is_regular_file() && (ext == ".fxp" || ext == ".fxb"))
            std::filesystem::remove(entry.path(), ec);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!formats::writeFileBytes((outDir / (table[i].name + ".fxp")).string(), files[i], error))
            return fail(error);
    }
    std::printf("veldane-presets: %zu programs (.fxp) in %s\n", table.size(), outDir.string().c_str());
    return 0;
}
