// The test host's playing of a script into plug-ins other than ours: every
// input and output a plug-in declares gets a buffer of its own, and what the
// host cannot play is refused before any call.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/testhost/script.h"

namespace {

// A stand-in plug-in with one input and two outputs: it writes every output
// (the second one as the negated first) and fails the test if its input is
// not silent or a buffer it must be given is missing.
VstIntPtr ZEM_VSTCALL stubDispatcher(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

void ZEM_VSTCALL stubProcess(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    ASSERT_NE(inputs, nullptr);
    ASSERT_NE(outputs, nullptr);
    for (int c = 0; c < e->numInputs; ++c) {
        ASSERT_NE(inputs[c], nullptr);
        for (int i = 0; i < frames; ++i) ASSERT_EQ(inputs[c][i], 0.0f);
        inputs[c][0] = 1.0f;  // a plug-in may use its inputs in place
    }
    for (int c = 0; c < e->numOutputs; ++c) {
        ASSERT_NE(outputs[c], nullptr);
        for (int i = 0; i < frames; ++i) outputs[c][i] = (c == 0 ? 0.25f : -0.25f);
    }
}

AEffect stubEffect()
{
    AEffect e{};
    e.magic = kEffectMagic;
    e.dispatcher = stubDispatcher;
    e.numInputs = 1;
    e.numOutputs = 2;
    e.processReplacing = stubProcess;
    return e;
}

TEST(TesthostScript, PlaysAPluginWithSeveralChannelsIntoItsFirstOutput)
{
    AEffect e = stubEffect();
    std::istringstream text("0 on 60\n0.1 end\n");
    testhost::Script script;
    std::string error;
    ASSERT_TRUE(testhost::parseScript(text, 1000.0, script, error)) << error;
    ASSERT_TRUE(testhost::canPlay(&e, false, error)) << error;
    const std::vector<float> out = testhost::playScript(&e, script, 1000.0, 32, false);
    EXPECT_EQ(out, std::vector<float>(100, 0.25f));
}

TEST(TesthostScript, RefusesWhatItCannotPlay)
{
    std::string error;
    AEffect noDouble = stubEffect();
    EXPECT_FALSE(testhost::canPlay(&noDouble, true, error));
    AEffect tooMany = stubEffect();
    tooMany.numOutputs = testhost::kMaxChannels + 1;
    EXPECT_FALSE(testhost::canPlay(&tooMany, false, error));
    AEffect negative = stubEffect();
    negative.numInputs = -1;
    EXPECT_FALSE(testhost::canPlay(&negative, false, error));
}

} // namespace
