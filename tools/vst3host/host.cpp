#include "tools/vst3host/host.h"

#include <algorithm>
#include <cstring>

#include "formats/file_bytes.h"
#include "framework/vst3/preset_file.h"
#include "framework/vst3/text.h"
#include "tools/testhost/audio_call.h"
#include "tools/testhost/platform.h"

namespace vst3host {

namespace {

#ifdef _WIN32
constexpr const char* kArchitecture = "x86_64-win";
constexpr const char* kModuleExtension = ".vst3";
constexpr const char* kEntryName = "InitDll";
constexpr const char* kExitName = "ExitDll";
#else
constexpr const char* kArchitecture = "x86_64-linux";
constexpr const char* kModuleExtension = ".so";
constexpr const char* kEntryName = "ModuleEntry";
constexpr const char* kExitName = "ModuleExit";
#endif

// BUNDLE.vst3 -> BUNDLE.vst3/Contents/<architecture>/BUNDLE<extension>.
std::string moduleInBundle(std::string bundle) {
    while (bundle.size() > 1 && (bundle.back() == '/' || bundle.back() == '\\')) bundle.pop_back();
    const std::size_t slash = bundle.find_last_of("/\\");
    std::string stem = slash == std::string::npos ? bundle : bundle.substr(slash + 1);
    const std::string suffix = ".vst3";
    if (stem.size() > suffix.size() && stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0)
        stem.resize(stem.size() - suffix.size());
    return bundle + "/Contents/" + kArchitecture + "/" + stem + kModuleExtension;
}

template <class T>
T* queried(FUnknown* object, const Uid& iid) {
    void* found = nullptr;
    if (object == nullptr || object->queryInterface(iid.bytes, &found) != kResultOk) return nullptr;
    return static_cast<T*>(found);
}

template <class T>
void releaseAndClear(T*& object) {
    if (object != nullptr) object->release();
    object = nullptr;
}

} // namespace

bool loadModule(const std::string& path, Module& module, std::string& error) {
    std::string bundleError;
    module.file = moduleInBundle(path);
    void* library = testhost::openLibrary(module.file.c_str(), bundleError);
    if (library == nullptr) {
        module.file = path;
        library = testhost::openLibrary(path.c_str(), error);
        if (library == nullptr) {
            error = bundleError + "; " + error;
            return false;
        }
    }
#ifdef _WIN32
    auto init = reinterpret_cast<bool (*)()>(testhost::librarySymbol(library, kEntryName));
    const bool entered = init == nullptr || init();
#else
    auto entry = reinterpret_cast<bool (*)(void*)>(testhost::librarySymbol(library, kEntryName));
    const bool entered = entry == nullptr || entry(library);
#endif
    if (!entered) {
        error = module.file + ": " + kEntryName + " failed";
        return false;
    }
    module.exit = reinterpret_cast<bool (*)()>(testhost::librarySymbol(library, kExitName));
    auto getFactory = reinterpret_cast<GetFactoryProc>(testhost::librarySymbol(library, "GetPluginFactory"));
    module.factory = getFactory != nullptr ? getFactory() : nullptr;
    if (module.factory == nullptr) {
        error = module.file + ": no GetPluginFactory, or it answers no factory";
        return false;
    }
    return true;
}

void unloadModule(Module& module) {
    releaseAndClear(module.factory);
    if (module.exit != nullptr) module.exit();
    module.exit = nullptr;
}

bool Instance::open(IPluginFactory* factory, std::string& error) {
    PClassInfo info{};
    int32 index = 0;
    const int32 count = factory->countClasses();
    for (; index < count; ++index)
        if (factory->getClassInfo(index, &info) == kResultOk && std::strcmp(info.category, kVstAudioEffectClass) == 0)
            break;
    if (index == count) {
        error = "the factory has no audio module class";
        return false;
    }
    void* object = nullptr;
    if (factory->createInstance(info.cid, IComponent::iid.bytes, &object) != kResultOk || object == nullptr) {
        error = "the factory made no component";
        return false;
    }
    component = static_cast<IComponent*>(object);
    std::memcpy(classId.bytes, info.cid, sizeof classId.bytes);
    if (component->initialize(&host) != kResultOk) {
        error = "the component refused initialize";
        return false;
    }
    processor = queried<IAudioProcessor>(component, IAudioProcessor::iid);
    controller = queried<IEditController>(component, IEditController::iid);
    if (controller == nullptr) {
        // A controller of its own class, as the component names it.
        TUID cid{};
        if (component->getControllerClassId(cid) == kResultOk &&
            factory->createInstance(cid, IEditController::iid.bytes, &object) == kResultOk) {
            controller = static_cast<IEditController*>(object);
            separateController = true;
            controller->initialize(&host);
        }
    }
    if (processor == nullptr || controller == nullptr) {
        error = "the component has no audio processor or no controller";
        return false;
    }
    return true;
}

bool Instance::start(double rate, int32 maxBlock, int32 sampleSize) {
    ProcessSetup setup{kRealtime, sampleSize, maxBlock, rate};
    started = processor->setupProcessing(setup) == kResultOk && component->setActive(1) == kResultOk;
    if (started) processor->setProcessing(1);
    return started;
}

void Instance::stop() {
    if (!started) return;
    processor->setProcessing(0);
    component->setActive(0);
    started = false;
}

void Instance::close() {
    if (component == nullptr) return;
    stop();
    releaseAndClear(units);
    if (separateController) controller->terminate();
    releaseAndClear(controller);
    releaseAndClear(processor);
    component->terminate();
    releaseAndClear(component);
}

template <class Sample>
tresult Instance::processAny(Sample* out, int32 frames, EventList* events, ParameterChanges* changes,
                            ParameterChanges* outputs, int32 size) {
    Sample* channels[1] = {out};
    AudioBusBuffers bus{};
    bus.numChannels = 1;
    bus.channelBuffers32 = reinterpret_cast<Sample32**>(channels);
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = size;
    data.numSamples = frames;
    data.numOutputs = out != nullptr ? 1 : 0;
    data.outputs = out != nullptr ? &bus : nullptr;
    data.inputEvents = events;
    data.inputParameterChanges = changes;
    data.outputParameterChanges = outputs;
    return testhost::audioCall([&] { return processor->process(data); });
}

tresult Instance::process(float* out, int32 frames, EventList* events, ParameterChanges* changes,
                          ParameterChanges* outputs) {
    return processAny(out, frames, events, changes, outputs, kSample32);
}

tresult Instance::process(double* out, int32 frames, EventList* events, ParameterChanges* changes,
                          ParameterChanges* outputs) {
    return processAny(out, frames, events, changes, outputs, kSample64);
}

std::vector<ParamID> Instance::parameterIds() {
    std::vector<ParamID> ids;
    for (int32 i = 0; i < controller->getParameterCount(); ++i) {
        ParameterInfo info{};
        if (controller->getParameterInfo(i, info) == kResultOk) ids.push_back(info.id);
    }
    return ids;
}

long long Instance::idOf(const std::string& title) {
    for (int32 i = 0; i < controller->getParameterCount(); ++i) {
        ParameterInfo info{};
        char text[128];
        if (controller->getParameterInfo(i, info) == kResultOk && readAscii(info.title, text, sizeof text) &&
            title == text)
            return info.id;
    }
    return -1;
}

std::string Instance::display(ParamID id, ParamValue v) {
    String128 text{};
    char ascii[128] = {};
    if (controller->getParamStringByValue(id, v, text) != kResultOk) return "<refused>";
    return readAscii(text, ascii, sizeof ascii) ? ascii : "<not ASCII>";
}

std::vector<std::uint8_t> Instance::saveState() {
    MemoryStream stream;
    if (component->getState(&stream) != kResultOk) return {};
    return stream.bytes;
}

bool Instance::loadState(const std::vector<std::uint8_t>& bytes) {
    MemoryStream stream(bytes);
    if (component->setState(&stream) != kResultOk) return false;
    MemoryStream again(bytes);
    return controller->setComponentState(&again) == kResultOk;
}

IUnitInfo* Instance::unitInfo() {
    if (units == nullptr) units = queried<IUnitInfo>(controller, IUnitInfo::iid);
    if (units == nullptr) units = queried<IUnitInfo>(component, IUnitInfo::iid);
    return units;
}

bool Instance::chooseProgram(int32 index) {
    IUnitInfo* info = unitInfo();
    for (int32 i = 0; info != nullptr && i < controller->getParameterCount(); ++i) {
        ParameterInfo p{};
        if (controller->getParameterInfo(i, p) != kResultOk || !(p.flags & ParameterInfo::kIsProgramChange)) continue;
        if (index < 0 || index > p.stepCount) return false;
        const ParamValue value = p.stepCount > 0 ? static_cast<ParamValue>(index) / p.stepCount : 0.0;
        return controller->setParamNormalized(p.id, value) == kResultOk;
    }
    return false;
}

bool Instance::loadPresetFile(const std::string& path, std::string& error) {
    // A preset file is its state and a few hundred bytes; a megabyte is none.
    constexpr std::size_t kMaxPresetFileBytes = std::size_t{1} << 20;
    std::vector<std::uint8_t> bytes;
    PresetFile file;
    if (!formats::readFileBytes(path, kMaxPresetFileBytes, bytes, error) ||
        !readPresetFile(bytes.data(), bytes.size(), file, error)) {
        error = path + ": " + error;
        return false;
    }
    if (file.classId != uidText(classId)) {
        error = path + ": a preset of another plug-in (class " + file.classId + ")";
        return false;
    }
    if (!loadState(file.component)) {
        error = path + ": the plug-in refuses the preset's state";
        return false;
    }
    return true;
}

bool playScript(Instance& instance, testhost::Script script, double rate, int32 block, std::vector<float>& output,
                std::string& error) {
    for (testhost::Command& c : script.commands) {
        if (!c.isParameter || c.name.empty()) continue;
        const long long id = instance.idOf(c.name);
        if (id < 0) {
            error = "the plug-in has no parameter \"" + c.name + "\"";
            return false;
        }
        c.index = static_cast<int>(id);
    }
    // Controllers reach a VST 3 plug-in as the parameters its MIDI mapping names.
    auto* mapping = queried<IMidiMapping>(instance.component, IMidiMapping::iid);
    auto mapped = [&](CtrlNumber number, ParamID& id) {
        return mapping != nullptr && mapping->getMidiControllerAssignment(0, 0, number, id) == kResultTrue;
    };
    if (!instance.start(rate, block)) {
        error = "the plug-in refused to start at this rate and block size";
        if (mapping != nullptr) mapping->release();
        return false;
    }
    const long long total = script.length(rate);
    output.assign(static_cast<std::size_t>(std::max(total, 0LL)), 0.0f);
    std::size_t next = 0;
    for (long long start = 0; start < total; start += block) {
        const int32 frames = static_cast<int32>(std::min<long long>(block, total - start));
        EventList events;
        ParameterChanges changes;
        for (; next < script.commands.size() && script.commands[next].frame < start + frames; ++next) {
            const testhost::Command& c = script.commands[next];
            const int32 offset = static_cast<int32>(std::max<long long>(0, c.frame - start));
            const unsigned status = c.midi[0] & 0xF0u;
            ParamID id = 0;
            if (c.isParameter) {
                if (c.index >= 0) changes.add(static_cast<ParamID>(c.index), 0, c.value);
            } else if (status == 0x90 && c.midi[2] > 0) {
                events.noteOn(offset, c.midi[1], c.midi[2] / 127.0f, c.midi[0] & 0x0F);
            } else if (status == 0x80 || status == 0x90) {
                events.noteOff(offset, c.midi[1], c.midi[2] / 127.0f, c.midi[0] & 0x0F);
            } else if (status == 0xE0 && mapped(kPitchBend, id)) {
                changes.add(id, offset, (c.midi[1] | c.midi[2] << 7) / 16383.0);
            } else if (status == 0xB0 && mapped(static_cast<CtrlNumber>(c.midi[1]), id)) {
                changes.add(id, offset, c.midi[2] / 127.0);
            }
        }
        instance.process(output.data() + start, frames, &events, &changes);
    }
    instance.stop();
    if (mapping != nullptr) mapping->release();
    return true;
}

} // namespace vst3host
