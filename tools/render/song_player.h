#pragma once
// Plays a Standard MIDI File's song through the synthesizer offline, exactly
// as a host plays the plug-in: block by block, parameter changes taken at the
// start of each block (Synth::applyParameterChanges), the block's MIDI
// translated by zem::translateMidi and handed over at its sample offset by
// zem::renderWithEvents, the loop every plug-in format shares. So a song
// rendered here and the same events played into Veldane.dll by a host with
// the same block size give the same samples.
//
// A message at `seconds` from the start plays at frame llround(seconds x rate).
// After the song, a release tail runs until the output is silent (see
// SongPlayer). Portable; never touches a file.

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "formats/midi_file.h"
#include "framework/event_queue.h"
#include "synth/synth.h"

namespace render {

// Longest song rendered unless the caller says otherwise: an hour. A MIDI
// file can place an event 1e8 seconds in; such a file is refused rather than
// rendered for days.
constexpr double kDefaultMaxSongSeconds = 3600.0;

struct ScheduledMessage {
    long long frame;                   // when, in samples from the start
    std::array<std::uint8_t, 3> bytes; // status and data bytes, as in the file
};

struct Schedule {
    // Every message played, in the song's order (which is time order). The
    // song's own messages come first; after them, at the song's end, a note
    // off for every note still held and a pedal-up if the pedal is down, so
    // the song ends in its release tail instead of holding notes for ever.
    std::vector<ScheduledMessage> messages;
    long long songFrames = 0; // where the song ends: its last track's end, in samples
};

// Places a song's messages on frames at `rate` (Hz, > 0). channel 1..16 keeps
// that channel's messages only, 0 keeps all. A song that ends later than
// maxSeconds is refused with a message saying how long it is.
bool scheduleSong(const formats::MidiSong& song, double rate, int channel, double maxSeconds, Schedule& schedule,
                  std::string& error);

// Renders a schedule in blocks of `block` frames. The song part runs up to the
// first block boundary at or after its end; the tail then runs, a block at a
// time, until every message has been played and no voice sounds or the output
// has stayed below kSilenceLevel for kSilenceSeconds, or for at most
// maxTailSeconds. So the whole length is a multiple of `block`.
class SongPlayer {
public:
    // Output below this (-100 dBFS, under the last bit of 16-bit audio) counts
    // as silent for the end of the tail.
    static constexpr float kSilenceLevel = 1e-5f;
    // How long the tail must stay that quiet: longer than a cycle of the
    // lowest note, so a waveform crossing zero is never taken for silence.
    static constexpr double kSilenceSeconds = 0.1;

    // The synthesizer must be set to the schedule's rate and hold the patch;
    // block > 0.
    SongPlayer(Veldane::Synth& synth, const Schedule& schedule, int block, double maxTailSeconds);

    // Renders the next block into out[0..block) and answers its length; 0
    // once the song and its tail are over.
    int next(float* out);

    long long framesDone() const { return done_; }
    long long songFrames() const { return schedule_.songFrames; }
    bool inTail() const { return done_ >= schedule_.songFrames; }
    // Messages the event queue refused because one block held more than it
    // takes (as in the plug-in, see zem::EventQueue).
    std::size_t droppedEvents() const { return queue_.dropped(); }

private:
    Veldane::Synth& synth_;
    const Schedule& schedule_;
    int block_;
    long long maxTailFrames_;
    long long silenceFrames_;
    zem::EventQueue queue_;
    std::size_t nextMessage_ = 0;
    long long done_ = 0;
    long long quietFrames_ = 0; // samples since the last one at or above kSilenceLevel
    bool finished_ = false;
};

// Writes what a player plays as a script for our VST 2.4 test host
// (tools/testhost/script.h): every parameter's normalized value at time 0, the
// schedule's messages, and the end after `frames` samples. Each time is
// written as its frame's own time (frame / rate, 17 digits), which the test
// host turns back into the same frame. Messages that make no event in the
// plug-in (programs, pressure) are left out as comments.
void writeTestHostScript(std::ostream& out, const Veldane::Parameters& params, const Schedule& schedule,
                         long long frames, double rate);

} // namespace render
