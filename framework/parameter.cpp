#include "framework/parameter.h"

#include <algorithm>
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

// A text being read: [begin, end), surrounding spaces removed.
struct TextSpan {
    const char* begin;
    const char* end;
};

bool isSpace(char c) noexcept { return c == ' ' || c == '\t'; }

char lowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

TextSpan trimmed(const char* text) noexcept
{
    TextSpan span{text, text + std::strlen(text)};
    while (span.begin < span.end && isSpace(*span.begin)) ++span.begin;
    while (span.end > span.begin && isSpace(span.end[-1])) --span.end;
    return span;
}

// Whether the span holds `word` (its first `limit` characters at most),
// ignoring ASCII case.
bool spanIs(TextSpan span, const char* word, std::size_t limit = SIZE_MAX) noexcept
{
    const std::size_t length = std::min(std::strlen(word), limit);
    if (static_cast<std::size_t>(span.end - span.begin) != length) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (lowerAscii(span.begin[i]) != lowerAscii(word[i])) return false;
    return true;
}

// The span without a trailing unit label (and the spaces before it).
TextSpan withoutLabel(TextSpan span, const char* label) noexcept
{
    const std::size_t length = std::strlen(label);
    if (length == 0 || static_cast<std::size_t>(span.end - span.begin) < length) return span;
    if (!spanIs(TextSpan{span.end - length, span.end}, label)) return span;
    span.end -= length;
    while (span.end > span.begin && isSpace(span.end[-1])) --span.end;
    return span;
}

// A number filling the whole span (no sign but '-', no spaces inside).
template <class Number>
bool readNumber(TextSpan span, Number& value) noexcept
{
    if (span.begin == span.end) return false;
    const std::from_chars_result r = std::from_chars(span.begin, span.end, value);
    return r.ec == std::errc() && r.ptr == span.end;
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
    storeNormalized(x);
    return true;
}

// --- ParameterInt -------------------------------------------------------------

ParameterInt::ParameterInt(const char* name_, const char* label_, int min_, int max_, int def) noexcept
    : Parameter(name_, label_), min(min_), max(max_ < min_ ? min_ : max_)
{
    const int start = def < min ? min : (def > max ? max : def);
    value_.store(start, std::memory_order_relaxed);
    storeNormalized(normalizedOf(start));
}

float ParameterInt::normalizedOf(int v) const noexcept
{
    v = v < min ? min : (v > max ? max : v);
    // The span is taken in 64 bits: max - min of two ints may not fit in one.
    const std::int64_t span = static_cast<std::int64_t>(max) - min;
    return span > 0 ? static_cast<float>(static_cast<std::int64_t>(v) - min) / static_cast<float>(span) : 0.0f;
}

bool ParameterInt::setNormalized(float x) noexcept
{
    if (!std::isfinite(x)) {
        return false;
    }
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
    const bool changed = value_.exchange(next, std::memory_order_relaxed) != next;
    storeNormalized(x);
    return changed;
}

void ParameterInt::getDisplay(char* text) const noexcept
{
    char digits[16];
    const std::to_chars_result r = std::to_chars(digits, digits + sizeof(digits) - 1, value());
    *r.ptr = '\0';
    writeDisplay(text, digits);
}

bool ParameterInt::textToNormalized(const char* text, float& normalized) const noexcept
{
    if (text == nullptr) return false;
    long long v = 0;
    if (!readNumber(withoutLabel(trimmed(text), label), v) || v < min || v > max) return false;
    normalized = normalizedOf(static_cast<int>(v));
    return true;
}

// --- ParameterEnum ------------------------------------------------------------

ParameterEnum::ParameterEnum(const char* name_, const char* const* entryNames, int count) noexcept
    : ParameterInt(name_, "", 0, count - 1, 0), names(entryNames)
{
}

void ParameterEnum::getDisplay(char* text) const noexcept
{
    // value() is kept inside min..max by every path through this class; the
    // check costs nothing and keeps the lookup inside the table regardless.
    const int entry = value();
    const bool inTable = names != nullptr && entry >= 0 && entry <= max;
    writeDisplay(text, inTable ? names[entry] : "");
}

bool ParameterEnum::textToNormalized(const char* text, float& normalized) const noexcept
{
    if (text == nullptr || names == nullptr) return false;
    const TextSpan span = trimmed(text);
    for (int entry = min; entry <= max; ++entry) {
        if (spanIs(span, names[entry]) || spanIs(span, names[entry], kParameterDisplayLength)) {
            normalized = normalizedOf(entry);
            return true;
        }
    }
    return false;
}

// --- ParameterSwitch ----------------------------------------------------------

ParameterSwitch::ParameterSwitch(const char* name_, bool def) noexcept
    : Parameter(name_, ""), on_(def)
{
    storeNormalized(def ? 1.0f : 0.0f);
}

bool ParameterSwitch::setNormalized(float x) noexcept
{
    if (!std::isfinite(x)) {
        return false;
    }
    const bool next = x > 0.5f;
    const bool changed = on_.exchange(next, std::memory_order_relaxed) != next;
    storeNormalized(x);
    return changed;
}

void ParameterSwitch::getDisplay(char* text) const noexcept
{
    writeDisplay(text, on() ? "On" : "Off");
}

bool ParameterSwitch::textToNormalized(const char* text, float& normalized) const noexcept
{
    if (text == nullptr) return false;
    const TextSpan span = trimmed(text);
    if (!spanIs(span, "On") && !spanIs(span, "Off")) return false;
    normalized = spanIs(span, "On") ? 1.0f : 0.0f;
    return true;
}

// --- ParameterFloat -----------------------------------------------------------

ParameterFloat::ParameterFloat(const char* name_, const char* label_, double min_, double max_,
                               double def) noexcept
    : Parameter(name_, label_), min(min_), max(max_)
{
    start(def);
}

void ParameterFloat::start(double def) noexcept
{
    value_.store(def, std::memory_order_relaxed);
    const double n = normalizedAt(def);
    // A curve without a normalized counterpart (a zero-width range) starts at 0,
    // which keeps the host safe.
    storeNormalized(std::isfinite(static_cast<float>(n)) ? static_cast<float>(n) : 0.0f);
}

double ParameterFloat::plainAt(float x) const noexcept
{
    return (max - min) * static_cast<double>(x) + min;
}

double ParameterFloat::normalizedAt(double v) const noexcept
{
    return (v - min) / (max - min);
}

bool ParameterFloat::setNormalized(float x) noexcept
{
    if (!std::isfinite(x)) {
        return false;
    }
    const double next = plainAt(x);
    if (!std::isfinite(next)) {
        return false;
    }
    value_.store(next, std::memory_order_relaxed);
    storeNormalized(x);
    return true;
}

void ParameterFloat::getDisplay(char* text) const noexcept
{
    writeFixed1(text, value());
}

bool ParameterFloat::textToNormalized(const char* text, float& normalized) const noexcept
{
    double v = 0.0;
    if (text == nullptr || !readNumber(withoutLabel(trimmed(text), label), v)) return false;
    if (!(v >= std::min(min, max) && v <= std::max(min, max))) return false; // also refuses NaN
    const double n = normalizedAt(v);
    if (!std::isfinite(n)) return false;
    // The ends of a curve may come back a rounding step outside 0..1.
    normalized = std::clamp(static_cast<float>(n), 0.0f, 1.0f);
    return true;
}

void ParameterFloat::setValue(double v) noexcept
{
    const double n = normalizedAt(v);
    if (!std::isfinite(v) || !std::isfinite(static_cast<float>(n))) {
        return;
    }
    value_.store(v, std::memory_order_relaxed);
    storeNormalized(static_cast<float>(n));
}

// --- ParameterFloatSlope ------------------------------------------------------

ParameterFloatSlope::ParameterFloatSlope(const char* name_, const char* label_, double min_, double mid,
                                         double max_, double def) noexcept
    : ParameterFloat(name_, label_, min_, max_, def)
{
    // b^0.5 = r - 1 puts the curve through mid at x = 0.5; k and the offset
    // then pin x = 0 to min and x = 1 to max.
    const double r = (max - min) / (mid - min);
    curveBase = (r - 1.0) * (r - 1.0);
    curveScale = (max - min) / (curveBase - 1.0);
    curveOffset = min - curveScale;
    if (isLinear()) {
        // Keep the fields finite and meaningful for the straight line.
        curveBase = 1.0;
        curveScale = max - min;
        curveOffset = min;
    }
    start(def);
}

bool ParameterFloatSlope::isLinear() const noexcept
{
    // b = 1 has no logarithm to invert, b <= 0 no real power, and a
    // non-finite b or k (mid equal to min) no curve at all.
    return !(std::isfinite(curveBase) && std::isfinite(curveScale) && curveBase > 0.0 && curveBase != 1.0);
}

double ParameterFloatSlope::plainAt(float x) const noexcept
{
    if (isLinear()) {
        return ParameterFloat::plainAt(x);
    }
    return curveScale * std::pow(curveBase, static_cast<double>(x)) + curveOffset;
}

double ParameterFloatSlope::normalizedAt(double v) const noexcept
{
    if (isLinear()) {
        return ParameterFloat::normalizedAt(v);
    }
    return std::log((v - curveOffset) / curveScale) / std::log(curveBase);
}

// --- ParameterFloatLog --------------------------------------------------------

ParameterFloatLog::ParameterFloatLog(const char* name_, const char* label_, double min_, double max_,
                                     double def) noexcept
    : ParameterFloat(name_, label_, min_, max_, def)
{
    start(def);
}

double ParameterFloatLog::plainAt(float x) const noexcept
{
    return min * std::pow(max / min, static_cast<double>(x));
}

double ParameterFloatLog::normalizedAt(double v) const noexcept
{
    // Through the reciprocal of min, in both places that invert the curve, so
    // a value set either way maps to the same normalized bits.
    return std::log(v * (1.0 / min)) / std::log(max * (1.0 / min));
}

// --- ParameterPercent, ParameterGain -----------------------------------------

ParameterPercent::ParameterPercent(const char* name_, double def) noexcept
    : ParameterFloat(name_, "%", 0.0, 100.0, def)
{
}

// Unity gain at the top of every gain control.
constexpr double kGainMaxDb = 0.0;
// Below this normalized position the control reads as off: "-oo".
constexpr double kGainSilentBelow = 0.001;

ParameterGain::ParameterGain(const char* name_, double floorDb, double defDb) noexcept
    : ParameterFloat(name_, "dB", floorDb, kGainMaxDb, defDb)
{
}

void ParameterGain::getDisplay(char* text) const noexcept
{
    if (static_cast<double>(normalized()) < kGainSilentBelow) {
        writeDisplay(text, "-oo");
        return;
    }
    ParameterFloat::getDisplay(text);
}

bool ParameterGain::textToNormalized(const char* text, float& normalized) const noexcept
{
    if (text == nullptr) return false;
    if (spanIs(withoutLabel(trimmed(text), label), "-oo")) {
        normalized = 0.0f;
        return true;
    }
    float n = 0.0f;
    if (!ParameterFloat::textToNormalized(text, n) || static_cast<double>(n) < kGainSilentBelow) return false;
    normalized = n;
    return true;
}

} // namespace zem
