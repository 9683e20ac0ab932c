#include "synth/patches.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace Veldane {

// The factory table's text and where it came from (generated at build time,
// factory_table.cpp.in).
extern const char* const kFactoryTableText;
extern const char* const kFactoryTableSource;

namespace {

constexpr char kPatchKey[] = "patch:";
constexpr char kCategoryKey[] = "category:";
// Longest category name: it heads a column of the documentation's table.
constexpr std::size_t kMaxCategoryLength = 24;

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool startsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Patch names also become file names (NAME.fxp), so they hold nothing a file
// system or a shell would read specially.
bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr(" -+&'.()", c) != nullptr;
}

std::string display(const zem::Parameter& p)
{
    char text[zem::kParameterDisplayLength + 1];
    p.getDisplay(text);
    return text;
}

// What the parameter can be set to, for messages: its entries, or its
// display at both ends of its range.
std::string rangeHint(int id)
{
    Parameters scratch;
    const zem::Parameter& p = *scratch.at(id);
    if (const auto* choice = dynamic_cast<const zem::ParameterEnum*>(&p)) {
        std::string entries;
        for (int entry = choice->min; entry <= choice->max; ++entry) {
            const std::string name = choice->names[entry];
            if (entries.find('"' + name + '"') == std::string::npos)
                entries += (entries.empty() ? "" : ", ") + ('"' + name + '"');
        }
        return "one of " + entries;
    }
    if (dynamic_cast<const zem::ParameterSwitch*>(&p))
        return "On or Off";
    scratch.set(id, 0.0f);
    std::string hint = display(p) + " .. ";
    scratch.set(id, 1.0f);
    hint += display(p);
    return p.label[0] ? hint + ' ' + p.label : hint;
}

// Whether a value written as `written` is what the display shows: the same
// text once a unit label is dropped, where a whole number may leave out the
// display's ".0" and a long entry name may be written whole where the display
// cuts it.
bool showsAsWritten(const zem::Parameter& p, std::string written, const std::string& shown)
{
    const std::string label = lower(p.label);
    if (!label.empty() && written.size() >= label.size() &&
        lower(written.substr(written.size() - label.size())) == label)
        written = trim(written.substr(0, written.size() - label.size()));
    const auto cut = [](const std::string& s) { return s.substr(0, zem::kParameterDisplayLength); };
    return cut(written) == shown || cut(written + ".0") == shown;
}

class TableReader {
public:
    TableReader(const std::string& source, std::string& error) : source(source), error(error) {}

    bool read(const std::string& text, std::vector<Patch>& out)
    {
        Parameters defaults;
        for (int id = 0; id < kParamCount; ++id)
            defaultValues[static_cast<std::size_t>(id)] = defaults.get(id);
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            ++number;
            line = trim(line.substr(0, line.find('#')));
            if (line.empty())
                continue;
            if (!(startsWith(line, kPatchKey)      ? startPatch(trim(line.substr(std::strlen(kPatchKey))))
                  : startsWith(line, kCategoryKey) ? setCategory(trim(line.substr(std::strlen(kCategoryKey))))
                                                   : addSetting(line)))
                return false;
        }
        if (!finishPatch())
            return false;
        out = std::move(patches);
        return true;
    }

private:
    bool fail(int at, const std::string& what)
    {
        error = source + ':' + std::to_string(at) + ": " + what;
        return false;
    }

    bool finishPatch()
    {
        if (!open)
            return true;
        open = false;
        if (patches.back().category.empty())
            return fail(patches.back().line, "the patch \"" + patches.back().name + "\" has no \"category:\" line");
        return true;
    }

    bool startPatch(const std::string& name)
    {
        if (!finishPatch())
            return false;
        if (name.empty() || name.size() > kMaxPatchNameLength)
            return fail(number, "a patch name has 1 to " + std::to_string(kMaxPatchNameLength) +
                                    " characters: \"" + name + "\"");
        if (!std::all_of(name.begin(), name.end(), isNameCharacter))
            return fail(number, "a patch name holds only letters, digits, spaces and - + & ' . ( ): \"" + name + "\"");
        if (const Patch* other = findPatch(patches, name))
            return fail(number, "a second patch called \"" + name + "\" (the first is on line " +
                                    std::to_string(other->line) + ")");
        Patch patch;
        patch.name = name;
        patch.values = defaultValues;
        patch.line = number;
        patches.push_back(patch);
        listed.fill(0);
        open = true;
        return true;
    }

    bool setCategory(const std::string& category)
    {
        if (!open)
            return fail(number, "\"category:\" before the first \"patch:\"");
        if (!patches.back().category.empty())
            return fail(number, "a second category for \"" + patches.back().name + "\"");
        if (category.empty() || category.size() > kMaxCategoryLength)
            return fail(number, "a category has 1 to " + std::to_string(kMaxCategoryLength) + " characters");
        patches.back().category = category;
        return true;
    }

    bool addSetting(const std::string& line)
    {
        if (!open)
            return fail(number, "expected \"patch: NAME\" before the first setting");
        int id = -1;
        float value = 0.0f;
        std::string why;
        if (!parseSetting(scratch, line, id, value, why))
            return fail(number, why);
        const std::size_t slot = static_cast<std::size_t>(id);
        if (listed[slot] != 0)
            return fail(number, std::string("\"") + scratch.at(id)->name + "\" is set twice in \"" +
                                    patches.back().name + "\" (first on line " + std::to_string(listed[slot]) + ")");
        scratch.set(id, value);
        const std::string written = trim(line.substr(line.find('=') + 1));
        const std::string shown = display(*scratch.at(id));
        if (!showsAsWritten(*scratch.at(id), written, shown))
            return fail(number, std::string("\"") + scratch.at(id)->name + " = " + written +
                                    "\": the plug-in shows this value as \"" + shown +
                                    "\"; write it as the plug-in shows it");
        listed[slot] = number;
        patches.back().values[slot] = value;
        return true;
    }

    const std::string& source;
    std::string& error;
    Parameters scratch; // reads and displays each value
    std::array<float, kParamCount> defaultValues{};
    std::array<int, kParamCount> listed{}; // line of each parameter's setting in the open patch, or 0
    std::vector<Patch> patches;
    int number = 0;    // current line
    bool open = false; // a patch has started and not yet been checked whole
};

} // namespace

bool parsePatchTable(const std::string& text, const std::string& source, std::vector<Patch>& patches,
                     std::string& error)
{
    return TableReader(source, error).read(text, patches);
}

namespace {

// The factory table, read once; a failure leaves it empty with the reason.
struct FactoryTable {
    std::vector<Patch> patches;
    std::string error;
    FactoryTable() { parsePatchTable(kFactoryTableText, kFactoryTableSource, patches, error); }
};

const FactoryTable& factoryTable()
{
    static const FactoryTable table;
    return table;
}

} // namespace

const std::vector<Patch>& factoryPatches()
{
    return factoryTable().patches;
}

const std::string& factoryTableError()
{
    return factoryTable().error;
}

const Patch* findPatch(const std::vector<Patch>& patches, const std::string& name)
{
    const std::string wanted = lower(name);
    for (const Patch& p : patches)
        if (lower(p.name) == wanted)
            return &p;
    return nullptr;
}

int findParameter(const Parameters& params, const std::string& name)
{
    const std::string wanted = lower(name);
    for (int id = 0; id < kParamCount; ++id)
        if (lower(params.at(id)->name) == wanted)
            return id;
    return -1;
}

bool parseSetting(const Parameters& params, const std::string& setting, int& id, float& normalized,
                  std::string& error)
{
    const auto equals = setting.find('=');
    if (equals == std::string::npos) {
        error = "expected \"PARAMETER = VALUE\", not \"" + setting + "\"";
        return false;
    }
    const std::string name = trim(setting.substr(0, equals));
    const std::string value = trim(setting.substr(equals + 1));
    const int found = findParameter(params, name);
    if (found < 0) {
        error = "Veldane has no parameter called \"" + name + "\"";
        return false;
    }
    float n = 0.0f;
    if (!params.at(found)->textToNormalized(value.c_str(), n)) {
        error = std::string("\"") + params.at(found)->name + "\" cannot be \"" + value + "\" (it takes " +
                rangeHint(found) + ")";
        return false;
    }
    id = found;
    normalized = n;
    return true;
}

} // namespace Veldane
