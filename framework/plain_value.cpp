#include "framework/plain_value.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace zem {

namespace {

// The last entry that adds a new text (see plainRangeOf).
int lastDistinctEntry(const ParameterEnum& e) noexcept {
    int last = e.max;
    auto repeatsEarlier = [&e](int entry) {
        for (int i = e.min; i < entry; ++i)
            if (std::strcmp(e.names[i], e.names[entry]) == 0) return true;
        return false;
    };
    while (e.names != nullptr && last > e.min && repeatsEarlier(last)) --last;
    return last;
}

} // namespace

PlainRange plainRangeOf(const Parameter& p) noexcept {
    if (const auto* e = dynamic_cast<const ParameterEnum*>(&p)) {
        return {PlainRange::Enumeration, double(e->min), double(lastDistinctEntry(*e)), double(e->value()), false};
    }
    if (const auto* i = dynamic_cast<const ParameterInt*>(&p)) {
        return {PlainRange::Integer, double(i->min), double(i->max), double(i->value()), false};
    }
    if (const auto* s = dynamic_cast<const ParameterSwitch*>(&p)) {
        return {PlainRange::Toggle, 0.0, 1.0, s->on() ? 1.0 : 0.0, false};
    }
    if (const auto* f = dynamic_cast<const ParameterFloat*>(&p)) {
        const bool log = dynamic_cast<const ParameterFloatLog*>(&p) != nullptr;
        return {PlainRange::Real, std::min(f->min, f->max), std::max(f->min, f->max), f->value(), log};
    }
    // A parameter class of no known curve: only its normalized value exists.
    return {PlainRange::Real, 0.0, 1.0, double(p.normalized()), false};
}

bool setPlainValue(Parameter& p, double v) noexcept {
    if (std::isnan(v)) return false;
    const PlainRange range = plainRangeOf(p);
    v = std::clamp(v, range.min, range.max);
    if (auto* i = dynamic_cast<ParameterInt*>(&p)) {
        i->setNormalized(i->normalizedOf(static_cast<int>(std::lround(v))));
    } else if (auto* s = dynamic_cast<ParameterSwitch*>(&p)) {
        s->setNormalized(v > 0.5 ? 1.0f : 0.0f);
    } else if (auto* f = dynamic_cast<ParameterFloat*>(&p)) {
        f->setValue(v);
    } else {
        p.setNormalized(static_cast<float>(v));
    }
    return true;
}

void fullDisplay(const Parameter& p, char* text, std::size_t capacity) noexcept {
    if (text == nullptr || capacity == 0) return;
    if (const auto* e = dynamic_cast<const ParameterEnum*>(&p); e != nullptr && e->names != nullptr) {
        std::snprintf(text, capacity, "%s", e->names[std::clamp(e->value(), e->min, e->max)]);
        return;
    }
    char shown[kParameterDisplayLength + 1] = {};
    p.getDisplay(shown);
    std::snprintf(text, capacity, "%s", shown);
}

} // namespace zem
