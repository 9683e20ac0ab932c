#pragma once
// Whether control port values by symbol, as an LV2 preset holds them or a
// host shows them after applying one, give a patch: every control port
// once, each value inside its port's range, and every parameter, once the
// plug-in's own conversion of port values (framework/plain_value.h) has
// taken them, showing what the patch shows.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/plain_value.h"
#include "synth/parameters.h"
#include "synth/patches.h"
#include "wrappers/lv2/ports.h"

namespace presetcheck {

using PortValues = std::vector<std::pair<std::string, double>>; // symbol, plain value

inline std::string display(const zem::Parameter& p) {
    char text[zem::kParameterDisplayLength + 1];
    p.getDisplay(text);
    return text;
}

// What differs from the patch, one message each; none when the values give it.
inline std::vector<std::string> differences(const Veldane::Patch& patch, const PortValues& ports) {
    const Veldane::Parameters fresh;
    std::map<std::string, int> idOfSymbol, seen;
    for (int id = 0; id < Veldane::kParamCount; ++id)
        if (id != Veldane::kReserved) idOfSymbol[Veldane::lv2::portSymbol(fresh.at(id)->name)] = id;
    std::vector<std::string> found;
    Veldane::Parameters fromPorts, fromPatch;
    for (const auto& [symbol, value] : ports) {
        const auto id = idOfSymbol.find(symbol);
        if (id == idOfSymbol.end() || seen[symbol]++ > 0) {
            found.push_back(symbol + ": no such port, or given twice");
            continue;
        }
        const zem::PlainRange range = zem::plainRangeOf(*fresh.at(id->second));
        if (!(value >= range.min && value <= range.max))
            found.push_back(symbol + " = " + std::to_string(value) + ": outside the port's range");
        zem::setPlainValue(*fromPorts.at(id->second), value);
    }
    for (const auto& [symbol, id] : idOfSymbol) {
        fromPatch.set(id, patch.values[static_cast<std::size_t>(id)]);
        if (seen.count(symbol) == 0)
            found.push_back(symbol + ": no value");
        else if (display(*fromPorts.at(id)) != display(*fromPatch.at(id)))
            found.push_back(symbol + " shows " + display(*fromPorts.at(id)) + ", the patch " +
                            display(*fromPatch.at(id)));
    }
    return found;
}

} // namespace presetcheck
