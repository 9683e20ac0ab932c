#pragma once
// The VST 3 bundle under test (VELDANE_VST3_BUNDLE), loaded by our VST 3
// host once for the test program's life, as a host keeps a module loaded.
#include <gtest/gtest.h>

#include <string>

#include "tools/vst3host/host.h"

inline vst3host::Module& bundleModule() {
    static vst3host::Module loaded;
    static bool tried = false;
    if (!tried) {
        tried = true;
        std::string error;
        if (!vst3host::loadModule(VELDANE_VST3_BUNDLE, loaded, error)) ADD_FAILURE() << error;
    }
    return loaded;
}
