#pragma once
// Measurements of rendered signals, shared by every test that judges audio by
// what it sounds like: level, offset, frequency from zero crossings, spectrum.
// Ranges are [from, to); `to` past the end means the end.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace measure {

constexpr std::size_t kEnd = SIZE_MAX;

// The next `count` samples of anything that renders into a buffer of doubles.
template <class Source>
std::vector<double> rendered(Source& source, int count)
{
    std::vector<double> out(static_cast<std::size_t>(count));
    source.render(count, out.data());
    return out;
}

template <class T>
double rms(const std::vector<T>& x, std::size_t from = 0, std::size_t to = kEnd)
{
    to = std::min(to, x.size());
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i) sum += double(x[i]) * double(x[i]);
    return std::sqrt(sum / double(to - from));
}

template <class T>
double mean(const std::vector<T>& x, std::size_t from = 0, std::size_t to = kEnd)
{
    to = std::min(to, x.size());
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i) sum += double(x[i]);
    return sum / double(to - from);
}

// Cycles per sample from the upward crossings of `level`, each crossing
// instant interpolated between its two samples; 0 with fewer than two.
template <class T>
double cyclesPerSample(const std::vector<T>& x, std::size_t from = 0, std::size_t to = kEnd, double level = 0.0)
{
    to = std::min(to, x.size());
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        const double a = double(x[i - 1]) - level, b = double(x[i]) - level;
        if (a < 0.0 && b >= 0.0) {
            const double at = double(i - 1) + a / (a - b);
            if (first < 0.0) first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) / (last - first);
}

template <class T>
double frequency(const std::vector<T>& x, double rate, std::size_t from = 0, std::size_t to = kEnd)
{
    return cyclesPerSample(x, from, to) * rate;
}

// In-place radix-2 FFT; the size must be a power of two.
inline void fft(std::vector<std::complex<double>>& a)
{
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    const double pi = std::acos(-1.0);
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2.0 * pi / double(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> wk(1.0, 0.0);
            for (std::size_t k = 0; k < len / 2; ++k, wk *= w) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

} // namespace measure
