// The built Veldane.dll as a Windows host meets it: loaded with LoadLibrary,
// its export and import tables and machine type, the record and parameter
// table as the DLL answers them, the audio callbacks through the real entry
// and one sweep of hostile calls.
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

const IMAGE_NT_HEADERS* ntHeaders(HMODULE module) {
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
}

// The loaded image's data directory `index` (export, import ...); null when
// the image has none.
const unsigned char* imageDirectory(HMODULE module, int index) {
    const IMAGE_NT_HEADERS* nt = ntHeaders(module);
    if (!nt) return nullptr;
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[index];
    return dir.VirtualAddress ? reinterpret_cast<const unsigned char*>(module) + dir.VirtualAddress : nullptr;
}

// Names in the loaded image's export directory.
std::set<std::string> exportedNames(HMODULE module) {
    std::set<std::string> names;
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(imageDirectory(module, IMAGE_DIRECTORY_ENTRY_EXPORT));
    if (!exports) return names;
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

// The libraries the loaded image imports from, as its import directory names them.
std::vector<std::string> importedLibraries(HMODULE module) {
    std::vector<std::string> names;
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* entry =
        reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(imageDirectory(module, IMAGE_DIRECTORY_ENTRY_IMPORT));
    for (; entry && entry->Name != 0; ++entry) names.emplace_back(reinterpret_cast<const char*>(base + entry->Name));
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

// A Windows system DLL is one the system directory holds: the compiler's
// runtime (libstdc++, libgcc, winpthread) must be linked in, never imported.
// The machine type is this test program's, 32- or 64-bit x86.
TEST(VeldaneImports, OnlyWindowsSystemLibrariesForThisMachine) {
    ASSERT_NE(veldane_dll::module(), nullptr) << "cannot load " << veldane_dll::path();
    const IMAGE_NT_HEADERS* nt = ntHeaders(veldane_dll::module());
    ASSERT_NE(nt, nullptr);
    EXPECT_EQ(nt->FileHeader.Machine, sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);

    char systemDir[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryA(systemDir, MAX_PATH), 0u);
    const std::vector<std::string> imports = importedLibraries(veldane_dll::module());
    EXPECT_FALSE(imports.empty());
    for (const std::string& name : imports) {
        const std::string inSystem = std::string(systemDir) + "\\" + name;
        EXPECT_NE(GetFileAttributesA(inSystem.c_str()), INVALID_FILE_ATTRIBUTES) << name << " is not a system DLL";
    }
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
