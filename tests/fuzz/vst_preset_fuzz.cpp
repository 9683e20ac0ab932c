// libFuzzer entry for the VST preset readers: any bytes, read as a program
// (.fxp) and as a bank (.fxb), must give either a refusal with a reason and
// no output, or presets of the owner's parameter count with normalized values
// that write and read back unchanged; never a crash or a read outside the
// input (the build adds AddressSanitizer and UBSan).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/vst_preset.h"

namespace {

// The seeds' owner (tests/fuzz/make_format_seeds.py): ID 'Fuzz', four parameters.
const formats::PresetOwner kOwner{0x46757A7A, 1, 4};

void checkPreset(const formats::Preset& preset)
{
    if (preset.values.size() != kOwner.parameterCount || preset.name.size() > formats::kPresetNameFieldBytes)
        std::abort();
    for (char c : preset.name)
        if (c == 0)
            std::abort();
    for (float v : preset.values)
        if (!(v >= 0.0f && v <= 1.0f))
            std::abort();
}

bool same(const formats::Preset& a, const formats::Preset& b)
{
    return a.name == b.name && a.values == b.values;
}

// What was read and can be written (a name read may be too long or not ASCII
// for writing) must read back the same, as a program and as a bank.
void checkRoundTrip(const std::vector<formats::Preset>& presets)
{
    std::vector<std::uint8_t> file;
    std::string error;
    for (const formats::Preset& preset : presets) {
        formats::Preset again;
        if (formats::writeFxp(kOwner, preset, file, error) &&
            (!formats::readFxp(file.data(), file.size(), kOwner, again, error) || !same(again, preset)))
            std::abort();
    }
    if (!formats::writeFxb(kOwner, presets, file, error))
        return;
    std::vector<formats::Preset> again;
    if (!formats::readFxb(file.data(), file.size(), kOwner, again, error) || again.size() != presets.size())
        std::abort();
    for (std::size_t i = 0; i < presets.size(); ++i)
        if (!same(again[i], presets[i]))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    formats::Preset preset{"untouched", {}};
    std::string error;
    if (formats::readFxp(data, size, kOwner, preset, error)) {
        checkPreset(preset);
        checkRoundTrip({preset});
    } else if (error.empty() || preset.name != "untouched" || !preset.values.empty()) {
        std::abort();
    }

    std::vector<formats::Preset> presets(1);
    error.clear();
    if (formats::readFxb(data, size, kOwner, presets, error)) {
        for (const formats::Preset& p : presets)
            checkPreset(p);
        checkRoundTrip(presets);
    } else if (error.empty() || presets.size() != 1) {
        std::abort();
    }
    return 0;
}
