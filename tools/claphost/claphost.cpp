// claphost: our minimal CLAP host, for checking Veldane.clap from the command
// line (natively, or the Windows build under wine64).
//
// Usage:
//   claphost info LIBRARY.clap
//       Prints the entry's version, the plug-in's descriptor, its ports,
//       latency, the extensions it offers and, for every parameter, its id,
//       name, module, flags, range and default, and its texts at both ends;
//       then its remote-control pages.
//   claphost render LIBRARY.clap SCRIPT OUT.wav [--midi] [--double] [--rate R] [--block N] [--preset NAME]
//       Plays a test-host script (tools/testhost/script.h) and writes the mono
//       output as a 32-bit float WAV file. Notes go as CLAP note events (with
//       --midi as MIDI events), parameter changes as parameter events at
//       their own samples inside each block; a script's normalized values
//       are turned into plain values through Veldane's parameter classes,
//       so a script sounds here as through the VST 2.4 test host. With
//       --preset NAME the preset of that name, found as `presets` finds it,
//       is loaded first.
//   claphost scan
//       Searches the folders CLAP hosts search by default (CLAP_PATH, then
//       the system's standard folders) as a host does, and prints each
//       plug-in found: file, id, name, vendor and version, tab-separated.
//       Fails when it finds none; a file that does not load is reported.
//   claphost presets LIBRARY.clap
//       Lists the presets a host's preset browser finds through the library's
//       preset-discovery factory (name, load key, flags, features), loads
//       each through the plug-in's preset-load extension and says how many
//       loaded.
//   claphost gui LIBRARY.clap [TIMES] [--scale F] [--size WxH] [--picture OUT.png]
//       Opens the plug-in's editor in a window of ours TIMES times (default
//       1), as a host embeds it, and checks each time that one window of the
//       editor's size appears, paints, and is gone after closing. --scale
//       hands the plug-in a scale (gui.set_scale) each time; --size says the
//       size the editor must have; --picture saves the first opening's
//       pixels. Needs a display (scripts/x11-run.sh,
//       scripts/wine-window-run.sh); on Windows the host is per-monitor DPI
//       aware.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/claphost/clap_host.h"
#include "tools/claphost/veldane_plain.h"
#include "tools/testhost/wav_file.h"

namespace {

using namespace claphost;

constexpr double kDefaultRate = 44100.0;
constexpr int kDefaultBlock = 512;

bool openLibrary(const char* path, Library& library) {
    std::string error;
    if (library.open(path, error) && library.descriptor() != nullptr) return true;
    std::fprintf(stderr, "%s\n", error.empty() ? "the factory lists no plug-in" : error.c_str());
    return false;
}

std::string flagsText(std::uint32_t flags) {
    std::string text;
    auto add = [&](std::uint32_t bit, const char* name) {
        if (flags & bit) text += (text.empty() ? "" : ",") + std::string(name);
    };
    add(CLAP_PARAM_IS_STEPPED, "stepped");
    add(CLAP_PARAM_IS_ENUM, "enum");
    add(CLAP_PARAM_IS_AUTOMATABLE, "automatable");
    add(CLAP_PARAM_IS_HIDDEN, "hidden");
    add(CLAP_PARAM_IS_READONLY, "readonly");
    add(CLAP_PARAM_IS_MODULATABLE, "modulatable");
    return text.empty() ? "-" : text;
}

std::string textOf(const Instance& instance, clap_id id, double value) {
    char text[CLAP_NAME_SIZE] = {};
    if (!instance.params->value_to_text(instance.plugin, id, value, text, sizeof text)) return "?";
    return "\"" + std::string(text) + "\"";
}

int info(const char* path) {
    Library library;
    if (!openLibrary(path, library)) return 1;
    const clap_plugin_descriptor& d = *library.descriptor();
    std::printf("library        %s\n", path);
    std::printf("clap version   %u.%u.%u (entry), %u.%u.%u (plug-in)\n", library.entry->clap_version.major,
                library.entry->clap_version.minor, library.entry->clap_version.revision, d.clap_version.major,
                d.clap_version.minor, d.clap_version.revision);
    std::printf("plug-ins       %u\n", library.factory->get_plugin_count(library.factory));
    std::printf("id             %s\nname           %s\nvendor         %s\nversion        %s\nurl            %s\n", d.id,
                d.name, d.vendor, d.version, d.url);
    std::printf("description    %s\nfeatures      ", d.description);
    for (const char* const* f = d.features; f != nullptr && *f != nullptr; ++f) std::printf(" %s", *f);
    std::printf("\n");

    Host host;
    Instance instance(library, host);
    if (instance.plugin == nullptr) {
        std::fprintf(stderr, "the plug-in could not be created\n");
        return 1;
    }
    std::printf("extensions    ");
    for (const char* id : {CLAP_EXT_PARAMS, CLAP_EXT_STATE, CLAP_EXT_AUDIO_PORTS, CLAP_EXT_NOTE_PORTS, CLAP_EXT_LATENCY,
                           CLAP_EXT_RENDER, CLAP_EXT_GUI, CLAP_EXT_REMOTE_CONTROLS, CLAP_EXT_PRESET_LOAD})
        if (instance.plugin->get_extension(instance.plugin, id) != nullptr) std::printf(" %s", id);
    std::printf("\n");
    for (bool input : {true, false}) {
        const std::uint32_t n = instance.audioPorts ? instance.audioPorts->count(instance.plugin, input) : 0;
        for (std::uint32_t i = 0; i < n; ++i) {
            clap_audio_port_info port{};
            if (!instance.audioPorts->get(instance.plugin, i, input, &port)) continue;
            std::printf("audio %-6s   \"%s\": %u channel(s), type %s%s\n", input ? "input" : "output", port.name,
                        port.channel_count, port.port_type ? port.port_type : "-",
                        (port.flags & CLAP_AUDIO_PORT_IS_MAIN) ? ", main" : "");
        }
        if (n == 0) std::printf("audio %-6s   none\n", input ? "input" : "output");
        const std::uint32_t notes = instance.notePorts ? instance.notePorts->count(instance.plugin, input) : 0;
        for (std::uint32_t i = 0; i < notes; ++i) {
            clap_note_port_info port{};
            if (!instance.notePorts->get(instance.plugin, i, input, &port)) continue;
            std::printf("note %-6s    \"%s\": %s%s\n", input ? "input" : "output", port.name,
                        (port.supported_dialects & CLAP_NOTE_DIALECT_CLAP) ? "CLAP notes " : "",
                        (port.supported_dialects & CLAP_NOTE_DIALECT_MIDI) ? "MIDI" : "");
        }
        if (notes == 0) std::printf("note %-6s    none\n", input ? "input" : "output");
    }
    if (instance.activate(kDefaultRate, kDefaultBlock) && instance.latency != nullptr)
        std::printf("latency        %u samples\n", instance.latency->get(instance.plugin));
    instance.deactivate();
    if (instance.gui != nullptr) {
        std::uint32_t w = 0, h = 0;
        const char* api = nullptr;
        bool floating = false;
        instance.gui->get_preferred_api(instance.plugin, &api, &floating);
        if (api != nullptr && instance.gui->create(instance.plugin, api, false)) {
            instance.gui->get_size(instance.plugin, &w, &h);
            std::printf("gui            %s, %u x %u pixels%s\n", api, w, h,
                        instance.gui->can_resize(instance.plugin) ? "" : ", fixed size");
            instance.gui->destroy(instance.plugin);
        }
    }

    const std::uint32_t count = instance.params ? instance.params->count(instance.plugin) : 0;
    std::printf("\nparameters     %u\n%-3s %-20s %-9s %-24s %-9s %-9s %-9s %-14s %-14s\n", count, "id", "name", "module",
                "flags", "min", "max", "default", "at min", "at max");
    for (std::uint32_t i = 0; i < count; ++i) {
        clap_param_info p{};
        if (!instance.params->get_info(instance.plugin, i, &p)) continue;
        std::printf("%-3u %-20s %-9s %-24s %-9g %-9g %-9g %-14s %-14s\n", p.id,
                    ("\"" + std::string(p.name) + "\"").c_str(), p.module[0] != '\0' ? p.module : "-",
                    flagsText(p.flags).c_str(), p.min_value, p.max_value, p.default_value,
                    textOf(instance, p.id, p.min_value).c_str(), textOf(instance, p.id, p.max_value).c_str());
    }
    const std::uint32_t pages = instance.remoteControls ? instance.remoteControls->count(instance.plugin) : 0;
    std::printf("\nremote pages   %u\n", pages);
    for (std::uint32_t i = 0; i < pages; ++i) {
        clap_remote_controls_page page{};
        if (!instance.remoteControls->get(instance.plugin, i, &page)) continue;
        std::printf("%-3u %-9s %-9s", page.page_id, page.section_name, page.page_name);
        for (clap_id id : page.param_ids) id == CLAP_INVALID_ID ? std::printf(" -") : std::printf(" %u", id);
        std::printf("\n");
    }
    return 0;
}

int scan() {
    const std::vector<std::string> folders = standardClapFolders();
    for (const std::string& folder : folders) std::fprintf(stderr, "searching %s\n", folder.c_str());
    int found = 0;
    for (const std::string& file : findClapFiles(folders)) {
        Library library;
        std::string error;
        if (!library.open(file.c_str(), error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            continue;
        }
        for (std::uint32_t i = 0; i < library.factory->get_plugin_count(library.factory); ++i) {
            const clap_plugin_descriptor* d = library.factory->get_plugin_descriptor(library.factory, i);
            if (d == nullptr) continue;
            std::printf("%s\t%s\t%s\t%s\t%s\n", file.c_str(), d->id, d->name, d->vendor ? d->vendor : "",
                        d->version ? d->version : "");
            ++found;
        }
    }
    if (found == 0) std::fprintf(stderr, "no CLAP plug-in found\n");
    return found > 0 ? 0 : 1;
}

// Indexes the library's presets as a host's browser does; false (with the
// reason on stderr) when that fails.
bool discover(const Library& library, std::vector<DiscoveredPreset>& presets) {
    std::string error;
    if (discoverPresets(library, presets, error)) return true;
    std::fprintf(stderr, "%s\n", error.c_str());
    return false;
}

int presets(const char* path) {
    Library library;
    std::vector<DiscoveredPreset> found;
    if (!openLibrary(path, library) || !discover(library, found)) return 1;
    Host host;
    Instance instance(library, host);
    if (instance.plugin == nullptr) return 1;
    std::printf("%-24s %-24s %-8s %s\n", "preset", "load key", "flags", "features");
    int loaded = 0;
    for (const DiscoveredPreset& p : found) {
        std::string features;
        for (const std::string& f : p.features) features += (features.empty() ? "" : ", ") + f;
        std::printf("%-24s %-24s 0x%-6X %s\n", p.name.c_str(), p.loadKey.c_str(), p.flags, features.c_str());
        loaded += instance.loadPreset(p) ? 1 : 0;
    }
    std::printf("%zu presets found through the preset-discovery factory, %d loaded\n", found.size(), loaded);
    return loaded == static_cast<int>(found.size()) ? 0 : 1;
}

struct Options {
    bool midi = false, useDouble = false;
    double rate = kDefaultRate;
    int block = kDefaultBlock;
    std::string preset; // loaded first, when given
};

int render(const char* path, const char* scriptPath, const char* outPath, const Options& options) {
    testhost::Script script;
    std::string error;
    Library library;
    if (!testhost::readScript(scriptPath, options.rate, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!openLibrary(path, library)) return 1;
    Host host;
    Instance instance(library, host);
    if (instance.plugin == nullptr || !instance.activate(options.rate, static_cast<std::uint32_t>(options.block))) {
        std::fprintf(stderr, "the plug-in could not be created and activated\n");
        return 1;
    }
    if (!resolveNames(instance, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    if (!options.preset.empty()) {
        std::vector<DiscoveredPreset> found;
        if (!discover(library, found)) return 1;
        const auto preset = std::find_if(found.begin(), found.end(),
                                         [&](const DiscoveredPreset& p) { return p.name == options.preset; });
        if (preset == found.end() || !instance.loadPreset(*preset)) {
            std::fprintf(stderr, "no preset \"%s\" could be found and loaded\n", options.preset.c_str());
            return 1;
        }
    }
    const std::vector<float> out =
        playScript(instance, script, options.rate, options.block, options.midi, &veldanePlainOf, options.useDouble);
    int nonFinite = 0;
    for (float s : out) nonFinite += std::isfinite(s) ? 0 : 1;
    if (!testhost::writeWav(outPath, out, static_cast<int>(std::lround(options.rate)))) return 1;
    std::printf("rendered %zu samples (%g Hz, blocks of %d, notes as %s, %s precision) to %s; non-finite samples %d\n",
                out.size(), options.rate, options.block, options.midi ? "MIDI" : "CLAP note events",
                options.useDouble ? "double" : "single", outPath, nonFinite);
    return nonFinite ? 2 : 0;
}

int gui(const char* path, int times, const GuiOptions& options) {
    Library library;
    if (!openLibrary(path, library)) return 1;
    Host host;
    Instance instance(library, host);
    if (instance.plugin == nullptr || times < 1) return 1;
    int width = 0, height = 0;
    if (!openEditorRepeatedly(instance, host, times, options, width, height)) return 1;
    std::printf("the editor opened and closed %d times in our window, %d x %d pixels\n", times, width, height);
    if (options.picture != nullptr) std::printf("its picture: %s\n", options.picture);
    return 0;
}

int usage();

// The gui command's words after the library: [TIMES] and the options.
int guiCommand(int argc, char** argv) {
    int times = 1;
    GuiOptions options;
    int i = 3;
    if (i < argc && argv[i][0] != '-') times = std::atoi(argv[i++]);
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            options.scale = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc &&
                   std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) == 2) {
        } else if (std::strcmp(argv[i], "--picture") == 0 && i + 1 < argc) {
            options.picture = argv[++i];
        } else {
            return usage();
        }
    }
    return gui(argv[2], times, options);
}

int usage() {
    std::fprintf(stderr, "usage: claphost info LIBRARY.clap\n"
                         "       claphost scan\n"
                         "       claphost presets LIBRARY.clap\n"
                         "       claphost gui LIBRARY.clap [TIMES] [--scale F] [--size WxH] [--picture OUT.png]\n"
                         "       claphost render LIBRARY.clap SCRIPT OUT.wav [--midi] [--double] [--rate R] [--block N]\n"
                         "                      [--preset NAME]\n");
    return 64;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "info") == 0) return info(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "scan") == 0) return scan();
    if (argc == 3 && std::strcmp(argv[1], "presets") == 0) return presets(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "gui") == 0) return guiCommand(argc, argv);
    if (argc < 5 || std::strcmp(argv[1], "render") != 0) return usage();
    Options options;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--midi") == 0) {
            options.midi = true;
        } else if (std::strcmp(argv[i], "--double") == 0) {
            options.useDouble = true;
        } else if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
            options.rate = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--block") == 0 && i + 1 < argc) {
            options.block = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--preset") == 0 && i + 1 < argc) {
            options.preset = argv[++i];
        } else {
            return usage();
        }
    }
    if (!(options.rate >= 1000.0 && options.rate <= 768000.0) || options.block < 1 || options.block > 65536) {
        std::fprintf(stderr, "rate must be 1000..768000 Hz and block 1..65536 samples\n");
        return 64;
    }
    return render(argv[2], argv[3], argv[4], options);
}
