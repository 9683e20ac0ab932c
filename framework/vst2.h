#pragma once
// The VST 2.4 plug-in interface as a host and a plug-in see it in memory:
// the records, callback signatures, opcode numbers and flag values of the
// published 2.4 interface, declared here so that nothing else of the format's
// own distribution is needed. Only what this framework and its tools use is
// declared; names follow the published ones so that a reader who knows the
// format finds them.
//
// Layout: the host reads these records by byte offset, so every field keeps
// its published width and order. The 32-bit (ILP32) and 64-bit (LLP64 on
// Windows, LP64 elsewhere) sizes and offsets are checked at compile time at
// the bottom of this file. Fixed-width types only: `long` is 32 bits on 64-bit
// Windows and 64 bits on 64-bit Linux, so no field may be declared with it.

#include <cstddef>
#include <cstdint>

// Every function that crosses the host boundary uses the C calling convention
// (on 32-bit Windows the caller pops the arguments; a mismatch corrupts the
// host's stack). Elsewhere there is only one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define ZEM_VSTCALL __cdecl
#else
#define ZEM_VSTCALL
#endif

// Pointer-sized integer of the 2.4 interface: dispatcher answers and the
// `value` argument carry pointers as well as numbers.
using VstIntPtr = std::intptr_t;
using VstInt32 = std::int32_t;
using VstInt16 = std::int16_t;

struct AEffect;

// Host callback handed to VSTPluginMain: (effect, opcode, index, value, ptr, opt).
using audioMasterCallback = VstIntPtr(ZEM_VSTCALL*)(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float);
// The plug-in's six callbacks stored in AEffect.
using AEffectDispatcherProc = VstIntPtr(ZEM_VSTCALL*)(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float);
using AEffectProcessProc = void(ZEM_VSTCALL*)(AEffect*, float**, float**, VstInt32);
using AEffectProcessDoubleProc = void(ZEM_VSTCALL*)(AEffect*, double**, double**, VstInt32);
using AEffectSetParameterProc = void(ZEM_VSTCALL*)(AEffect*, VstInt32, float);
using AEffectGetParameterProc = float(ZEM_VSTCALL*)(AEffect*, VstInt32);

// 'VstP': the first four bytes of every AEffect; hosts check it before use.
constexpr VstInt32 kEffectMagic = 0x56737450;

// The record a plug-in hands to its host and the host passes back with every call.
struct AEffect {
    VstInt32 magic;                    // kEffectMagic
    AEffectDispatcherProc dispatcher;  // opcodes (effOpen ...)
    AEffectProcessProc process;        // accumulating process in old hosts; ours overwrites
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;                    // effFlags* bits
    VstIntPtr resvd1;                  // reserved for the host, zero
    VstIntPtr resvd2;                  // reserved for the host, zero
    VstInt32 initialDelay;             // latency in samples
    VstInt32 realQualities;            // unused, zero
    VstInt32 offQualities;             // unused, zero
    float ioRatio;                     // unused, 1
    void* object;                      // the plug-in object, for the plug-in's own use
    void* user;                        // free for the host
    VstInt32 uniqueID;                 // registered four-character plug-in id
    VstInt32 version;                  // plug-in version
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];                   // reserved, zero
};

// AEffect::flags bits.
constexpr VstInt32 effFlagsHasEditor = 1 << 0;
constexpr VstInt32 effFlagsCanReplacing = 1 << 4;
constexpr VstInt32 effFlagsProgramChunks = 1 << 5;
constexpr VstInt32 effFlagsIsSynth = 1 << 8;
constexpr VstInt32 effFlagsNoSoundInStop = 1 << 9;
constexpr VstInt32 effFlagsCanDoubleReplacing = 1 << 12;

// Dispatcher opcodes (host to plug-in).
enum : VstInt32 {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effGetPlugCategory = 35,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
    effGetTailSize = 52,
    effGetVstVersion = 58,
};

// Host opcodes (plug-in to host).
enum : VstInt32 {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
};

// Buffer sizes the interface promises for text answers (characters plus terminator).
constexpr int kVstMaxParamStrLen = 8;
constexpr int kVstMaxEffectNameLen = 32;
constexpr int kVstMaxVendorStrLen = 64;
constexpr int kVstMaxProductStrLen = 64;

// VstEvent::type values.
constexpr VstInt32 kVstMidiType = 1;
constexpr VstInt32 kVstSysExType = 6;

// Generic event: the header every event kind shares, padded to one size.
struct VstEvent {
    VstInt32 type;        // kVstMidiType, kVstSysExType ...
    VstInt32 byteSize;    // size of the whole event minus the first two fields
    VstInt32 deltaFrames; // sample offset into the coming block
    VstInt32 flags;
    char data[16];
};

// One short MIDI message.
struct VstMidiEvent {
    VstInt32 type;        // kVstMidiType
    VstInt32 byteSize;
    VstInt32 deltaFrames; // sample offset into the coming block
    VstInt32 flags;
    VstInt32 noteLength;  // in samples, 0 if unknown
    VstInt32 noteOffset;  // in samples, for a note that started earlier
    char midiData[4];     // status byte and up to two data bytes, fourth zero
    char detune;          // -64..63 cents
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

// What effProcessEvents points at: a count and that many event pointers. The
// array really holds numEvents entries; 2 is only its declared length.
struct VstEvents {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
};

// Editor rectangle answered to effEditGetRect, in pixels.
struct ERect {
    VstInt16 top;
    VstInt16 left;
    VstInt16 bottom;
    VstInt16 right;
};

static_assert(sizeof(ERect) == 8, "ERect is four 16-bit values");
static_assert(sizeof(VstEvent) == 32 && sizeof(VstMidiEvent) == 32, "events are 32 bytes");
static_assert(offsetof(VstMidiEvent, midiData) == 24, "midiData follows six 32-bit fields");

static_assert(sizeof(VstIntPtr) == sizeof(void*), "VstIntPtr carries pointers");
static_assert(sizeof(VstInt32) == 4 && sizeof(VstInt16) == 2, "fixed-width fields");

#if defined(_WIN64)
// LLP64: `long` stays 32 bits, so a host's `long`-based declarations of the
// interface agree with our fixed-width ones.
static_assert(sizeof(long) == 4, "64-bit Windows is LLP64");
#endif

#if INTPTR_MAX == INT32_MAX
// The 32-bit layout every 32-bit host reads: every field, pointers included,
// is 4 bytes, so nothing is padded.
static_assert(sizeof(void*) == 4, "32-bit build");
static_assert(sizeof(AEffect) == 144, "AEffect is 144 bytes on 32-bit Windows");
static_assert(offsetof(AEffect, dispatcher) == 4, "AEffect layout");
static_assert(offsetof(AEffect, numPrograms) == 20, "AEffect layout");
static_assert(offsetof(AEffect, flags) == 36, "AEffect layout");
static_assert(offsetof(AEffect, resvd1) == 40, "AEffect layout");
static_assert(offsetof(AEffect, initialDelay) == 48, "AEffect layout");
static_assert(offsetof(AEffect, ioRatio) == 60, "AEffect layout");
static_assert(offsetof(AEffect, object) == 64, "AEffect layout");
static_assert(offsetof(AEffect, uniqueID) == 72, "AEffect layout");
static_assert(offsetof(AEffect, version) == 76, "AEffect layout");
static_assert(offsetof(AEffect, processReplacing) == 80, "AEffect layout");
static_assert(offsetof(AEffect, processDoubleReplacing) == 84, "AEffect layout");
static_assert(offsetof(AEffect, future) == 88, "AEffect layout");
static_assert(sizeof(VstEvents) == 16, "VstEvents is count, reserved, two pointers");
static_assert(offsetof(VstEvents, events) == 8, "VstEvents layout");
#elif INTPTR_MAX == INT64_MAX
// The 64-bit layout every 64-bit host reads (the same on Windows and Linux:
// the interface has no `long`). Pointers and VstIntPtr are 8 bytes and 8-byte
// aligned, which pads in three places, each where an odd number of 32-bit
// fields precedes a pointer:
// - AEffect: 4 bytes after `magic` (offset 4), so `dispatcher` starts at 8;
// - AEffect: 4 bytes after the five counts and flags from `numPrograms` to
//   `flags` (offset 60), so `resvd1` starts at 64;
// - VstEvents: 4 bytes after `numEvents` (offset 4), so `reserved` starts at 8.
// The other 32-bit runs fill whole 8-byte words (`initialDelay` to `ioRatio`
// before `object`, `uniqueID` and `version` before `processReplacing`) and
// `future` ends the record on an 8-byte boundary, so nothing else is padded.
static_assert(sizeof(void*) == 8, "64-bit build");
static_assert(sizeof(AEffect) == 192, "AEffect is 192 bytes on 64-bit hosts");
static_assert(offsetof(AEffect, dispatcher) == 8, "AEffect layout: 4 bytes of padding after magic");
static_assert(offsetof(AEffect, process) == 16, "AEffect layout");
static_assert(offsetof(AEffect, setParameter) == 24, "AEffect layout");
static_assert(offsetof(AEffect, getParameter) == 32, "AEffect layout");
static_assert(offsetof(AEffect, numPrograms) == 40, "AEffect layout");
static_assert(offsetof(AEffect, flags) == 56, "AEffect layout");
static_assert(offsetof(AEffect, resvd1) == 64, "AEffect layout: 4 bytes of padding after flags");
static_assert(offsetof(AEffect, resvd2) == 72, "AEffect layout");
static_assert(offsetof(AEffect, initialDelay) == 80, "AEffect layout");
static_assert(offsetof(AEffect, ioRatio) == 92, "AEffect layout");
static_assert(offsetof(AEffect, object) == 96, "AEffect layout");
static_assert(offsetof(AEffect, user) == 104, "AEffect layout");
static_assert(offsetof(AEffect, uniqueID) == 112, "AEffect layout");
static_assert(offsetof(AEffect, version) == 116, "AEffect layout");
static_assert(offsetof(AEffect, processReplacing) == 120, "AEffect layout");
static_assert(offsetof(AEffect, processDoubleReplacing) == 128, "AEffect layout");
static_assert(offsetof(AEffect, future) == 136, "AEffect layout");
static_assert(sizeof(VstEvents) == 32, "VstEvents is count, reserved, two pointers");
static_assert(offsetof(VstEvents, reserved) == 8, "VstEvents layout: 4 bytes of padding after numEvents");
static_assert(offsetof(VstEvents, events) == 16, "VstEvents layout");
#else
#error "the VST 2.4 layout is declared for 32- and 64-bit pointers only"
#endif
