#include "framework/vst3/stream.h"

#include <algorithm>
#include <climits>

namespace zem::vst3 {

bool writeAll(IBStream* stream, const std::uint8_t* data, std::size_t size) noexcept {
    if (stream == nullptr) return false;
    std::size_t done = 0;
    while (done < size) {
        const int32 ask = static_cast<int32>(std::min<std::size_t>(size - done, INT32_MAX));
        int32 written = 0;
        // The stream's interface takes a non-const buffer it only reads from.
        const tresult r = stream->write(const_cast<std::uint8_t*>(data + done), ask, &written);
        if (r != kResultOk || written <= 0 || written > ask) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool readToEnd(IBStream* stream, std::uint8_t* buffer, std::size_t capacity, std::size_t& size) noexcept {
    size = 0;
    if (stream == nullptr) return false;
    // One byte beyond the capacity tells a stream that is too long from one
    // that fills the buffer exactly.
    std::uint8_t probe = 0;
    for (;;) {
        const bool full = size == capacity;
        std::uint8_t* at = full ? &probe : buffer + size;
        const int32 ask = full ? 1 : static_cast<int32>(std::min<std::size_t>(capacity - size, INT32_MAX));
        int32 got = 0;
        const tresult r = stream->read(at, ask, &got);
        // Streams differ in what they answer at the end (some OK, some
        // false); nothing read is the end either way. A record cut short by
        // a failing stream is told by its length.
        if (got == 0) return true;
        if (r != kResultOk || got < 0 || got > ask) return false;
        if (full) return false;
        size += static_cast<std::size_t>(got);
    }
}

} // namespace zem::vst3
