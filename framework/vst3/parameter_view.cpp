#include "framework/vst3/parameter_view.h"

#include <algorithm>
#include <cmath>

namespace zem::vst3 {

namespace {

bool stepped(const PlainRange& r) noexcept { return r.kind != PlainRange::Real; }

// Steps of a stepped range (at least 1, so nothing divides by zero).
double stepsOf(const PlainRange& r) noexcept { return std::max(1.0, r.max - r.min); }

// The step a host value lands on, 0..steps.
double stepOf(const PlainRange& r, ParamValue v) noexcept {
    const double steps = stepsOf(r);
    return std::min(steps, std::floor(std::clamp(v, 0.0, 1.0) * (steps + 1.0)));
}

} // namespace

int32 stepCountOf(const Parameter& p) noexcept {
    const PlainRange r = plainRangeOf(p);
    return stepped(r) ? static_cast<int32>(stepsOf(r)) : 0;
}

int32 flagsOf(const Parameter& p) noexcept {
    const bool list = plainRangeOf(p).kind == PlainRange::Enumeration;
    return ParameterInfo::kCanAutomate | (list ? ParameterInfo::kIsList : 0);
}

ParamValue hostValueOf(const Parameter& p) noexcept {
    const PlainRange r = plainRangeOf(p);
    if (!stepped(r)) return std::clamp(static_cast<ParamValue>(p.normalized()), 0.0, 1.0);
    return std::clamp((r.current - r.min) / stepsOf(r), 0.0, 1.0);
}

bool setFromHostValue(Parameter& p, ParamValue v) noexcept {
    if (!std::isfinite(v)) return false;
    const PlainRange r = plainRangeOf(p);
    if (!stepped(r)) return p.setNormalized(static_cast<float>(std::clamp(v, 0.0, 1.0)));
    return setPlainValue(p, r.min + stepOf(r, v));
}

ParamValue plainOfHostValue(const Parameter& p, ParamValue v) noexcept {
    if (!std::isfinite(v)) return 0.0;
    const PlainRange r = plainRangeOf(p);
    return stepped(r) ? r.min + stepOf(r, v) : std::clamp(v, 0.0, 1.0);
}

ParamValue hostValueOfPlain(const Parameter& p, ParamValue plain) noexcept {
    if (!std::isfinite(plain)) return 0.0;
    const PlainRange r = plainRangeOf(p);
    if (!stepped(r)) return std::clamp(plain, 0.0, 1.0);
    return (std::clamp(std::round(plain), r.min, r.min + stepsOf(r)) - r.min) / stepsOf(r);
}

} // namespace zem::vst3
