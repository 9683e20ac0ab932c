#include "synth/voice_lanes.h"

#include "synth/engine.h"

namespace Veldane {

namespace {

// Every active voice carries a faint white-noise floor: it keeps the filter
// input away from exact zero (no denormals) and is far below the oscillators.
constexpr double kNoiseFloor = 0.001;
// 1e-18 keeps the DC blockers clear of denormals.
constexpr double kDenormalGuard = 1e-18;

using OscillatorPair = VoiceLanes::OscillatorPair;

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
void oscillatorToLane(Osc& o, OscillatorPair& s, int lane)
{
    s.tap0[lane] = o.taps.tap0;
    s.tap1[lane] = o.taps.tap1;
    s.tap2[lane] = o.taps.tap2;
    s.tap3[lane] = o.taps.tap3;
    s.phase[lane] = o.phase;
    if (const double* extra = extraOf(o)) s.extra[lane] = *extra;
}

template <class Osc>
void laneToOscillator(const OscillatorPair& s, int lane, Osc& o)
{
    o.taps.tap0 = s.tap0[lane];
    o.taps.tap1 = s.tap1[lane];
    o.taps.tap2 = s.tap2[lane];
    o.taps.tap3 = s.tap3[lane];
    o.phase = s.phase[lane];
    if (double* extra = extraOf(o)) *extra = s.extra[lane];
}

// An oscillator pair's state in registers.
struct OscillatorRegisters {
    Double2 tap0, tap1, tap2, tap3, phase, extra;

    explicit OscillatorRegisters(const OscillatorPair& s)
        : tap0(s.tap0), tap1(s.tap1), tap2(s.tap2), tap3(s.tap3), phase(s.phase), extra(s.extra)
    {
    }
    OscillatorRegisters() = default;

    void storeTo(OscillatorPair& s) const
    {
        s.tap0 = tap0;
        s.tap1 = tap1;
        s.tap2 = tap2;
        s.tap3 = tap3;
        s.phase = phase;
        s.extra = extra;
    }
};

// Moves a window on by one step and enters the naive value, as
// CorrectionTaps::shift does: `next` is r after the step, before any
// correction.
inline void shiftInto(const OscillatorRegisters& r, Double2 naive, OscillatorRegisters& next)
{
    next.tap0 = r.tap1;
    next.tap1 = r.tap2 + naive;
    next.tap2 = r.tap3;
    next.tap3 = Double2{};
}

// Runs one oscillator of a pair a sample at a time (advance), its state in
// registers from construction to finish. Per sample n, `sample(n)` sets up
// the sample's values; then, per step, `step(r, next)` makes the step as
// every waveform makes one without an event (r before, next after) and
// answers the lanes that met an event (laneBits); with `forced`, a step s in
// which forced[s].lanes is not 0 (oscillator 1 wrapped in a lane, for the
// sync) counts as one too. For those, `alone(s, before, after)` gives the
// step to the voices' own oscillators. `output(tap0, s)` receives the step's
// oldest tap.
template <class Forced, class Sample, class Step, class Alone, class Output>
struct OscillatorRun {
    OscillatorPair& state;
    const Forced* forced;
    Sample sample;
    Step step;
    Alone alone;
    Output output;
    OscillatorRegisters r{state};

    [[gnu::always_inline]] void advance(int n)
    {
        sample(n);
        for (int s = 2 * n; s < 2 * n + 2; ++s) {
            OscillatorRegisters next;
            const int event = step(r, next);
            if (event != 0 || (forced && forced[s].lanes != 0)) {
                // Rare: a corner, edge, wrap or sync in this step. Through
                // memory, where the voices' oscillators read and write.
                OscillatorPair before, after;
                r.storeTo(before);
                next.storeTo(after);
                alone(s, before, after);
                next = OscillatorRegisters(after);
            }
            r = next;
            output(r.tap0, s);
        }
    }
    void finish() { r.storeTo(state); }
};

// Hands `use` the run of an oscillator (see OscillatorRun), then takes its
// state back from the registers.
template <class Forced, class Sample, class Step, class Alone, class Output, class Use>
[[gnu::always_inline]] inline void runOscillator(OscillatorPair& state, const Forced* forced, Sample sample, Step step,
                                                 Alone alone, Output output, Use use)
{
    OscillatorRun<Forced, Sample, Step, Alone, Output> run{state, forced, sample, step, alone, output};
    use(run);
    run.finish();
}

// An oscillator that is not computed: each sample writes its fixed values.
template <class Fill>
struct FixedRun {
    Fill fill;
    [[gnu::always_inline]] void advance(int n) { fill(n); }
};
template <class Fill>
FixedRun<Fill> fixedRun(Fill fill)
{
    return FixedRun<Fill>{fill};
}

} // namespace

// ---- Loading and storing ----------------------------------------------------

void VoiceLanes::loadOscillators(int l)
{
    Voice& v = *voice_[l];
    Pair& pair = pairs_[l / kLanesPerPair];
    const int lane = l % kLanesPerPair;
    withOsc1(v, settings_.osc1Waveform, [&](auto& o) { oscillatorToLane(o, pair.osc1, lane); });
    withOsc2(v, settings_.osc2Waveform, [&](auto& o) { oscillatorToLane(o, pair.osc2, lane); });
    pair.dc2[lane] = v.dc2;
    pair.dcRing[lane] = v.dcRing;
}

void VoiceLanes::storeOscillators(int l)
{
    Voice& v = *voice_[l];
    const Pair& pair = pairs_[l / kLanesPerPair];
    const int lane = l % kLanesPerPair;
    withOsc1(v, settings_.osc1Waveform, [&](auto& o) { laneToOscillator(pair.osc1, lane, o); });
    withOsc2(v, settings_.osc2Waveform, [&](auto& o) { laneToOscillator(pair.osc2, lane, o); });
    v.dc2 = pair.dc2[lane];
    v.dcRing = pair.dcRing[lane];
}

void VoiceLanes::load(const Engine& engine, Voice* voices, int count)
{
    count_ = 0;
    settled_ = false;
    for (int i = 0; i < count && i < kMaxVoices; ++i) {
        if (voices[i].isActive()) voice_[count_++] = &voices[i];
    }
    pairCount_ = (count_ + kLanesPerPair - 1) / kLanesPerPair;

    LaneSettings& s = settings_;
    s.osc1Waveform = engine.osc1Waveform;
    s.osc2Waveform = engine.osc2Waveform;
    // The engine sets the activity of every voice alike.
    s.osc1Active = count_ > 0 && voice_[0]->osc1Active;
    s.osc2Active = count_ > 0 && voice_[0]->osc2Active;
    s.osc2Sync = engine.osc2Sync;
    s.osc2RingMod = engine.osc2RingMod;
    s.osc1Gain = engine.osc1Gain;
    s.osc2Gain = engine.osc2Gain;
    s.filterType = engine.filterType();

    for (int l = 0; l < pairCount_ * kLanesPerPair; ++l) {
        Pair& pair = pairs_[l / kLanesPerPair];
        const int lane = l % kLanesPerPair;
        if (l < count_) {
            loadOscillators(l);
            pair.dc2Coef[lane] = voice_[l]->dc2Coef;
            pair.dcRingCoef[lane] = voice_[l]->dcRingCoef;
            pair.filter.load(lane, voice_[l]->filter);
            continue;
        }
        // The lane beside an odd voice holds none: silent state that its
        // modulation (all zeros) keeps finite and free of events.
        for (OscillatorPair* o : {&pair.osc1, &pair.osc2}) {
            for (StoredDouble2* a : {&o->tap0, &o->tap1, &o->tap2, &o->tap3, &o->phase, &o->extra}) (*a)[lane] = 0.0;
        }
        for (StoredDouble2* a : {&pair.dc2, &pair.dcRing, &pair.dc2Coef, &pair.dcRingCoef}) (*a)[lane] = 0.0;
        pair.filter.clear(lane);
        for (int n = 0; n < kChunk; ++n) {
            for (StoredDouble2* a : {pair.inc1, pair.inc2, pair.shape, pair.cutoff, pair.amp}) a[n][lane] = 0.0;
        }
    }
}

void VoiceLanes::store()
{
    for (int l = 0; l < count_; ++l) {
        storeOscillators(l);
        pairs_[l / kLanesPerPair].filter.store(l % kLanesPerPair, voice_[l]->filter);
    }
}

// ---- Oscillators in lanes ---------------------------------------------------

void VoiceLanes::stepOsc1Alone(Pair& pair, int p, int s, Double2 inc, Double2 shape, const OscillatorPair& before,
                               OscillatorPair& after)
{
    SyncPositions& sync = pair.sync[s];
    for (int lane = 0; lane < kLanesPerPair; ++lane) {
        const int l = kLanesPerPair * p + lane;
        if (l >= count_) break;
        // The oscillator clamps its increment and shape as the lanes did; a
        // value within the range passes unchanged.
        double laneSync = kNoSync;
        withOsc1(*voice_[l], settings_.osc1Waveform, [&](auto& o) {
            laneToOscillator(before, lane, o);
            o.next(inc[lane], shape[lane], laneSync);
            oscillatorToLane(o, after, lane);
        });
        // Without the sync, oscillator 2 never hears of the wraps.
        if (laneSync >= 0.0 && settings_.osc2Sync) sync.lanes |= 1 << lane;
        sync.position[lane] = laneSync;
    }
}

void VoiceLanes::stepOsc2Alone(Pair& pair, int p, int s, Double2 inc, const OscillatorPair& before,
                               OscillatorPair& after)
{
    const SyncPositions& sync = pair.sync[s];
    for (int lane = 0; lane < kLanesPerPair; ++lane) {
        const int l = kLanesPerPair * p + lane;
        if (l >= count_) break;
        const double laneSync = (sync.lanes >> lane) & 1 ? sync.position[lane] : kNoSync;
        withOsc2(*voice_[l], settings_.osc2Waveform, [&](auto& o) {
            laneToOscillator(before, lane, o);
            o.next(inc[lane], laneSync);
            oscillatorToLane(o, after, lane);
        });
    }
}

template <class Use>
void VoiceLanes::withOscillator1(Pair& pair, int p, Use use)
{
    const LaneSettings& st = settings_;
    const bool runs = st.osc1Waveform == Oscillator1::kTri || st.osc1Waveform == Oscillator1::kRect;
    if (!st.osc1Active || !runs) {
        // Noise plays the sample's white noise in every voice; no waveform, nothing.
        const bool noise = st.osc1Active && st.osc1Waveform == Oscillator1::kNoise;
        auto run = fixedRun([&](int n) {
            for (int s = 2 * n; s < 2 * n + 2; ++s) {
                pair.osc1Out[s] = splat<Double2>(noise ? whiteNoise_[n] : 0.0);
                pair.sync[s].lanes = 0;
            }
        });
        use(run);
        return;
    }
    using Regs = OscillatorRegisters;
    // The sample's increment and shape, as the oscillator holds them.
    Double2 inc, shape, meanCorrection;
    auto alone = [&](int s, const OscillatorPair& before, OscillatorPair& after) {
        stepOsc1Alone(pair, p, s, inc, shape, before, after);
    };
    auto output = [&](Double2 value, int s) { pair.osc1Out[s] = value; };
    // A wrap is reported by a voice's own step (stepOsc1Alone).
    auto sample = [&](int n) {
        pair.sync[2 * n].lanes = pair.sync[2 * n + 1].lanes = 0;
        inc = osc_detail::safeIncrement<Double2>(pair.inc1[n]);
        shape = osc_detail::clampShape<Double2>(pair.shape[n], inc);
    };
    if (settings_.osc1Waveform == Oscillator1::kTri) {
        // The naive value belongs to the step just finished, under the skew
        // in force then (extra); the new skew takes over from this step on.
        runOscillator(
            pair.osc1, static_cast<const SyncPositions*>(nullptr), sample,
            [&](const Regs& r, Regs& next) {
                const Mask2 rising = r.phase < r.extra;
                shiftInto(r, osc_detail::skewedTriangle(r.phase, r.extra), next);
                next.phase = r.phase + inc;
                next.extra = shape;
                return laneBits(next.phase >= 1.0) | (laneBits(rising) & laneBits(next.phase >= shape));
            },
            alone, [&](Double2 tap0, int s) { output(2.0 * tap0 - 1.0, s); }, use);
    } else {
        // The pulse, its level in extra. Its mean 2w - 1 is removed one tap
        // behind the level (see Osc1Rect::next).
        runOscillator(
            pair.osc1, static_cast<const SyncPositions*>(nullptr),
            [&](int n) {
                sample(n);
                meanCorrection = 1.0 - 2.0 * shape;
            },
            [&](const Regs& r, Regs& next) {
                shiftInto(r, r.extra, next);
                next.tap2 += meanCorrection;
                next.phase = r.phase + inc;
                next.extra = r.extra;
                return (laneBits(r.extra > 0.0) & laneBits(next.phase >= shape)) |
                       (laneBits(r.extra < 0.0) & laneBits(next.phase >= 1.0));
            },
            alone, output, use);
    }
}

template <class Use>
void VoiceLanes::withOscillator2(Pair& pair, int p, Use use)
{
    const LaneSettings& st = settings_;
    const bool runs = st.osc2Waveform == Oscillator2::kTri || st.osc2Waveform == Oscillator2::kRect ||
                      st.osc2Waveform == Oscillator2::kSaw;
    if (!st.osc2Active || !runs) {
        auto run = fixedRun([&](int n) { pair.signal[2 * n] = pair.signal[2 * n + 1] = Double2{}; });
        use(run);
        return;
    }
    using Regs = OscillatorRegisters;
    Double2 inc;
    auto sample = [&](int n) { inc = osc_detail::safeIncrement<Double2>(pair.inc2[n]); };
    auto alone = [&](int s, const OscillatorPair& before, OscillatorPair& after) {
        stepOsc2Alone(pair, p, s, inc, before, after);
    };
    auto output = [&](Double2 value, int s) { pair.signal[s] = value; };
    // A step in which oscillator 1 wrapped in a lane is an event (when the
    // sync is on; otherwise no lane is reported).
    const SyncPositions* synced = settings_.osc2Sync ? pair.sync : nullptr;
    const int waveform = settings_.osc2Waveform;
    if (waveform == Oscillator2::kTri) {
        runOscillator(
            pair.osc2, synced, sample,
            [&](const Regs& r, Regs& next) {
                const Mask2 rising = r.phase < 0.5;
                shiftInto(r, select(rising, r.phase, 1.0 - r.phase), next);
                next.phase = r.phase + inc;
                next.extra = r.extra;
                return laneBits(next.phase >= 1.0) | (laneBits(rising) & laneBits(next.phase >= 0.5));
            },
            alone, [&](Double2 tap0, int s) { output(4.0 * tap0 - 1.0, s); }, use);
    } else if (waveform == Oscillator2::kRect) {
        runOscillator(
            pair.osc2, synced, sample,
            [&](const Regs& r, Regs& next) {
                shiftInto(r, r.extra, next);
                next.phase = r.phase + inc;
                next.extra = r.extra;
                return (laneBits(r.extra > 0.0) & laneBits(next.phase >= 0.5)) |
                       (laneBits(r.extra < 0.0) & laneBits(next.phase >= 1.0));
            },
            alone, output, use);
    } else {
        runOscillator(
            pair.osc2, synced, sample,
            [&](const Regs& r, Regs& next) {
                shiftInto(r, r.phase, next);
                next.phase = r.phase + inc;
                next.extra = r.extra;
                return laneBits(next.phase > 1.0);
            },
            alone, [&](Double2 tap0, int s) { output(2.0 * tap0, s); }, use);
    }
}

template <int kN, class BeforeSample>
void VoiceLanes::mixAndFilter(int count, double* sum1, double* sum2, BeforeSample beforeSample)
{
    const LaneSettings& st = settings_;
    const bool osc1Active = st.osc1Active, osc2Active = st.osc2Active, ringMod = st.osc2RingMod;
    const int type = st.filterType;
    const Double2 gain1 = splat<Double2>(st.osc1Gain);
    const Double2 gain2 = splat<Double2>(st.osc2Gain);
    Double2 dc2[kN], dcRing[kN];
    for (int p = 0; p < kN; ++p) {
        dc2[p] = pairs_[p].dc2;
        dcRing[p] = pairs_[p].dcRing;
    }
    for (int n = 0; n < count; ++n) {
        beforeSample(n);
        for (int p = 0; p < kN; ++p) pairs_[p].filter.setCutoff(pairs_[p].cutoff[n], type);
        const Double2 noiseFloor = splat<Double2>(noiseFloor_[n]);
        Double2 y[kN][2];
        for (int step = 0; step < 2; ++step) {
            const int s = 2 * n + step;
            for (int p = 0; p < kN; ++p) {
                Pair& pair = pairs_[p];
                Double2 mix = noiseFloor;
                const Double2 o1 = pair.osc1Out[s];
                if (osc1Active) mix += gain1 * o1;
                if (osc2Active) {
                    Double2 v = pair.signal[s];
                    dc2[p] += (v - dc2[p] + kDenormalGuard) * Double2(pair.dc2Coef);
                    v -= dc2[p];
                    if (ringMod) {
                        const Double2 r = v * o1;
                        dcRing[p] += (r - dcRing[p] + kDenormalGuard) * Double2(pair.dcRingCoef);
                        v = r - dcRing[p];
                    }
                    mix += gain2 * v;
                }
                y[p][step] = pair.filter.step(mix, type);
            }
        }
        // Each voice's output is its amp envelope times its filter's, summed
        // in voice order: voice 2p, then 2p + 1 if that lane holds a voice.
        Double2 sums = {0.0, 0.0};  // the two oversampled values' sums
        for (int p = 0; p < kN; ++p) {
            const Double2 amp = pairs_[p].amp[n];
            const Double2 y1 = amp * y[p][0];
            const Double2 y2 = amp * y[p][1];
            sums += __builtin_shuffle(y1, y2, Mask2{0, 2});
            if (kLanesPerPair * p + 1 < count_) sums += __builtin_shuffle(y1, y2, Mask2{1, 3});
        }
        sum1[n] = sums[0];
        sum2[n] = sums[1];
    }
    for (int p = 0; p < kN; ++p) {
        pairs_[p].dc2 = dc2[p];
        pairs_[p].dcRing = dcRing[p];
    }
}

// ---- A chunk ----------------------------------------------------------------

bool VoiceLanes::modulate(int n, const ModulationInputs& in, double whiteNoise)
{
    whiteNoise_[n] = whiteNoise;
    noiseFloor_[n] = kNoiseFloor * whiteNoise;
    if (n > 0 && settled_ && sameVoiceInputs(in, lastInputs_)) {
        // Held notes at a standing pitch: every voice would make the
        // previous sample's frame again and change nothing of its own.
        for (int p = 0; p < pairCount_; ++p) {
            Pair& pair = pairs_[p];
            for (StoredDouble2* a : {pair.inc1, pair.inc2, pair.shape, pair.cutoff, pair.amp}) a[n] = a[n - 1];
        }
        return false;
    }
    bool voiceEnded = false;
    bool settled = true;
    for (int l = 0; l < count_; ++l) {
        Voice& v = *voice_[l];
        const bool starting = v.restartPending;
        VoiceFrame f;
        v.modulate(in, f);
        // A starting voice has just had its phases seeded in the voice.
        if (starting) loadOscillators(l);
        voiceEnded |= !v.isActive();
        settled &= v.settled();
        Pair& pair = pairs_[l / kLanesPerPair];
        const int lane = l % kLanesPerPair;
        pair.inc1[n][lane] = f.inc1;
        pair.inc2[n][lane] = f.inc2;
        pair.shape[n][lane] = f.shape;
        pair.cutoff[n][lane] = f.cutoff;
        pair.amp[n][lane] = f.amp;
    }
    settled_ = settled;
    lastInputs_ = in;
    return voiceEnded;
}

void VoiceLanes::synthesize(int count, double* sum1, double* sum2)
{
    if (pairCount_ == 1) {
        // One pair: its filter's chain alone would leave the processor
        // waiting on each operation, so the oscillators' next sample runs in
        // the same loop and fills those waits.
        Pair& pair = pairs_[0];
        withOscillator1(pair, 0, [&](auto& osc1) {
            withOscillator2(pair, 0, [&](auto& osc2) {
                mixAndFilter<1>(count, sum1, sum2, [&](int n) {
                    osc1.advance(n);
                    osc2.advance(n);
                });
            });
        });
        return;
    }
    // Several pairs: each pair's oscillators over the whole chunk, then the
    // mix and the filters, sample by sample, the pairs' steps side by side:
    // each filter step is one long chain of dependent operations, and the
    // pairs' chains and the DC blockers' run alongside one another.
    for (int p = 0; p < pairCount_; ++p) {
        Pair& pair = pairs_[p];
        const auto wholeChunk = [count](auto& osc) {
            for (int n = 0; n < count; ++n) osc.advance(n);
        };
        withOscillator1(pair, p, wholeChunk);
        withOscillator2(pair, p, wholeChunk);
    }
    const auto nothing = [](int) {};
    switch (pairCount_) {
    case 2: mixAndFilter<2>(count, sum1, sum2, nothing); break;
    case 3: mixAndFilter<3>(count, sum1, sum2, nothing); break;
    case 4: mixAndFilter<4>(count, sum1, sum2, nothing); break;
    default:
        for (int n = 0; n < count; ++n) sum1[n] = sum2[n] = 0.0;
    }
}

} // namespace Veldane
