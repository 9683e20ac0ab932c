#include "synth/voice_lanes.h"

#include <initializer_list>

#include "synth/engine.h"

namespace Veldane {

namespace {

// Every active voice carries a faint white-noise floor: it keeps the filter
// input away from exact zero (no denormals) and is far below the oscillators.
constexpr double kNoiseFloor = 0.001;
// 1e-18 keeps the DC blockers clear of denormals.
constexpr double kDenormalGuard = 1e-18;

using Lanes = LaneArray<VoiceLanes::kPairs>;

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

} // namespace

// ---- Loading and storing ----------------------------------------------------

namespace {

template <class Lanes4, class Osc>
void oscillatorToLane(Osc& o, Lanes4& s, int l)
{
    s.tap0.set(l, o.taps.tap0);
    s.tap1.set(l, o.taps.tap1);
    s.tap2.set(l, o.taps.tap2);
    s.tap3.set(l, o.taps.tap3);
    s.phase.set(l, o.phase);
    if (const double* extra = extraOf(o)) s.extra.set(l, *extra);
}

template <class Lanes4, class Osc>
void laneToOscillator(const Lanes4& s, int l, Osc& o)
{
    o.taps.tap0 = s.tap0.get(l);
    o.taps.tap1 = s.tap1.get(l);
    o.taps.tap2 = s.tap2.get(l);
    o.taps.tap3 = s.tap3.get(l);
    o.phase = s.phase.get(l);
    if (double* extra = extraOf(o)) *extra = s.extra.get(l);
}

} // namespace

void VoiceLanes::loadOscillators(int l)
{
    Voice& v = *voice_[l];
    withOsc1(v, osc1Waveform_, [&](auto& o) { oscillatorToLane(o, osc1_, l); });
    withOsc2(v, osc2Waveform_, [&](auto& o) { oscillatorToLane(o, osc2_, l); });
    dc2_.set(l, v.dc2);
    dcRing_.set(l, v.dcRing);
}

void VoiceLanes::storeOscillators(int l)
{
    Voice& v = *voice_[l];
    withOsc1(v, osc1Waveform_, [&](auto& o) { laneToOscillator(osc1_, l, o); });
    withOsc2(v, osc2Waveform_, [&](auto& o) { laneToOscillator(osc2_, l, o); });
    v.dc2 = dc2_.get(l);
    v.dcRing = dcRing_.get(l);
}

void VoiceLanes::load(const Engine& engine, Voice* voices, int count, int filterType)
{
    count_ = 0;
    for (int i = 0; i < count && i < kMaxVoices; ++i) {
        if (voices[i].isActive()) voice_[count_++] = &voices[i];
    }
    osc1Waveform_ = engine.osc1Waveform;
    osc2Waveform_ = engine.osc2Waveform;
    // The engine sets the activity of every voice alike.
    osc1Active_ = count_ > 0 && voice_[0]->osc1Active;
    osc2Active_ = count_ > 0 && voice_[0]->osc2Active;

    const Filter* filters[kMaxVoices] = {};
    for (int l = 0; l < kMaxVoices; ++l) {
        if (l < count_) {
            loadOscillators(l);
            dc2Coef_.set(l, voice_[l]->dc2Coef);
            dcRingCoef_.set(l, voice_[l]->dcRingCoef);
            filters[l] = &voice_[l]->filter;
            continue;
        }
        // A filler lane: silent state, zero input at a cutoff that never
        // moves, so it never meets an event or a denormal.
        for (OscillatorLanes* s : {&osc1_, &osc2_}) {
            for (Lanes* a : {&s->tap0, &s->tap1, &s->tap2, &s->tap3, &s->phase, &s->extra}) a->set(l, 0.0);
        }
        for (Lanes* a : {&inc1_, &inc2_, &shape_, &amp_, &cutoff_, &dc2_, &dcRing_, &dc2Coef_, &dcRingCoef_})
            a->set(l, 0.0);
    }
    filters_.load(filters, count_, filterType);
}

void VoiceLanes::store()
{
    for (int l = 0; l < count_; ++l) storeOscillators(l);
    Filter* filters[kMaxVoices];
    for (int l = 0; l < count_; ++l) filters[l] = &voice_[l]->filter;
    filters_.store(filters);
}

// ---- Oscillators in lanes ---------------------------------------------------

namespace {

// A step that met an event in lane l, done again from the state before it by
// the voice's own oscillator: `step` makes the step on the oscillator
// (returning its value); the lane then takes the oscillator's new state.
template <class Lanes4, class Pair, class Osc, class Step>
double stepAlone(Lanes4& s, int l, const Pair& before, Osc& o, Step step)
{
    laneToOscillator(before, l % kLanesPerPair, o);
    const double value = step(o);
    oscillatorToLane(o, s, l);
    return value;
}

// Pair p of an oscillator's lanes, as it stood before a step.
template <class State, class Lanes4>
State pairOf(const Lanes4& s, int p)
{
    State pair;
    pair.tap0.pair[0] = s.tap0.pair[p];
    pair.tap1.pair[0] = s.tap1.pair[p];
    pair.tap2.pair[0] = s.tap2.pair[p];
    pair.tap3.pair[0] = s.tap3.pair[p];
    pair.phase.pair[0] = s.phase.pair[p];
    pair.extra.pair[0] = s.extra.pair[p];
    return pair;
}

} // namespace

inline Double2 VoiceLanes::stepOsc1(int p, Double2& sync)
{
    using namespace osc_detail;
    sync = splat<Double2>(kNoSync);
    OscillatorLanes& s = osc1_;
    const OscillatorState<1> before = pairOf<OscillatorState<1>>(s, p);  // read when a step meets an event
    Double2 t0 = before.tap0.pair[0], t1 = before.tap1.pair[0], t2 = before.tap2.pair[0], t3 = before.tap3.pair[0];
    const Double2 phase = s.phase.pair[p];
    const Double2 inc = safeInc1_.pair[p];
    Double2 value;
    Mask2 event;
    if (osc1Waveform_ == Oscillator1::kTri) {
        const Double2 skew = s.extra.pair[p];
        const Double2 newSkew = clampedShape_.pair[p];
        const Mask2 rising = phase < skew;
        shiftTaps(t0, t1, t2, t3, skewedTriangle(phase, skew));
        const Double2 next = phase + inc;
        event = (next >= 1.0) | (rising & (next >= newSkew));
        s.extra.pair[p] = newSkew;
        s.phase.pair[p] = next;
        value = 2.0 * t0 - 1.0;
    } else {
        const Double2 level = s.extra.pair[p];
        const Double2 width = clampedShape_.pair[p];
        shiftTaps(t0, t1, t2, t3, level);
        t2 += 1.0 - 2.0 * width;
        const Double2 next = phase + inc;
        event = ((level > 0.0) & (next >= width)) | ((level < 0.0) & (next >= 1.0));
        s.phase.pair[p] = next;
        value = t0;
    }
    s.tap0.pair[p] = t0;
    s.tap1.pair[p] = t1;
    s.tap2.pair[p] = t2;
    s.tap3.pair[p] = t3;

    // Filler lanes are passed over (starting at phase 0 with the smallest
    // increment at every load, they hardly ever meet an event anyway).
    if (anyLane(event)) {
        for (int i = 0; i < kLanesPerPair; ++i) {
            const int l = kLanesPerPair * p + i;
            if (!event[i] || l >= count_) continue;
            const double inc1 = inc1_.get(l), t = shape_.get(l);
            double laneSync = kNoSync;
            withOsc1(*voice_[l], osc1Waveform_, [&](auto& o) {
                value[i] = stepAlone(s, l, before, o, [&](auto& osc) { return osc.next(inc1, t, laneSync); });
            });
            sync[i] = laneSync;
        }
    }
    return value;
}

inline Double2 VoiceLanes::stepOsc2(int p, Double2 sync)
{
    using namespace osc_detail;
    OscillatorLanes& s = osc2_;
    const OscillatorState<1> before = pairOf<OscillatorState<1>>(s, p);  // read when a step meets an event
    Double2 t0 = before.tap0.pair[0], t1 = before.tap1.pair[0], t2 = before.tap2.pair[0], t3 = before.tap3.pair[0];
    const Double2 phase = s.phase.pair[p];
    const Double2 next = phase + safeInc2_.pair[p];
    Double2 value;
    Mask2 event = sync >= 0.0;
    if (osc2Waveform_ == Oscillator2::kTri) {
        const Mask2 rising = phase < 0.5;
        shiftTaps(t0, t1, t2, t3, select(rising, phase, 1.0 - phase));
        event |= (next >= 1.0) | (rising & (next >= 0.5));
        value = 4.0 * t0 - 1.0;
    } else if (osc2Waveform_ == Oscillator2::kRect) {
        const Double2 level = s.extra.pair[p];
        shiftTaps(t0, t1, t2, t3, level);
        event |= ((level > 0.0) & (next >= 0.5)) | ((level < 0.0) & (next >= 1.0));
        value = t0;
    } else {
        shiftTaps(t0, t1, t2, t3, phase);
        event |= next > 1.0;
        value = 2.0 * t0;
    }
    s.phase.pair[p] = next;
    s.tap0.pair[p] = t0;
    s.tap1.pair[p] = t1;
    s.tap2.pair[p] = t2;
    s.tap3.pair[p] = t3;

    // Filler lanes are passed over (starting at phase 0 with the smallest
    // increment at every load, they hardly ever meet an event anyway).
    if (anyLane(event)) {
        for (int i = 0; i < kLanesPerPair; ++i) {
            const int l = kLanesPerPair * p + i;
            if (!event[i] || l >= count_) continue;
            const double inc2 = inc2_.get(l), laneSync = sync[i];
            withOsc2(*voice_[l], osc2Waveform_, [&](auto& o) {
                value[i] = stepAlone(s, l, before, o, [&](auto& osc) { return osc.next(inc2, laneSync); });
            });
        }
    }
    return value;
}

inline Double2 VoiceLanes::oscillate(const Engine& e, int p)
{
    Double2 mix = splat<Double2>(kNoiseFloor * e.whiteNoise);
    Double2 o1 = {};
    Double2 sync = splat<Double2>(kNoSync);
    if (osc1Active_) {
        if (osc1Waveform_ == Oscillator1::kTri || osc1Waveform_ == Oscillator1::kRect)
            o1 = stepOsc1(p, sync);
        else if (osc1Waveform_ == Oscillator1::kNoise)
            o1 = splat<Double2>(e.whiteNoise);
        mix += e.osc1Gain * o1;
        if (!e.osc2Sync)
            sync = splat<Double2>(kNoSync);
    }
    if (osc2Active_) {
        Double2 o2 = {};
        if (osc2Waveform_ == Oscillator2::kTri || osc2Waveform_ == Oscillator2::kRect ||
            osc2Waveform_ == Oscillator2::kSaw)
            o2 = stepOsc2(p, sync);
        Double2 dc2 = dc2_.pair[p];
        dc2 += (o2 - dc2 + kDenormalGuard) * dc2Coef_.pair[p];
        dc2_.pair[p] = dc2;
        o2 -= dc2;
        if (e.osc2RingMod) {
            const Double2 r = o2 * o1;
            Double2 dcRing = dcRing_.pair[p];
            dcRing += (r - dcRing + kDenormalGuard) * dcRingCoef_.pair[p];
            dcRing_.pair[p] = dcRing;
            o2 = r - dcRing;
        }
        mix += e.osc2Gain * o2;
    }
    return mix;
}

// ---- One output sample --------------------------------------------------------

bool VoiceLanes::render(const Engine& e, double& sum1, double& sum2)
{
    bool voiceEnded = false;
    for (int l = 0; l < count_; ++l) {
        Voice& v = *voice_[l];
        const bool starting = v.restartPending;
        VoiceFrame frame;
        v.modulate(frame);
        // A starting voice has just had its phases seeded in the voice.
        if (starting) loadOscillators(l);
        inc1_.set(l, frame.inc1);
        inc2_.set(l, frame.inc2);
        shape_.set(l, frame.shape);
        amp_.set(l, frame.amp);
        cutoff_.set(l, frame.cutoff);
        voiceEnded |= !v.isActive();
    }

    const int pairs = (count_ + kLanesPerPair - 1) / kLanesPerPair;
    for (int p = 0; p < pairs; ++p) {
        // Both oversampled steps share the increments and shape of the sample.
        safeInc1_.pair[p] = osc_detail::safeIncrement<Double2>(inc1_.pair[p]);
        safeInc2_.pair[p] = osc_detail::safeIncrement<Double2>(inc2_.pair[p]);
        clampedShape_.pair[p] = osc_detail::clampShape<Double2>(shape_.pair[p], safeInc1_.pair[p]);
    }
    for (Lanes& signal : signal_) {
        for (int p = 0; p < pairs; ++p) signal.pair[p] = oscillate(e, p);
    }
    filters_.process(cutoff_, signal_);

    // Each voice's output is its amp envelope times its filter's.
    sum1 = 0.0;
    sum2 = 0.0;
    for (int l = 0; l < count_; ++l) {
        const double a = amp_.get(l);
        sum1 += a * signal_[0].get(l);
        sum2 += a * signal_[1].get(l);
    }
    return voiceEnded;
}

} // namespace Veldane
