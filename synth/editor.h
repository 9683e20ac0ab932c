#pragma once
// PLACEHOLDER until the editor work lands: the surface the plug-in uses.
#include "framework/platform.h"

namespace Veldane {

class Plugin;

class Editor {
public:
    Editor(HINSTANCE moduleHandle, Plugin* plugin, HWND parent) { (void)moduleHandle; (void)plugin; (void)parent; }
    void updateControl(int parameterIndex) { (void)parameterIndex; }
};

} // namespace Veldane
