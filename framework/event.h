#pragma once
// A note, pedal or bend event taken from the host's MIDI, waiting in the
// plug-in's queue for the block that applies it.

#include <cstdint>

namespace zem {

struct Event {
    enum Type : std::int32_t {
        NoteOn = 0,  // data1 note 0..127, data2 velocity 1..127
        NoteOff = 1, // data1 note 0..127, data2 release velocity 0..127 (unused)
        // 2 is produced by nothing and applies nothing.
        SustainOn = 3,  // pedal down
        SustainOff = 4, // pedal up
        PitchBend = 5,  // data1 centred bend -8192..+8191
    };

    std::int32_t type;        // a Type; any other value is ignored when applied
    std::int32_t deltaFrames; // sample offset into the block that applies it, as the host gave it
    std::int32_t data1;       // see Type
    std::int32_t data2;       // see Type
};

static_assert(sizeof(Event) == 16, "four 32-bit integers");

} // namespace zem
