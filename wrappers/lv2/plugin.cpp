// Veldane as an LV2 instrument: a thin translation of the host's calls onto
// one Veldane::Synth. Control ports carry plain values in the displayed units
// and are read at the start of every run(), like a host's parameter writes;
// MIDI from the atom input goes through the framework's one translation and
// block loop, so a note lands on the same sample as through VST 2.4.
//
// Threads, as LV2 defines them: instantiate and cleanup run on a host thread
// while no run() does; connect_port and run on the audio thread (never
// overlapping). run() never allocates (the event queue's storage is reserved
// with the instance, as in every format), locks or calls the system.
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>

#include "framework/block_loop.h"
#include "framework/event_queue.h"
#include "framework/midi.h"
#include "framework/plain_value.h"
#include "synth/synth.h"
#include "wrappers/lv2/ports.h"

namespace {

using namespace Veldane::lv2;

class Instance {
public:
    explicit Instance(LV2_URID midiEventType) : midiEventType(midiEventType) {}

    // Host thread, before the first run(): the host's rate, whatever it is
    // (Synth ignores a rate that is not finite and positive and keeps 44.1 kHz).
    void setSampleRate(double rate) { synth.setSampleRate(rate); }

    // Audio thread. Unknown ports are ignored, and so is the panel's zoom,
    // which is the UI's alone.
    void connect(std::uint32_t port, void* data) noexcept {
        if (port == kMidiInPort) {
            midiIn = static_cast<const LV2_Atom_Sequence*>(data);
        } else if (port == kAudioOutPort) {
            out = static_cast<float*>(data);
        } else if (paramOfControlPort(port) >= 0) {
            controls[port - kFirstControlPort].value = static_cast<const float*>(data);
        }
    }

    // Audio thread: one block of `frames` samples.
    void run(std::uint32_t frames) noexcept {
        readControls();
        synth.applyParameterChanges();
        queueMidi(frames);
        if (out == nullptr) {
            // Nowhere to render: the block's events are still applied, so no
            // note-off is lost.
            while (!events.empty()) {
                synth.handleEvent(events.front());
                events.popFront();
            }
            return;
        }
        zem::renderWithEvents(
            events, out, static_cast<std::int32_t>(std::min<std::uint32_t>(frames, INT32_MAX)),
            [this](int count, float* at) { synth.render(count, at); },
            [this](const zem::Event& event) { synth.handleEvent(event); });
    }

private:
    struct Control {
        const float* value = nullptr; // the host's port buffer; null until connected
        std::uint32_t lastBits = 0;   // bit pattern of the value last taken
        bool taken = false;           // whether any value was taken yet
    };

    // Takes every control whose value changed since the last block (compared
    // bit for bit, so a NaN a host keeps sending is looked at once, not every
    // block) and writes it to its parameter as a host's write would.
    void readControls() noexcept {
        for (std::uint32_t i = 0; i < kControlPortCount; ++i) {
            Control& c = controls[i];
            if (c.value == nullptr) continue;
            const float v = *c.value;
            std::uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            if (c.taken && bits == c.lastBits) continue;
            c.taken = true;
            c.lastBits = bits;
            const int id = paramOfControlPort(kFirstControlPort + i);
            zem::Parameter* p = synth.params.at(id);
            if (p != nullptr && zem::setPlainValue(*p, static_cast<double>(v))) synth.params.touch(id);
        }
    }

    // Appends the block's MIDI messages to the queue at their frame offsets
    // (held inside the block; the block loop orders what remains).
    void queueMidi(std::uint32_t frames) noexcept {
        if (midiIn == nullptr) return;
        LV2_ATOM_SEQUENCE_FOREACH(midiIn, ev) {
            if (ev->body.type != midiEventType || ev->body.size == 0) continue;
            const auto* bytes = static_cast<const unsigned char*>(LV2_ATOM_BODY_CONST(&ev->body));
            const unsigned char data1 = ev->body.size > 1 ? bytes[1] : 0;
            const unsigned char data2 = ev->body.size > 2 ? bytes[2] : 0;
            const std::int64_t at = std::clamp<std::int64_t>(ev->time.frames, 0, frames);
            zem::Event record{};
            if (zem::translateMidi(bytes[0], data1, data2, static_cast<std::int32_t>(at), record))
                events.pushBack(record);
        }
    }

    Veldane::Synth synth;
    zem::EventQueue events;
    LV2_URID midiEventType; // the URID of midi:MidiEvent in this host
    const LV2_Atom_Sequence* midiIn = nullptr;
    float* out = nullptr;
    std::array<Control, kControlPortCount> controls{};
};

// --- The descriptor's callbacks (C calling convention; nothing throws) ------

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
    // The MIDI event type is known only through the host's URID map, which
    // the plug-in therefore requires.
    const LV2_URID_Map* map = nullptr;
    for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
        if (std::strcmp((*f)->URI, LV2_URID__map) == 0) map = static_cast<const LV2_URID_Map*>((*f)->data);
    }
    if (map == nullptr || map->map == nullptr) return nullptr;
    try {
        auto* instance = new (std::nothrow) Instance(map->map(map->handle, LV2_MIDI__MidiEvent));
        if (instance != nullptr) instance->setSampleRate(rate);
        return instance;
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    if (handle != nullptr) static_cast<Instance*>(handle)->connect(port, data);
}

void run(LV2_Handle handle, uint32_t frames) {
    if (handle != nullptr) static_cast<Instance*>(handle)->run(frames);
}

void cleanup(LV2_Handle handle) { delete static_cast<Instance*>(handle); }

const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {
    kPluginUri, instantiate, connectPort,
    nullptr, // activate: nothing to prepare
    run,
    nullptr, // deactivate
    cleanup, extensionData,
};

} // namespace

// The library's one entry: the descriptor of plug-in `index` (there is one).
extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
