#pragma once
// What the framework's CLAP and VST 3 bases (framework/clap/plugin.h,
// framework/vst3/plugin.h) ask of a plug-in class, answered once for
// Veldane: the synthesizer, its parameters, state, factory patches and the
// panel's sections as parameter groups. Each format's plug-in class derives
// from SynthPlugin first, so the synthesizer is built before the base and
// outlives the base's open editor.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/event.h"
#include "framework/parameter_groups.h"
#include "synth/patches.h"
#include "synth/state.h"
#include "synth/synth.h"
#include "ui/panel_sections.h"

namespace Veldane {

class SynthPlugin {
public:
    Synth synth;

    Parameters& parameters() noexcept { return synth.params; }
    void setSampleRate(double rate) { synth.setSampleRate(rate); }
    void prepareBlock() noexcept { synth.applyParameterChanges(); }
    void handleEvent(const zem::Event& event) noexcept { synth.handleEvent(event); }
    template <class Sample>
    void render(int count, Sample* out) noexcept {
        synth.render(count, out);
    }
    // The synthesizer's versioned record of every value and the panel's zoom
    // (synth/state.h); a record without a zoom leaves `zoom` as it was.
    std::vector<std::uint8_t> saveState(int zoom) const {
        InstanceSettings settings;
        settings.panelZoom = zoom;
        return Veldane::saveState(synth.params, settings);
    }
    bool loadState(const std::uint8_t* data, std::size_t size, int& zoom) {
        std::string error; // a host learns only that the state was refused
        InstanceSettings settings;
        settings.panelZoom = zoom;
        if (!Veldane::loadState(data, size, synth.params, error, &settings)) return false;
        zoom = settings.panelZoom;
        return true;
    }

    // The factory patches, in table order (synth/patches.h).
    static const std::vector<Patch>& presets() { return factoryPatches(); }

    // The panel's sections (ui/panel_sections.h); the reserved parameter,
    // which has no control, is in none.
    static const zem::ParameterGroups& parameterGroups() noexcept {
        static constexpr zem::ParameterGroups groups = {
            panelSectionCount,
            [](int section) noexcept { return section >= 0 && section < panelSectionCount ? panelSections[section].name : nullptr; },
            [](int id) noexcept { return sectionOf(id); },
        };
        return groups;
    }
};

} // namespace Veldane
