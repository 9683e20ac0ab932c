#pragma once
// What the test host needs of the operating system: opening a plug-in
// library and reading the CPU time of the calling thread. One implementation
// per system (platform_win.cpp: LoadLibrary and GetThreadTimes;
// platform_posix.cpp: dlopen and clock_gettime); everything else of the test
// host is portable.
#include <string>

namespace testhost {

// Opens the shared library at path for the rest of the process (a plug-in
// may keep its detached record alive until the process ends) and answers its
// handle; null when it cannot be opened, with `error` saying why.
void* openLibrary(const char* path, std::string& error);

// The address of the library's export `name`, or null when it exports none.
void* librarySymbol(void* library, const char* name);

// Seconds of CPU time the calling thread has used: what a benchmark divides
// by, unaffected by other programs sharing the machine's cores.
double threadCpuSeconds();

// Whether a window could be shown: always on Windows; on other systems when
// DISPLAY or WAYLAND_DISPLAY names a display. Some plug-ins (GTK ones) end
// the process when asked about their editor without one.
bool displayAvailable();

} // namespace testhost
