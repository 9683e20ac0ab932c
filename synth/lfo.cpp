#include "synth/lfo.h"

#include <cmath>

#include "synth/one_pole.h"

namespace Veldane {

namespace {

// A full square edge takes 4 ms: fast enough to read as a square at the top
// LFO rate of 20 Hz (25 ms halves), slow enough to keep pitch steps click-free.
constexpr double kRectEdgeSeconds = 0.004;
constexpr double kPi = 3.141592653589793;

// The fade aims at 1.05 and stops at 1, when 1/21 of the way is left; with a
// time constant of D * 1.05 / ln 10 samples that happens after about
// ln 21 * 0.456 * D = 1.39 * D samples.
constexpr double kDelayTarget = 1.05;
constexpr double kDelayTimeFactor = 0.45600920599841444; // 1.05 / ln 10
// Each unit of the delay setting is 0.01 s of time scale D, so the fade
// reaches full depth after about 1.39 * setting / 100 seconds: 14 s at the
// control's middle (1000), 139 s at its top.
constexpr double kDelayUnitSeconds = 0.01;
// A delay this short in samples is inaudible: treat it as none.
constexpr double kMinDelaySamples = 10.0;
constexpr double kNoDelay = -1.0;

// Level 0..1 bent into a half sine from 0 to 1: flat at both ends.
double bend(double level)
{
    return (std::sin((level - 0.5) * kPi) + 1.0) * 0.5;
}

bool usableRate(double sampleRate)
{
    return sampleRate > 0.0 && std::isfinite(sampleRate);
}

} // namespace

void Lfo::setFrequency(double hz, double sampleRate)
{
    if (!usableRate(sampleRate))
        return;
    // Above half the sample rate a step would jump past a whole half cycle
    // and the phase bookkeeping would no longer stay in range; nothing below
    // zero is a rate. NaN counts as 0.
    const double nyquist = sampleRate * 0.5;
    if (!(hz >= 0.0))
        hz = 0.0;
    else if (hz > nyquist)
        hz = nyquist;
    triIncrement = 2.0 * hz / sampleRate;
    rectIncrement = hz / sampleRate;
}

void Lfo::setDelay(double ms, double sampleRate)
{
    const double d = ms * kDelayUnitSeconds * sampleRate;
    if (d > kMinDelaySamples && std::isfinite(d)) {
        delayCoef = stableOnePole(1.0 / (d * kDelayTimeFactor + 1.0));
    } else {
        delayCoef = kNoDelay;
        delayDone = true;
        delayLevel = 1.0;
    }
}

void Lfo::setSampleRate(double sampleRate)
{
    if (usableRate(sampleRate))
        rectSlew = 1.0 / (sampleRate * kRectEdgeSeconds);
}

void Lfo::restartDelay()
{
    if (delayCoef > 0.0) {
        delayDone = false;
        delayLevel = 0.0;
    } else {
        delayDone = true;
        delayLevel = 1.0;
    }
}

bool Lfo::hasDelay() const
{
    return delayCoef > 0.0;
}

void Lfo::step()
{
    if (waveform == kTri) {
        if (triDirection > 0) {
            triValue += triIncrement;
            if (triValue >= 1.0) {
                triValue = 2.0 - triValue;
                triDirection = -1;
            }
        } else {
            triValue -= triIncrement;
            if (triValue <= 0.0) {
                triValue = -triValue;
                triDirection = 1;
            }
        }
        value = triValue;
    } else if (waveform == kRect) {
        rectPhase += rectIncrement;
        if (rectPhase >= 0.5) {
            rectPhase -= 0.5;
            rectState = rectState == 0.0 ? 1.0 : 0.0;
        }
        // The sine is only worth computing while the level moves (8 ms per
        // cycle); on the flat halves the last value stands, bit for bit.
        if (rectState == 1.0 && rectLevel < 1.0) {
            rectLevel += rectSlew;
            if (rectLevel > 1.0)
                rectLevel = 1.0;
            rectValue = bend(rectLevel);
        } else if (rectState == 0.0 && rectLevel > 0.0) {
            rectLevel -= rectSlew;
            if (rectLevel < 0.0)
                rectLevel = 0.0;
            rectValue = bend(rectLevel);
        }
        value = rectValue;
    }

    if (!delayDone) {
        delayLevel = (kDelayTarget - delayLevel) * delayCoef + delayLevel;
        if (delayLevel >= 1.0) {
            delayLevel = 1.0;
            delayDone = true;
        }
        fade = delayLevel;
    } else {
        fade = 1.0;
    }
}

} // namespace Veldane
