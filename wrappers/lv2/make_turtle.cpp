// Writes the LV2 bundle's Turtle files (manifest.ttl, veldane.ttl,
// presets.ttl) from the parameter table the plug-in itself is built from, at
// build time, so the ports a host reads can never disagree with the code:
// names, ranges and defaults come from a freshly built Veldane::Parameters,
// kinds and ranges from the same plain view the plug-in converts its port
// values with (framework/plain_value.h), the layout and URIs from
// wrappers/lv2/ports.h, the ports' groups from the panel's sections
// (ui/panel_sections.h). The plug-in's UI (the panel, an X11 UI in a library
// of its own) is declared with it; the presets are the factory patch table's
// (tools/patches/lv2_presets.h), in a bank per category.
//
// usage: make_turtle BUNDLE_DIR BINARY_FILE_NAME UI_BINARY_FILE_NAME MINOR_VERSION MICRO_VERSION
//                    TABLE SOURCE_NAME
//   TABLE        the patch table (presets/factory-patches.txt)
//   SOURCE_NAME  how messages name it (the path relative to the source tree)
// A table that does not read whole fails the build with
// "SOURCE_NAME:LINE: what is wrong"; no file is written then.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "formats/turtle.h"
#include "framework/editor_scale.h"
#include "framework/plain_value.h"
#include "synth/parameters.h"
#include "tools/patches/lv2_presets.h"
#include "tools/patches/patch_files.h"
#include "ui/panel_sections.h"
#include "wrappers/lv2/ports.h"
#include "wrappers/vst2/plugin.h"

namespace {

using formats::turtle::number;
using formats::turtle::quoted;
using Veldane::lv2::kPluginUri;
using Veldane::lv2::kUiUri;

constexpr char kPresetsFile[] = "presets.ttl";

// The LV2 unit of each unit label the parameter table uses. A new label
// must be added here (the tool refuses one it does not know), so no control
// silently loses its unit.
struct UnitOfLabel {
    const char* label;
    const char* unit;
};
constexpr UnitOfLabel kUnits[] = {
    {"Hz", "units:hz"}, {"ms", "units:ms"}, {"dB", "units:db"}, {"%", "units:pc"}, {"st", "units:semitone12TET"},
};

[[noreturn]] void fail(const std::string& why) {
    std::cerr << "make_turtle: " << why << "\n";
    std::exit(1);
}

const char* unitOf(const char* label) {
    if (label[0] == '\0') return nullptr;
    for (const UnitOfLabel& u : kUnits)
        if (std::string(u.label) == label) return u.unit;
    fail(std::string("no LV2 unit for the label \"") + label + "\"");
}

// The URI of a panel section as a port group: the plug-in's, with the
// section's symbol as fragment.
std::string groupUri(int section) { return std::string(kPluginUri) + "#" + Veldane::panelSections[section].symbol; }

void writeControlPort(std::ostream& out, int id, const zem::Parameter& p, std::set<std::string>& symbols) {
    const std::string symbol = Veldane::lv2::portSymbol(p.name);
    if (symbol.empty() || !symbols.insert(symbol).second)
        fail(std::string("parameter \"") + p.name + "\" gives an empty or repeated port symbol");
    const zem::PlainRange range = zem::plainRangeOf(p);

    out << " , [\n"
        << "        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << Veldane::lv2::controlPortOf(id) << " ;\n"
        << "        lv2:symbol " << quoted(symbol) << " ;\n"
        << "        lv2:name " << quoted(p.name) << " ;\n"
        << "        lv2:default " << number(range.current) << " ;\n"
        << "        lv2:minimum " << number(range.min) << " ;\n"
        << "        lv2:maximum " << number(range.max);
    switch (range.kind) {
    case zem::PlainRange::Toggle: out << " ;\n        lv2:portProperty lv2:toggled"; break;
    case zem::PlainRange::Integer: out << " ;\n        lv2:portProperty lv2:integer"; break;
    case zem::PlainRange::Enumeration: {
        out << " ;\n        lv2:portProperty lv2:integer , lv2:enumeration ;\n        lv2:scalePoint ";
        const auto& e = static_cast<const zem::ParameterEnum&>(p);
        for (int entry = static_cast<int>(range.min); entry <= static_cast<int>(range.max); ++entry) {
            out << (entry > range.min ? " , " : "") << "[ rdfs:label " << quoted(e.names[entry]) << " ; rdf:value "
                << entry << " ]";
        }
        break;
    }
    case zem::PlainRange::Real:
        if (range.logarithmic) out << " ;\n        lv2:portProperty pprops:logarithmic";
        break;
    }
    if (const char* unit = unitOf(p.label)) out << " ;\n        units:unit " << unit;
    const int section = Veldane::sectionOf(id);
    if (section < 0) fail(std::string("parameter \"") + p.name + "\" has a port but no panel section");
    out << " ;\n        pg:group <" << groupUri(section) << ">";
    out << "\n    ]";
}

// The panel's zoom (wrappers/lv2/ports.h): kept by hosts like any control,
// but neither shown by generic UIs nor automated.
void writePanelZoomPort(std::ostream& out) {
    out << " , [\n"
        << "        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << Veldane::lv2::kPanelZoomPort << " ;\n"
        << "        lv2:symbol " << quoted(Veldane::lv2::kPanelZoomSymbol) << " ;\n"
        << "        lv2:name \"Panel Zoom\" ;\n"
        << "        rdfs:comment \"The size the user chose for the panel in its zoom menu, in percent; 0 follows the "
           "host and the screen.\" ;\n"
        << "        lv2:default 0 ;\n"
        << "        lv2:minimum 0 ;\n"
        << "        lv2:maximum " << zem::Scale::kPercents[zem::Scale::kCount - 1] << " ;\n"
        << "        lv2:portProperty lv2:integer , lv2:enumeration , pprops:notOnGUI , pprops:notAutomatic ;\n"
        << "        lv2:scalePoint [ rdfs:label \"Auto\" ; rdf:value 0 ]";
    for (int percent : zem::Scale::kPercents)
        out << " , [ rdfs:label " << quoted(std::to_string(percent) + " %") << " ; rdf:value " << percent << " ]";
    out << "\n    ]";
}

void writePlugin(std::ostream& out, int minor, int micro) {
    const Veldane::Parameters params;
    out << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
           "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
           "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
           "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
           "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
           "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
           "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
           "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
           "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
           "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
           "\n"
           "# Written at build time from the parameter table; edits here are lost.\n"
        << "<" << kPluginUri << ">\n"
        << "    a lv2:Plugin , lv2:InstrumentPlugin , doap:Project ;\n"
        << "    doap:name " << quoted(Veldane::Plugin::effectName) << " ;\n"
        << "    doap:maintainer [ foaf:name " << quoted(Veldane::Plugin::vendorName) << " ] ;\n"
        << "    rdfs:comment \"A small subtractive synthesizer: two oscillators, a resonant filter, two envelopes "
           "and an LFO, eight voices.\" ;\n"
        << "    lv2:minorVersion " << minor << " ;\n"
        << "    lv2:microVersion " << micro << " ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    ui:ui <" << kUiUri << "> ;\n"
        << "    lv2:port [\n"
        << "        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports midi:MidiEvent ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << Veldane::lv2::kMidiInPort << " ;\n"
        << "        lv2:symbol \"midi_in\" ;\n"
        << "        lv2:name \"MIDI In\"\n"
        << "    ] , [\n"
        << "        a lv2:OutputPort , lv2:AudioPort ;\n"
        << "        lv2:index " << Veldane::lv2::kAudioOutPort << " ;\n"
        << "        lv2:symbol \"out\" ;\n"
        << "        lv2:name \"Out\"\n"
        << "    ]";
    std::set<std::string> symbols = {"midi_in", "out", Veldane::lv2::kPanelZoomSymbol};
    for (int id = 0; id < Veldane::kParamCount; ++id) {
        if (id == Veldane::kReserved) continue;
        writeControlPort(out, id, *params.at(id), symbols);
    }
    writePanelZoomPort(out);
    out << " .\n";
    // The panel's sections, which group the control ports.
    for (int section = 0; section < Veldane::panelSectionCount; ++section) {
        out << "\n<" << groupUri(section) << ">\n"
            << "    a pg:InputGroup ;\n"
            << "    lv2:symbol " << quoted(Veldane::panelSections[section].symbol) << " ;\n"
            << "    rdfs:label " << quoted(Veldane::panelSections[section].name) << " .\n";
    }
    // The panel in a child of the host's window (ui:parent), living on the
    // host's idle calls; it tells the host its size (ui:resize), at the
    // host's scale (ui:scaleFactor, through the options feature and the URID
    // map) or the user's zoom, and the user cannot drag it to another.
    out << "\n<" << kUiUri << ">\n"
        << "    a ui:X11UI ;\n"
        << "    lv2:requiredFeature ui:parent , ui:idleInterface ;\n"
        << "    lv2:optionalFeature ui:resize , ui:noUserResize , opts:options , urid:map ;\n"
        << "    opts:supportedOption ui:scaleFactor ;\n"
        << "    lv2:extensionData ui:idleInterface .\n";
}

// The manifest: the plug-in, its UI, then the presets' entries.
void writeManifest(std::ostream& out, const char* binary, const char* uiBinary, const std::string& presetEntries) {
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
           "\n"
        << "<" << kPluginUri << ">\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary <" << binary << "> ;\n"
        << "    rdfs:seeAlso <veldane.ttl> .\n"
        << "\n"
        << "<" << kUiUri << ">\n"
        << "    a ui:X11UI ;\n"
        << "    ui:binary <" << uiBinary << "> ;\n"
        << "    rdfs:seeAlso <veldane.ttl> .\n"
        << presetEntries;
}

// The factory patches as presets.ttl's text and the manifest's entries.
void writePresets(const char* tablePath, const char* sourceName, std::ostream& presets, std::ostream& entries) {
    std::string error;
    std::vector<Veldane::Patch> table;
    if (!patches::readPatchTableFile(tablePath, sourceName, table, error)) fail(error);
    patches::Lv2Plugin plugin{kPluginUri, {}};
    const Veldane::Parameters params;
    for (std::uint32_t port = Veldane::lv2::kFirstControlPort; port < Veldane::lv2::kPanelZoomPort; ++port) {
        const int id = Veldane::lv2::paramOfControlPort(port);
        plugin.ports.emplace_back(id, Veldane::lv2::portSymbol(params.at(id)->name));
    }
    if (!patches::writeLv2Presets(presets, entries, kPresetsFile, table, plugin, error)) fail(error);
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path);
    file << text;
    file.close();
    if (!file) fail("cannot write " + path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 8)
        fail("usage: make_turtle BUNDLE_DIR BINARY_FILE_NAME UI_BINARY_FILE_NAME MINOR_VERSION MICRO_VERSION "
             "TABLE SOURCE_NAME");
    const std::string dir = argv[1];
    std::ostringstream manifest, plugin, presets, presetEntries;
    writePresets(argv[6], argv[7], presets, presetEntries);
    writeManifest(manifest, argv[2], argv[3], presetEntries.str());
    writePlugin(plugin, std::atoi(argv[4]), std::atoi(argv[5]));
    writeFile(dir + "/manifest.ttl", manifest.str());
    writeFile(dir + "/veldane.ttl", plugin.str());
    writeFile(dir + "/" + kPresetsFile, presets.str());
    return 0;
}
