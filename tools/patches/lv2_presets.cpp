#include "tools/patches/lv2_presets.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <ostream>
#include <sstream>

#include "formats/turtle.h"
#include "framework/plain_value.h"

namespace patches {

namespace {

using formats::turtle::number;
using formats::turtle::quoted;

constexpr char kPrefixes[] = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                             "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                             "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";

// The last part of a preset URI: the name in lower case, each run of other
// characters than letters and digits one '-', none at either end.
std::string slugOf(const std::string& name)
{
    std::string slug;
    for (const char c : name) {
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9'))
            slug += lower;
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    if (!slug.empty() && slug.back() == '-')
        slug.pop_back();
    return slug;
}

// Significant digits a preset's real value is rounded to: the patch's
// normalized value, a float, comes back as a plain value with noise in the
// seventh or eighth digit (400.00003 Hz for the table's "400 Hz"), while no
// display shows more than five.
constexpr int kPresetDigits = 6;

std::string displayOf(const zem::Parameter& p)
{
    char text[zem::kParameterDisplayLength + 1];
    p.getDisplay(text);
    return text;
}

// The value a preset gives a real control: the plain value rounded to
// kPresetDigits, as long as it stays in range and the plug-in shows it as it
// shows the patch's.
double presetValue(int id, const zem::Parameter& patchValue, const zem::PlainRange& range)
{
    if (range.kind != zem::PlainRange::Real || range.current == 0.0)
        return range.current;
    const double scale = std::pow(10.0, kPresetDigits - 1 - std::floor(std::log10(std::fabs(range.current))));
    const double rounded = std::round(range.current * scale) / scale;
    if (rounded < range.min || rounded > range.max)
        return range.current;
    Veldane::Parameters probe;
    zem::setPlainValue(*probe.at(id), rounded);
    return displayOf(*probe.at(id)) == displayOf(patchValue) ? rounded : range.current;
}

// One preset's port values, or false with `error` when one lies outside
// its port's range.
bool writePorts(std::ostream& out, const Veldane::Patch& patch, const Lv2Plugin& plugin, std::string& error)
{
    Veldane::Parameters scratch;
    for (int id = 0; id < Veldane::kParamCount; ++id)
        scratch.set(id, patch.values[static_cast<std::size_t>(id)]);
    const char* separator = "";
    for (const auto& [id, symbol] : plugin.ports) {
        const zem::PlainRange range = zem::plainRangeOf(*scratch.at(id));
        const double value = presetValue(id, *scratch.at(id), range);
        if (!(value >= range.min && value <= range.max)) {
            error = patch.name + ": " + symbol + " = " + number(value) + " lies outside its port's range";
            return false;
        }
        out << separator << "\n        [ lv2:symbol " << quoted(symbol) << " ; pset:value " << number(value) << " ]";
        separator = " ,";
    }
    return true;
}

} // namespace

std::string lv2PresetUri(const std::string& pluginUri, const std::string& patchName)
{
    return pluginUri + "/presets/" + slugOf(patchName);
}

std::string lv2BankUri(const std::string& pluginUri, const std::string& category)
{
    return pluginUri + "/banks/" + slugOf(category);
}

bool writeLv2Presets(std::ostream& presets, std::ostream& manifest, const std::string& presetsFile,
                     const std::vector<Veldane::Patch>& patches, const Lv2Plugin& plugin, std::string& error)
{
    std::ostringstream body, entries;
    body << kPrefixes << "\n# Written at build time from the factory patches; edits here are lost.\n";
    entries << "\n# The factory presets (" << presetsFile << ").\n" << kPrefixes;
    // A bank per category, in the order the table first names them.
    std::vector<std::string> banks;
    for (const Veldane::Patch& patch : patches) {
        if (std::find(banks.begin(), banks.end(), patch.category) != banks.end())
            continue;
        banks.push_back(patch.category);
        body << "\n<" << lv2BankUri(plugin.uri, patch.category) << ">\n"
             << "    a pset:Bank ;\n"
             << "    rdfs:label " << quoted(patch.category) << " .\n";
    }
    std::map<std::string, std::string> nameOfUri;
    for (const Veldane::Patch& patch : patches) {
        const std::string uri = lv2PresetUri(plugin.uri, patch.name);
        if (slugOf(patch.name).empty()) {
            error = "\"" + patch.name + "\" has no letter or digit to make its preset URI of";
            return false;
        }
        if (!nameOfUri.emplace(uri, patch.name).second) {
            error = "\"" + nameOfUri[uri] + "\" and \"" + patch.name + "\" give the same preset URI " + uri;
            return false;
        }
        body << "\n<" << uri << ">\n"
             << "    a pset:Preset ;\n"
             << "    lv2:appliesTo <" << plugin.uri << "> ;\n"
             << "    rdfs:label " << quoted(patch.name) << " ;\n"
             << "    pset:bank <" << lv2BankUri(plugin.uri, patch.category) << "> ;\n"
             << "    lv2:port";
        if (!writePorts(body, patch, plugin, error))
            return false;
        body << " .\n";
        entries << "\n<" << uri << ">\n"
                << "    a pset:Preset ;\n"
                << "    lv2:appliesTo <" << plugin.uri << "> ;\n"
                << "    rdfs:seeAlso <" << presetsFile << "> .\n";
    }
    presets << body.str();
    manifest << entries.str();
    return true;
}

} // namespace patches
