#pragma once
// A parameter seen through its plain value, as hosts whose controls carry the
// displayed unit see it: an LV2 control port holds "800" (Hz), not the 0.52 a
// VST 2.4 host stores. What such a host declares of a parameter (range,
// default, kind) and a write of a plain value both come from here, so the
// declared range and the values the plug-in accepts cannot disagree.

#include <cstddef>

#include "framework/parameter.h"

namespace zem {

struct PlainRange {
    enum Kind {
        Real,        // any value in min..max
        Integer,     // whole numbers min..max
        Enumeration, // entry numbers min..max, each with its entry text
        Toggle,      // 0 (off) or 1 (on)
    };
    Kind kind;
    double min;       // lowest plain value
    double max;       // highest plain value (see plainRangeOf for enumerations)
    double current;   // the plain value held now: a fresh parameter's default
    bool logarithmic; // equal ratios for equal control travel (ParameterFloatLog)
};

// Any thread; never allocates. The plain view of p. An enumeration ends at
// its last entry whose text no earlier entry has: entries repeated at the end
// only spread a choice evenly over 0..1 for hosts that store normalized
// values (Veldane's Voice Mode lists "Poly" twice), and a host that offers
// the entries by name would show the same choice twice.
PlainRange plainRangeOf(const Parameter& p) noexcept;

// Any thread, the audio thread included; never allocates or locks. Sets p
// from plain value v the way the equivalent normalized write would: NaN is
// refused (false, nothing changes); any other value, infinities included, is
// held in plainRangeOf(p).min..max; integers and entries round to the nearest
// (halves away from zero), a toggle is on above 0.5. Real values are kept
// exactly as given. Answers true when the value was taken; the caller tells
// its parameter set (ParameterSet::touch), as a host write would.
bool setPlainValue(Parameter& p, double v) noexcept;

// Any thread but the audio thread (getDisplay may format through a stream).
// The display text for hosts whose texts are not VST 2.4's eight characters:
// an entry's whole name ("Retrigger"), every other value as getDisplay
// writes it (none is longer). Written into text[0..capacity), cut to fit and
// zero-terminated; nothing happens for a null text or a capacity of 0.
void fullDisplay(const Parameter& p, char* text, std::size_t capacity) noexcept;

} // namespace zem
