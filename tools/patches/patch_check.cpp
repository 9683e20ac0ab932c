#include "tools/patches/patch_check.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/midi.h"
#include "synth/random.h"
#include "tools/render/song_player.h"

namespace patches {

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
// Long enough for the slowest attacks of the table (1.5 s) to reach full
// level, and for a release to show its DC.
constexpr double kNoteSeconds = 2.5;
constexpr double kChordSeconds = 2.0;
constexpr double kReleaseSeconds = 0.5;
constexpr double kWindowSeconds = 0.05;
constexpr int kNote = 57; // A3
// Two voicings of eight notes: a wide one from C2 and a close one from C4.
const std::vector<int> kChords[] = {{36, 43, 48, 52, 55, 59, 62, 67}, {60, 64, 67, 71, 74, 77, 81, 84}};
constexpr std::uint8_t kVelocity = 100;

double toDb(double x)
{
    return 20.0 * std::log10(x);
}

// Plays `notes` from a fresh synthesizer holding the patch, as a host
// would: note-ons at the start, note-offs after `hold` seconds, then
// kReleaseSeconds more.
std::vector<float> play(const Veldane::Patch& patch, const std::vector<int>& notes, double hold)
{
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    Veldane::Synth synth;
    synth.setSampleRate(kRate);
    for (int id = 0; id < Veldane::kParamCount; ++id)
        synth.params.set(id, patch.values[static_cast<std::size_t>(id)]);
    render::Schedule schedule;
    const long long releaseAt = std::llround(hold * kRate);
    for (int note : notes)
        schedule.messages.push_back({0, {std::uint8_t(zem::kMidiNoteOn), std::uint8_t(note), kVelocity}});
    for (int note : notes)
        schedule.messages.push_back({releaseAt, {std::uint8_t(zem::kMidiNoteOff), std::uint8_t(note), 0}});
    schedule.songFrames = releaseAt + std::llround(kReleaseSeconds * kRate);
    render::SongPlayer player(synth, schedule, kBlock, 0.0);
    std::vector<float> out;
    std::vector<float> block(kBlock);
    for (int n; (n = player.next(block.data())) > 0;)
        out.insert(out.end(), block.begin(), block.begin() + n);
    return out;
}

} // namespace

PatchMeasures measurePatch(const Veldane::Patch& patch)
{
    PatchMeasures m{};
    const std::vector<float> note = play(patch, {kNote}, kNoteSeconds);
    const std::size_t window = static_cast<std::size_t>(kWindowSeconds * kRate);
    double loudest = 0.0, sum = 0.0;
    for (std::size_t start = 0; start + window <= note.size(); start += window) {
        double w = 0.0;
        for (std::size_t i = start; i < start + window; ++i)
            w += double(note[i]) * note[i];
        loudest = std::max(loudest, std::sqrt(w / double(window)));
    }
    for (float s : note)
        sum += s;
    m.noteLevelDb = toDb(loudest);
    m.noteDcDb = toDb(std::fabs(sum / double(note.size())));
    float peak = 0.0f;
    for (const std::vector<int>& chord : kChords)
        for (float s : play(patch, chord, kChordSeconds))
            peak = std::max(peak, std::fabs(s));
    m.chordPeakDb = toDb(peak);
    return m;
}

} // namespace patches
