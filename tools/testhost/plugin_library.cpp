#include "tools/testhost/plugin_library.h"

#include <cstdio>
#include <cstring>

#include "wrappers/vst2/entry.h"
#include "tools/testhost/platform.h"

namespace testhost {

namespace {

constexpr VstIntPtr kHostVstVersion = 2400;
// Display buffers are generous: the interface promises 8 characters, but a
// host that reads more must not be the one that overflows.
constexpr int kTextBuffer = 256;

VstIntPtr ZEM_VSTCALL hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kHostVstVersion : 0;
}

PluginMain exported(void* library, const char* name) {
    return reinterpret_cast<PluginMain>(librarySymbol(library, name));
}

} // namespace

bool load(const char* path, LoadedPlugin& plugin) {
    if (std::strcmp(path, kBuiltinPlugin) == 0) {
        plugin.builtin = true;
        plugin.entry = &VSTPluginMain;
    } else {
        std::string error;
        void* library = openLibrary(path, error);
        if (!library) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        plugin.entry = exported(library, "VSTPluginMain");
        plugin.mainAlias = exported(library, "main");
    }
    PluginMain entry = plugin.entry ? plugin.entry : plugin.mainAlias;
    if (!entry) {
        std::fprintf(stderr, "%s exports neither VSTPluginMain nor main\n", path);
        return false;
    }
    plugin.effect = entry(&hostCallback);
    if (!plugin.effect || plugin.effect->magic != kEffectMagic) {
        std::fprintf(stderr, "%s did not answer a VST 2.4 record\n", path);
        plugin.effect = nullptr;
        return false;
    }
    plugin.dispatch(effOpen);
    return true;
}

void unload(LoadedPlugin& plugin) {
    if (plugin.effect) plugin.dispatch(effClose);
    plugin.effect = nullptr;
}

std::string text(LoadedPlugin& plugin, VstInt32 opcode, VstInt32 index) {
    char buffer[kTextBuffer] = {};
    plugin.dispatch(opcode, index, 0, buffer);
    buffer[kTextBuffer - 1] = '\0';
    return buffer;
}

} // namespace testhost
