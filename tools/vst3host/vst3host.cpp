// vst3host: our small VST 3 host, for checking Veldane.vst3 (or any VST 3
// instrument with one mono output) from the command line; the Windows build
// loads the Windows module under wine.
//
// Usage:
//   vst3host info BUNDLE
//       Prints the factory, its classes, the buses and, for every parameter,
//       its id, title, unit, step count, default (normalized), flags, unit and
//       the display texts at normalized 0 / 0.5 / 1; then the units and the
//       size of a fresh instance's saved state.
//   vst3host presets BUNDLE [FOLDER]
//       Lists the program list of the unit the program-change parameter
//       belongs to (index, name, category) and chooses each program, as a
//       host's preset menu does; with FOLDER, also loads every .vstpreset
//       file in it, as a host loads the files of a preset folder. Fails when
//       a program or a file does not load.
//   vst3host render BUNDLE SCRIPT OUT.wav [--rate R] [--block N]
//       Plays SCRIPT (tools/testhost/script.h; values are the parameters'
//       VST 3 normalized values) and writes the output as a 32-bit float WAV.
//
// BUNDLE is a .vst3 folder or the module library itself.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "framework/vst3/text.h"
#include "tools/testhost/wav_file.h"
#include "tools/vst3host/host.h"

namespace {

using namespace vst3host;

constexpr double kDefaultRate = 44100.0;
constexpr int32 kDefaultBlock = 512;

int usage() {
    std::fprintf(stderr,
                 "usage: vst3host info BUNDLE\n"
                 "       vst3host presets BUNDLE [FOLDER]\n"
                 "       vst3host render BUNDLE SCRIPT OUT.wav [--rate R] [--block N]\n");
    return 64;
}

std::string ascii(const TChar* text, std::size_t capacity) {
    std::string out(capacity, '\0');
    if (!readAscii(text, out.data(), capacity)) return "<not ASCII>";
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::string uidText(const char* bytes) {
    std::string out;
    char hex[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(bytes[i]));
        out += hex;
    }
    return out;
}

bool openInstance(const char* path, Module& module, Instance& instance) {
    std::string error;
    if (!loadModule(path, module, error) || !instance.open(module.factory, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

int info(const char* path) {
    Module module;
    Instance instance;
    if (!openInstance(path, module, instance)) return 1;
    IPluginFactory* factory = module.factory;
    PFactoryInfo fi{};
    factory->getFactoryInfo(&fi);
    std::printf("module             %s\n", module.file.c_str());
    std::printf("factory            vendor \"%s\", url \"%s\", flags 0x%X\n", fi.vendor, fi.url,
                static_cast<unsigned>(fi.flags));
    IPluginFactory2* factory2 = nullptr;
    factory->queryInterface(IPluginFactory2::iid.bytes, reinterpret_cast<void**>(&factory2));
    for (int32 i = 0; i < factory->countClasses(); ++i) {
        PClassInfo2 ci{};
        if (factory2 != nullptr && factory2->getClassInfo2(i, &ci) == kResultOk) {
            std::printf("class %d            \"%s\", %s, \"%s\", vendor \"%s\", version %s, %s, cid %s\n",
                        static_cast<int>(i), ci.name, ci.category, ci.subCategories, ci.vendor, ci.version,
                        ci.sdkVersion, uidText(ci.cid).c_str());
        }
    }
    if (factory2 != nullptr) factory2->release();
    std::printf("controller         %s\n", instance.separateController ? "an object of its own" : "the component itself");
    for (MediaType type : {kAudio, kEvent}) {
        for (BusDirection dir : {kInput, kOutput}) {
            for (int32 b = 0; b < instance.component->getBusCount(type, dir); ++b) {
                BusInfo bus{};
                instance.component->getBusInfo(type, dir, b, bus);
                std::printf("%s %s bus %d   \"%s\", %d channel(s)%s\n", type == kAudio ? "audio" : "event",
                            dir == kInput ? "input " : "output", static_cast<int>(b),
                            ascii(bus.name, 128).c_str(), static_cast<int>(bus.channelCount),
                            bus.flags & BusInfo::kDefaultActive ? ", active by default" : "");
            }
        }
    }
    std::printf("\n%-5s %-20s %-5s %-5s %-9s %-6s %-4s %-12s %-12s %-12s\n", "id", "title", "unit", "steps", "default",
                "flags", "in", "at 0", "at 0.5", "at 1");
    for (int32 i = 0; i < instance.controller->getParameterCount(); ++i) {
        ParameterInfo p{};
        if (instance.controller->getParameterInfo(i, p) != kResultOk) continue;
        std::printf("%-5u %-20s %-5s %-5d %-9.6g 0x%-4X %-4d %-12s %-12s %-12s\n", static_cast<unsigned>(p.id),
                    ("\"" + ascii(p.title, 128) + "\"").c_str(), ("\"" + ascii(p.units, 128) + "\"").c_str(),
                    static_cast<int>(p.stepCount), p.defaultNormalizedValue, static_cast<unsigned>(p.flags),
                    static_cast<int>(p.unitId), instance.display(p.id, 0.0).c_str(),
                    instance.display(p.id, 0.5).c_str(), instance.display(p.id, 1.0).c_str());
    }
    if (IUnitInfo* units = instance.unitInfo()) {
        std::printf("\n%-5s %-7s %-12s %s\n", "unit", "parent", "name", "program list");
        for (int32 i = 0; i < units->getUnitCount(); ++i) {
            UnitInfo u{};
            if (units->getUnitInfo(i, u) != kResultOk) continue;
            std::printf("%-5d %-7d %-12s %d\n", static_cast<int>(u.id), static_cast<int>(u.parentUnitId),
                        ("\"" + ascii(u.name, 128) + "\"").c_str(), static_cast<int>(u.programListId));
        }
    }
    std::printf("\nstate              %zu bytes\n", instance.saveState().size());
    instance.close();
    unloadModule(module);
    return 0;
}

int presets(const char* path, const char* folder) {
    Module module;
    Instance instance;
    if (!openInstance(path, module, instance)) return 1;
    int programs = 0, chosen = 0, files = 0, loaded = 0;
    IUnitInfo* units = instance.unitInfo();
    for (int32 l = 0; units != nullptr && l < units->getProgramListCount(); ++l) {
        ProgramListInfo list{};
        if (units->getProgramListInfo(l, list) != kResultOk) continue;
        std::printf("program list %d \"%s\": %d programs\n", static_cast<int>(list.id), ascii(list.name, 128).c_str(),
                    static_cast<int>(list.programCount));
        for (int32 k = 0; k < list.programCount; ++k) {
            String128 name{}, category{};
            units->getProgramName(list.id, k, name);
            const bool hasCategory =
                units->getProgramInfo(list.id, k, kPresetAttributeInstrument, category) == kResultOk;
            const bool ok = instance.chooseProgram(k);
            std::printf("  %-3d %-24s %-12s %s\n", static_cast<int>(k), ascii(name, 128).c_str(),
                        hasCategory ? ascii(category, 128).c_str() : "-", ok ? "chosen" : "NOT CHOSEN");
            ++programs;
            chosen += ok ? 1 : 0;
        }
    }
    if (folder != nullptr) {
        std::vector<std::filesystem::path> found;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            if (entry.path().extension() == ".vstpreset") found.push_back(entry.path());
        std::sort(found.begin(), found.end());
        std::printf("preset files in %s: %zu\n", folder, found.size());
        for (const auto& file : found) {
            std::string error;
            const bool ok = instance.loadPresetFile(file.string(), error);
            std::printf("  %-32s %s\n", file.filename().string().c_str(), ok ? "loaded" : error.c_str());
            ++files;
            loaded += ok ? 1 : 0;
        }
    }
    std::printf("%d programs, %d chosen; %d preset files, %d loaded\n", programs, chosen, files, loaded);
    instance.close();
    unloadModule(module);
    return programs == chosen && files == loaded ? 0 : 1;
}

int render(const char* path, const char* scriptPath, const char* outPath, double rate, int32 block) {
    testhost::Script script;
    std::string error;
    if (!testhost::readScript(scriptPath, rate, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    Module module;
    Instance instance;
    if (!openInstance(path, module, instance)) return 1;
    std::vector<float> output;
    const bool played = playScript(instance, script, rate, block, output, error);
    instance.close();
    unloadModule(module);
    if (!played) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    int nonFinite = 0;
    float peak = 0.0f;
    for (float s : output) {
        if (!std::isfinite(s)) ++nonFinite;
        else peak = std::max(peak, std::fabs(s));
    }
    if (!testhost::writeWav(outPath, output, static_cast<int>(std::lround(rate)))) return 1;
    std::printf("rendered %zu samples (%.3f s at %g Hz, blocks of %d) to %s; peak %.6f, non-finite samples %d\n",
                output.size(), double(output.size()) / rate, rate, static_cast<int>(block), outPath, peak,
                nonFinite);
    return nonFinite ? 2 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "info") == 0) return info(argv[2]);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "presets") == 0)
        return presets(argv[2], argc == 4 ? argv[3] : nullptr);
    if (argc < 5 || std::strcmp(argv[1], "render") != 0) return usage();
    double rate = kDefaultRate;
    int32 block = kDefaultBlock;
    for (int i = 5; i < argc; i += 2) {
        if (i + 1 >= argc) return usage();
        if (std::strcmp(argv[i], "--rate") == 0) rate = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--block") == 0) block = std::atoi(argv[i + 1]);
        else return usage();
    }
    if (!(rate > 0.0) || block < 1) return usage();
    return render(argv[2], argv[3], argv[4], rate, block);
}
