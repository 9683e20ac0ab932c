// Measures the voice filter's magnitude response for each type at a few
// cutoffs and resonances, the way a voice runs it: the cutoff given relative
// to the host rate, the filter stepped twice per host sample.
//
// Method: a small impulse (level 0.01, where the saturator's cubic term is
// 1.7e-5 of the signal, so the filter is linear) is run through a fresh filter
// and the impulse response's spectrum is taken with FFTW. The response is then
// sampled on a log-spaced frequency grid for plotting.
//
// Usage: measure_filter OUTDIR
// Writes OUTDIR/lp4.dat, lp2.dat and bp.dat: one row per frequency, the
// frequency in Hz followed by the gain in dB of each cutoff/Q pair in the
// order of kCutoffs x kResonances. Prints a summary table on stdout.
#include "synth/filter.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kHostRate = 44100.0;
constexpr double kStepRate = 2.0 * kHostRate;
// 2^17 steps (1.49 s): long enough for the slowest ringing (200 Hz at Q 0.9)
// to decay below the plot's floor, with 0.67 Hz between FFT bins.
constexpr int kLength = 1 << 17;
constexpr double kImpulse = 0.01;

constexpr double kCutoffs[] = {200.0, 1000.0, 5000.0};
constexpr double kResonances[] = {0.0, 0.5, 0.9};

constexpr double kPlotLowHz = 20.0;
constexpr double kPlotHighHz = kHostRate * 0.5; // what the decimator keeps
constexpr int kPlotPoints = 400;

struct Type {
    int code;
    const char* name;
};
constexpr Type kTypes[] = {
    {Veldane::Filter::kLp4, "lp4"}, {Veldane::Filter::kLp2, "lp2"}, {Veldane::Filter::kBp, "bp"}};

// Magnitude spectrum (linear gain per FFT bin) of the filter's impulse response.
std::vector<double> response(int type, double cutoffHz, double q)
{
    Veldane::Filter filter;
    filter.setType(type);
    filter.setQ(q);
    double* in = fftw_alloc_real(kLength);
    fftw_complex* out = fftw_alloc_complex(kLength / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(kLength, in, out, FFTW_ESTIMATE);
    for (int i = 0; i < kLength; ++i) {
        if (i % 2 == 0)
            filter.setCutoff(cutoffHz / kHostRate);
        in[i] = filter.process(i == 0 ? kImpulse : 0.0) / kImpulse;
    }
    fftw_execute(plan);
    std::vector<double> gain(kLength / 2 + 1);
    for (std::size_t k = 0; k < gain.size(); ++k)
        gain[k] = std::hypot(out[k][0], out[k][1]);
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
    return gain;
}

// Linear interpolation between the two bins around hz.
double gainAt(const std::vector<double>& gain, double hz)
{
    const double bin = hz * kLength / kStepRate;
    const std::size_t k = static_cast<std::size_t>(bin);
    const double frac = bin - static_cast<double>(k);
    return gain[k] * (1.0 - frac) + gain[k + 1] * frac;
}

double db(double gain)
{
    return 20.0 * std::log10(std::max(gain, 1e-12));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string outDir = argv[1];

    std::printf("%-4s %8s %4s %10s %10s %10s\n", "type", "cutoff", "Q", "peak dB", "peak Hz", "cutoff dB");
    for (const Type& type : kTypes) {
        std::vector<std::vector<double>> curves;
        for (double cutoff : kCutoffs) {
            for (double q : kResonances) {
                curves.push_back(response(type.code, cutoff, q));
                const std::vector<double>& g = curves.back();
                const std::size_t lastBin = static_cast<std::size_t>(kPlotHighHz * kLength / kStepRate);
                const auto peak = std::max_element(g.begin() + 1, g.begin() + lastBin) - g.begin();
                std::printf("%-4s %8.0f %4.1f %10.2f %10.1f %10.2f\n", type.name, cutoff, q, db(g[peak]),
                            peak * kStepRate / kLength, db(gainAt(g, cutoff)));
            }
        }
        const std::string path = outDir + "/" + type.name + ".dat";
        FILE* file = std::fopen(path.c_str(), "w");
        if (!file) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        for (int p = 0; p < kPlotPoints; ++p) {
            const double hz = kPlotLowHz * std::pow(kPlotHighHz / kPlotLowHz, p / (kPlotPoints - 1.0));
            std::fprintf(file, "%.3f", hz);
            for (const std::vector<double>& g : curves)
                std::fprintf(file, " %.3f", db(gainAt(g, hz)));
            std::fprintf(file, "\n");
        }
        std::fclose(file);
    }
    return 0;
}
