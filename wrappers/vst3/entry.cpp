// The module's entry points: the factory every host asks for, and the set-up
// and tear-down calls each system's hosts make around it (ModuleEntry and
// ModuleExit on Linux, InitDll and ExitDll on Windows). Nothing needs setting
// up: the factory is a static object and every instance is its own.
#include <new>

#include "framework/vst3/factory.h"
#include "wrappers/vst3/identity.h"
#include "wrappers/vst3/plugin.h"

namespace Veldane::vst3 {
#ifdef _WIN32
NativeModule libraryModule = nullptr;
#else
NativeModule libraryModule = &libraryImages;
#endif
} // namespace Veldane::vst3

namespace {

zem::vst3::FUnknown* createPlugin() noexcept {
    try {
        return static_cast<zem::vst3::IComponent*>(new (std::nothrow) Veldane::Vst3Plugin());
    } catch (...) {
        return nullptr; // a failed construction has freed what it built
    }
}

const zem::vst3::ClassDescription kClass = {
    Veldane::vst3::kClassId,     zem::vst3::kVstAudioEffectClass, Veldane::vst3::kName,
    Veldane::vst3::kVendor,      Veldane::vst3::kUrl,             Veldane::vst3::kSubCategories,
    Veldane::vst3::kVersion,     Veldane::vst3::kSdkVersion,      &createPlugin,
};

zem::vst3::Factory factory(kClass);

} // namespace

// Any thread. The module's one factory, with a reference added for the caller.
extern "C" zem::vst3::IPluginFactory* ZEM_VST3_CALL GetPluginFactory() {
    factory.addRef();
    return &factory;
}

#ifdef _WIN32
extern "C" bool InitDll() { return true; }
extern "C" bool ExitDll() { return true; }
#else
// `handle` is the module's own handle (dlopen's), which nothing here needs.
extern "C" bool ModuleEntry(void*) { return true; }
extern "C" bool ModuleExit() { return true; }
#endif
