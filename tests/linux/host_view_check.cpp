// Compares what a real host reports of Veldane's parameters with the
// plug-in's own table: names, defaults, ranges and, for LV2, the kind of
// each control, its unit and its entries. The host's report is a TSV table
// with a header line, from scripts/hosts (ardour-params.sh, lv2-check.sh);
// for LV2 also the port groups against the panel's sections. For the
// presets: the labels a host lists (lv2info, ardour-presets.sh) against the
// factory patches' names, and the values a host holds after it applied a
// preset (jalv-preset.sh: "symbol<TAB>value" lines; ardour-render.sh
// --values) against its patch.
//
// usage: host_view_check ardour-vst2|ardour-vst3|ardour-lv2|lv2info|lv2-groups FILE.tsv
//        host_view_check presets LABELS.txt
//        host_view_check ardour-presets FILE.tsv
//        host_view_check preset CONTROLS.txt PATCH_NAME
//        host_view_check ardour-preset-lv2|ardour-preset-vst3 FILE.tsv PATCH_NAME
//
// The expectations are those every build is held to (tests/parameter_table.h:
// names, normalized defaults, display texts at the ends); an LV2 host's plain
// values are taken to normalized values and texts through the plug-in's own
// conversion (framework/plain_value.h), so a port whose range or default
// does not span exactly the control the VST 2.4 plug-in offers is reported.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "framework/plain_value.h"
#include "framework/vst3/parameter_view.h"
#include "synth/parameters.h"
#include "tests/linux/preset_check.h"
#include "tests/parameter_table.h"
#include "ui/panel_sections.h"
#include "wrappers/lv2/ports.h"

namespace {

using Row = std::map<std::string, std::string>;

int failures = 0;

void expect(bool ok, const std::string& what) {
    if (ok) return;
    std::cerr << "host_view_check: " << what << "\n";
    ++failures;
}

std::vector<Row> readTable(const char* path) {
    std::ifstream in(path);
    std::vector<std::string> header;
    std::vector<Row> rows;
    std::string line;
    auto split = [](const std::string& text) {
        std::vector<std::string> cells;
        std::istringstream fields(text);
        for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
        if (!text.empty() && text.back() == '\t') cells.emplace_back();
        return cells;
    };
    if (std::getline(in, line)) header = split(line);
    while (std::getline(in, line)) {
        const std::vector<std::string> cells = split(line);
        Row row;
        for (std::size_t i = 0; i < header.size(); ++i) row[header[i]] = i < cells.size() ? cells[i] : "";
        rows.push_back(row);
    }
    if (header.empty()) expect(false, std::string("no table in ") + path);
    return rows;
}

double number(const Row& row, const char* column) {
    const auto it = row.find(column);
    char* end = nullptr;
    const double v = it == row.end() ? NAN : std::strtod(it->second.c_str(), &end);
    return (it != row.end() && end != it->second.c_str()) ? v : NAN;
}

std::set<std::string> words(const std::string& list) {
    std::set<std::string> out;
    std::istringstream in(list);
    for (std::string w; std::getline(in, w, ',');)
        if (!w.empty()) out.insert(w);
    return out;
}

// The display text parameter `id` shows after the plain value v is written
// to it, and its normalized value, from a fresh set of parameters.
struct Seen {
    std::string text;
    float normalized;
};
Seen afterPlain(int id, double v) {
    Veldane::Parameters fresh;
    zem::Parameter& p = *fresh.at(id);
    zem::setPlainValue(p, v);
    char text[zem::kParameterDisplayLength + 1];
    p.getDisplay(text);
    return {text, p.normalized()};
}

// Ardour 7's VST 2.4 view: every parameter, normalized 0..1.
void checkArdourVst2(const std::vector<Row>& rows) {
    expect(rows.size() == Veldane::kParamCount, "Ardour lists " + std::to_string(rows.size()) + " parameters");
    for (std::size_t i = 0; i < rows.size() && i < Veldane::kParamCount; ++i) {
        const ExpectedParameter& want = kExpectedParameters[i];
        const std::string name = rows[i].at("name");
        expect(name == want.name, "parameter " + std::to_string(i) + " is \"" + name + "\"");
        expect(std::fabs(number(rows[i], "default") - want.defaultNormalized) < 1e-6, name + ": default differs");
        expect(number(rows[i], "lower") == 0.0 && number(rows[i], "upper") == 1.0, name + ": range is not 0..1");
    }
}

// Ardour 7's VST 3 view: the 38 parameters a host may change (the hidden
// MIDI ones are not listed, the read-only placeholder is an output), in
// plain values: 0..1 for real-valued ones, the integer, entry number or 0/1
// for stepped ones, which Ardour marks toggled (one step) or integer-stepped.
void checkArdourVst3(const std::vector<Row>& rows) {
    expect(rows.size() == Veldane::kParamCount - 1, "Ardour lists " + std::to_string(rows.size()) + " parameters");
    const Veldane::Parameters fresh;
    for (std::size_t k = 0; k < rows.size() && k + 1 < Veldane::kParamCount; ++k) {
        const std::size_t i = k < Veldane::kReserved ? k : k + 1;
        const zem::Parameter& p = *fresh.at(static_cast<int>(i));
        const std::string name = rows[k].at("name");
        expect(name == kExpectedParameters[i].name, "parameter " + std::to_string(i) + " is \"" + name + "\"");
        const double plainDefault = zem::vst3::plainOfHostValue(p, zem::vst3::hostValueOf(p));
        expect(std::fabs(number(rows[k], "default") - plainDefault) < 1e-6, name + ": default differs");
        expect(number(rows[k], "lower") == zem::vst3::plainOfHostValue(p, 0.0) &&
                   number(rows[k], "upper") == zem::vst3::plainOfHostValue(p, 1.0),
               name + ": range differs");
        const int steps = zem::vst3::stepCountOf(p);
        const std::set<std::string> flags = words(rows[k].at("flags"));
        expect(flags.count("toggled") == (steps == 1), name + ": toggled?");
        expect(flags.count("integer_step") == (steps > 1), name + ": integer?");
    }
}

// Every LV2 control port: name, range and default against the table. The
// columns are the host's: Ardour's (lower, upper, default, flags) or
// lv2info's (minimum, maximum, default, properties).
struct Columns {
    const char* min;
    const char* max;
    const char* properties;
    const char* enumeration; // the word each uses for a property
    const char* integer;
};

void checkControls(const std::vector<Row>& controls, const Columns& c) {
    expect(controls.size() == Veldane::lv2::kControlPortCount,
           "the host lists " + std::to_string(controls.size()) + " control ports");
    const Veldane::Parameters fresh;
    for (std::size_t k = 0; k < controls.size() && k < Veldane::lv2::kControlPortCount; ++k) {
        const Row& row = controls[k];
        const int id = Veldane::lv2::paramOfControlPort(Veldane::lv2::kFirstControlPort + static_cast<std::uint32_t>(k));
        const ExpectedParameter& want = kExpectedParameters[id];
        const std::string name = want.name;
        expect(row.at("name") == name, "control " + std::to_string(k) + " is \"" + row.at("name") + "\", not " + name);
        const Seen atDefault = afterPlain(id, number(row, "default"));
        expect(std::fabs(atDefault.normalized - want.defaultNormalized) < 1e-5, name + ": default differs");
        expect(afterPlain(id, number(row, c.min)).text == want.display[0], name + ": the lower end shows otherwise");
        expect(afterPlain(id, number(row, c.max)).text == want.display[2], name + ": the upper end shows otherwise");

        const zem::PlainRange range = zem::plainRangeOf(*fresh.at(id));
        const std::set<std::string> props = words(row.at(c.properties));
        expect(props.count(c.enumeration) == (range.kind == zem::PlainRange::Enumeration), name + ": enumeration?");
        expect(props.count("toggled") == (range.kind == zem::PlainRange::Toggle), name + ": toggled?");
        expect(props.count(c.integer) ==
                   (range.kind == zem::PlainRange::Integer || range.kind == zem::PlainRange::Enumeration),
               name + ": integer?");
        expect(props.count("logarithmic") == range.logarithmic, name + ": logarithmic?");
    }
}

// The panel's zoom port, last of the controls: an integer from 0 (none
// chosen) to 200 with its entries, default 0, kept from generic UIs.
void checkPanelZoom(const Row& row, const Columns& c) {
    expect(row.at("name") == "Panel Zoom", "the last control is \"" + row.at("name") + "\", not Panel Zoom");
    expect(number(row, "default") == 0.0 && number(row, c.min) == 0.0 && number(row, c.max) == 200.0,
           "Panel Zoom: range or default differs");
    const std::set<std::string> props = words(row.at(c.properties));
    expect(props.count(c.enumeration) == 1 && props.count(c.integer) == 1, "Panel Zoom: no integer enumeration");
}

// The table's controls, then the panel's zoom: a host's rows split there.
std::vector<Row> tableControls(const std::vector<Row>& controls, const Columns& c) {
    expect(!controls.empty(), "the host lists no controls");
    if (controls.empty()) return controls;
    checkPanelZoom(controls.back(), c);
    return std::vector<Row>(controls.begin(), controls.end() - 1);
}

// What Ardour writes for each unit in its value format.
const std::map<std::string, std::string> kArdourUnits = {
    {"Hz", "Hz"}, {"ms", "ms"}, {"dB", "dB"}, {"%", "%%"}, {"st", "semi"}};

// Ardour 7's LV2 view adds units and the entries' labels.
void checkArdourLv2(const std::vector<Row>& all) {
    const Columns columns{"lower", "upper", "flags", "enumeration", "integer_step"};
    const std::vector<Row> rows = tableControls(all, columns);
    checkControls(rows, columns);
    for (std::size_t k = 0; k < rows.size() && k < Veldane::lv2::kControlPortCount; ++k) {
        const int id = Veldane::lv2::paramOfControlPort(Veldane::lv2::kFirstControlPort + static_cast<std::uint32_t>(k));
        const std::string name = kExpectedParameters[id].name, label = kExpectedParameters[id].label;
        const std::string format = rows[k].at("print_fmt");
        if (!label.empty()) {
            expect(format.find(kArdourUnits.at(label)) != std::string::npos, name + ": unit " + label + " not shown");
        }
        // Each entry's label is the text the VST 2.4 plug-in shows for it
        // (which cuts it to 8 characters).
        std::istringstream points(rows[k].at("scale_points"));
        int entries = 0;
        for (std::string point; std::getline(points, point, ';'); ++entries) {
            const std::size_t eq = point.find('=');
            const std::string text = afterPlain(id, std::atof(point.substr(0, eq).c_str())).text;
            expect(eq != std::string::npos && point.substr(eq + 1, zem::kParameterDisplayLength) == text,
                   name + ": entry " + point + " shows as " + text);
        }
        const zem::PlainRange range = zem::plainRangeOf(*Veldane::Parameters().at(id));
        const int wantEntries = range.kind == zem::PlainRange::Enumeration ? static_cast<int>(range.max) + 1 : 0;
        expect(entries == wantEntries, name + ": " + std::to_string(entries) + " entries");
    }
}

// lv2info's view adds the port symbols and the two other ports.
void checkLv2info(const std::vector<Row>& rows) {
    expect(rows.size() == Veldane::lv2::kPortCount, "lv2info lists " + std::to_string(rows.size()) + " ports");
    if (rows.size() < Veldane::lv2::kFirstControlPort) return;
    const Row& midi = rows[Veldane::lv2::kMidiInPort];
    const Row& audio = rows[Veldane::lv2::kAudioOutPort];
    expect(midi.at("type") == "AtomPort" && midi.at("direction") == "input", "port 0 is no atom input");
    expect(audio.at("type") == "AudioPort" && audio.at("direction") == "output", "port 1 is no audio output");
    const Columns columns{"minimum", "maximum", "properties", "enumeration", "integer"};
    const std::vector<Row> controls =
        tableControls(std::vector<Row>(rows.begin() + Veldane::lv2::kFirstControlPort, rows.end()), columns);
    checkControls(controls, columns);
    expect(rows.back().at("symbol") == Veldane::lv2::kPanelZoomSymbol, "Panel Zoom: symbol");
    for (const Row& row : controls) {
        expect(row.at("type") == "ControlPort" && row.at("direction") == "input", row.at("name") + ": no control input");
        expect(row.at("symbol") == Veldane::lv2::portSymbol(row.at("name").c_str()), row.at("name") + ": symbol");
    }
}

// The preset labels a host lists: the factory patches' names, each as
// often as every other (once from an LV2 host; a VST 3 host may list the
// program and the preset file of each), in any order.
int checkPresetLabels(const std::vector<std::string>& labels) {
    const std::vector<Veldane::Patch>& table = Veldane::factoryPatches();
    expect(!table.empty(), Veldane::factoryTableError());
    std::map<std::string, int> listed;
    for (const std::string& label : labels) ++listed[label];
    for (const Veldane::Patch& p : table) {
        const int times = listed.count(p.name) ? listed[p.name] : 0;
        expect(times > 0 && times * table.size() == labels.size(),
               p.name + " is listed " + std::to_string(times) + " times among " + std::to_string(labels.size()));
        listed.erase(p.name);
    }
    for (const auto& [label, times] : listed) expect(false, "\"" + label + "\" is no factory patch");
    return static_cast<int>(labels.size());
}

// The factory patch `name`; it must leave the defaults, or a host that
// applied it could not be told from one that ignored it.
const Veldane::Patch* appliedPatch(const std::string& name) {
    const Veldane::Patch* patch = Veldane::findPatch(Veldane::factoryPatches(), name);
    expect(patch != nullptr, "no factory patch " + name);
    const Veldane::Parameters defaults;
    bool leavesDefaults = false;
    for (int id = 0; patch != nullptr && id < Veldane::kParamCount; ++id)
        leavesDefaults |= id != Veldane::kReserved &&
                          patch->values[static_cast<std::size_t>(id)] != defaults.at(id)->normalized();
    expect(leavesDefaults, name + " holds the defaults: applying it shows nothing");
    return patch;
}

// The LV2 control values (by symbol, plain) a host holds after applying the
// preset of `name`.
int checkAppliedPreset(const presetcheck::PortValues& values, const std::string& name) {
    if (const Veldane::Patch* patch = appliedPatch(name))
        for (const std::string& difference : presetcheck::differences(*patch, values)) expect(false, difference);
    return static_cast<int>(values.size());
}

// The VST 3 values Ardour holds after loading the preset of `name`, in its
// plain values (framework/vst3/parameter_view.h): each must show what the
// patch shows, for every parameter a host may change.
int checkAppliedVst3Preset(const std::vector<Row>& rows, const std::string& name) {
    const Veldane::Patch* patch = appliedPatch(name);
    Veldane::Parameters fromHost, fromPatch;
    std::set<int> seen;
    for (const Row& row : rows) {
        const int id = Veldane::findParameter(fromHost, row.at("name"));
        expect(id >= 0 && seen.insert(id).second, row.at("name") + ": no such parameter, or given twice");
        if (id < 0 || patch == nullptr) continue;
        zem::Parameter& p = *fromHost.at(id);
        zem::vst3::setFromHostValue(p, zem::vst3::hostValueOfPlain(p, number(row, "value")));
        fromPatch.set(id, patch->values[static_cast<std::size_t>(id)]);
        expect(presetcheck::display(p) == presetcheck::display(*fromPatch.at(id)),
               row.at("name") + " shows " + presetcheck::display(p) + ", the patch " +
                   presetcheck::display(*fromPatch.at(id)));
    }
    expect(seen.size() == Veldane::kParamCount - 1, std::to_string(seen.size()) + " parameters, not every one but the placeholder");
    return static_cast<int>(rows.size());
}

// The port groups an RDF reader finds (lv2-check.sh --groups): every control
// port in the group of its panel section.
void checkLv2Groups(const std::vector<Row>& rows) {
    const Veldane::Parameters fresh;
    std::map<std::string, std::string> groupOf;
    for (const Row& row : rows) groupOf[row.at("symbol")] = row.at("group");
    expect(rows.size() == Veldane::lv2::kControlPortCount, std::to_string(rows.size()) + " ports in groups");
    for (std::uint32_t port = Veldane::lv2::kFirstControlPort; port < Veldane::lv2::kPanelZoomPort; ++port) {
        const int id = Veldane::lv2::paramOfControlPort(port);
        const std::string symbol = Veldane::lv2::portSymbol(fresh.at(id)->name);
        expect(groupOf[symbol] == Veldane::panelSections[Veldane::sectionOf(id)].name,
               symbol + " is in the group \"" + groupOf[symbol] + "\"");
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool withPatch = mode == "preset" || mode == "ardour-preset-lv2" || mode == "ardour-preset-vst3";
    if (argc != (withPatch ? 4 : 3)) {
        std::cerr << "usage: host_view_check ardour-vst2|ardour-vst3|ardour-lv2|lv2info|lv2-groups FILE.tsv\n"
                     "       host_view_check presets LABELS.txt\n"
                     "       host_view_check ardour-presets FILE.tsv\n"
                     "       host_view_check preset CONTROLS.txt PATCH_NAME\n"
                     "       host_view_check ardour-preset-lv2|ardour-preset-vst3 FILE.tsv PATCH_NAME\n";
        return 2;
    }
    int rows = 0;
    if (mode == "presets") {
        std::vector<std::string> labels;
        std::ifstream in(argv[2]);
        for (std::string line; std::getline(in, line);) labels.push_back(line);
        rows = checkPresetLabels(labels);
    } else if (mode == "preset") {
        presetcheck::PortValues values;
        std::ifstream in(argv[2]);
        for (std::string symbol, value; std::getline(in, symbol, '\t') && std::getline(in, value);)
            values.emplace_back(symbol, std::strtod(value.c_str(), nullptr));
        rows = checkAppliedPreset(values, argv[3]);
    } else {
        const std::vector<Row> table = readTable(argv[2]);
        rows = static_cast<int>(table.size());
        if (mode == "ardour-vst2") {
            checkArdourVst2(table);
        } else if (mode == "ardour-vst3") {
            checkArdourVst3(table);
        } else if (mode == "ardour-lv2") {
            checkArdourLv2(table);
        } else if (mode == "lv2info") {
            checkLv2info(table);
        } else if (mode == "lv2-groups") {
            checkLv2Groups(table);
        } else if (mode == "ardour-presets") {
            std::vector<std::string> labels;
            for (const Row& row : table) labels.push_back(row.at("label"));
            checkPresetLabels(labels);
        } else if (mode == "ardour-preset-lv2") {
            // The panel's zoom is no parameter: a preset leaves it unchosen.
            presetcheck::PortValues values;
            for (const Row& row : table) {
                const std::string symbol = Veldane::lv2::portSymbol(row.at("name").c_str());
                if (symbol == Veldane::lv2::kPanelZoomSymbol)
                    expect(number(row, "value") == 0.0, "a preset set the panel's zoom to " + row.at("value"));
                else
                    values.emplace_back(symbol, number(row, "value"));
            }
            checkAppliedPreset(values, argv[3]);
        } else if (mode == "ardour-preset-vst3") {
            checkAppliedVst3Preset(table, argv[3]);
        } else {
            std::cerr << "host_view_check: unknown view " << mode << "\n";
            return 2;
        }
    }
    std::cout << "host_view_check: " << mode << ": " << rows << " rows, "
              << (failures == 0 ? "all as the plug-in's table says" : std::to_string(failures) + " differences") << "\n";
    return failures == 0 ? 0 : 1;
}
