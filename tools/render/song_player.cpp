#include "tools/render/song_player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/block_loop.h"
#include "framework/midi.h"

namespace render {

namespace {

constexpr int kNoteCount = 128;
constexpr std::uint8_t kChannelMask = 0x0F;
constexpr std::uint8_t kStatusMask = 0xF0;

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

} // namespace

bool scheduleSong(const formats::MidiSong& song, double rate, int channel, double maxSeconds, Schedule& schedule,
                  std::string& error)
{
    if (!(song.endSeconds <= maxSeconds)) {
        error = "the song lasts " + secondsText(song.endSeconds) + " s, longer than the " + secondsText(maxSeconds) +
                " s rendered at most";
        return false;
    }
    Schedule out;
    out.songFrames = std::llround(song.endSeconds * rate);
    // What is still sounding at the end, all channels alike (as the
    // instrument hears them).
    bool held[kNoteCount] = {};
    bool pedalDown = false;
    for (const formats::TimedMidiEvent& m : song.events) {
        if (channel != 0 && (m.bytes[0] & kChannelMask) != channel - 1)
            continue;
        out.messages.push_back({std::llround(m.seconds * rate), m.bytes});
        zem::Event e{};
        if (!zem::translateMidi(m.bytes[0], m.bytes[1], m.bytes[2], 0, e))
            continue;
        if (e.type == zem::Event::NoteOn || e.type == zem::Event::NoteOff)
            held[e.data1] = e.type == zem::Event::NoteOn;
        else if (e.type == zem::Event::SustainOn || e.type == zem::Event::SustainOff)
            pedalDown = e.type == zem::Event::SustainOn;
    }
    for (int note = 0; note < kNoteCount; ++note)
        if (held[note])
            out.messages.push_back(
                {out.songFrames, {static_cast<std::uint8_t>(zem::kMidiNoteOff), static_cast<std::uint8_t>(note), 0}});
    if (pedalDown)
        out.messages.push_back({out.songFrames,
                                {static_cast<std::uint8_t>(zem::kMidiControlChange),
                                 static_cast<std::uint8_t>(zem::kMidiSustainController), 0}});
    schedule = std::move(out);
    return true;
}

SongPlayer::SongPlayer(Veldane::Synth& synth, const Schedule& schedule, int block, double maxTailSeconds)
    : synth_(synth), schedule_(schedule), block_(std::max(block, 1)),
      maxTailFrames_(std::llround(std::max(maxTailSeconds, 0.0) * synth.sampleRate())),
      silenceFrames_(std::llround(kSilenceSeconds * synth.sampleRate()))
{}

int SongPlayer::next(float* out)
{
    if (finished_)
        return 0;
    if (inTail() && nextMessage_ == schedule_.messages.size() &&
        (!synth_.engine.anyVoiceActive() || quietFrames_ >= silenceFrames_ ||
         done_ - schedule_.songFrames >= maxTailFrames_)) {
        finished_ = true;
        return 0;
    }
    synth_.applyParameterChanges();
    const long long end = done_ + block_;
    for (; nextMessage_ < schedule_.messages.size() && schedule_.messages[nextMessage_].frame < end; ++nextMessage_) {
        const ScheduledMessage& m = schedule_.messages[nextMessage_];
        zem::Event e{};
        if (zem::translateMidi(m.bytes[0], m.bytes[1], m.bytes[2], static_cast<std::int32_t>(m.frame - done_), e))
            queue_.pushBack(e);
    }
    zem::renderWithEvents(
        queue_, out, block_, [this](int count, float* at) { synth_.render(count, at); },
        [this](const zem::Event& e) { synth_.handleEvent(e); });
    for (int i = 0; i < block_; ++i)
        quietFrames_ = std::fabs(out[i]) < kSilenceLevel ? quietFrames_ + 1 : 0;
    done_ = end;
    return block_;
}

void writeTestHostScript(std::ostream& out, const Veldane::Parameters& params, const Schedule& schedule,
                         long long frames, double rate)
{
    char line[128];
    const auto time = [rate](long long frame) { return static_cast<double>(frame) / rate; };
    for (int id = 0; id < Veldane::kParamCount; ++id) {
        std::snprintf(line, sizeof line, "0 param %d %.9g # %s\n", id, static_cast<double>(params.get(id)),
                      params.at(id)->name);
        out << line;
    }
    for (const ScheduledMessage& m : schedule.messages) {
        const int channel = (m.bytes[0] & kChannelMask) + 1;
        const int a = m.bytes[1], b = m.bytes[2];
        const unsigned status = m.bytes[0] & kStatusMask;
        const char* verb = status == zem::kMidiNoteOff         ? "off"
                           : status == zem::kMidiNoteOn        ? "on"
                           : status == zem::kMidiControlChange ? "cc"
                                                               : nullptr;
        if (verb)
            std::snprintf(line, sizeof line, "%.17g %s %d %d %d\n", time(m.frame), verb, a, b, channel);
        else if (status == zem::kMidiPitchBend)
            std::snprintf(line, sizeof line, "%.17g bend %d %d\n", time(m.frame), b * 128 + a - 8192, channel);
        else
            std::snprintf(line, sizeof line, "# %.17g: status 0x%02X makes no event\n", time(m.frame), m.bytes[0]);
        out << line;
    }
    std::snprintf(line, sizeof line, "%.17g end\n", time(frames));
    out << line;
}

} // namespace render
