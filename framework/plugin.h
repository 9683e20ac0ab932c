#pragma once
// The framework's host boundary: the plug-in object's base, which owns the
// VST 2.4 record the host keeps for an instance, answers the record's
// callbacks, turns the host's MIDI into queued events and renders each audio
// block in segments between those events.
//
// zem::Plugin<Derived, N> is a base over the synthesizer's own class Derived
// (curiously recurring): it reaches the derived class through the template
// argument, never through a virtual call. Derived provides:
//   - static constexpr identity: `uniqueId`, `version` (int32), `effectName`,
//     `vendorName`, `productName` (texts);
//   - `engine` with render(int, float*), render(int, double*),
//     restartLfoDelay(), `voiceManager` (zem::IVoiceManager*, may be null),
//     `bendRange` and `bendTarget` (double, octaves);
//   - setSampleRate(double), prepareBlock(), and parameterChanged(int) (the
//     only virtual operation of the object);
//   - its N parameters as members declared with `Param<...>` (below), in
//     parameter index order.
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
#include <utility>

#include "framework/event.h"
#include "framework/event_queue.h"
#include "framework/parameter.h"
#include "framework/vst2.h"

namespace zem {

// The plug-in's receiver of parameter changes.
class IParameterChangedListener {
public:
    // Called after the parameter with VST index `index` has changed: from
    // setParameter (host threads, possibly the audio thread), from the editor
    // (its UI thread) and during construction. Must not block or throw.
    virtual void parameterChanged(int index) = 0;

protected:
    // Never deleted through this interface.
    ~IParameterChangedListener() = default;
};

// The host's callback, under a name that keeps VST types out of the synthesizer.
using HostCallback = audioMasterCallback;

template <class Derived, int N>
class Plugin : public IParameterChangedListener {
public:
    static constexpr int numParameters = N;

    // params[i] is the parameter with VST index i; not owning (they are
    // members of Derived, entered here as they are constructed).
    std::array<Parameter*, N> params{};
    // MIDI-derived events waiting for the next audio block (audio thread only).
    EventQueue events;
    // The callback the host passed to VSTPluginMain.
    HostCallback hostCallback;
    // The record the host receives and passes back with every call.
    AEffect effect;

    // A parameter member that enters itself in `params` when it is built:
    // members are constructed in declaration order, so the order of the
    // declarations in Derived is the index order, and the declarations stay
    // the one table of the parameter set.
    template <class P>
    struct Param : P {
        template <class... Args>
        explicit Param(Plugin& owner, Args&&... args) noexcept : P(std::forward<Args>(args)...) {
            owner.enlist(*this);
        }
    };

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
        case effClose:
            // Detach: the record stays valid (it is part of this object) and
            // every later call through it finds no object and answers 0.
            effect.object = nullptr;
            return 1;
        case effGetParamLabel:
            // Answers 0 even after copying, as hosts of this interface expect.
            if (ptr && isIndex(index)) copyText(ptr, params[index]->label);
            return 0;
        case effGetParamDisplay:
            if (!ptr || !isIndex(index)) return 0;
            params[index]->getDisplay(static_cast<char*>(ptr));
            return 1;
        case effGetParamName:
            if (!ptr || !isIndex(index)) return 0;
            copyText(ptr, params[index]->name);
            return 1;
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
    float getParameter(VstInt32 index) const noexcept {
        return isIndex(index) ? params[index]->normalized : 0.0f;
    }

    // Hands the host's normalized value to the parameter and notifies the
    // listener when the parameter reports a change. A NaN or infinite value
    // is refused before it reaches the parameter: nothing is stored, so the
    // host reads back the last valid value and the engine never sees it.
    void setParameter(VstInt32 index, float value) {
        if (!isIndex(index) || !std::isfinite(value)) return;
        if (params[index]->setNormalized(value)) derived().parameterChanged(index);
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
            if (translateMidi(midi, record)) events.pushBack(record);
        }
    }

    // Audio thread. Renders sampleFrames samples into outputs[0], applying
    // each queued event at its offset; never allocates, locks or throws.
    template <class Sample>
    void processBlock(Sample** outputs, VstInt32 sampleFrames) noexcept {
        // First of all: let the synthesizer take over changes handed to the
        // audio thread (such as a new voice manager), so that only this thread
        // ever touches what the block loop uses.
        derived().prepareBlock();
        if (sampleFrames <= 0 || !outputs || !outputs[0]) return; // queue kept for the next block
        auto& engine = derived().engine;
        Sample* const out = outputs[0];
        VstInt32 position = 0;
        while (position < sampleFrames) {
            VstInt32 end = sampleFrames;
            const bool haveEvent = !events.empty();
            Event event{};
            if (haveEvent) {
                event = events.front();
                events.popFront();
                // Offsets beyond the block, negative or smaller than an earlier
                // one would ask for a segment outside the buffer or of negative
                // length. Such an event is moved to the nearest sample it can
                // have rather than dropped: a dropped note-off would leave a
                // note hanging, a dropped pedal-up would hold every note after.
                end = std::clamp(event.deltaFrames, position, sampleFrames);
            }
            engine.render(static_cast<int>(end - position), out + position);
            position = end;
            if (haveEvent) applyEvent(event);
        }
    }

    // MIDI message to event record; false for messages that make none.
    static bool translateMidi(const VstMidiEvent& midi, Event& record) noexcept {
        const unsigned status = static_cast<unsigned char>(midi.midiData[0]) & 0xF0u;
        // Data bytes carry 7 bits. Notes, velocities and bends are masked to
        // them, so even a malformed message gives a note in 0..127 and a bend
        // in -8192..8191; a controller number is compared whole, so a
        // malformed one is never taken for the pedal.
        const int raw1 = static_cast<unsigned char>(midi.midiData[1]);
        const int raw2 = static_cast<unsigned char>(midi.midiData[2]);
        const int data1 = raw1 & 0x7F;
        const int data2 = raw2 & 0x7F;
        record.deltaFrames = midi.deltaFrames;
        switch (status) {
        case kNoteOffStatus:
        case kNoteOnStatus:
            record.type = (status == kNoteOnStatus && data2 > 0) ? Event::NoteOn : Event::NoteOff;
            record.data1 = data1;
            record.data2 = data2;
            return true;
        case kControlChangeStatus:
            if (raw1 != kSustainController) return false;
            record.type = raw2 >= kSustainThreshold ? Event::SustainOn : Event::SustainOff;
            return true;
        case kPitchBendStatus:
            // 14-bit value (msb * 128 + lsb) centred on 8192.
            record.type = Event::PitchBend;
            record.data1 = (data2 - 64) * 128 + data1;
            return true;
        default:
            // Key pressure, program change, channel pressure, system messages,
            // and running-status data bytes below 0x80.
            return false;
        }
    }

protected:
    explicit Plugin(HostCallback host) noexcept : hostCallback(host) {
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

    // MIDI status nibbles (channel removed) and the controller we follow.
    static constexpr unsigned kNoteOffStatus = 0x80;
    static constexpr unsigned kNoteOnStatus = 0x90;
    static constexpr unsigned kControlChangeStatus = 0xB0;
    static constexpr unsigned kPitchBendStatus = 0xE0;
    static constexpr int kSustainController = 64;
    // Pedal values 64..127 mean down, 0..63 up.
    static constexpr int kSustainThreshold = 64;
    // A bend value of ±8192 means the full bend range: 1 / 8192.
    static constexpr double kBendScale = 0.0001220703125;

    static Plugin* attached(AEffect* e) noexcept { return e ? static_cast<Plugin*>(e->object) : nullptr; }

    static bool isIndex(VstInt32 index) noexcept { return static_cast<std::uint32_t>(index) < static_cast<std::uint32_t>(N); }

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

    void applyEvent(const Event& event) noexcept {
        auto& engine = derived().engine;
        auto* voices = engine.voiceManager;
        switch (event.type) {
        case Event::NoteOn:
            // Every note-on restarts the LFO's fade-in, also a note played legato.
            engine.restartLfoDelay();
            if (voices) voices->noteOn(event.data1, static_cast<double>(event.data2));
            break;
        case Event::NoteOff:
            if (voices) voices->noteOff(event.data1);
            break;
        case Event::SustainOn:
            if (voices) voices->setSustain(true);
            break;
        case Event::SustainOff:
            if (voices) voices->setSustain(false);
            break;
        case Event::PitchBend:
            engine.bendTarget = engine.bendRange * kBendScale * event.data1;
            break;
        default:
            break;
        }
    }

    void enlist(Parameter& parameter) noexcept {
        for (auto& slot : params) {
            if (!slot) {
                slot = &parameter;
                return;
            }
        }
    }
};

} // namespace zem
