#pragma once
// Whole records through a host's IBStream, which may hand over fewer bytes
// per call than asked. Main thread (state is saved and restored there); never
// throws.

#include <cstddef>
#include <cstdint>

#include "framework/vst3/base.h"

namespace zem::vst3 {

// Writes all `size` bytes; false when the stream is null or takes fewer.
bool writeAll(IBStream* stream, const std::uint8_t* data, std::size_t size) noexcept;

// Reads from the stream's position to its end into buffer[0..capacity) and
// sets `size` to the bytes read; a read that delivers nothing is the end.
// Answers false when the stream is null, a read fails having delivered
// bytes, or the stream holds more than `capacity` bytes (no record of ours
// is that long, so it is not one).
bool readToEnd(IBStream* stream, std::uint8_t* buffer, std::size_t capacity, std::size_t& size) noexcept;

} // namespace zem::vst3
