#pragma once
// The host's side of one LV2 instance of Veldane, through nothing but its
// descriptor: a URID map, the control port values (plain, as a host reads
// them from the Turtle defaults), a MIDI atom sequence for the next block,
// and a script player that plays tools/testhost/script.h scripts as the test
// host plays them into VST 2.4 (parameter changes before the block that
// holds them, MIDI at its frame offset), so the two formats can be compared
// sample for sample.
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "framework/plain_value.h"
#include "synth/parameters.h"
#include "tools/testhost/audio_call.h"
#include "tools/testhost/script.h"
#include "wrappers/lv2/ports.h"

namespace lv2host {

using Veldane::lv2::kControlPortCount;
using Veldane::lv2::kFirstControlPort;

// URIs numbered in the order they are first asked for, from 1.
class UridMap {
public:
    LV2_URID_Map feature{this, &UridMap::map};

    LV2_URID id(const char* uri) { return map(this, uri); }

private:
    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
        auto& uris = static_cast<UridMap*>(handle)->uris;
        const auto found = std::find(uris.begin(), uris.end(), uri);
        if (found != uris.end()) return static_cast<LV2_URID>(found - uris.begin() + 1);
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    std::vector<std::string> uris;
};

// The plain value a fresh parameter starts at: what the Turtle files
// declare as the port's default.
inline float defaultOf(int id) {
    static const Veldane::Parameters fresh;
    return static_cast<float>(zem::plainRangeOf(*fresh.at(id)).current);
}

class Instance {
public:
    // Instantiates at `rate`, offering the URID map unless told not to;
    // `handle` is null when the plug-in refuses.
    Instance(const LV2_Descriptor& descriptor, double rate, bool offerMap = true) : d(descriptor) {
        const LV2_Feature mapFeature{LV2_URID__map, &urids.feature};
        const LV2_Feature* features[] = {&mapFeature, nullptr};
        const LV2_Feature* none[] = {nullptr};
        handle = d.instantiate(&d, rate, "/nowhere/", offerMap ? features : none);
        for (int id = 0; id < Veldane::kParamCount; ++id)
            if (id != Veldane::kReserved) control(id) = defaultOf(id);
        if (handle == nullptr) return;
        for (std::uint32_t i = 0; i < kControlPortCount; ++i) d.connect_port(handle, kFirstControlPort + i, &controls[i]);
        d.connect_port(handle, Veldane::lv2::kMidiInPort, sequence.data());
        if (d.activate) d.activate(handle);
    }
    ~Instance() {
        if (handle == nullptr) return;
        if (d.deactivate) d.deactivate(handle);
        d.cleanup(handle);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    // The value of the control port of parameter `id` (any but kReserved).
    float& control(int id) { return controls[Veldane::lv2::controlPortOf(id) - kFirstControlPort]; }

    // Adds a MIDI message (1..3 bytes) at `frame` of the next block; event
    // type `type` (0: midi:MidiEvent) lets a test send something else.
    void midi(std::int64_t frame, std::vector<unsigned char> bytes, LV2_URID type = 0) {
        pending.push_back({frame, type ? type : urids.id(LV2_MIDI__MidiEvent), std::move(bytes)});
    }

    // One run() of `frames` into out (null: the output port left unconnected),
    // with the MIDI added since the last block.
    void run(float* out, std::uint32_t frames) {
        prepare(out);
        testhost::audioCall([&] { d.run(handle, frames); });
    }
    // What run() does before calling the plug-in: the MIDI added since the
    // last block goes into the sequence buffer, the output is connected.
    void prepare(float* out) {
        writeSequence();
        pending.clear();
        d.connect_port(handle, Veldane::lv2::kAudioOutPort, out);
    }

    std::vector<float> render(int frames, int block = 256) {
        std::vector<float> out(static_cast<std::size_t>(frames));
        for (int done = 0; done < frames; done += block)
            run(out.data() + done, static_cast<std::uint32_t>(std::min(block, frames - done)));
        return out;
    }

    const LV2_Descriptor& d;
    LV2_Handle handle = nullptr;
    UridMap urids;

private:
    struct Message {
        std::int64_t frame;
        LV2_URID type;
        std::vector<unsigned char> bytes;
    };

    // The pending messages as an atom sequence in the port buffer (64-bit
    // words, as atoms are aligned), in the order added.
    void writeSequence() {
        std::vector<unsigned char> body;
        const LV2_Atom_Sequence_Body head{0, 0};
        append(body, &head, sizeof head);
        for (const Message& m : pending) {
            LV2_Atom_Event event{};
            event.time.frames = m.frame;
            event.body.type = m.type;
            event.body.size = static_cast<std::uint32_t>(m.bytes.size());
            append(body, &event, sizeof event);
            append(body, m.bytes.data(), m.bytes.size());
            body.resize((body.size() + 7) / 8 * 8, 0);
        }
        const LV2_Atom atom{static_cast<std::uint32_t>(body.size()), urids.id(LV2_ATOM__Sequence)};
        sequence.assign((sizeof atom + body.size()) / 8 + 1, 0);
        std::memcpy(sequence.data(), &atom, sizeof atom);
        std::memcpy(reinterpret_cast<unsigned char*>(sequence.data()) + sizeof atom, body.data(), body.size());
        d.connect_port(handle, Veldane::lv2::kMidiInPort, sequence.data());
    }
    static void append(std::vector<unsigned char>& to, const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        to.insert(to.end(), bytes, bytes + size);
    }

    std::array<float, kControlPortCount> controls{};
    std::vector<Message> pending;
    std::vector<std::uint64_t> sequence = std::vector<std::uint64_t>(2, 0);
};

// Plays a script whose parameter names are resolved (testhost::resolveNames)
// into the instance (made at `rate`) in blocks of `block` frames, as testhost::playScript
// plays it into VST 2.4: a parameter command's normalized value becomes the
// plain value the parameter takes for it, written to its port before the
// block that holds the command.
inline std::vector<float> playScript(Instance& instance, const testhost::Script& script, double rate, int block) {
    Veldane::Parameters scratch;
    std::vector<float> out;
    const long long total = script.length(rate);
    std::size_t next = 0;
    for (long long start = 0; start < total; start += block) {
        const int frames = static_cast<int>(std::min<long long>(block, total - start));
        for (; next < script.commands.size() && script.commands[next].frame < start + frames; ++next) {
            const testhost::Command& c = script.commands[next];
            if (!c.isParameter) {
                instance.midi(std::max<long long>(0, c.frame - start), {c.midi[0], c.midi[1], c.midi[2]});
            } else if (c.index >= 0 && c.index != Veldane::kReserved) {
                scratch.set(c.index, c.value);
                instance.control(c.index) = static_cast<float>(zem::plainRangeOf(*scratch.at(c.index)).current);
            }
        }
        out.resize(out.size() + static_cast<std::size_t>(frames));
        instance.run(out.data() + out.size() - frames, static_cast<std::uint32_t>(frames));
    }
    return out;
}

} // namespace lv2host
