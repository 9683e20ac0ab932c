#include "wrappers/vst2/entry.h"

#include "wrappers/vst2/plugin.h"

namespace Veldane {
#ifdef _WIN32
NativeModule libraryModuleHandle = nullptr;
#else
NativeModule libraryModuleHandle = &libraryImages;
#endif
} // namespace Veldane

extern "C" AEffect* ZEM_VSTCALL VSTPluginMain(audioMasterCallback hostCallback)
{
    return Veldane::Plugin::instantiate(hostCallback, Veldane::libraryModuleHandle);
}
