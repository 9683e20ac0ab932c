#include "synth/synth.h"

#include <cmath>

namespace Veldane {

namespace {

// A bend value of +-8192 means the full bend range: 1 / 8192.
constexpr double kBendScale = 0.0001220703125;

} // namespace

Synth::Synth() {
    setSampleRate(kDefaultSampleRate);
    // In id order; Voice Mode creates the first voice manager.
    for (int id = 0; id < kParamCount; ++id) route(id);
}

void Synth::setSampleRate(double rate) {
    if (!(rate > 0.0) || !std::isfinite(rate)) return;
    sampleRate_ = rate;
    // Every parameter whose engine setting is a per-sample rate or
    // coefficient, so that each keeps its time in ms or its frequency in Hz.
    for (ParamId id : {kLfoFrequency, kLfoDelay, kAmpAttack, kAmpDecay, kAmpRelease, kModAttack, kModDecay,
                       kModRelease, kGlideTime})
        route(id);
    engine.setSampleRate(rate);
}

void Synth::applyParameterChanges() {
    params.applyChanges([this](int id) { route(id); });
}

void Synth::handleEvent(const zem::Event& event) noexcept {
    zem::IVoiceManager* voices = engine.voiceManager;
    switch (event.type) {
    case zem::Event::NoteOn:
        // Every note-on restarts the LFO's fade-in, also a note played legato.
        engine.restartLfoDelay();
        if (voices) voices->noteOn(event.data1, static_cast<double>(event.data2));
        break;
    case zem::Event::NoteOff:
        if (voices) voices->noteOff(event.data1);
        break;
    case zem::Event::SustainOn:
        if (voices) voices->setSustain(true);
        break;
    case zem::Event::SustainOff:
        if (voices) voices->setSustain(false);
        break;
    case zem::Event::PitchBend:
        engine.bendTarget = engine.bendRange * kBendScale * event.data1;
        break;
    default:
        break;
    }
}

} // namespace Veldane
