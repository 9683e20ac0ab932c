#include "synth/oscillators.h"

#include <cmath>

// How the corrections work: every waveform is generated naively (with hard steps
// and sharp corners) into a four-value delay line. When an event falls between
// two steps, the difference between the event smoothed by a triangular kernel
// four steps wide and the naive event is added to all four values at once, at
// the event's exact fractional position. A step's residual is piecewise
// quadratic, a corner's (the integral of a step) piecewise cubic. Reading the
// oldest value means the output trails the naive waveform by two steps, which
// is what lets the correction reach "into the past" of an event.

namespace Veldane {

namespace {

// The cubic coefficient of the corner residual, (x + 1)^3 / 6 and (1 - x)^3 / 6.
// It is the rounded 0.1666667 rather than 1/6 on purpose: the value is part of
// the oscillators' exact output, which sample-exact comparisons rely on, and
// the difference (3e-8 of a slope change) is far below anything audible.
constexpr double kSixth = 0.1666667;

// The kernel's own coordinate x runs from -1 to 1 over its four steps: one
// unit of x is two oscillator steps, and neighbouring taps lie half a unit
// apart. A step's residual is a function of x alone, scaled by the step's
// height. A corner's residuals (cornerBefore, cornerAfter) are those of the
// ramp max(x, 0), one unit of slope per unit of x; a slope change of s per
// step is the ramp s times max(2x, 0) = 2s times max(x, 0), so a corner's
// residual is scaled by its slope change times the steps per unit. Scaled by
// the slope change alone, a corner would get half its correction and lose
// only some 6 dB of its aliasing.
constexpr double kStepsPerKernelUnit = 2.0;
constexpr double kTapSpacing = 1.0 / kStepsPerKernelUnit;

using osc_detail::clampShape;
using osc_detail::safeIncrement;

double stepBefore(double x) { return (x * x + 1.0) * 0.5 + x; }
double stepAfter(double x) { return x - (x * x + 1.0) * 0.5; }
double cornerBefore(double x) { return ((kSixth * x + 0.5) * x + 0.5) * x + kSixth; }
double cornerAfter(double x) { return ((0.5 - kSixth * x) * x - 0.5) * x + kSixth; }

double atLeastZero(double p) { return p < 0.0 ? 0.0 : p; }

// Adds amount x residual to the four taps for an event at position p: the two
// older taps take the residual before the event, the two newer ones after it.
template <double (*Before)(double), double (*After)(double)>
void addResidual(CorrectionTaps& taps, double amount, double p)
{
    if (!taps.corrected)
        return;
    // Kernel coordinates of the four taps relative to the event: the oldest
    // tap lies 1 + p steps before it, the others one step apart each.
    const double x0 = -(p + 1.0) * kTapSpacing;
    const double x1 = x0 + kTapSpacing;
    const double x2 = x1 + kTapSpacing;
    const double x3 = x2 + kTapSpacing;
    taps.tap0 += amount * Before(x0);
    taps.tap1 += amount * Before(x1);
    taps.tap2 += amount * After(x2);
    taps.tap3 += amount * After(x3);
}

} // namespace

void CorrectionTaps::shift(double naive)
{
    osc_detail::shiftTaps(tap0, tap1, tap2, tap3, naive);
}

void CorrectionTaps::clear()
{
    tap0 = tap1 = tap2 = tap3 = 0.0;
}

void CorrectionTaps::addStep(double height, double p)
{
    addResidual<stepBefore, stepAfter>(*this, height, p);
}

void CorrectionTaps::addCorner(double slopeChange, double p)
{
    addResidual<cornerBefore, cornerAfter>(*this, slopeChange * kStepsPerKernelUnit, p);
}

double Osc1Tri::next(double inc, double t, double& sync)
{
    inc = safeIncrement(inc);
    const double newSkew = clampShape(t, inc);
    // The naive value belongs to the step just finished, so it uses the skew
    // that was in force then; the new skew takes over from this step on.
    const bool rising = phase < skew;
    taps.shift(osc_detail::skewedTriangle(phase, skew));
    skew = newSkew;
    sync = kNoSync;

    phase += inc;
    // Rising slope 1/t and falling slope -1/(1-t) per cycle differ by 1/Y.
    const double y = (1.0 - newSkew) * newSkew;
    if (phase >= 1.0) {
        phase -= 1.0;
        const double p = 1.0 - phase / inc;
        taps.addCorner(inc / y, p);
        sync = p;
    } else if (rising && phase >= newSkew) {
        const double p = atLeastZero(1.0 - (phase - newSkew) / inc);
        taps.addCorner(-inc / y, p);
    }
    return 2.0 * taps.tap0 - 1.0;
}

double Osc1Rect::next(double inc, double t, double& sync)
{
    inc = safeIncrement(inc);
    taps.shift(sign);
    const double width = clampShape(t, inc);
    // The pulse's mean is 2w - 1; removing it here keeps width modulation from
    // moving the DC level. It enters one tap behind the sign, in step with the
    // sign the next shift will add.
    taps.tap2 += 1.0 - 2.0 * width;

    phase += inc;
    sync = kNoSync;
    if (sign > 0.0 && phase >= width) {
        taps.addStep(-2.0, atLeastZero(1.0 - (phase - width) / inc));
        sign = -1.0;
    } else if (sign < 0.0 && phase >= 1.0) {
        phase -= 1.0;
        const double p = atLeastZero(1.0 - phase / inc);
        taps.addStep(2.0, p);
        sign = 1.0;
        sync = p;
    }
    return taps.tap0;
}

double Osc2Tri::next(double inc, double sync)
{
    inc = safeIncrement(inc);
    // n runs 0..0.5..0 over a cycle; the output scaling makes it -1..1.
    const bool rising = phase < 0.5;
    const double n = rising ? phase : 1.0 - phase;
    taps.shift(n);
    phase += inc;

    // Slope change at the trough and at the peak: +inc to -inc and back.
    const double corner = 2.0 * inc;
    // Where oscillator 1 wraps, this one restarts from zero and has moved on
    // for the rest of the step.
    const double restart = (1.0 - sync) * inc;

    if (phase >= 1.0) {
        phase -= 1.0;
        const double p = 1.0 - phase / inc;
        if (sync < 0.0) {
            taps.addCorner(corner, p);
        } else if (p >= sync) {
            // Reset on the way down, just short of the trough: the rest of
            // the fall drops to zero, and the rise starts there.
            taps.addStep((sync - p) * inc, sync);
            taps.addCorner(corner, sync);
            phase = restart;
        } else {
            taps.addCorner(corner, p);
            taps.addStep((p - sync) * inc, sync);
            phase = restart;
        }
    } else if (rising && phase >= 0.5) {
        const double p = 1.0 - (phase - 0.5) / inc;
        if (sync < 0.0) {
            taps.addCorner(-corner, p);
        } else if (sync <= p) {
            taps.addStep(-(sync * inc + n), sync);
            phase = restart;
        } else {
            // Over the peak, then reset on the way down: the fall drops to
            // zero and the rise starts there.
            taps.addCorner(-corner, p);
            taps.addStep(-((p - sync) * inc + 0.5), sync);
            taps.addCorner(corner, sync);
            phase = restart;
        }
    } else if (sync >= 0.0) {
        if (rising) {
            taps.addStep(-(sync * inc + n), sync);
        } else {
            taps.addStep(-(n - sync * inc), sync);
            taps.addCorner(corner, sync);
        }
        phase = restart;
    }
    return 4.0 * taps.tap0 - 1.0;
}

double Osc2Rect::next(double inc, double sync)
{
    inc = safeIncrement(inc);
    taps.shift(sign);
    phase += inc;
    const double restart = (1.0 - sync) * inc;

    if (sign > 0.0 && phase >= 0.5) {
        const double p = atLeastZero(1.0 - (phase - 0.5) / inc);
        if (sync >= 0.0) {
            // Reset before the fall: the square never left the high level.
            // Reset after it: a short low blip between the two edges.
            if (sync > p) {
                taps.addStep(-2.0, p);
                taps.addStep(2.0, sync);
            }
            phase = restart;
        } else {
            taps.addStep(-2.0, p);
            sign = -1.0;
        }
    } else if (sign < 0.0 && phase >= 1.0) {
        phase -= 1.0;
        const double p = atLeastZero(1.0 - phase / inc);
        // The rise happens at whichever comes first; a sync at exactly the
        // start of the step is taken as the wrap itself, not as a reset.
        if (sync > 0.0) {
            taps.addStep(2.0, sync < p ? sync : p);
            phase = restart;
        } else {
            taps.addStep(2.0, p);
        }
        sign = 1.0;
    } else if (sync >= 0.0) {
        if (sign < 0.0) {
            taps.addStep(2.0, sync);
            sign = 1.0;
        }
        phase = restart;
    }
    return taps.tap0;
}

double Osc2Saw::next(double inc, double sync)
{
    inc = safeIncrement(inc);
    taps.shift(phase);
    phase += inc;
    const double restart = (1.0 - sync) * inc;

    // Only a phase beyond 1 wraps: a ramp that lands exactly on 1 holds its top
    // value for one more step.
    if (phase > 1.0) {
        phase -= 1.0;
        const double p = 1.0 - phase / inc;
        if (sync < 0.0) {
            taps.addStep(-1.0, p);
        } else if (sync > p) {
            // Wrapped, climbed again, then reset at the sync point.
            taps.addStep(-1.0, p);
            taps.addStep(-(sync - p) * inc, sync);
            phase = restart;
        } else {
            // Reset before it would have wrapped: drop from the ramp's value
            // at the sync point.
            taps.addStep(-(phase + 1.0 - inc + sync * inc), sync);
            phase = restart;
        }
    } else if (sync >= 0.0) {
        taps.addStep(-(phase - restart), sync);
        phase = restart;
    }
    return 2.0 * taps.tap0;
}

double Oscillator1::next(int waveform, double inc, double t, double noise, double& sync)
{
    switch (waveform) {
    case kTri:
        return tri.next(inc, t, sync);
    case kRect:
        return rect.next(inc, t, sync);
    case kNoise:
        sync = kNoSync;
        return noise;
    default:
        sync = kNoSync;
        return 0.0;
    }
}

namespace {

// Seeded phases come from fmod of growing accumulators and so lie in [0, 1);
// anything else (NaN, infinity) starts the cycle at 0 instead.
double validPhase(double phase)
{
    return (phase >= 0.0 && phase < 1.0) ? phase : 0.0;
}

double levelAt(double phase)
{
    return phase >= 0.5 ? -1.0 : 1.0;
}

} // namespace

void Oscillator1::seedPhase(double phase)
{
    phase = validPhase(phase);
    tri.phase = phase;
    rect.phase = phase;
    rect.sign = levelAt(phase);
}

void Oscillator1::reset()
{
    tri.taps.clear();
    rect.taps.clear();
    tri.skew = Osc1Tri{}.skew;
    seedPhase(0.0);
}

double Oscillator2::next(int waveform, double inc, double sync)
{
    switch (waveform) {
    case kTri:
        return tri.next(inc, sync);
    case kRect:
        return rect.next(inc, sync);
    case kSaw:
        return saw.next(inc, sync);
    default:
        return 0.0;
    }
}

void Oscillator2::seedPhase(double phase)
{
    phase = validPhase(phase);
    tri.phase = phase;
    rect.phase = phase;
    rect.sign = levelAt(phase);
    saw.phase = phase;
}

void Oscillator2::reset()
{
    tri.taps.clear();
    rect.taps.clear();
    saw.taps.clear();
    seedPhase(0.0);
}

bool osc2DcPreset(int waveform, bool sync, double inc1, double inc2, double& state)
{
    if (!sync) {
        // Free-running: the saw's output 0..2 averages 1; the triangle and the
        // square average 0 and the blocker is left where it is.
        if (waveform == Oscillator2::kSaw) {
            state = 1.0;
            return true;
        }
        return false;
    }
    if (!(inc1 > 0.0) || !(inc2 > 0.0))
        return false;
    // Synced, each cycle of oscillator 1 holds u cycles of oscillator 2: whole
    // cycles plus a partial one of fraction f that restarts from phase 0.
    const double u = inc2 / inc1;
    const double f = std::fmod(u, 1.0);
    const double whole = std::trunc(u);
    switch (waveform) {
    case Oscillator2::kTri:
        // Whole triangle cycles average 0. A partial cycle ending before the
        // peak only rises (mean 2f - 1); one ending after it also falls back
        // (integral (2f - 1)(1 - f)). Each is weighted by its share f / u.
        state = f < 0.5 ? f * (2.0 * f - 1.0) / u : (2.0 * f - 1.0) * (1.0 - f) / u;
        return true;
    case Oscillator2::kRect:
        if (f >= 0.5)
            state = std::trunc(u + 0.5) * (inc1 / inc2) - 1.0;
        else
            state = 1.0 - whole * (inc1 / inc2);
        return true;
    case Oscillator2::kSaw: {
        const double x = std::floor(u) / u;
        state = (1.0 - x) * u * (1.0 - x) + x;
        return true;
    }
    default:
        return false;
    }
}

} // namespace Veldane
