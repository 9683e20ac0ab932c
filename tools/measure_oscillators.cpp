// Measures how much aliasing each oscillator waveform leaves through the whole
// engine (voice, filter, amp envelope, half-band decimator, output gain),
// band-limited and naive. The naive twin is the same engine with every voice's
// step and corner corrections switched off (CorrectionTaps::corrected), so the
// two differ in nothing but the corrections.
//
// The engine is set up as the plug-in would be for a plain, steady tone: one
// oscillator audible at -20 dB (gain 0.1), the other at gain 0; LP4 filter
// wide open (22 kHz, no resonance); amp envelope with an instant attack and
// full sustain; master volume 0 dB; polyphonic voice mode; one note started
// through the voice manager with velocity 100.
//
// One departure from the plug-in's sound: the engine's random pitch jitter
// and slow drift are frozen. Their smoothing coefficients are set to 0 and
// their stages to 0 after the sample rate is set, so the random stages never
// move. Left running, they would smear every harmonic over each 1.5 s frame
// into its neighbours and hide the aliases being measured.
//
// Every voice also carries a 0.001 white-noise floor, and at low pitches it
// lies above the triangles' aliases. It is cancelled rather than averaged:
// each measured render has a noise-only twin, the same engine, note and
// random seed with the tested oscillator at gain 0, and the twin is
// subtracted sample by sample. The engine draws its random values (the noise
// every host sample, jitter and drift every 64th) whatever the oscillators
// do, and an oscillator at gain 0 is switched off without drawing, so both
// renders draw the same noise sequence; everything after the oscillators is linear except the
// filter's cubic saturator, whose cross term 0.5 x s^2 x n leaves a remainder
// of the noise scaled by the signal's square. At gain 0.1 that remainder is
// 46 to 56 dB below the noise itself and, relative to the fundamental, some
// 20 dB below the weakest alias measured (see kOscillatorGain).
//
// The power spectrum of what is left is averaged over 30 half-overlapping
// frames (Welch's method), so that the remainder's random peaks stay near its
// mean level instead of standing some 10 dB above it.
//
// Usage: measure_oscillators [spectrum.dat]
// Prints two Markdown tables, one blank line apart, of the strongest
// inharmonic component of the averaged, noise-cancelled spectrum relative to
// the fundamental, and where it lies: up to the host's Nyquist frequency, then
// up to 20 kHz. With an argument, also writes those spectra of the sawtooth
// near 4 kHz (frequency, band-limited dB, naive dB) for plotting.
#include "synth/engine.h"
#include "synth/envelope.h"
#include "synth/filter.h"
#include "synth/modulation.h"
#include "synth/random.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Veldane;

namespace {

constexpr double kHostRate = 44100.0;
// 2^16 host samples: 0.67 Hz bins, so the window's main lobe stays narrow
// against the spacing of the harmonics even at 220 Hz.
constexpr int kFftSize = 1 << 16;
// Frames averaged into one power spectrum, each starting half a frame after
// the last. What remains of the cancelled noise floor stands above its mean
// level by less the more frames are averaged, but only frames of fresh noise
// help: the noise comes from the low 23 bits of a congruential generator, which repeat
// every 2^20 draws, some 1.017 million host samples (one draw per sample for
// the noise plus one in 64 each for jitter and drift). 30 frames span
// 1.016 million samples, the most that fit in one such period.
constexpr int kFrames = 30;
// Half a frame between frame starts: the window falls to near zero at a
// frame's ends, so without overlap a third of the rendered sound would barely
// count.
constexpr int kHop = kFftSize / 2;
// Host samples discarded first (0.2 s): the note's start, the DC blocker of
// oscillator 2 and the decimator's allpass memory settle before the first
// frame.
constexpr int kSettle = 8820;
// Components further than this from every harmonic count as inharmonic. A
// 4-term Blackman-Harris main lobe spans 4 bins each side, but its side lobes
// stay near -92 dB for a few bins more and fall off slowly after that; a
// narrower guard would report the window's own skirt around the fundamental
// as the triangles' worst alias.
constexpr double kGuardBins = 16.0;
// The top of the audible band, where the second table stops. Between it and
// the host's Nyquist frequency lie the harmonics from just above Nyquist
// (22.05 to 24.1 kHz) that the decimator's transition band lets fold back,
// attenuated by only some 30 to 40 dB; no oscillator correction reaches them,
// and at 220 Hz and 1 kHz they are the strongest remainder of every
// band-limited waveform. Below this the oscillators' own aliases show.
constexpr double kAudibleTopHz = 20000.0;

// The engine's pitch reference: half the frequency of MIDI note 0. A note
// sounds at 2 x this x 2^(note/12 + tuning octaves), and the engine's cutoff
// is given in octaves above it.
constexpr double kPitchReferenceHz = 4.0878994578;
// The top of the cutoff control: the filter as open as a user can set it.
constexpr double kOpenCutoffHz = 22000.0;
// The note velocity the tool plays; the engine does not scale by velocity.
constexpr int kVelocity = 100;
// The tested oscillator's gain in the voice mix: -20 dB. The filter's
// saturator u - u^3/6 mixes signal s and noise n through its cross term
// 0.5 x s^2 x n, which the noise-only twin cannot cancel. That remainder
// falls with the square of the gain against the noise and so with the gain
// against the fundamental: at 0 dB it would be only some 6 to 16 dB below the
// noise it is meant to remove, at -20 dB it is 46 to 56 dB below it while the
// fundamental stays far above what is left. The gain also keeps the
// saturator from shaping the tone: at 0 dB a triangle's peaks reach +-1,
// where its slope is 0.5, which weakens the corners and their aliases.
constexpr double kOscillatorGain = 0.1;
// Master volume 0 dB; the decimator sums its two branches, hence the half.
constexpr double kOutputGain = 0.5;

// Fundamentals near 220 Hz, 1 kHz and 4 kHz, reached from the nearest MIDI
// note by a fractional master tuning. Their periods have no small
// whole-number ratio to the sample rate: a period of a whole number of
// samples would fold every alias exactly onto a harmonic, where it cannot be
// told apart.
struct Pitch {
    int note;   // MIDI note played
    double hz;  // fundamental after tuning
};
constexpr Pitch kPitches[] = {{57, 219.71}, {83, 1001.37}, {107, 3997.13}};

struct Waveform {
    const char* name;
    int oscillator;      // 1 or 2
    int waveform;        // the oscillator's waveform code
    double shapeAmount;  // oscillator 1's manual shape, 0..1: skew or width (1 + amount) / 2
};
const Waveform kWaveforms[] = {
    {"Osc1 Tri skew 0.5", 1, Oscillator1::kTri, 0.0},
    {"Osc1 Tri skew 0.9", 1, Oscillator1::kTri, 0.8},
    {"Osc1 Rect", 1, Oscillator1::kRect, 0.0},
    {"Osc2 Tri", 2, Oscillator2::kTri, 0.0},
    {"Osc2 Rect", 2, Oscillator2::kRect, 0.0},
    {"Osc2 Saw", 2, Oscillator2::kSaw, 0.0},
};
// The case whose spectra the optional data file holds: the sawtooth near 4 kHz.
const Waveform& kPlottedWaveform = kWaveforms[5];
const Pitch& kPlottedPitch = kPitches[2];

// Renders count host samples of one waveform, with the tested oscillator at
// the given gain, through a fresh engine.
std::vector<double> render(const Waveform& w, const Pitch& pitch, bool corrected, double gain,
                           int count)
{
    // The white-noise floor draws from the process-wide sequence: restart it
    // so that the noise-only twin, both correction twins and every run see
    // the same noise.
    setRandomSeed(kInitialRandomSeed);
    auto engine = std::make_unique<Engine>();
    Engine& e = *engine;
    e.setSampleRate(kHostRate);
    e.jitterCoef = 0.0;
    e.jitterStage1 = 0.0;
    e.jitterStage2 = 0.0;
    e.driftCoef = 0.0;
    e.driftStage1 = 0.0;
    e.driftStage2 = 0.0;

    e.setFilterType(Filter::kLp4);
    e.setFilterQ(0.0);
    e.cutoffOctaves = std::log2(kOpenCutoffHz / kPitchReferenceHz);
    e.keyTrack = 0.0;
    e.filterModAmount = 0.0;
    for (Voice& v : e.voices) {
        v.amp.attackCoef = Envelope::attackCoefficient(0.0);
        v.amp.decayCoef = Envelope::decayCoefficient(0.0);
        v.amp.releaseCoef = Envelope::decayCoefficient(0.0);
        v.amp.sustain = 1.0;
        for (CorrectionTaps* t : {&v.osc1.tri.taps, &v.osc1.rect.taps, &v.osc2.tri.taps,
                                  &v.osc2.rect.taps, &v.osc2.saw.taps})
            t->corrected = corrected;
    }

    // Oscillator 1's shape at a manual setting: 0 is the symmetric triangle
    // and the square pulse.
    e.osc1ShapeAmount = w.shapeAmount;
    e.osc1ShapeSource = kShapeManual;
    e.osc1Waveform = w.oscillator == 1 ? w.waveform : Oscillator1::kTri;
    e.osc2Waveform = w.oscillator == 2 ? w.waveform : Oscillator2::kTri;
    e.setOsc1Gain(w.oscillator == 1 ? gain : 0.0);
    e.setOsc2Gain(w.oscillator == 2 ? gain : 0.0);

    // Master tuning by the fraction of an octave from the note to the wanted
    // fundamental; both oscillators follow it, with no detune between them.
    const double noteHz = 2.0 * kPitchReferenceHz * std::exp2(pitch.note / 12.0);
    e.masterTune = std::log2(pitch.hz / noteHz);
    e.osc1Octaves = e.masterTune;
    e.osc2Octaves = e.masterTune;
    e.outputGain = kOutputGain;

    e.setVoiceMode(Engine::kModePoly);
    e.restartLfoDelay();
    e.voiceManager->noteOn(pitch.note, kVelocity);

    std::vector<double> out(count);
    e.render(count, out.data());
    return out;
}

// One waveform's render with the engine's noise floor taken out: the same
// render with the tested oscillator at gain 0 draws the same noise and
// passes it through the same filter and decimator, so subtracting it leaves
// the oscillator's sound and the saturator's small cross term.
std::vector<double> renderWithoutNoise(const Waveform& w, const Pitch& pitch, bool corrected,
                                       int count)
{
    std::vector<double> out = render(w, pitch, corrected, kOscillatorGain, count);
    const std::vector<double> noise = render(w, pitch, corrected, 0.0, count);
    for (int i = 0; i < count; ++i)
        out[i] -= noise[i];
    return out;
}

// The strongest inharmonic component of a band.
struct Component {
    double db = 0.0;  // relative to the fundamental
    double hz = 0.0;  // where it lies
};

struct Spectrum {
    std::vector<double> db;  // per bin, relative to the fundamental's peak
    Component worst;         // up to the host's Nyquist frequency
    Component worstAudible;  // up to kAudibleTopHz
};

Spectrum analyse(const std::vector<double>& signal, double f0)
{
    const int n = kFftSize;
    const double pi = std::acos(-1.0);
    double* in = fftw_alloc_real(n);
    fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
    std::vector<double> window(n);
    for (int i = 0; i < n; ++i) {
        const double u = 2.0 * pi * i / n;
        window[i] = 0.35875 - 0.48829 * std::cos(u) + 0.14128 * std::cos(2.0 * u) -
                    0.01168 * std::cos(3.0 * u);
    }

    // Welch's average: each frame's power spectrum, summed over frames that
    // overlap by half. A harmonic or alias is the same in every frame, so its
    // average is its level; a bin of the noise's remainder keeps its mean
    // level but loses the random peaks a single frame shows.
    std::vector<double> power(n / 2 + 1, 0.0);
    for (int frame = 0; frame < kFrames; ++frame) {
        const double* x = signal.data() + kSettle + frame * kHop;
        double mean = 0.0;
        for (int i = 0; i < n; ++i)
            mean += x[i];
        mean /= n;
        for (int i = 0; i < n; ++i)
            in[i] = (x[i] - mean) * window[i];
        fftw_execute(plan);
        for (int k = 0; k <= n / 2; ++k)
            power[k] += out[k][0] * out[k][0] + out[k][1] * out[k][1];
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
    // The 1/kFrames scale cancels in every level relative to the fundamental;
    // it is left out.

    const double binsPerHarmonic = f0 / kHostRate * n;
    const int audibleTopBin = static_cast<int>(kAudibleTopHz / kHostRate * n);
    double fundamental = 0.0, worst = 0.0, worstAudible = 0.0;
    int worstBin = 0, worstAudibleBin = 0;
    for (int k = 1; k <= n / 2; ++k) {
        const double h = k / binsPerHarmonic;
        const double offHarmonic = std::fabs(h - std::round(h)) * binsPerHarmonic;
        if (std::round(h) == 1.0 && offHarmonic < kGuardBins) {
            fundamental = std::max(fundamental, power[k]);
        } else if (offHarmonic >= kGuardBins && k > kGuardBins) {
            if (power[k] > worst) {
                worst = power[k];
                worstBin = k;
            }
            if (k <= audibleTopBin && power[k] > worstAudible) {
                worstAudible = power[k];
                worstAudibleBin = k;
            }
        }
    }
    // A floor far below anything measured keeps log10 finite on exact zeros.
    constexpr double kFloor = 1e-30;
    auto relativeDb = [&](double p) { return 10.0 * std::log10((p + kFloor) / fundamental); };
    auto component = [&](double p, int k) { return Component{relativeDb(p), k * kHostRate / n}; };
    Spectrum s;
    s.db.resize(power.size());
    for (size_t k = 0; k < power.size(); ++k)
        s.db[k] = relativeDb(power[k]);
    s.worst = component(worst, worstBin);
    s.worstAudible = component(worstAudible, worstAudibleBin);
    return s;
}

// One row of a table: the strongest components of both twins.
void printRow(const Waveform& w, const Pitch& p, const Component& limited, const Component& naive)
{
    std::printf("| %s | %.0f | %.1f | %.0f | %.1f | %.0f |\n", w.name, p.hz, limited.db, limited.hz,
                naive.db, naive.hz);
}

void printHeader()
{
    std::printf("| Waveform | f0 (Hz) | Band-limited (dB) | at (Hz) | Naive (dB) | at (Hz) |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
}

} // namespace

int main(int argc, char** argv)
{
    const int count = kSettle + (kFrames - 1) * kHop + kFftSize;
    struct Row {
        const Waveform* w;
        const Pitch* p;
        Component limited, naive, limitedAudible, naiveAudible;
    };
    std::vector<Row> rows;
    for (const Waveform& w : kWaveforms)
        for (const Pitch& p : kPitches) {
            const Spectrum limited = analyse(renderWithoutNoise(w, p, true, count), p.hz);
            const Spectrum naive = analyse(renderWithoutNoise(w, p, false, count), p.hz);
            rows.push_back({&w, &p, limited.worst, naive.worst, limited.worstAudible, naive.worstAudible});
        }
    // The whole band first, then the audible band, one blank line apart.
    printHeader();
    for (const Row& r : rows)
        printRow(*r.w, *r.p, r.limited, r.naive);
    std::printf("\n");
    printHeader();
    for (const Row& r : rows)
        printRow(*r.w, *r.p, r.limitedAudible, r.naiveAudible);

    if (argc > 1) {
        const Waveform& saw = kPlottedWaveform;
        const Pitch& p = kPlottedPitch;
        const Spectrum limited = analyse(renderWithoutNoise(saw, p, true, count), p.hz);
        const Spectrum naive = analyse(renderWithoutNoise(saw, p, false, count), p.hz);
        std::FILE* file = std::fopen(argv[1], "w");
        if (!file) {
            std::fprintf(stderr, "measure_oscillators: cannot write %s\n", argv[1]);
            return 1;
        }
        std::fprintf(file, "# %s at %.2f Hz, %g Hz host rate: frequency (Hz), band-limited (dB), naive (dB)\n",
                     saw.name, p.hz, kHostRate);
        for (size_t k = 0; k < limited.db.size(); ++k)
            std::fprintf(file, "%.2f %.2f %.2f\n", k * kHostRate / kFftSize, limited.db[k], naive.db[k]);
        std::fclose(file);
    }
    return 0;
}
