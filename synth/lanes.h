#pragma once
// Two voices side by side: the engine computes its voices in pairs, each
// value of a pair in one lane of a Double2. On x86 that is one SSE2 register
// and every operation one packed-double instruction; the lanes' additions,
// multiplications, divisions and comparisons are the same IEEE operations as
// their scalar twins, so a voice computed in a lane gives the same bits as
// computed alone, as long as its operations come in the same order.
//
// The DSP kernels that run both ways are templates on T = double or Double2;
// select, splat and the loads below give both the same spelling.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Veldane {

// GCC's and Clang's vector extension: portable, and SSE2 wherever the target has it.
using Double2 = double __attribute__((vector_size(16)));
using Mask2 = decltype(Double2{} < Double2{});  // what a Double2 comparison gives: all bits set where true

// Voices per Double2.
constexpr int kLanesPerPair = 2;

// mask ? a : b, lane by lane.
inline double select(bool mask, double a, double b) { return mask ? a : b; }
inline Double2 select(Mask2 mask, Double2 a, Double2 b) { return mask ? a : b; }

// A constant in every lane.
template <typename T> T splat(double x);
template <> inline double splat<double>(double x) { return x; }
template <> inline Double2 splat<Double2>(double x) { return Double2{x, x}; }

// The lanes of a mask as a number, bit i for lane i (a scalar mask is bit 0).
// Masks are combined as these numbers: combining them as vectors has GCC
// rebuild each lane's all-ones pattern from a boolean, a dozen instructions.
inline int laneBits(bool mask) { return mask ? 1 : 0; }
inline int laneBits(Mask2 mask)
{
#if defined(__SSE2__)
    return _mm_movemask_pd(reinterpret_cast<__m128d>(mask));
#else
    return (mask[0] ? 1 : 0) | (mask[1] ? 2 : 0);
#endif
}

// Whether any lane of a mask is set (a scalar mask is its own answer).
inline bool anyLane(bool mask) { return mask; }
inline bool anyLane(Mask2 mask)
{
#if defined(__SSE2__)
    // One instruction, where reading the lanes one by one costs a dozen.
    return _mm_movemask_pd(reinterpret_cast<__m128d>(mask)) != 0;
#else
    return (mask[0] | mask[1]) != 0;
#endif
}

// A Double2 as stored in an object: aligned to 8 bytes only, so that objects
// holding lanes need no over-aligned allocation (a 32-bit host's heap and
// stack promise 8 and 4 bytes); loads and stores of it are unaligned ones.
using StoredDouble2 = double __attribute__((vector_size(16), aligned(8)));

// Voices stored in pairs: voice l is lane l % 2 of pair l / 2.
template <int kPairs>
struct LaneArray {
    StoredDouble2 pair[kPairs] = {};

    double get(int lane) const { return pair[lane / kLanesPerPair][lane % kLanesPerPair]; }
    void set(int lane, double v) { pair[lane / kLanesPerPair][lane % kLanesPerPair] = v; }
};

} // namespace Veldane
