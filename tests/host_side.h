#pragma once
// The host's side of one instance, through nothing but its AEffect record:
// a driver that plays MIDI and renders blocks, and the checks every build of
// the plug-in must pass the same way, whether it is the core library linked
// into a test program or the built Veldane.dll loaded as a host loads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "framework/vst2.h"
#include "synth/parameters.h"
#include "tests/measure.h"
#include "tests/midi_block.h"
#include "tests/parameter_table.h"

namespace host {

constexpr int kParameters = 39; // the count hosts see
constexpr int kBlock = 256; // a common host block size

inline VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, void* ptr = nullptr,
                          float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, 0, ptr, opt);
}

// Plays an instance as a host does: MIDI collected for the next block, audio
// rendered in blocks of at most kBlock.
class Driver {
public:
    explicit Driver(AEffect* effect = nullptr) : effect(effect) {}

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, void* ptr = nullptr, float opt = 0.0f) {
        return host::dispatch(effect, opcode, index, ptr, opt);
    }
    void set(int index, float normalized) { effect->setParameter(effect, index, normalized); }
    float get(int index) { return effect->getParameter(effect, index); }

    void midi(int status, int data1, int data2 = 0, int offset = 0) {
        pending.add(offset, status, data1, data2);
        ++pendingCount;
    }
    void noteOn(int note, int velocity = 100) { midi(0x90, note, velocity); }
    void noteOff(int note) { midi(0x80, note, 0); }

    std::vector<float> render(int frames) {
        std::vector<float> out(static_cast<std::size_t>(std::max(frames, 0)));
        renderInto(out.data(), frames);
        return out;
    }
    void advance(int frames) {
        float scratch[kBlock];
        while (frames > 0) {
            const int n = std::min(frames, kBlock);
            renderInto(scratch, n);
            frames -= n;
        }
    }

    AEffect* effect;

private:
    void renderInto(float* out, int frames) {
        if (pendingCount > 0) {
            dispatch(effProcessEvents, 0, pending.events());
            pending = MidiBlock();
            pendingCount = 0;
        }
        for (int done = 0; done < frames; done += kBlock) {
            float* outs[1] = {out + done};
            effect->processReplacing(effect, nullptr, outs, std::min(kBlock, frames - done));
        }
    }

    MidiBlock pending;
    int pendingCount = 0;
};

// The record's fixed fields and the identity opcodes. Every build has the
// panel as its editor (a Win32 window on Windows, an X11 window on Linux).
inline void expectIdentity(AEffect* effect) {
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numPrograms, 0);
    EXPECT_EQ(effect->numParams, kParameters);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, 1);
    EXPECT_EQ(effect->flags, kExpectedFlags);
    EXPECT_EQ(effect->uniqueID, kExpectedUniqueId);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_NE(effect->object, nullptr);
    ASSERT_NE(effect->dispatcher, nullptr);
    ASSERT_NE(effect->setParameter, nullptr);
    ASSERT_NE(effect->getParameter, nullptr);
    ASSERT_NE(effect->processReplacing, nullptr);
    ASSERT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(effect->process), reinterpret_cast<void*>(effect->processReplacing));
    for (char c : effect->future) EXPECT_EQ(c, 0);

    char text[80];
    EXPECT_EQ(dispatch(effect, effGetEffectName, 0, text), 1);
    EXPECT_STREQ(text, "Veldane");
    EXPECT_EQ(dispatch(effect, effGetVendorString, 0, text), 1);
    EXPECT_STREQ(text, "Orvandel");
    EXPECT_EQ(dispatch(effect, effGetProductString, 0, text), 1);
    EXPECT_STREQ(text, "Veldane");
    EXPECT_EQ(dispatch(effect, effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(effect, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effect, effOpen), 0);
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effect, effEditGetRect, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 366);
    EXPECT_EQ(rect->right, 702);

    // No programs, chunks, categories or capabilities are answered.
    char canDo[] = "receiveVstMidiEvent";
    EXPECT_EQ(dispatch(effect, effCanDo, 0, canDo), 0);
    void* chunk = nullptr;
    EXPECT_EQ(dispatch(effect, effGetChunk, 0, &chunk), 0);
    EXPECT_EQ(chunk, nullptr);
    const VstInt32 unanswered[] = {effSetProgram,  effGetProgram,       effSetBlockSize, effMainsChanged, effGetPlugCategory,
                                   effGetTailSize, effGetVendorVersion, 9999,            -5};
    for (VstInt32 opcode : unanswered) {
        EXPECT_EQ(dispatch(effect, opcode, 0, text, 1.0f), 0) << opcode;
    }
}

// Every parameter as the host's generic display shows it: name, label,
// default and the texts at 0, 0.5 and 1; each value is restored afterwards.
inline void expectParameterTable(AEffect* effect) {
    static const float kPositions[3] = {0.0f, 0.5f, 1.0f};
    for (int i = 0; i < kParameters; ++i) {
        const ExpectedParameter& want = kExpectedParameters[i];
        char text[64];
        EXPECT_EQ(dispatch(effect, effGetParamName, i, text), 1);
        EXPECT_STREQ(text, want.name) << i;
        EXPECT_EQ(dispatch(effect, effGetParamLabel, i, text), 0);
        EXPECT_STREQ(text, want.label) << want.name;
        const float initial = effect->getParameter(effect, i);
        EXPECT_NEAR(initial, want.defaultNormalized, 1e-6) << want.name;
        for (int p = 0; p < 3; ++p) {
            effect->setParameter(effect, i, kPositions[p]);
            EXPECT_EQ(effect->getParameter(effect, i), kPositions[p]) << want.name;
            EXPECT_EQ(dispatch(effect, effGetParamDisplay, i, text), 1);
            EXPECT_STREQ(text, want.display[p]) << want.name << " at " << kPositions[p];
        }
        effect->setParameter(effect, i, initial);
        EXPECT_EQ(effect->getParameter(effect, i), initial);
    }
}

// Calls no host should make, on a fresh instance: each gets the safe answer
// and changes nothing.
inline void expectHostileCallsRefused(AEffect* effect) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    for (VstInt32 index : {kParameters, kParameters + 1, -1, INT_MIN, INT_MAX}) {
        EXPECT_EQ(effect->getParameter(effect, index), 0.0f) << index;
        effect->setParameter(effect, index, 0.5f);
        for (VstInt32 opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName}) {
            char text[16] = "marker";
            EXPECT_EQ(dispatch(effect, opcode, index, text), 0) << opcode << " " << index;
            EXPECT_STREQ(text, "marker");
        }
    }
    for (int i = 0; i < kParameters; ++i) {
        EXPECT_NEAR(effect->getParameter(effect, i), kExpectedParameters[i].defaultNormalized, 1e-6) << i;
    }

    for (VstInt32 opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName, effEditGetRect, effEditOpen,
                            effProcessEvents, effGetEffectName, effGetVendorString, effGetProductString}) {
        EXPECT_EQ(dispatch(effect, opcode, 3, nullptr), 0) << opcode;
    }

    // Hosts pass NaN and infinity in automation bugs; the last valid value
    // stays, as does its display.
    effect->setParameter(effect, Veldane::kFilterCutoff, 0.25f);
    for (int index : {Veldane::kOsc1Waveform, Veldane::kOsc2Sync, Veldane::kMasterTune, Veldane::kFilterCutoff,
                      Veldane::kLfoDelay, Veldane::kMasterVolume}) {
        const float before = effect->getParameter(effect, index);
        char shown[16], after[16];
        dispatch(effect, effGetParamDisplay, index, shown);
        for (float bad : {nan, inf, -inf}) {
            effect->setParameter(effect, index, bad);
            EXPECT_EQ(effect->getParameter(effect, index), before) << index;
        }
        dispatch(effect, effGetParamDisplay, index, after);
        EXPECT_STREQ(after, shown) << index;
    }

    for (float rate : {0.0f, -44100.0f, nan, inf, -inf}) {
        EXPECT_EQ(dispatch(effect, effSetSampleRate, 0, nullptr, rate), 0) << rate;
    }
    EXPECT_EQ(dispatch(effect, effSetSampleRate, 0, nullptr, 48000.0f), 1);

    float samples[64];
    float* outs[1] = {samples};
    float* nullOut[1] = {nullptr};
    effect->processReplacing(effect, nullptr, nullptr, 64);
    effect->processReplacing(effect, nullptr, nullOut, 64);
    std::fill(std::begin(samples), std::end(samples), 7.0f);
    effect->processReplacing(effect, nullptr, outs, 0);
    effect->processReplacing(effect, nullptr, outs, -64);
    effect->processReplacing(effect, nullptr, outs, INT_MIN);
    for (float s : samples) EXPECT_EQ(s, 7.0f); // nothing written for empty blocks
    effect->processReplacing(effect, nullptr, outs, 64);
    for (float s : samples) EXPECT_TRUE(std::isfinite(s));
}

// Every finite rate above 0 is accepted, however far from an audio rate, and
// none can break the instance: at each, a note plays and ends with every
// sample finite and moderate, and back at 44.1 kHz a note sounds as it did
// before. Both DC blockers are in use (oscillator 2 at full level, ring
// modulated): theirs is the coefficient that low rates drive out of range.
inline void expectEveryRateLeavesTheInstanceWhole(AEffect* effect) {
    constexpr int kOsc2Ringmod = 7;
    constexpr int kOsc2Volume = 8;
    // Far above what one note can reach (about 1), far below a runaway.
    constexpr float kLoudest = 4.0f;
    const float rates[] = {10.0f, 30.0f, 31.0f, 1.0f, 1e-3f, std::numeric_limits<float>::denorm_min(),
                           1e6f, 1e12f, std::numeric_limits<float>::max()};
    Driver d(effect);
    d.set(kOsc2Volume, 1.0f);
    d.set(kOsc2Ringmod, 1.0f);
    auto playNote = [&d] {
        d.noteOn(60);
        std::vector<float> out = d.render(4410);
        d.noteOff(60);
        d.advance(4410);
        return out;
    };
    ASSERT_EQ(d.dispatch(effSetSampleRate, 0, nullptr, 44100.0f), 1);
    const std::vector<float> before = playNote();
    for (float rate : rates) {
        ASSERT_EQ(d.dispatch(effSetSampleRate, 0, nullptr, rate), 1) << rate;
        d.noteOn(60);
        std::vector<float> out = d.render(2048);
        d.noteOff(60);
        const std::vector<float> released = d.render(2048);
        out.insert(out.end(), released.begin(), released.end());
        const auto wild = std::find_if(out.begin(), out.end(), [](float s) { return !(std::fabs(s) < kLoudest); });
        EXPECT_TRUE(wild == out.end()) << rate << " Hz: " << *wild;
    }
    ASSERT_EQ(d.dispatch(effSetSampleRate, 0, nullptr, 44100.0f), 1);
    d.advance(4410); // what the extreme rates left sounding ends
    const std::vector<float> after = playNote();
    EXPECT_NEAR(measure::rms(after), measure::rms(before), 0.1 * measure::rms(before));
    EXPECT_NEAR(measure::mean(after), measure::mean(before), 0.02);
}

// After effClose the record stays valid but leads nowhere: every callback
// answers 0 or does nothing, and the audio callbacks write silence.
inline void expectDetachedAfterClose(AEffect* effect) {
    EXPECT_EQ(effect->object, nullptr);
    std::vector<char> buffer(256, 'x');
    for (VstInt32 opcode = -2; opcode < 80; ++opcode) {
        ERect* rect = nullptr;
        void* ptr = (opcode == effEditGetRect) ? static_cast<void*>(&rect) : buffer.data();
        EXPECT_EQ(effect->dispatcher(effect, opcode, 3, 0, ptr, 48000.0f), 0) << opcode;
        EXPECT_EQ(rect, nullptr);
    }
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(effect->getParameter(effect, Veldane::kOsc2Detune), 0.0f);
    effect->setParameter(effect, Veldane::kOsc2Detune, 0.25f);

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
}

} // namespace host
