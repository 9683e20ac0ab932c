#pragma once
// The instance's whole state as bytes, for plug-in formats that save and
// restore state themselves (CLAP, VST3): every parameter's normalized value,
// keyed by its id, in a small versioned record.
//
// Layout, little-endian:
//   'V' 'L' 'D' 'N'        magic, so a foreign record is told apart at once
//   uint32 version         kStateVersion
//   uint32 count           entries that follow, at most kMaxStateEntries
//   count x { uint32 id, float32 normalized }
// Ids a later version may add are skipped on reading; ids not in a record
// keep their values. Reading is all or nothing: a record that is truncated,
// foreign, of a newer version, holds a value that is not finite or names an
// id twice changes nothing.
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

// Any thread but the audio thread (allocates). The stored values of every
// parameter, the reserved one included, in id order.
std::vector<std::uint8_t> saveState(const Parameters& params);

// Any thread but the audio thread. Checks the whole record first; when it is
// sound, sets every parameter it names (as a host's write: the audio thread
// takes the changes at its next processing call) and answers true. Otherwise
// answers false, says why in `error` and changes nothing.
bool loadState(const std::uint8_t* data, std::size_t size, Parameters& params, std::string& error);

} // namespace Veldane
