// Render cost of the engine, reported as how many times faster than real time
// at 44.1 kHz it runs ("realtime" = seconds of audio rendered per second).
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "synth/engine.h"
#include "synth/synth.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;
constexpr double kNoteZeroHz = 8.1757989156;

// A busy patch: both oscillators with sync and ring modulation, a resonant
// ladder swept by the mod envelope, LFO pitch modulation. Long envelopes keep
// every voice in attack/decay, where nothing can be reused between samples.
void setUpPatch(Veldane::Engine& e)
{
    e.setSampleRate(kRate);
    e.osc1Waveform = 1;
    e.osc1ShapeAmount = 0.5;
    e.osc1ShapeSource = 1;
    e.osc2Waveform = 2;
    e.setOsc1Gain(0.5);
    e.setOsc2Gain(0.5);
    e.setOsc2Sync(true);
    e.setOsc2RingMod(false);
    e.osc2Octaves = 0.5;
    e.setFilterType(0);
    e.setFilterQ(0.6);
    e.cutoffOctaves = std::log2(2.0 * 1500.0 / kNoteZeroHz);
    e.filterModAmount = 3.0;
    e.lfo.waveform = 0;
    e.lfo.setFrequency(5.0, kRate);
    e.lfo.setDelay(0.0, kRate);
    e.pitchModSource = 1;
    e.setPitchModDepth(0.1);
    e.pitchModOsc2 = true;
    e.outputGain = 0.25;
    for (Veldane::Voice& v : e.voices) {
        v.amp.attackCoef = Veldane::Envelope::attackCoefficient(10 * kRate);
        v.amp.decayCoef = Veldane::Envelope::decayCoefficient(10 * kRate);
        v.amp.sustain = 0.5;
        v.mod = v.amp;
    }
}

// Starts `count` voices on notes a fifth apart from C2 up.
void startNotes(Veldane::Engine& e, int count)
{
    for (int v = 0; v < count; ++v) {
        e.voices[v].setNote(36 + 7 * v, false);
        e.voices[v].trigger();
    }
}

// Renders blocks for as long as the benchmark asks and reports the speed.
void measure(benchmark::State& state, Veldane::Engine& e)
{
    std::vector<float> out(kBlock);
    for (auto _ : state) {
        e.render(kBlock, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

void renderVoices(benchmark::State& state)
{
    Veldane::Engine e;
    setUpPatch(e);
    startNotes(e, static_cast<int>(state.range(0)));
    measure(state, e);
}

// The common steady case: the same patch with every voice sustaining and no
// filter or pitch modulation, where per-sample values stand still and the
// engine may reuse what it computed for the previous sample.
void renderSustained(benchmark::State& state)
{
    Veldane::Engine e;
    setUpPatch(e);
    e.filterModAmount = 0.0;
    e.setPitchModDepth(0.0);
    for (Veldane::Voice& v : e.voices) {
        v.amp.attackCoef = 1.0;
        v.amp.decayCoef = 1.0;
        v.mod = v.amp;
    }
    startNotes(e, static_cast<int>(state.range(0)));
    std::vector<float> settle(kBlock);
    e.render(kBlock, settle.data()); // through attack and decay into sustain
    measure(state, e);
}

// The patch of the side-by-side comparison with Debian's amsynth, set
// through the parameters as a host sets it:
// poly, both triangle oscillators, a resonant ladder at a fixed cutoff. The notes
// of an eight-note chord from C3 are held.
void renderChord(benchmark::State& state)
{
    Veldane::Synth synth;
    synth.params.set(Veldane::kVoiceMode, 1.0f);
    synth.params.set(Veldane::kOsc2Volume, 0.9f);
    synth.params.set(Veldane::kFilterCutoff, 0.6f);
    synth.params.set(Veldane::kFilterQ, 0.5f);
    synth.applyParameterChanges();
    constexpr int kChord[] = {48, 52, 55, 59, 62, 65, 69, 72};
    for (int v = 0; v < static_cast<int>(state.range(0)); ++v)
        synth.handleEvent({zem::Event::NoteOn, 0, kChord[v], 100});
    std::vector<float> out(kBlock);
    for (auto _ : state) {
        synth.render(kBlock, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock / kRate, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(renderChord)->Arg(1)->Arg(8)->ArgName("voices");
BENCHMARK(renderVoices)->Arg(0)->Arg(1)->Arg(8)->ArgName("voices");
BENCHMARK(renderSustained)->Arg(8)->ArgName("voices");
