#pragma once
// Whole files in and out of memory for the readers and writers of this
// folder. Portable C++ (the same code on Linux and Windows).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace formats {

// Reads the whole file at `path`, refusing one larger than `maxBytes` (it
// stops reading soon after the limit). On failure leaves `bytes` untouched and
// says why in `error`.
bool readFileBytes(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes, std::string& error);

// Writes `bytes` as the whole file at `path`, replacing it. On failure removes
// what was written, so no partial file is left behind as if it were whole,
// and says why in `error`.
bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error);

} // namespace formats
