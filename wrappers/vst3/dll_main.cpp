// The library entry routine of the Windows VST 3 module: records the module
// handle, from which the editor loads its images (the module's resources).
#include <windows.h>

#include "wrappers/vst3/plugin.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE moduleHandle, DWORD, LPVOID)
{
    Veldane::vst3::libraryModule = moduleHandle;
    return TRUE;
}
