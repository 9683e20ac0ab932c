// The Windows .clap's module handle, found from an address inside it: the
// library has no entry routine of its own to record it.
#include <windows.h>

#include "wrappers/clap/plugin.h"

namespace Veldane {

NativeModule ClapPlugin::libraryModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ClapPlugin::descriptor), &module);
    return module;
}

} // namespace Veldane
