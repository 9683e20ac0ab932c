// The host boundary as a host sees it: the record VSTPluginMain answers, the
// dispatcher, the parameter callbacks, the edit protocol and the detached
// state after effClose, including hostile calls. The checks a host can make
// through the record alone are shared with the tests of the built DLL; here
// they are joined by what only the plug-in object shows.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/host_side.h"
#include "tests/hosted_plugin.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

using PluginTest = HostedPlugin;

TEST_F(PluginTest, RecordHasTheIdentityHostsRead) {
    host::expectIdentity(effect);
    EXPECT_EQ(effect, &plugin->effect);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_EQ(CountingHost::calls, 0);
    EXPECT_EQ(plugin->sampleRate, 44100.0);
    EXPECT_EQ(plugin->editor, nullptr);
}

TEST_F(PluginTest, EveryParameterShowsItsNameLabelDefaultAndDisplays) {
    host::expectParameterTable(effect);
    // The editor finds a parameter's index from the parameter itself.
    for (int i = 0; i < 39; ++i) EXPECT_EQ(plugin->indexOf(*plugin->params[i]), i);
}

TEST_F(PluginTest, HostileCallsGetTheSafeAnswers) {
    host::expectHostileCallsRefused(effect);
    EXPECT_EQ(plugin->editor, nullptr); // no editor for a null parent
    EXPECT_EQ(plugin->filterCutoff.normalized, 0.25f);
    EXPECT_TRUE(std::isfinite(plugin->filterCutoff.value));
    EXPECT_EQ(plugin->sampleRate, 48000.0);
    EXPECT_EQ(CountingHost::calls, 0);
}

TEST_F(PluginTest, SampleRateIsValidated) {
    for (float bad : {0.0f, -44100.0f, kNaN, kInf, -kInf}) {
        EXPECT_EQ(dispatch(effSetSampleRate, 0, nullptr, bad), 0) << bad;
        EXPECT_EQ(plugin->sampleRate, 44100.0);
    }
}

TEST_F(PluginTest, EveryAcceptedRateLeavesTheInstanceWhole) { host::expectEveryRateLeavesTheInstanceWhole(effect); }

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
    // Refused values reach no one.
    for (float bad : {kNaN, kInf, -kInf}) effect->setParameter(effect, 17, bad);
    EXPECT_EQ(updates, (std::vector<int>{17, 0}));
    EXPECT_EQ(dispatch(effEditClose), 1);
}

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

    EXPECT_EQ(dispatch(effEditClose), 1);
    EXPECT_EQ(plugin->editor, nullptr);
    EXPECT_EQ(dispatch(effEditClose), 1); // nothing open: still 1
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
#ifndef _WIN32
    EXPECT_NE(plugin->editor, nullptr); // closing the instance leaves the editor to effEditClose
#endif

    host::expectDetachedAfterClose(effect);
    EXPECT_EQ(plugin->osc2Detune.normalized, 0.75f);
    EXPECT_EQ(plugin->sampleRate, 44100.0);
    EXPECT_EQ(CountingHost::calls, 0);
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
    delete pluginOf(a);
    delete pluginOf(b);
}

} // namespace
