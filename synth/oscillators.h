#pragma once
// Band-limited oscillators. Each waveform writes its naive (aliasing) value into
// a four-tap delay line and, when a step or a corner of the waveform falls
// between two oversampled steps, adds polynomial corrections to all four taps
// at the event's fractional position. The output is the oldest tap, so every
// oscillator lags its naive waveform by two oversampled steps.
//
// Increments are in cycles per oversampled step. A sync position is the
// fraction (0..1) of the step at which oscillator 1 wrapped, or kNoSync (-1).
// Increments above 0.49 (fundamentals near or above the host rate) are held at
// 0.49 inside the oscillators so that every position and division stays finite.

#include "synth/lanes.h"

namespace Veldane {

// Sync position meaning "oscillator 1 did not wrap in this step".
constexpr double kNoSync = -1.0;

// The parts of a step shared by the oscillators below (T = double) and the
// engine's oscillators in lanes (T = Lanes<W>, synth/voice_kernel.cpp), which
// compute a step without events for a group of voices at a time and leave
// every step with an event to the oscillators below. Always inlined: the
// voice loop is compiled once per vector width, each for its own target, and
// must not share an out-of-line copy with code built for another.
namespace osc_detail {

// Above half a cycle per oversampled step (a fundamental above the host rate)
// the skew and width clamp interval [inc, 1 - inc] becomes empty, Tri's
// divisions by skew and 1 - skew can reach zero, and a phase advancing by a
// whole cycle or more would never be wrapped back below 1. Everything there is
// pure aliasing anyway, so the oscillators hold their increment just below 0.5:
// the clamp interval then stays at least 0.02 wide, one step never crosses both
// edges of a cycle, and every event position stays in [0, 1].
constexpr double kMaxIncrement = 0.49;

// The smallest increment an oscillator runs at: about 1e-4 Hz at the
// oversampled rate, far below any playable pitch. A zero increment would make
// an event at the current phase (a pulse width clamped to 0) divide 0 by 0.
constexpr double kMinIncrement = 1e-9;

// Keeps an increment in [kMinIncrement, kMaxIncrement]; NaN or a negative
// value almost stops the phase rather than sending it off to infinity.
template <typename T>
[[gnu::always_inline]] inline T safeIncrement(T inc)
{
    return select(inc > kMaxIncrement, splat<T>(kMaxIncrement), select(inc >= kMinIncrement, inc, splat<T>(kMinIncrement)));
}

// A shape value (skew or pulse width) held at least one increment away from
// both ends, so a corner or edge cannot fall closer to the wrap than one step.
// With inc below 0.5 the interval is never empty; a NaN shape becomes inc.
template <typename T>
[[gnu::always_inline]] inline T clampShape(T t, T inc)
{
    return select(t >= inc, select(t > 1.0 - inc, 1.0 - inc, t), inc);
}

// Oscillator 1's triangle before its corrections: phase / skew rising,
// (1 - phase) / (1 - skew) falling.
template <typename T>
[[gnu::always_inline]] inline T skewedTriangle(T phase, T skew)
{
    const auto rising = phase < skew;
    return select(rising, phase, 1.0 - phase) / select(rising, skew, 1.0 - skew);
}

// Moves a four-tap window on by one step and enters the naive value.
template <typename T>
[[gnu::always_inline]] inline void shiftTaps(T& tap0, T& tap1, T& tap2, T& tap3, T naive)
{
    tap0 = tap1;
    tap1 = tap2 + naive;
    tap2 = tap3;
    tap3 = T{};
}

} // namespace osc_detail

// The four-tap correction window shared by every waveform.
struct CorrectionTaps {
    double tap0 = 0.0; // oldest: the oscillator's output
    double tap1 = 0.0;
    double tap2 = 0.0;
    double tap3 = 0.0; // newest
    // Corrections on. Only the measurement tool turns them off, to hear the
    // same waveform naive through the same delay line.
    bool corrected = true;

    // Moves the window on by one step and enters the naive value.
    void shift(double naive);
    // A step of the given height at position p (0 = previous step, 1 = this one).
    void addStep(double height, double p);
    // A change of slope (value per step) at position p.
    void addCorner(double slopeChange, double p);
    // Empties the window (the corrections setting stays).
    void clear();
};

// Oscillator 1, triangle with a movable peak (skew t).
struct Osc1Tri {
    CorrectionTaps taps;
    double phase = 0.0; // cycles, 0..1
    double skew = 0.5;  // peak position used in the previous step
    // Returns the next value (-1..1) and sets sync to the wrap position or kNoSync.
    double next(double inc, double t, double& sync);
};

// Oscillator 1, pulse with width t.
struct Osc1Rect {
    CorrectionTaps taps;
    double phase = 0.0; // cycles, 0..1
    double sign = 1.0;  // current naive level, +1 or -1
    double next(double inc, double t, double& sync);
};

// Oscillator 2 waveforms; sync is oscillator 1's wrap position or kNoSync.
struct Osc2Tri {
    CorrectionTaps taps;
    double phase = 0.0;
    double next(double inc, double sync);
};
struct Osc2Rect {
    CorrectionTaps taps;
    double phase = 0.0;
    double sign = 1.0;
    double next(double inc, double sync);
};
struct Osc2Saw {
    CorrectionTaps taps;
    double phase = 0.0;
    double next(double inc, double sync);
};

// Oscillator 1: waveform 0 Tri, 1 Rect, 2 Noise. Each waveform keeps its own state.
struct Oscillator1 {
    static constexpr int kTri = 0;
    static constexpr int kRect = 1;
    static constexpr int kNoise = 2;

    Osc1Tri tri;
    Osc1Rect rect;
    // noise: the engine's white-noise value of this output sample (Noise plays it).
    double next(int waveform, double inc, double t, double noise, double& sync);
    // Sets the phase of every waveform (and the pulse's level to match).
    void seedPhase(double phase);
    // Back to the state of a new oscillator: phase 0, nothing in the windows.
    void reset();
};

// Oscillator 2: waveform 0 Tri, 1 Rect, 2 Saw.
struct Oscillator2 {
    static constexpr int kTri = 0;
    static constexpr int kRect = 1;
    static constexpr int kSaw = 2;

    Osc2Tri tri;
    Osc2Rect rect;
    Osc2Saw saw;
    double next(int waveform, double inc, double sync);
    void seedPhase(double phase);
    void reset();
};

// When a silent voice starts, oscillator 2's DC blocker is preset to the mean of
// the waveform about to play, so the note starts without a DC thump. Answers
// whether the state is to be set, and the value in state.
bool osc2DcPreset(int waveform, bool sync, double inc1, double inc2, double& state);

} // namespace Veldane
