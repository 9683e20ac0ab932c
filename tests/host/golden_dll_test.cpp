// The demo phrase played through the built Veldane.dll, loaded as a host
// loads it, gives the very samples the native build's core gives (the
// accepted checksum of tests/golden.h): the 32-bit and the 64-bit DLL sound
// the same as the native build, bit for bit.
//
// A program of its own with a single render: the plug-in's random sequence
// belongs to the library and starts when the library is loaded, so the
// phrase must be the first thing the loaded DLL plays.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/golden.h"
#include "tests/veldane_dll.h"
#include "tools/testhost/script.h"

namespace {

VstIntPtr ZEM_VSTCALL silentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

TEST(GoldenDll, DemoPhraseGivesTheNativeBuildsSamples) {
    ASSERT_NE(veldane_dll::module(), nullptr) << "cannot load " << veldane_dll::path();
    veldane_dll::PluginMain main = veldane_dll::entry();
    ASSERT_NE(main, nullptr);
    AEffect* effect = main(&silentHost);
    ASSERT_NE(effect, nullptr);
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);

    testhost::Script script;
    std::string error;
    ASSERT_TRUE(testhost::readScript(VELDANE_SOURCE_DIR "/tools/testhost/demo.txt", 44100.0, script, error)) << error;
    ASSERT_TRUE(testhost::resolveNames(effect, script, error)) << error;
    const std::vector<float> out = testhost::playScript(effect, script, 44100.0, 512, false);
    EXPECT_EQ(out.size(), 441000u);
    EXPECT_EQ(golden::checksum(out), golden::kDemoPhraseChecksum);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

} // namespace
