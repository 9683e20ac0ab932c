// The one symbol the .clap exports: the entry record every CLAP host looks
// up by name.
#include "framework/clap/library.h"
#include "wrappers/clap/plugin.h"

extern "C" const clap_plugin_entry clap_entry;
extern "C" const clap_plugin_entry clap_entry = zem::clap::Library<Veldane::ClapPlugin>::kEntry;
