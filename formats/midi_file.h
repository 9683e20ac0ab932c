#pragma once
// Reading Standard MIDI Files (formats 0 and 1) into one list of channel
// messages with their times in seconds, every track merged, ready to be played
// into an instrument. Knows no synthesizer and no plug-in format.
//
// What is kept: the channel messages of every channel (note off/on, key
// pressure, controllers, program change, channel pressure, pitch bend),
// including those written with running status. What is read and dropped:
// meta events (tempo changes set the timing, the end of a track ends it) and
// system-exclusive messages. Unknown chunks are skipped by their length.
//
// Timing: ticks per quarter note with the file's tempo changes (from any
// track, 120 beats per minute until the first), or SMPTE frames and ticks per
// frame, where tempo changes don't apply.
//
// Hostile input: every length is checked against what is left of its chunk
// and of the file; a file that cannot be read whole (cut short, a length past
// the end, a status byte that is no event, a malformed number or tempo) is
// refused with a message saying what and where, and nothing is returned. Work
// and memory grow with the file's size only (at most one event per two bytes
// of track data), never with a number read from it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace formats {

// Largest file accepted: far beyond any song played into one instrument (a
// 3-minute multi-track song takes tens of KB). Reading needs at most 24 bytes
// of memory per byte of file (one event per two bytes at worst, held while
// being sorted and while being timed), so about 200 MB for the largest.
constexpr std::size_t kMaxMidiFileBytes = std::size_t{8} << 20;

struct TimedMidiEvent {
    double seconds;                    // from the start of the file
    std::array<std::uint8_t, 3> bytes; // status (0x80..0xEF), data bytes (< 0x80); 0 past the message's length
};

struct MidiSong {
    // Every channel message, sorted by time; at equal times the earlier track
    // comes first, and within a track the file's order is kept.
    std::vector<TimedMidiEvent> events;
    // When the last track ends (its end-of-track event, or else its last
    // event), in seconds from the start: at or after the last event.
    double endSeconds = 0.0;
};

// Reads a whole Standard MIDI File from memory. On success fills `song`; on
// failure leaves it untouched and says why in `error`.
bool readMidiFile(const std::uint8_t* data, std::size_t size, MidiSong& song, std::string& error);

} // namespace formats
