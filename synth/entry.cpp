#include "synth/entry.h"

#include <new>

#include "synth/plugin.h"

namespace Veldane {
HINSTANCE libraryModuleHandle = nullptr;
} // namespace Veldane

extern "C" AEffect* ZEM_VSTCALL VSTPluginMain(audioMasterCallback hostCallback)
{
    try {
        auto* plugin = new (std::nothrow) Veldane::Plugin(Veldane::libraryModuleHandle, hostCallback);
        return plugin ? &plugin->effect : nullptr;
    } catch (...) {
        // Nothing may unwind into the host; a failed construction has
        // already destroyed what it built.
        return nullptr;
    }
}
