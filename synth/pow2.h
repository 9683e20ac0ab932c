#pragma once
// 2^x for the engine. Every exponential of the sound path (phase increments,
// cutoff, note ratios) comes through here: the C library's exp costs about
// 58 ns a call in the 32-bit build.
//
// Method: x = n + j/64 + r, with n and j from rounding 64x to the nearest
// integer and |r| <= 1/128. 2^n goes straight into the exponent bits, 2^(j/64)
// comes from a table of correctly rounded values, and 2^r = e^(r ln 2) is a
// degree-5 Taylor polynomial in t = r ln 2 (|t| < 0.0055, truncation error
// below 4e-17), evaluated in Estrin's scheme so its multiplies overlap instead
// of forming one long dependency chain. The relative error stays below 5e-16;
// integer inputs come out exact (j = 0 and r = 0 give exactly 2^n).
#include <cstdint>
#include <cstring>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Veldane {

namespace pow2_detail {

// Table steps per octave: 64 keeps the polynomial at degree 5.
constexpr int kStepsPerOctave = 64;
constexpr int kStepShift = 6;   // log2(kStepsPerOctave)
constexpr int kStepMask = 63;   // kStepsPerOctave - 1
// Adding and subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51
// to the nearest integer in SSE2 double arithmetic, without a library call
// (std::floor is a function call in the 32-bit build).
constexpr double kRoundMagic = 6755399441055744.0;
constexpr double kLn2 = 0.6931471805599453;
// Inputs are held inside the range whose results are normal doubles, so the
// exponent insertion never wraps; the engine uses about -30..+30.
constexpr double kMinInput = -1020.0;
constexpr double kMaxInput = 1020.0;
// Taylor coefficients 1/k! for k = 2..5.
constexpr double kC2 = 1.0 / 2.0;
constexpr double kC3 = 1.0 / 6.0;
constexpr double kC4 = 1.0 / 24.0;
constexpr double kC5 = 1.0 / 120.0;
// Exponent bias of an IEEE double, and the position of its exponent field.
constexpr int kExponentBias = 1023;
constexpr int kMantissaBits = 52;

// 2^(j/64) for j = 0..63, each the double nearest the exact value.
alignas(64) constexpr double kTable[kStepsPerOctave] = {
    1.0, 1.0108892860517005, 1.0218971486541166, 1.0330248790212284,
    1.0442737824274138, 1.0556451783605572, 1.0671404006768237, 1.0787607977571199,
    1.0905077326652577, 1.102382583307841, 1.1143867425958924, 1.1265216186082418,
    1.1387886347566916, 1.1511892299529827, 1.1637248587775775, 1.1763969916502812,
    1.189207115002721, 1.202156731452703, 1.215247359980469, 1.22848053610687,
    1.241857812073484, 1.255380757024691, 1.2690509571917332, 1.2828700160787783,
    1.2968395546510096, 1.3109612115247644, 1.3252366431597413, 1.339667524053303,
    1.3542555469368927, 1.3690024229745905, 1.383909881963832, 1.3989796725383112,
    1.4142135623730951, 1.42961333839197, 1.4451808069770467, 1.460917794180647,
    1.4768261459394993, 1.4929077282912648, 1.5091644275934228, 1.5255981507445384,
    1.5422108254079407, 1.559004400237837, 1.5759808451078865, 1.593142151342267,
    1.6104903319492543, 1.6280274218573478, 1.645755478153965, 1.6636765803267364,
    1.681792830507429, 1.7001063537185235, 1.718619298122478, 1.7373338352737062,
    1.7562521603732995, 1.7753764925265212, 1.7947090750031072, 1.8142521755003989,
    1.8340080864093424, 1.8539791250833855, 1.8741676341103, 1.8945759815869656,
    1.9152065613971474, 1.9360617934922943, 1.9571441241754002, 1.978456026387951,
};

// 2^n as a double, for n within the normal exponent range.
inline double exponentScale(int n)
{
#if defined(__SSE2__)
    // Built in an SSE register: in the 32-bit build a 64-bit integer would
    // otherwise pass through memory in two halves and stall the reload.
    const __m128i biased = _mm_cvtsi32_si128(n + kExponentBias);
    return _mm_cvtsd_f64(_mm_castsi128_pd(_mm_slli_epi64(biased, kMantissaBits)));
#else
    const std::uint64_t bits = static_cast<std::uint64_t>(n + kExponentBias) << kMantissaBits;
    double scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return scale;
#endif
}

} // namespace pow2_detail

// 2^x. Non-finite or out-of-range inputs are held to the range above (a NaN
// input gives the smallest result), so the answer is always a finite positive
// double.
inline double pow2(double x)
{
    using namespace pow2_detail;
    if (!(x > kMinInput)) x = kMinInput;
    if (x > kMaxInput) x = kMaxInput;
    const double steps = (x * kStepsPerOctave + kRoundMagic) - kRoundMagic;  // exact: x * 64 scales by a power of 2
    const int k = static_cast<int>(steps);
    const double t = (x - steps * (1.0 / kStepsPerOctave)) * kLn2;  // the subtraction is exact
    const double t2 = t * t;
    const double p = (1.0 + t) + t2 * ((kC2 + kC3 * t) + t2 * (kC4 + kC5 * t));
    return p * kTable[k & kStepMask] * exponentScale(k >> kStepShift);
}

// Remembers the last input and its 2^x: a per-sample exponent whose input did
// not move since the previous sample is reused bit for bit instead of being
// recomputed (most of them stand still between the 64-sample jitter steps and
// while the envelopes sustain).
struct Pow2Cache {
    double input = kNeverComputed;  // last argument, octaves
    double output = 1.0;            // pow2(input)

    double operator()(double x)
    {
        if (x != input) {
            input = x;
            output = pow2(x);
        }
        return output;
    }

    // A NaN never compares equal, so the first call always computes.
    static constexpr double kNeverComputed = std::numeric_limits<double>::quiet_NaN();
};

} // namespace Veldane
