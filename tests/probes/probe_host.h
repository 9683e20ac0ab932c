#pragma once
// What the probes of the built Veldane.dll share: a load of the library of
// their own, the host's window for the editor, and how long a run is.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "tests/veldane_dll.h"
#include "tools/testhost/window_capture.h"

namespace probe {

// Veldane.dll loaded for one probe from a copy of its own (a file of another
// name), unloaded and deleted after it. A fresh copy starts the library's
// static state, its random sequence (shared by all its instances) among it,
// from the beginning even while the library is loaded elsewhere in the
// process: two copies playing the same calls render the same samples. Every
// instance made from it, and its editor, must be closed by the end, unless
// keep() was called.
class LoadedDll {
public:
    LoadedDll() {
        static int copies = 0;
        char dir[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, dir);
        copy_ = std::string(dir) + "veldane-probe-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++copies) + ".dll";
        if (CopyFileA(veldane_dll::path().c_str(), copy_.c_str(), FALSE)) module_ = LoadLibraryA(copy_.c_str());
    }
    ~LoadedDll() {
        if (kept_) return;
        if (module_) FreeLibrary(module_);
        DeleteFileA(copy_.c_str());
    }
    LoadedDll(const LoadedDll&) = delete;
    LoadedDll& operator=(const LoadedDll&) = delete;

    veldane_dll::PluginMain entry() const { return veldane_dll::entryOf(module_); }
    // Leaves the library loaded for the rest of the process: for code of it
    // that outlives the probe (a window left open).
    void keep() { kept_ = true; }

private:
    std::string copy_;
    HMODULE module_ = nullptr;
    bool kept_ = false;
};

// A run's length as a multiple of the short run of the test command:
// VELDANE_PROBE_SCALE (scripts/probes.sh sets it), 1 when unset or invalid.
inline int scale() {
    const char* text = std::getenv("VELDANE_PROBE_SCALE");
    const int value = text ? std::atoi(text) : 1;
    return value >= 1 ? value : 1;
}

// A run's length in seconds instead, for the probes that can run for a given
// time: VELDANE_PROBE_SECONDS (scripts/fuzz.sh sets it), 0 when unset or
// invalid (the run then goes by scale()).
inline double seconds() {
    const char* text = std::getenv("VELDANE_PROBE_SECONDS");
    const double value = text ? std::atof(text) : 0.0;
    return value > 0.0 ? value : 0.0;
}

// The host's window around an editor, made once per process; null without a
// display (the probes that open the editor run under
// scripts/wine-window-run.sh).
inline HWND frame() {
    static const HWND window = window_capture::createFrame("Veldane probe", 702, 366);
    return window;
}

using window_capture::pump;

} // namespace probe
