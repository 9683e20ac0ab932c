#pragma once
// The VST 3 audio-module interfaces: the component with its buses and state,
// the audio processor and what a process call carries (buffers, events,
// parameter changes), the edit controller with its parameter descriptions,
// MIDI controller mapping, units and program lists, and the host's side of
// both (component handler, host application). See framework/vst3/base.h for how these are declared
// and what is checked.

#include "framework/vst3/base.h"

namespace zem::vst3 {

class IPlugView; // framework/vst3/view.h

using String128 = TChar[128];
using ParamID = uint32;
using ParamValue = double; // a parameter's normalized value, 0..1
using SampleRate = double;
using Sample32 = float;
using Sample64 = double;
using SpeakerArrangement = uint64; // one bit per speaker
using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ProgramListID = int32;
using CtrlNumber = int16;
using CString = const char8*; // zero-terminated ASCII

enum : MediaType { kAudio = 0, kEvent = 1 };
enum : BusDirection { kInput = 0, kOutput = 1 };
enum : BusType { kMain = 0, kAux = 1 };
enum : int32 { kSample32 = 0, kSample64 = 1 };         // symbolic sample sizes
enum : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 }; // process modes
// The one speaker of a mono bus.
constexpr SpeakerArrangement kSpeakerMono = SpeakerArrangement(1) << 19;
// The unit every parameter of a plug-in without units belongs to; it is the
// plug-in itself and has no parent.
constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
// A unit's program list when it has none.
constexpr ProgramListID kNoProgramListId = -1;
// Class category of an audio module (processor and controller in one or two classes).
inline constexpr const char* kVstAudioEffectClass = "Audio Module Class";

struct BusInfo {
    enum : uint32 { kDefaultActive = 1 << 0 };
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    BusType busType;
    uint32 flags;
};

struct RoutingInfo {
    MediaType mediaType;
    int32 busIndex;
    int32 channel;
};

// Set before processing starts (while inactive).
struct ProcessSetup {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    SampleRate sampleRate;
};

struct AudioBusBuffers {
    int32 numChannels;
    uint64 silenceFlags; // bit n: channel n holds only zeros
    union {
        Sample32** channelBuffers32;
        Sample64** channelBuffers64;
    };
};

// --- Events ------------------------------------------------------------------

struct NoteOnEvent {
    int16 channel;
    int16 pitch; // MIDI key 0..127
    float tuning; // cents
    float velocity; // 0..1
    int32 length; // samples, 0 when unknown
    int32 noteId; // -1 when none
};

struct NoteOffEvent {
    int16 channel;
    int16 pitch;
    float velocity;
    int32 noteId;
    float tuning;
};

struct DataEvent {
    uint32 size;
    uint32 type;
    const std::uint8_t* bytes;
};

struct PolyPressureEvent {
    int16 channel;
    int16 pitch;
    float pressure;
    int32 noteId;
};

struct NoteExpressionValueEvent {
    uint32 typeId;
    int32 noteId;
    double value;
};

struct NoteExpressionTextEvent {
    uint32 typeId;
    int32 noteId;
    uint32 textLen;
    const TChar* text;
};

struct ChordEvent {
    int16 root;
    int16 bassNote;
    int16 mask;
    uint16 textLen;
    const TChar* text;
};

struct ScaleEvent {
    int16 root;
    int16 mask;
    uint16 textLen;
    const TChar* text;
};

struct LegacyMIDICCOutEvent {
    std::uint8_t controlNumber;
    int8 channel;
    int8 value;
    int8 value2;
};

struct Event {
    enum : uint16 { kIsLive = 1 << 0 }; // flags
    enum : uint16 {
        kNoteOnEvent = 0,
        kNoteOffEvent = 1,
        kDataEvent = 2,
        kPolyPressureEvent = 3,
        kNoteExpressionValueEvent = 4,
        kNoteExpressionTextEvent = 5,
        kChordEvent = 6,
        kScaleEvent = 7,
        kLegacyMIDICCOutEvent = 65535,
    };
    int32 busIndex;
    int32 sampleOffset; // into the block that carries it
    double ppqPosition;
    uint16 flags;
    uint16 type;
    union {
        NoteOnEvent noteOn;
        NoteOffEvent noteOff;
        DataEvent data;
        PolyPressureEvent polyPressure;
        NoteExpressionValueEvent noteExpressionValue;
        NoteExpressionTextEvent noteExpressionText;
        ChordEvent chord;
        ScaleEvent scale;
        LegacyMIDICCOutEvent midiCCOut;
    };
};

// A block's events, sorted by offset by the host. getEvent copies one out.
class IEventList : public FUnknown {
public:
    virtual int32 ZEM_VST3_CALL getEventCount() = 0;
    virtual tresult ZEM_VST3_CALL getEvent(int32 index, Event& e) = 0;
    virtual tresult ZEM_VST3_CALL addEvent(Event& e) = 0;
    static constexpr Uid iid = makeUid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
};

// --- Parameter changes within a block -------------------------------------------

// The points of one parameter in a block, in the order of their offsets: the
// value becomes `value` at sample `sampleOffset`.
class IParamValueQueue : public FUnknown {
public:
    virtual ParamID ZEM_VST3_CALL getParameterId() = 0;
    virtual int32 ZEM_VST3_CALL getPointCount() = 0;
    virtual tresult ZEM_VST3_CALL getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
    virtual tresult ZEM_VST3_CALL addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
    static constexpr Uid iid = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
};

// One queue per parameter that changes in the block.
class IParameterChanges : public FUnknown {
public:
    virtual int32 ZEM_VST3_CALL getParameterCount() = 0;
    virtual IParamValueQueue* ZEM_VST3_CALL getParameterData(int32 index) = 0;
    virtual IParamValueQueue* ZEM_VST3_CALL addParameterData(const ParamID& id, int32& index) = 0;
    static constexpr Uid iid = makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
};

struct ProcessContext; // the transport; this framework asks for none of it

// Everything one process call carries. numSamples may be 0 (the host only
// delivers parameter changes); any pointer may be null.
struct ProcessData {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples;
    int32 numInputs;
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

// --- The component ---------------------------------------------------------------

// The processing part's description and state (main thread), with
// setActive switching processing resources on and off.
class IComponent : public IPluginBase {
public:
    virtual tresult ZEM_VST3_CALL getControllerClassId(TUID classId) = 0;
    virtual tresult ZEM_VST3_CALL setIoMode(IoMode mode) = 0;
    virtual int32 ZEM_VST3_CALL getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult ZEM_VST3_CALL getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
    virtual tresult ZEM_VST3_CALL getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult ZEM_VST3_CALL activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
    virtual tresult ZEM_VST3_CALL setActive(TBool state) = 0;
    virtual tresult ZEM_VST3_CALL setState(IBStream* state) = 0;
    virtual tresult ZEM_VST3_CALL getState(IBStream* state) = 0;
    static constexpr Uid iid = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
};

class IAudioProcessor : public FUnknown {
public:
    virtual tresult ZEM_VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                     SpeakerArrangement* outputs, int32 numOuts) = 0;
    virtual tresult ZEM_VST3_CALL getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) = 0;
    virtual tresult ZEM_VST3_CALL canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 ZEM_VST3_CALL getLatencySamples() = 0;
    virtual tresult ZEM_VST3_CALL setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult ZEM_VST3_CALL setProcessing(TBool state) = 0;
    virtual tresult ZEM_VST3_CALL process(ProcessData& data) = 0;
    virtual uint32 ZEM_VST3_CALL getTailSamples() = 0;
    static constexpr Uid iid = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
};

// Which parts of the transport the processor wants in ProcessData::processContext.
class IProcessContextRequirements : public FUnknown {
public:
    virtual uint32 ZEM_VST3_CALL getProcessContextRequirements() = 0;
    static constexpr Uid iid = makeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
};

// --- The edit controller -----------------------------------------------------------

struct ParameterInfo {
    enum : int32 {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsWrapAround = 1 << 2,
        kIsList = 1 << 3, // a stepped parameter whose steps are named entries
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
        kIsBypass = 1 << 16,
    };
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount; // 0: continuous; n: n + 1 discrete values
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;
};

// The host's receiver of edits made in the plug-in (its editor): each drag is
// wrapped in beginEdit / endEdit around its performEdit calls.
class IComponentHandler : public FUnknown {
public:
    // restartComponent flags: what the host must read again.
    enum : int32 {
        kReloadComponent = 1 << 0,
        kIoChanged = 1 << 1,
        kParamValuesChanged = 1 << 2, // several values changed (a program was loaded)
        kLatencyChanged = 1 << 3,
        kParamTitlesChanged = 1 << 4,
    };
    virtual tresult ZEM_VST3_CALL beginEdit(ParamID id) = 0;
    virtual tresult ZEM_VST3_CALL performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult ZEM_VST3_CALL endEdit(ParamID id) = 0;
    virtual tresult ZEM_VST3_CALL restartComponent(int32 flags) = 0;
    static constexpr Uid iid = makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
};

// The parameters as the host's controls see them, on the main thread.
class IEditController : public IPluginBase {
public:
    virtual tresult ZEM_VST3_CALL setComponentState(IBStream* state) = 0;
    virtual tresult ZEM_VST3_CALL setState(IBStream* state) = 0;
    virtual tresult ZEM_VST3_CALL getState(IBStream* state) = 0;
    virtual int32 ZEM_VST3_CALL getParameterCount() = 0;
    virtual tresult ZEM_VST3_CALL getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
    virtual tresult ZEM_VST3_CALL getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                        String128 string) = 0;
    virtual tresult ZEM_VST3_CALL getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
    virtual ParamValue ZEM_VST3_CALL normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue ZEM_VST3_CALL plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue ZEM_VST3_CALL getParamNormalized(ParamID id) = 0;
    virtual tresult ZEM_VST3_CALL setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult ZEM_VST3_CALL setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* ZEM_VST3_CALL createView(FIDString name) = 0;
    static constexpr Uid iid = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
};

// MIDI controllers (and the pseudo-controllers pitch bend and aftertouch)
// that the host turns into changes of a parameter.
enum : CtrlNumber { kCtrlSustainOnOff = 64, kAfterTouch = 128, kPitchBend = 129 };

class IMidiMapping : public FUnknown {
public:
    // Answers kResultTrue and the parameter in `id` when controller `number`
    // on `channel` of event bus `busIndex` drives one.
    virtual tresult ZEM_VST3_CALL getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber number,
                                                              ParamID& id) = 0;
    static constexpr Uid iid = makeUid(0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5);
};

// --- Units and program lists ---------------------------------------------------------

// A unit: a named group of parameters (the root unit is the plug-in itself),
// which may select its program from a program list.
struct UnitInfo {
    UnitID id;
    UnitID parentUnitId; // kNoParentUnitId for the root
    String128 name;
    ProgramListID programListId; // kNoProgramListId when the unit has no programs
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32 programCount;
};

// Predefined program attributes (getProgramInfo's attributeId).
inline constexpr const char* kPresetAttributeName = "Name";
inline constexpr const char* kPresetAttributeInstrument = "MusicalInstrument"; // the sound's kind, e.g. "Bass"
inline constexpr const char* kPresetAttributeCategory = "MusicalCategory";
inline constexpr const char* kPresetAttributePlugInName = "PlugInName";
inline constexpr const char* kPresetAttributePlugInCategory = "PlugInCategory";

// The controller's units and program lists, on the main thread. The root
// unit (kRootUnitId) always exists; a program-change parameter
// (ParameterInfo::kIsProgramChange) in a unit selects the program of the
// unit's list.
class IUnitInfo : public FUnknown {
public:
    virtual int32 ZEM_VST3_CALL getUnitCount() = 0;
    virtual tresult ZEM_VST3_CALL getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
    virtual int32 ZEM_VST3_CALL getProgramListCount() = 0;
    virtual tresult ZEM_VST3_CALL getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
    virtual tresult ZEM_VST3_CALL getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
    virtual tresult ZEM_VST3_CALL getProgramInfo(ProgramListID listId, int32 programIndex, CString attributeId,
                                                 String128 attributeValue) = 0;
    virtual tresult ZEM_VST3_CALL hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
    virtual tresult ZEM_VST3_CALL getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                                      String128 name) = 0;
    virtual UnitID ZEM_VST3_CALL getSelectedUnit() = 0;
    virtual tresult ZEM_VST3_CALL selectUnit(UnitID unitId) = 0;
    virtual tresult ZEM_VST3_CALL getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                               UnitID& unitId) = 0;
    virtual tresult ZEM_VST3_CALL setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;
    static constexpr Uid iid = makeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
};

// The host's own object, handed to initialize.
class IHostApplication : public FUnknown {
public:
    virtual tresult ZEM_VST3_CALL getName(String128 name) = 0;
    virtual tresult ZEM_VST3_CALL createInstance(TUID cid, TUID iid, void** obj) = 0;
    static constexpr Uid iid = makeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
};

// --- Layout checks (64-bit targets) -------------------------------------------
static_assert(sizeof(void*) == 8, "the VST 3 plug-in and host are built for 64-bit targets only");
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268, "three numbers, a name, type and flags");
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16, "the rate is 8-aligned");
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, silenceFlags) == 8 &&
                  offsetof(AudioBusBuffers, channelBuffers32) == 16,
              "count, flags, buffers");
static_assert(sizeof(NoteOnEvent) == 20 && sizeof(NoteOffEvent) == 16 && offsetof(NoteOffEvent, tuning) == 12,
              "note records");
static_assert(sizeof(Event) == 48 && offsetof(Event, type) == 18 && offsetof(Event, noteOn) == 24,
              "the event header, then the 8-aligned union of the largest record (24 bytes)");
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
                  offsetof(ProcessData, processContext) == 72,
              "five numbers, then seven pointers");
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, stepCount) == 772 &&
                  offsetof(ParameterInfo, defaultNormalizedValue) == 776 && offsetof(ParameterInfo, flags) == 788,
              "id, three texts, steps, the 8-aligned default, unit, flags");

static_assert(sizeof(UnitInfo) == 268 && offsetof(UnitInfo, name) == 8 && offsetof(UnitInfo, programListId) == 264,
              "two ids, a name, the program list");
static_assert(sizeof(ProgramListInfo) == 264 && offsetof(ProgramListInfo, programCount) == 260,
              "id, name, count");

} // namespace zem::vst3
