// The built Veldane.dll as a Windows host meets it: loaded with LoadLibrary,
// its export table, the record and parameter table as the DLL answers them,
// the audio callbacks through the real entry and one sweep of hostile calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "tests/host_side.h"
#include "tests/veldane_dll.h"

namespace {

int hostCalls = 0;

VstIntPtr ZEM_VSTCALL countingHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) {
    ++hostCalls;
    return 0;
}

// Names in the loaded image's export directory.
std::set<std::string> exportedNames(HMODULE module) {
    std::set<std::string> names;
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0) return names;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

class VeldaneDll : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(veldane_dll::module(), nullptr) << "cannot load " << veldane_dll::path();
        veldane_dll::PluginMain main = veldane_dll::entry();
        ASSERT_NE(main, nullptr);
        hostCalls = 0;
        effect = main(&countingHost);
        ASSERT_NE(effect, nullptr);
    }
    // A host never frees a plug-in's record; effClose is all it does.
    void TearDown() override {
        if (effect) host::dispatch(effect, effClose);
    }
    AEffect* effect = nullptr;
};

TEST(VeldaneExports, BothEntryNamesUndecoratedAndTheSameFunction) {
    ASSERT_NE(veldane_dll::module(), nullptr) << "cannot load " << veldane_dll::path();
    const std::set<std::string> names = exportedNames(veldane_dll::module());
    EXPECT_EQ(names.count("VSTPluginMain"), 1u);
    EXPECT_EQ(names.count("main"), 1u);
    for (const std::string& name : names) {
        EXPECT_EQ(name.find('@'), std::string::npos) << name; // no stdcall decoration
        EXPECT_NE(name[0], '_') << name;
    }
    EXPECT_NE(veldane_dll::entry("VSTPluginMain"), nullptr);
    EXPECT_EQ(veldane_dll::entry("VSTPluginMain"), veldane_dll::entry("main"));
}

TEST_F(VeldaneDll, RecordAndIdentity) {
    host::expectIdentity(effect);
    EXPECT_EQ(hostCalls, 0);
}

TEST_F(VeldaneDll, EveryParameterAsTheHostSeesIt) { host::expectParameterTable(effect); }

TEST_F(VeldaneDll, HostileCallsGetTheSafeAnswers) {
    host::expectHostileCallsRefused(effect);
    EXPECT_EQ(hostCalls, 0);
}

TEST_F(VeldaneDll, EveryAcceptedRateLeavesTheInstanceWhole) { host::expectEveryRateLeavesTheInstanceWhole(effect); }

TEST_F(VeldaneDll, HostileEventsAndTenThousandOfThem) {
    MidiBlock block;
    block.add(-100, 0x90, 60, 100);
    block.add(INT_MAX, 0x80, 60, 0);
    block.add(INT_MIN, 0x90, 64, 100);
    block.add(30, 0xE0, 0, 0);
    block.add(10, 0xB0, 64, 127);
    block.addRaw(nullptr);
    for (int i = 0; i < 10000; ++i) block.add(i % 700, (i % 2 ? 0x80 : 0x90) | (i % 16), 36 + i % 48, 90);
    EXPECT_EQ(host::dispatch(effect, effProcessEvents, 0, block.events()), 1);
    std::vector<float> buffer(256 + 16, 12345.0f);
    float* outs[1] = {buffer.data()};
    for (int b = 0; b < 4; ++b) effect->processReplacing(effect, nullptr, outs, 256);
    for (int i = 0; i < 256; ++i) EXPECT_TRUE(std::isfinite(buffer[i]));
    for (int i = 256; i < 272; ++i) EXPECT_EQ(buffer[i], 12345.0f); // nothing past the block
    std::vector<double> doubles(256 + 16, 12345.0);
    double* doubleOuts[1] = {doubles.data()};
    effect->processDoubleReplacing(effect, nullptr, doubleOuts, 256);
    for (int i = 0; i < 256; ++i) EXPECT_TRUE(std::isfinite(doubles[i]));
    for (int i = 256; i < 272; ++i) EXPECT_EQ(doubles[i], 12345.0);
}

TEST_F(VeldaneDll, EverythingAfterEffCloseAnswersZero) {
    EXPECT_EQ(host::dispatch(effect, effClose), 1);
    host::expectDetachedAfterClose(effect);
    effect = nullptr; // already closed
}

} // namespace
