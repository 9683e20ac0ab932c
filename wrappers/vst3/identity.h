#pragma once
// Veldane's identity and parameter layout as VST 3 hosts see them, shared by
// the plug-in (wrappers/vst3) and our VST 3 test host's checks.
//
// Parameters: the 39 parameters of the table, each under its ParamId as its
// VST 3 id (so a session stores a value under the same number a VST 2.4 host
// uses for its index), the placeholder kReserved included, as every other
// format shows it; then two hidden, not automatable parameters that carry the
// MIDI pitch bend and sustain pedal (a VST 3 host delivers MIDI controllers
// only as parameter changes, through the plug-in's controller mapping), under
// ids above every table id.

#include <cstdint>

#include "base/version.h"
#include "framework/vst3/base.h"
#include "synth/parameters.h"

namespace Veldane::vst3 {

// The class id hosts store in every saved session: never changes.
inline constexpr zem::vst3::Uid kClassId = zem::vst3::makeUid(0x5A1E7D03, 0x9C4B4F21, 0xB7E0A6D4, 0x3F8C2E91);
inline constexpr const char* kName = "Veldane";
inline constexpr const char* kVendor = "Orvandel";
inline constexpr const char* kUrl = "https://orvandel.com";
inline constexpr const char* kSubCategories = "Instrument|Synth";
// The plug-in's version as hosts show it.
inline constexpr const char* kVersion = Veldane::kVersion;
// The interface version the plug-in is written against (it answers the
// 3.7 process-context requirements).
inline constexpr const char* kSdkVersion = "VST 3.7.0";

// The two MIDI parameters: pitch bend (0..1 for the 14-bit bend 0..16383,
// centre 8192) and the sustain pedal (0..1 for controller values 0..127).
constexpr std::uint32_t kPitchBendParam = 1000;
constexpr std::uint32_t kSustainParam = 1001;

// Table parameters hosts see, and all parameters with the MIDI two.
constexpr int kTableParamCount = kParamCount;
constexpr int kHostParamCount = kTableParamCount + 2;

// The VST 3 id of the parameter at host index `index` (0..kHostParamCount-1).
constexpr std::uint32_t paramIdAt(int index) noexcept {
    if (index < kTableParamCount) return static_cast<std::uint32_t>(index);
    return index == kTableParamCount ? kPitchBendParam : kSustainParam;
}

// Whether `id` is a table parameter (a ParamId).
constexpr bool isTableParam(std::uint32_t id) noexcept { return id < static_cast<std::uint32_t>(kParamCount); }

} // namespace Veldane::vst3
