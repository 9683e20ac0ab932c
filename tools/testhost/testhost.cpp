// testhost: a small VST 2.4 host for checking Veldane.dll (or any VST 2.4
// instrument) from the command line, under Windows or wine.
//
// Usage:
//   testhost info DLL
//       Prints the plug-in's identity and, for every parameter, its name,
//       label, default normalized value and display texts at 0 / 0.5 / 1
//       (each value is restored after the probe).
//   testhost render DLL SCRIPT OUT.wav [--double] [--rate R] [--block N]
//       Plays SCRIPT through the plug-in and writes the mono output as a
//       32-bit float WAV file. --double renders with processDoubleReplacing
//       (the WAV is still float); --rate sets the sample rate (default
//       44100), --block the block length (default 512).
//   testhost editor DLL OUT.png [SCRIPT]
//       Opens the plug-in's editor in a window of the host's, as a host
//       does, and saves the editor window's pixels as PNG once it has
//       painted. With SCRIPT, its `param` commands are applied first, in
//       time order, so the picture shows the values the script leaves
//       behind; its MIDI commands are ignored, since they change no
//       parameter. Needs a display (scripts/wine-window-run.sh provides a
//       virtual one). Exits with 2 when the picture is written but shows a
//       single colour, which means the editor painted nothing.
//
// Script format: one command per line; '#' starts a comment; blank lines are
// skipped. Every command begins with its time in seconds from the start:
//   TIME on NOTE [VELOCITY [CHANNEL]]    note on (velocity 100, channel 1 by default)
//   TIME off NOTE [VELOCITY [CHANNEL]]   note off
//   TIME pedal down|up [CHANNEL]         sustain pedal (controller 64)
//   TIME cc CONTROLLER VALUE [CHANNEL]   any controller
//   TIME bend VALUE [CHANNEL]            pitch bend, -8192..8191 (0 = centre)
//   TIME param INDEX VALUE               setParameter with a normalized value
//   TIME end                             length of the rendering (default: 1 s after the last command)
// Channels are 1..16. MIDI commands reach the plug-in through effProcessEvents
// at their exact sample offset in the block that contains them; parameter
// changes are made before that block is processed. Commands may be listed in
// any order; they are sorted by time (stable for equal times).
//
// Example (tools/testhost/demo.txt):
//   0.0 param 38 0.9
//   0.0 on 60 100
//   0.5 off 60
//   1.5 end

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "framework/vst2.h"
#include "tools/testhost/window_capture.h"

namespace {

using PluginMain = AEffect*(ZEM_VSTCALL*)(audioMasterCallback);

constexpr VstIntPtr kHostVstVersion = 2400;
constexpr double kDefaultRate = 44100.0;
constexpr int kDefaultBlock = 512;
// Display buffers are generous: the interface promises 8 characters, but a
// host that reads more must not be the one that overflows.
constexpr int kTextBuffer = 256;

int automateCalls = 0;

VstIntPtr ZEM_VSTCALL hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
    case audioMasterAutomate:
        ++automateCalls;
        return 0;
    case audioMasterVersion:
        return kHostVstVersion;
    default:
        return 0;
    }
}

struct LoadedPlugin {
    HMODULE module = nullptr;
    PluginMain entry = nullptr;
    PluginMain mainAlias = nullptr;
    AEffect* effect = nullptr;

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
};

bool load(const char* path, LoadedPlugin& plugin) {
    plugin.module = LoadLibraryA(path);
    if (!plugin.module && path[0] == '/') {
        // A Unix path under wine: the root is drive Z: in a default prefix.
        plugin.module = LoadLibraryA((std::string("Z:") + path).c_str());
    }
    if (!plugin.module) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", path, GetLastError());
        return false;
    }
    plugin.entry = reinterpret_cast<PluginMain>(reinterpret_cast<void*>(GetProcAddress(plugin.module, "VSTPluginMain")));
    plugin.mainAlias = reinterpret_cast<PluginMain>(reinterpret_cast<void*>(GetProcAddress(plugin.module, "main")));
    PluginMain entry = plugin.entry ? plugin.entry : plugin.mainAlias;
    if (!entry) {
        std::fprintf(stderr, "%s exports neither VSTPluginMain nor main\n", path);
        return false;
    }
    plugin.effect = entry(&hostCallback);
    if (!plugin.effect || plugin.effect->magic != kEffectMagic) {
        std::fprintf(stderr, "%s did not answer a VST 2.4 record\n", path);
        return false;
    }
    plugin.dispatch(effOpen);
    return true;
}

void unload(LoadedPlugin& plugin) {
    if (plugin.effect) plugin.dispatch(effClose);
    // The library stays loaded: a plug-in may keep its detached record alive
    // until the process ends.
}

std::string text(LoadedPlugin& plugin, VstInt32 opcode, VstInt32 index, VstIntPtr* result = nullptr) {
    char buffer[kTextBuffer] = {};
    const VstIntPtr answer = plugin.dispatch(opcode, index, 0, buffer);
    if (result) *result = answer;
    buffer[kTextBuffer - 1] = '\0';
    return buffer;
}

int info(const char* path) {
    LoadedPlugin plugin;
    if (!load(path, plugin)) return 1;
    AEffect* e = plugin.effect;
    std::printf("library            %s\n", path);
    std::printf("exports            VSTPluginMain %s, main %s%s\n", plugin.entry ? "yes" : "no",
                plugin.mainAlias ? "yes" : "no",
                plugin.entry && plugin.entry == plugin.mainAlias ? " (same function)" : "");
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
    ERect* rect = nullptr;
    if (plugin.dispatch(effEditGetRect, 0, 0, &rect) && rect) {
        std::printf("effEditGetRect     top %d, left %d, bottom %d, right %d\n", rect->top, rect->left, rect->bottom,
                    rect->right);
    } else {
        std::printf("effEditGetRect     none\n");
    }

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

struct Command {
    long long frame;       // when, in samples from the start
    bool isParameter;      // setParameter instead of MIDI
    int index;             // parameter index
    float value;           // normalized parameter value
    unsigned char midi[3]; // status and data bytes
};

struct Script {
    std::vector<Command> commands;
    long long endFrame = -1; // from an `end` line; -1 if none
};

bool fail(int line, const std::string& what) {
    std::fprintf(stderr, "script line %d: %s\n", line, what.c_str());
    return false;
}

bool parseScript(const char* path, double rate, Script& script) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        double seconds;
        std::string verb;
        if (!(words >> seconds)) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            return fail(number, "expected a time in seconds");
        }
        if (!(words >> verb)) return fail(number, "expected a command");
        if (!(seconds >= 0.0) || seconds > 3600.0) return fail(number, "time must be 0..3600 s");
        Command c{};
        c.frame = std::llround(seconds * rate);
        std::vector<long> args;
        std::string word;
        while (words >> word) {
            if (word == "down") word = "127";
            if (word == "up") word = "0";
            char* rest = nullptr;
            if (verb == "param" && args.size() == 1) {
                c.value = std::strtof(word.c_str(), &rest);
                if (*rest) return fail(number, "bad value " + word);
                args.push_back(0);
                continue;
            }
            args.push_back(std::strtol(word.c_str(), &rest, 10));
            if (*rest) return fail(number, "bad number " + word);
        }
        auto arg = [&](std::size_t i, long fallback) { return i < args.size() ? args[i] : fallback; };
        auto channelBits = [&](std::size_t i) { return static_cast<unsigned char>((arg(i, 1) - 1) & 0x0F); };
        auto dataByte = [&](long v) { return static_cast<unsigned char>(std::clamp(v, 0L, 127L)); };
        if (verb == "end") {
            script.endFrame = c.frame;
            continue;
        } else if (verb == "on" || verb == "off") {
            if (args.empty()) return fail(number, "expected a note number");
            c.midi[0] = static_cast<unsigned char>((verb == "on" ? 0x90 : 0x80) | channelBits(2));
            c.midi[1] = dataByte(args[0]);
            c.midi[2] = dataByte(arg(1, verb == "on" ? 100 : 0));
        } else if (verb == "pedal" || verb == "cc") {
            const bool pedal = verb == "pedal";
            if (args.size() < (pedal ? 1u : 2u)) return fail(number, "missing arguments");
            c.midi[0] = static_cast<unsigned char>(0xB0 | channelBits(pedal ? 1 : 2));
            c.midi[1] = dataByte(pedal ? 64 : args[0]);
            c.midi[2] = dataByte(pedal ? args[0] : args[1]);
        } else if (verb == "bend") {
            if (args.empty()) return fail(number, "expected a bend value");
            const long v = std::clamp(args[0], -8192L, 8191L) + 8192;
            c.midi[0] = static_cast<unsigned char>(0xE0 | channelBits(1));
            c.midi[1] = static_cast<unsigned char>(v & 0x7F);
            c.midi[2] = static_cast<unsigned char>(v >> 7);
        } else if (verb == "param") {
            if (args.size() < 2) return fail(number, "expected an index and a value");
            c.isParameter = true;
            c.index = static_cast<int>(args[0]);
        } else {
            return fail(number, "unknown command " + verb);
        }
        script.commands.push_back(c);
    }
    std::stable_sort(script.commands.begin(), script.commands.end(),
                     [](const Command& a, const Command& b) { return a.frame < b.frame; });
    return true;
}

bool writeWav(const char* path, const std::vector<float>& samples, int rate) {
    FILE* f = std::fopen(path, "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return false;
    }
    auto u32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * sizeof(float));
    constexpr std::uint16_t kIeeeFloat = 3;
    std::fwrite("RIFF", 1, 4, f);
    u32(4 + (8 + 18) + (8 + 4) + (8 + dataBytes));
    std::fwrite("WAVE", 1, 4, f);
    std::fwrite("fmt ", 1, 4, f);
    u32(18);
    u16(kIeeeFloat);
    u16(1);                                   // mono
    u32(static_cast<std::uint32_t>(rate));    // frames per second
    u32(static_cast<std::uint32_t>(rate) * 4); // bytes per second
    u16(4);                                   // bytes per frame
    u16(32);                                  // bits per sample
    u16(0);                                   // no extension
    std::fwrite("fact", 1, 4, f);             // non-PCM formats state their frame count
    u32(4);
    u32(static_cast<std::uint32_t>(samples.size()));
    std::fwrite("data", 1, 4, f);
    u32(dataBytes);
    std::fwrite(samples.data(), sizeof(float), samples.size(), f);
    const bool ok = std::fclose(f) == 0;
    if (!ok) std::fprintf(stderr, "error writing %s\n", path);
    return ok;
}

int render(const char* path, const char* scriptPath, const char* outPath, bool useDouble, double rate, int block) {
    Script script;
    if (!parseScript(scriptPath, rate, script)) return 1;
    LoadedPlugin plugin;
    if (!load(path, plugin)) return 1;
    AEffect* e = plugin.effect;
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    plugin.dispatch(effSetBlockSize, 0, block);
    plugin.dispatch(effMainsChanged, 0, 1);

    long long total = script.endFrame;
    if (total < 0) total = (script.commands.empty() ? 0 : script.commands.back().frame) + std::llround(rate);

    std::vector<float> output;
    output.reserve(static_cast<std::size_t>(total));
    std::vector<float> floats(block);
    std::vector<double> doubles(block);
    std::vector<VstMidiEvent> midi;
    std::vector<unsigned char> eventsStorage;
    std::size_t next = 0;
    int nonFinite = 0;
    for (long long start = 0; start < total; start += block) {
        const int frames = static_cast<int>(std::min<long long>(block, total - start));
        midi.clear();
        for (; next < script.commands.size() && script.commands[next].frame < start + frames; ++next) {
            const Command& c = script.commands[next];
            if (c.isParameter) {
                e->setParameter(e, c.index, c.value);
                continue;
            }
            VstMidiEvent m{};
            m.type = kVstMidiType;
            m.byteSize = sizeof(VstMidiEvent);
            m.deltaFrames = static_cast<VstInt32>(std::max<long long>(0, c.frame - start));
            std::memcpy(m.midiData, c.midi, 3);
            midi.push_back(m);
        }
        if (!midi.empty()) {
            // The event array really holds numEvents pointers.
            const std::size_t header = offsetof(VstEvents, events);
            eventsStorage.assign(std::max(sizeof(VstEvents), header + midi.size() * sizeof(VstEvent*)), 0);
            auto* events = reinterpret_cast<VstEvents*>(eventsStorage.data());
            events->numEvents = static_cast<VstInt32>(midi.size());
            auto** list = reinterpret_cast<VstEvent**>(eventsStorage.data() + header);
            for (std::size_t i = 0; i < midi.size(); ++i) list[i] = reinterpret_cast<VstEvent*>(&midi[i]);
            plugin.dispatch(effProcessEvents, 0, 0, events);
        }
        if (useDouble) {
            double* outs[1] = {doubles.data()};
            e->processDoubleReplacing(e, nullptr, outs, frames);
            for (int i = 0; i < frames; ++i) output.push_back(static_cast<float>(doubles[i]));
        } else {
            float* outs[1] = {floats.data()};
            e->processReplacing(e, nullptr, outs, frames);
            output.insert(output.end(), floats.begin(), floats.begin() + frames);
        }
    }
    float peak = 0.0f;
    double sumSquares = 0.0;
    for (float s : output) {
        if (!std::isfinite(s)) ++nonFinite;
        else {
            peak = std::max(peak, std::fabs(s));
            sumSquares += double(s) * s;
        }
    }
    plugin.dispatch(effMainsChanged, 0, 0);
    unload(plugin);
    if (!writeWav(outPath, output, static_cast<int>(std::lround(rate)))) return 1;
    std::printf("rendered %zu samples (%.3f s at %g Hz, %s precision, blocks of %d) to %s\n", output.size(),
                double(output.size()) / rate, rate, useDouble ? "double" : "single", block, outPath);
    std::printf("peak %.6f, rms %.6f, non-finite samples %d\n", peak,
                output.empty() ? 0.0 : std::sqrt(sumSquares / double(output.size())), nonFinite);
    return nonFinite ? 2 : 0;
}

// --- editor ------------------------------------------------------------------

// Asked of a plug-in that answers no editor rectangle before its editor opens;
// the frame grows to the editor's window afterwards anyway.
constexpr int kFallbackEditorWidth = 640;
constexpr int kFallbackEditorHeight = 480;
// A host calls effEditIdle from a timer while the editor is open, and an
// editor may draw in it: the picture is taken after a few of them.
constexpr int kIdleCalls = 3;

// Grows the frame until its client area holds the whole editor window, which
// would otherwise be clipped, and its hidden part missing from the picture.
void fitFrame(HWND frame, HWND editor) {
    RECT inner{};
    GetWindowRect(editor, &inner);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&inner), 2);
    RECT client{};
    GetClientRect(frame, &client);
    if (inner.right <= client.right && inner.bottom <= client.bottom) return;
    RECT outer{0, 0, std::max(inner.right, client.right), std::max(inner.bottom, client.bottom)};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(frame, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(frame, GWL_EXSTYLE)));
    SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool singleColour(LICE_IBitmap& image) {
    const uint32_t first = image.pixels()[0] & 0x00FFFFFFu;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixels()[y * image.rowSpan() + x] & 0x00FFFFFFu) != first) return false;
    return true;
}

int editor(const char* path, const char* outPath, const char* scriptPath) {
    Script script;
    if (scriptPath && !parseScript(scriptPath, kDefaultRate, script)) return 1;
    LoadedPlugin plugin;
    if (!load(path, plugin)) return 1;
    AEffect* e = plugin.effect;
    if (!(e->flags & effFlagsHasEditor)) {
        std::fprintf(stderr, "%s has no editor\n", path);
        unload(plugin);
        return 1;
    }
    int applied = 0, ignored = 0;
    for (const Command& c : script.commands) {
        if (!c.isParameter) {
            ++ignored;
            continue;
        }
        e->setParameter(e, c.index, c.value);
        ++applied;
    }

    int width = kFallbackEditorWidth, height = kFallbackEditorHeight;
    ERect* rect = nullptr;
    if (plugin.dispatch(effEditGetRect, 0, 0, &rect) && rect && rect->right > rect->left && rect->bottom > rect->top) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
    HWND frame = window_capture::createFrame("testhost editor", width, height);
    if (!frame) {
        std::fprintf(stderr, "cannot create a window (error %lu); is there a display?\n", GetLastError());
        unload(plugin);
        return 1;
    }
    // The answer of effEditOpen varies between plug-ins; the window it puts
    // into the frame is what counts.
    plugin.dispatch(effEditOpen, 0, 0, frame);
    HWND editorWindow = GetWindow(frame, GW_CHILD);
    LICE_SysBitmap picture;
    bool captured = false;
    if (editorWindow) {
        fitFrame(frame, editorWindow);
        for (int i = 0; i < kIdleCalls; ++i) {
            plugin.dispatch(effEditIdle);
            window_capture::paintPending(editorWindow);
        }
        captured = window_capture::grab(editorWindow, picture);
    }
    plugin.dispatch(effEditClose);
    DestroyWindow(frame);
    window_capture::pump();
    unload(plugin);
    if (!editorWindow) {
        std::fprintf(stderr, "effEditOpen put no window into the host's frame\n");
        return 1;
    }
    if (!captured) {
        std::fprintf(stderr, "cannot read the editor window's pixels back\n");
        return 1;
    }
    if (!window_capture::writePng(outPath, picture)) {
        std::fprintf(stderr, "cannot write %s\n", outPath);
        return 1;
    }
    if (scriptPath)
        std::printf("applied %d parameter changes from %s (%d MIDI commands ignored)\n", applied, scriptPath, ignored);
    std::printf("editor window %d x %d captured to %s\n", picture.width(), picture.height(), outPath);
    if (singleColour(picture)) {
        std::fprintf(stderr, "the editor window shows a single colour: it painted nothing\n");
        return 2;
    }
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: testhost info DLL\n"
                 "       testhost render DLL SCRIPT OUT.wav [--double] [--rate R] [--block N]\n"
                 "       testhost editor DLL OUT.png [SCRIPT]\n");
    return 64;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "info") == 0) return info(argv[2]);
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "editor") == 0)
        return editor(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
    if (argc >= 5 && std::strcmp(argv[1], "render") == 0) {
        bool useDouble = false;
        double rate = kDefaultRate;
        int block = kDefaultBlock;
        for (int i = 5; i < argc; ++i) {
            if (std::strcmp(argv[i], "--double") == 0) {
                useDouble = true;
            } else if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
                rate = std::atof(argv[++i]);
            } else if (std::strcmp(argv[i], "--block") == 0 && i + 1 < argc) {
                block = std::atoi(argv[++i]);
            } else {
                return usage();
            }
        }
        if (!(rate >= 1000.0 && rate <= 768000.0) || block < 1 || block > 65536) {
            std::fprintf(stderr, "rate must be 1000..768000 Hz and block 1..65536 samples\n");
            return 64;
        }
        return render(argv[2], argv[3], argv[4], useDouble, rate, block);
    }
    return usage();
}
