#pragma once
// First-in-first-out queue of events between the host's event delivery and
// the block loop: a ring buffer whose whole storage is reserved when it is
// made (off the audio thread), so neither side ever allocates. (A std::deque
// frees and re-allocates its blocks as records pass through it, and a queue
// that grew on demand would put the allocator on the audio thread for the
// first large flood of events.)
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
    // Records held at most: 16384 (256 KiB). The queue holds one processing
    // call's events, and even a block of 8192 frames with two events on every
    // sample fits, far beyond the thousand messages a second a MIDI cable
    // carries; a host sending more in one call has gone wrong, and the rest
    // are dropped.
    static constexpr std::size_t kCapacity = 16384;

    // Reserves the whole storage (construction runs off the audio thread).
    // If that fails, the queue holds nothing and refuses every record.
    EventQueue() noexcept : storage(new (std::nothrow) Event[kCapacity]), slots(storage ? kCapacity : 0) {}

    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    bool empty() const noexcept { return count == 0; }
    std::size_t size() const noexcept { return count; }
    std::size_t capacity() const noexcept { return slots; }
    // Records refused since construction because the queue was full: counted,
    // so a flood is visible rather than silent.
    std::size_t dropped() const noexcept { return refused; }

    // The i-th record from the front, i < size().
    const Event& operator[](std::size_t i) const noexcept { return storage[(head + i) % slots]; }
    // The oldest record; the queue must not be empty.
    const Event& front() const noexcept { return storage[head]; }

    // Appends at the back; a record that finds the queue full is dropped,
    // counted, and the answer is false. Never allocates, never throws.
    bool pushBack(const Event& event) noexcept {
        if (count == slots) {
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
    std::unique_ptr<Event[]> storage; // ring of `slots` records
    std::size_t slots;                // capacity in records
    std::size_t head = 0;             // position of the oldest record
    std::size_t count = 0;            // records held
    std::size_t refused = 0;          // records dropped because the queue was full
};

} // namespace zem
