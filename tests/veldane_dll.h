#pragma once
// The built Veldane.dll as a Windows host finds it: beside this test program
// (the build tree puts them side by side) unless the environment names
// another in VELDANE_DLL.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "framework/vst2.h"

namespace veldane_dll {

using PluginMain = AEffect*(ZEM_VSTCALL*)(audioMasterCallback);

inline std::string path() {
    if (const char* named = std::getenv("VELDANE_DLL")) return named;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir(self);
    dir.erase(dir.find_last_of("\\/") + 1);
    return dir + "Veldane.dll";
}

// Loaded once and kept for the life of the test program, as a host keeps it.
inline HMODULE module() {
    static HMODULE loaded = LoadLibraryA(path().c_str());
    return loaded;
}

// The entry `name` of a loaded copy of the library; null if there is none.
inline PluginMain entryOf(HMODULE loaded, const char* name = "VSTPluginMain") {
    if (!loaded) return nullptr;
    return reinterpret_cast<PluginMain>(reinterpret_cast<void*>(GetProcAddress(loaded, name)));
}

inline PluginMain entry(const char* name = "VSTPluginMain") { return entryOf(module(), name); }

} // namespace veldane_dll
