#include "framework/vst3/factory.h"

#include <cstring>

#include "framework/vst3/text.h"

namespace zem::vst3 {

tresult ZEM_VST3_CALL Factory::queryInterface(const TUID iid, void** obj) {
    if (obj == nullptr) return kInvalidArgument;
    if (sameUid(iid, FUnknown::iid) || sameUid(iid, IPluginFactory::iid) || sameUid(iid, IPluginFactory2::iid) ||
        sameUid(iid, IPluginFactory3::iid)) {
        addRef();
        *obj = static_cast<IPluginFactory3*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 ZEM_VST3_CALL Factory::addRef() { return ++references; }

uint32 ZEM_VST3_CALL Factory::release() {
    // Never below 1: the module's own reference is never given up.
    uint32 count = references.load();
    while (count > 1 && !references.compare_exchange_weak(count, count - 1)) {
    }
    return count > 1 ? count - 1 : 1;
}

tresult ZEM_VST3_CALL Factory::getFactoryInfo(PFactoryInfo* info) {
    if (info == nullptr) return kInvalidArgument;
    std::memset(info, 0, sizeof *info);
    copyText(info->vendor, description.vendor);
    copyText(info->url, description.url);
    info->flags = PFactoryInfo::kUnicode;
    return kResultOk;
}

int32 ZEM_VST3_CALL Factory::countClasses() { return 1; }

namespace {

// The first fields, which every kind of class information has.
template <class Info>
tresult fillBasics(const ClassDescription& description, int32 index, Info* info) noexcept {
    if (info == nullptr || index != 0) return kInvalidArgument;
    std::memset(info, 0, sizeof *info);
    std::memcpy(info->cid, description.cid.bytes, sizeof info->cid);
    info->cardinality = PClassInfo::kManyInstances;
    copyText(info->category, description.category);
    copyText(info->name, description.name);
    return kResultOk;
}

// The ASCII and the UTF-16 class information have the same further fields.
template <class Info>
tresult fillClassInfo(const ClassDescription& description, int32 index, Info* info) noexcept {
    if (fillBasics(description, index, info) != kResultOk) return kInvalidArgument;
    copyText(info->subCategories, description.subCategories);
    copyText(info->vendor, description.vendor);
    copyText(info->version, description.version);
    copyText(info->sdkVersion, description.sdkVersion);
    return kResultOk;
}

} // namespace

tresult ZEM_VST3_CALL Factory::getClassInfo(int32 index, PClassInfo* info) {
    return fillBasics(description, index, info);
}

tresult ZEM_VST3_CALL Factory::getClassInfo2(int32 index, PClassInfo2* info) {
    return fillClassInfo(description, index, info);
}

tresult ZEM_VST3_CALL Factory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
    return fillClassInfo(description, index, info);
}

tresult ZEM_VST3_CALL Factory::createInstance(FIDString cid, FIDString iid, void** obj) {
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (cid == nullptr || iid == nullptr) return kInvalidArgument;
    if (!sameUid(cid, description.cid)) return kNoInterface;
    FUnknown* instance = description.create();
    if (instance == nullptr) return kOutOfMemory;
    const tresult r = instance->queryInterface(iid, obj);
    instance->release(); // the creator's reference; the host's, if any, remains
    return r;
}

tresult ZEM_VST3_CALL Factory::setHostContext(FUnknown*) { return kResultOk; }

} // namespace zem::vst3
