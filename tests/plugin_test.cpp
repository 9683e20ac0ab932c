// The host boundary as a host sees it: the record VSTPluginMain answers, the
// dispatcher, the parameter callbacks, the edit protocol and the detached
// state after effClose, including hostile calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/hosted_plugin.h"
#include "tests/parameter_table.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

using PluginTest = HostedPlugin;

TEST_F(PluginTest, RecordHasTheIdentityHostsRead) {
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numPrograms, 0);
    EXPECT_EQ(effect->numParams, 39);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, 1);
    EXPECT_EQ(effect->flags, kExpectedFlags);
    EXPECT_EQ(effect->uniqueID, kExpectedUniqueId);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->realQualities, 0);
    EXPECT_EQ(effect->offQualities, 0);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_EQ(effect, &plugin->effect);
    ASSERT_NE(effect->dispatcher, nullptr);
    ASSERT_NE(effect->setParameter, nullptr);
    ASSERT_NE(effect->getParameter, nullptr);
    ASSERT_NE(effect->processReplacing, nullptr);
    ASSERT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_EQ(effect->process, effect->processReplacing);
    for (char c : effect->future) EXPECT_EQ(c, 0);
    EXPECT_EQ(CountingHost::calls, 0);
    EXPECT_EQ(plugin->sampleRate, 44100.0);
}

TEST_F(PluginTest, ParameterTableEntersEveryMemberInDeclarationOrder) {
    for (int i = 0; i < 39; ++i) {
        ASSERT_NE(plugin->params[i], nullptr) << i;
        EXPECT_EQ(plugin->indexOf(*plugin->params[i]), i);
    }
    EXPECT_EQ(plugin->indexOf(plugin->osc1Waveform), 0);
    EXPECT_EQ(plugin->indexOf(plugin->reserved), 25);
    EXPECT_EQ(plugin->indexOf(plugin->lfoDelay), 26);
    EXPECT_EQ(plugin->indexOf(plugin->masterVolume), 38);
}

// Every parameter as the host's generic display shows it: name, label,
// default and the texts at 0, 0.5 and 1; each value is restored afterwards.
TEST_F(PluginTest, EveryParameterShowsItsNameLabelDefaultAndDisplays) {
    static const float kPositions[3] = {0.0f, 0.5f, 1.0f};
    for (int i = 0; i < 39; ++i) {
        const ExpectedParameter& want = kExpectedParameters[i];
        char text[64];
        EXPECT_EQ(dispatch(effGetParamName, i, text), 1);
        EXPECT_STREQ(text, want.name) << i;
        EXPECT_EQ(dispatch(effGetParamLabel, i, text), 0);
        EXPECT_STREQ(text, want.label) << i;
        const float initial = effect->getParameter(effect, i);
        EXPECT_NEAR(initial, want.defaultNormalized, 1e-6) << want.name;
        for (int p = 0; p < 3; ++p) {
            effect->setParameter(effect, i, kPositions[p]);
            EXPECT_EQ(effect->getParameter(effect, i), kPositions[p]);
            EXPECT_EQ(dispatch(effGetParamDisplay, i, text), 1);
            EXPECT_STREQ(text, want.display[p]) << want.name << " at " << kPositions[p];
        }
        effect->setParameter(effect, i, initial);
        EXPECT_EQ(effect->getParameter(effect, i), initial);
    }
}

TEST_F(PluginTest, OutOfRangeIndicesAnswerZeroAndTouchNothing) {
    const VstInt32 bad[] = {39, 40, -1, INT_MIN, INT_MAX};
    for (VstInt32 index : bad) {
        EXPECT_EQ(effect->getParameter(effect, index), 0.0f) << index;
        effect->setParameter(effect, index, 0.5f);
        for (VstInt32 opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName}) {
            char text[16] = "marker";
            EXPECT_EQ(dispatch(opcode, index, text), 0) << opcode << " " << index;
            EXPECT_STREQ(text, "marker");
        }
    }
    for (int i = 0; i < 39; ++i) {
        EXPECT_NEAR(effect->getParameter(effect, i), kExpectedParameters[i].defaultNormalized, 1e-6);
    }
}

TEST_F(PluginTest, NullBuffersAreRefused) {
    for (VstInt32 opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName, effEditGetRect, effEditOpen,
                            effProcessEvents, effGetEffectName, effGetVendorString, effGetProductString}) {
        EXPECT_EQ(dispatch(opcode, 3, nullptr), 0) << opcode;
    }
    EXPECT_EQ(plugin->editor, nullptr);
}

TEST_F(PluginTest, IdentityOpcodes) {
    char text[80];
    EXPECT_EQ(dispatch(effGetEffectName, 0, text), 1);
    EXPECT_STREQ(text, "Veldane");
    EXPECT_EQ(dispatch(effGetVendorString, 0, text), 1);
    EXPECT_STREQ(text, "Orvandel");
    EXPECT_EQ(dispatch(effGetProductString, 0, text), 1);
    EXPECT_STREQ(text, "Veldane");
    EXPECT_EQ(dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effOpen), 0);
    // No programs, chunks, categories or capabilities are answered.
    char canDo[] = "receiveVstMidiEvent";
    EXPECT_EQ(dispatch(effCanDo, 0, canDo), 0);
    void* chunk = nullptr;
    EXPECT_EQ(dispatch(effGetChunk, 0, &chunk), 0);
    EXPECT_EQ(chunk, nullptr);
    const VstInt32 unanswered[] = {effSetProgram,      effGetProgram,  effSetBlockSize,     effMainsChanged,
                                   effGetPlugCategory, effGetTailSize, effGetVendorVersion, 9999,
                                   -5};
    for (VstInt32 opcode : unanswered) {
        EXPECT_EQ(dispatch(opcode, 0, text, 1.0f), 0) << opcode;
    }
}

// Hosts pass NaN and infinity in automation bugs; none may reach a parameter
// or the engine, and the last valid value stays readable.
TEST_F(PluginTest, NonFiniteParameterValuesAreRejected) {
#ifndef _WIN32
    char parent = 0;
    ASSERT_EQ(dispatch(effEditOpen, 0, &parent), 1);
#endif
    effect->setParameter(effect, 17, 0.25f);
#ifndef _WIN32
    plugin->editor->updates.clear();
#endif
    for (float bad : {kNaN, kInf, -kInf}) {
        for (int index : {0, 6, 9, 17, 26, 38}) {
            const float before = effect->getParameter(effect, index);
            effect->setParameter(effect, index, bad);
            EXPECT_EQ(effect->getParameter(effect, index), before) << index;
        }
    }
    EXPECT_EQ(plugin->filterCutoff.normalized, 0.25f);
    EXPECT_TRUE(std::isfinite(plugin->filterCutoff.value));
#ifndef _WIN32
    EXPECT_TRUE(plugin->editor->updates.empty());
    EXPECT_EQ(dispatch(effEditClose), 1);
#endif
}

// The stand-in editor of native builds records every change the plug-in
// reports; on Windows the real editor needs a window, and these checks are
// left to the editor's window tests.
#ifndef _WIN32

// Real-valued parameters pass every host write on; integer, enumerated and
// switch parameters only writes that move their plain value.
TEST_F(PluginTest, SetParameterNotifiesOnlyOnChange) {
    char parent = 0;
    ASSERT_EQ(dispatch(effEditOpen, 0, &parent), 1);
    auto& updates = plugin->editor->updates;
    updates.clear();
    effect->setParameter(effect, 17, effect->getParameter(effect, 17)); // same value, real type
    effect->setParameter(effect, 0, 0.1f);                               // still entry 0
    effect->setParameter(effect, 6, 0.5f);                               // still off
    effect->setParameter(effect, 9, 0.51f);                              // still 0 st
    effect->setParameter(effect, 0, 0.3f);                               // entry 1
    effect->setParameter(effect, 0, 0.31f);                              // still entry 1
    EXPECT_EQ(updates, (std::vector<int>{17, 0}));
    // The stored normalized value is the host's, not one recomputed from the entry.
    EXPECT_EQ(effect->getParameter(effect, 0), 0.31f);
    EXPECT_EQ(plugin->osc1Waveform.value, 1);
    EXPECT_EQ(dispatch(effEditClose), 1);
}

#endif // _WIN32

TEST_F(PluginTest, SampleRateIsValidated) {
    for (float bad : {0.0f, -44100.0f, kNaN, kInf, -kInf}) {
        EXPECT_EQ(dispatch(effSetSampleRate, 0, nullptr, bad), 0) << bad;
        EXPECT_EQ(plugin->sampleRate, 44100.0);
    }
    EXPECT_EQ(dispatch(effSetSampleRate, 0, nullptr, 48000.0f), 1);
    EXPECT_EQ(plugin->sampleRate, 48000.0);
}

TEST_F(PluginTest, EditorRectangleIsKnownWithoutAWindow) {
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 366);
    EXPECT_EQ(rect->right, 702);
    EXPECT_EQ(dispatch(effEditClose), 1); // nothing open: still 1
    EXPECT_EQ(dispatch(effEditOpen, 0, nullptr), 0);
    EXPECT_EQ(plugin->editor, nullptr);
}

#ifndef _WIN32

TEST_F(PluginTest, SampleRateChangeRetimesRateDependentParameters) {
    char parent = 0;
    ASSERT_EQ(dispatch(effEditOpen, 0, &parent), 1);
    auto& updates = plugin->editor->updates;
    updates.clear();
    EXPECT_EQ(dispatch(effSetSampleRate, 0, nullptr, kNaN), 0);
    EXPECT_TRUE(updates.empty()); // a refused rate recomputes nothing
    EXPECT_EQ(dispatch(effSetSampleRate, 0, nullptr, 48000.0f), 1);
    EXPECT_EQ(plugin->sampleRate, 48000.0);
    EXPECT_EQ(updates, (std::vector<int>{24, 26, 27, 28, 30, 31, 32, 34, 36}));
    EXPECT_EQ(dispatch(effEditClose), 1);
}

TEST_F(PluginTest, EditProtocol) {
    const int liveBefore = Veldane::Editor::liveCount;
    char parent = 0;
    ASSERT_EQ(dispatch(effEditOpen, 0, &parent), 1);
    Veldane::Editor* editor = plugin->editor.get();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->plugin, plugin);
    EXPECT_EQ(editor->parent, static_cast<HWND>(&parent));
    EXPECT_EQ(editor->moduleHandle, plugin->moduleHandle);
    std::vector<int> all;
    for (int i = 0; i < 39; ++i) all.push_back(i);
    EXPECT_EQ(editor->updates, all);

    char otherParent = 0;
    EXPECT_EQ(dispatch(effEditOpen, 0, &otherParent), 0); // the open editor stays
    EXPECT_EQ(plugin->editor.get(), editor);

    // A change tells the editor, also for the index that routes nothing.
    editor->updates.clear();
    effect->setParameter(effect, 25, 1.0f);
    EXPECT_EQ(editor->updates, (std::vector<int>{25}));

    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(rect->right, 702);
    EXPECT_EQ(dispatch(effEditClose), 1);
    EXPECT_EQ(plugin->editor, nullptr);
    EXPECT_EQ(Veldane::Editor::liveCount, liveBefore);
    EXPECT_EQ(CountingHost::calls, 0);
}

#endif // _WIN32

// After effClose the record stays valid but leads nowhere: every callback
// answers 0 or does nothing, and the audio callbacks write silence.
TEST_F(PluginTest, DetachedInstanceAnswersZeroToEverything) {
#ifndef _WIN32
    char parent = 0;
    ASSERT_EQ(dispatch(effEditOpen, 0, &parent), 1);
#endif
    effect->setParameter(effect, 5, 0.75f);
    EXPECT_EQ(dispatch(effClose), 1);
    EXPECT_EQ(effect->object, nullptr);
#ifndef _WIN32
    EXPECT_NE(plugin->editor, nullptr); // closing the instance leaves the editor to effEditClose
#endif

    std::vector<char> buffer(256, 'x');
    for (VstInt32 opcode = -2; opcode < 80; ++opcode) {
        ERect* rect = nullptr;
        void* ptr = (opcode == effEditGetRect) ? static_cast<void*>(&rect) : buffer.data();
        EXPECT_EQ(effect->dispatcher(effect, opcode, 3, 0, ptr, 48000.0f), 0) << opcode;
        EXPECT_EQ(rect, nullptr);
    }
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(effect->getParameter(effect, 5), 0.0f);
    effect->setParameter(effect, 5, 0.25f);
    EXPECT_EQ(plugin->osc2Detune.normalized, 0.75f);
    EXPECT_EQ(plugin->sampleRate, 44100.0);

    float floats[16];
    float* floatOuts[1] = {floats};
    std::fill(std::begin(floats), std::end(floats), 7.0f);
    effect->processReplacing(effect, nullptr, floatOuts, 16);
    for (float s : floats) EXPECT_EQ(s, 0.0f);
    std::fill(std::begin(floats), std::end(floats), 7.0f);
    effect->process(effect, nullptr, floatOuts, 16);
    for (float s : floats) EXPECT_EQ(s, 0.0f);
    double doubles[16];
    double* doubleOuts[1] = {doubles};
    std::fill(std::begin(doubles), std::end(doubles), 7.0);
    effect->processDoubleReplacing(effect, nullptr, doubleOuts, 16);
    for (double s : doubles) EXPECT_EQ(s, 0.0);
    // Nothing to write to: no crash.
    effect->processReplacing(effect, nullptr, nullptr, 16);
    float* nullOut[1] = {nullptr};
    effect->processReplacing(effect, nullptr, nullOut, 16);
    effect->processReplacing(effect, nullptr, floatOuts, -16);
    EXPECT_EQ(CountingHost::calls, 0);
}

TEST_F(PluginTest, HostileAudioCallsOnAnAttachedInstance) {
    float floats[8];
    float* outs[1] = {floats};
    float* nullOut[1] = {nullptr};
    effect->processReplacing(effect, nullptr, nullptr, 64);
    effect->processReplacing(effect, nullptr, nullOut, 64);
    std::fill(std::begin(floats), std::end(floats), 7.0f);
    effect->processReplacing(effect, nullptr, outs, 0);
    effect->processReplacing(effect, nullptr, outs, INT_MIN);
    for (float s : floats) EXPECT_EQ(s, 7.0f); // nothing written for empty blocks
    effect->processReplacing(effect, nullptr, outs, 8);
    for (float s : floats) EXPECT_TRUE(std::isfinite(s));
}

TEST(PluginCallbacks, NullRecordIsHarmless) {
    using Base = zem::Plugin<Veldane::Plugin, 39>;
    EXPECT_EQ(Base::dispatcherCallback(nullptr, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(Base::getParameterCallback(nullptr, 0), 0.0f);
    Base::setParameterCallback(nullptr, 0, 0.5f);
    float samples[4] = {1, 1, 1, 1};
    float* outs[1] = {samples};
    Base::processCallback(nullptr, nullptr, outs, 4);
    for (float s : samples) EXPECT_EQ(s, 0.0f);
}

TEST(PluginCallbacks, InstancesAreIndependent) {
    AEffect* a = VSTPluginMain(&CountingHost::callback);
    AEffect* b = VSTPluginMain(&CountingHost::callback);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a->object, b->object);
    a->setParameter(a, 9, 1.0f);
    EXPECT_EQ(a->getParameter(a, 9), 1.0f);
    EXPECT_EQ(b->getParameter(b, 9), 0.5f);
    using Base = zem::Plugin<Veldane::Plugin, 39>;
    delete static_cast<Veldane::Plugin*>(static_cast<Base*>(a->object));
    delete static_cast<Veldane::Plugin*>(static_cast<Base*>(b->object));
}

} // namespace
