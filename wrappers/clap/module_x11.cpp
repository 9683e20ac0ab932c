// The Linux .clap's images are linked in: the editor loads them from the table.
#include "wrappers/clap/plugin.h"

namespace Veldane {

NativeModule ClapPlugin::libraryModule() { return &libraryImages; }

} // namespace Veldane
