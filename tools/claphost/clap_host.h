#pragma once
// A minimal CLAP host: opens a .clap, creates an instance through the plug-in
// factory, hands it events and buffers as a host's audio thread does, and
// moves state through byte streams. Portable (the library is opened through
// tools/testhost/platform.h); the claphost tool and the tests share it. It
// follows the interface's calling order unless a test calls a record's
// callbacks directly to do otherwise.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/clap/extensions.h"
#include "framework/clap/preset_discovery.h"
#include "tools/testhost/script.h"

namespace claphost {

// A .clap opened and its entry initialised; stays loaded for the process.
struct Library {
    const clap_plugin_entry* entry = nullptr;
    const clap_plugin_factory* factory = nullptr;

    // Opens the file, finds `clap_entry`, calls init and asks for the plug-in
    // factory. On failure answers false with `error` saying why.
    bool open(const char* path, std::string& error);
    // The first plug-in's descriptor, or null.
    const clap_plugin_descriptor* descriptor() const;
};

// The folders CLAP hosts search by default, in order: the entries of
// CLAP_PATH (':'-separated on Linux, ';' on Windows), then on Linux ~/.clap
// and /usr/lib/clap, on Windows %COMMONPROGRAMFILES%\CLAP and
// %LOCALAPPDATA%\Programs\Common\CLAP. Folders that do not exist are kept.
std::vector<std::string> standardClapFolders();
// Every *.clap file in and below those folders that exist, in folder order,
// each folder's sorted by path.
std::vector<std::string> findClapFiles(const std::vector<std::string>& folders);

// The host record handed to the plug-in, counting what the plug-in asks of it.
class Host {
public:
    Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    clap_host record{};
    int requests = 0; // request_restart, request_process, request_callback and request_flush calls
    std::vector<clap_id> timers; // registered, not yet unregistered
    clap_id nextTimer = 1;
    std::vector<std::uint32_t> rescans;  // the flags of each params rescan asked for
    std::vector<std::string> loaded;     // load keys the plug-in reported loaded (preset-load)
    std::vector<std::string> loadErrors; // messages of the preset loads it reported failed
    // The editor's size requests (gui's request_resize), each granted.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> resizeRequests;
};

// A preset as a host's preset browser indexes it, through the library's
// preset-discovery factory: where it is, how to load it and what it is.
struct DiscoveredPreset {
    std::string provider;        // the provider's id
    std::uint32_t locationKind = 0; // CLAP_PRESET_DISCOVERY_LOCATION_*
    std::string path;               // the location's path; empty for the plug-in location (null there)
    std::string name;
    std::string loadKey;
    std::vector<std::string> pluginIds; // "ABI:ID"
    std::uint32_t flags = 0;
    std::vector<std::string> creators;
    std::vector<std::string> features;
};

// Indexes the library's presets as a host's browser does: creates each
// provider of its preset-discovery factory, lets it declare its locations
// (init) and has it describe the presets at each (get_metadata). Answers
// false with `error` when the library has no such factory or a provider
// fails (a provider's own error reports are in the message).
bool discoverPresets(const Library& library, std::vector<DiscoveredPreset>& presets, std::string& error);

// A host's list of input events for one processing call, in time order as
// added; records are copied in.
class EventList {
public:
    EventList();
    EventList(const EventList&) = delete;
    EventList& operator=(const EventList&) = delete;

    void note(std::uint32_t time, std::uint16_t type, int key, double velocity);
    void midi(std::uint32_t time, const unsigned char bytes[3]);
    void param(std::uint32_t time, clap_id id, double value);
    // Any record, copied as it is (for malformed events).
    void raw(const void* event, std::size_t size);
    void clear();
    std::uint32_t size() const { return static_cast<std::uint32_t>(offsets_.size()); }
    // The record at `index`, or null past the end.
    const clap_event_header* eventAt(std::uint32_t index) const;

    clap_input_events list{};

private:
    std::vector<std::uint64_t> storage_; // the records, 8-byte aligned
    std::vector<std::size_t> offsets_;   // each record's byte offset in storage_
};

// Byte streams over memory. `chunk` bounds what one call moves, as a host's
// stream may move fewer bytes than asked; `failAt` makes a call fail (-1)
// once that many bytes have gone through.
struct OutStream {
    explicit OutStream(std::size_t chunk = SIZE_MAX, std::size_t failAt = SIZE_MAX);
    clap_ostream stream{};
    std::vector<std::uint8_t> bytes;
    std::size_t chunk, failAt;
};
struct InStream {
    explicit InStream(std::vector<std::uint8_t> bytes, std::size_t chunk = SIZE_MAX, std::size_t failAt = SIZE_MAX);
    clap_istream stream{};
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0, chunk, failAt;
};

// One plug-in instance, created and initialised; destroyed with the object
// (deactivated first when active).
class Instance {
public:
    Instance(const Library& library, Host& host);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    const clap_plugin* plugin = nullptr; // null when creation or init failed
    const clap_plugin_params* params = nullptr;
    const clap_plugin_state* state = nullptr;
    const clap_plugin_audio_ports* audioPorts = nullptr;
    const clap_plugin_note_ports* notePorts = nullptr;
    const clap_plugin_latency* latency = nullptr;
    const clap_plugin_gui* gui = nullptr;
    const clap_plugin_remote_controls* remoteControls = nullptr;
    const clap_plugin_preset_load* presetLoad = nullptr;

    bool activate(double rate, std::uint32_t maxFrames);
    void deactivate();
    // Renders `frames` samples into out (single or double precision) with
    // the events; answers the plug-in's status.
    clap_process_status process(std::uint32_t frames, const EventList& events, float* out);
    clap_process_status process(std::uint32_t frames, const EventList& events, double* out);

    // Parameter `id`'s value now; NaN for none.
    double value(clap_id id) const;
    // Every parameter's value, by index.
    std::vector<double> values() const;
    // The id of the parameter named `name`; false when there is none.
    bool idOf(const std::string& name, clap_id& id) const;
    // Loads a preset found by discoverPresets through the preset-load
    // extension; answers the plug-in's answer (false without the extension).
    bool loadPreset(const DiscoveredPreset& preset);

    bool active = false;
    bool processing = false;
    std::int64_t steadyTime = 0; // samples processed so far

private:
    template <class Sample>
    clap_process_status processAny(std::uint32_t frames, const EventList& events, Sample* out);
    const void* extension(const char* id) const;
};

// How a script's parameter values reach the plug-in: the script gives the
// normalized value a VST 2.4 host would store; the caller answers the plain
// value it stands for (the plug-in's own parameter classes know the curve).
using PlainOf = double (*)(int index, float normalized);

// How openEditorRepeatedly opens the editor.
struct GuiOptions {
    double scale = 0.0;           // handed to gui.set_scale after create; 0: none
    int width = 0, height = 0;    // the size the editor must have; 0: whatever get_size answers
    const char* picture = nullptr; // the first opening's pixels go there as PNG; null: none
};

// Opens the instance's editor in a frame window of ours `times` times over
// (create, set_scale, set_parent, show, timer calls, hide, destroy),
// checking each time that exactly one window of the editor's size appears
// in the frame and that it is gone afterwards, and that the editor paints
// more than one colour. Needs a display (scripts/x11-run.sh,
// scripts/wine-window-run.sh). Says what went wrong on stderr; answers
// whether all went well, and the editor's size.
bool openEditorRepeatedly(Instance& instance, Host& host, int times, const GuiOptions& options, int& width,
                          int& height);

// Resolves the script's parameter names among the instance's parameters;
// false with `error` for a name it does not have.
bool resolveNames(const Instance& instance, testhost::Script& script, std::string& error);

// Plays the script (timed for `rate`) into an instance activated at that
// rate, in blocks of `block` frames:
// notes as CLAP note events (or, with midi, as MIDI events), parameter
// changes as parameter events, each at its own sample inside the block.
// Answers the output.
std::vector<float> playScript(Instance& instance, const testhost::Script& script, double rate, int block, bool midi,
                              PlainOf plainOf, bool useDouble = false);

} // namespace claphost
