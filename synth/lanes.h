#pragma once
// Voices side by side: the engine computes its voices in groups, each value
// of a group's voices in one lane of a vector of W doubles: two in an SSE2
// register, four in an AVX2 or AVX-512 register (256 bits wide; see
// synth/voice_path.h for why not eight). The lanes' additions,
// multiplications, divisions and comparisons are the same IEEE operations as
// their scalar twins at any width, so a voice computed in a lane gives the
// same bits as computed alone, as long as its operations come in the same
// order (and no multiply and add are fused into one rounding: the build
// compiles everything with -ffp-contract=off).
//
// The DSP kernels that run every way are templates on T = double or one of
// the lane vectors; select, splat and the mask readers below give them all
// the same spelling. A vector wider than the target's registers is only ever
// used in code compiled for a target that has them (synth/voice_kernel.cpp).
#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace Veldane {

// The most voices side by side: the engine's eight, in as many groups as they fill.
constexpr int kMaxLanes = 8;

// W doubles in one vector (GCC's and Clang's vector extension: the target's
// vector registers wherever it has them wide enough), and what a comparison
// of two gives: all bits set in the lanes where it holds.
template <int W>
struct LaneTypes;
template <>
struct LaneTypes<2> {
    using Vector = double __attribute__((vector_size(16)));
    using Stored = double __attribute__((vector_size(16), aligned(8)));
};
template <>
struct LaneTypes<4> {
    using Vector = double __attribute__((vector_size(32)));
    using Stored = double __attribute__((vector_size(32), aligned(8)));
};
template <int W>
using Lanes = typename LaneTypes<W>::Vector;
template <int W>
using LaneMask = decltype(Lanes<W>{} < Lanes<W>{});

using Double2 = Lanes<2>;
using Mask2 = LaneMask<2>;

// mask ? a : b, lane by lane.
inline double select(bool mask, double a, double b)
{
    return mask ? a : b;
}
template <class Mask, class Vector>
[[gnu::always_inline]] inline Vector select(Mask mask, Vector a, Vector b)
{
    return mask ? a : b;
}

// A constant in every lane.
template <typename T>
[[gnu::always_inline]] inline T splat(double x)
{
    T v;
    for (int i = 0; i < static_cast<int>(sizeof(T) / sizeof(double)); ++i)
        v[i] = x;
    return v;
}
template <>
inline double splat<double>(double x)
{
    return x;
}

// The lanes of a mask as a number, bit i for lane i (a scalar mask is bit 0).
// Masks are combined as these numbers: combining them as vectors has GCC
// rebuild each lane's all-ones pattern from a boolean, a dozen instructions.
inline int laneBits(bool mask)
{
    return mask ? 1 : 0;
}
[[gnu::always_inline]] inline int laneBits(LaneMask<2> mask)
{
#if defined(__SSE2__)
    return _mm_movemask_pd(reinterpret_cast<__m128d>(mask));
#else
    return (mask[0] ? 1 : 0) | (mask[1] ? 2 : 0);
#endif
}
template <class Mask>
[[gnu::always_inline]] inline int laneBits(Mask mask)
{
    constexpr int kWidth = static_cast<int>(sizeof(Mask) / sizeof(mask[0]));
#if defined(__AVX__)
    if constexpr (kWidth == 4)
        return _mm256_movemask_pd(reinterpret_cast<__m256d>(mask));
#endif
    int bits = 0;
    for (int i = 0; i < kWidth; ++i)
        bits |= (mask[i] ? 1 : 0) << i;
    return bits;
}

// Whether any lane of a mask is set (a scalar mask is its own answer).
inline bool anyLane(bool mask)
{
    return mask;
}
template <class Mask>
[[gnu::always_inline]] inline bool anyLane(Mask mask)
{
    // One instruction or two, where reading the lanes one by one costs a dozen.
    return laneBits(mask) != 0;
}

// W lanes as stored in an object: aligned to 8 bytes only, so that objects
// holding lanes need no over-aligned allocation (a 32-bit host's heap and
// stack promise 8 and 4 bytes); loads and stores of it are unaligned ones.
template <int W>
[[gnu::always_inline]] inline Lanes<W> loadLanes(const double* at)
{
    return *reinterpret_cast<const typename LaneTypes<W>::Stored*>(at);
}
template <int W>
[[gnu::always_inline]] inline void storeLanes(double* at, Lanes<W> v)
{
    *reinterpret_cast<typename LaneTypes<W>::Stored*>(at) = v;
}

} // namespace Veldane
