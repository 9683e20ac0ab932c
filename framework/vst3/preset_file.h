#pragma once
// VST 3 preset files (.vstpreset), as hosts read them from the documented
// preset folders: a header ('VST3', version 1, the component's class id as
// 32 ASCII hex digits, where the chunk list starts), the chunks' data, and
// the chunk list ('List', a count, then each chunk's id, offset and size).
// Chunks: 'Comp' the component's state (what IComponent::getState writes),
// 'Cont' the controller's state, 'Info' an XML list of attributes (name,
// category, ...). All numbers little-endian.
//
// Reading refuses, with the reason, a file that is cut short, not a preset
// file, of another layout or whose chunks lie outside it. Any thread; these
// functions allocate.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/vst3/base.h"

namespace zem::vst3 {

struct PresetFile {
    std::string classId;                  // 32 hex digits (uidText)
    std::vector<std::uint8_t> component;  // 'Comp'
    std::vector<std::uint8_t> controller; // 'Cont'; empty when the file has none
    std::string metaInfo;                 // 'Info'; empty when the file has none
};

// A class id as preset files write it: its four 32-bit numbers in upper-case
// hex, the same text on every system (the bytes of a Uid are not).
std::string uidText(const Uid& uid);

// The meta information: <MetaInfo> with one string <Attr> per (id, value),
// values escaped for XML.
std::string presetMetaInfo(const std::vector<std::pair<std::string, std::string>>& attributes);

// A preset file of the class `classId` holding the component's state and
// the meta information (no controller chunk: the controller keeps nothing).
std::vector<std::uint8_t> writePresetFile(const Uid& classId, const std::vector<std::uint8_t>& component,
                                          const std::string& metaInfo);

// Reads a preset file; false with `error` and `file` untouched when the bytes
// are not a whole preset file with a 'Comp' chunk.
bool readPresetFile(const std::uint8_t* data, std::size_t size, PresetFile& file, std::string& error);

} // namespace zem::vst3
