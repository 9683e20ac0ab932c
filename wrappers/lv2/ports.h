#pragma once
// Veldane as an LV2 plug-in: its URIs and port layout, shared by the plug-in
// (wrappers/lv2/plugin.cpp), its UI (wrappers/lv2/ui.cpp) and the tool that
// writes its Turtle files at build time (wrappers/lv2/make_turtle.cpp), so
// they cannot disagree.
//
// Ports: 0 the MIDI input (an atom sequence), 1 the mono audio output, then
// one control input per parameter in ParamId order, skipping kReserved,
// which drives nothing, and last the panel's zoom: a control input that no
// sound depends on, hidden from generic UIs, through which the UI keeps the
// size the user chose in its zoom menu with the instance (hosts save control
// values with their sessions and hand them to the UI when it opens). Hosts
// save a control by its port symbol, derived from the parameter's name
// (portSymbol): like the ids, names therefore never change once released.

#include <cstdint>
#include <string>

#include "synth/parameters.h"

namespace Veldane::lv2 {

// The plug-in's identity for LV2 hosts: a stable URI under the vendor's
// domain. Hosts store it in every saved session; it never changes.
inline constexpr const char* kPluginUri = "https://orvandel.com/plugins/veldane";
// Its user interface, the panel in an X11 window (wrappers/lv2/ui.cpp), in a
// library of its own in the bundle.
inline constexpr const char* kUiUri = "https://orvandel.com/plugins/veldane#ui";

constexpr std::uint32_t kMidiInPort = 0;
constexpr std::uint32_t kAudioOutPort = 1;
constexpr std::uint32_t kFirstControlPort = 2;
constexpr std::uint32_t kControlPortCount = kParamCount - 1; // every parameter but kReserved
// The panel's zoom in percent (100, 150, 200); 0, its default, while the
// user has chosen none.
constexpr std::uint32_t kPanelZoomPort = kFirstControlPort + kControlPortCount;
inline constexpr const char* kPanelZoomSymbol = "panel_zoom";
constexpr std::uint32_t kPortCount = kPanelZoomPort + 1;

// The control port of parameter `id` (any id but kReserved).
constexpr std::uint32_t controlPortOf(int id) noexcept {
    return kFirstControlPort + static_cast<std::uint32_t>(id < kReserved ? id : id - 1);
}

// The parameter behind control port `port`; -1 for a port that is none.
constexpr int paramOfControlPort(std::uint32_t port) noexcept {
    if (port < kFirstControlPort || port >= kFirstControlPort + kControlPortCount) return -1;
    const int n = static_cast<int>(port - kFirstControlPort);
    return n < kReserved ? n : n + 1;
}

// The port symbol of a parameter name: lower case, each run of other
// characters than letters and digits one '_', none at either end
// ("Osc1/2 Detune" -> "osc1_2_detune"). A symbol must not start with a digit;
// one that would gets a leading '_'. Not for the audio thread (allocates).
inline std::string portSymbol(const char* name) {
    std::string symbol;
    bool gap = false;
    for (const char* c = name; *c != '\0'; ++c) {
        const char lower = (*c >= 'A' && *c <= 'Z') ? static_cast<char>(*c - 'A' + 'a') : *c;
        const bool keep = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9');
        if (!keep) {
            gap = true;
            continue;
        }
        if (gap && !symbol.empty()) symbol += '_';
        gap = false;
        symbol += lower;
    }
    if (!symbol.empty() && symbol[0] >= '0' && symbol[0] <= '9') symbol.insert(0, 1, '_');
    return symbol;
}

} // namespace Veldane::lv2
