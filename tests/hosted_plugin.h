#pragma once
// A Veldane instance created the way a host creates it (VSTPluginMain with a
// host callback), driven through its AEffect record.
#include <gtest/gtest.h>

#include "wrappers/vst2/entry.h"
#include "wrappers/vst2/plugin.h"

// Host callback that only counts: the plug-in must not call its host unless
// the user edits a parameter in the editor.
struct CountingHost {
    static inline int calls = 0;
    static VstIntPtr ZEM_VSTCALL callback(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) {
        ++calls;
        return 0;
    }
};

// The plug-in object behind a record made by VSTPluginMain; null once closed.
inline Veldane::Plugin* pluginOf(AEffect* effect) {
    using Base = zem::Plugin<Veldane::Plugin, Veldane::kParamCount>;
    return static_cast<Veldane::Plugin*>(static_cast<Base*>(effect->object));
}

// Closes an instance as a host does (effClose frees the plug-in object).
inline void closeInstance(AEffect* effect) {
    if (effect != nullptr && effect->object != nullptr) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

class HostedPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        CountingHost::calls = 0;
        effect = VSTPluginMain(&CountingHost::callback);
        ASSERT_NE(effect, nullptr);
        plugin = pluginOf(effect);
    }
    void TearDown() override { closeInstance(effect); }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, 0, ptr, opt);
    }
    void processEvents(VstEvents* block) { EXPECT_EQ(dispatch(effProcessEvents, 0, block), 1); }
    // Lets the audio thread take the parameter changes made so far, as the
    // next processing call would (a call of no frames renders nothing).
    void applyChanges() {
        float* outs[1] = {nullptr};
        effect->processReplacing(effect, nullptr, outs, 0);
    }

    AEffect* effect = nullptr;
    Veldane::Plugin* plugin = nullptr;
};
