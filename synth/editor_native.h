#pragma once
// Native builds have no window system. This stand-in has the surface of the
// real editor (synth/editor.h) and records what the plug-in asks of it, so the
// edit protocol (open, per-parameter updates, close) is tested natively.
#include <vector>

#include "framework/platform.h"

namespace Veldane {

class Plugin;

class Editor {
public:
    Editor(HINSTANCE moduleHandle, Plugin* plugin, HWND parent)
        : moduleHandle(moduleHandle), plugin(plugin), parent(parent)
    {
        ++liveCount;
    }
    ~Editor() { --liveCount; }
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    void updateControl(int parameterIndex) { updates.push_back(parameterIndex); }

    HINSTANCE moduleHandle;
    Plugin* plugin;
    HWND parent;
    std::vector<int> updates; // every index passed to updateControl, in call order

    // Stand-in editors alive in the process: shows that closing destroys them.
    static inline int liveCount = 0;
};

} // namespace Veldane
