#pragma once
// A plug-in's N parameters and the one place where their changes cross from
// other threads to the audio thread.
//
// Any thread (a host's automation, an editor) writes a value with set(): the
// parameter stores it in its atomic cells and the index is marked in a
// lock-free set of changed parameters. The audio thread, at the start of each
// processing call, takes every marked index with applyChanges() and converts
// the parameter's value into its engine's settings. So nothing of the engine
// is ever written from another thread, and a host reads back exactly what it
// wrote at once, while the sound follows at the next processing call.

#include <array>
#include <utility>

#include "framework/index_set.h"
#include "framework/parameter.h"

namespace zem {

template <int N>
class ParameterSet {
public:
    static constexpr int size = N;

    // A parameter member that enters itself at its index when it is built,
    // so that the member declarations, each with its index, are the one table
    // of the parameter set.
    template <class P>
    struct Param : P {
        template <class... Args>
        Param(ParameterSet& owner, int index, Args&&... args) noexcept : P(std::forward<Args>(args)...) {
            owner.enlist(index, *this);
        }
    };

    ParameterSet() = default;
    ParameterSet(const ParameterSet&) = delete;
    ParameterSet& operator=(const ParameterSet&) = delete;

    // Any thread. The parameter with index `index`, or null outside 0..N-1.
    Parameter* at(int index) const noexcept { return isIndex(index) ? params_[index] : nullptr; }

    // Any thread. The stored normalized value, exactly as last given; 0 for an
    // index outside 0..N-1.
    float get(int index) const noexcept { return isIndex(index) ? params_[index]->normalized() : 0.0f; }

    // Any thread, the audio thread included; never blocks or allocates. Hands
    // the normalized value to the parameter; when the parameter reports that
    // its plain value moved (every accepted write of a real-valued one), the
    // index is marked for the audio thread and the answer is true. A bad index
    // or a refused value changes nothing (false).
    bool set(int index, float normalized) noexcept {
        if (!isIndex(index) || !params_[index]->setNormalized(normalized)) return false;
        changed_.mark(index);
        return true;
    }

    // Any thread. Marks the index for the audio thread even though its value
    // may not have moved: an editor's edit is applied every time.
    void touch(int index) noexcept { changed_.mark(index); }

    // The audio thread, at the start of a processing call; or any single
    // thread while no processing runs. Calls apply(index) once for every index
    // marked since the last call, lowest first.
    template <class Apply>
    void applyChanges(Apply&& apply) {
        changed_.drain(apply);
    }

    // Whether every index has its parameter (a check for the declarations).
    bool complete() const noexcept {
        for (const Parameter* p : params_)
            if (p == nullptr) return false;
        return true;
    }

private:
    static bool isIndex(int index) noexcept { return index >= 0 && index < N; }

    void enlist(int index, Parameter& parameter) noexcept {
        if (isIndex(index)) params_[index] = &parameter;
    }

    std::array<Parameter*, N> params_{};
    AtomicIndexSet<N> changed_;
};

} // namespace zem
