// The offline renderer: how a song is placed on frames and ended, how its
// release tail ends, and veldane-render's command line as a user meets it
// (good renders in both formats, and a clear message, a failing exit status
// and no file for every kind of bad input). That its output equals the DLL's
// is tests/render/matches_dll.sh (Windows build).
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/midi.h"
#include "synth/random.h"
#include "tools/render/song_player.h"

namespace {

namespace fs = std::filesystem;

constexpr double kRate = 44100.0;

formats::TimedMidiEvent message(double seconds, int status, int a, int b)
{
    return {seconds, {std::uint8_t(status), std::uint8_t(a), std::uint8_t(b)}};
}

TEST(SongSchedule, FramesChannelsAndTheSongsEnd)
{
    formats::MidiSong song;
    song.events = {message(0.0, 0x90, 60, 100), message(0.5, 0x91, 64, 100), message(1.00001, 0x80, 60, 0),
                   message(1.2, 0xB0, 64, 127), message(1.3, 0x90, 67, 100)};
    song.endSeconds = 2.0;
    render::Schedule s;
    std::string error;
    ASSERT_TRUE(render::scheduleSong(song, kRate, 0, 3600.0, s, error)) << error;
    EXPECT_EQ(s.songFrames, 88200);
    ASSERT_EQ(s.messages.size(), 8u);
    EXPECT_EQ(s.messages[2].frame, 44100) << "llround(seconds x rate)";
    // Notes 64 and 67 still held and the pedal down: released at the end.
    const std::vector<std::array<std::uint8_t, 3>> ending = {{0x80, 64, 0}, {0x80, 67, 0}, {0xB0, 64, 0}};
    for (std::size_t i = 0; i < ending.size(); ++i) {
        EXPECT_EQ(s.messages[5 + i].frame, 88200);
        EXPECT_EQ(s.messages[5 + i].bytes, ending[i]);
    }

    ASSERT_TRUE(render::scheduleSong(song, kRate, 2, 3600.0, s, error));
    ASSERT_EQ(s.messages.size(), 2u) << "channel 2's note and its release only";
    EXPECT_EQ(s.messages[0].bytes[0], 0x91);

    song.endSeconds = 1e8; // a hostile file's last event
    EXPECT_FALSE(render::scheduleSong(song, kRate, 0, 3600.0, s, error));
    EXPECT_EQ(error, "the song lasts 100000000.0 s, longer than the 3600.0 s rendered at most");
}

// Renders a schedule from a fresh synthesizer with one parameter changed.
std::vector<float> play(const render::Schedule& s, int block, double tail, int id, const char* value)
{
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    Veldane::Synth synth;
    float n = 0.0f;
    EXPECT_TRUE(synth.params.at(id)->textToNormalized(value, n));
    synth.params.set(id, n);
    render::SongPlayer player(synth, s, block, tail);
    std::vector<float> out, buffer(static_cast<std::size_t>(block));
    for (int got; (got = player.next(buffer.data())) > 0;)
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    return out;
}

TEST(SongPlayer, TailRunsUntilSilentOrItsBound)
{
    render::Schedule s;
    s.messages = {{0, {0x90, 60, 100}}, {1000, {0x80, 60, 0}}};
    s.songFrames = 1000;
    const int block = 300;
    // A 300 ms release: the tail ends, after whole blocks, once the note has
    // faded out.
    std::vector<float> out = play(s, block, 30.0, Veldane::kAmpRelease, "300 ms");
    EXPECT_EQ(out.size() % block, 0u);
    EXPECT_GT(out.size(), 1000u + 0.3 * kRate);
    EXPECT_LT(out.size(), 1000u + 2.0 * kRate);
    float last = 0.0f;
    for (auto it = out.end() - block; it != out.end(); ++it)
        last = std::max(last, std::fabs(*it));
    EXPECT_LT(last, 1e-3f) << "the release has faded out";
    // The longest release outlasts a 1 s bound, which ends it.
    out = play(s, block, 1.0, Veldane::kAmpRelease, "10000 ms");
    EXPECT_EQ(out.size(), 1200u + 147u * block) << "song to its block boundary, then 1 s in whole blocks";
}

// --- veldane-render's command line -------------------------------------------

struct Outcome {
    int status;
    std::string output;
};

Outcome runRenderer(const std::string& arguments)
{
    Outcome r{-1, {}};
    FILE* pipe = popen((std::string("'" VELDANE_RENDER "' ") + arguments + " 2>&1").c_str(), "r");
    if (!pipe)
        return r;
    char buffer[512];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        r.output.append(buffer, got);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string quoted(const fs::path& p)
{
    return "'" + p.string() + "'";
}

class RenderCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::path(VELDANE_TEST_OUTPUT_DIR) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    // A file in the test's folder holding `bytes`.
    fs::path file(const char* name, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return dir / name;
    }
    // Nothing but `expected` in the folder: no temporary file left behind.
    void expectFolderHolds(std::vector<std::string> expected)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
    }
    fs::path dir;
    const fs::path phrase = fs::path(VELDANE_SOURCE_DIR) / "tools/render/songs/phrase.mid";
};

TEST_F(RenderCommand, WritesWavAndFlacAsAsked)
{
    const Outcome flac =
        runRenderer("-p 'saw pluck' --rate 48000 --bits 16 " + quoted(phrase) + " " + quoted(dir / "a.flac"));
    ASSERT_EQ(flac.status, 0) << flac.output;
    SF_INFO info{};
    SNDFILE* f = sf_open((dir / "a.flac").c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    sf_close(f);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_GE(info.frames, 48000 * 4) << "the whole phrase";

    // A patch from its preset file renders the same as by name; a setting
    // after the patch overrides it (here: silence).
    const fs::path fxp = fs::path(VELDANE_PRESETS_DIR) / "Saw Pluck.fxp";
    EXPECT_EQ(
        runRenderer("-f " + quoted(fxp) + " --rate 48000 --bits 16 " + quoted(phrase) + " " + quoted(dir / "b.flac"))
            .status,
        0);
    const auto bytes = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(bytes(dir / "a.flac"), bytes(dir / "b.flac"));
    const Outcome muted = runRenderer("-p 'Saw Pluck' --set 'Master Volume=-oo' --bits 32 " + quoted(phrase) + " " +
                                      quoted(dir / "c.wav"));
    EXPECT_EQ(muted.status, 0) << muted.output;
    EXPECT_NE(muted.output.find("peak -inf dBFS"), std::string::npos) << muted.output;
    expectFolderHolds({"a.flac", "b.flac", "c.wav"});
}

TEST_F(RenderCommand, RefusesBadInputWithAMessageAndNoFile)
{
    std::vector<std::uint8_t> song;
    std::ifstream in(phrase, std::ios::binary);
    song.assign(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(song.size(), 30u);
    const fs::path cut = file("cut.mid", std::vector<std::uint8_t>(song.begin(), song.end() - 9));
    // One note 2^28 - 1 ticks in: about 16 days at 96 ticks a beat and 120 beats a minute.
    const fs::path late =
        file("late.mid", {'M', 'T', 'h', 'd', 0,  0,    0,    6,    0,    0,    0,  1,   0, 96,   'M',  'T', 'r',
                          'k', 0,   0,   0,   11, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 100, 0, 0xFF, 0x2F, 0});
    const fs::path notPreset = file("other.fxp", {'C', 'c', 'n', 'K', 0, 0, 0, 4, 'F', 'x', 'C', 'k'});
    const fs::path keep = file("keep.wav", {'k', 'e', 'e', 'p'});
    const std::string out = quoted(dir / "out.wav");
    const struct {
        std::string arguments;
        int status;
        std::string message;
    } cases[] = {
        {quoted(dir / "none.mid") + " " + out, 1, "cannot open"},
        {quoted(cut) + " " + out, 1, "cut.mid: "},
        {quoted(late) + " " + out, 1, "longer than the 3600.0 s rendered at most (--max-length)"},
        {"-p Nonesuch " + quoted(phrase) + " " + out, 1, "there is no factory patch called \"Nonesuch\""},
        {"-s 'Cutoff=3' " + quoted(phrase) + " " + out, 1, "Veldane has no parameter called \"Cutoff\""},
        {"-s 'Filter Q=120 %' " + quoted(phrase) + " " + out, 1, "\"Filter Q\" cannot be \"120 %\""},
        {"-f " + quoted(notPreset) + " " + quoted(phrase) + " " + out, 1, "other.fxp: "},
        {quoted(phrase) + " " + quoted(dir / "missing" / "out.wav"), 1, "cannot write"},
        {quoted(phrase) + " " + quoted(dir / "out.mp3"), 1, "must end in .wav or .flac"},
        {"--bits 32 " + quoted(phrase) + " " + quoted(dir / "out.flac"), 1, "FLAC holds 16 or 24 bits"},
        {"--rate 1000 " + quoted(phrase) + " " + out, 64, "--rate takes"},
        {"-p 'Saw Pluck' -f x.fxp " + quoted(phrase) + " " + out, 64, "not both"},
        {"-p Nonesuch " + quoted(phrase) + " " + quoted(keep), 1, "no factory patch"},
    };
    for (const auto& c : cases) {
        const Outcome r = runRenderer(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.arguments << "\n" << r.output;
    }
    expectFolderHolds({"cut.mid", "late.mid", "other.fxp", "keep.wav"});
    EXPECT_EQ(fs::file_size(keep), 4u) << "a failed render leaves an existing file alone";
}

} // namespace
