#pragma once
// The panel's sections (OSC 1, OSC 2, PITCH, ...) and which parameter each
// holds, for hosts that show parameters in groups: VST 3 units, CLAP
// parameter modules and remote-control pages, LV2 port groups. A parameter's
// section is the frame its control sits in (panelLayout), so moving a control
// to another section moves its parameter there for every host too; no second
// list of parameters exists.
//
// Header only, constexpr: the build tools that write a bundle's files use it
// without the editor.

#include "ui/panel.h"

namespace Veldane {

struct PanelSection {
    const char* name;             // the title bar's text, as hosts show the group
    const char* symbol;           // a lower-case identifier (LV2 port groups need one)
    int left, top, right, bottom; // the section's frame in panel pixels, right and bottom outside it
};

// The artwork's frames (scripts/make-images.py draws them): five columns
// between the separators, the first, fourth and last split where their lower
// title bars begin. Listed in the order hosts show the groups: the sound's
// path from the oscillators to the LFO, the two envelopes, then the global
// controls.
constexpr int lowerSectionsTop = 186;
constexpr PanelSection panelSections[] = {
    {"OSC 1", "osc1", 0, 0, 153, lowerSectionsTop},
    {"OSC 2", "osc2", 0, lowerSectionsTop, 153, panelHeight},
    {"PITCH", "pitch", 153, 0, 247, panelHeight},
    {"FILTER", "filter", 247, 0, 392, panelHeight},
    {"LFO", "lfo", 392, 0, 548, lowerSectionsTop},
    {"AMP ENV", "amp_env", 548, 0, panelWidth, lowerSectionsTop},
    {"MOD ENV", "mod_env", 548, lowerSectionsTop, panelWidth, panelHeight},
    {"GLOBAL", "global", 392, lowerSectionsTop, 548, panelHeight},
};
constexpr int panelSectionCount = static_cast<int>(sizeof(panelSections) / sizeof(panelSections[0]));

// The section holding the control of parameter `id` (by its top left
// corner); -1 for a parameter the panel shows nowhere (the reserved one) and
// for an id outside the set.
constexpr int sectionOf(int id) {
    for (const PanelEntry& e : panelLayout) {
        if (e.parameter != id) continue;
        for (int s = 0; s < panelSectionCount; ++s) {
            const PanelSection& section = panelSections[s];
            if (e.left >= section.left && e.left < section.right && e.top >= section.top && e.top < section.bottom)
                return s;
        }
    }
    return -1;
}

} // namespace Veldane
