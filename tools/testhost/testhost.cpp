// testhost: a small VST 2.4 host for checking Veldane.dll (or any VST 2.4
// instrument) from the command line: under Windows or wine the Windows builds
// load a DLL; the native build loads a shared library or, in place of a
// library path, `builtin`: the plug-in linked into the test host itself.
//
// Usage:
//   testhost info LIBRARY
//       Prints the plug-in's identity and, for every parameter, its name,
//       label, default normalized value and display texts at 0 / 0.5 / 1
//       (each value is restored after the probe). The editor's rectangle is
//       asked only of a plug-in that flags an editor, and only when a display
//       is there: a GTK plug-in ends the process when asked without one.
//   testhost render LIBRARY SCRIPT OUT.wav [--double] [--rate R] [--block N] [--cut-at-params]
//       Plays SCRIPT through the plug-in and writes the mono output as a
//       32-bit float WAV file. --double renders with processDoubleReplacing
//       (the WAV is still float); --rate sets the sample rate (default
//       44100), --block the block length (default 512); --cut-at-params
//       also cuts a block where a parameter change falls, so it sounds from
//       its own sample (as in formats with timed parameter events).
//   testhost bench LIBRARY SCRIPT [--seconds S] [--instances N] [--double] [--rate R] [--block N]
//       Plays SCRIPT through one instance over and over, as `render` plays
//       it, in rounds of half a second of this thread's CPU time (two
//       under wine, whose thread clock ticks every 10 ms) until S
//       seconds (default 3) have gone into them, and prints the real-time
//       factor of the fastest round: seconds of audio rendered per second of
//       CPU time, and what a second of audio cost in cycles of the
//       time-stamp counter (tools/testhost/bench_rounds.h). One untimed play
//       comes first. With N instances (1..64) in the process, each plays the
//       script, block by block side by side as a host plays its tracks, and
//       the factor counts the audio of all of them.
//   testhost editor LIBRARY OUT.png [SCRIPT]
//       Opens the plug-in's editor in a window of the host's, as a host
//       does (a Win32 window in the Windows builds, an X11 window in the
//       native build), and saves the editor window's pixels as PNG once it
//       has painted. With SCRIPT, its `param` commands are applied first, in
//       time order, so the picture shows the values the script leaves
//       behind; its MIDI commands are ignored, since they change no
//       parameter. Needs a display (scripts/wine-window-run.sh provides a
//       virtual one under wine, scripts/x11-run.sh natively). Exits with 2
//       when the picture is written but shows a single colour, which means
//       the editor painted nothing.
//
// Scripts are described in tools/testhost/script.h.
//
// Example (tools/testhost/demo.txt):
//   0.0 param "Master Volume" 0.9
//   0.0 on 60 100
//   0.5 off 60
//   1.5 end

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/vst2.h"
#include "synth/voice_path.h"
#include "tools/testhost/bench_rounds.h"
#include "tools/testhost/platform.h"
#include "tools/testhost/plugin_library.h"
#include "tools/testhost/editor_command.h"
#include "tools/testhost/script.h"
#include "tools/testhost/wav_file.h"

namespace {

using namespace testhost;

constexpr double kDefaultRate = 44100.0;
constexpr int kDefaultBlock = 512;
// CPU time a benchmark runs for (tools/testhost/bench_rounds.h).
constexpr double kDefaultBenchSeconds = 3.0;
// Instances a benchmark may play side by side.
constexpr int kMaxBenchInstances = 64;

// The editor's rectangle, or why there is none. A plug-in may answer success
// with no rectangle, or with one that is empty or upside down: those are
// reported, never drawn from.
void printEditorRect(LoadedPlugin& plugin) {
    const char* label = "effEditGetRect     ";
    if (!(plugin.effect->flags & effFlagsHasEditor)) {
        std::printf("%sno editor\n", label);
        return;
    }
    if (!displayAvailable()) {
        std::printf("%snot asked (no display)\n", label);
        return;
    }
    ERect* rect = nullptr;
    if (!plugin.dispatch(effEditGetRect, 0, 0, &rect) || !rect) {
        std::printf("%snone\n", label);
        return;
    }
    std::printf("%stop %d, left %d, bottom %d, right %d%s\n", label, rect->top, rect->left, rect->bottom, rect->right,
                rect->bottom > rect->top && rect->right > rect->left ? "" : " (empty or inverted)");
}

int info(const char* path) {
    LoadedPlugin plugin;
    if (!load(path, plugin)) return 1;
    AEffect* e = plugin.effect;
    std::printf("library            %s\n", path);
    std::printf("host               %d-bit (an AEffect record of %zu bytes)\n", static_cast<int>(sizeof(void*) * 8),
                sizeof(AEffect));
    if (plugin.builtin) {
        std::printf("exports            none: linked into the test host\n");
        std::printf("voice path         %s\n", Veldane::voicePathName(Veldane::voicePath()));
    } else {
        std::printf("exports            VSTPluginMain %s, main %s%s\n", plugin.entry ? "yes" : "no",
                    plugin.mainAlias ? "yes" : "no",
                    plugin.entry && plugin.entry == plugin.mainAlias ? " (same function)" : "");
    }
    std::printf("magic              0x%08X\n", static_cast<unsigned>(e->magic));
    std::printf("uniqueID           0x%08X\n", static_cast<unsigned>(e->uniqueID));
    std::printf("version            %d\n", static_cast<int>(e->version));
    std::printf("flags              0x%04X\n", static_cast<unsigned>(e->flags));
    std::printf("numPrograms        %d\n", static_cast<int>(e->numPrograms));
    std::printf("numParams          %d\n", static_cast<int>(e->numParams));
    std::printf("numInputs          %d\n", static_cast<int>(e->numInputs));
    std::printf("numOutputs         %d\n", static_cast<int>(e->numOutputs));
    std::printf("initialDelay       %d\n", static_cast<int>(e->initialDelay));
    std::printf("process==processReplacing  %s\n",
                reinterpret_cast<void*>(e->process) == reinterpret_cast<void*>(e->processReplacing) ? "yes" : "no");
    std::printf("processDoubleReplacing     %s\n", e->processDoubleReplacing ? "yes" : "no");
    std::printf("effIdentify        0x%08X\n", static_cast<unsigned>(plugin.dispatch(effIdentify)));
    std::printf("effGetVstVersion   %d\n", static_cast<int>(plugin.dispatch(effGetVstVersion)));
    std::printf("effect name        \"%s\"\n", text(plugin, effGetEffectName, 0).c_str());
    std::printf("vendor             \"%s\"\n", text(plugin, effGetVendorString, 0).c_str());
    std::printf("product            \"%s\"\n", text(plugin, effGetProductString, 0).c_str());
    printEditorRect(plugin);
    std::printf("\n%-5s %-20s %-5s %-10s %-10s %-10s %-10s\n", "index", "name", "label", "default", "at 0", "at 0.5",
                "at 1");
    static const float kProbes[3] = {0.0f, 0.5f, 1.0f};
    for (VstInt32 i = 0; i < e->numParams; ++i) {
        const float initial = e->getParameter(e, i);
        std::string shown[3];
        for (int p = 0; p < 3; ++p) {
            e->setParameter(e, i, kProbes[p]);
            shown[p] = text(plugin, effGetParamDisplay, i);
        }
        e->setParameter(e, i, initial);
        std::printf("%-5d %-20s %-5s %-10.7g %-10s %-10s %-10s\n", static_cast<int>(i),
                    ("\"" + text(plugin, effGetParamName, i) + "\"").c_str(),
                    ("\"" + text(plugin, effGetParamLabel, i) + "\"").c_str(), initial, shown[0].c_str(),
                    shown[1].c_str(), shown[2].c_str());
    }
    unload(plugin);
    return 0;
}

// --- render ------------------------------------------------------------------

// How a script is played: render's and bench's options.
struct PlayOptions {
    bool useDouble = false;
    bool cutAtParameters = false;
    double rate = kDefaultRate;
    int block = kDefaultBlock;
    double benchSeconds = kDefaultBenchSeconds;
    int instances = 1;
};

// Reads the script and loads the plug-in with the script's parameter names
// resolved, checking that it can be played as asked; on failure says why on
// stderr and answers false, the plug-in closed.
bool loadWithScript(const char* path, const char* scriptPath, const PlayOptions& options, LoadedPlugin& plugin,
                    Script& script) {
    std::string error;
    if (!readScript(scriptPath, options.rate, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    if (!load(path, plugin)) return false;
    if (!canPlay(plugin.effect, options.useDouble, error) || !resolveNames(plugin.effect, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        unload(plugin);
        return false;
    }
    return true;
}

int countNonFinite(const std::vector<float>& samples) {
    return static_cast<int>(std::count_if(samples.begin(), samples.end(), [](float s) { return !std::isfinite(s); }));
}

int render(const char* path, const char* scriptPath, const char* outPath, const PlayOptions& options) {
    LoadedPlugin plugin;
    Script script;
    if (!loadWithScript(path, scriptPath, options, plugin, script)) return 1;
    const std::vector<float> output =
        playScript(plugin.effect, script, options.rate, options.block, options.useDouble, options.cutAtParameters);
    unload(plugin);
    float peak = 0.0f;
    double sumSquares = 0.0;
    for (float s : output) {
        if (!std::isfinite(s)) continue;
        peak = std::max(peak, std::fabs(s));
        sumSquares += double(s) * s;
    }
    const int nonFinite = countNonFinite(output);
    if (!writeWav(outPath, output, static_cast<int>(std::lround(options.rate)))) return 1;
    std::printf("rendered %zu samples (%.3f s at %g Hz, %s precision, blocks of %d) to %s\n", output.size(),
                double(output.size()) / options.rate, options.rate, options.useDouble ? "double" : "single",
                options.block, outPath);
    std::printf("peak %.6f, rms %.6f, non-finite samples %d\n", peak,
                output.empty() ? 0.0 : std::sqrt(sumSquares / double(output.size())), nonFinite);
    return nonFinite ? 2 : 0;
}

// --- bench -------------------------------------------------------------------

int bench(const char* path, const char* scriptPath, const PlayOptions& options) {
    std::vector<LoadedPlugin> plugins(static_cast<std::size_t>(options.instances));
    Script script;
    if (!loadWithScript(path, scriptPath, options, plugins[0], script)) return 1;
    for (std::size_t i = 1; i < plugins.size(); ++i) {
        if (!load(path, plugins[i])) return 1;
    }
    int nonFinite = 0;
    std::vector<std::vector<float>> outputs(plugins.size());
    const BenchResult result = benchRounds(options.benchSeconds, [&] {
        std::vector<std::unique_ptr<ScriptPlayer>> players;
        for (std::size_t i = 0; i < plugins.size(); ++i) {
            outputs[i].clear();
            players.emplace_back(
                new ScriptPlayer(plugins[i].effect, script, options.rate, options.block, options.useDouble));
        }
        // Block by block, every instance in turn, as a host plays its tracks.
        for (bool more = true; more;) {
            for (std::size_t i = 0; i < players.size(); ++i) more = players[i]->next(outputs[i]);
        }
        double audio = 0.0;
        for (const std::vector<float>& out : outputs) {
            nonFinite += countNonFinite(out);
            audio += double(out.size()) / options.rate;
        }
        return audio;
    });
    for (LoadedPlugin& plugin : plugins) unload(plugin);
    std::printf("played %s %d times in %d rounds, %d instance%s: %.1f s of audio (%s precision, blocks of %d at %g Hz) "
                "in %.2f s of CPU time, %.2f s of wall time\n",
                scriptPath, result.plays, result.rounds, options.instances, options.instances == 1 ? "" : "s",
                result.audioSeconds, options.useDouble ? "double" : "single", options.block, options.rate,
                result.cpuSeconds, result.wallSeconds);
    return printBenchFigures(result, nonFinite);
}

int usage() {
    std::fprintf(stderr,
                 "usage: testhost info LIBRARY\n"
                 "       testhost render LIBRARY SCRIPT OUT.wav [--double] [--rate R] [--block N] [--cut-at-params]\n"
                 "       testhost bench LIBRARY SCRIPT [--seconds S] [--instances N] [--double] [--rate R] [--block N]\n"
                 "       testhost editor LIBRARY OUT.png [SCRIPT]\n"
                 "LIBRARY may be `builtin`: the plug-in linked into this test host.\n");
    return 64;
}

// Reads render's and bench's options from argv[first...]; false on anything
// unknown or out of range (said on stderr when out of range).
bool parseOptions(int argc, char** argv, int first, bool bench, PlayOptions& options) {
    for (int i = first; i < argc; ++i) {
        if (std::strcmp(argv[i], "--double") == 0) {
            options.useDouble = true;
        } else if (!bench && std::strcmp(argv[i], "--cut-at-params") == 0) {
            options.cutAtParameters = true;
        } else if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
            options.rate = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--block") == 0 && i + 1 < argc) {
            options.block = std::atoi(argv[++i]);
        } else if (bench && std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            options.benchSeconds = std::atof(argv[++i]);
        } else if (bench && std::strcmp(argv[i], "--instances") == 0 && i + 1 < argc) {
            options.instances = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    if (!(options.rate >= 1000.0 && options.rate <= 768000.0) || options.block < 1 || options.block > 65536) {
        std::fprintf(stderr, "rate must be 1000..768000 Hz and block 1..65536 samples\n");
        return false;
    }
    if (!(options.benchSeconds >= 0.0 && options.benchSeconds <= 3600.0) || options.instances < 1 ||
        options.instances > kMaxBenchInstances) {
        std::fprintf(stderr, "seconds must be 0..3600 and instances 1..%d\n", kMaxBenchInstances);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const char* command = argv[1];
    PlayOptions options;
    if (argc == 3 && std::strcmp(command, "info") == 0) return info(argv[2]);
    if (argc >= 5 && std::strcmp(command, "render") == 0)
        return parseOptions(argc, argv, 5, false, options) ? render(argv[2], argv[3], argv[4], options) : usage();
    if (argc >= 4 && std::strcmp(command, "bench") == 0)
        return parseOptions(argc, argv, 4, true, options) ? bench(argv[2], argv[3], options) : usage();
    if ((argc == 4 || argc == 5) && std::strcmp(command, "editor") == 0)
        return editorCommand(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    return usage();
}
