#pragma once
// A parameter as a VST 3 host sees it. A VST 3 host keeps one normalized
// value 0..1 per parameter, like a VST 2.4 host, but for a stepped parameter
// (stepCount n > 0) it places value k at k / n and reads a value v as step
// min(n, floor(v * (n + 1))): equal shares of 0..1 per step. So:
//   - real-valued parameters: the host's value is the parameter's own
//     normalized value, and their plain value (what hosts that show plain
//     values show and automate) is that same 0..1, so a host's slider follows
//     the parameter's own curve (a logarithmic cutoff stays logarithmic);
//   - integers, enumerations and switches: n is the number of plain values
//     less one (framework/plain_value.h: an enumeration ends at its last
//     distinct entry), the host's value is step / n, the plain value the
//     integer, entry number or 0/1.
// Host writes go through the parameter's own classes (setNormalized,
// setPlainValue), so a host cannot set a value any other format could not.
//
// Every function here: any thread, the audio thread included; never
// allocates or locks. Values that are not finite are refused or answered
// with 0, so a host never receives NaN or infinity.

#include "framework/parameter.h"
#include "framework/plain_value.h"
#include "framework/vst3/vst.h"

namespace zem::vst3 {

// 0 for a real-valued parameter, else the number of plain values less one.
int32 stepCountOf(const Parameter& p) noexcept;

// ParameterInfo flags: automatable; a list of named entries for enumerations.
int32 flagsOf(const Parameter& p) noexcept;

// The host's normalized value for the parameter's current state.
ParamValue hostValueOf(const Parameter& p) noexcept;

// Sets the parameter from a host's normalized value (held to 0..1). Answers
// false, changing nothing, for a value that is not finite; the caller tells
// its parameter set (ParameterSet::touch) when the answer is true.
bool setFromHostValue(Parameter& p, ParamValue v) noexcept;

// Plain value of host value v, and host value of plain value `plain` (held
// to the parameter's range; steps round to the nearest).
ParamValue plainOfHostValue(const Parameter& p, ParamValue v) noexcept;
ParamValue hostValueOfPlain(const Parameter& p, ParamValue plain) noexcept;

} // namespace zem::vst3
