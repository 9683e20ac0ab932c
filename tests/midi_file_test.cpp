// The Standard MIDI File reader: hand-made files as bytes, read into timed
// channel messages (formats 0 and 1, running status, tempo changes, SMPTE
// timing, skipped meta and system-exclusive events), and hostile files refused
// with a message that says what is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "formats/midi_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes u16(unsigned v)
{
    return {std::uint8_t(v >> 8), std::uint8_t(v)};
}
Bytes u32(std::size_t v)
{
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}
// A variable-length number: seven bits a byte, most significant first.
Bytes vlq(std::uint32_t v)
{
    Bytes out{std::uint8_t(v & 0x7F)};
    while (v >>= 7)
        out.insert(out.begin(), std::uint8_t(0x80 | (v & 0x7F)));
    return out;
}

Bytes chunk(const char* type, const Bytes& body)
{
    return Bytes(type, type + 4) + u32(body.size()) + body;
}
Bytes header(unsigned format, unsigned tracks, unsigned division)
{
    return chunk("MThd", u16(format) + u16(tracks) + u16(division));
}
Bytes track(const Bytes& events)
{
    return chunk("MTrk", events);
}
Bytes endOfTrack(std::uint32_t delta = 0)
{
    return vlq(delta) + Bytes{0xFF, 0x2F, 0x00};
}
Bytes tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter)
{
    const Bytes value = u32(microsecondsPerQuarter);
    return vlq(delta) + Bytes{0xFF, 0x51, 0x03} + Bytes(value.begin() + 1, value.end());
}

struct Expected {
    double seconds;
    std::uint8_t status, data1, data2;
};

void expectEvents(const formats::MidiSong& song, const std::vector<Expected>& expected)
{
    ASSERT_EQ(song.events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const formats::TimedMidiEvent& e = song.events[i];
        EXPECT_NEAR(e.seconds, expected[i].seconds, 1e-12 * std::max(1.0, expected[i].seconds)) << "event " << i;
        EXPECT_EQ(e.bytes[0], expected[i].status) << "event " << i;
        EXPECT_EQ(e.bytes[1], expected[i].data1) << "event " << i;
        EXPECT_EQ(e.bytes[2], expected[i].data2) << "event " << i;
    }
}

formats::MidiSong read(const Bytes& file)
{
    formats::MidiSong song;
    std::string error;
    EXPECT_TRUE(formats::readMidiFile(file.data(), file.size(), song, error)) << error;
    return song;
}

TEST(MidiFile, FormatZeroWithRunningStatusOnEveryKindOfMessage)
{
    // 96 ticks per quarter at the default 120 beats per minute: 1/192 s a tick.
    const Bytes events = {
        0x00, 0x90, 60,   100, // note on
        0x00, 64,   90,        // running status: another note on
        0x60, 60,   0,         // a quarter later, note on with velocity 0
        0x00, 0x8F, 64,   10,  // note off, channel 16
        0x10, 0xC3, 5,         // program change: one data byte
        0x00, 7,               // running status with one data byte
        0x00, 0xE0, 0x00, 0x40, 0x00, 0xD1, 0x22, 0x00, 0xA2, 60, 1, 0x00, 0xB5, 64, 127,
    };
    const formats::MidiSong song = read(header(0, 1, 96) + track(events + endOfTrack(0x30)));
    const double tick = 0.5 / 96;
    expectEvents(song, {{0, 0x90, 60, 100},
                        {0, 0x90, 64, 90},
                        {96 * tick, 0x90, 60, 0},
                        {96 * tick, 0x8F, 64, 10},
                        {112 * tick, 0xC3, 5, 0},
                        {112 * tick, 0xC3, 7, 0},
                        {112 * tick, 0xE0, 0x00, 0x40},
                        {112 * tick, 0xD1, 0x22, 0},
                        {112 * tick, 0xA2, 60, 1},
                        {112 * tick, 0xB5, 64, 127}});
    EXPECT_NEAR(song.endSeconds, 160 * tick, 1e-12);
}

TEST(MidiFile, FormatOneMergesTracksInStableOrderUnderTempoChanges)
{
    // 100 ticks per quarter. The conductor track: 120 bpm, after one quarter
    // 60 bpm, at tick 300 240 bpm.
    const Bytes conductor = tempo(0, 500000) + tempo(100, 1000000) + tempo(200, 250000) + endOfTrack();
    const Bytes melody = Bytes{0x00, 0x90, 72, 80} + vlq(200) + Bytes{72, 0} +             // on at 0, off at 200
                         vlq(200) + Bytes{0x90, 74, 80} + endOfTrack(100);                 // on at 400, ends at 500
    const Bytes bass = Bytes{0x00, 0x91, 36, 90} + vlq(400) + Bytes{36, 0} + endOfTrack(); // on at 0, off at 400
    const formats::MidiSong song = read(header(1, 3, 100) + track(conductor) + track(melody) + track(bass));
    // Tick 200: 0.5 s for the first quarter, 1 s for the second. Tick 400:
    // 0.5 + 2 + 0.25 s. Tick 500: another 0.25 s. At equal times the earlier
    // track comes first.
    expectEvents(song,
                 {{0, 0x90, 72, 80}, {0, 0x91, 36, 90}, {1.5, 0x90, 72, 0}, {2.75, 0x90, 74, 80}, {2.75, 0x91, 36, 0}});
    EXPECT_NEAR(song.endSeconds, 3.0, 1e-12);
}

TEST(MidiFile, ManyEventsAtOneTimeKeepTrackThenFileOrder)
{
    // Enough equal times that an unstable sort would reorder them.
    constexpr int kTracks = 3, kPerTrack = 30;
    Bytes file = header(1, kTracks, 96);
    for (int t = 0; t < kTracks; ++t) {
        Bytes events = {0x00, 0x90, std::uint8_t(t * kPerTrack), 1};
        for (int i = 1; i < kPerTrack; ++i)
            events = events + Bytes{0x00, std::uint8_t(t * kPerTrack + i), 1};
        file = file + track(events);
    }
    const formats::MidiSong song = read(file);
    ASSERT_EQ(song.events.size(), std::size_t{kTracks * kPerTrack});
    for (int i = 0; i < kTracks * kPerTrack; ++i)
        EXPECT_EQ(song.events[i].bytes[1], i);
}

TEST(MidiFile, MetaSystemExclusiveAndUnknownChunksAreSkipped)
{
    const Bytes events = Bytes{0x00, 0x90, 60, 1} + Bytes{0x00, 0xFF, 0x03, 0x04, 'L', 'e', 'a', 'd'} + // track name
                         Bytes{0x00, 61, 2} +                           // running status after a meta event
                         Bytes{0x05, 0xF0, 0x03, 0x7E, 0x09, 0xF7} +    // system exclusive
                         Bytes{0x00, 0xF7, 0x02, 0xF8, 0xFA} +          // escaped real-time bytes
                         tempo(0, 1000000) + Bytes{0x0A, 0x80, 60, 0} + // half the speed: 10 ticks take 20
                         endOfTrack() + Bytes{0x00, 0x90, 99, 99};      // past the end of the track: ignored
    const formats::MidiSong song =
        read(header(1, 2, 96) + chunk("XFIH", {1, 2, 3}) + track(events) + chunk("MTrX", {}) + track({}));
    const double tick = 0.5 / 96;
    expectEvents(song, {{0, 0x90, 60, 1}, {0, 0x90, 61, 2}, {25 * tick, 0x80, 60, 0}});
    EXPECT_NEAR(song.endSeconds, 25 * tick, 1e-12);
}

TEST(MidiFile, SmpteTimingIgnoresTempo)
{
    // 25 frames per second of 40 ticks: a millisecond a tick.
    const Bytes events = tempo(0, 1000000) + vlq(1500) + Bytes{0x90, 60, 100} + endOfTrack(500);
    const formats::MidiSong song = read(header(0, 1, 0xE728) + track(events));
    expectEvents(song, {{1.5, 0x90, 60, 100}});
    EXPECT_NEAR(song.endSeconds, 2.0, 1e-12);
}

TEST(MidiFile, LargestDeltaTimesAndEmptyTracksGiveExactTimes)
{
    // 0x0FFFFFFF ticks, twice, at one tick per quarter and 120 bpm.
    const Bytes events = vlq(0x0FFFFFFF) + Bytes{0x90, 60, 100} + vlq(0x0FFFFFFF) + Bytes{60, 0};
    const formats::MidiSong song = read(header(1, 3, 1) + track({}) + track(events) + track({}));
    expectEvents(song, {{0x0FFFFFFF * 0.5, 0x90, 60, 100}, {0x0FFFFFFF * 1.0, 0x90, 60, 0}});
    EXPECT_EQ(song.endSeconds, song.events.back().seconds);
    EXPECT_TRUE(read(header(1, 0, 96)).events.empty());
}

TEST(MidiFile, HostileFilesAreRefusedWithTheReason)
{
    const Bytes note = {0x00, 0x90, 60, 100};
    const Bytes good = header(0, 1, 96) + track(note);
    struct Case {
        const char* what;
        Bytes file;
        const char* error; // part of the message
    };
    const Case cases[] = {
        {"empty", {}, "not a Standard MIDI File"},
        {"another format", Bytes{'R', 'I', 'F', 'F'} + u32(4) + Bytes{'R', 'M', 'I', 'D'}, "not a Standard MIDI File"},
        {"header cut short", Bytes(good.begin(), good.begin() + 12), "header chunk is cut short"},
        {"header too small", chunk("MThd", u16(0) + u16(1)) + track(note), "header chunk is cut short"},
        {"format 2", header(2, 1, 96) + track(note), "format 2"},
        {"unknown format", header(3, 1, 96) + track(note), "unknown format 3"},
        {"format 0, two tracks", header(0, 2, 96) + track(note) + track(note), "declares 2"},
        {"no ticks per quarter", header(0, 1, 0) + track(note), "0 ticks per quarter"},
        {"23 frames per second", header(0, 1, 0xE910) + track(note), "SMPTE"},
        {"no ticks per frame", header(0, 1, 0xE700) + track(note), "SMPTE"},
        {"track missing", header(1, 2, 96) + track(note), "ends after 1 of its 2 tracks"},
        {"track cut short", Bytes(good.begin(), good.end() - 1), "claims 4 bytes, the file has 3 left"},
        {"file ends in a chunk header", header(1, 1, 96) + chunk("junk", {}) + u32(0xFFFFFFFF), "the file ends"},
        {"unknown chunk past the end", header(1, 1, 96) + Bytes{'j', 'u', 'n', 'k'} + u32(0xFFFFFFF0), "'junk'"},
        {"message cut short", header(0, 1, 96) + track({0x00, 0x90, 60}), "ends inside message 0x90"},
        {"status where data belongs", header(0, 1, 96) + track({0x00, 0x90, 60, 0x80}), "cut short by byte 0x80"},
        {"data without status", header(0, 1, 96) + track({0x00, 60, 100}), "without a status byte"},
        {"5-byte delta time", header(0, 1, 96) + track({0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}), "longer than 4"},
        {"delta time cut short", header(0, 1, 96) + track({0x81}), "inside a variable-length number"},
        {"delta time without event", header(0, 1, 96) + track({0x00}), "without its event"},
        {"meta length past the track", header(0, 1, 96) + track({0x00, 0xFF, 0x01, 0x05, 'a'}), "claims 5 bytes"},
        {"meta cut short", header(0, 1, 96) + track({0x00, 0xFF}), "inside a meta event"},
        {"sysex past the track", header(0, 1, 96) + track({0x00, 0xF0, 0x7F}), "system-exclusive"},
        {"unknown event", header(0, 1, 96) + track({0x00, 0xF4, 0x00}), "unknown event with status byte 0xF4"},
        // 14 header bytes, 12 of the first track, 8 of the second's chunk header, 4 of its first event.
        {"where it happened", header(1, 2, 96) + track(note) + track(note + Bytes{0x00, 0xF4}),
         "track 2, event at byte 38: unknown event"},
        {"real-time byte", header(0, 1, 96) + track({0x00, 0xF8}), "unknown event"},
        {"tempo of 2 bytes", header(0, 1, 96) + track({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), "malformed tempo"},
        {"tempo of zero", header(0, 1, 96) + track(tempo(0, 0)), "malformed tempo"},
        {"too large", Bytes(formats::kMaxMidiFileBytes + 1, 0), "accepted"},
    };
    for (const Case& c : cases) {
        formats::MidiSong song;
        song.endSeconds = -1; // must stay untouched
        std::string error;
        EXPECT_FALSE(formats::readMidiFile(c.file.data(), c.file.size(), song, error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(song.endSeconds, -1) << c.what;
    }
}

} // namespace
