// The library entry routine: records the module handle, which the editor
// needs to find the images in this library's resources.
#include <windows.h>

#include "wrappers/vst2/entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE moduleHandle, DWORD reason, LPVOID reserved)
{
    (void)reason;
    (void)reserved;
    Veldane::libraryModuleHandle = moduleHandle;
    return TRUE;
}
