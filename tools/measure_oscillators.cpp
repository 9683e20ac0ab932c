// Measures how much aliasing each oscillator waveform leaves, band-limited and
// naive. Each waveform runs at twice the host rate through the engine's
// half-band decimator, exactly as in a voice, but without the rest of the
// voice: the engine's random pitch jitter and drift would smear every
// harmonic into its neighbours and hide the aliases being measured.
//
// Usage: measure_oscillators [spectrum.dat]
// Prints a Markdown table of the strongest inharmonic component relative to
// the fundamental, and where it lies; with an argument, also writes the spectra of the sawtooth
// near 4 kHz (frequency, band-limited dB, naive dB) for plotting.
#include "synth/decimator.h"
#include "synth/oscillators.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace Veldane;

namespace {

constexpr double kHostRate = 44100.0;
constexpr double kStepRate = 2.0 * kHostRate;  // oscillators run oversampled
// 2^16 host samples: 0.67 Hz bins, so the window's main lobe stays narrow
// against the spacing of the harmonics even at 220 Hz.
constexpr int kFftSize = 1 << 16;
// Host samples discarded first, while the decimator's allpass memory settles.
constexpr int kSettle = 4096;
// A 4-term Blackman-Harris main lobe spans 4 bins each side; components
// further than this from every harmonic count as inharmonic.
constexpr double kGuardBins = 6.0;
// Fundamentals near 220 Hz, 1 kHz and 4 kHz, chosen with no small whole-number
// ratio to the sample rate: a period of a whole number of samples would fold
// every alias exactly onto a harmonic, where it cannot be told apart.
constexpr double kFundamentals[] = {219.71, 1001.37, 3997.13};

struct Waveform {
    const char* name;
    int oscillator;  // 1 or 2
    int waveform;    // the oscillator's waveform code
};
const Waveform kWaveforms[] = {
    {"Osc1 Tri", 1, 0}, {"Osc1 Rect", 1, 1}, {"Osc2 Tri", 2, 0}, {"Osc2 Rect", 2, 1}, {"Osc2 Saw", 2, 2},
};

// Renders count host samples of one waveform at f0; the shape of oscillator 1
// stays at 0.5 (symmetric triangle, square pulse).
std::vector<double> render(const Waveform& w, double f0, bool corrected, int count)
{
    Oscillator1 osc1;
    Oscillator2 osc2;
    for (CorrectionTaps* t : {&osc1.tri.taps, &osc1.rect.taps, &osc2.tri.taps, &osc2.rect.taps,
                              &osc2.saw.taps})
        t->corrected = corrected;
    HalfBandDecimator decimator;
    const double inc = f0 / kStepRate;
    auto step = [&] {
        double sync = -1.0;
        return w.oscillator == 1 ? osc1.next(w.waveform, inc, 0.5, 0.0, sync)
                                 : osc2.next(w.waveform, inc, -1.0);
    };
    std::vector<double> out(count);
    for (double& y : out) {
        const double first = step();
        // The decimator's pass-band gain is 2; the engine folds the 0.5 into its output gain.
        y = 0.5 * decimator.process(first, step());
    }
    return out;
}

struct Spectrum {
    std::vector<double> db;  // per bin, relative to the fundamental's peak
    double worstInharmonicDb = 0.0;
    double worstInharmonicHz = 0.0;  // where that component lies
};

Spectrum analyse(const std::vector<double>& signal, double f0)
{
    const int n = kFftSize;
    const double pi = std::acos(-1.0);
    double mean = 0.0;
    for (int i = 0; i < n; ++i)
        mean += signal[kSettle + i];
    mean /= n;

    double* in = fftw_alloc_real(n);
    fftw_complex* out = fftw_alloc_complex(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
    for (int i = 0; i < n; ++i) {
        const double u = 2.0 * pi * i / n;
        const double window = 0.35875 - 0.48829 * std::cos(u) + 0.14128 * std::cos(2.0 * u) -
                              0.01168 * std::cos(3.0 * u);
        in[i] = (signal[kSettle + i] - mean) * window;
    }
    fftw_execute(plan);

    std::vector<double> power(n / 2 + 1);
    for (int k = 0; k <= n / 2; ++k)
        power[k] = out[k][0] * out[k][0] + out[k][1] * out[k][1];
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);

    const double binsPerHarmonic = f0 / kHostRate * n;
    double fundamental = 0.0, worst = 0.0;
    int worstBin = 0;
    for (int k = 1; k <= n / 2; ++k) {
        const double h = k / binsPerHarmonic;
        const double offHarmonic = std::fabs(h - std::round(h)) * binsPerHarmonic;
        if (std::round(h) == 1.0 && offHarmonic < kGuardBins)
            fundamental = std::max(fundamental, power[k]);
        else if (offHarmonic >= kGuardBins && k > kGuardBins && power[k] > worst) {
            worst = power[k];
            worstBin = k;
        }
    }
    // A floor far below anything measured keeps log10 finite on exact zeros.
    constexpr double kFloor = 1e-30;
    Spectrum s;
    s.db.resize(power.size());
    for (size_t k = 0; k < power.size(); ++k)
        s.db[k] = 10.0 * std::log10((power[k] + kFloor) / fundamental);
    s.worstInharmonicDb = 10.0 * std::log10((worst + kFloor) / fundamental);
    s.worstInharmonicHz = worstBin * kHostRate / n;
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = kSettle + kFftSize;
    std::printf("| Waveform | f0 (Hz) | Band-limited (dB) | at (Hz) | Naive (dB) | at (Hz) |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    for (const Waveform& w : kWaveforms)
        for (double f0 : kFundamentals) {
            const Spectrum limited = analyse(render(w, f0, true, count), f0);
            const Spectrum naive = analyse(render(w, f0, false, count), f0);
            std::printf("| %s | %.0f | %.1f | %.0f | %.1f | %.0f |\n", w.name, f0,
                        limited.worstInharmonicDb, limited.worstInharmonicHz,
                        naive.worstInharmonicDb, naive.worstInharmonicHz);
        }

    if (argc > 1) {
        const Waveform& saw = kWaveforms[4];
        const double f0 = kFundamentals[2];
        const Spectrum limited = analyse(render(saw, f0, true, count), f0);
        const Spectrum naive = analyse(render(saw, f0, false, count), f0);
        std::FILE* file = std::fopen(argv[1], "w");
        if (!file) {
            std::fprintf(stderr, "measure_oscillators: cannot write %s\n", argv[1]);
            return 1;
        }
        std::fprintf(file, "# %s at %.2f Hz, %g Hz host rate: frequency (Hz), band-limited (dB), naive (dB)\n",
                     saw.name, f0, kHostRate);
        for (size_t k = 0; k < limited.db.size(); ++k)
            std::fprintf(file, "%.2f %.2f %.2f\n", k * kHostRate / kFftSize, limited.db[k], naive.db[k]);
        std::fclose(file);
    }
    return 0;
}
