#include "framework/parameter.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <locale>
#include <sstream>
#include <string>

namespace zem {

namespace {

// Copies src into dst[0..capacity), cut so the terminator always fits.
void copyText(char* dst, std::size_t capacity, const char* src) noexcept
{
    std::size_t n = 0;
    if (src != nullptr) {
        while (n + 1 < capacity && src[n] != '\0') {
            ++n;
        }
        std::memcpy(dst, src, n);
    }
    dst[n] = '\0';
}

// Writes src into a host display buffer, at most kParameterDisplayLength
// characters and the terminator.
void writeDisplay(char* text, const char* src) noexcept
{
    if (text != nullptr) {
        copyText(text, kParameterDisplayLength + 1, src);
    }
}

// Fixed point, one decimal, C locale: a host running in a locale with a
// decimal comma must still read "0.5", not "0,5".
void writeFixed1(char* text, double v) noexcept
{
    if (text == nullptr) {
        return;
    }
    try {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out.setf(std::ios::fixed, std::ios::floatfield);
        out.precision(1);
        out << v;
        writeDisplay(text, out.str().c_str());
    } catch (...) {
        // Formatting may allocate; if that fails the host gets an empty text
        // rather than an exception across its boundary.
        writeDisplay(text, "");
    }
}

} // namespace

// --- Parameter --------------------------------------------------------------

Parameter::Parameter(const char* name_, const char* label_) noexcept
{
    copyText(name, kParameterNameCapacity, name_);
    copyText(label, kParameterLabelCapacity, label_);
}

bool Parameter::setNormalized(float x) noexcept
{
    if (!std::isfinite(x)) {
        return false;
    }
    normalized = x;
    return true;
}

// --- ParameterInt -------------------------------------------------------------

ParameterInt::ParameterInt(const char* name_, const char* label_, int min_, int max_, int def) noexcept
    : Parameter(name_, label_), value(min_), min(min_), max(max_ < min_ ? min_ : max_)
{
    value = def < min ? min : (def > max ? max : def);
    // The span is taken in 64 bits: max - min of two ints may not fit in one.
    const std::int64_t span = static_cast<std::int64_t>(max) - min;
    normalized = span > 0 ? static_cast<float>(static_cast<std::int64_t>(value) - min) / static_cast<float>(span)
                          : 0.0f;
}

bool ParameterInt::setNormalized(float x) noexcept
{
    if (!std::isfinite(x)) {
        return false;
    }
    normalized = x;
    const std::int64_t span = static_cast<std::int64_t>(max) - min;
    // Single precision on purpose: which integer a normalized value lands on
    // must not depend on the build's floating-point width.
    const float position = static_cast<float>(span) * x + 0.5f;
    // Converting a float outside the int range is undefined, so out-of-range
    // positions are held at the ends before truncating.
    std::int64_t step;
    if (!(position >= 0.0f)) {
        step = 0;
    } else if (position >= static_cast<float>(span)) {
        step = span;
    } else {
        step = static_cast<std::int64_t>(position);
    }
    const int next = static_cast<int>(min + step);
    const bool changed = next != value;
    value = next;
    return changed;
}

void ParameterInt::getDisplay(char* text) const noexcept
{
    char digits[16];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof(digits) - 1, value);
    *r.ptr = '\0';
    writeDisplay(text, digits);
}

// --- ParameterEnum ------------------------------------------------------------

ParameterEnum::ParameterEnum(const char* name_, const char* const* entryNames, int count) noexcept
    : ParameterInt(name_, "", 0, count - 1, 0), names(entryNames)
{
}

void ParameterEnum::getDisplay(char* text) const noexcept
{
    // value is kept inside min..max by every path through this class; the
    // check guards against a caller writing the public field directly.
    const bool inTable = names != nullptr && value >= 0 && value <= max;
    writeDisplay(text, inTable ? names[value] : "");
}

// --- ParameterSwitch ----------------------------------------------------------

ParameterSwitch::ParameterSwitch(const char* name_, bool def) noexcept
    : Parameter(name_, ""), on(def)
{
    normalized = def ? 1.0f : 0.0f;
}

bool ParameterSwitch::setNormalized(float x) noexcept
{
    if (!std::isfinite(x)) {
        return false;
    }
    normalized = x;
    const bool next = x > 0.5f;
    const bool changed = next != on;
    on = next;
    return changed;
}

void ParameterSwitch::getDisplay(char* text) const noexcept
{
    writeDisplay(text, on ? "On" : "Off");
}

// --- ParameterFloat -----------------------------------------------------------

ParameterFloat::ParameterFloat(const char* name_, const char* label_, double min_, double max_,
                               double def) noexcept
    : Parameter(name_, label_), value(def), min(min_), max(max_)
{
    const double n = (def - min) / (max - min);
    // A zero-width range has no normalized counterpart; 0 keeps the host safe.
    normalized = std::isfinite(static_cast<float>(n)) ? static_cast<float>(n) : 0.0f;
}

bool ParameterFloat::setNormalized(float x) noexcept
{
    const double next = (max - min) * static_cast<double>(x) + min;
    if (!std::isfinite(x) || !std::isfinite(next)) {
        return false;
    }
    normalized = x;
    value = next;
    return true;
}

void ParameterFloat::getDisplay(char* text) const noexcept
{
    writeFixed1(text, value);
}

void ParameterFloat::setValue(double v) noexcept
{
    const double n = (v - min) / (max - min);
    if (!std::isfinite(v) || !std::isfinite(static_cast<float>(n))) {
        return;
    }
    value = v;
    normalized = static_cast<float>(n);
}

// --- ParameterFloatSlope ------------------------------------------------------

// Top of every slope parameter's range: 10 s, the longest time any of them sets.
constexpr double kSlopeMax = 10000.0;

ParameterFloatSlope::ParameterFloatSlope(const char* name_, const char* label_, double min_, double mid,
                                         double def) noexcept
    : ParameterFloat(name_, label_, min_, kSlopeMax, def)
{
    // b^0.5 = r - 1 puts the curve through mid at x = 0.5; k and the offset
    // then pin x = 0 to min and x = 1 to the top.
    const double r = (kSlopeMax - min) / (mid - min);
    curveBase = (r - 1.0) * (r - 1.0);
    curveScale = (kSlopeMax - min) / (curveBase - 1.0);
    curveOffset = min - curveScale;
    if (isLinear()) {
        // Keep the fields finite and meaningful for the straight line.
        curveBase = 1.0;
        curveScale = kSlopeMax - min;
        curveOffset = min;
    }
    value = def;
    const double n = isLinear() ? (def - min) / (max - min)
                                : std::log((def - curveOffset) / curveScale) / std::log(curveBase);
    normalized = std::isfinite(static_cast<float>(n)) ? static_cast<float>(n) : 0.0f;
}

bool ParameterFloatSlope::isLinear() const noexcept
{
    // b = 1 has no logarithm to invert, b <= 0 no real power, and a
    // non-finite b or k (mid equal to min) no curve at all.
    return !(std::isfinite(curveBase) && std::isfinite(curveScale) && curveBase > 0.0 && curveBase != 1.0);
}

bool ParameterFloatSlope::setNormalized(float x) noexcept
{
    if (isLinear()) {
        return ParameterFloat::setNormalized(x);
    }
    const double next = curveScale * std::pow(curveBase, static_cast<double>(x)) + curveOffset;
    if (!std::isfinite(x) || !std::isfinite(next)) {
        return false;
    }
    normalized = x;
    value = next;
    return true;
}

void ParameterFloatSlope::setValue(double v) noexcept
{
    if (isLinear()) {
        ParameterFloat::setValue(v);
        return;
    }
    const double n = std::log((v - curveOffset) / curveScale) / std::log(curveBase);
    if (!std::isfinite(v) || !std::isfinite(static_cast<float>(n))) {
        return;
    }
    value = v;
    normalized = static_cast<float>(n);
}

// --- ParameterFloatLog --------------------------------------------------------

ParameterFloatLog::ParameterFloatLog(const char* name_, const char* label_, double min_, double max_,
                                     double def) noexcept
    : ParameterFloat(name_, label_, min_, max_, def)
{
    // Same expression as setValue (through the reciprocal of min), so a value
    // set either way maps to the same normalized bits.
    const double n = std::log(def * (1.0 / min)) / std::log(max * (1.0 / min));
    normalized = std::isfinite(static_cast<float>(n)) ? static_cast<float>(n) : 0.0f;
}

bool ParameterFloatLog::setNormalized(float x) noexcept
{
    const double next = min * std::pow(max / min, static_cast<double>(x));
    if (!std::isfinite(x) || !std::isfinite(next)) {
        return false;
    }
    normalized = x;
    value = next;
    return true;
}

void ParameterFloatLog::setValue(double v) noexcept
{
    const double n = std::log(v * (1.0 / min)) / std::log(max * (1.0 / min));
    if (!std::isfinite(v) || !std::isfinite(static_cast<float>(n))) {
        return;
    }
    value = v;
    normalized = static_cast<float>(n);
}

// --- ParameterPercent, ParameterGain -----------------------------------------

ParameterPercent::ParameterPercent(const char* name_, double def) noexcept
    : ParameterFloat(name_, "%", 0.0, 100.0, def)
{
}

// Gain range: unity at the top, and 36 dB below it, quiet enough beside a
// full-level source to serve as the bottom of a mixer level.
constexpr double kGainMinDb = -36.0;
constexpr double kGainMaxDb = 0.0;
// Below this normalized position the control reads as off: "-oo".
constexpr double kGainSilentBelow = 0.001;

ParameterGain::ParameterGain(const char* name_, double defDb) noexcept
    : ParameterFloat(name_, "dB", kGainMinDb, kGainMaxDb, defDb)
{
}

void ParameterGain::getDisplay(char* text) const noexcept
{
    if (static_cast<double>(normalized) < kGainSilentBelow) {
        writeDisplay(text, "-oo");
        return;
    }
    ParameterFloat::getDisplay(text);
}

} // namespace zem
