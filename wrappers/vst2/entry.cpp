#include "wrappers/vst2/entry.h"

#include "wrappers/vst2/plugin.h"

namespace Veldane {
NativeModule libraryModuleHandle = nullptr;
} // namespace Veldane

extern "C" AEffect* ZEM_VSTCALL VSTPluginMain(audioMasterCallback hostCallback)
{
    return Veldane::Plugin::instantiate(hostCallback, Veldane::libraryModuleHandle);
}
