#include "tools/testhost/platform.h"

#include <windows.h>

namespace testhost {

void* openLibrary(const char* path, std::string& error) {
    HMODULE module = LoadLibraryA(path);
    if (!module && path[0] == '/') {
        // A Unix path under wine: the root is drive Z: in a default prefix.
        module = LoadLibraryA((std::string("Z:") + path).c_str());
    }
    if (!module) error = "cannot load " + std::string(path) + " (error " + std::to_string(GetLastError()) + ")";
    return module;
}

void* librarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

double threadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
    // FILETIME counts 100-nanosecond intervals in two 32-bit halves.
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

bool displayAvailable() { return true; }

} // namespace testhost
