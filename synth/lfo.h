#pragma once
// The global LFO (unipolar triangle, or square with slewed half-sine edges) and
// the delayed fade-in that every note-on restarts.

namespace Veldane {

class Lfo {
public:
    // Waveform 0 Tri, 1 Rect; any other value holds the LFO still.
    int waveform = 0;
    double value = 0.0;  // output of the current sample, 0..1
    double fade = 0.0;   // delay fade of the current sample, 0..1

    void setFrequency(double hz, double sampleRate);
    // Delay in ms; 10 samples or less means no delay.
    void setDelay(double ms, double sampleRate);
    // Edge slew of the square (4 ms per full edge).
    void setSampleRate(double sampleRate);
    // At every note-on.
    void restartDelay();
    // Once per output sample: the waveform, then the delay fade.
    void step();
    // True while a delay is set (a note-on then restarts the fade from 0).
    bool hasDelay() const;
};

} // namespace Veldane
