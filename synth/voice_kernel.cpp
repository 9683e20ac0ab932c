// The voice loop (see synth/voice_lanes.h): the voices' oscillators, the mix,
// the filters and the amp envelopes for a chunk, in groups of W voices side
// by side. This one file is compiled once per target (CMakeLists.txt):
// VELDANE_VOICE_LANES is the widest W it runs (2: SSE2, 4: AVX2 and AVX-512,
// see synth/voice_path.h) and VELDANE_VOICE_LOOP the name of the loop it defines
// (synth/voice_path.h). Everything here but that loop has internal linkage,
// and every helper of the headers it uses is always inlined, so no function
// compiled for a wider target is ever shared with code built for another
// (tests/voice_loop_objects.cmake checks the objects).
//
// Oscillators: a step without an event (no wrap, corner, edge or sync
// within it) is the same few operations for every voice and runs in lanes;
// when a voice meets an event, that voice takes the step alone through its
// own oscillator (synth/oscillators.h), which owns the corrections. Both are
// the same operations in the same order, so each voice gives the bits it
// gives computed alone.
//
// With one group, the oscillators' sample n is computed at the start of the
// filter's sample n, in one loop: a filter step is one long chain of
// dependent operations, and the oscillators' work fills the processor's
// waits on it. With several groups, each group's oscillators run over the
// whole chunk first, then the filters, sample by sample, the groups' chains
// side by side.
#include <cstring>

#include "synth/voice_lanes.h"
#include "synth/voice_path.h"

#if !defined(VELDANE_VOICE_LANES) || !defined(VELDANE_VOICE_LOOP)
#error "compiled once per target: define VELDANE_VOICE_LANES and VELDANE_VOICE_LOOP"
#endif

namespace Veldane {

namespace {

// 1e-18 keeps the DC blockers clear of denormals.
constexpr double kDenormalGuard = 1e-18;

// AVX-512 in 64-bit code has 32 vector registers (32-bit code has 8, AVX2 16).
#if defined(__AVX512VL__) && defined(__x86_64__)
constexpr bool kThirtyTwoRegisters = true;
#else
constexpr bool kThirtyTwoRegisters = false;
#endif

// The loop for groups of W voices.
template <int W>
struct LoopOfWidth {
    using V = Lanes<W>;
    using M = LaneMask<W>;
    static constexpr int kMaxGroups = kMaxLanes / W;
    static constexpr int kGroupBits = (1 << W) - 1;

    // One oscillator of a group in registers.
    struct OscillatorRegisters {
        V tap0, tap1, tap2, tap3, phase, extra;

        [[gnu::always_inline]] void load(const LaneState::Oscillators& s, int first)
        {
            tap0 = loadLanes<W>(s.tap0 + first);
            tap1 = loadLanes<W>(s.tap1 + first);
            tap2 = loadLanes<W>(s.tap2 + first);
            tap3 = loadLanes<W>(s.tap3 + first);
            phase = loadLanes<W>(s.phase + first);
            extra = loadLanes<W>(s.extra + first);
        }
        [[gnu::always_inline]] void store(LaneState::Oscillators& s, int first) const
        {
            storeLanes<W>(s.tap0 + first, tap0);
            storeLanes<W>(s.tap1 + first, tap1);
            storeLanes<W>(s.tap2 + first, tap2);
            storeLanes<W>(s.tap3 + first, tap3);
            storeLanes<W>(s.phase + first, phase);
            storeLanes<W>(s.extra + first, extra);
        }
        OscillatorLane lane(int i) const { return {tap0[i], tap1[i], tap2[i], tap3[i], phase[i], extra[i]}; }
        void setLane(int i, const OscillatorLane& s)
        {
            tap0[i] = s.tap0;
            tap1[i] = s.tap1;
            tap2[i] = s.tap2;
            tap3[i] = s.tap3;
            phase[i] = s.phase;
            extra[i] = s.extra;
        }
    };

    // Moves a window on by one step and enters the naive value, as
    // CorrectionTaps::shift does: `next` is r after the step, before any
    // correction.
    [[gnu::always_inline]] static void shiftInto(const OscillatorRegisters& r, V naive, OscillatorRegisters& next)
    {
        next.tap0 = r.tap1;
        next.tap1 = r.tap2 + naive;
        next.tap2 = r.tap3;
        next.tap3 = V{};
    }

    // Runs one oscillator of a group (lanes first..first+W-1) a sample at a
    // time (advance), its state in registers from construction to finish. Per
    // sample n, `sample(n)` sets up the sample's values; then, per step,
    // `step(r, next)` makes the step as every waveform makes one without an
    // event (r before, next after) and answers the lanes that met an event
    // (laneBits); with `synced`, a lane in which oscillator 1 wrapped in the
    // step (the sync) counts as one too. Those lanes' voices take the step
    // alone: `alone(s, lanes, before, next)` replaces their lanes of next.
    // `output(tap0, s)` receives the step's oldest tap.
    template <class Sample, class Step, class Alone, class Output>
    struct OscillatorRun {
        LaneState& state;
        LaneState::Oscillators& oscillator;
        int first;
        bool synced;
        Sample sample;
        Step step;
        Alone alone;
        Output output;
        OscillatorRegisters r;

        [[gnu::always_inline]] void start() { r.load(oscillator, first); }
        [[gnu::always_inline]] void advance(int n)
        {
            sample(n);
            for (int s = 2 * n; s < 2 * n + 2; ++s) {
                OscillatorRegisters next;
                int event = step(r, next);
                if (synced)
                    event |= (state.syncLanes[s] >> first) & kGroupBits;
                // Rare: a corner, edge, wrap or sync in this step.
                if (event != 0)
                    alone(s, event, r, next);
                r = next;
                output(r.tap0, s);
            }
        }
        [[gnu::always_inline]] void finish() { r.store(oscillator, first); }
    };

    // Hands `use` the run of an oscillator (see OscillatorRun), then takes its
    // state back from the registers.
    template <class Sample, class Step, class Alone, class Output, class Use>
    [[gnu::always_inline]] static void runOscillator(LaneState& st, LaneState::Oscillators& oscillator, int first,
                                                     bool synced, Sample sample, Step step, Alone alone, Output output,
                                                     Use use)
    {
        OscillatorRun<Sample, Step, Alone, Output> run{st, oscillator, first, synced, sample, step, alone, output, {}};
        run.start();
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
    static FixedRun<Fill> fixedRun(Fill fill)
    {
        return FixedRun<Fill>{fill};
    }

    // Calls f(lane) for every lane whose bit is set in `lanes` and that holds a voice.
    template <class F>
    [[gnu::always_inline]] static void forEachVoiceLane(const LaneState& st, int first, int lanes, F f)
    {
        for (int i = 0; i < W; ++i) {
            if (((lanes >> i) & 1) && first + i < st.count)
                f(i);
        }
    }

    // Group `first`'s oscillator 1 as a run that `use` advances a sample at a
    // time (advance(n) computes sample n's two steps into the chunk's tables);
    // one not computed writes its fixed values.
    template <class Use>
    [[gnu::always_inline]] static void withOscillator1(LaneState& st, int first, Use use)
    {
        const LaneSettings& set = st.settings;
        const bool runs = set.osc1Waveform == Oscillator1::kTri || set.osc1Waveform == Oscillator1::kRect;
        if (!set.osc1Active || !runs) {
            // Noise plays the sample's white noise in every voice; no waveform, nothing.
            const bool noise = set.osc1Active && set.osc1Waveform == Oscillator1::kNoise;
            auto run = fixedRun([&st, first, noise](int n) {
                const V value = splat<V>(noise ? st.whiteNoise[n] : 0.0);
                storeLanes<W>(st.osc1Out[2 * n] + first, value);
                storeLanes<W>(st.osc1Out[2 * n + 1] + first, value);
            });
            use(run);
            return;
        }
        using Regs = OscillatorRegisters;
        // The sample's increment and shape, as the oscillator holds them.
        V inc, shape, meanCorrection;
        const int waveform = set.osc1Waveform;
        const bool sync = set.osc2Sync;
        // A wrap is reported by a voice's own step; without the sync, oscillator
        // 2 never hears of it.
        auto alone = [&st, first, waveform, sync, &inc, &shape](int s, int lanes, const Regs& before, Regs& after) {
            forEachVoiceLane(st, first, lanes, [&](int i) {
                OscillatorLane one = before.lane(i);
                const int l = first + i;
                const double position = stepOscillator1Alone(*st.voice[l], waveform, one, inc[i], shape[i]);
                after.setLane(i, one);
                if (position >= 0.0 && sync) {
                    st.syncLanes[s] |= 1 << l;
                    st.syncPosition[s][l] = position;
                }
            });
        };
        auto output = [&st, first](V value, int s) { storeLanes<W>(st.osc1Out[s] + first, value); };
        auto sample = [&st, first, &inc, &shape](int n) {
            inc = osc_detail::safeIncrement<V>(loadLanes<W>(st.inc1[n] + first));
            shape = osc_detail::clampShape<V>(loadLanes<W>(st.shape[n] + first), inc);
        };
        if (waveform == Oscillator1::kTri) {
            // The naive value belongs to the step just finished, under the skew
            // in force then (extra); the new skew takes over from this step on.
            runOscillator(
                st, st.osc1, first, false, sample,
                [&](const Regs& r, Regs& next) {
                    const M rising = r.phase < r.extra;
                    shiftInto(r, osc_detail::skewedTriangle(r.phase, r.extra), next);
                    next.phase = r.phase + inc;
                    next.extra = shape;
                    return laneBits(next.phase >= 1.0) | (laneBits(rising) & laneBits(next.phase >= shape));
                },
                alone, [&](V tap0, int s) { output(2.0 * tap0 - 1.0, s); }, use);
        } else {
            // The pulse, its level in extra. Its mean 2w - 1 is removed one tap
            // behind the level (see Osc1Rect::next).
            runOscillator(
                st, st.osc1, first, false,
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
    [[gnu::always_inline]] static void withOscillator2(LaneState& st, int first, Use use)
    {
        const LaneSettings& set = st.settings;
        const int waveform = set.osc2Waveform;
        const bool runs =
            waveform == Oscillator2::kTri || waveform == Oscillator2::kRect || waveform == Oscillator2::kSaw;
        if (!set.osc2Active || !runs) {
            auto run = fixedRun([&st, first](int n) {
                storeLanes<W>(st.signal[2 * n] + first, V{});
                storeLanes<W>(st.signal[2 * n + 1] + first, V{});
            });
            use(run);
            return;
        }
        using Regs = OscillatorRegisters;
        V inc;
        auto sample = [&st, first, &inc](int n) {
            inc = osc_detail::safeIncrement<V>(loadLanes<W>(st.inc2[n] + first));
        };
        auto alone = [&st, first, waveform, &inc](int s, int lanes, const Regs& before, Regs& after) {
            forEachVoiceLane(st, first, lanes, [&](int i) {
                OscillatorLane one = before.lane(i);
                const int l = first + i;
                const double sync = (st.syncLanes[s] >> l) & 1 ? st.syncPosition[s][l] : kNoSync;
                stepOscillator2Alone(*st.voice[l], waveform, one, inc[i], sync);
                after.setLane(i, one);
            });
        };
        auto output = [&st, first](V value, int s) { storeLanes<W>(st.signal[s] + first, value); };
        // A step in which oscillator 1 wrapped in a lane is an event (when the
        // sync is on; otherwise no lane is reported).
        const bool synced = set.osc2Sync;
        if (waveform == Oscillator2::kTri) {
            runOscillator(
                st, st.osc2, first, synced, sample,
                [&](const Regs& r, Regs& next) {
                    const M rising = r.phase < 0.5;
                    shiftInto(r, select(rising, r.phase, 1.0 - r.phase), next);
                    next.phase = r.phase + inc;
                    next.extra = r.extra;
                    return laneBits(next.phase >= 1.0) | (laneBits(rising) & laneBits(next.phase >= 0.5));
                },
                alone, [&](V tap0, int s) { output(4.0 * tap0 - 1.0, s); }, use);
        } else if (waveform == Oscillator2::kRect) {
            runOscillator(
                st, st.osc2, first, synced, sample,
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
                st, st.osc2, first, synced, sample,
                [&](const Regs& r, Regs& next) {
                    shiftInto(r, r.phase, next);
                    next.phase = r.phase + inc;
                    next.extra = r.extra;
                    return laneBits(next.phase > 1.0);
                },
                alone, [&](V tap0, int s) { output(2.0 * tap0, s); }, use);
        }
    }

    // The mix of each step of the kGroups groups (the noise floor, oscillator
    // 1, and oscillator 2 after its DC blocker, or its ring modulation after the
    // ring's), through the filters, times the amp envelopes, summed and through
    // the decimator into out[] for samples 0..count-1; beforeSample(n) runs at the start of
    // sample n (the oscillators' sample, when they run alongside).
    template <int kGroups, class BeforeSample>
    [[gnu::always_inline]] static void mixAndFilter(LaneState& st, int count, double* out, BeforeSample beforeSample)
    {
        const LaneSettings& set = st.settings;
        const bool osc1Active = set.osc1Active, osc2Active = set.osc2Active, ringMod = set.osc2RingMod;
        const int type = set.filterType;
        const V gain1 = splat<V>(set.osc1Gain);
        const V gain2 = splat<V>(set.osc2Gain);
        // The decimator in registers too: its recursions run beside the filters'.
        HalfBandDecimator decimator = *st.decimator;
        FilterGroup<W> filter[kGroups];
        V dc2[kGroups], dcRing[kGroups], dc2Coef[kGroups], dcRingCoef[kGroups];
        for (int g = 0; g < kGroups; ++g) {
            const int first = g * W;
            filter[g].load(st.filter, first);
            dc2[g] = loadLanes<W>(st.dc2 + first);
            dcRing[g] = loadLanes<W>(st.dcRing + first);
            dc2Coef[g] = loadLanes<W>(st.dc2Coef + first);
            dcRingCoef[g] = loadLanes<W>(st.dcRingCoef + first);
        }
        for (int n = 0; n < count; ++n) {
            beforeSample(n);
            for (int g = 0; g < kGroups; ++g)
                filter[g].setCutoff(loadLanes<W>(st.cutoff[n] + g * W), type);
            const V noiseFloor = splat<V>(st.noiseFloor[n]);
            V y[kGroups][2];
            for (int step = 0; step < 2; ++step) {
                const int s = 2 * n + step;
                // Group g's mix through its filter.
                const auto mixAndStep = [&](int g) __attribute__((always_inline)) {
                    const int first = g * W;
                    V mix = noiseFloor;
                    const V o1 = loadLanes<W>(st.osc1Out[s] + first);
                    if (osc1Active)
                        mix += gain1 * o1;
                    if (osc2Active) {
                        V v = loadLanes<W>(st.signal[s] + first);
                        dc2[g] += (v - dc2[g] + kDenormalGuard) * dc2Coef[g];
                        v -= dc2[g];
                        if (ringMod) {
                            const V r = v * o1;
                            dcRing[g] += (r - dcRing[g] + kDenormalGuard) * dcRingCoef[g];
                            v = r - dcRing[g];
                        }
                        mix += gain2 * v;
                    }
                    y[g][step] = filter[g].step(mix, type);
                };
                // With 32 vector registers, several groups side by side are
                // written out, which GCC does not do of its own: in a loop it
                // keeps their filter states in memory, and every step of their
                // chains waits on a store and a load (two groups of four ran
                // 3 % slower so). With 16 or 8 they would not fit anyway
                // (written out, AVX2's ran 1 to 3 % slower), and the hint on a
                // single group's loop cost one voice 3 %.
                if constexpr (kGroups > 1 && kThirtyTwoRegisters) {
#pragma GCC unroll 4
                    for (int g = 0; g < kGroups; ++g)
                        mixAndStep(g);
                } else {
                    for (int g = 0; g < kGroups; ++g)
                        mixAndStep(g);
                }
            }
            // Each voice's output is its amp envelope times its filter's, summed
            // in voice order, from zero.
            double first = 0.0, second = 0.0; // the two oversampled values' sums
            for (int g = 0; g < kGroups; ++g) {
                const V amp = loadLanes<W>(st.amp[n] + g * W);
                double a[W], b[W];
                storeLanes<W>(a, amp * y[g][0]);
                storeLanes<W>(b, amp * y[g][1]);
                for (int i = 0; i < W && g * W + i < st.count; ++i) {
                    first += a[i];
                    second += b[i];
                }
            }
            out[n] = decimator.process(first, second);
        }
        for (int g = 0; g < kGroups; ++g) {
            const int first = g * W;
            filter[g].store(st.filter, first);
            storeLanes<W>(st.dc2 + first, dc2[g]);
            storeLanes<W>(st.dcRing + first, dcRing[g]);
        }
        *st.decimator = decimator;
    }

    // Several groups: each group's oscillators over the whole chunk, then the
    // mix and the filters of all of them, sample by sample.
    template <int kGroups>
    static void groupsSideBySide(LaneState& st, int count, double* out)
    {
        for (int g = 0; g < kGroups; ++g) {
            const auto wholeChunk = [count](auto& osc) {
                for (int n = 0; n < count; ++n)
                    osc.advance(n);
            };
            withOscillator1(st, g * W, wholeChunk);
            withOscillator2(st, g * W, wholeChunk);
        }
        mixAndFilter<kGroups>(st, count, out, [](int) {});
    }

    // One group: the oscillators' next sample inside the filter's loop.
    static void oneGroup(LaneState& st, int count, double* out)
    {
        withOscillator1(st, 0, [&](auto& osc1) {
            withOscillator2(st, 0, [&](auto& osc2) {
                mixAndFilter<1>(st, count, out, [&](int n) {
                    osc1.advance(n);
                    osc2.advance(n);
                });
            });
        });
    }

    // Samples 0..count-1 of the chunk, the voices in as many groups as they fill.
    static void run(LaneState& st, int count, double* out)
    {
        const int groups = (st.count + W - 1) / W;
        if (groups == 1)
            return oneGroup(st, count, out);
        if constexpr (kMaxGroups >= 2) {
            if (groups == 2)
                return groupsSideBySide<2>(st, count, out);
        }
        if constexpr (kMaxGroups >= 4) {
            if (groups == 3)
                return groupsSideBySide<3>(st, count, out);
            if (groups == 4)
                return groupsSideBySide<4>(st, count, out);
        }
        for (int n = 0; n < count; ++n)
            out[n] = st.decimator->process(0.0, 0.0);
    }
};

} // namespace

void VELDANE_VOICE_LOOP(LaneState& st, int count, double* out)
{
    std::memset(st.syncLanes, 0, sizeof st.syncLanes);
    // A few voices fill a narrower group: wider lanes would cost more for
    // the same chain of dependent operations.
    if constexpr (VELDANE_VOICE_LANES > 2) {
        if (st.count <= 2)
            return LoopOfWidth<2>::run(st, count, out);
    }
    LoopOfWidth<VELDANE_VOICE_LANES>::run(st, count, out);
}

} // namespace Veldane
