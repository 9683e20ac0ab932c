#include "tools/testhost/platform.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>

namespace testhost {

void* openLibrary(const char* path, std::string& error) {
    // RTLD_LOCAL: the plug-in's symbols stay its own, as a host keeps them.
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        error = "cannot load " + std::string(path) + (why ? std::string(": ") + why : std::string());
    }
    return library;
}

void* librarySymbol(void* library, const char* name) { return dlsym(library, name); }

double threadCpuSeconds() {
    timespec t{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0.0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = getenv(name);
        if (value && *value) return true;
    }
    return false;
}

} // namespace testhost
