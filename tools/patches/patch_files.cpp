#include "tools/patches/patch_files.h"

#include "formats/file_bytes.h"
#include "wrappers/vst2/plugin.h"

namespace patches {

namespace {

// A patch table is a few kilobytes; anything near this is not one.
constexpr std::size_t kMaxTableBytes = std::size_t{1} << 20;

static_assert(Veldane::kMaxPatchNameLength <= formats::kMaxPresetNameLength,
              "every patch name fits a VST 2.4 program's name");

} // namespace

bool readPatchTableFile(const std::string& path, const std::string& source, std::vector<Veldane::Patch>& patches,
                        std::string& error)
{
    std::vector<std::uint8_t> bytes;
    std::vector<Veldane::Patch> table;
    if (!formats::readFileBytes(path, kMaxTableBytes, bytes, error) ||
        !Veldane::parsePatchTable(std::string(bytes.begin(), bytes.end()), source, table, error))
        return false;
    if (table.empty()) {
        error = source + " holds no patch";
        return false;
    }
    patches = std::move(table);
    return true;
}

formats::PresetOwner vstPresetOwner()
{
    return {Veldane::Plugin::uniqueId, Veldane::Plugin::version, static_cast<std::size_t>(Veldane::kParamCount)};
}

formats::Preset toPreset(const Veldane::Patch& patch)
{
    return {patch.name, std::vector<float>(patch.values.begin(), patch.values.end())};
}

} // namespace patches
