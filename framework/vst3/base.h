#pragma once
// The core of the VST 3 interfaces as a host and a plug-in see them in memory:
// the COM-like reference-counted objects, interface identifiers, result codes,
// the plug-in factory and the byte stream that carries saved state. Declared
// here from the published (MIT-licensed) interfaces and their documentation,
// so that nothing of the format's own distribution is needed; only what this
// framework and its tools use is declared. Names follow the published ones,
// so a reader who knows the format finds them.
//
// Layout. A host calls through the virtual function tables of these classes
// and reads their records by offset, so:
//   - every interface is a class of pure virtual functions in the published
//     order, derived singly from its published base, with no virtual
//     destructor (which would take a slot of the table);
//   - records keep the published field widths and order, in fixed-width types
//     (`long` differs between 64-bit Windows and Linux); their sizes and
//     offsets on the 64-bit targets are checked at the bottom of each header.
//     The published headers ask for natural alignment on these targets, which
//     is what the compilers give without any packing directive.
//
// Threads and ownership follow the format: an object starts with one
// reference, which its creator hands to whoever asked for it; addRef and
// release may come from any thread; queryInterface answers a pointer with a
// reference added for the caller.

#include <cstddef>
#include <cstdint>
#include <cstring>

// Every method that crosses the boundary uses the system's COM convention: on
// 32-bit Windows the callee pops its arguments; elsewhere there is one
// convention. (We build for 64-bit Windows only, but the declaration stays
// true to the interface.)
#if defined(_WIN32) && !defined(_WIN64)
#define ZEM_VST3_CALL __stdcall
#else
#define ZEM_VST3_CALL
#endif

namespace zem::vst3 {

using int8 = std::int8_t;
using int16 = std::int16_t;
using uint16 = std::uint16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using uint64 = std::uint64_t;
using tresult = int32;
using TBool = std::uint8_t;
using char8 = char;
// UTF-16 code unit: wchar_t on Windows, char16_t elsewhere; both 16 bits, so
// one type serves the records of both.
using char16 = char16_t;
using TChar = char16;
// Zero-terminated ASCII identifier (class ids as strings, view types).
using FIDString = const char8*;

// Result codes. On Windows they are the COM HRESULTs the format adopted
// there; elsewhere small numbers. True and OK are the same value.
#ifdef _WIN32
enum : tresult {
    kNoInterface = static_cast<tresult>(0x80004002u),
    kResultOk = 0,
    kResultTrue = kResultOk,
    kResultFalse = 1,
    kInvalidArgument = static_cast<tresult>(0x80070057u),
    kNotImplemented = static_cast<tresult>(0x80004001u),
    kInternalError = static_cast<tresult>(0x80004005u),
    kNotInitialized = static_cast<tresult>(0x8000FFFFu),
    kOutOfMemory = static_cast<tresult>(0x8007000Eu),
};
#else
enum : tresult {
    kNoInterface = -1,
    kResultOk = 0,
    kResultTrue = kResultOk,
    kResultFalse = 1,
    kInvalidArgument = 2,
    kNotImplemented = 3,
    kInternalError = 4,
    kNotInitialized = 5,
    kOutOfMemory = 6,
};
#endif

// A 16-byte identifier of an interface or a class. Written as four 32-bit
// numbers; on Windows the bytes are in the order of a Windows GUID (first
// number little-endian, the second as two little-endian halves, the rest
// big-endian), elsewhere all four big-endian. Hosts compare the bytes.
using TUID = char[16];

struct Uid {
    char bytes[16];
};

constexpr char byteOf(uint32 v, int shift) { return static_cast<char>((v >> shift) & 0xFFu); }

constexpr Uid makeUid(uint32 a, uint32 b, uint32 c, uint32 d) {
#ifdef _WIN32
    return {{byteOf(a, 0), byteOf(a, 8), byteOf(a, 16), byteOf(a, 24), byteOf(b, 16), byteOf(b, 24), byteOf(b, 0),
             byteOf(b, 8), byteOf(c, 24), byteOf(c, 16), byteOf(c, 8), byteOf(c, 0), byteOf(d, 24), byteOf(d, 16),
             byteOf(d, 8), byteOf(d, 0)}};
#else
    return {{byteOf(a, 24), byteOf(a, 16), byteOf(a, 8), byteOf(a, 0), byteOf(b, 24), byteOf(b, 16), byteOf(b, 8),
             byteOf(b, 0), byteOf(c, 24), byteOf(c, 16), byteOf(c, 8), byteOf(c, 0), byteOf(d, 24), byteOf(d, 16),
             byteOf(d, 8), byteOf(d, 0)}};
#endif
}

// Whether the 16 bytes at `id` (which may be null) are `uid`.
inline bool sameUid(const void* id, const Uid& uid) noexcept {
    return id != nullptr && std::memcmp(id, uid.bytes, sizeof uid.bytes) == 0;
}

// The root of every interface: identity by queryInterface, lifetime by
// reference count.
class FUnknown {
public:
    // Any thread. When the object has the interface `iid`, stores a pointer
    // to it in *obj with a reference added and answers kResultOk; otherwise
    // stores null and answers kNoInterface.
    virtual tresult ZEM_VST3_CALL queryInterface(const TUID iid, void** obj) = 0;
    // Any thread. Answer the new count.
    virtual uint32 ZEM_VST3_CALL addRef() = 0;
    virtual uint32 ZEM_VST3_CALL release() = 0;
    static constexpr Uid iid = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
};

// Set-up and tear-down of a plug-in object, on the host's main thread.
// `context` is the host's object (IHostApplication); initialize comes once
// before anything else, terminate once before the last release.
class IPluginBase : public FUnknown {
public:
    virtual tresult ZEM_VST3_CALL initialize(FUnknown* context) = 0;
    virtual tresult ZEM_VST3_CALL terminate() = 0;
    static constexpr Uid iid = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
};

// A stream of bytes the host owns: where a component writes its state and
// reads it back. Reads may deliver fewer bytes than asked (the count comes
// back through the last argument, which may be null).
class IBStream : public FUnknown {
public:
    enum : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };
    virtual tresult ZEM_VST3_CALL read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
    virtual tresult ZEM_VST3_CALL write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
    virtual tresult ZEM_VST3_CALL seek(int64 pos, int32 mode, int64* result) = 0;
    virtual tresult ZEM_VST3_CALL tell(int64* pos) = 0;
    static constexpr Uid iid = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
};

// --- The factory a module hands out through GetPluginFactory -----------------

struct PFactoryInfo {
    enum : int32 {
        kNoFlags = 0,
        kClassesDiscardable = 1 << 0,
        kLicenseCheck = 1 << 1,
        kComponentNonDiscardable = 1 << 3,
        kUnicode = 1 << 4, // the UTF-16 class information is the one to read
    };
    char8 vendor[64];
    char8 url[256];
    char8 email[128];
    int32 flags;
};

struct PClassInfo {
    // Cardinality of a class any number of whose instances may exist.
    static constexpr int32 kManyInstances = 0x7FFFFFFF;
    TUID cid;
    int32 cardinality;
    char8 category[32];
    char8 name[64];
};

// The class information with sub-categories, vendor and version, in ASCII.
struct PClassInfo2 {
    TUID cid;
    int32 cardinality;
    char8 category[32];
    char8 name[64];
    uint32 classFlags;
    char8 subCategories[128];
    char8 vendor[64];
    char8 version[64];
    char8 sdkVersion[64];
};

// The same in UTF-16 where a name may need it.
struct PClassInfoW {
    TUID cid;
    int32 cardinality;
    char8 category[32];
    char16 name[64];
    uint32 classFlags;
    char8 subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult ZEM_VST3_CALL getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 ZEM_VST3_CALL countClasses() = 0;
    virtual tresult ZEM_VST3_CALL getClassInfo(int32 index, PClassInfo* info) = 0;
    // Creates an instance of class `cid` and answers its interface `iid` in
    // *obj (with the instance's one reference).
    virtual tresult ZEM_VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) = 0;
    static constexpr Uid iid = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult ZEM_VST3_CALL getClassInfo2(int32 index, PClassInfo2* info) = 0;
    static constexpr Uid iid = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult ZEM_VST3_CALL getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    virtual tresult ZEM_VST3_CALL setHostContext(FUnknown* context) = 0;
    static constexpr Uid iid = makeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
};

// The module's one exported factory function.
using GetFactoryProc = IPluginFactory*(ZEM_VST3_CALL*)();

// --- Layout checks (64-bit targets) -------------------------------------------
static_assert(sizeof(TUID) == 16 && sizeof(char16) == 2, "identifiers are 16 bytes, text units 2");
static_assert(sizeof(PFactoryInfo) == 452, "three texts and the flags");
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, name) == 52, "id, cardinality, category, name");
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, classFlags) == 116 &&
                  offsetof(PClassInfo2, sdkVersion) == 376,
              "PClassInfo followed by flags, sub-categories and three texts");
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, name) == 52 &&
                  offsetof(PClassInfoW, classFlags) == 180 && offsetof(PClassInfoW, sdkVersion) == 568,
              "the UTF-16 class information");
// The first method of every interface sits at the start of its table: an
// interface pointer is one pointer to the table, nothing else.
static_assert(sizeof(FUnknown) == sizeof(void*) && sizeof(IPluginFactory3) == sizeof(void*),
              "an interface is a pointer to its function table");

} // namespace zem::vst3
