#include "formats/vst_preset.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

#include "formats/byte_cursor.h"

namespace formats {
namespace {

// Every record starts with 'CcnK' and its byte size, which counts only what
// follows these two fields.
constexpr std::size_t kRecordPrefixBytes = 8;
// A program record before its values: prefix, kind, format version, ID,
// plug-in version, parameter count (4 bytes each) and the name.
constexpr std::size_t kProgramHeaderBytes = kRecordPrefixBytes + 5 * 4 + kPresetNameFieldBytes;
// Reserved bytes in a bank's header, before its programs.
constexpr std::size_t kBankReservedBytes = 128;
// A bank record before its programs: prefix, kind, format version, ID,
// plug-in version, program count (4 bytes each) and the reserved bytes.
constexpr std::size_t kBankHeaderBytes = kRecordPrefixBytes + 5 * 4 + kBankReservedBytes;
// Format versions: a program's is 1; a bank's is 1, or 2 when it names its
// current program (in the reserved bytes, which are skipped here).
constexpr std::uint32_t kProgramFormatVersion = 1;
constexpr std::uint32_t kNewestBankFormatVersion = 2;

// A four-character ID as text: 'zQkt' when printable, else in hex.
std::string idText(std::uint32_t id)
{
    std::string text = "'";
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>(id >> shift & 0xFF);
        if (c < 0x20 || c > 0x7E) {
            std::ostringstream hex;
            hex << "0x" << std::hex << std::uppercase << id;
            return hex.str();
        }
        text += c;
    }
    return text + "'";
}

// The value's problem, or an empty text when it is a normalized value.
std::string valueProblem(float value, std::size_t index)
{
    if (value >= 0.0f && value <= 1.0f)
        return {};
    std::string text = "parameter " + std::to_string(index + 1) + " is ";
    if (!std::isfinite(value))
        return text + "not a finite number";
    std::ostringstream number;
    number << value;
    return text + number.str() + ", outside 0..1";
}

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out(out) {}
    void u32(std::uint32_t value)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    void tag(const char (&name)[5]) { out.insert(out.end(), name, name + 4); }
    void f32(float value)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        u32(bits);
    }
    void field(const std::string& text, std::size_t bytes)
    {
        out.insert(out.end(), text.begin(), text.end());
        out.insert(out.end(), bytes - text.size(), 0);
    }

private:
    std::vector<std::uint8_t>& out;
};

// What would make the preset a file that reading refuses or hosts show cut.
std::string presetProblem(const PresetOwner& owner, const Preset& preset)
{
    if (preset.name.size() > kMaxPresetNameLength)
        return "the name \"" + preset.name + "\" is longer than " + std::to_string(kMaxPresetNameLength) +
               " characters";
    for (char c : preset.name)
        if (c < 0x20 || c > 0x7E)
            return "the name \"" + preset.name + "\" holds a character that is not printable ASCII";
    if (preset.values.size() != owner.parameterCount)
        return "the preset has " + std::to_string(preset.values.size()) + " values, the plug-in " +
               std::to_string(owner.parameterCount) + " parameters";
    for (std::size_t i = 0; i < preset.values.size(); ++i) {
        std::string problem = valueProblem(preset.values[i], i);
        if (!problem.empty())
            return problem;
    }
    return {};
}

// The program record of a checked preset.
void appendProgram(const PresetOwner& owner, const Preset& preset, std::vector<std::uint8_t>& out)
{
    ByteWriter write(out);
    write.tag("CcnK");
    write.u32(static_cast<std::uint32_t>(kProgramHeaderBytes - kRecordPrefixBytes + 4 * owner.parameterCount));
    write.tag("FxCk");
    write.u32(kProgramFormatVersion);
    write.u32(static_cast<std::uint32_t>(owner.uniqueId));
    write.u32(static_cast<std::uint32_t>(owner.version));
    write.u32(static_cast<std::uint32_t>(owner.parameterCount));
    write.field(preset.name, kPresetNameFieldBytes);
    for (float value : preset.values)
        write.f32(value);
}

constexpr char kCutShort[] = "the file is cut short";

enum class Record { Program, Bank };

// Reads what programs and banks share: 'CcnK', the byte size, the kind, the
// format version, the ID that must be the owner's and the plug-in version
// (any). The byte size is not checked: the counts inside the record decide
// where it ends, so a file is refused for what it lacks, not for a size field
// some writer got wrong.
bool readRecordHeader(ByteCursor& in, const PresetOwner& owner, Record expected, std::string& error)
{
    if (!in.tag("CcnK")) {
        error = in.remaining() < 4 ? kCutShort : "not a VST preset file (it doesn't begin with 'CcnK')";
        return false;
    }
    const std::uint8_t* kindBytes = nullptr;
    if (!in.skip(4) || !in.bytes(4, kindBytes)) {
        error = kCutShort;
        return false;
    }
    const std::string kind(kindBytes, kindBytes + 4);
    const bool bank = kind == "FxBk" || kind == "FBCh";
    if (!bank && kind != "FxCk" && kind != "FPCh") {
        error = "unknown kind of record '" + kind + "'";
        return false;
    }
    if (bank != (expected == Record::Bank)) {
        error = bank ? "the file is a bank (.fxb), not a single program (.fxp)"
                     : "the file is a single program (.fxp), not a bank (.fxb)";
        return false;
    }
    if (kind == "FPCh" || kind == "FBCh") {
        error =
            std::string("the ") + (bank ? "bank" : "program") + " holds a plug-in's opaque chunk, not parameter values";
        return false;
    }
    std::uint32_t version = 0, id = 0;
    if (!in.u32(version) || !in.u32(id) || !in.skip(4)) {
        error = kCutShort;
        return false;
    }
    if (version < 1 || version > (bank ? kNewestBankFormatVersion : kProgramFormatVersion)) {
        error = "unknown format version " + std::to_string(version);
        return false;
    }
    if (id != static_cast<std::uint32_t>(owner.uniqueId)) {
        error = "the preset is for another plug-in (ID " + idText(id) + ", not " +
                idText(static_cast<std::uint32_t>(owner.uniqueId)) + ")";
        return false;
    }
    return true;
}

bool readProgram(ByteCursor& in, const PresetOwner& owner, Preset& preset, std::string& error)
{
    if (!readRecordHeader(in, owner, Record::Program, error))
        return false;
    std::uint32_t count = 0;
    const std::uint8_t* name = nullptr;
    if (!in.u32(count) || !in.bytes(kPresetNameFieldBytes, name)) {
        error = kCutShort;
        return false;
    }
    if (count != owner.parameterCount) {
        error = "the program has " + std::to_string(count) + " parameters, the plug-in " +
                std::to_string(owner.parameterCount);
        return false;
    }
    Preset result;
    result.name.assign(name, std::find(name, name + kPresetNameFieldBytes, 0));
    result.values.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t bits = 0;
        if (!in.u32(bits)) {
            error = kCutShort;
            return false;
        }
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        std::string problem = valueProblem(value, i);
        if (!problem.empty()) {
            error = problem;
            return false;
        }
        result.values.push_back(value);
    }
    preset = std::move(result);
    return true;
}

} // namespace

bool writeFxp(const PresetOwner& owner, const Preset& preset, std::vector<std::uint8_t>& file, std::string& error)
{
    const std::string problem = presetProblem(owner, preset);
    if (!problem.empty()) {
        error = problem;
        return false;
    }
    std::vector<std::uint8_t> out;
    appendProgram(owner, preset, out);
    file = std::move(out);
    return true;
}

bool readFxp(const std::uint8_t* data, std::size_t size, const PresetOwner& owner, Preset& preset, std::string& error)
{
    ByteCursor in(data, size);
    return readProgram(in, owner, preset, error);
}

bool writeFxb(const PresetOwner& owner, const std::vector<Preset>& presets, std::vector<std::uint8_t>& file,
              std::string& error)
{
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const std::string problem = presetProblem(owner, presets[i]);
        if (!problem.empty()) {
            error = "program " + std::to_string(i + 1) + ": " + problem;
            return false;
        }
    }
    const std::size_t programBytes = kProgramHeaderBytes + 4 * owner.parameterCount;
    std::vector<std::uint8_t> out;
    out.reserve(kBankHeaderBytes + presets.size() * programBytes);
    ByteWriter write(out);
    write.tag("CcnK");
    write.u32(static_cast<std::uint32_t>(kBankHeaderBytes - kRecordPrefixBytes + presets.size() * programBytes));
    write.tag("FxBk");
    write.u32(1); // version 1: the bank names no current program
    write.u32(static_cast<std::uint32_t>(owner.uniqueId));
    write.u32(static_cast<std::uint32_t>(owner.version));
    write.u32(static_cast<std::uint32_t>(presets.size()));
    out.insert(out.end(), kBankReservedBytes, 0);
    for (const Preset& preset : presets)
        appendProgram(owner, preset, out);
    file = std::move(out);
    return true;
}

bool readFxb(const std::uint8_t* data, std::size_t size, const PresetOwner& owner, std::vector<Preset>& presets,
             std::string& error)
{
    ByteCursor in(data, size);
    if (!readRecordHeader(in, owner, Record::Bank, error))
        return false;
    std::uint32_t count = 0;
    if (!in.u32(count) || !in.skip(kBankReservedBytes)) {
        error = kCutShort;
        return false;
    }
    // Checked before anything is reserved for the programs.
    const std::size_t programBytes = kProgramHeaderBytes + 4 * owner.parameterCount;
    if (count > in.remaining() / programBytes) {
        error = "the bank declares " + std::to_string(count) + " programs, the file holds " +
                std::to_string(in.remaining() / programBytes) + " (it is cut short)";
        return false;
    }
    std::vector<Preset> result(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!readProgram(in, owner, result[i], error)) {
            error = "program " + std::to_string(i + 1) + ": " + error;
            return false;
        }
    }
    presets = std::move(result);
    return true;
}

} // namespace formats
