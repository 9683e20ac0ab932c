#pragma once
// A set of indices 0..N-1 that any thread may add to and one thread empties:
// the way changes cross from host threads to the thread that acts on them
// (parameter changes to the audio thread, control updates to the editor's
// thread). Lock-free and allocation-free, so a host's automation thread is
// never held up and the audio thread never waits.
//
// Ordering: what a thread wrote before it marks an index is visible to the
// thread that drains the index (release on mark, acquire on drain).

#include <atomic>
#include <cstdint>

namespace zem {

template <int N>
class AtomicIndexSet {
public:
    // Any thread. Adds index; indices outside 0..N-1 are ignored.
    void mark(int index) noexcept {
        if (index < 0 || index >= N) return;
        words_[index / kBitsPerWord].fetch_or(std::uint32_t(1) << (index % kBitsPerWord), std::memory_order_release);
    }

    // The consuming thread. Calls apply(index) for every index in the set,
    // lowest first, and removes them. An index marked while this runs is
    // either applied now or stays for the next drain; none is lost.
    template <class Apply>
    void drain(Apply&& apply) {
        for (int w = 0; w < kWordCount; ++w) {
            std::uint32_t bits = words_[w].exchange(0, std::memory_order_acquire);
            for (int b = 0; bits != 0; ++b, bits >>= 1)
                if (bits & 1u) apply(w * kBitsPerWord + b);
        }
    }

    // Forgets every index (the consuming thread, while no one marks).
    void clear() noexcept {
        for (auto& w : words_) w.store(0, std::memory_order_relaxed);
    }

private:
    // 32-bit words: lock-free atomics on every target, the i686 build included.
    static constexpr int kBitsPerWord = 32;
    static constexpr int kWordCount = (N + kBitsPerWord - 1) / kBitsPerWord;
    static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "marking must never take a lock");

    std::atomic<std::uint32_t> words_[kWordCount] = {};
};

} // namespace zem
