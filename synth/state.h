#pragma once
// The instance's whole state as bytes, for plug-in formats that save and
// restore state themselves (CLAP, VST3): every parameter's normalized value,
// keyed by its id, in a small versioned record, and the instance's settings
// that are no parameters (the panel's zoom), keyed by ids of their own.
//
// Layout, little-endian:
//   'V' 'L' 'D' 'N'        magic, so a foreign record is told apart at once
//   uint32 version         kStateVersion
//   uint32 count           entries that follow, at most kMaxStateEntries
//   count x { uint32 id, float32 normalized }
// Ids a later version may add are skipped on reading; ids not in a record
// keep their values. Settings use ids from kFirstSettingId on, far above any
// parameter's, and are written only when set, so a record without them is
// exactly one of a version that had none, and such a version reads the
// settings of a later one as ids to skip. Reading is all or nothing: a record
// that is truncated, foreign, of a newer version, holds a value that is not
// finite or names an id twice changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "synth/parameters.h"

namespace Veldane {

constexpr std::uint32_t kStateVersion = 1;
// Far more ids than a parameter set will ever have; bounds what a reader
// accepts from a hostile record.
constexpr std::uint32_t kMaxStateEntries = 4096;
// The first id of a setting; below it every id is a parameter's.
constexpr std::uint32_t kFirstSettingId = 0x10000;
// The panel's zoom, in percent (100, 150, 200).
constexpr std::uint32_t kPanelZoomId = kFirstSettingId;

// The instance's settings that are no parameters.
struct InstanceSettings {
    // The size the user chose for the panel in its zoom menu, in percent
    // (100, 150 or 200; the editor takes no other); 0 while none was chosen
    // (the panel follows the host and the screen).
    int panelZoom = 0;
};

// Any thread but the audio thread (allocates). The stored values of every
// parameter, the reserved one included, in id order, then the settings that
// are set.
std::vector<std::uint8_t> saveState(const Parameters& params, const InstanceSettings& settings = InstanceSettings());

// Any thread but the audio thread. Checks the whole record first; when it is
// sound, sets every parameter it names (as a host's write: the audio thread
// takes the changes at its next processing call), stores in `settings` (when
// given) each setting it holds, and answers true; a zoom that is no whole
// percentage from 1 to 1000 counts as none. Otherwise answers false, says
// why in `error` and changes nothing.
bool loadState(const std::uint8_t* data, std::size_t size, Parameters& params, std::string& error,
               InstanceSettings* settings = nullptr);

} // namespace Veldane
