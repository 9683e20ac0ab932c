#pragma once
// First-in-first-out queue of events between the host's event delivery and
// the block loop: a ring buffer that keeps its storage when records are taken
// out, so once it has held its largest number of records neither side
// allocates again. (A std::deque frees and re-allocates its blocks as records
// pass through it, which would put the allocator on the audio thread for
// every block with events.)
//
// The block loop empties the queue at the end of every processing call, so it
// never holds more than one call's events; its capacity is bounded all the
// same, so a host that floods it cannot make it grow without end.
//
// Threading: pushBack and popFront run on the host's audio thread, one after
// the other (the host delivers a block's events before processing it); the
// queue has no locking of its own.

#include <cstddef>
#include <memory>
#include <new>

#include "framework/event.h"

namespace zem {

class EventQueue {
public:
    // Records held before the first growth: a block with a dense controller
    // stream holds a few hundred events, so ordinary use never grows the
    // queue on the audio thread. 1024 records are 16 KiB.
    static constexpr std::size_t kInitialCapacity = 1024;
    // Most records ever held: 16384 (256 KiB). The queue holds one processing
    // call's events, and even a block of 8192 frames with two events on every
    // sample fits, far beyond the thousand messages a second a MIDI cable
    // carries; growth past it could only come from a host gone wrong.
    static constexpr std::size_t kMaxCapacity = 16384;

    // Reserves the initial storage (construction runs off the audio thread).
    // If that fails, the queue starts empty and grows at the first push.
    EventQueue() noexcept { grow(kInitialCapacity); }

    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    bool empty() const noexcept { return count == 0; }
    std::size_t size() const noexcept { return count; }
    std::size_t capacity() const noexcept { return slots; }
    // Records refused since construction because the queue was full (or its
    // growth failed): counted, so a flood is visible rather than silent.
    std::size_t dropped() const noexcept { return refused; }

    // The i-th record from the front, i < size().
    const Event& operator[](std::size_t i) const noexcept { return storage[(head + i) % slots]; }
    // The oldest record; the queue must not be empty.
    const Event& front() const noexcept { return storage[head]; }

    // Appends at the back. Allocates only when the queue is fuller than ever
    // before (doubling its storage, up to kMaxCapacity); a record that finds
    // the queue full is dropped, counted, and the answer is false. Never throws.
    bool pushBack(const Event& event) noexcept {
        if (count == slots && !grow(slots == 0 ? kInitialCapacity : slots * 2)) {
            ++refused;
            return false;
        }
        storage[(head + count) % slots] = event;
        ++count;
        return true;
    }

    // Removes the oldest record; the storage is kept. Does nothing when empty.
    void popFront() noexcept {
        if (count == 0) return;
        head = (head + 1) % slots;
        --count;
    }

private:
    // Moves the records, oldest first, into new storage of newSlots records.
    bool grow(std::size_t newSlots) noexcept {
        if (newSlots <= slots || newSlots > kMaxCapacity) return false;
        std::unique_ptr<Event[]> bigger(new (std::nothrow) Event[newSlots]);
        if (!bigger) return false;
        for (std::size_t i = 0; i < count; ++i) bigger[i] = (*this)[i];
        storage = std::move(bigger);
        slots = newSlots;
        head = 0;
        return true;
    }

    std::unique_ptr<Event[]> storage; // ring of `slots` records
    std::size_t slots = 0;            // capacity in records
    std::size_t head = 0;             // position of the oldest record
    std::size_t count = 0;            // records held
    std::size_t refused = 0;          // records dropped because the queue was full
};

} // namespace zem
