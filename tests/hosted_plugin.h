#pragma once
// A Veldane instance created the way a host creates it (VSTPluginMain with a
// host callback), driven through its AEffect record.
#include <gtest/gtest.h>

#include "synth/entry.h"
#include "synth/plugin.h"

// Host callback that only counts: the plug-in must not call its host unless
// the user edits a parameter in the editor.
struct CountingHost {
    static inline int calls = 0;
    static VstIntPtr ZEM_VSTCALL callback(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) {
        ++calls;
        return 0;
    }
};

// The plug-in object behind a record made by VSTPluginMain.
inline Veldane::Plugin* pluginOf(AEffect* effect) {
    using Base = zem::Plugin<Veldane::Plugin, 39>;
    return static_cast<Veldane::Plugin*>(static_cast<Base*>(effect->object));
}

class HostedPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        CountingHost::calls = 0;
        effect = VSTPluginMain(&CountingHost::callback);
        ASSERT_NE(effect, nullptr);
        plugin = pluginOf(effect);
    }
    // The object outlives effClose (the host's record is part of it), so the
    // test keeps its own pointer and frees it here.
    void TearDown() override { delete plugin; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, 0, ptr, opt);
    }
    void processEvents(VstEvents* block) { EXPECT_EQ(dispatch(effProcessEvents, 0, block), 1); }

    AEffect* effect = nullptr;
    Veldane::Plugin* plugin = nullptr;
};
