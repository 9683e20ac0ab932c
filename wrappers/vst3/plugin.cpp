#include "wrappers/vst3/plugin.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "framework/midi.h"
#include "framework/vst3/block_changes.h"
#include "framework/vst3/parameter_view.h"
#include "framework/vst3/stream.h"
#include "framework/vst3/text.h"
#include "synth/state.h"
#include "wrappers/vst3/identity.h"

namespace Veldane::vst3 {

namespace {

// The longest state record loadState accepts: a 12-byte header and 8 bytes
// per value (synth/state.h).
constexpr std::size_t kStateCapacity = 12 + 8 * std::size_t(kMaxStateEntries);
// MIDI's 7-bit data values and the 14-bit bend.
constexpr double kMidiDataMax = 127.0;
constexpr double kMidiBendMax = 16383.0;
// The MIDI channels the event bus listens to: all of them.
constexpr int16 kMidiChannels = 16;
// What getTailSamples answers: a held note sounds for as long as it is held,
// so the output never ends by itself while notes may come.
constexpr uint32 kInfiniteTail = 0xFFFFFFFFu;

bool isMidiParam(ParamID id) noexcept { return id == kPitchBendParam || id == kSustainParam; }

// A MIDI data value from a 0..1 host value.
int midiValue(ParamValue v, double max) noexcept { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * max)); }

template <class Sample>
void silence(ProcessData& data) noexcept {
    if (data.outputs == nullptr || data.numSamples <= 0) return;
    for (int32 b = 0; b < data.numOutputs; ++b) {
        AudioBusBuffers& bus = data.outputs[b];
        Sample** channels = reinterpret_cast<Sample**>(bus.channelBuffers32);
        for (int32 c = 0; channels != nullptr && c < bus.numChannels; ++c)
            if (channels[c] != nullptr) std::fill(channels[c], channels[c] + data.numSamples, Sample(0));
        bus.silenceFlags = 0;
    }
}

// The first channel of the output bus, or null when the host gave none.
template <class Sample>
Sample* firstChannel(ProcessData& data) noexcept {
    if (data.outputs == nullptr || data.numOutputs < 1 || data.outputs[0].numChannels < 1) return nullptr;
    Sample** channels = reinterpret_cast<Sample**>(data.outputs[0].channelBuffers32);
    return channels != nullptr ? channels[0] : nullptr;
}

// A host that insists on more channels than the mono bus has hears the one
// channel in each.
template <class Sample>
void copyToOtherChannels(ProcessData& data, const Sample* out, int32 frames) noexcept {
    AudioBusBuffers& bus = data.outputs[0];
    Sample** channels = reinterpret_cast<Sample**>(bus.channelBuffers32);
    for (int32 c = 1; c < bus.numChannels; ++c)
        if (channels[c] != nullptr && channels[c] != out) std::copy(out, out + frames, channels[c]);
    bus.silenceFlags = 0;
}

} // namespace

Plugin::Plugin() {
    editorLink.enableScaling();
}

Plugin::~Plugin() {
    if (componentHandler != nullptr) componentHandler->release();
}

// --- FUnknown -------------------------------------------------------------------

tresult ZEM_VST3_CALL Plugin::queryInterface(const TUID iid, void** obj) {
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
    *obj = found;
    if (found == nullptr) return kNoInterface;
    addRef();
    return kResultOk;
}

uint32 ZEM_VST3_CALL Plugin::addRef() { return ++references; }

uint32 ZEM_VST3_CALL Plugin::release() {
    const uint32 left = --references;
    if (left == 0) delete this;
    return left;
}

// --- IPluginBase --------------------------------------------------------------------

tresult ZEM_VST3_CALL Plugin::initialize(FUnknown*) {
    // Once as the component, once more as the controller; a third time is a
    // host's mistake.
    int count = initializations.load();
    do {
        if (count >= 2) return kResultFalse;
    } while (!initializations.compare_exchange_weak(count, count + 1));
    return kResultOk;
}

tresult ZEM_VST3_CALL Plugin::terminate() {
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

// --- IComponent ---------------------------------------------------------------------

tresult ZEM_VST3_CALL Plugin::getControllerClassId(TUID) {
    // The component is its own controller: there is no class to create.
    return kNotImplemented;
}

tresult ZEM_VST3_CALL Plugin::setIoMode(IoMode) { return kNotImplemented; }

int32 ZEM_VST3_CALL Plugin::getBusCount(MediaType type, BusDirection dir) {
    return (type == kAudio && dir == kOutput) || (type == kEvent && dir == kInput) ? 1 : 0;
}

tresult ZEM_VST3_CALL Plugin::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) {
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

tresult ZEM_VST3_CALL Plugin::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

tresult ZEM_VST3_CALL Plugin::activateBus(MediaType type, BusDirection dir, int32 index, TBool) {
    // Both buses are always used; switching one off changes nothing.
    return index == 0 && getBusCount(type, dir) == 1 ? kResultOk : kInvalidArgument;
}

tresult ZEM_VST3_CALL Plugin::setActive(TBool state) {
    if (state != 0 && initializations.load() == 0) return kNotInitialized;
    active = state != 0;
    return kResultOk;
}

tresult Plugin::readProcessorState(IBStream* state) {
    try {
        std::vector<std::uint8_t> record(kStateCapacity);
        std::size_t size = 0;
        std::string error;
        InstanceSettings settings;
        settings.panelZoom = editorLink.zoom();
        if (!readToEnd(state, record.data(), record.size(), size)) return kResultFalse;
        if (!loadState(record.data(), size, synth.params, error, &settings)) return kResultFalse;
        for (int id = 0; id < kParamCount; ++id) editorLink.update(id);
        editorLink.setZoom(settings.panelZoom);
        return kResultOk;
    } catch (...) {
        return kOutOfMemory;
    }
}

tresult Plugin::writeProcessorState(IBStream* state) {
    try {
        InstanceSettings settings;
        settings.panelZoom = editorLink.zoom();
        const std::vector<std::uint8_t> record = saveState(synth.params, settings);
        return writeAll(state, record.data(), record.size()) ? kResultOk : kResultFalse;
    } catch (...) {
        return kOutOfMemory;
    }
}

// --- IAudioProcessor ------------------------------------------------------------------

tresult ZEM_VST3_CALL Plugin::setBusArrangements(SpeakerArrangement*, int32 numIns, SpeakerArrangement* outputs,
                                                 int32 numOuts) {
    // One mono output and no input is all there is; anything else is refused
    // and the host keeps the arrangement getBusArrangement reports.
    if (active) return kResultFalse;
    return numIns == 0 && numOuts == 1 && outputs != nullptr && outputs[0] == kSpeakerMono ? kResultTrue
                                                                                            : kResultFalse;
}

tresult ZEM_VST3_CALL Plugin::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
    if (dir != kOutput || index != 0) return kInvalidArgument;
    arr = kSpeakerMono;
    return kResultOk;
}

tresult ZEM_VST3_CALL Plugin::canProcessSampleSize(int32 symbolicSampleSize) {
    return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

uint32 ZEM_VST3_CALL Plugin::getLatencySamples() { return 0; }

tresult ZEM_VST3_CALL Plugin::setupProcessing(ProcessSetup& setup) {
    if (initializations.load() == 0) return kNotInitialized;
    // The rate is set while processing is off, as setSampleRate requires.
    if (active) return kResultFalse;
    if (!(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate) || setup.maxSamplesPerBlock < 1 ||
        canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue)
        return kInvalidArgument;
    synth.setSampleRate(setup.sampleRate);
    return kResultOk;
}

tresult ZEM_VST3_CALL Plugin::setProcessing(TBool) { return active ? kResultOk : kNotInitialized; }

tresult ZEM_VST3_CALL Plugin::process(ProcessData& data) {
    const bool doubles = data.symbolicSampleSize == kSample64;
    if (!active) {
        if (doubles)
            silence<Sample64>(data);
        else
            silence<Sample32>(data);
        return kNotInitialized;
    }
    if (data.symbolicSampleSize != kSample32 && !doubles) return kInvalidArgument;
    // First of all the changes other threads made (the host's controller
    // calls, the editor), as in every format; then the block's own.
    synth.applyParameterChanges();
    const int32 frames = std::max<int32>(data.numSamples, 0);
    if (doubles)
        renderBlock(data, firstChannel<Sample64>(data), frames);
    else
        renderBlock(data, firstChannel<Sample32>(data), frames);
    return kResultOk;
}

template <class Sample>
void Plugin::renderBlock(ProcessData& data, Sample* out, int32 frames) noexcept {
    walkBlock(
        data, out != nullptr ? frames : 0,
        [this, out](int32 position, int32 count) {
            if (out != nullptr) synth.render(count, out + position);
        },
        [this](ParamID id, ParamValue value) { applyPoint(id, value); },
        [this](const Event& e) { applyEvent(e); });
    if (out != nullptr) copyToOtherChannels(data, out, frames);
}

void Plugin::applyPoint(ParamID id, ParamValue value) noexcept {
    if (!std::isfinite(value)) return;
    zem::Event record{};
    bool translated = false;
    if (id == kPitchBendParam) {
        pitchBend = std::clamp(value, 0.0, 1.0);
        const int bend = midiValue(value, kMidiBendMax);
        translated = zem::translateMidi(zem::kMidiPitchBend, static_cast<unsigned char>(bend & 0x7F),
                                        static_cast<unsigned char>(bend >> 7), 0, record);
    } else if (id == kSustainParam) {
        sustain = std::clamp(value, 0.0, 1.0);
        translated = zem::translateMidi(zem::kMidiControlChange, zem::kMidiSustainController,
                                        static_cast<unsigned char>(midiValue(value, kMidiDataMax)), 0, record);
    } else if (writeTableParam(id, value)) {
        synth.applyParameterChanges();
    }
    if (translated) synth.handleEvent(record);
}

void Plugin::applyEvent(const Event& e) noexcept {
    // Notes go through the MIDI translation every format shares, so a note
    // means here what it means through VST 2.4 and LV2.
    unsigned status = 0;
    int16 pitch = 0;
    float velocity = 0.0f;
    if (e.type == Event::kNoteOnEvent) {
        status = zem::kMidiNoteOn;
        pitch = e.noteOn.pitch;
        velocity = e.noteOn.velocity;
    } else if (e.type == Event::kNoteOffEvent) {
        status = zem::kMidiNoteOff;
        pitch = e.noteOff.pitch;
        velocity = e.noteOff.velocity;
    } else {
        return; // pressure, expression, chords, scales, data: not ours
    }
    if (pitch < 0 || pitch > 127 || !std::isfinite(velocity)) return;
    // A note-on keeps at least the softest velocity: velocity 0 would make
    // it a note-off in MIDI's terms.
    const int lowest = status == zem::kMidiNoteOn ? 1 : 0;
    const int midiVelocity = std::max(lowest, midiValue(velocity, kMidiDataMax));
    zem::Event record{};
    if (zem::translateMidi(static_cast<unsigned char>(status), static_cast<unsigned char>(pitch),
                           static_cast<unsigned char>(midiVelocity), 0, record))
        synth.handleEvent(record);
}

uint32 ZEM_VST3_CALL Plugin::getTailSamples() { return kInfiniteTail; }

uint32 ZEM_VST3_CALL Plugin::getProcessContextRequirements() { return 0; }

// --- IEditController ------------------------------------------------------------------

tresult ZEM_VST3_CALL Plugin::setComponentState(IBStream*) {
    // The controller reads the component's values, which are its own.
    return kResultOk;
}

tresult Plugin::readControllerState(IBStream*) { return kResultOk; }

tresult Plugin::writeControllerState(IBStream*) { return kResultOk; }

int32 ZEM_VST3_CALL Plugin::getParameterCount() { return kHostParamCount; }

tresult ZEM_VST3_CALL Plugin::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
    if (paramIndex < 0 || paramIndex >= kHostParamCount) return kInvalidArgument;
    std::memset(&info, 0, sizeof info);
    info.id = paramIdAt(paramIndex);
    info.unitId = kRootUnitId;
    if (isTableParam(info.id)) {
        const Parameters defaults;
        const zem::Parameter& p = *defaults.at(static_cast<int>(info.id));
        copyText(info.title, p.name);
        copyText(info.shortTitle, p.name);
        copyText(info.units, p.label);
        info.stepCount = stepCountOf(p);
        info.defaultNormalizedValue = hostValueOf(p);
        info.flags = flagsOf(p);
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

tresult ZEM_VST3_CALL Plugin::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
    if (string == nullptr || !std::isfinite(valueNormalized)) return kInvalidArgument;
    char text[zem::kParameterDisplayLength + 8] = {};
    if (isTableParam(id)) {
        // Shown through a fresh copy of the parameter, so the value shown
        // is not the value set.
        Parameters scratch;
        zem::Parameter& p = *scratch.at(static_cast<int>(id));
        setFromHostValue(p, valueNormalized);
        p.getDisplay(text);
    } else if (id == kPitchBendParam) {
        std::snprintf(text, sizeof text, "%d", midiValue(valueNormalized, kMidiBendMax) - 8192);
    } else if (id == kSustainParam) {
        std::snprintf(text, sizeof text, "%d", midiValue(valueNormalized, kMidiDataMax));
    } else {
        return kInvalidArgument;
    }
    copyText(string, 128, text);
    return kResultOk;
}

tresult ZEM_VST3_CALL Plugin::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
    char text[128];
    if (!isTableParam(id) || !readAscii(string, text, sizeof text)) return kInvalidArgument;
    Parameters scratch;
    zem::Parameter& p = *scratch.at(static_cast<int>(id));
    float normalized = 0.0f;
    if (!p.textToNormalized(text, normalized)) return kResultFalse;
    p.setNormalized(normalized);
    valueNormalized = hostValueOf(p);
    return kResultOk;
}

ParamValue ZEM_VST3_CALL Plugin::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
    if (isTableParam(id)) return plainOfHostValue(*synth.params.at(static_cast<int>(id)), valueNormalized);
    return isMidiParam(id) && std::isfinite(valueNormalized) ? std::clamp(valueNormalized, 0.0, 1.0) : 0.0;
}

ParamValue ZEM_VST3_CALL Plugin::plainParamToNormalized(ParamID id, ParamValue plainValue) {
    if (isTableParam(id)) return hostValueOfPlain(*synth.params.at(static_cast<int>(id)), plainValue);
    return isMidiParam(id) && std::isfinite(plainValue) ? std::clamp(plainValue, 0.0, 1.0) : 0.0;
}

ParamValue ZEM_VST3_CALL Plugin::getParamNormalized(ParamID id) {
    if (isTableParam(id)) return hostValueOf(*synth.params.at(static_cast<int>(id)));
    if (id == kPitchBendParam) return pitchBend;
    if (id == kSustainParam) return sustain;
    return 0.0;
}

tresult ZEM_VST3_CALL Plugin::setParamNormalized(ParamID id, ParamValue value) {
    if (!std::isfinite(value)) return kInvalidArgument;
    if (isTableParam(id)) {
        if (!writeTableParam(id, value)) return kInvalidArgument;
        editorLink.update(static_cast<int>(id));
        return kResultOk;
    }
    // The MIDI parameters sound only through process; the controller's copy
    // is what getParamNormalized reports.
    if (id == kPitchBendParam) pitchBend = std::clamp(value, 0.0, 1.0);
    else if (id == kSustainParam) sustain = std::clamp(value, 0.0, 1.0);
    else return kInvalidArgument;
    return kResultOk;
}

bool Plugin::writeTableParam(ParamID id, ParamValue value) noexcept {
    zem::Parameter* p = isTableParam(id) ? synth.params.at(static_cast<int>(id)) : nullptr;
    if (p == nullptr || !setFromHostValue(*p, value)) return false;
    synth.params.touch(static_cast<int>(id));
    return true;
}

tresult ZEM_VST3_CALL Plugin::setComponentHandler(IComponentHandler* handler) {
    if (handler == componentHandler) return kResultOk;
    if (handler != nullptr) handler->addRef();
    if (componentHandler != nullptr) componentHandler->release();
    componentHandler = handler;
    return kResultOk;
}

IPlugView* ZEM_VST3_CALL Plugin::createView(FIDString name) {
    if (name == nullptr || std::strcmp(name, kEditorViewType) != 0) return nullptr;
    return new (std::nothrow) EditorView(*this);
}

// --- The editor ------------------------------------------------------------------------------

FUnknown* Plugin::hostObject() { return static_cast<IComponent*>(this); }

bool Plugin::openEditor(NativeWindow parent, zem::IEditorFrame& frame) {
    return editorLink.open(libraryModule, this, parent, &frame);
}

void Plugin::closeEditor() { editorLink.close(); }

void Plugin::idleEditor() { editorLink.idle(); }

ViewRect Plugin::editorSize() { return ViewRect{0, 0, editorLink.width(), editorLink.height()}; }

void Plugin::setEditorHostFactor(double factor) { editorLink.setHostFactor(factor); }

void Plugin::zoomChosen(int percent) { editorLink.chooseZoom(percent); }

void Plugin::screenFactorChanged(double factor) { editorLink.screenChanged(factor); }

zem::Parameter* Plugin::parameter(int index) { return synth.params.at(index); }

void Plugin::edit(int index, float normalized) {
    zem::Parameter* p = synth.params.at(index);
    if (p == nullptr) return;
    synth.params.set(index, normalized);
    synth.params.touch(index);
    editorLink.update(index);
    if (componentHandler == nullptr) return;
    const ParamID id = static_cast<ParamID>(index);
    componentHandler->beginEdit(id);
    componentHandler->performEdit(id, hostValueOf(*p));
    componentHandler->endEdit(id);
}

void Plugin::applyPendingEditorUpdates() { editorLink.applyPending(); }

// --- IMidiMapping -----------------------------------------------------------------------

tresult ZEM_VST3_CALL Plugin::getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber number,
                                                          ParamID& id) {
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

} // namespace Veldane::vst3
