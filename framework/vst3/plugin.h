#pragma once
// The framework's VST 3 audio module: one object that is the component, its
// audio processor and its edit controller, over a plug-in's own class
// Derived (curiously recurring), like the CLAP base (framework/clap/plugin.h),
// whose contract Derived meets the same way:
//   - parameters(): its Params (a default-constructible zem::ParameterSet<N>);
//   - setSampleRate(double): main thread, while inactive;
//   - prepareBlock(): audio thread; applies the parameter changes made since
//     its last call (at the start of every process call and at each
//     parameter point, so a change sounds from its sample on);
//   - handleEvent(const zem::Event&): audio thread, between rendered segments;
//   - render(int, float*) and render(int, double*): audio thread;
//   - saveState(int zoom) and loadState(data, size, int& zoom): main
//     thread, all or nothing, the editor's zoom kept with the values (as in
//     the CLAP base);
//   - static parameterGroups(): its zem::ParameterGroups;
//   - static presets(): its factory presets (as in the CLAP base: `name`,
//     `category`, `values[index]`); no allocation after the first call,
//     which the constructor makes.
// EditorT is the editor as for zem::EditorLink; its view is
// framework/vst3/editor_view.h. It scales (framework/editor_scale.h): the
// host's content scale factor is its word, and the user's zoom, kept with
// the state, asks the host's frame for the new size.
//
// What a host sees:
//   - one mono audio output and one MIDI event input (16 channels);
//   - the N parameters under their indices as ids, in the units of their
//     labels, their steps and texts through framework/vst3/parameter_view.h
//     and zem::fullDisplay (entries named whole), each in the unit of its
//     group (unit id = group + 1, children of the root unit); a parameter in
//     no group is hidden and read-only, in the root unit;
//   - two hidden, not automatable parameters that carry the MIDI pitch bend
//     and sustain pedal (a VST 3 host delivers MIDI controllers only as
//     parameter changes, through the controller's MIDI mapping);
//   - the factory presets as the root unit's program list, chosen by a
//     program-change parameter: choosing a program sets every parameter to
//     its values (through the controller at once; inside a process call from
//     that sample on, and the call reports every new value to the host as
//     its output parameter changes), and a state saved afterwards holds them.
//     The controller does not ask the host to read the values again
//     (restartComponent) while the host is inside its call: Ardour 7 holds a
//     lock there that restartComponent takes, and hangs; the host sends the
//     program to the processor as every VST 3 host sends a parameter it set,
//     and the values reach it from there;
//   - the state: Derived's record of every value and the editor's zoom;
//     the controller keeps nothing of its own. A program chosen changes the
//     values only; a preset file's state, which keeps no zoom, leaves the
//     zoom as it was.
//
// Threads, as VST 3 hosts call: process on the audio thread; everything else
// on the host's main thread, except that parameter reads and writes
// (getParamNormalized, setParamNormalized, the value conversions) may come
// from any thread. A write from another thread is taken by the audio thread
// at the start of its next process call, as in every format, and state
// written by getState holds every value the host or the editor has set,
// whether or not a process call followed. The editor is told of every
// change (framework/editor_link.h); changes inside process are shown once
// the host reports them to the controller, as VST 3 hosts do for what they
// automate. No method throws, allocates on the audio thread or answers NaN.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#include "framework/editor.h"
#include "framework/editor_link.h"
#include "framework/event.h"
#include "framework/midi.h"
#include "framework/parameter_groups.h"
#include "framework/plain_value.h"
#include "framework/vst3/audio_buffers.h"
#include "framework/vst3/block_changes.h"
#include "framework/vst3/editor_view.h"
#include "framework/vst3/parameter_view.h"
#include "framework/vst3/stream.h"
#include "framework/vst3/text.h"
#include "framework/vst3/vst.h"

namespace zem::vst3 {

// The ids of the parameters the module adds to the plug-in's own (0..N-1).
// Hosts store them in sessions: they never change.
constexpr ParamID kPitchBendParam = 1000; // 0..1 for the 14-bit bend 0..16383, centre 8192
constexpr ParamID kSustainParam = 1001;   // 0..1 for controller values 0..127
constexpr ParamID kProgramParam = 1002;   // the root unit's program: program k of n at k / (n - 1)
// The factory presets' program list.
constexpr ProgramListID kFactoryProgramList = 1;
// The longest state a module reads: far beyond any parameter set's record,
// so a stream that never ends is refused early.
constexpr std::size_t kMaxStateBytes = std::size_t{1} << 16;

// Both state interfaces have getState and setState with the same signature;
// a single override would serve both. Each adapter gives its pair a name of
// its own in the derived class.
template <class Derived>
class ComponentStates : public IComponent {
public:
    tresult ZEM_VST3_CALL setState(IBStream* state) override { return derived().readProcessorState(state); }
    tresult ZEM_VST3_CALL getState(IBStream* state) override { return derived().writeProcessorState(state); }

private:
    Derived& derived() { return static_cast<Derived&>(*this); }
};

class ControllerStates : public IEditController {
public:
    // The controller keeps nothing of its own: it writes and reads nothing.
    tresult ZEM_VST3_CALL setState(IBStream*) override { return kResultOk; }
    tresult ZEM_VST3_CALL getState(IBStream*) override { return kResultOk; }
};

template <class Derived, class Params, class EditorT>
class Plugin : public ComponentStates<Plugin<Derived, Params, EditorT>>,
               public IAudioProcessor,
               public IProcessContextRequirements,
               public ControllerStates,
               public IMidiMapping,
               public IUnitInfo,
               public EditorHost,
               public zem::IEditController {
public:
    static constexpr int numParameters = Params::size;
    static_assert(numParameters < static_cast<int>(kPitchBendParam), "the module's own ids follow the plug-in's");

    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // --- FUnknown --------------------------------------------------------------
    tresult ZEM_VST3_CALL queryInterface(const TUID iid, void** obj) override {
        if (obj == nullptr) return kInvalidArgument;
        void* found = nullptr;
        if (sameUid(iid, FUnknown::iid) || sameUid(iid, IPluginBase::iid) || sameUid(iid, IComponent::iid))
            found = static_cast<IComponent*>(this);
        else if (sameUid(iid, IAudioProcessor::iid))
            found = static_cast<IAudioProcessor*>(this);
        else if (sameUid(iid, IProcessContextRequirements::iid))
            found = static_cast<IProcessContextRequirements*>(this);
        else if (sameUid(iid, zem::vst3::IEditController::iid))
            found = static_cast<zem::vst3::IEditController*>(this);
        else if (sameUid(iid, IMidiMapping::iid))
            found = static_cast<IMidiMapping*>(this);
        else if (sameUid(iid, IUnitInfo::iid))
            found = static_cast<IUnitInfo*>(this);
        *obj = found;
        if (found == nullptr) return kNoInterface;
        addRef();
        return kResultOk;
    }
    uint32 ZEM_VST3_CALL addRef() override { return ++references; }
    uint32 ZEM_VST3_CALL release() override {
        const uint32 left = --references;
        if (left == 0) delete &derived(); // the plug-in's class is final: deleted as what it is
        return left;
    }

    // --- IPluginBase (component and controller alike) --------------------------
    // Once as the component, once more as the controller; a third time is a
    // host's mistake.
    tresult ZEM_VST3_CALL initialize(FUnknown*) override {
        int count = initializations.load();
        do {
            if (count >= 2) return kResultFalse;
        } while (!initializations.compare_exchange_weak(count, count + 1));
        return kResultOk;
    }
    tresult ZEM_VST3_CALL terminate() override {
        int count = initializations.load();
        do {
            if (count <= 0) return kResultFalse;
        } while (!initializations.compare_exchange_weak(count, count - 1));
        if (count == 1) {
            active = false;
            setComponentHandler(nullptr);
        }
        return kResultOk;
    }

    // --- IComponent ------------------------------------------------------------
    // The component is its own controller: there is no class to create.
    tresult ZEM_VST3_CALL getControllerClassId(TUID) override { return kNotImplemented; }
    tresult ZEM_VST3_CALL setIoMode(IoMode) override { return kNotImplemented; }
    int32 ZEM_VST3_CALL getBusCount(MediaType type, BusDirection dir) override {
        return (type == kAudio && dir == kOutput) || (type == kEvent && dir == kInput) ? 1 : 0;
    }
    tresult ZEM_VST3_CALL getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override {
        if (index != 0 || getBusCount(type, dir) != 1) return kInvalidArgument;
        std::memset(&bus, 0, sizeof bus);
        bus.mediaType = type;
        bus.direction = dir;
        bus.channelCount = type == kAudio ? 1 : kMidiChannels;
        copyText(bus.name, type == kAudio ? "Output" : "MIDI In");
        bus.busType = kMain;
        bus.flags = BusInfo::kDefaultActive;
        return kResultOk;
    }
    tresult ZEM_VST3_CALL getRoutingInfo(RoutingInfo&, RoutingInfo&) override { return kNotImplemented; }
    // Both buses are always used; switching one off changes nothing.
    tresult ZEM_VST3_CALL activateBus(MediaType type, BusDirection dir, int32 index, TBool) override {
        return index == 0 && getBusCount(type, dir) == 1 ? kResultOk : kInvalidArgument;
    }
    tresult ZEM_VST3_CALL setActive(TBool state) override {
        if (state != 0 && initializations.load() == 0) return kNotInitialized;
        active = state != 0;
        return kResultOk;
    }
    // The plug-in's record (Derived::saveState), read all or nothing; the
    // editor shows the values and the zoom it keeps.
    tresult readProcessorState(IBStream* state) {
        try {
            std::vector<std::uint8_t> record(kMaxStateBytes);
            std::size_t size = 0;
            int zoom = editorLink.zoom();
            if (!readToEnd(state, record.data(), record.size(), size)) return kResultFalse;
            if (!derived().loadState(record.data(), size, zoom)) return kResultFalse;
            for (int i = 0; i < numParameters; ++i) editorLink.update(i);
            editorLink.setZoom(zoom);
            return kResultOk;
        } catch (...) {
            return kOutOfMemory;
        }
    }
    tresult writeProcessorState(IBStream* state) {
        try {
            const std::vector<std::uint8_t> record = derived().saveState(editorLink.zoom());
            return writeAll(state, record.data(), record.size()) ? kResultOk : kResultFalse;
        } catch (...) {
            return kOutOfMemory;
        }
    }

    // --- IAudioProcessor -------------------------------------------------------
    // One mono output and no input is all there is; anything else is refused
    // and the host keeps the arrangement getBusArrangement reports.
    tresult ZEM_VST3_CALL setBusArrangements(SpeakerArrangement*, int32 numIns, SpeakerArrangement* outputs,
                                             int32 numOuts) override {
        if (active) return kResultFalse;
        return numIns == 0 && numOuts == 1 && outputs != nullptr && outputs[0] == kSpeakerMono ? kResultTrue
                                                                                                : kResultFalse;
    }
    tresult ZEM_VST3_CALL getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) override {
        if (dir != kOutput || index != 0) return kInvalidArgument;
        arr = kSpeakerMono;
        return kResultOk;
    }
    tresult ZEM_VST3_CALL canProcessSampleSize(int32 symbolicSampleSize) override {
        return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
    }
    uint32 ZEM_VST3_CALL getLatencySamples() override { return 0; }
    // The rate is set while processing is off, as setSampleRate requires.
    tresult ZEM_VST3_CALL setupProcessing(ProcessSetup& setup) override {
        if (initializations.load() == 0) return kNotInitialized;
        if (active) return kResultFalse;
        if (!(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate) || setup.maxSamplesPerBlock < 1 ||
            canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue)
            return kInvalidArgument;
        try {
            derived().setSampleRate(setup.sampleRate);
        } catch (...) {
            return kInternalError;
        }
        return kResultOk;
    }
    tresult ZEM_VST3_CALL setProcessing(TBool) override { return active ? kResultOk : kNotInitialized; }
    // Inactive: silence. Otherwise first the changes other threads made (the
    // host's controller calls, the editor), as in every format; then the
    // block's own, each at its sample.
    tresult ZEM_VST3_CALL process(ProcessData& data) override {
        const bool doubles = data.symbolicSampleSize == kSample64;
        if (!active) {
            if (doubles)
                silence<Sample64>(data);
            else
                silence<Sample32>(data);
            return kNotInitialized;
        }
        if (data.symbolicSampleSize != kSample32 && !doubles) return kInvalidArgument;
        derived().prepareBlock();
        const int32 frames = std::max<int32>(data.numSamples, 0);
        if (doubles)
            renderBlock(data, firstChannel<Sample64>(data), frames);
        else
            renderBlock(data, firstChannel<Sample32>(data), frames);
        return kResultOk;
    }
    // A held note sounds for as long as it is held, so the output never ends
    // by itself while notes may come.
    uint32 ZEM_VST3_CALL getTailSamples() override { return kInfiniteTail; }

    // --- IProcessContextRequirements -------------------------------------------
    uint32 ZEM_VST3_CALL getProcessContextRequirements() override { return 0; }

    // --- IEditController -------------------------------------------------------
    // The controller reads the component's values, which are its own.
    tresult ZEM_VST3_CALL setComponentState(IBStream*) override { return kResultOk; }
    int32 ZEM_VST3_CALL getParameterCount() override { return hostParameterCount(); }
    tresult ZEM_VST3_CALL getParameterInfo(int32 paramIndex, ParameterInfo& info) override {
        if (paramIndex < 0 || paramIndex >= hostParameterCount()) return kInvalidArgument;
        std::memset(&info, 0, sizeof info);
        info.unitId = kRootUnitId;
        if (paramIndex < numParameters) {
            const Params defaults;
            const Parameter& p = *defaults.at(paramIndex);
            const int group = Derived::parameterGroups().groupOf(paramIndex);
            info.id = static_cast<ParamID>(paramIndex);
            copyText(info.title, p.name);
            copyText(info.shortTitle, p.name);
            copyText(info.units, p.label);
            info.stepCount = stepCountOf(p);
            info.defaultNormalizedValue = hostValueOf(p);
            if (group >= 0) {
                info.unitId = group + 1;
                info.flags = flagsOf(p);
            } else {
                info.flags = ParameterInfo::kIsHidden | ParameterInfo::kIsReadOnly;
            }
            return kResultOk;
        }
        info.id = kPitchBendParam + static_cast<ParamID>(paramIndex - numParameters);
        if (info.id == kProgramParam) {
            copyText(info.title, "Program");
            copyText(info.shortTitle, "Program");
            info.stepCount = programCount() - 1;
            info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsProgramChange;
            return kResultOk;
        }
        const bool bend = info.id == kPitchBendParam;
        copyText(info.title, bend ? "Pitch Bend" : "Sustain Pedal");
        copyText(info.shortTitle, bend ? "Bend" : "Sustain");
        info.stepCount = bend ? 0 : static_cast<int32>(kMidiDataMax);
        info.defaultNormalizedValue = bend ? 0.5 : 0.0;
        info.flags = ParameterInfo::kIsHidden;
        return kResultOk;
    }
    // Parameters show their whole display text ("Retrigger"), through a fresh
    // copy of the parameter, so showing a value does not set it; the program
    // its preset's name.
    tresult ZEM_VST3_CALL getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) override {
        if (string == nullptr || !std::isfinite(valueNormalized)) return kInvalidArgument;
        char text[128] = {};
        if (isPluginParameter(id)) {
            Params scratch;
            Parameter& p = *scratch.at(static_cast<int>(id));
            setFromHostValue(p, valueNormalized);
            fullDisplay(p, text, sizeof text);
        } else if (id == kPitchBendParam) {
            std::snprintf(text, sizeof text, "%d", midiValue(valueNormalized, kMidiBendMax) - kMidiBendCentre);
        } else if (id == kSustainParam) {
            std::snprintf(text, sizeof text, "%d", midiValue(valueNormalized, kMidiDataMax));
        } else if (id == kProgramParam && programCount() > 0) {
            std::snprintf(text, sizeof text, "%s", programAt(programIndexOf(valueNormalized)).name.c_str());
        } else {
            return kInvalidArgument;
        }
        copyText(string, 128, text);
        return kResultOk;
    }
    tresult ZEM_VST3_CALL getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) override {
        char text[128];
        if (!readAscii(string, text, sizeof text)) return kInvalidArgument;
        if (id == kProgramParam) {
            const auto& presets = Derived::presets();
            const auto found = std::find_if(std::begin(presets), std::end(presets),
                                            [&text](const auto& preset) { return preset.name == text; });
            if (found == std::end(presets)) return kResultFalse;
            valueNormalized = programValueOf(static_cast<int32>(std::distance(std::begin(presets), found)));
            return kResultOk;
        }
        if (!isPluginParameter(id)) return kInvalidArgument;
        Params scratch;
        Parameter& p = *scratch.at(static_cast<int>(id));
        float normalized = 0.0f;
        if (!p.textToNormalized(text, normalized)) return kResultFalse;
        p.setNormalized(normalized);
        valueNormalized = hostValueOf(p);
        return kResultOk;
    }
    ParamValue ZEM_VST3_CALL normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override {
        if (isPluginParameter(id)) return plainOfHostValue(*params().at(static_cast<int>(id)), valueNormalized);
        if (!std::isfinite(valueNormalized)) return 0.0;
        if (id == kProgramParam) return programIndexOf(valueNormalized);
        return isMidiParameter(id) ? std::clamp(valueNormalized, 0.0, 1.0) : 0.0;
    }
    ParamValue ZEM_VST3_CALL plainParamToNormalized(ParamID id, ParamValue plainValue) override {
        if (isPluginParameter(id)) return hostValueOfPlain(*params().at(static_cast<int>(id)), plainValue);
        if (!std::isfinite(plainValue)) return 0.0;
        if (id == kProgramParam)
            return programValueOf(static_cast<int32>(std::clamp(std::round(plainValue), 0.0, 1e9)));
        return isMidiParameter(id) ? std::clamp(plainValue, 0.0, 1.0) : 0.0;
    }
    ParamValue ZEM_VST3_CALL getParamNormalized(ParamID id) override {
        if (isPluginParameter(id)) return hostValueOf(*params().at(static_cast<int>(id)));
        if (id == kPitchBendParam) return pitchBend;
        if (id == kSustainParam) return sustain;
        if (id == kProgramParam) return program;
        return 0.0;
    }
    // A plug-in parameter is stored and marked for the audio thread; the
    // program loads its preset.
    tresult ZEM_VST3_CALL setParamNormalized(ParamID id, ParamValue value) override {
        if (!std::isfinite(value)) return kInvalidArgument;
        if (isPluginParameter(id)) {
            if (!writeParameter(id, value)) return kInvalidArgument;
            editorLink.update(static_cast<int>(id));
            return kResultOk;
        }
        if (id == kProgramParam && programCount() > 0) {
            loadProgram(value);
            for (int i = 0; i < numParameters; ++i) editorLink.update(i);
            return kResultOk;
        }
        // The MIDI parameters sound only through process; the controller's
        // copy is what getParamNormalized reports.
        if (id == kPitchBendParam) pitchBend = std::clamp(value, 0.0, 1.0);
        else if (id == kSustainParam) sustain = std::clamp(value, 0.0, 1.0);
        else return kInvalidArgument;
        return kResultOk;
    }
    tresult ZEM_VST3_CALL setComponentHandler(IComponentHandler* handler) override {
        if (handler == componentHandler) return kResultOk;
        if (handler != nullptr) handler->addRef();
        if (componentHandler != nullptr) componentHandler->release();
        componentHandler = handler;
        return kResultOk;
    }
    // The editor as the "editor" view (framework/vst3/editor_view.h); no other view.
    IPlugView* ZEM_VST3_CALL createView(FIDString name) override {
        if (name == nullptr || std::strcmp(name, kEditorViewType) != 0) return nullptr;
        return new (std::nothrow) EditorView(*this);
    }

    // --- IMidiMapping ----------------------------------------------------------
    // The pitch bend and the sustain pedal, on every channel of the one bus.
    tresult ZEM_VST3_CALL getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber number,
                                                      ParamID& id) override {
        if (busIndex != 0 || channel < 0 || channel >= kMidiChannels) return kResultFalse;
        if (number == kPitchBend) {
            id = kPitchBendParam;
            return kResultTrue;
        }
        if (number == kCtrlSustainOnOff) {
            id = kSustainParam;
            return kResultTrue;
        }
        return kResultFalse;
    }

    // --- IUnitInfo: the root unit with the program list, a unit per group -------
    int32 ZEM_VST3_CALL getUnitCount() override { return 1 + Derived::parameterGroups().count; }
    tresult ZEM_VST3_CALL getUnitInfo(int32 unitIndex, UnitInfo& info) override {
        if (unitIndex < 0 || unitIndex >= getUnitCount()) return kInvalidArgument;
        std::memset(&info, 0, sizeof info);
        info.id = unitIndex; // the root is 0, group g is g + 1
        info.parentUnitId = unitIndex == 0 ? kNoParentUnitId : kRootUnitId;
        copyText(info.name, unitIndex == 0 ? "" : Derived::parameterGroups().nameOf(unitIndex - 1));
        info.programListId = unitIndex == 0 && programCount() > 0 ? kFactoryProgramList : kNoProgramListId;
        return kResultOk;
    }
    int32 ZEM_VST3_CALL getProgramListCount() override { return programCount() > 0 ? 1 : 0; }
    tresult ZEM_VST3_CALL getProgramListInfo(int32 listIndex, ProgramListInfo& info) override {
        if (listIndex != 0 || programCount() == 0) return kInvalidArgument;
        std::memset(&info, 0, sizeof info);
        info.id = kFactoryProgramList;
        copyText(info.name, "Factory Presets");
        info.programCount = programCount();
        return kResultOk;
    }
    tresult ZEM_VST3_CALL getProgramName(ProgramListID listId, int32 programIndex, String128 name) override {
        if (name == nullptr || !isProgram(listId, programIndex)) return kInvalidArgument;
        copyText(name, 128, programAt(programIndex).name.c_str());
        return kResultOk;
    }
    // The program's name and its category (as the kind of sound it is).
    tresult ZEM_VST3_CALL getProgramInfo(ProgramListID listId, int32 programIndex, CString attributeId,
                                         String128 attributeValue) override {
        if (attributeId == nullptr || attributeValue == nullptr || !isProgram(listId, programIndex))
            return kInvalidArgument;
        const auto& preset = programAt(programIndex);
        if (std::strcmp(attributeId, kPresetAttributeName) == 0) {
            copyText(attributeValue, 128, preset.name.c_str());
        } else if (std::strcmp(attributeId, kPresetAttributeInstrument) == 0 ||
                   std::strcmp(attributeId, kPresetAttributeCategory) == 0) {
            copyText(attributeValue, 128, preset.category.c_str());
        } else {
            return kResultFalse;
        }
        return kResultOk;
    }
    tresult ZEM_VST3_CALL hasProgramPitchNames(ProgramListID, int32) override { return kResultFalse; }
    tresult ZEM_VST3_CALL getProgramPitchName(ProgramListID, int32, int16, String128) override { return kResultFalse; }
    UnitID ZEM_VST3_CALL getSelectedUnit() override { return kRootUnitId; }
    tresult ZEM_VST3_CALL selectUnit(UnitID unitId) override {
        return unitId >= 0 && unitId < getUnitCount() ? kResultOk : kInvalidArgument;
    }
    // Notes reach the whole plug-in: the root unit.
    tresult ZEM_VST3_CALL getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32,
                                       UnitID& unitId) override {
        if (busIndex != 0 || getBusCount(type, dir) != 1) return kResultFalse;
        unitId = kRootUnitId;
        return kResultTrue;
    }
    tresult ZEM_VST3_CALL setUnitProgramData(int32, int32, IBStream*) override { return kNotImplemented; }

    // --- The editor view's host (the user-interface thread) --------------------
    FUnknown* hostObject() override { return static_cast<IComponent*>(this); }
    bool openEditor(NativeWindow parent, IEditorFrame& frame) override {
        return editorLink.open(moduleHandle, this, parent, &frame);
    }
    void closeEditor() override { editorLink.close(); }
    void idleEditor() override { editorLink.idle(); }
    ViewRect editorSize() override { return ViewRect{0, 0, editorLink.width(), editorLink.height()}; }
    void setEditorHostFactor(double factor) override { editorLink.setHostFactor(factor); }

    // --- The editor's view of the plug-in (the user-interface thread) ----------
    Parameter* parameter(int index) override { return params().at(index); }
    // Stores the edit, has the sound follow and tells the host: one gesture
    // (beginEdit, performEdit with the host's value, endEdit) per edit.
    void edit(int index, float normalized) override {
        Parameter* p = params().at(index);
        if (p == nullptr) return;
        params().set(index, normalized);
        params().touch(index);
        editorLink.update(index);
        if (componentHandler == nullptr) return;
        const auto id = static_cast<ParamID>(index);
        componentHandler->beginEdit(id);
        componentHandler->performEdit(id, hostValueOf(*p));
        componentHandler->endEdit(id);
    }
    void applyPendingEditorUpdates() override { editorLink.applyPending(); }
    // The zoom is kept with the component's state; the editor follows it and
    // the screen (framework/editor_link.h).
    void zoomChosen(int percent) override { editorLink.chooseZoom(percent); }
    void screenFactorChanged(double factor) override { editorLink.screenChanged(factor); }

protected:
    // Starts with one reference, the creator's. `module` is the library's,
    // from which the editor loads its images.
    explicit Plugin(NativeModule module) : moduleHandle(module) {
        editorLink.enableScaling();
        Derived::presets(); // read now, so that no later call allocates
    }
    ~Plugin() {
        if (componentHandler != nullptr) componentHandler->release();
    }

private:
    // MIDI's 7-bit data values, the 14-bit bend and its centre.
    static constexpr double kMidiDataMax = 127.0;
    static constexpr double kMidiBendMax = 16383.0;
    static constexpr int kMidiBendCentre = 8192;
    // The MIDI channels the event bus listens to: all of them.
    static constexpr int16 kMidiChannels = 16;
    static constexpr uint32 kInfiniteTail = 0xFFFFFFFFu;

    Derived& derived() noexcept { return static_cast<Derived&>(*this); }
    Params& params() noexcept { return derived().parameters(); }

    static bool isPluginParameter(ParamID id) noexcept { return id < static_cast<ParamID>(numParameters); }
    static bool isMidiParameter(ParamID id) noexcept { return id == kPitchBendParam || id == kSustainParam; }
    // The plug-in's parameters, the MIDI two and, with presets, the program.
    static int32 hostParameterCount() noexcept { return numParameters + (programCount() > 0 ? 3 : 2); }

    // A MIDI data value from a 0..1 host value.
    static int midiValue(ParamValue v, double max) noexcept {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * max));
    }

    // --- Programs: the factory presets -------------------------------------------
    static int32 programCount() noexcept {
        return static_cast<int32>(std::distance(std::begin(Derived::presets()), std::end(Derived::presets())));
    }
    static const auto& programAt(int32 index) noexcept { return *std::next(std::begin(Derived::presets()), index); }
    static bool isProgram(ProgramListID listId, int32 index) noexcept {
        return listId == kFactoryProgramList && index >= 0 && index < programCount();
    }
    // The program a host's value selects, as a list parameter's steps go:
    // equal shares of 0..1 per program.
    static int32 programIndexOf(ParamValue v) noexcept {
        const int32 n = programCount();
        if (n <= 1 || !std::isfinite(v)) return 0;
        return std::min(n - 1, static_cast<int32>(std::floor(std::clamp(v, 0.0, 1.0) * n)));
    }
    static ParamValue programValueOf(int32 index) noexcept {
        const int32 n = programCount();
        return n > 1 ? static_cast<ParamValue>(std::clamp(index, 0, n - 1)) / (n - 1) : 0.0;
    }
    // Any thread, the audio thread included (never allocates or calls the
    // system): every parameter takes the selected program's value, as a
    // host's writes would. Telling the editor is the caller's (the audio
    // thread leaves it to the host, which reports what it was told).
    void loadProgram(ParamValue value) noexcept {
        const auto& preset = programAt(programIndexOf(value));
        for (int i = 0; i < numParameters; ++i) {
            params().set(i, preset.values[static_cast<std::size_t>(i)]);
            params().touch(i);
        }
        program = programValueOf(programIndexOf(value));
    }

    // --- Processing ----------------------------------------------------------------
    // Audio thread: one block of `frames` samples into `out` (null: the
    // block's events and points are still applied, nothing is rendered).
    template <class Sample>
    void renderBlock(ProcessData& data, Sample* out, int32 frames) noexcept {
        int32 position = 0;
        int32 programChangedAt = -1; // the sample of the block's last program change
        walkBlock(
            data, out != nullptr ? frames : 0,
            [this, out, &position](int32 at, int32 count) {
                if (out != nullptr) derived().render(count, out + at);
                position = at + count;
            },
            [this, &position, &programChangedAt](ParamID id, ParamValue value) {
                if (applyPoint(id, value)) programChangedAt = position;
            },
            [this](const Event& e) { applyEvent(e); });
        if (out != nullptr) copyToOtherChannels(data, out, frames);
        if (programChangedAt >= 0) reportValues(data.outputParameterChanges, programChangedAt);
    }

    // Audio thread: tells the host the value of every parameter it may
    // change, as of sample `at` (after a program change). A host that gives
    // no list, or no room in it, learns nothing.
    void reportValues(IParameterChanges* changes, int32 at) noexcept {
        if (changes == nullptr) return;
        for (int i = 0; i < numParameters; ++i) {
            if (!isShown(Derived::parameterGroups(), i)) continue;
            int32 queueIndex = 0, pointIndex = 0;
            IParamValueQueue* queue = changes->addParameterData(static_cast<ParamID>(i), queueIndex);
            if (queue != nullptr) queue->addPoint(at, hostValueOf(*params().at(i)), pointIndex);
        }
    }

    // Audio thread: a parameter point of the block, at the current sample;
    // answers whether it chose a program.
    bool applyPoint(ParamID id, ParamValue value) noexcept {
        if (!std::isfinite(value)) return false;
        zem::Event record{};
        bool translated = false;
        if (id == kPitchBendParam) {
            pitchBend = std::clamp(value, 0.0, 1.0);
            const int bend = midiValue(value, kMidiBendMax);
            translated = translateMidi(kMidiPitchBend, static_cast<unsigned char>(bend & 0x7F),
                                       static_cast<unsigned char>(bend >> 7), 0, record);
        } else if (id == kSustainParam) {
            sustain = std::clamp(value, 0.0, 1.0);
            translated = translateMidi(kMidiControlChange, kMidiSustainController,
                                       static_cast<unsigned char>(midiValue(value, kMidiDataMax)), 0, record);
        } else if (id == kProgramParam && programCount() > 0) {
            loadProgram(value);
            derived().prepareBlock();
            return true;
        } else if (writeParameter(id, value)) {
            derived().prepareBlock();
        }
        if (translated) derived().handleEvent(record);
        return false;
    }

    // Audio thread: a note event of the block, at the current sample. Notes
    // go through the MIDI translation every format shares, so a note means
    // here what it means through VST 2.4 and LV2.
    void applyEvent(const Event& e) noexcept {
        unsigned status = 0;
        int16 pitch = 0;
        float velocity = 0.0f;
        if (e.type == Event::kNoteOnEvent) {
            status = kMidiNoteOn;
            pitch = e.noteOn.pitch;
            velocity = e.noteOn.velocity;
        } else if (e.type == Event::kNoteOffEvent) {
            status = kMidiNoteOff;
            pitch = e.noteOff.pitch;
            velocity = e.noteOff.velocity;
        } else {
            return; // pressure, expression, chords, scales, data: not ours
        }
        if (pitch < 0 || pitch > 127 || !std::isfinite(velocity)) return;
        // A note-on keeps at least the softest velocity: velocity 0 would
        // make it a note-off in MIDI's terms.
        const int lowest = status == kMidiNoteOn ? 1 : 0;
        const int midiVelocity = std::max(lowest, midiValue(velocity, kMidiDataMax));
        zem::Event record{};
        if (translateMidi(static_cast<unsigned char>(status), static_cast<unsigned char>(pitch),
                          static_cast<unsigned char>(midiVelocity), 0, record))
            derived().handleEvent(record);
    }

    // Any thread: writes a plug-in parameter from a host value and marks it
    // for the audio thread; false for an id that is none, a parameter the
    // host may not change or a refused value.
    bool writeParameter(ParamID id, ParamValue value) noexcept {
        const int index = static_cast<int>(id);
        Parameter* p = isPluginParameter(id) ? params().at(index) : nullptr;
        if (p == nullptr || !isShown(Derived::parameterGroups(), index) || !setFromHostValue(*p, value)) return false;
        params().touch(index);
        return true;
    }

    const NativeModule moduleHandle;
    std::atomic<uint32> references{1};
    // initialize calls not yet matched by terminate: a host may initialize
    // the one object once as its component and once as its controller.
    std::atomic<int> initializations{0};
    std::atomic<bool> active{false};
    // The host's receiver of the editor's edits; one reference held while set.
    IComponentHandler* componentHandler = nullptr;
    // Last values of the MIDI parameters and the program, for getParamNormalized.
    std::atomic<double> pitchBend{0.5};
    std::atomic<double> sustain{0.0};
    std::atomic<double> program{0.0};
    // The open editor, its scale and the user's zoom; a member of this base,
    // which Derived's synthesizer outlives (Derived derives from its
    // synthesizer first).
    EditorLink<EditorT, numParameters> editorLink;
};

} // namespace zem::vst3
