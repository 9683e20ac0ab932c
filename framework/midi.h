#pragma once
// Short MIDI messages to event records: the one translation every plug-in
// format uses (VST 2.4 events, LV2 atom MIDI, CLAP's and VST3's MIDI, the
// offline renderer), so a note means the same whichever way it arrives.

#include <cstdint>

#include "framework/event.h"

namespace zem {

// MIDI status nibbles (channel removed) and the controller we follow.
constexpr unsigned kMidiNoteOff = 0x80;
constexpr unsigned kMidiNoteOn = 0x90;
constexpr unsigned kMidiControlChange = 0xB0;
constexpr unsigned kMidiPitchBend = 0xE0;
constexpr int kMidiSustainController = 64;
// Pedal values 64..127 mean down, 0..63 up.
constexpr int kMidiSustainThreshold = 64;

// Fills `record` from a message's status and two data bytes, all 16 channels
// alike; answers false for messages that make no event (other controllers,
// key and channel pressure, program changes, system messages, running-status
// data bytes below 0x80). Any thread; never allocates.
inline bool translateMidi(unsigned char status, unsigned char byte1, unsigned char byte2, std::int32_t deltaFrames,
                          Event& record) noexcept {
    // Data bytes carry 7 bits. Notes, velocities and bends are masked to
    // them, so even a malformed message gives a note in 0..127 and a bend in
    // -8192..8191; a controller number is compared whole, so a malformed one
    // is never taken for the pedal.
    const int data1 = byte1 & 0x7F;
    const int data2 = byte2 & 0x7F;
    record.deltaFrames = deltaFrames;
    switch (status & 0xF0u) {
    case kMidiNoteOff:
    case kMidiNoteOn:
        record.type = ((status & 0xF0u) == kMidiNoteOn && data2 > 0) ? Event::NoteOn : Event::NoteOff;
        record.data1 = data1;
        record.data2 = data2;
        return true;
    case kMidiControlChange:
        if (byte1 != kMidiSustainController) return false;
        record.type = byte2 >= kMidiSustainThreshold ? Event::SustainOn : Event::SustainOff;
        return true;
    case kMidiPitchBend:
        // 14-bit value (msb * 128 + lsb) centred on 8192.
        record.type = Event::PitchBend;
        record.data1 = (data2 - 64) * 128 + data1;
        return true;
    default:
        return false;
    }
}

} // namespace zem
