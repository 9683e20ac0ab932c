// The built veldane.so as a Linux VST 2.4 host meets it: opened with dlopen,
// entered through VSTPluginMain, and held to the same host-side checks as the
// core in-process and Veldane.dll under wine (tests/host_side.h), the
// editor's flag and rectangle included. CTest runs each case in a
// process of its own, so the demo phrase is the first thing the loaded
// library plays, as in a host that has just loaded it.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "synth/random.h"
#include "tests/golden.h"
#include "tests/host_side.h"
#include "tests/hosted_plugin.h"
#include "tools/testhost/script.h"

namespace {

using PluginMain = AEffect* (*)(audioMasterCallback);

// The library, opened once for the test program's life, as a host keeps it.
void* library() {
    static void* handle = dlopen(VELDANE_SO, RTLD_NOW | RTLD_LOCAL);
    return handle;
}

PluginMain entry() { return reinterpret_cast<PluginMain>(dlsym(library(), "VSTPluginMain")); }

VstIntPtr ZEM_VSTCALL silentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

class VeldaneSo : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(library(), nullptr) << dlerror();
        ASSERT_NE(entry(), nullptr);
        effect = entry()(&silentHost);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect) host::dispatch(effect, effClose);
    }
    AEffect* effect = nullptr;
};

// Ardour 7 and Qtractor look for VSTPluginMain first and use `main` only when
// it is missing; no Linux host we can run needs `main`.
TEST_F(VeldaneSo, EntryIsVSTPluginMainAlone) {
    EXPECT_EQ(dlsym(library(), "main"), nullptr);
    EXPECT_EQ(dlsym(library(), "lv2_descriptor"), nullptr);
}

TEST_F(VeldaneSo, RecordAndIdentity) { host::expectIdentity(effect); }

TEST_F(VeldaneSo, EveryParameterAsTheHostSeesIt) { host::expectParameterTable(effect); }

TEST_F(VeldaneSo, HostileCallsGetTheSafeAnswers) { host::expectHostileCallsRefused(effect); }

TEST_F(VeldaneSo, EveryRateLeavesTheInstanceWhole) { host::expectEveryRateLeavesTheInstanceWhole(effect); }

TEST_F(VeldaneSo, DetachedAfterClose) {
    host::dispatch(effect, effClose);
    host::expectDetachedAfterClose(effect);
    effect = nullptr;
}

// The demo phrase through the loaded library and through the core linked
// into this program (each with its own random sequence from the start): the
// same samples.
TEST_F(VeldaneSo, DemoPhraseGivesTheCoresSamples) {
    testhost::Script script;
    std::string error;
    ASSERT_TRUE(testhost::readScript(VELDANE_SOURCE_DIR "/tools/testhost/demo.txt", 44100.0, script, error)) << error;
    ASSERT_TRUE(testhost::resolveNames(effect, script, error)) << error;
    const std::vector<float> loaded = testhost::playScript(effect, script, 44100.0, 512, false);

    AEffect* core = VSTPluginMain(&CountingHost::callback);
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    const std::vector<float> linked = testhost::playScript(core, script, 44100.0, 512, false);
    closeInstance(core);
    EXPECT_EQ(loaded.size(), 441000u);
    EXPECT_TRUE(loaded == linked);
    EXPECT_EQ(golden::checksum(loaded), golden::kDemoPhraseChecksum) << "the DLLs and the native build play these samples";
}

} // namespace
