#include "synth/voice.h"

#include <cmath>

#include "synth/engine.h"

namespace Veldane {

namespace {

constexpr double kOctavesPerSemitone = 0.08333333333333333; // 1/12
// Key tracking pivots on note 60 (five octaves above note 0).
constexpr double kKeyTrackPivotOctaves = 5.0;
// A glide aims 1 % beyond its target (a factor on the pitch in octaves), so the
// exponential approach crosses the target in finite time and then snaps to it.
constexpr double kGlideAimUp = 1.01;
constexpr double kGlideAimDown = 0.99;

} // namespace

void Voice::setNote(int n, bool glide)
{
    notePitch = n * kOctavesPerSemitone;
    if (glide) {
        glideTarget = notePitch;
        glideActive = true;
    } else {
        glideActive = false;
        glidePitch = notePitch;
    }
    note = n;
    keyTrackOffset = (engine->masterTune + notePitch - kKeyTrackPivotOctaves) * engine->keyTrack + engine->pitchBase;
}

void Voice::trigger()
{
    restartPending = amp.isIdle() && mod.isIdle();
    gate = true;
    amp.trigger();
    mod.trigger();
}

void Voice::release()
{
    gate = false;
    amp.release();
    mod.release();
}

bool Voice::stateIsFinite() const
{
    // NaN and infinity carry through a sum (finite states never come near
    // the overflow of adding them).
    const double sum = filter.s1 + filter.s2 + filter.s3 + filter.s4 + filter.lp2S1 + filter.lp2S2 + dc2 + dcRing +
                       amp.level + mod.level + glidePitch + osc1.tri.phase + osc1.rect.phase + osc2.tri.phase +
                       osc2.rect.phase + osc2.saw.phase;
    return std::isfinite(sum);
}

void Voice::silence()
{
    gate = false;
    restartPending = false;
    amp.reset();
    mod.reset();
    filter.reset();
    osc1.reset();
    osc2.reset();
    dc2 = 0.0;
    dcRing = 0.0;
    glideActive = false;
    glidePitch = notePitch;
}

void Voice::stepGlide()
{
    double next;
    bool finished;
    if (glideTarget > glidePitch) {
        next = (glideTarget * kGlideAimUp - glidePitch) * glideCoef + glidePitch;
        finished = next >= glideTarget;
    } else {
        next = (glideTarget * kGlideAimDown - glidePitch) * glideCoef + glidePitch;
        finished = next <= glideTarget;
    }
    glidePitch = next;
    if (finished) {
        glideActive = false;
        glidePitch = glideTarget;
    }
}

// A voice that starts from silence takes its phases from the engine's
// free-running phases scaled to its note, so notes do not all start at phase 0;
// with sync, oscillator 2 starts where it would be since oscillator 1's last
// reset. Oscillator 2's DC blocker starts at the coming waveform's mean.
void Voice::seedPhases(double inc1, double inc2)
{
    const Engine& e = *engine;
    const double ratio = pow2(notePitch);
    const double phase1 = std::fmod(ratio * e.osc1FreePhase, 1.0);
    osc1.seedPhase(phase1);
    const double synced = inc1 > 0.0 ? phase1 * inc2 / inc1 : 0.0;
    const double phase2 = std::fmod(e.osc2Sync ? synced : e.osc2FreePhase * ratio, 1.0);
    osc2.seedPhase(phase2);
    double preset;
    if (osc2DcPreset(e.osc2Waveform, e.osc2Sync, inc1, inc2, preset))
        dc2 = preset;
}

} // namespace Veldane
