#include "synth/voice_lanes.h"

#include "synth/engine.h"

namespace Veldane {

namespace {

// The field besides window and phase that a waveform carries from step to
// step: the skew of oscillator 1's triangle, the level of the pulses; none
// for the others.
double* extraOf(Osc1Tri& o) { return &o.skew; }
double* extraOf(Osc1Rect& o) { return &o.sign; }
double* extraOf(Osc2Rect& o) { return &o.sign; }
template <class Osc>
double* extraOf(Osc&) { return nullptr; }

// Calls f with the waveform of oscillator 1 (2) that `waveform` selects, if
// it is one with a running state.
template <class F>
void withOsc1(Voice& v, int waveform, F f)
{
    if (waveform == Oscillator1::kTri)
        f(v.osc1.tri);
    else if (waveform == Oscillator1::kRect)
        f(v.osc1.rect);
}
template <class F>
void withOsc2(Voice& v, int waveform, F f)
{
    if (waveform == Oscillator2::kTri)
        f(v.osc2.tri);
    else if (waveform == Oscillator2::kRect)
        f(v.osc2.rect);
    else if (waveform == Oscillator2::kSaw)
        f(v.osc2.saw);
}

template <class Osc>
void oscillatorToLane(Osc& o, OscillatorLane& s)
{
    s.tap0 = o.taps.tap0;
    s.tap1 = o.taps.tap1;
    s.tap2 = o.taps.tap2;
    s.tap3 = o.taps.tap3;
    s.phase = o.phase;
    if (const double* extra = extraOf(o)) s.extra = *extra;
}

template <class Osc>
void laneToOscillator(const OscillatorLane& s, Osc& o)
{
    o.taps.tap0 = s.tap0;
    o.taps.tap1 = s.tap1;
    o.taps.tap2 = s.tap2;
    o.taps.tap3 = s.tap3;
    o.phase = s.phase;
    if (double* extra = extraOf(o)) *extra = s.extra;
}

OscillatorLane laneOf(const LaneState::Oscillators& o, int l)
{
    return {o.tap0[l], o.tap1[l], o.tap2[l], o.tap3[l], o.phase[l], o.extra[l]};
}

void setLane(LaneState::Oscillators& o, int l, const OscillatorLane& s)
{
    o.tap0[l] = s.tap0;
    o.tap1[l] = s.tap1;
    o.tap2[l] = s.tap2;
    o.tap3[l] = s.tap3;
    o.phase[l] = s.phase;
    o.extra[l] = s.extra;
}

} // namespace

double stepOscillator1Alone(Voice& v, int waveform, OscillatorLane& state, double inc, double shape)
{
    double sync = kNoSync;
    withOsc1(v, waveform, [&](auto& o) {
        laneToOscillator(state, o);
        o.next(inc, shape, sync);
        oscillatorToLane(o, state);
    });
    return sync;
}

void stepOscillator2Alone(Voice& v, int waveform, OscillatorLane& state, double inc, double sync)
{
    withOsc2(v, waveform, [&](auto& o) {
        laneToOscillator(state, o);
        o.next(inc, sync);
        oscillatorToLane(o, state);
    });
}

// ---- Loading and storing ----------------------------------------------------

void VoiceLanes::loadOscillators(int l)
{
    LaneState& st = state_;
    Voice& v = *st.voice[l];
    OscillatorLane lane = laneOf(st.osc1, l);
    withOsc1(v, st.settings.osc1Waveform, [&](auto& o) { oscillatorToLane(o, lane); });
    setLane(st.osc1, l, lane);
    lane = laneOf(st.osc2, l);
    withOsc2(v, st.settings.osc2Waveform, [&](auto& o) { oscillatorToLane(o, lane); });
    setLane(st.osc2, l, lane);
    st.dc2[l] = v.dc2;
    st.dcRing[l] = v.dcRing;
}

void VoiceLanes::storeOscillators(int l)
{
    const LaneState& st = state_;
    Voice& v = *st.voice[l];
    const OscillatorLane one = laneOf(st.osc1, l), two = laneOf(st.osc2, l);
    withOsc1(v, st.settings.osc1Waveform, [&](auto& o) { laneToOscillator(one, o); });
    withOsc2(v, st.settings.osc2Waveform, [&](auto& o) { laneToOscillator(two, o); });
    v.dc2 = st.dc2[l];
    v.dcRing = st.dcRing[l];
}

void VoiceLanes::load(const Engine& engine, Voice* voices, int count)
{
    LaneState& st = state_;
    st.count = 0;
    settled_ = false;
    for (int i = 0; i < count && i < kMaxVoices; ++i) {
        if (voices[i].isActive()) st.voice[st.count++] = &voices[i];
    }

    LaneSettings& s = st.settings;
    s.osc1Waveform = engine.osc1Waveform;
    s.osc2Waveform = engine.osc2Waveform;
    // The engine sets the activity of every voice alike.
    s.osc1Active = st.count > 0 && st.voice[0]->osc1Active;
    s.osc2Active = st.count > 0 && st.voice[0]->osc2Active;
    s.osc2Sync = engine.osc2Sync;
    s.osc2RingMod = engine.osc2RingMod;
    s.osc1Gain = engine.osc1Gain;
    s.osc2Gain = engine.osc2Gain;
    s.filterType = engine.filterType();

    for (int l = 0; l < kMaxLanes; ++l) {
        if (l < st.count) {
            loadOscillators(l);
            st.dc2Coef[l] = st.voice[l]->dc2Coef;
            st.dcRingCoef[l] = st.voice[l]->dcRingCoef;
            st.filter.load(l, st.voice[l]->filter);
            continue;
        }
        // A lane beside the voices holds none: silent state that its
        // modulation (all zeros) keeps finite and free of events.
        const OscillatorLane silent = {};
        setLane(st.osc1, l, silent);
        setLane(st.osc2, l, silent);
        st.dc2[l] = st.dcRing[l] = st.dc2Coef[l] = st.dcRingCoef[l] = 0.0;
        st.filter.clear(l);
        for (int n = 0; n < kChunk; ++n) {
            for (auto* table : {st.inc1, st.inc2, st.shape, st.cutoff, st.amp}) table[n][l] = 0.0;
        }
    }
}

void VoiceLanes::store()
{
    LaneState& st = state_;
    for (int l = 0; l < st.count; ++l) {
        storeOscillators(l);
        st.filter.store(l, st.voice[l]->filter);
    }
}

// ---- A chunk's modulation ---------------------------------------------------

bool VoiceLanes::modulateVoices(int n, const ModulationInputs& in)
{
    LaneState& st = state_;
    bool voiceEnded = false;
    bool settled = true;
    for (int l = 0; l < st.count; ++l) {
        Voice& v = *st.voice[l];
        const bool starting = v.restartPending;
        VoiceFrame f;
        v.modulate(in, f);
        // A starting voice has just had its phases seeded in the voice.
        if (starting) loadOscillators(l);
        voiceEnded |= !v.isActive();
        settled &= v.settled();
        st.inc1[n][l] = f.inc1;
        st.inc2[n][l] = f.inc2;
        st.shape[n][l] = f.shape;
        st.cutoff[n][l] = f.cutoff;
        st.amp[n][l] = f.amp;
    }
    settled_ = settled;
    lastInputs_ = in;
    return voiceEnded;
}

} // namespace Veldane
