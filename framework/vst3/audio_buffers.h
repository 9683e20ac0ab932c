#pragma once
// A process call's output buffers as a plug-in with one mono output bus uses
// them: the first channel written, any further channel a host insists on
// given the same samples, and silence when the plug-in cannot play.
//
// Audio thread; never allocates, locks or throws. Sample is Sample32 or
// Sample64, as the call's symbolic sample size says.

#include <algorithm>

#include "framework/vst3/vst.h"

namespace zem::vst3 {

// Zeros every channel of every output bus the host gave.
template <class Sample>
void silence(ProcessData& data) noexcept {
    if (data.outputs == nullptr || data.numSamples <= 0) return;
    for (int32 b = 0; b < data.numOutputs; ++b) {
        AudioBusBuffers& bus = data.outputs[b];
        Sample** channels = reinterpret_cast<Sample**>(bus.channelBuffers32);
        for (int32 c = 0; channels != nullptr && c < bus.numChannels; ++c)
            if (channels[c] != nullptr) std::fill(channels[c], channels[c] + data.numSamples, Sample(0));
        bus.silenceFlags = 0;
    }
}

// The first channel of the output bus, or null when the host gave none.
template <class Sample>
Sample* firstChannel(ProcessData& data) noexcept {
    if (data.outputs == nullptr || data.numOutputs < 1 || data.outputs[0].numChannels < 1) return nullptr;
    Sample** channels = reinterpret_cast<Sample**>(data.outputs[0].channelBuffers32);
    return channels != nullptr ? channels[0] : nullptr;
}

// A host that insists on more channels than the mono bus has hears the one
// channel in each.
template <class Sample>
void copyToOtherChannels(ProcessData& data, const Sample* out, int32 frames) noexcept {
    AudioBusBuffers& bus = data.outputs[0];
    Sample** channels = reinterpret_cast<Sample**>(bus.channelBuffers32);
    for (int32 c = 1; c < bus.numChannels; ++c)
        if (channels[c] != nullptr && channels[c] != out) std::copy(out, out + frames, channels[c]);
    bus.silenceFlags = 0;
}

} // namespace zem::vst3
