#pragma once
// The plug-in factory of a module with one class: what GetPluginFactory
// hands out. It knows the class only by its description and the function
// that makes an instance. The factory is a static object of the module: its
// reference count is kept for hosts that look at it, but it is never freed.
//
// Threads: any (hosts scan from worker threads); nothing allocates but
// createInstance, which makes the instance. No method throws.

#include <atomic>

#include "framework/vst3/base.h"

namespace zem::vst3 {

struct ClassDescription {
    Uid cid;                   // the class id hosts store in their sessions
    const char* category;      // kVstAudioEffectClass for an audio module
    const char* name;          // the name hosts list
    const char* vendor;        // also the factory's vendor
    const char* url;           // the vendor's web site
    const char* subCategories; // e.g. "Instrument|Synth"
    const char* version;       // the plug-in's version, e.g. "1.0.0"
    const char* sdkVersion;    // the interface version it is written against
    // Makes one instance, which starts with one reference (the caller's);
    // null when it cannot be made. Must not throw.
    FUnknown* (*create)() noexcept;
};

class Factory final : public IPluginFactory3 {
public:
    explicit Factory(const ClassDescription& description) noexcept : description(description) {}

    tresult ZEM_VST3_CALL queryInterface(const TUID iid, void** obj) override;
    uint32 ZEM_VST3_CALL addRef() override;
    uint32 ZEM_VST3_CALL release() override;

    tresult ZEM_VST3_CALL getFactoryInfo(PFactoryInfo* info) override;
    int32 ZEM_VST3_CALL countClasses() override;
    tresult ZEM_VST3_CALL getClassInfo(int32 index, PClassInfo* info) override;
    // An unknown class id answers kNoInterface, an interface the instance
    // does not have kNoInterface too (the instance is freed again).
    tresult ZEM_VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) override;
    tresult ZEM_VST3_CALL getClassInfo2(int32 index, PClassInfo2* info) override;
    tresult ZEM_VST3_CALL getClassInfoUnicode(int32 index, PClassInfoW* info) override;
    // The host's context is not needed: accepted and not kept.
    tresult ZEM_VST3_CALL setHostContext(FUnknown* context) override;

private:
    const ClassDescription& description;
    std::atomic<uint32> references{1};
};

} // namespace zem::vst3
