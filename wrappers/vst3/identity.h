#pragma once
// Veldane's identity as VST 3 hosts see it, shared by the module's entry
// points (wrappers/vst3/entry.cpp), the tool that writes its preset files
// (wrappers/vst3/make_presets.cpp) and our VST 3 test host's checks. The
// parameters, units and programs are the framework's
// (framework/vst3/plugin.h): the table's parameters under their ParamId, so
// a session stores a value under the number a VST 2.4 host uses for its
// index.

#include <cstdint>

#include "base/version.h"
#include "framework/vst3/base.h"

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

} // namespace Veldane::vst3
