#pragma once
// The library's entry as a host sees it.
#include "base/platform.h"
#include "framework/vst2.h"

namespace Veldane {
// Where the editor loads its images from: on Windows the library's module
// handle, recorded by the library entry routine (DllMain) before any host
// call; elsewhere the images linked into the library (ui/editor.h).
extern NativeModule libraryModuleHandle;
} // namespace Veldane

// Creates one plug-in instance and answers its record; null if the instance
// cannot be created. Also exported as `main`. Host's UI thread.
extern "C" AEffect* ZEM_VSTCALL VSTPluginMain(audioMasterCallback hostCallback);
