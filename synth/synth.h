#pragma once
// The synthesizer as every plug-in format sees it: the parameter set, the
// engine, the routing from one to the other, and what a note, the pedal and a
// bend do. A format's wrapper translates its host's calls into these and
// nothing else: it knows no parameter and no engine setting by itself.
//
// Threads. Any thread may write parameters (params.set); the audio thread
// takes the changes at the start of each processing call
// (applyParameterChanges), before that call's events, so the engine is only
// ever written by the audio thread while processing runs. setSampleRate and
// construction run while no processing does (a host changes the rate with
// processing switched off) and may write the engine directly.
#include "framework/event.h"
#include "synth/engine.h"
#include "synth/parameters.h"

namespace Veldane {

class Synth {
public:
    // Host's sample rate before it tells us one.
    static constexpr double kDefaultSampleRate = 44100.0;

    // Builds the parameters with their defaults and the engine, applies the
    // default sample rate and routes every parameter into the engine.
    Synth();
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;

    // The parameter set (any thread) and the engine (audio thread).
    Parameters params;
    Engine engine;

    // Current sample rate in Hz.
    double sampleRate() const noexcept { return sampleRate_; }

    // While no processing runs. Stores the rate (Hz; finite and > 0, others
    // are ignored), recomputes every rate-dependent setting from its
    // parameter, then tells the engine.
    void setSampleRate(double rate);

    // Audio thread, at the start of every processing call before its events
    // (or any one thread while no processing runs): routes every parameter
    // changed since the last call into the engine. Never allocates or locks.
    void applyParameterChanges();

    // Audio thread, between rendered segments: a note-on restarts the LFO's
    // fade-in and goes to the voice manager, as do note-offs and the pedal; a
    // bend sets the engine's bend target. Other event kinds do nothing.
    void handleEvent(const zem::Event& event) noexcept;

    // Audio thread: exactly `count` samples (none for count <= 0).
    void render(int count, float* out) { engine.render(count, out); }
    void render(int count, double* out) { engine.render(count, out); }

private:
    // Converts parameter `id` from its unit into the engine's settings
    // (synth/parameter_routing.cpp). Ids outside the set route nothing.
    void route(int id);

    double sampleRate_ = kDefaultSampleRate;
};

} // namespace Veldane
