// veldane-render: renders a Standard MIDI File through Veldane to a WAV or
// FLAC file, with no host. Every channel plays the one instrument (or one
// channel alone, to render the parts of a song with different patches). The
// song is played exactly as a host plays the plug-in (see song_player.h).
//
// The output is written to a temporary file beside the target and renamed
// onto it only once it is complete, so a failed or interrupted render never
// leaves a partial file under the target's name (nor harms a file already
// there). Linux only (POSIX files and terminals, libsndfile).
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "base/version.h"
#include "formats/file_bytes.h"
#include "formats/midi_file.h"
#include "formats/vst_preset.h"
#include "synth/random.h"
#include "tools/patches/patch_files.h"
#include "tools/render/song_player.h"

namespace {

constexpr double kDefaultRate = 44100.0;
// Rates the engine is made for: telephone quality up to four times the CD rate.
constexpr double kMinRate = 8000.0;
constexpr double kMaxRate = 192000.0;
constexpr int kDefaultBits = 24;
constexpr int kDefaultBlock = 512; // a common host block size
constexpr int kMaxBlock = 8192;
// The longest release a patch can have is 10 s, and its exponential tail
// needs about twice that to fall silent; 30 s lets every patch end.
constexpr double kDefaultTailSeconds = 30.0;
// Longest song accepted even when asked: a day.
constexpr double kMaxSongSecondsLimit = 86400.0;
// A preset file is a few hundred bytes; a bank of 128 programs about 25 KB.
constexpr std::size_t kMaxPresetFileBytes = std::size_t{1} << 20;
// Redraw the progress bar at most this often.
constexpr double kProgressInterval = 0.1;
constexpr int kProgressWidth = 30;

// The temporary output, removed if a signal ends the program (a fixed buffer:
// the handler may only use what is async-signal-safe).
char temporaryPath[4096] = {};

extern "C" void removeTemporaryAndExit(int signal)
{
    if (temporaryPath[0] != '\0')
        unlink(temporaryPath);
    _exit(128 + signal);
}

struct Options {
    std::string song, output, patch, fxp, script;
    std::vector<std::string> settings;
    double rate = kDefaultRate;
    int bits = kDefaultBits;
    int channel = 0;
    int block = kDefaultBlock;
    double tailSeconds = kDefaultTailSeconds;
    double maxSongSeconds = render::kDefaultMaxSongSeconds;
    bool list = false;
};

// Prints the usage; answers the exit status of a bad command line.
int usage(FILE* to)
{
    std::fprintf(to, "usage: veldane-render [OPTIONS] SONG.mid OUT.wav|OUT.flac\n"
                     "Renders a Standard MIDI File (formats 0 and 1) through Veldane, every channel into the one\n"
                     "instrument, followed by its release tail.\n"
                     "  -p, --patch NAME        a factory patch (see --list); default: every parameter at its default\n"
                     "  -f, --fxp FILE          a patch from a VST 2.4 program file (.fxp) saved for Veldane\n"
                     "  -s, --set \"NAME=VALUE\"  sets a parameter after the patch, its value as the plug-in shows it\n"
                     "                          (\"Filter Cutoff=1200 Hz\", \"Osc2 Waveform=Saw\"); may be repeated\n"
                     "  -r, --rate HZ           sample rate, 8000..192000 (default 44100)\n"
                     "  -b, --bits N            16 or 24 (integer samples) or 32 (float, WAV only); default 24\n"
                     "  -c, --channel N         plays MIDI channel N (1..16) only\n"
                     "      --tail SECONDS      longest release tail after the song (default 30)\n"
                     "      --max-length SECONDS  longest song accepted (default 3600, at most 86400)\n"
                     "      --block N           samples per block, as a host's buffer (default 512)\n"
                     "      --script FILE       also writes what was played as a script for the test host\n"
                     "  -l, --list              lists the factory patches\n"
                     "  -V, --version           prints the version\n");
    return 64;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "veldane-render: %s\n", message.c_str());
    return 1;
}

// A number in low..high filling the whole text; with `whole`, an integer.
bool readNumber(const char* text, double low, double high, bool whole, double& value)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= low && v <= high) || (whole && v != std::floor(v)))
        return false;
    value = v;
    return true;
}

// What parseArguments answers for a command line that asks for help or the
// version only.
constexpr int kHelpShown = -1;

// Answers 0 when the command line is good, kHelpShown, or else the exit status.
int parseArguments(int argc, char** argv, Options& o)
{
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* text = nullptr;
        // The option's argument, or null (said) when it has none.
        const auto value = [&](const char* what) {
            if (i + 1 < argc)
                return text = argv[++i];
            std::fprintf(stderr, "veldane-render: %s needs %s\n", a.c_str(), what);
            return text = nullptr;
        };
        // The option's numeric argument, or false (said) when it has none or a bad one.
        const auto number = [&](const char* what, double low, double high, bool whole, double& out) {
            if (!value(what))
                return false;
            if (readNumber(text, low, high, whole, out))
                return true;
            std::fprintf(stderr, "veldane-render: %s takes %s, not \"%s\"\n", a.c_str(), what, text);
            return false;
        };
        double n = 0.0;
        bool good = true;
        if (a == "-h" || a == "--help") {
            usage(stdout);
            return kHelpShown;
        } else if (a == "-V" || a == "--version") {
            std::printf("veldane-render %s\n", Veldane::kVersion);
            return kHelpShown;
        } else if (a == "-l" || a == "--list") {
            o.list = true;
        } else if (a == "-p" || a == "--patch") {
            good = value("a patch name") && !(o.patch = text).empty();
        } else if (a == "-f" || a == "--fxp") {
            good = value("a file") && !(o.fxp = text).empty();
        } else if (a == "-s" || a == "--set") {
            good = value("\"NAME=VALUE\"");
            if (good)
                o.settings.push_back(text);
        } else if (a == "--script") {
            good = value("a file") && !(o.script = text).empty();
        } else if (a == "-r" || a == "--rate") {
            good = number("a whole number of Hz, 8000..192000", kMinRate, kMaxRate, true, o.rate);
        } else if (a == "-b" || a == "--bits") {
            good = number("16, 24 or 32", 16, 32, true, n);
            if (good && n != 16 && n != 24 && n != 32) {
                std::fprintf(stderr, "veldane-render: --bits takes 16, 24 or 32, not \"%s\"\n", text);
                good = false;
            }
            o.bits = static_cast<int>(n);
        } else if (a == "-c" || a == "--channel") {
            good = number("a channel, 1..16", 1, 16, true, n);
            o.channel = static_cast<int>(n);
        } else if (a == "--block") {
            good = number("1..8192 samples", 1, kMaxBlock, true, n);
            o.block = static_cast<int>(n);
        } else if (a == "--tail") {
            good = number("0..600 seconds", 0.0, 600.0, false, o.tailSeconds);
        } else if (a == "--max-length") {
            good = number("1..86400 seconds", 1.0, kMaxSongSecondsLimit, false, o.maxSongSeconds);
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "veldane-render: unknown option %s\n", a.c_str());
            return usage(stderr);
        } else {
            positional.push_back(a);
        }
        if (!good)
            return 64;
    }
    if (o.list)
        return 0;
    if (positional.size() != 2)
        return usage(stderr);
    if (!o.patch.empty() && !o.fxp.empty()) {
        std::fprintf(stderr, "veldane-render: choose a patch by name or by file, not both\n");
        return 64;
    }
    o.song = positional[0];
    o.output = positional[1];
    return 0;
}

int listPatches()
{
    const std::vector<Veldane::Patch>& table = Veldane::factoryPatches();
    if (table.empty())
        return fail(Veldane::factoryTableError());
    for (const Veldane::Patch& p : table)
        std::printf("%-12s %s\n", p.category.c_str(), p.name.c_str());
    return 0;
}

// Puts the chosen patch and the settings into the parameters.
bool applyPatch(const Options& o, Veldane::Parameters& params, std::string& error)
{
    if (!o.patch.empty()) {
        const Veldane::Patch* patch = Veldane::findPatch(Veldane::factoryPatches(), o.patch);
        if (!patch) {
            error = "there is no factory patch called \"" + o.patch + "\" (veldane-render --list shows them)";
            return false;
        }
        for (int id = 0; id < Veldane::kParamCount; ++id)
            params.set(id, patch->values[static_cast<std::size_t>(id)]);
    }
    if (!o.fxp.empty()) {
        std::vector<std::uint8_t> bytes;
        formats::Preset preset;
        if (!formats::readFileBytes(o.fxp, kMaxPresetFileBytes, bytes, error))
            return false;
        if (!formats::readFxp(bytes.data(), bytes.size(), patches::vstPresetOwner(), preset, error)) {
            error = o.fxp + ": " + error;
            return false;
        }
        for (int id = 0; id < Veldane::kParamCount; ++id)
            params.set(id, preset.values[static_cast<std::size_t>(id)]);
    }
    for (const std::string& s : o.settings) {
        int id = 0;
        float value = 0.0f;
        if (!Veldane::parseSetting(params, s, id, value, error)) {
            error = "--set: " + error;
            return false;
        }
        params.set(id, value);
    }
    return true;
}

// The libsndfile format of the output, chosen by its file name's extension.
bool outputFormat(const Options& o, int& format, std::string& error)
{
    const auto dot = o.output.find_last_of('.');
    std::string ext = dot == std::string::npos ? "" : o.output.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    const int sample = o.bits == 16 ? SF_FORMAT_PCM_16 : o.bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT;
    if (ext == "wav") {
        format = SF_FORMAT_WAV | sample;
    } else if (ext == "flac") {
        if (o.bits == 32) {
            error = "FLAC holds 16 or 24 bits (--bits 16 or 24), not float samples";
            return false;
        }
        format = SF_FORMAT_FLAC | sample;
    } else {
        error = "the output's name must end in .wav or .flac: " + o.output;
        return false;
    }
    return true;
}

class Progress {
public:
    explicit Progress(double rate) : rate(rate), shown(isatty(STDERR_FILENO) == 1) {}

    void update(const render::SongPlayer& player)
    {
        if (!shown)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (std::chrono::duration<double>(now - last).count() < kProgressInterval)
            return;
        last = now;
        const double song = static_cast<double>(player.songFrames()) / rate;
        const double done = static_cast<double>(player.framesDone()) / rate;
        if (player.inTail()) {
            std::fprintf(stderr, "\r  release tail %6.1f s%*s", done - song, kProgressWidth + 8, "");
        } else {
            const double part = song > 0.0 ? done / song : 1.0;
            const int filled = static_cast<int>(part * kProgressWidth);
            std::fprintf(stderr, "\r  [%.*s%*s] %3d%% %7.1f / %.1f s", filled, "##############################",
                         kProgressWidth - filled, "", static_cast<int>(part * 100.0), done, song);
        }
        std::fflush(stderr);
    }
    void clear()
    {
        if (shown)
            std::fprintf(stderr, "\r%*s\r", kProgressWidth + 30, "");
    }

private:
    double rate;
    bool shown;
    std::chrono::steady_clock::time_point last{};
};

// Renders the schedule into `file`: how many frames, the highest sample and
// the messages the event queue dropped; on a write error, false and why.
bool renderToFile(const Options& o, Veldane::Synth& synth, const render::Schedule& schedule, SNDFILE* file,
                  long long& frames, float& peak, std::size_t& dropped, std::string& error)
{
    render::SongPlayer player(synth, schedule, o.block, o.tailSeconds);
    std::vector<float> block(static_cast<std::size_t>(o.block));
    Progress progress(o.rate);
    peak = 0.0f;
    for (int n; (n = player.next(block.data())) > 0;) {
        for (int i = 0; i < n; ++i)
            peak = std::max(peak, std::fabs(block[static_cast<std::size_t>(i)]));
        if (sf_writef_float(file, block.data(), n) != n) {
            progress.clear();
            error = sf_strerror(file);
            return false;
        }
        progress.update(player);
    }
    progress.clear();
    frames = player.framesDone();
    dropped = player.droppedEvents();
    return true;
}

int run(const Options& o)
{
    int format = 0;
    std::string error;
    if (!outputFormat(o, format, error))
        return fail(error);

    std::vector<std::uint8_t> bytes;
    formats::MidiSong song;
    if (!formats::readFileBytes(o.song, formats::kMaxMidiFileBytes, bytes, error))
        return fail(error);
    if (!formats::readMidiFile(bytes.data(), bytes.size(), song, error))
        return fail(o.song + ": " + error);
    render::Schedule schedule;
    if (!render::scheduleSong(song, o.rate, o.channel, o.maxSongSeconds, schedule, error))
        return fail(o.song + ": " + error + " (--max-length)");

    // One synthesizer, started where a freshly loaded plug-in starts: its
    // random sequence at the first seed, then the rate, then the patch, as a
    // host sets them before playing.
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    Veldane::Synth synth;
    synth.setSampleRate(o.rate);
    if (!applyPatch(o, synth.params, error))
        return fail(error);

    const std::string temporary = [&] {
        const auto slash = o.output.find_last_of('/');
        const std::string dir = slash == std::string::npos ? "" : o.output.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? o.output : o.output.substr(slash + 1);
        return dir + "." + base + ".XXXXXX";
    }();
    if (temporary.size() >= sizeof temporaryPath)
        return fail("the output's path is too long: " + o.output);
    std::strcpy(temporaryPath, temporary.c_str());
    std::signal(SIGINT, removeTemporaryAndExit);
    std::signal(SIGTERM, removeTemporaryAndExit);
    const int fd = mkstemp(temporaryPath);
    if (fd < 0) {
        temporaryPath[0] = '\0';
        return fail("cannot write " + o.output + ": " + std::strerror(errno));
    }
    // mkstemp makes the file readable by its owner alone; a render gets the
    // permissions any new file of the user's gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    const auto discard = [&](const std::string& why) {
        unlink(temporaryPath);
        temporaryPath[0] = '\0';
        return fail("cannot write " + o.output + ": " + why);
    };
    SF_INFO info{};
    info.samplerate = static_cast<int>(o.rate);
    info.channels = 1;
    info.format = format;
    // libsndfile takes the descriptor and closes it with the file.
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file) {
        close(fd);
        return discard(sf_strerror(nullptr));
    }
    // Integer formats hold full scale at most: a louder sample is clipped
    // there rather than wrapped round to the other sign.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const auto start = std::chrono::steady_clock::now();
    long long frames = 0;
    float peak = 0.0f;
    std::size_t dropped = 0;
    const bool rendered = renderToFile(o, synth, schedule, file, frames, peak, dropped, error);
    const int closed = sf_close(file);
    if (closed != 0 && rendered)
        return discard(sf_error_number(closed));
    if (!rendered)
        return discard(error);
    if (std::rename(temporaryPath, o.output.c_str()) != 0)
        return discard(std::strerror(errno));
    temporaryPath[0] = '\0';
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (!o.script.empty()) {
        std::ostringstream script;
        render::writeTestHostScript(script, synth.params, schedule, frames, o.rate);
        const std::string text = script.str();
        if (!formats::writeFileBytes(o.script, std::vector<std::uint8_t>(text.begin(), text.end()), error))
            return fail(error);
    }

    const double length = static_cast<double>(frames) / o.rate;
    const double songLength = static_cast<double>(schedule.songFrames) / o.rate;
    std::printf("%s: %.1f s (song %.1f s, release tail %.1f s), %g Hz, %d-bit %s; peak %.1f dBFS; rendered %.0fx "
                "faster than real time\n",
                o.output.c_str(), length, songLength, std::max(length - songLength, 0.0), o.rate, o.bits,
                (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC ? "FLAC"
                : o.bits == 32                                  ? "float WAV"
                                                                : "WAV",
                peak > 0.0f ? 20.0 * std::log10(peak) : -INFINITY, seconds > 0.0 ? length / seconds : 0.0);
    if (peak >= 1.0f && o.bits != 32)
        std::fprintf(stderr, "veldane-render: warning: the output reaches full scale and is clipped there; lower "
                             "\"Master Volume\"\n");
    if (dropped > 0)
        std::fprintf(stderr,
                     "veldane-render: warning: %zu MIDI messages were dropped, more than one block holds "
                     "(as the plug-in drops them)\n",
                     dropped);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const int status = parseArguments(argc, argv, options);
    if (status != 0)
        return status == kHelpShown ? 0 : status;
    if (options.list)
        return listPatches();
    return run(options);
}
