#pragma once
// Texts across the VST 3 boundary, where names and displays are UTF-16.
// Ours are ASCII, so a code unit per character is the whole conversion.
// Any thread; never allocates.

#include <cstddef>

#include "framework/vst3/base.h"

namespace zem::vst3 {

// Writes `text` (null: empty) into `out`, a buffer of `capacity` code units
// (at least 1), cut to fit and always zero-terminated.
inline void copyText(TChar* out, std::size_t capacity, const char* text) noexcept {
    std::size_t i = 0;
    for (; text != nullptr && text[i] != '\0' && i + 1 < capacity; ++i)
        out[i] = static_cast<TChar>(static_cast<unsigned char>(text[i]));
    out[i] = 0;
}

template <std::size_t N>
void copyText(TChar (&out)[N], const char* text) noexcept {
    copyText(out, N, text);
}

// The same into an 8-bit field of the factory's records.
template <std::size_t N>
void copyText(char8 (&out)[N], const char* text) noexcept {
    std::size_t i = 0;
    for (; text != nullptr && text[i] != '\0' && i + 1 < N; ++i) out[i] = text[i];
    out[i] = '\0';
}

// Reads a host's zero-terminated UTF-16 text of at most capacity - 1 units
// into `out`. Answers false, leaving `out` empty, for a null text, one that
// is longer, or one with a character outside ASCII (no parameter of ours
// reads such a text).
inline bool readAscii(const TChar* text, char* out, std::size_t capacity) noexcept {
    if (capacity == 0) return false;
    out[0] = '\0';
    if (text == nullptr) return false;
    for (std::size_t i = 0; i < capacity; ++i) {
        if (text[i] == 0) {
            out[i] = '\0';
            return true;
        }
        if (text[i] > 0x7F || i + 1 == capacity) break;
        out[i] = static_cast<char>(text[i]);
    }
    out[0] = '\0';
    return false;
}

} // namespace zem::vst3
