#pragma once
// A VST 2.4 plug-in loaded as a host loads it: its library opened, the entry
// called with the host's callback, the record checked and opened. Portable;
// the library is opened through tools/testhost/platform.h.
#include <string>

#include "framework/vst2.h"

namespace testhost {

using PluginMain = AEffect*(ZEM_VSTCALL*)(audioMasterCallback);

// Given in place of a library path: the plug-in linked into the test host
// itself (Veldane's core library), for builds that have no plug-in library.
constexpr const char* kBuiltinPlugin = "builtin";

struct LoadedPlugin {
    bool builtin = false;           // linked in, not loaded from a library
    PluginMain entry = nullptr;     // the export VSTPluginMain (builtin: the function); null if none
    PluginMain mainAlias = nullptr; // the export `main`; null if none or builtin
    AEffect* effect = nullptr;      // the opened instance

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
};

// Opens the library at path (or the built-in plug-in), creates one instance
// through VSTPluginMain (`main` when that is missing) and sends effOpen. On
// failure prints why to stderr and answers false.
bool load(const char* path, LoadedPlugin& plugin);

// Sends effClose. The library stays loaded: a plug-in may keep its detached
// record alive until the process ends.
void unload(LoadedPlugin& plugin);

// The text an opcode writes into a generous buffer.
std::string text(LoadedPlugin& plugin, VstInt32 opcode, VstInt32 index);

} // namespace testhost
