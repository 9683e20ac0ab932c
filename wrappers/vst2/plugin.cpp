#include "wrappers/vst2/plugin.h"

namespace Veldane {

Plugin::Plugin(AEffect& record, zem::HostCallback hostCallback, NativeModule moduleHandle)
    : PluginWithEditor(record, hostCallback, moduleHandle) {}

} // namespace Veldane
