#pragma once
// VST 2.4 preset files: a program as a parameter list (.fxp, kind 'FxCk') and
// a bank of such programs (.fxb, kind 'FxBk'), the files hosts save and load
// for a plug-in without chunks. Knows no synthesizer: the caller says whose
// files they are and how many parameters a program has.
//
// Layout (every number big-endian, floats as IEEE 754 single precision):
//   program: 'CcnK', byte size (what follows this field), 'FxCk', format
//            version 1, plug-in unique ID, plug-in version, parameter count,
//            the name (28 bytes, zero-padded), one float per parameter.
//   bank:    'CcnK', byte size, 'FxBk', format version (1, or 2 with the
//            current program), plug-in unique ID, plug-in version, program
//            count, 128 reserved bytes (version 2: the current program in the
//            first four), then one program record as above per program.
//
// Reading refuses, with a message and without touching the output: a file cut
// short, one of another kind (a bank for a program or the reverse, or opaque
// chunk data instead of parameters), another plug-in's ID, a parameter count
// other than the caller's, and values that are not finite or lie outside
// 0..1. Files of any plug-in version are read. Writing refuses to produce a
// file that reading would refuse, or a name hosts would cut.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace formats {

// The name field's size in the file.
constexpr std::size_t kPresetNameFieldBytes = 28;
// Longest name written: VST 2.4 hosts hold a program name in 24 characters.
// Names read may use the whole field.
constexpr std::size_t kMaxPresetNameLength = 24;

// Whose presets these are.
struct PresetOwner {
    std::int32_t uniqueId;      // the plug-in's VST unique ID (four characters, e.g. 'zQkt')
    std::int32_t version;       // written into files; files of any version are read
    std::size_t parameterCount; // values in every program
};

struct Preset {
    // Written: printable ASCII, at most kMaxPresetNameLength characters.
    // Read: the field's bytes up to its first zero byte, as they are.
    std::string name;
    // Normalized parameter values (0..1), in the plug-in's parameter order.
    std::vector<float> values;
};

// The program as an .fxp file's bytes. On failure leaves `file` untouched and
// says why in `error`.
bool writeFxp(const PresetOwner& owner, const Preset& preset, std::vector<std::uint8_t>& file, std::string& error);
// Reads an .fxp file. On failure leaves `preset` untouched and says why in `error`.
bool readFxp(const std::uint8_t* data, std::size_t size, const PresetOwner& owner, Preset& preset, std::string& error);

// The programs as an .fxb bank's bytes (format version 1: no current program).
bool writeFxb(const PresetOwner& owner, const std::vector<Preset>& presets, std::vector<std::uint8_t>& file,
              std::string& error);
// Reads an .fxb bank: all of its programs, or none when any of them is refused.
bool readFxb(const std::uint8_t* data, std::size_t size, const PresetOwner& owner, std::vector<Preset>& presets,
             std::string& error);

} // namespace formats
