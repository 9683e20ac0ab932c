#pragma once
// Our VST 3 host: a module loaded as a host loads it (a bundle's library,
// its set-up call, its factory) and one instance of its audio module driven
// through the interfaces alone: set up, switched on, blocks processed with
// events and parameter points, state saved and restored, scripts played.
// Portable: libraries are opened through tools/testhost/platform.h.
#include <string>
#include <vector>

#include "framework/vst3/vst.h"
#include "tools/testhost/script.h"
#include "tools/vst3host/host_objects.h"

namespace vst3host {

struct Module {
    std::string file;                // the library opened
    IPluginFactory* factory = nullptr; // with the reference GetPluginFactory gave
    bool (*exit)() = nullptr;        // ModuleExit or ExitDll, null when not exported
};

// Opens the module of a bundle (BUNDLE.vst3/Contents/<architecture>/BUNDLE
// with this system's extension), or the library at `path` itself, calls its
// set-up export (ModuleEntry or InitDll, when it has one) and takes its
// factory. On failure answers false and says why in `error`.
bool loadModule(const std::string& path, Module& module, std::string& error);

// Releases the factory and calls the tear-down export. The library stays
// loaded, as a host keeps it while its instances may still run.
void unloadModule(Module& module);

// One instance: the component, its processor and its controller (the same
// object when the plug-in is one, or the controller class it names).
class Instance {
public:
    Instance() = default;
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    ~Instance() { close(); }

    // Creates the factory's first audio module class and initializes it with
    // `host` as its context. False with `error` when any step fails.
    bool open(IPluginFactory* factory, std::string& error);
    // setupProcessing, setActive and setProcessing, in this order.
    bool start(double rate, int32 maxBlock, int32 sampleSize = kSample32);
    void stop();
    // Stops, terminates and releases everything.
    void close();

    // One block into `out` (mono; null: no output buffer at all); `outputs`
    // receives the parameter changes the plug-in reports.
    tresult process(float* out, int32 frames, EventList* events = nullptr, ParameterChanges* changes = nullptr,
                    ParameterChanges* outputs = nullptr);
    tresult process(double* out, int32 frames, EventList* events = nullptr, ParameterChanges* changes = nullptr,
                    ParameterChanges* outputs = nullptr);

    // The controller's parameter ids in its order, and the id whose title is `title` (-1: none).
    std::vector<ParamID> parameterIds();
    long long idOf(const std::string& title);
    // The display text of normalized value v of parameter id.
    std::string display(ParamID id, ParamValue v);

    // The component's state, and a state given back (the controller is told
    // as hosts tell it); false when the plug-in refuses it.
    std::vector<std::uint8_t> saveState();
    bool loadState(const std::vector<std::uint8_t>& bytes);

    // The controller's units and program lists, or null when it has none
    // (no reference held beyond the instance's).
    IUnitInfo* unitInfo();
    // Chooses program `index` of the list of the unit the program-change
    // parameter belongs to, as hosts do: the parameter's value index / (n - 1)
    // given to the controller. False without programs or for a bad index.
    bool chooseProgram(int32 index);
    // Loads a VST 3 preset file (framework/vst3/preset_file.h) as hosts do:
    // its component state to the component, then to the controller. False
    // with `error` for a file that does not read, is of another class or
    // that the plug-in refuses.
    bool loadPresetFile(const std::string& path, std::string& error);

    HostApplication host;
    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
    bool separateController = false; // the controller is an object of its own
    bool started = false;
    Uid classId{};                   // the component's class

private:
    IUnitInfo* units = nullptr; // queried once, released at close
    template <class Sample>
    tresult processAny(Sample* out, int32 frames, EventList* events, ParameterChanges* changes,
                       ParameterChanges* outputs, int32 size);
};

// Plays a test-host script (tools/testhost/script.h), read for `rate`,
// through an open instance, started at that rate, in blocks of `block`, as a host that sends each parameter change
// at the start of the block it falls in (as the VST 2.4 test host applies it)
// and each note at its sample; a script's value is the parameter's VST 3
// normalized value. The sustain pedal and bends reach the plug-in as the
// parameters its MIDI mapping names, at their samples; other controllers are
// dropped. Names are looked up among the parameters' titles first; an
// unknown name is an error (false, with `error`).
bool playScript(Instance& instance, testhost::Script script, double rate, int32 block, std::vector<float>& output,
                std::string& error);

} // namespace vst3host
