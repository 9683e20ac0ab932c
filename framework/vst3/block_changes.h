#pragma once
// One process call's input events and parameter points in sample order: the
// VST 3 counterpart of framework/block_loop.h. A host hands a block its
// events in one list and each changing parameter's points in a queue of its
// own; the walk renders the stretch up to the next event or point, hands over
// everything at that sample (points first, so a note starting there hears
// the new value), and goes on to the end of the block.
//
// As in the block loop, an offset outside the block or behind one already
// passed is moved to the nearest sample it can have rather than dropped (a
// lost note-off would leave a note hanging); whatever lies at or beyond the
// end is handed over after the last sample, so a parameter ends the call at
// its last point's value.
//
// Audio thread; never allocates, locks or throws. A host's lists are read
// through their interfaces only; a point or event the host fails to hand
// over is skipped.

#include <algorithm>
#include <array>

#include "framework/vst3/vst.h"

namespace zem::vst3 {

// Parameter queues followed in one call: more than a plug-in with this many
// parameters can be sent by a sane host (one queue per parameter); the points
// of queues beyond it are handed over at the start of the block.
constexpr int32 kMaxFollowedQueues = 128;

// Walks `frames` samples (0 for a call that only carries changes) of `data`:
// render(position, count) for each stretch (count may be 0), point(id, value)
// for each parameter point, event(e) for each event, in sample order.
template <class Render, class Point, class HandleEvent>
void walkBlock(ProcessData& data, int32 frames, Render&& render, Point&& point, HandleEvent&& event) {
    frames = std::max<int32>(frames, 0);

    // A queue's next point, read ahead.
    struct Cursor {
        IParamValueQueue* queue;
        ParamID id;
        int32 count;  // its points
        int32 next;   // index of the point read ahead; count when done
        int32 offset; // the read-ahead point's sample
        ParamValue value;
        bool live() const noexcept { return next < count; }
        void load() noexcept {
            for (; next < count; ++next)
                if (queue->getPoint(next, offset, value) == kResultOk) return;
        }
    };
    std::array<Cursor, kMaxFollowedQueues> cursors;
    int32 cursorCount = 0;
    IParameterChanges* changes = data.inputParameterChanges;
    const int32 queueCount = changes != nullptr ? changes->getParameterCount() : 0;
    for (int32 i = 0; i < queueCount; ++i) {
        IParamValueQueue* queue = changes->getParameterData(i);
        if (queue == nullptr) continue;
        Cursor c{queue, queue->getParameterId(), queue->getPointCount(), 0, 0, 0.0};
        if (cursorCount == kMaxFollowedQueues) {
            for (c.load(); c.live(); ++c.next, c.load()) point(c.id, c.value);
            continue;
        }
        c.load();
        if (c.live()) cursors[static_cast<std::size_t>(cursorCount++)] = c;
    }

    IEventList* events = data.inputEvents;
    const int32 eventCount = events != nullptr ? events->getEventCount() : 0;
    int32 eventIndex = 0;
    Event pending{};
    auto loadEvent = [&]() noexcept {
        for (; eventIndex < eventCount; ++eventIndex)
            if (events->getEvent(eventIndex, pending) == kResultOk) return;
    };
    loadEvent();

    int32 position = 0;
    for (;;) {
        auto at = [&](int32 offset) noexcept { return std::clamp(offset, position, frames); };
        int32 next = frames;
        if (eventIndex < eventCount) next = std::min(next, at(pending.sampleOffset));
        for (int32 i = 0; i < cursorCount; ++i)
            if (cursors[i].live()) next = std::min(next, at(cursors[i].offset));
        render(position, next - position);
        position = next;

        bool handed = false;
        for (int32 i = 0; i < cursorCount; ++i) {
            Cursor& c = cursors[i];
            while (c.live() && at(c.offset) == position) {
                point(c.id, c.value);
                handed = true;
                ++c.next;
                c.load();
            }
        }
        while (eventIndex < eventCount && at(pending.sampleOffset) == position) {
            event(static_cast<const Event&>(pending));
            handed = true;
            ++eventIndex;
            loadEvent();
        }
        if (!handed && position == frames) return;
    }
}

} // namespace zem::vst3
