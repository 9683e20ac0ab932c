// libFuzzer entry for the Standard MIDI File reader: any bytes must give
// either a refusal with a reason and no song, or a song whose events are
// channel messages in time order, never a crash, a hang, a read outside the
// input or an allocation out of proportion to it (the build adds
// AddressSanitizer and UBSan; libFuzzer's memory limit catches the last).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    formats::MidiSong song;
    song.endSeconds = -1.0;
    std::string error;
    if (!formats::readMidiFile(data, size, song, error)) {
        if (error.empty() || song.endSeconds != -1.0 || !song.events.empty())
            std::abort();
        return 0;
    }
    // Every event takes at least two bytes of the file.
    if (song.events.size() > size / 2 || !std::isfinite(song.endSeconds))
        std::abort();
    double previous = 0.0;
    for (const formats::TimedMidiEvent& e : song.events) {
        if (!(e.seconds >= previous) || !std::isfinite(e.seconds))
            std::abort();
        previous = e.seconds;
        const int kind = e.bytes[0] & 0xF0;
        const bool oneDataByte = kind == 0xC0 || kind == 0xD0;
        if (e.bytes[0] < 0x80 || e.bytes[0] >= 0xF0 || e.bytes[1] >= 0x80 || e.bytes[2] >= 0x80 ||
            (oneDataByte && e.bytes[2] != 0))
            std::abort();
    }
    if (song.endSeconds < previous)
        std::abort();
    return 0;
}
