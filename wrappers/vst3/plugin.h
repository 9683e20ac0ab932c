#pragma once
// Veldane as a VST 3 audio module: one object that is the component, its
// audio processor and its edit controller, over one Veldane::Synth. A thin
// translation, as the other formats: the parameter set is the one place
// values live (the processor's and the controller's view of a value cannot
// drift apart), note events go through the framework's MIDI translation, and
// a process call renders in segments between its notes and parameter
// changes, each applied at its sample. The editor is the panel, as a view
// (framework/vst3/editor_view.h); the host's changes through the controller
// and a loaded state reach the open panel, while changes that arrive inside
// process are shown once the host reports them to the controller, as VST 3
// hosts do for the values they automate.
//
// Threads, as VST 3 hosts call: process on the audio thread; everything else
// on the host's main thread, except that parameter reads and writes
// (getParamNormalized, setParamNormalized, the value conversions) may come
// from any thread. A host's or the editor's write from another thread is
// taken by the audio thread at the start of its next process call, as in
// every format; state written by getState therefore holds every value the
// host or the editor has set, whether or not a process call followed.
// No method throws, allocates on the audio thread or answers NaN.

#include <atomic>
#include <cstdint>

#include "framework/editor.h"
#include "framework/editor_link.h"
#include "framework/vst3/editor_view.h"
#include "framework/vst3/vst.h"
#include "synth/synth.h"
#include "ui/editor.h"

namespace Veldane::vst3 {

using namespace zem::vst3;

// This library's module handle, from which the editor loads its images:
// recorded by the library entry routine (DllMain) on Windows; the linked-in
// image table elsewhere.
extern NativeModule libraryModule;

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

template <class Derived>
class ControllerStates : public IEditController {
public:
    tresult ZEM_VST3_CALL setState(IBStream* state) override { return derived().readControllerState(state); }
    tresult ZEM_VST3_CALL getState(IBStream* state) override { return derived().writeControllerState(state); }

private:
    Derived& derived() { return static_cast<Derived&>(*this); }
};

class Plugin final : public ComponentStates<Plugin>,
                     public IAudioProcessor,
                     public IProcessContextRequirements,
                     public ControllerStates<Plugin>,
                     public IMidiMapping,
                     public EditorHost,
                     public zem::IEditController {
public:
    // Starts with one reference, the creator's.
    Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // --- FUnknown --------------------------------------------------------------
    tresult ZEM_VST3_CALL queryInterface(const TUID iid, void** obj) override;
    uint32 ZEM_VST3_CALL addRef() override;
    uint32 ZEM_VST3_CALL release() override;

    // --- IPluginBase (component and controller alike) --------------------------
    tresult ZEM_VST3_CALL initialize(FUnknown* context) override;
    tresult ZEM_VST3_CALL terminate() override;

    // --- IComponent ------------------------------------------------------------
    tresult ZEM_VST3_CALL getControllerClassId(TUID classId) override;
    tresult ZEM_VST3_CALL setIoMode(IoMode mode) override;
    int32 ZEM_VST3_CALL getBusCount(MediaType type, BusDirection dir) override;
    tresult ZEM_VST3_CALL getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override;
    tresult ZEM_VST3_CALL getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override;
    tresult ZEM_VST3_CALL activateBus(MediaType type, BusDirection dir, int32 index, TBool state) override;
    tresult ZEM_VST3_CALL setActive(TBool state) override;
    // The parameters' saved record (synth/state.h), read all or nothing.
    tresult readProcessorState(IBStream* state);
    tresult writeProcessorState(IBStream* state);

    // --- IAudioProcessor -------------------------------------------------------
    tresult ZEM_VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                             int32 numOuts) override;
    tresult ZEM_VST3_CALL getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) override;
    tresult ZEM_VST3_CALL canProcessSampleSize(int32 symbolicSampleSize) override;
    uint32 ZEM_VST3_CALL getLatencySamples() override;
    tresult ZEM_VST3_CALL setupProcessing(ProcessSetup& setup) override;
    tresult ZEM_VST3_CALL setProcessing(TBool state) override;
    tresult ZEM_VST3_CALL process(ProcessData& data) override;
    uint32 ZEM_VST3_CALL getTailSamples() override;

    // --- IProcessContextRequirements -------------------------------------------
    uint32 ZEM_VST3_CALL getProcessContextRequirements() override;

    // --- IEditController -------------------------------------------------------
    tresult ZEM_VST3_CALL setComponentState(IBStream* state) override;
    // The controller keeps nothing of its own: it writes nothing and reads
    // nothing.
    tresult readControllerState(IBStream* state);
    tresult writeControllerState(IBStream* state);
    int32 ZEM_VST3_CALL getParameterCount() override;
    tresult ZEM_VST3_CALL getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
    tresult ZEM_VST3_CALL getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) override;
    tresult ZEM_VST3_CALL getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) override;
    ParamValue ZEM_VST3_CALL normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override;
    ParamValue ZEM_VST3_CALL plainParamToNormalized(ParamID id, ParamValue plainValue) override;
    ParamValue ZEM_VST3_CALL getParamNormalized(ParamID id) override;
    tresult ZEM_VST3_CALL setParamNormalized(ParamID id, ParamValue value) override;
    tresult ZEM_VST3_CALL setComponentHandler(IComponentHandler* handler) override;
    // The panel as the "editor" view (framework/vst3/editor_view.h); no other view.
    IPlugView* ZEM_VST3_CALL createView(FIDString name) override;

    // --- IMidiMapping ----------------------------------------------------------
    tresult ZEM_VST3_CALL getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber number,
                                                      ParamID& id) override;

    // --- The editor view's host (the user-interface thread) --------------------
    FUnknown* hostObject() override;
    bool openEditor(NativeWindow parent, zem::IEditorFrame& frame) override;
    void closeEditor() override;
    void idleEditor() override;
    ViewRect editorSize() override;
    void setEditorHostFactor(double factor) override;

    // --- The panel's view of the plug-in (the user-interface thread) ----------
    zem::Parameter* parameter(int index) override;
    // Stores the edit, has the sound follow and tells the host: one gesture
    // (beginEdit, performEdit with the host's value, endEdit) per edit.
    void edit(int index, float normalized) override;
    void applyPendingEditorUpdates() override;
    // The zoom is kept with the component's state; the panel follows it and
    // the screen (framework/editor_link.h).
    void zoomChosen(int percent) override;
    void screenFactorChanged(double factor) override;

private:
    ~Plugin();

    // Audio thread: one block of `frames` samples into `out` (null: the
    // block's events and points are still applied, nothing is rendered).
    template <class Sample>
    void renderBlock(ProcessData& data, Sample* out, int32 frames) noexcept;
    // Audio thread: a parameter point of the block, at the current sample.
    void applyPoint(ParamID id, ParamValue value) noexcept;
    // Audio thread: a note event of the block, at the current sample.
    void applyEvent(const Event& e) noexcept;
    // Any thread: writes a table parameter from a host value and marks it for
    // the audio thread; false for an id that is none or a refused value.
    bool writeTableParam(ParamID id, ParamValue value) noexcept;

    Synth synth;
    std::atomic<uint32> references{1};
    // initialize calls not yet matched by terminate: a host may initialize
    // the one object once as its component and once as its controller.
    std::atomic<int> initializations{0};
    std::atomic<bool> active{false};
    // The host's receiver of the editor's edits; one reference held while set.
    IComponentHandler* componentHandler = nullptr;
    // Last values of the two MIDI parameters, for getParamNormalized.
    std::atomic<double> pitchBend{0.5};
    std::atomic<double> sustain{0.0};
    // The open editor, its scale and the user's zoom; declared after the
    // synthesizer, so it closes before the parameters it shows go.
    zem::EditorLink<Editor, kParamCount> editorLink;
};

} // namespace Veldane::vst3
