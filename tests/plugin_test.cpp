// The host boundary as a host sees it: the record VSTPluginMain answers, the
// dispatcher, the parameter callbacks and the detached state after effClose,
// including hostile calls. The checks a host can make through the record
// alone are shared with the tests of the built DLL; here they are joined by
// what only the plug-in object shows. (The framework's editor protocol is
// tested with a plug-in of its own in vst2_framework_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/host_side.h"
#include "tests/hosted_plugin.h"

namespace {

using namespace Veldane;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

using PluginTest = HostedPlugin;

TEST_F(PluginTest, RecordHasTheIdentityHostsRead) {
    host::expectIdentity(effect);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_EQ(CountingHost::calls, 0);
    EXPECT_EQ(plugin->synth.sampleRate(), 44100.0);
    EXPECT_EQ(plugin->editor(), nullptr);
}

TEST_F(PluginTest, EveryParameterShowsItsNameLabelDefaultAndDisplays) {
    host::expectParameterTable(effect);
    EXPECT_TRUE(plugin->synth.params.complete());
}

TEST_F(PluginTest, HostileCallsGetTheSafeAnswers) {
    host::expectHostileCallsRefused(effect);
    EXPECT_EQ(plugin->editor(), nullptr); // no editor for a null parent
    EXPECT_EQ(plugin->synth.params.filterCutoff.normalized(), 0.25f);
    EXPECT_TRUE(std::isfinite(plugin->synth.params.filterCutoff.value()));
    EXPECT_EQ(plugin->synth.sampleRate(), 48000.0);
    EXPECT_EQ(CountingHost::calls, 0);
}

TEST_F(PluginTest, SampleRateIsValidated) {
    for (float bad : {0.0f, -44100.0f, kNaN, kInf, -kInf}) {
        EXPECT_EQ(dispatch(effSetSampleRate, 0, nullptr, bad), 0) << bad;
        EXPECT_EQ(plugin->synth.sampleRate(), 44100.0);
    }
}

// A host reads back what it wrote at once; the engine follows at the next
// processing call, and only then.
TEST_F(PluginTest, ParameterWritesReachTheEngineAtTheNextProcessingCall) {
    const double before = plugin->synth.engine.keyTrack;
    effect->setParameter(effect, kFilterKbdTrk, 1.0f);
    EXPECT_EQ(effect->getParameter(effect, kFilterKbdTrk), 1.0f);
    EXPECT_EQ(plugin->synth.engine.keyTrack, before);
    applyChanges();
    EXPECT_EQ(plugin->synth.engine.keyTrack, 2.0);
}

TEST_F(PluginTest, EveryAcceptedRateLeavesTheInstanceWhole) { host::expectEveryRateLeavesTheInstanceWhole(effect); }

// After effClose the record stays valid but leads nowhere: every callback
// answers 0 or does nothing, and the audio callbacks write silence.
TEST_F(PluginTest, DetachedInstanceAnswersZeroToEverything) {
    effect->setParameter(effect, kOsc2Detune, 0.75f);
    EXPECT_EQ(dispatch(effClose), 1);
    host::expectDetachedAfterClose(effect);
    EXPECT_EQ(CountingHost::calls, 0);
}

TEST(PluginCallbacks, NullRecordIsHarmless) {
    using Base = zem::Plugin<Veldane::Plugin, kParamCount>;
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
    a->setParameter(a, kMasterTune, 1.0f);
    EXPECT_EQ(a->getParameter(a, kMasterTune), 1.0f);
    EXPECT_EQ(b->getParameter(b, kMasterTune), 0.5f);
    closeInstance(a);
    closeInstance(b);
}

} // namespace
