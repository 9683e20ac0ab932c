#include "formats/midi_file.h"

#include <algorithm>

#include "formats/byte_cursor.h"

namespace formats {
namespace {

// Until a file sets its tempo it plays at 120 beats per minute, half a second
// per quarter note.
constexpr std::uint32_t kDefaultMicrosecondsPerQuarter = 500000;
// The header chunk's fields: format, track count, division (three 16-bit numbers).
constexpr std::uint32_t kHeaderFieldBytes = 6;
// A chunk begins with its four-character type and its 32-bit length.
constexpr std::size_t kChunkHeaderBytes = 8;
// A variable-length number has at most four bytes of seven bits each, so the
// largest delta time is 0x0FFFFFFF ticks.
constexpr int kMaxVariableLengthBytes = 4;

constexpr std::uint8_t kMetaEvent = 0xFF;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kSysEx = 0xF0;
constexpr std::uint8_t kSysExContinuation = 0xF7; // also the escape for arbitrary bytes

std::string hexByte(unsigned value)
{
    const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(value >> 4) & 0xF] + digits[value & 0xF];
}

// A chunk type as text: its four characters when they are printable, else hex.
std::string chunkName(const std::uint8_t* type)
{
    std::string name = "'";
    for (int i = 0; i < 4; ++i) {
        if (type[i] < 0x20 || type[i] > 0x7E) {
            name.clear();
            for (int j = 0; j < 4; ++j)
                name += (j ? " " : "") + hexByte(type[j]);
            return name;
        }
        name += static_cast<char>(type[i]);
    }
    return name + "'";
}

// Data bytes that follow a status byte: two for note off/on, key pressure,
// controllers and pitch bend, one for program change and channel pressure.
int dataByteCount(std::uint8_t status)
{
    const std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

struct TickEvent {
    std::uint64_t tick; // from the start of the file
    std::array<std::uint8_t, 3> bytes;
};

struct TempoChange {
    std::uint64_t tick;
    std::uint32_t microsecondsPerQuarter;
};

// Turns ticks into seconds: a list of segments of constant speed, each
// starting at a tempo change, with the seconds elapsed at its start.
class TempoMap {
public:
    // Ticks per quarter note, with the tempo changes sorted by tick (at equal
    // ticks the last one listed is the one that holds).
    TempoMap(std::uint16_t ticksPerQuarter, const std::vector<TempoChange>& changes)
    {
        // A tempo (microseconds per quarter) over this is seconds per tick;
        // dividing keeps round tempos exact.
        const double perTick = 1e6 * ticksPerQuarter;
        segments.push_back({0, 0.0, kDefaultMicrosecondsPerQuarter / perTick});
        for (const TempoChange& change : changes) {
            const double secondsPerTick = change.microsecondsPerQuarter / perTick;
            Segment& last = segments.back();
            if (change.tick == last.tick) {
                last.secondsPerTick = secondsPerTick;
            } else {
                segments.push_back({change.tick, at(change.tick), secondsPerTick});
            }
        }
    }
    // A fixed rate: SMPTE timing, where tempo changes don't apply.
    explicit TempoMap(double secondsPerTick) { segments.push_back({0, 0.0, secondsPerTick}); }

    double at(std::uint64_t tick) const
    {
        auto next = std::upper_bound(segments.begin(), segments.end(), tick,
                                     [](std::uint64_t t, const Segment& s) { return t < s.tick; });
        const Segment& s = *(next - 1);
        return s.seconds + static_cast<double>(tick - s.tick) * s.secondsPerTick;
    }

private:
    struct Segment {
        std::uint64_t tick;    // where the segment starts
        double seconds;        // time at its start
        double secondsPerTick; // speed through it
    };
    std::vector<Segment> segments; // by tick, the first at tick 0
};

// Reads the track chunks, gathering their channel messages and tempo changes.
class TrackReader {
public:
    std::vector<TickEvent> events;   // every track's, track after track, each in file order
    std::vector<TempoChange> tempos; // likewise
    std::uint64_t endTick = 0;       // latest end of any track
    std::string error;

    // `track` holds the chunk's data; `fileOffset` is where that data starts in
    // the file, `number` the track's place (from 1), both for messages.
    bool read(const std::uint8_t* track, std::size_t size, std::size_t fileOffset, int number)
    {
        ByteCursor in(track, size);
        std::uint64_t tick = 0;
        std::uint8_t runningStatus = 0; // last channel status; 0: none yet
        while (!in.atEnd()) {
            eventOffset = fileOffset + in.offset();
            std::uint32_t delta = 0;
            if (!variableLength(in, delta, number))
                return false;
            tick += delta;
            std::uint8_t first = 0;
            if (!in.u8(first))
                return fail(number, "the track ends after a delta time, without its event");
            if (first == kMetaEvent) {
                std::uint8_t type = 0;
                std::uint32_t length = 0;
                const std::uint8_t* data = nullptr;
                if (!in.u8(type))
                    return fail(number, "the track ends inside a meta event");
                if (!variableLength(in, length, number))
                    return false;
                if (!in.bytes(length, data))
                    return fail(number, "meta event " + hexByte(type) + " claims " + std::to_string(length) +
                                            " bytes, the track has " + std::to_string(in.remaining()) + " left");
                if (type == kMetaEndOfTrack)
                    break; // anything after it in the chunk is not part of the track
                if (type == kMetaTempo) {
                    const std::uint32_t tempo = length == 3 ? (data[0] << 16 | data[1] << 8 | data[2]) : 0;
                    if (tempo == 0)
                        return fail(number, "malformed tempo change (" + std::to_string(length) +
                                                " bytes, a tempo needs 3 and above zero)");
                    tempos.push_back({tick, tempo});
                }
                // Meta and system-exclusive events are no channel messages, so
                // by the book they end running status. Some writers still rely
                // on it after a meta event, so the last channel status stays
                // in force: a file written by the book never has a data byte
                // here, so nothing changes for it.
            } else if (first == kSysEx || first == kSysExContinuation) {
                std::uint32_t length = 0;
                if (!variableLength(in, length, number))
                    return false;
                if (!in.skip(length))
                    return fail(number, "system-exclusive message claims " + std::to_string(length) +
                                            " bytes, the track has " + std::to_string(in.remaining()) + " left");
            } else if (first > kSysEx) {
                // System common and real-time messages have no place in a file
                // and no length to skip them by.
                return fail(number, "unknown event with status byte " + hexByte(first));
            } else {
                std::array<std::uint8_t, 3> bytes{};
                int dataIndex = 1;
                if (first & 0x80) {
                    runningStatus = first;
                } else {
                    if (!runningStatus)
                        return fail(number, "data byte " + hexByte(first) + " without a status byte");
                    bytes[dataIndex++] = first;
                }
                bytes[0] = runningStatus;
                for (; dataIndex <= dataByteCount(runningStatus); ++dataIndex) {
                    if (!in.u8(bytes[dataIndex]))
                        return fail(number, "the track ends inside message " + hexByte(runningStatus));
                    if (bytes[dataIndex] & 0x80)
                        return fail(number, "message " + hexByte(runningStatus) + " is cut short by byte " +
                                                hexByte(bytes[dataIndex]));
                }
                events.push_back({tick, bytes});
            }
        }
        endTick = std::max(endTick, tick);
        return true;
    }

private:
    std::size_t eventOffset = 0; // in the file, of the event being read, for messages

    bool fail(int number, const std::string& what)
    {
        error = "track " + std::to_string(number) + ", event at byte " + std::to_string(eventOffset) + ": " + what;
        return false;
    }

    bool variableLength(ByteCursor& in, std::uint32_t& value, int number)
    {
        value = 0;
        for (int i = 0; i < kMaxVariableLengthBytes; ++i) {
            std::uint8_t byte = 0;
            if (!in.u8(byte))
                return fail(number, "the track ends inside a variable-length number");
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80))
                return true;
        }
        return fail(number, "variable-length number longer than 4 bytes");
    }
};

} // namespace

bool readMidiFile(const std::uint8_t* data, std::size_t size, MidiSong& song, std::string& error)
{
    if (size > kMaxMidiFileBytes) {
        error = "the file is " + std::to_string(size) + " bytes, more than the " + std::to_string(kMaxMidiFileBytes) +
                " accepted";
        return false;
    }
    ByteCursor file(data, size);
    std::uint32_t headerLength = 0;
    if (!file.tag("MThd")) {
        error = "not a Standard MIDI File (it doesn't begin with 'MThd')";
        return false;
    }
    std::uint16_t format = 0, trackCount = 0, division = 0;
    if (!file.u32(headerLength) || headerLength < kHeaderFieldBytes || !file.u16(format) || !file.u16(trackCount) ||
        !file.u16(division) || !file.skip(headerLength - kHeaderFieldBytes)) {
        error = "the header chunk is cut short";
        return false;
    }
    if (format == 2) {
        error = "format 2 (independent sequences) is not supported, only formats 0 and 1";
        return false;
    }
    if (format > 2) {
        error = "unknown format " + std::to_string(format);
        return false;
    }
    if (format == 0 && trackCount != 1) {
        error = "a format 0 file holds one track, this one declares " + std::to_string(trackCount);
        return false;
    }

    // Division: ticks per quarter note, or with the top bit set, SMPTE
    // frames per second (negated, in the high byte) and ticks per frame.
    double smpteSecondsPerTick = 0.0;
    if (division & 0x8000) {
        const int frames = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        const int ticksPerFrame = division & 0xFF;
        // 29 stands for 29.97 frames per second (NTSC drop-frame).
        const double framesPerSecond = frames == 29 ? 30000.0 / 1001.0 : frames;
        if ((frames != 24 && frames != 25 && frames != 29 && frames != 30) || ticksPerFrame == 0) {
            error = "unknown SMPTE timing (" + std::to_string(frames) + " frames per second, " +
                    std::to_string(ticksPerFrame) + " ticks per frame)";
            return false;
        }
        smpteSecondsPerTick = 1.0 / (framesPerSecond * ticksPerFrame);
    } else if (division == 0) {
        error = "the header gives 0 ticks per quarter note";
        return false;
    }

    TrackReader tracks;
    // Every event takes at least two bytes (its delta time and one more).
    tracks.events.reserve(size / 2);
    for (int found = 0; found < trackCount;) {
        const std::uint8_t* type = nullptr;
        std::uint32_t length = 0;
        const std::size_t chunkOffset = file.offset();
        if (file.remaining() < kChunkHeaderBytes) {
            error =
                "the file ends after " + std::to_string(found) + " of its " + std::to_string(trackCount) + " tracks";
            return false;
        }
        file.bytes(4, type);
        file.u32(length);
        const std::uint8_t* chunk = nullptr;
        if (!file.bytes(length, chunk)) {
            error = "chunk " + chunkName(type) + " at byte " + std::to_string(chunkOffset) + " claims " +
                    std::to_string(length) + " bytes, the file has " + std::to_string(file.remaining()) + " left";
            return false;
        }
        if (std::equal(type, type + 4, "MTrk")) {
            ++found;
            if (!tracks.read(chunk, length, chunkOffset + kChunkHeaderBytes, found)) {
                error = tracks.error;
                return false;
            }
        }
        // Other chunk types are skipped: the format lets files carry chunks a
        // reader doesn't know. What follows the last track is never read.
    }

    std::stable_sort(tracks.tempos.begin(), tracks.tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    const TempoMap time = smpteSecondsPerTick > 0.0 ? TempoMap(smpteSecondsPerTick) : TempoMap(division, tracks.tempos);
    // Stable: at equal ticks the track order, then the file order, is kept.
    std::stable_sort(tracks.events.begin(), tracks.events.end(),
                     [](const TickEvent& a, const TickEvent& b) { return a.tick < b.tick; });
    MidiSong result;
    result.events.reserve(tracks.events.size());
    for (const TickEvent& e : tracks.events)
        result.events.push_back({time.at(e.tick), e.bytes});
    result.endSeconds = time.at(tracks.endTick);
    song = std::move(result);
    return true;
}

} // namespace formats
