// The built Veldane.dll as a Windows host meets it: loaded with LoadLibrary,
// its export table, the record and every host call, including hostile ones.
// The DLL is taken from this program's own directory (the build tree puts
// them side by side) unless the environment names another in VELDANE_DLL.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "framework/vst2.h"
#include "tests/midi_block.h"
#include "tests/parameter_table.h"

namespace {

using PluginMain = AEffect*(ZEM_VSTCALL*)(audioMasterCallback);

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

int hostCalls = 0;

VstIntPtr ZEM_VSTCALL countingHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) {
    ++hostCalls;
    return 0;
}

std::string dllPath() {
    if (const char* path = std::getenv("VELDANE_DLL")) return path;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir(self);
    dir.erase(dir.find_last_of("\\/") + 1);
    return dir + "Veldane.dll";
}

HMODULE library() {
    static HMODULE module = LoadLibraryA(dllPath().c_str());
    return module;
}

PluginMain entry(const char* name) {
    return reinterpret_cast<PluginMain>(reinterpret_cast<void*>(GetProcAddress(library(), name)));
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
        ASSERT_NE(library(), nullptr) << "cannot load " << dllPath();
        PluginMain main = entry("VSTPluginMain");
        ASSERT_NE(main, nullptr);
        hostCalls = 0;
        effect = main(&countingHost);
        ASSERT_NE(effect, nullptr);
    }
    // A host never frees a plug-in's record; effClose is all it does.
    void TearDown() override {
        if (effect) dispatch(effClose);
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, 0, ptr, opt);
    }
    AEffect* effect = nullptr;
};

TEST(VeldaneExports, BothEntryNamesUndecoratedAndTheSameFunction) {
    ASSERT_NE(library(), nullptr) << "cannot load " << dllPath();
    const std::set<std::string> names = exportedNames(library());
    EXPECT_EQ(names.count("VSTPluginMain"), 1u);
    EXPECT_EQ(names.count("main"), 1u);
    for (const std::string& name : names) {
        EXPECT_EQ(name.find('@'), std::string::npos) << name; // no stdcall decoration
        EXPECT_NE(name[0], '_') << name;
    }
    EXPECT_NE(entry("VSTPluginMain"), nullptr);
    EXPECT_EQ(entry("VSTPluginMain"), entry("main"));
}

TEST_F(VeldaneDll, RecordAndIdentity) {
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numParams, 39);
    EXPECT_EQ(effect->numPrograms, 0);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, 1);
    EXPECT_EQ(effect->flags, kExpectedFlags);
    EXPECT_EQ(effect->uniqueID, kExpectedUniqueId);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(reinterpret_cast<void*>(effect->process), reinterpret_cast<void*>(effect->processReplacing));
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->object, nullptr);
    for (char c : effect->future) EXPECT_EQ(c, 0);
    EXPECT_EQ(dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(effGetVstVersion), 2400);
    char text[80];
    EXPECT_EQ(dispatch(effGetEffectName, 0, text), 1);
    EXPECT_STREQ(text, "Veldane");
    EXPECT_EQ(dispatch(effGetVendorString, 0, text), 1);
    EXPECT_STREQ(text, "Orvandel");
    EXPECT_EQ(dispatch(effGetProductString, 0, text), 1);
    EXPECT_STREQ(text, "Veldane");
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 366);
    EXPECT_EQ(rect->right, 702);
    EXPECT_EQ(hostCalls, 0);
}

TEST_F(VeldaneDll, EveryParameterAsTheHostSeesIt) {
    static const float kPositions[3] = {0.0f, 0.5f, 1.0f};
    for (int i = 0; i < 39; ++i) {
        const ExpectedParameter& want = kExpectedParameters[i];
        char text[64];
        EXPECT_EQ(dispatch(effGetParamName, i, text), 1);
        EXPECT_STREQ(text, want.name);
        dispatch(effGetParamLabel, i, text);
        EXPECT_STREQ(text, want.label) << want.name;
        const float initial = effect->getParameter(effect, i);
        EXPECT_NEAR(initial, want.defaultNormalized, 1e-6) << want.name;
        for (int p = 0; p < 3; ++p) {
            effect->setParameter(effect, i, kPositions[p]);
            EXPECT_EQ(dispatch(effGetParamDisplay, i, text), 1);
            EXPECT_STREQ(text, want.display[p]) << want.name << " at " << kPositions[p];
        }
        effect->setParameter(effect, i, initial);
        EXPECT_EQ(effect->getParameter(effect, i), initial);
    }
}

TEST_F(VeldaneDll, HostileCallsGetTheSafeAnswers) {
    for (VstInt32 index : {39, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(effect->getParameter(effect, index), 0.0f);
        effect->setParameter(effect, index, 0.5f);
        char text[16] = "marker";
        EXPECT_EQ(dispatch(effGetParamName, index, text), 0);
        EXPECT_EQ(dispatch(effGetParamDisplay, index, text), 0);
        EXPECT_EQ(dispatch(effGetParamLabel, index, text), 0);
        EXPECT_STREQ(text, "marker");
    }
    for (VstInt32 opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName, effEditGetRect, effEditOpen,
                            effProcessEvents, effGetEffectName, effGetVendorString, effGetProductString}) {
        EXPECT_EQ(dispatch(opcode, 0, nullptr), 0) << opcode;
    }
    for (float bad : {kNaN, kInf, -kInf}) {
        effect->setParameter(effect, 17, bad);
        EXPECT_EQ(effect->getParameter(effect, 17), 1.0f);
        char text[16];
        dispatch(effGetParamDisplay, 17, text);
        EXPECT_STREQ(text, "22000.0");
    }
    for (float rate : {0.0f, -1.0f, kNaN, kInf}) EXPECT_EQ(dispatch(effSetSampleRate, 0, nullptr, rate), 0);
    EXPECT_EQ(dispatch(effSetSampleRate, 0, nullptr, 96000.0f), 1);

    float samples[64];
    float* outs[1] = {samples};
    float* nullOut[1] = {nullptr};
    effect->processReplacing(effect, nullptr, nullptr, 64);
    effect->processReplacing(effect, nullptr, nullOut, 64);
    effect->processReplacing(effect, nullptr, outs, -64);
    effect->processReplacing(effect, nullptr, outs, 64);
    for (float s : samples) EXPECT_TRUE(std::isfinite(s));
}

TEST_F(VeldaneDll, HostileEventsAndTenThousandOfThem) {
    MidiBlock block;
    block.add(-100, 0x90, 60, 100);
    block.add(INT_MAX, 0x80, 60, 0);
    block.add(INT_MIN, 0x90, 64, 100);
    block.add(30, 0xE0, 0, 0);
    block.add(10, 0xB0, 64, 127);
    block.addRaw(nullptr);
    for (int i = 0; i < 10000; ++i) block.add(i % 700, (i % 2 ? 0x80 : 0x90) | (i % 16), 36 + i % 48, 90);
    EXPECT_EQ(dispatch(effProcessEvents, 0, block.events()), 1);
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
    EXPECT_EQ(dispatch(effClose), 1);
    EXPECT_EQ(effect->object, nullptr);
    std::vector<char> buffer(256, 'x');
    for (VstInt32 opcode = -1; opcode < 80; ++opcode) {
        EXPECT_EQ(effect->dispatcher(effect, opcode, 2, 0, buffer.data(), 44100.0f), 0) << opcode;
    }
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(effect->getParameter(effect, 9), 0.0f);
    effect->setParameter(effect, 9, 1.0f);
    float samples[32];
    float* outs[1] = {samples};
    std::fill(std::begin(samples), std::end(samples), 3.0f);
    effect->processReplacing(effect, nullptr, outs, 32);
    for (float s : samples) EXPECT_EQ(s, 0.0f);
    std::fill(std::begin(samples), std::end(samples), 3.0f);
    effect->process(effect, nullptr, outs, 32);
    for (float s : samples) EXPECT_EQ(s, 0.0f);
    double doubles[32];
    double* doubleOuts[1] = {doubles};
    std::fill(std::begin(doubles), std::end(doubles), 3.0);
    effect->processDoubleReplacing(effect, nullptr, doubleOuts, 32);
    for (double s : doubles) EXPECT_EQ(s, 0.0);
    effect->processReplacing(effect, nullptr, nullptr, 32);
    effect = nullptr; // already closed
}

} // namespace
