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
// Scripts are described in tools/testhost/script.h.
//
// Example (tools/testhost/demo.txt):
//   0.0 param "Master Volume" 0.9
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
#include <string>
#include <vector>

#include "framework/vst2.h"
#include "tools/testhost/script.h"
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
    testhost::Script script;
    std::string error;
    if (!testhost::readScript(scriptPath, rate, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    LoadedPlugin plugin;
    if (!load(path, plugin)) return 1;
    if (!testhost::resolveNames(plugin.effect, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        unload(plugin);
        return 1;
    }
    const std::vector<float> output = testhost::playScript(plugin.effect, script, rate, block, useDouble);
    int nonFinite = 0;
    float peak = 0.0f;
    double sumSquares = 0.0;
    for (float s : output) {
        if (!std::isfinite(s)) ++nonFinite;
        else {
            peak = std::max(peak, std::fabs(s));
            sumSquares += double(s) * s;
        }
    }
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
    testhost::Script script;
    std::string error;
    if (scriptPath && !testhost::readScript(scriptPath, kDefaultRate, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    LoadedPlugin plugin;
    if (!load(path, plugin)) return 1;
    AEffect* e = plugin.effect;
    if (!(e->flags & effFlagsHasEditor)) {
        std::fprintf(stderr, "%s has no editor\n", path);
        unload(plugin);
        return 1;
    }
    if (!testhost::resolveNames(e, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        unload(plugin);
        return 1;
    }
    int applied = 0, ignored = 0;
    for (const testhost::Command& c : script.commands) {
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
