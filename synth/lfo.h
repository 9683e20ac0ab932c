#pragma once
// The global LFO (unipolar triangle, or square with slewed half-sine edges) and
// the delayed fade-in that every note-on restarts.
//
// Both waveforms keep their own state and run at the host rate. The square
// moves a level linearly towards its current half (a full edge in 4 ms) and
// bends that level through a half sine, so its edges have no corners. The fade
// is a one-pole that aims past 1 (at 1.05) so that it reaches 1 in finite time
// and then stops.

namespace Veldane {

class Lfo {
public:
    // Waveform 0 Tri, 1 Rect; any other value holds the LFO still.
    int waveform = 0;
    double value = 0.0;  // output of the current sample, 0..1
    double fade = 0.0;   // delay fade of the current sample, 0..1

    // Parameter thread: setFrequency, setDelay, setSampleRate (rates in Hz).
    // setFrequency and setSampleRate ignore a rate that is not finite and > 0.
    void setFrequency(double hz, double sampleRate);
    // The LFO Delay setting (labelled ms): the fade reaches full depth after
    // about 1.39 x setting / 100 seconds; a time scale of 10 samples or less
    // means no delay.
    void setDelay(double ms, double sampleRate);
    // Edge slew of the square (4 ms per full edge).
    void setSampleRate(double sampleRate);
    // Audio thread, at every note-on.
    void restartDelay();
    // Audio thread, once per output sample: the waveform, then the delay fade.
    void step();
    // True while a delay is set (a note-on then restarts the fade from 0).
    bool hasDelay() const;

    static constexpr int kTri = 0;
    static constexpr int kRect = 1;

    // Triangle.
    double triValue = 0.0;      // 0..1
    int triDirection = 1;       // +1 rising, -1 falling
    double triIncrement = 0.0;  // change per sample: 2 * frequency / sample rate (up and down make a cycle)

    // Square.
    double rectPhase = 0.0;      // phase within the current half cycle, 0..0.5 cycles
    double rectState = 0.0;      // 0.0 or 1.0: the half the square is in
    double rectLevel = 1.0;      // slewed level, 0..1, moving towards rectState
    double rectSlew = 0.0;       // level change per sample: 1 / (4 ms in samples)
    double rectIncrement = 0.0;  // phase per sample: frequency / sample rate, cycles
    double rectValue = 1.0;      // rectLevel bent through the half sine (1 at level 1); recomputed only when the level moves

    // Delay fade.
    double delayCoef = 0.0;    // one-pole coefficient of the fade, or -1 when no delay is set
    double delayLevel = 0.0;   // fade level, 0..1
    bool delayDone = false;    // the fade has reached 1
};

} // namespace Veldane
