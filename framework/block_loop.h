#pragma once
// The block loop every plug-in format shares: renders a block in segments
// between queued events and hands each event over at its offset, so a note
// lands on the same sample whichever format delivered it.

#include <algorithm>
#include <cstdint>

#include "framework/event.h"
#include "framework/event_queue.h"

namespace zem {

// Audio thread. Renders `frames` samples at `out` (frames > 0), calling
// render(count, pointer) for each stretch between events (count may be 0)
// and handle(event) for each queued event, in queue order, at its offset.
// The queue is an EventQueue or anything with its empty(), front() and
// popFront(), whose records carry their offset in `deltaFrames` (a format
// whose host hands over a list of its own records reads it in place).
// Offsets beyond the block, negative or smaller than an earlier one would
// ask for a segment outside the buffer or of negative length; such an event
// is moved to the nearest sample it can have rather than dropped (a dropped
// note-off would leave a note hanging, a dropped pedal-up would hold every
// note after). Events at or past the end are all handed over after the last
// sample, so the queue is empty afterwards. Never allocates or locks.
template <class Queue, class Sample, class Render, class Handle>
void renderWithEvents(Queue& events, Sample* out, std::int32_t frames, Render&& render, Handle&& handle) {
    std::int32_t position = 0;
    while (!events.empty()) {
        const auto event = events.front();
        events.popFront();
        const std::int32_t at = std::clamp(event.deltaFrames, position, frames);
        render(static_cast<int>(at - position), out + position);
        position = at;
        handle(event);
    }
    render(static_cast<int>(frames - position), out + position);
}

} // namespace zem
