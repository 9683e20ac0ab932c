#pragma once
// Builds a host's VstEvents block: any number of MIDI events (the record's
// event array really holds numEvents pointers), plus room for other kinds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "framework/vst2.h"

class MidiBlock {
public:
    VstMidiEvent& add(VstInt32 deltaFrames, int status, int data1 = 0, int data2 = 0) {
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.deltaFrames = deltaFrames;
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = static_cast<char>(data1);
        event.midiData[2] = static_cast<char>(data2);
        midi.push_back(event);
        pointers.push_back(reinterpret_cast<VstEvent*>(&midi.back()));
        return midi.back();
    }
    void addRaw(VstEvent* event) { pointers.push_back(event); }

    // The block as the host hands it over; valid until the next add.
    VstEvents* events() {
        const std::size_t header = offsetof(VstEvents, events);
        storage.assign(std::max(sizeof(VstEvents), header + pointers.size() * sizeof(VstEvent*)), 0);
        const VstInt32 count = static_cast<VstInt32>(pointers.size());
        std::memcpy(storage.data() + offsetof(VstEvents, numEvents), &count, sizeof(count));
        if (!pointers.empty()) std::memcpy(storage.data() + header, pointers.data(), pointers.size() * sizeof(VstEvent*));
        return reinterpret_cast<VstEvents*>(storage.data());
    }

private:
    std::deque<VstMidiEvent> midi; // stable addresses as events are added
    std::vector<VstEvent*> pointers;
    std::vector<unsigned char> storage;
};
