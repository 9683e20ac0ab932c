#pragma once
// The framework's host boundary: the plug-in object's base, which owns the
// VST 2.4 record the host keeps for an instance, answers the record's
// callbacks, turns the host's MIDI into queued events and renders each audio
// block in segments between those events.
//
// zem::Plugin<Derived, N> is a base over a plug-in's own class Derived
// (curiously recurring): it reaches the derived class through the template
// argument, never through a virtual call, and knows nothing of what the
// plug-in makes of notes and parameters. Derived provides:
//   - static constexpr identity: `uniqueId`, `version` (int32), `isSynth`,
//     `effectName`, `vendorName`, `productName` (texts);
//   - parameters(): its zem::ParameterSet<N>;
//   - setSampleRate(double): dispatcher thread, while no block is processed;
//   - prepareBlock(): audio thread, at the start of every processing call
//     before its events (where it applies the parameter changes other
//     threads made);
//   - handleEvent(const Event&): audio thread, between rendered segments;
//   - render(int, float*) and render(int, double*): audio thread, writes
//     exactly that many samples (none for 0); never allocates, locks or
//     calls the system;
//   - parameterChanged(int) (IParameterChangedListener).
// It is created by instantiate(), which puts the host's record in a block of
// its own; effClose frees the plug-in object and leaves only that record.
//
// Threads, as VST 2.4 hosts call: effProcessEvents and the processing
// callbacks come from the host's audio thread, one after the other, never
// overlapping; parameter calls and the other opcodes come from whatever
// threads the host uses. No callback throws: every entry point catches all.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "framework/block_loop.h"
#include "framework/event.h"
#include "framework/event_queue.h"
#include "framework/midi.h"
#include "framework/parameter_set.h"
#include "framework/vst2.h"

namespace zem {

// The plug-in's receiver of parameter changes.
class IParameterChangedListener {
public:
    // Called after the host changed the parameter with VST index `index`
    // (setParameter, on any host thread, possibly the audio thread), so that
    // an open editor shows it; the sound follows at the next processing call
    // through the parameter set. Must not block, allocate or throw.
    virtual void parameterChanged(int index) = 0;

protected:
    // Never deleted through this interface.
    ~IParameterChangedListener() = default;
};

// The host's callback, under a name that keeps VST types out of the synthesizer.
using HostCallback = audioMasterCallback;

// The record a host keeps for an instance, zeroed, in a block of its own; null
// when it cannot be allocated. Made here, apart from any plug-in, because the
// record is the one allocation that is never freed (see Plugin::instantiate),
// and a leak checker can then be told of it by this name alone.
AEffect* newHostRecord() noexcept;
// Frees a record that no host has received.
void deleteHostRecord(AEffect* record) noexcept;

template <class Derived, int N>
class Plugin : public IParameterChangedListener {
public:
    static constexpr int numParameters = N;

    // MIDI-derived events waiting for the next audio block (audio thread only).
    EventQueue events;
    // The callback the host passed to VSTPluginMain.
    HostCallback hostCallback;
    // The record the host receives and passes back with every call. It lives
    // in a block of its own that outlives this object (see instantiate).
    AEffect& effect;

    // Creates one instance of Derived, built from (record, host, args...),
    // and answers the record the host keeps; null when either cannot be
    // created. The record is allocated apart from the object and never freed:
    // a host may call through it after effClose, which frees the object, and
    // must then find a record that leads nowhere. Host's UI thread.
    template <class... Args>
    static AEffect* instantiate(HostCallback host, Args&&... args) noexcept {
        AEffect* record = newHostRecord();
        if (!record) return nullptr;
        Derived* object = nullptr;
        try {
            object = new (std::nothrow) Derived(*record, host, std::forward<Args>(args)...);
        } catch (...) {
            object = nullptr; // a failed construction has destroyed what it built
        }
        if (!object) {
            deleteHostRecord(record);
            return nullptr;
        }
        return record;
    }

    // --- The record's callbacks (static, C calling convention) -------------
    // Each finds its object through effect->object; a null effect or a
    // detached instance (after effClose) answers 0 and touches nothing.

    // Host threads: the UI thread for most opcodes, the audio thread for
    // effProcessEvents. Never throws.
    static VstIntPtr ZEM_VSTCALL dispatcherCallback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                    void* ptr, float opt) {
        Plugin* self = attached(e);
        if (!self) return 0;
        try {
            return self->derived().dispatch(opcode, index, value, ptr, opt);
        } catch (...) {
            return 0;
        }
    }

    // Any host thread, the audio thread included. Never blocks or throws.
    static void ZEM_VSTCALL setParameterCallback(AEffect* e, VstInt32 index, float value) {
        Plugin* self = attached(e);
        if (!self) return;
        try {
            self->setParameter(index, value);
        } catch (...) {
        }
    }

    // Any host thread. Reads one stored value.
    static float ZEM_VSTCALL getParameterCallback(AEffect* e, VstInt32 index) {
        Plugin* self = attached(e);
        return self ? self->getParameter(index) : 0.0f;
    }

    // Serves both `process` and `processReplacing`: the output is always
    // overwritten, never accumulated. The inputs are ignored (no inputs).
    // Audio thread, after the block's effProcessEvents; never allocates,
    // locks or throws.
    static void ZEM_VSTCALL processCallback(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
        processCallbackFor(e, inputs, outputs, sampleFrames);
    }

    // The same in double precision (`processDoubleReplacing`).
    static void ZEM_VSTCALL processDoubleCallback(AEffect* e, double** inputs, double** outputs,
                                                  VstInt32 sampleFrames) {
        processCallbackFor(e, inputs, outputs, sampleFrames);
    }

    // --- What the callbacks hand on to -------------------------------------

    // Non-editor opcodes; Derived's editor layer handles the editor opcodes
    // and passes the rest here. `value` is used by no opcode. Called on the
    // dispatcher's thread (see dispatcherCallback), which catches anything
    // thrown here.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
        (void)value;
        switch (opcode) {
        case effClose: {
            // Detach, then free the object: the record stays (see
            // instantiate) and every later call through it finds no object
            // and answers 0. Nothing of this object is touched after the delete.
            effect.object = nullptr;
            delete &derived();
            return 1;
        }
        case effGetParamLabel: {
            // Answers 0 even after copying, as hosts of this interface expect.
            const Parameter* p = parameter(index);
            if (ptr && p) copyText(ptr, p->label);
            return 0;
        }
        case effGetParamDisplay: {
            const Parameter* p = parameter(index);
            if (!ptr || !p) return 0;
            p->getDisplay(static_cast<char*>(ptr));
            return 1;
        }
        case effGetParamName: {
            const Parameter* p = parameter(index);
            if (!ptr || !p) return 0;
            copyText(ptr, p->name);
            return 1;
        }
        case effSetSampleRate:
            // 0, negative, NaN and infinity are refused and change nothing:
            // every rate-dependent coefficient would come out non-finite.
            if (!(opt > 0.0f) || !std::isfinite(opt)) return 0;
            derived().setSampleRate(static_cast<double>(opt));
            return 1;
        case effIdentify:
            return kIdentifyAnswer;
        case effProcessEvents:
            if (!ptr) return 0;
            processEvents(*static_cast<const VstEvents*>(ptr));
            return 1;
        case effGetEffectName:
            return copyIdentity(ptr, Derived::effectName);
        case effGetVendorString:
            return copyIdentity(ptr, Derived::vendorName);
        case effGetProductString:
            return copyIdentity(ptr, Derived::productName);
        case effGetVstVersion:
            return kVstVersion;
        default:
            // effOpen, programs, chunks, block size, mains, canDo, category,
            // tail size, vendor version, bypass, ...: nothing to do.
            return 0;
        }
    }

    // The stored normalized value of parameter `index`, exactly as last
    // given; 0 for an index outside 0..N-1 (negative ones included).
    float getParameter(VstInt32 index) noexcept { return derived().parameters().get(index); }

    // Hands the host's normalized value to the parameter set, which marks it
    // for the audio thread, and notifies the listener when the parameter
    // reports a change. A NaN or infinite value is refused: nothing is stored,
    // so the host reads back the last valid value and the engine never sees it.
    void setParameter(VstInt32 index, float value) {
        if (derived().parameters().set(index, value)) derived().parameterChanged(index);
    }

    // Audio thread, before the block the events belong to. Appends one record
    // per usable MIDI message, in the host's order; all 16 channels alike.
    // Allocates only when the queue holds more records than ever before.
    void processEvents(const VstEvents& block) noexcept {
        // The host's array holds numEvents pointers, more than its declared two.
        VstEvent* const* list = block.events;
        for (VstInt32 i = 0; i < block.numEvents; ++i) {
            const VstEvent* e = list[i];
            if (!e || e->type != kVstMidiType) continue; // SysEx and others: not ours
            const auto& midi = *reinterpret_cast<const VstMidiEvent*>(e);
            Event record{};
            if (translateMidi(static_cast<unsigned char>(midi.midiData[0]), static_cast<unsigned char>(midi.midiData[1]),
                              static_cast<unsigned char>(midi.midiData[2]), midi.deltaFrames, record))
                events.pushBack(record);
        }
    }

    // Audio thread. Renders sampleFrames samples into outputs[0], handing
    // each queued event to the plug-in at its offset; never allocates, locks
    // or throws. The queue is empty afterwards.
    template <class Sample>
    void processBlock(Sample** outputs, VstInt32 sampleFrames) noexcept {
        // First of all the plug-in takes over what other threads handed to
        // the audio thread (parameter changes), so that only this thread ever
        // touches what rendering uses.
        derived().prepareBlock();
        // A block without frames or without a buffer renders nothing and
        // keeps the queue for the next block.
        if (sampleFrames <= 0 || !outputs || !outputs[0]) return;
        renderWithEvents(
            events, outputs[0], sampleFrames, [this](int count, Sample* out) { derived().render(count, out); },
            [this](const Event& event) { derived().handleEvent(event); });
    }

protected:
    Plugin(AEffect& record, HostCallback host) noexcept : hostCallback(host), effect(record) {
        std::memset(&effect, 0, sizeof(effect));
        effect.magic = kEffectMagic;
        effect.dispatcher = &dispatcherCallback;
        effect.process = &processCallback;
        effect.setParameter = &setParameterCallback;
        effect.getParameter = &getParameterCallback;
        effect.numPrograms = 0; // the instance's state is its parameters; no programs, banks or chunks
        effect.numParams = N;
        effect.numInputs = 0;   // an instrument: no audio input
        effect.numOutputs = 1;  // mono
        effect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | (Derived::isSynth ? effFlagsIsSynth : 0);
        effect.ioRatio = 1.0f;
        effect.object = this;
        effect.uniqueID = Derived::uniqueId;
        effect.version = Derived::version;
        effect.processReplacing = &processCallback;
        effect.processDoubleReplacing = &processDoubleCallback;
    }
    ~Plugin() = default;
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    Derived& derived() noexcept { return static_cast<Derived&>(*this); }

private:
    // Answer to effIdentify ('NvEf'), which old hosts use to recognise a
    // plug-in of this interface.
    static constexpr VstIntPtr kIdentifyAnswer = 0x4E764566;
    // Interface version this plug-in implements: 2.4.
    static constexpr VstIntPtr kVstVersion = 2400;

    static Plugin* attached(AEffect* e) noexcept { return e ? static_cast<Plugin*>(e->object) : nullptr; }

    Parameter* parameter(VstInt32 index) noexcept { return derived().parameters().at(index); }

    // Zero-terminated copy of a text held in a fixed array (so always terminated).
    template <std::size_t Capacity>
    static void copyText(void* dest, const char (&text)[Capacity]) noexcept {
        std::size_t length = 0;
        while (length + 1 < Capacity && text[length] != '\0') ++length;
        std::memcpy(dest, text, length);
        static_cast<char*>(dest)[length] = '\0';
    }

    static VstIntPtr copyIdentity(void* dest, const char* text) noexcept {
        if (!dest) return 0;
        std::strcpy(static_cast<char*>(dest), text); // constants of ours, within the interface's limits
        return 1;
    }

    template <class Sample>
    static void processCallbackFor(AEffect* e, Sample** /*inputs*/, Sample** outputs, VstInt32 sampleFrames) {
        Plugin* self = attached(e);
        if (self) {
            self->processBlock(outputs, sampleFrames);
            return;
        }
        // Detached: silence instead of whatever the host's buffer held.
        if (outputs && outputs[0] && sampleFrames > 0) std::fill(outputs[0], outputs[0] + sampleFrames, Sample(0));
    }
};

} // namespace zem
