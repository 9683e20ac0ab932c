#pragma once
// The framework's CLAP boundary: the instance record a host holds, its
// lifecycle, the parameters, state, port, latency and render extensions, and
// the processing call that hands the host's events to the plug-in at their
// sample offsets. Like zem::Plugin for VST 2.4 it knows nothing of what the
// plug-in makes of notes and parameters.
//
// zem::clap::Plugin<Derived, Params, EditorT> is a base over a plug-in's own
// class Derived (curiously recurring). Params is the plug-in's parameter set
// (a default-constructible zem::ParameterSet<N>): the base builds one more of
// it for its own use, to turn any value into text and back through the same
// parameter classes without touching the live ones. EditorT is the editor
// (as for zem::EditorOwner and framework/editor_link.h), shown in the host's
// window through the gui extension: a Win32 child window on Windows, an X11
// one elsewhere, whose events are read at the host's timer calls. It scales
// (framework/editor_scale.h): the host's gui.set_scale is its word,
// get_size answers the size at the scale, and a new size while open (the
// user's zoom, the host's or the screen's new scale) goes to the host as
// request_resize. Derived provides:
//   - static const clap_plugin_descriptor descriptor;
//   - parameters(): its Params;
//   - setSampleRate(double): main thread, while inactive;
//   - prepareBlock(): audio thread; applies the parameter changes made since
//     its last call (called at the start of every processing call and again
//     at each parameter event, so a change sounds from its sample on);
//   - handleEvent(const Event&): audio thread, between rendered segments;
//   - render(int, float*) and render(int, double*): audio thread, exactly
//     that many samples; never allocates, locks or calls the system;
//   - saveState(int zoom): main thread, the whole state as bytes (may
//     allocate), the editor's zoom in percent included (0: none chosen);
//   - loadState(data, size, int& zoom): main thread, all or nothing; false
//     changes nothing; true sets `zoom` to the zoom the state keeps and
//     leaves it as it was when the state keeps none;
//   - static parameterGroups(): its zem::ParameterGroups (framework/parameter_groups.h);
//   - static presets(): its factory presets in the order hosts list them, a
//     container of records with `name` and `category` (std::string) and
//     `values[index]` (every parameter's normalized value); any thread, and
//     no allocation after the first call, which the constructor makes.
//
// Parameter ids are the indices of the parameter set (hosts store automation
// and state under them, so the set's indices never change). Values are plain
// values in the units the display shows (zem::plainRangeOf): a stepped
// parameter's value is its integer or entry number, a toggle's 0 or 1. Each
// parameter's module is its group's name; one in no group is hidden and
// read-only (host writes are ignored). Each group is a remote-control page
// (or several, eight parameters to a page).
//
// Presets: the factory presets live in the library (CLAP's "plugin"
// location, framework/clap/library.h lists them to a host's browser) and
// load through the preset-load extension by their name as load key: every
// parameter takes the preset's value, the editor shows it, and the host is
// told to read the values again (params rescan) and that the preset loaded.
// Any other location or key fails, changes nothing and is reported to the
// host's preset-load extension.
//
// Hostile hosts: every entry point guards null pointers and bad ids and
// checks the lifecycle state; a call in the wrong state answers false (or
// CLAP_PROCESS_ERROR) and changes nothing. Nothing throws across the
// boundary: the callbacks are noexcept and catch what allocating code may throw.

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

#include "framework/block_loop.h"
#include "framework/clap/extensions.h"
#include "framework/editor_owner.h"
#include "framework/event.h"
#include "framework/index_set.h"
#include "framework/midi.h"
#include "framework/parameter_groups.h"
#include "framework/plain_value.h"
#include "framework/clap/preset_discovery.h"

namespace zem::clap {

// Most bytes a state may have: far beyond any parameter set's (a few bytes
// per parameter), so a foreign stream that never ends is refused early.
constexpr std::size_t kMaxStateBytes = 1 << 20;
// Bytes asked of a host's stream at a time while loading.
constexpr std::size_t kStateReadChunk = 4096;
// MIDI's 128 keys: a note event's key must be one of them, or -1 (any).
constexpr int kKeyCount = 128;
constexpr int kMidiMaxVelocity = 127;
// How often the host's timer calls an open editor to read its window
// system's events and repaint: 30 times a second keeps a drag smooth.
constexpr std::uint32_t kEditorTimerMs = 33;
// The window system our editor lives in.
#ifdef _WIN32
constexpr const char* kWindowApi = CLAP_WINDOW_API_WIN32;
#else
constexpr const char* kWindowApi = CLAP_WINDOW_API_X11;
#endif

// A host's event list seen as the block loop's queue (framework/block_loop.h):
// each record carries its header and its sample offset.
class InputEvents {
public:
    struct Item {
        std::int32_t deltaFrames;         // the header's time, held to int32
        const clap_event_header* header;  // null for an entry the host could not give
    };

    // A null list, or one without its callbacks, has no events.
    explicit InputEvents(const clap_input_events* list) noexcept
        : list_(list != nullptr && list->size != nullptr && list->get != nullptr ? list : nullptr),
          count_(list_ != nullptr ? list_->size(list_) : 0) {}

    bool empty() const noexcept { return next_ >= count_; }
    Item front() const noexcept {
        const clap_event_header* h = list_->get(list_, next_);
        if (h == nullptr || h->size < sizeof(clap_event_header)) return {0, nullptr};
        return {static_cast<std::int32_t>(std::min<std::uint32_t>(h->time, INT32_MAX)), h};
    }
    void popFront() noexcept { ++next_; }

private:
    const clap_input_events* list_;
    std::uint32_t count_;
    std::uint32_t next_ = 0;
};

// The event's record when it is whole and of the core space, else null.
template <class Record>
const Record* coreEvent(const clap_event_header* h) noexcept {
    if (h == nullptr || h->space_id != CLAP_CORE_EVENT_SPACE_ID || h->size < sizeof(Record)) return nullptr;
    return reinterpret_cast<const Record*>(h);
}

template <class Derived, class Params, class EditorT>
class Plugin : public EditorOwner<Derived, Params::size, EditorT>, private IEditorFrame {
public:
    static constexpr int numParameters = Params::size;

    // The record the host holds; plugin_data leads back to this object.
    clap_plugin record{};
    // The host that created the instance; valid for the instance's life.
    const clap_host* const host;

    // Any thread. A new instance for `host`, or null: for a null host, one of
    // another major version, or an id that is not the descriptor's.
    static const clap_plugin* create(const clap_host* host, const char* id) noexcept {
        if (host == nullptr || id == nullptr || std::strcmp(id, Derived::descriptor.id) != 0 ||
            !clap_version_is_compatible(host->clap_version))
            return nullptr;
        try {
            Derived* object = new (std::nothrow) Derived(host);
            return object != nullptr ? &object->record : nullptr;
        } catch (...) {
            return nullptr;
        }
    }

protected:
    // `module` is the library's, from which the editor loads its images.
    Plugin(const clap_host* h, NativeModule module) : EditorOwner<Derived, Params::size, EditorT>(module), host(h) {
        record.desc = &Derived::descriptor;
        record.plugin_data = this;
        record.init = &initCallback;
        record.destroy = &destroyCallback;
        record.activate = &activateCallback;
        record.deactivate = &deactivateCallback;
        record.start_processing = &startProcessingCallback;
        record.stop_processing = &stopProcessingCallback;
        record.reset = &resetCallback;
        record.process = &processCallback;
        record.get_extension = &extensionCallback;
        record.on_main_thread = &onMainThreadCallback;
        for (int i = 0; i < numParameters; ++i) defaults_[i] = plainRangeOf(*scratch_.at(i)).current;
        this->editorLink().enableScaling();
        Derived::presets(); // read now, so that no later call allocates
    }
    ~Plugin() = default;
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    Derived& derived() noexcept { return static_cast<Derived&>(*this); }

    // Any thread, the audio thread included. Sets parameter `id` from a plain
    // value as a host's write and tells the plug-in; false for a bad id or a NaN.
    bool setParameter(clap_id id, double value) noexcept {
        const int index = indexOf(id);
        Parameter* p = derived().parameters().at(index);
        if (p == nullptr || !isShown(Derived::parameterGroups(), index) || !setPlainValue(*p, value)) return false;
        derived().parameters().touch(index);
        this->updateEditorControl(index);
        return true;
    }

public:
    // Main thread (the editor's): the user set parameter `index` in the
    // editor. Stored, taken by the audio thread at its next call, shown, and
    // reported to the host as a parameter event at the next processing or
    // flush call, which is asked for.
    void edit(int index, float normalized) override {
        auto& parameters = derived().parameters();
        if (parameters.at(index) == nullptr) return;
        parameters.set(index, normalized);
        parameters.touch(index);
        this->updateEditorControl(index);
        editedInEditor_.mark(index);
        const auto* hostParams = hostExtension<clap_host_params>(CLAP_EXT_PARAMS);
        if (hostParams != nullptr && hostParams->request_flush != nullptr) hostParams->request_flush(host);
    }

protected:

    // The parameter behind a host's id, or -1.
    static int indexOf(clap_id id) noexcept { return id < clap_id(numParameters) ? static_cast<int>(id) : -1; }

private:
    // The lifecycle, in order; a call that needs another state is refused.
    enum State : int { Created, Inactive, Active, Processing };
    std::atomic<int> state_{Created};

    Params scratch_;                 // for value <-> text only (main thread); never routed anywhere
    double defaults_[numParameters]; // every parameter's plain default, taken at construction
    AtomicIndexSet<numParameters> editedInEditor_; // edits the host has not yet been told of
    bool guiCreated_ = false;          // main thread: between the gui's create and destroy
    clap_id editorTimer_ = CLAP_INVALID_ID; // the host's timer for the open editor, or none

    // The host's extension record `id`, or null; only from init on.
    template <class Record>
    const Record* hostExtension(const char* id) const noexcept {
        if (host->get_extension == nullptr || state_.load() == Created) return nullptr;
        return static_cast<const Record*>(host->get_extension(host, id));
    }

    // Tells the host of the editor's edits, each as a parameter event with
    // the plain value (audio thread, or the main thread in a flush).
    void reportEdits(const clap_output_events* out) noexcept {
        if (out == nullptr || out->try_push == nullptr) return;
        editedInEditor_.drain([this, out](int index) {
            clap_event_param_value e{};
            e.header = {sizeof e, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            e.param_id = static_cast<clap_id>(index);
            e.note_id = -1;
            e.port_index = -1;
            e.channel = -1;
            e.key = -1;
            e.value = plainRangeOf(*derived().parameters().at(index)).current;
            out->try_push(out, &e.header);
        });
    }

    static Derived* self(const clap_plugin* p) noexcept {
        return p != nullptr ? static_cast<Derived*>(static_cast<Plugin*>(p->plugin_data)) : nullptr;
    }

    // --- Lifecycle -------------------------------------------------------------

    static bool ZEM_CLAPCALL initCallback(const clap_plugin* p) noexcept {
        Plugin* s = self(p);
        if (s == nullptr) return false;
        int created = Created;
        s->state_.compare_exchange_strong(created, Inactive); // a second init finds it ready
        return true;
    }

    static void ZEM_CLAPCALL destroyCallback(const clap_plugin* p) noexcept {
        Derived* s = self(p); // the plug-in's class is final: deleted as what it is
        if (s != nullptr) guiDestroy(p); // an editor left open goes first, with its timer
        delete s;
    }

    // The rate must be finite and above 0, the frame counts 1 <= min <= max
    // (no buffer depends on them: any maximum is fine).
    static bool ZEM_CLAPCALL activateCallback(const clap_plugin* p, double rate, std::uint32_t minFrames,
                                              std::uint32_t maxFrames) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || s->state_.load() != Inactive || !(rate > 0.0) || !std::isfinite(rate) ||
            maxFrames < 1 || minFrames > maxFrames)
            return false;
        try {
            s->derived().setSampleRate(rate);
        } catch (...) {
            return false;
        }
        s->state_.store(Active);
        return true;
    }

    static void ZEM_CLAPCALL deactivateCallback(const clap_plugin* p) noexcept {
        Plugin* s = self(p);
        int active = Active;
        if (s != nullptr) s->state_.compare_exchange_strong(active, Inactive);
    }

    static bool ZEM_CLAPCALL startProcessingCallback(const clap_plugin* p) noexcept {
        Plugin* s = self(p);
        if (s == nullptr) return false;
        int active = Active;
        return s->state_.compare_exchange_strong(active, Processing) || active == Processing;
    }

    static void ZEM_CLAPCALL stopProcessingCallback(const clap_plugin* p) noexcept {
        Plugin* s = self(p);
        int processing = Processing;
        if (s != nullptr) s->state_.compare_exchange_strong(processing, Active);
    }

    // Every sound ends: the pedal goes up and every key is released. (The
    // engine has no instant silence; a release is what the other formats'
    // "all notes off" gives too.)
    static void ZEM_CLAPCALL resetCallback(const clap_plugin* p) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || s->state_.load() < Active) return;
        s->derived().handleEvent(Event{Event::SustainOff, 0, 0, 0});
        s->releaseKeys();
    }

    static void ZEM_CLAPCALL onMainThreadCallback(const clap_plugin*) noexcept {}

    void releaseKeys() noexcept {
        for (int key = 0; key < kKeyCount; ++key) derived().handleEvent(Event{Event::NoteOff, 0, key, 0});
    }

    // --- Processing ------------------------------------------------------------

    // Audio thread. The first output port's first channel gets the samples
    // (single or double precision, whichever buffer the host gives). A call
    // while inactive, or one of more than INT32_MAX frames, is refused; one
    // while active but not started starts processing (some hosts skip the
    // call). Without an output buffer the events are still applied, so no
    // note-off is lost, and the answer is an error.
    static clap_process_status ZEM_CLAPCALL processCallback(const clap_plugin* p, const clap_process* process) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || process == nullptr || s->state_.load() < Active || process->frames_count > INT32_MAX)
            return CLAP_PROCESS_ERROR;
        s->state_.store(Processing);
        return s->processBlock(*process);
    }

    clap_process_status processBlock(const clap_process& process) noexcept {
        derived().prepareBlock();
        reportEdits(process.out_events);
        InputEvents events(process.in_events);
        auto handle = [this](const InputEvents::Item& item) { handleHostEvent(item.header); };
        clap_audio_buffer* port = process.audio_outputs_count > 0 ? process.audio_outputs : nullptr;
        const bool hasChannel = port != nullptr && port->channel_count > 0;
        float* out32 = hasChannel && port->data32 != nullptr ? port->data32[0] : nullptr;
        double* out64 = hasChannel && out32 == nullptr && port->data64 != nullptr ? port->data64[0] : nullptr;
        const auto frames = static_cast<std::int32_t>(process.frames_count);
        if (out32 == nullptr && out64 == nullptr) {
            for (; !events.empty(); events.popFront()) handle(events.front());
            return frames == 0 ? CLAP_PROCESS_CONTINUE : CLAP_PROCESS_ERROR;
        }
        port->constant_mask = 0;
        if (out32 != nullptr) {
            renderWithEvents(events, out32, frames, [this](int n, float* at) { derived().render(n, at); }, handle);
        } else {
            renderWithEvents(events, out64, frames, [this](int n, double* at) { derived().render(n, at); }, handle);
        }
        return CLAP_PROCESS_CONTINUE;
    }

    // Audio thread, at the event's sample. Notes of either dialect become the
    // framework's events (MIDI through the one translation all formats use);
    // a parameter value is set and routed at once. Events of other spaces and
    // kinds, and records shorter than their kind, are passed over.
    void handleHostEvent(const clap_event_header* h) noexcept {
        if (h == nullptr) return;
        switch (h->type) {
        case CLAP_EVENT_NOTE_ON:
        case CLAP_EVENT_NOTE_OFF:
        case CLAP_EVENT_NOTE_CHOKE:
            if (const auto* note = coreEvent<clap_event_note>(h)) handleNote(h->type, *note);
            break;
        case CLAP_EVENT_MIDI:
            if (const auto* midi = coreEvent<clap_event_midi>(h)) {
                Event record{};
                if (translateMidi(midi->data[0], midi->data[1], midi->data[2], 0, record)) derived().handleEvent(record);
            }
            break;
        case CLAP_EVENT_PARAM_VALUE:
            if (const auto* value = coreEvent<clap_event_param_value>(h)) {
                if (setParameter(value->param_id, value->value)) derived().prepareBlock();
            }
            break;
        default:
            break;
        }
    }

    // Velocity 0..1 to MIDI's 1..127 (a note-on of velocity 0 is still a note
    // in CLAP); a release with key -1 releases every key. A choke releases
    // like a note-off: the engine has no faster end for a voice.
    void handleNote(std::uint16_t type, const clap_event_note& note) noexcept {
        const bool on = type == CLAP_EVENT_NOTE_ON;
        if (!on && note.key == -1) {
            releaseKeys();
            return;
        }
        if (note.key < 0 || note.key >= kKeyCount) return;
        const double v = std::isfinite(note.velocity) ? std::clamp(note.velocity, 0.0, 1.0) : 0.0;
        const int velocity = static_cast<int>(std::lround(v * kMidiMaxVelocity));
        derived().handleEvent(Event{on ? Event::NoteOn : Event::NoteOff, 0, note.key, on ? std::max(velocity, 1) : velocity});
    }

    // --- Extensions --------------------------------------------------------------

    static const void* ZEM_CLAPCALL extensionCallback(const clap_plugin* p, const char* id) noexcept {
        if (self(p) == nullptr || id == nullptr) return nullptr;
        if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kParams;
        if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &kState;
        if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &kAudioPorts;
        if (std::strcmp(id, CLAP_EXT_NOTE_PORTS) == 0) return &kNotePorts;
        if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &kLatency;
        if (std::strcmp(id, CLAP_EXT_RENDER) == 0) return &kRender;
        if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &kGui;
        if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &kTimer;
        if (std::strcmp(id, CLAP_EXT_REMOTE_CONTROLS) == 0 || std::strcmp(id, CLAP_EXT_REMOTE_CONTROLS_COMPAT) == 0)
            return &kRemoteControls;
        if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0 || std::strcmp(id, CLAP_EXT_PRESET_LOAD_COMPAT) == 0)
            return &kPresetLoad;
        return nullptr;
    }

    // --- params --------------------------------------------------------------------

    static std::uint32_t ZEM_CLAPCALL paramCount(const clap_plugin* p) noexcept {
        return self(p) != nullptr ? numParameters : 0;
    }

    static bool ZEM_CLAPCALL paramInfo(const clap_plugin* p, std::uint32_t index, clap_param_info* info) noexcept {
        Plugin* s = self(p);
        const Parameter* param = s != nullptr && info != nullptr ? s->derived().parameters().at(indexOf(index)) : nullptr;
        if (param == nullptr) return false;
        const PlainRange range = plainRangeOf(*param);
        const ParameterGroups& groups = Derived::parameterGroups();
        const char* group = groups.nameOf(groups.groupOf(static_cast<int>(index)));
        std::memset(info, 0, sizeof *info);
        info->id = index;
        info->flags = group != nullptr ? CLAP_PARAM_IS_AUTOMATABLE : CLAP_PARAM_IS_HIDDEN | CLAP_PARAM_IS_READONLY;
        if (range.kind != PlainRange::Real) info->flags |= CLAP_PARAM_IS_STEPPED;
        if (range.kind == PlainRange::Enumeration) info->flags |= CLAP_PARAM_IS_ENUM;
        std::snprintf(info->name, sizeof info->name, "%s", param->name);
        std::snprintf(info->module, sizeof info->module, "%s", group != nullptr ? group : "");
        info->min_value = range.min;
        info->max_value = range.max;
        info->default_value = s->defaults_[index];
        return true;
    }

    static bool ZEM_CLAPCALL paramValue(const clap_plugin* p, clap_id id, double* value) noexcept {
        Plugin* s = self(p);
        const Parameter* param = s != nullptr && value != nullptr ? s->derived().parameters().at(indexOf(id)) : nullptr;
        if (param == nullptr) return false;
        *value = plainRangeOf(*param).current;
        return true;
    }

    // The display text of `value` (held in range), with the unit label after
    // it when there is one: "800.0 Hz", "Saw", "-12 st"; an entry's whole
    // name ("Retrigger"). Cut to the buffer.
    static bool ZEM_CLAPCALL valueToText(const clap_plugin* p, clap_id id, double value, char* text,
                                         std::uint32_t capacity) noexcept {
        Plugin* s = self(p);
        Parameter* param = s != nullptr && text != nullptr && capacity > 0 ? s->scratch_.at(indexOf(id)) : nullptr;
        if (param == nullptr || !setPlainValue(*param, value)) return false;
        char shown[CLAP_NAME_SIZE] = {};
        fullDisplay(*param, shown, sizeof shown);
        std::snprintf(text, capacity, param->label[0] != '\0' ? "%s %s" : "%s", shown, param->label);
        return true;
    }

    // A text as the display shows it (the unit label may follow), read by
    // the parameter's own class; false for one it does not read.
    static bool ZEM_CLAPCALL textToValue(const clap_plugin* p, clap_id id, const char* text, double* value) noexcept {
        Plugin* s = self(p);
        Parameter* param = s != nullptr && text != nullptr && value != nullptr ? s->scratch_.at(indexOf(id)) : nullptr;
        float normalized = 0.0f;
        if (param == nullptr || !param->textToNormalized(text, normalized)) return false;
        param->setNormalized(normalized); // answers whether the value moved, not whether it was taken
        const PlainRange range = plainRangeOf(*param);
        // A real value the class accepted as a number is taken as typed
        // ("440 Hz" is 440, not the nearest value a float normalized value
        // reaches); words ("-oo") take the class's value.
        char* end = nullptr;
        const double typed = std::strtod(text, &end);
        *value = range.kind == PlainRange::Real && end != text && std::isfinite(typed)
                     ? std::clamp(typed, range.min, range.max)
                     : range.current;
        return true;
    }

    // Parameter values without audio (the host's main thread while inactive,
    // or its audio thread): taken now, routed at the next processing call.
    static void ZEM_CLAPCALL paramFlush(const clap_plugin* p, const clap_input_events* in,
                                        const clap_output_events* out) noexcept {
        Plugin* s = self(p);
        if (s == nullptr) return;
        s->reportEdits(out);
        for (InputEvents events(in); !events.empty(); events.popFront()) {
            if (const auto* value = coreEvent<clap_event_param_value>(events.front().header)) {
                if (value->header.type == CLAP_EVENT_PARAM_VALUE) s->setParameter(value->param_id, value->value);
            }
        }
    }

    // --- state ---------------------------------------------------------------------

    // Writes the plug-in's bytes (the editor's zoom with them), taking the
    // partial writes a stream may make.
    static bool ZEM_CLAPCALL stateSave(const clap_plugin* p, const clap_ostream* stream) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || stream == nullptr || stream->write == nullptr) return false;
        try {
            const std::vector<std::uint8_t> bytes = s->derived().saveState(s->editorLink().zoom());
            for (std::size_t done = 0; done < bytes.size();) {
                const std::int64_t n = stream->write(stream, bytes.data() + done, bytes.size() - done);
                if (n <= 0 || static_cast<std::uint64_t>(n) > bytes.size() - done) return false;
                done += static_cast<std::size_t>(n);
            }
            return true;
        } catch (...) {
            return false;
        }
    }

    // Reads the stream to its end (at most kMaxStateBytes) and hands the
    // bytes to the plug-in, which takes all or nothing; the editor shows the
    // values and the zoom the state keeps. A stream error, an over-long
    // stream or a record the plug-in refuses changes nothing.
    static bool ZEM_CLAPCALL stateLoad(const clap_plugin* p, const clap_istream* stream) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || stream == nullptr || stream->read == nullptr) return false;
        try {
            std::vector<std::uint8_t> bytes;
            std::uint8_t chunk[kStateReadChunk];
            for (;;) {
                const std::int64_t n = stream->read(stream, chunk, sizeof chunk);
                if (n == 0) break;
                if (n < 0 || static_cast<std::uint64_t>(n) > sizeof chunk ||
                    bytes.size() + static_cast<std::size_t>(n) > kMaxStateBytes)
                    return false;
                bytes.insert(bytes.end(), chunk, chunk + n);
            }
            int zoom = s->editorLink().zoom();
            if (!s->derived().loadState(bytes.data(), bytes.size(), zoom)) return false;
            for (int i = 0; i < numParameters; ++i) s->updateEditorControl(i);
            s->editorLink().setZoom(zoom);
            return true;
        } catch (...) {
            return false;
        }
    }

    // --- ports, latency, render ------------------------------------------------------

    // One mono output; no audio input.
    static std::uint32_t ZEM_CLAPCALL audioPortCount(const clap_plugin* p, bool isInput) noexcept {
        return self(p) != nullptr && !isInput ? 1 : 0;
    }
    static bool ZEM_CLAPCALL audioPortInfo(const clap_plugin* p, std::uint32_t index, bool isInput,
                                           clap_audio_port_info* info) noexcept {
        if (self(p) == nullptr || isInput || index != 0 || info == nullptr) return false;
        std::memset(info, 0, sizeof *info);
        info->id = 0;
        std::snprintf(info->name, sizeof info->name, "Output");
        info->flags = CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS;
        info->channel_count = 1;
        info->port_type = CLAP_PORT_MONO;
        info->in_place_pair = CLAP_INVALID_ID;
        return true;
    }

    // One note input, taking CLAP's notes and MIDI.
    static std::uint32_t ZEM_CLAPCALL notePortCount(const clap_plugin* p, bool isInput) noexcept {
        return self(p) != nullptr && isInput ? 1 : 0;
    }
    static bool ZEM_CLAPCALL notePortInfo(const clap_plugin* p, std::uint32_t index, bool isInput,
                                          clap_note_port_info* info) noexcept {
        if (self(p) == nullptr || !isInput || index != 0 || info == nullptr) return false;
        std::memset(info, 0, sizeof *info);
        info->id = 0;
        info->supported_dialects = CLAP_NOTE_DIALECT_CLAP | CLAP_NOTE_DIALECT_MIDI;
        info->preferred_dialect = CLAP_NOTE_DIALECT_CLAP;
        std::snprintf(info->name, sizeof info->name, "Notes");
        return true;
    }

    // The output is never delayed.
    static std::uint32_t ZEM_CLAPCALL latency(const clap_plugin*) noexcept { return 0; }

    // The same computation runs in real time and offline: either mode is fine.
    static bool ZEM_CLAPCALL hardRealtime(const clap_plugin*) noexcept { return false; }
    static bool ZEM_CLAPCALL setRenderMode(const clap_plugin* p, std::int32_t mode) noexcept {
        return self(p) != nullptr && (mode == CLAP_RENDER_REALTIME || mode == CLAP_RENDER_OFFLINE);
    }


    // --- remote controls: each group a page (or pages of eight) ------------------

    // Calls page(group, pageName, first) for every page in order, `first`
    // being the index of the parameter the page starts from (the rest of its
    // group's parameters follow, up to eight); stops when it answers false.
    template <class Page>
    static void eachRemotePage(Page&& page) noexcept {
        const ParameterGroups& groups = Derived::parameterGroups();
        for (int g = 0; g < groups.count; ++g) {
            int inGroup = 0;
            for (int i = 0; i < numParameters; ++i) {
                if (groups.groupOf(i) != g || inGroup++ % static_cast<int>(CLAP_REMOTE_CONTROLS_COUNT) != 0) continue;
                if (!page(g, inGroup / static_cast<int>(CLAP_REMOTE_CONTROLS_COUNT) + 1, i)) return;
            }
        }
    }

    static std::uint32_t ZEM_CLAPCALL remotePageCount(const clap_plugin* p) noexcept {
        std::uint32_t n = 0;
        if (self(p) != nullptr) eachRemotePage([&n](int, int, int) { return ++n, true; });
        return n;
    }

    // The page's section and name are its group's ("OSC 1"; a group's second
    // page of eight "OSC 1 2"); its id is its index.
    static bool ZEM_CLAPCALL remotePage(const clap_plugin* p, std::uint32_t pageIndex,
                                        clap_remote_controls_page* page) noexcept {
        if (self(p) == nullptr || page == nullptr) return false;
        std::uint32_t n = 0;
        bool found = false;
        eachRemotePage([&](int group, int number, int first) {
            if (n++ != pageIndex) return true;
            const ParameterGroups& groups = Derived::parameterGroups();
            std::memset(page, 0, sizeof *page);
            std::snprintf(page->section_name, sizeof page->section_name, "%s", groups.nameOf(group));
            std::snprintf(page->page_name, sizeof page->page_name, number > 1 ? "%s %d" : "%s", groups.nameOf(group),
                          number);
            page->page_id = pageIndex;
            std::uint32_t knob = 0;
            for (int i = first; i < numParameters && knob < CLAP_REMOTE_CONTROLS_COUNT; ++i)
                if (groups.groupOf(i) == group) page->param_ids[knob++] = static_cast<clap_id>(i);
            for (; knob < CLAP_REMOTE_CONTROLS_COUNT; ++knob) page->param_ids[knob] = CLAP_INVALID_ID;
            found = true;
            return false;
        });
        return found;
    }

    // --- preset-load ------------------------------------------------------------------

    // Main thread. Only the library's own presets load: location kind
    // "plugin", no location, a preset's name as key.
    static bool ZEM_CLAPCALL presetFromLocation(const clap_plugin* p, std::uint32_t kind, const char* location,
                                                const char* key) noexcept {
        Plugin* s = self(p);
        if (s == nullptr) return false;
        const auto& presets = Derived::presets();
        auto preset = std::end(presets);
        if (kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN && location == nullptr && key != nullptr)
            preset = std::find_if(std::begin(presets), std::end(presets),
                                  [key](const auto& candidate) { return candidate.name == key; });
        const auto* hostLoad = s->template hostExtension<clap_host_preset_load>(CLAP_EXT_PRESET_LOAD);
        if (hostLoad == nullptr)
            hostLoad = s->template hostExtension<clap_host_preset_load>(CLAP_EXT_PRESET_LOAD_COMPAT);
        if (preset == std::end(presets)) {
            if (hostLoad != nullptr && hostLoad->on_error != nullptr)
                hostLoad->on_error(s->host, kind, location, key, 0,
                                   kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location != nullptr
                                       ? "this plug-in's presets are inside it: no file or other location"
                                       : "the plug-in has no preset of this key");
            return false;
        }
        auto& parameters = s->derived().parameters();
        for (int i = 0; i < numParameters; ++i) {
            parameters.set(i, preset->values[static_cast<std::size_t>(i)]);
            parameters.touch(i);
            s->updateEditorControl(i);
        }
        const auto* hostParams = s->template hostExtension<clap_host_params>(CLAP_EXT_PARAMS);
        if (hostParams != nullptr && hostParams->rescan != nullptr) hostParams->rescan(s->host, CLAP_PARAM_RESCAN_VALUES);
        if (hostLoad != nullptr && hostLoad->loaded != nullptr) hostLoad->loaded(s->host, kind, location, key);
        return true;
    }

    // --- gui: the editor embedded in the host's window, at its scale ----------------

    // The open editor's new size (main thread): the host is asked for it.
    bool resizeEditor(int width, int height) override {
        const auto* gui = hostExtension<clap_host_gui>(CLAP_EXT_GUI);
        return gui != nullptr && gui->request_resize != nullptr &&
               gui->request_resize(host, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    }

    static bool isOurApi(const char* api, bool floating) noexcept {
        return api != nullptr && !floating && std::strcmp(api, kWindowApi) == 0;
    }
    static bool ZEM_CLAPCALL guiApiSupported(const clap_plugin* p, const char* api, bool floating) noexcept {
        return self(p) != nullptr && isOurApi(api, floating);
    }
    static bool ZEM_CLAPCALL guiPreferredApi(const clap_plugin* p, const char** api, bool* floating) noexcept {
        if (self(p) == nullptr || api == nullptr || floating == nullptr) return false;
        *api = kWindowApi;
        *floating = false;
        return true;
    }
    // The window itself is made at set_parent, inside the host's window.
    static bool ZEM_CLAPCALL guiCreate(const clap_plugin* p, const char* api, bool floating) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || s->guiCreated_ || !isOurApi(api, floating)) return false;
        s->guiCreated_ = true;
        const auto* timers = s->template hostExtension<clap_host_timer_support>(CLAP_EXT_TIMER_SUPPORT);
        if (timers != nullptr && timers->register_timer != nullptr &&
            !timers->register_timer(s->host, kEditorTimerMs, &s->editorTimer_))
            s->editorTimer_ = CLAP_INVALID_ID;
        return true;
    }
    static void ZEM_CLAPCALL guiDestroy(const clap_plugin* p) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || !s->guiCreated_) return;
        s->closeEditor();
        const auto* timers = s->template hostExtension<clap_host_timer_support>(CLAP_EXT_TIMER_SUPPORT);
        if (s->editorTimer_ != CLAP_INVALID_ID && timers != nullptr && timers->unregister_timer != nullptr)
            timers->unregister_timer(s->host, s->editorTimer_);
        s->editorTimer_ = CLAP_INVALID_ID;
        s->guiCreated_ = false;
    }
    // The host's scale for the editor (2 = 200 %): the panel is shown at the
    // largest size it is drawn at that is not larger. A scale that is no
    // plausible factor is refused.
    static bool ZEM_CLAPCALL guiSetScale(const clap_plugin* p, double scale) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || !isPlausibleFactor(scale)) return false;
        try {
            s->editorLink().setHostFactor(scale);
        } catch (...) {
            return false;
        }
        return true;
    }
    static bool ZEM_CLAPCALL guiSize(const clap_plugin* p, std::uint32_t* width, std::uint32_t* height) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || width == nullptr || height == nullptr) return false;
        *width = static_cast<std::uint32_t>(s->editorLink().width());
        *height = static_cast<std::uint32_t>(s->editorLink().height());
        return true;
    }
    // The user does not drag the panel to another size: its sizes are the
    // ones it is drawn at, offered by its zoom menu.
    static bool ZEM_CLAPCALL guiCanResize(const clap_plugin*) noexcept { return false; }
    static bool ZEM_CLAPCALL guiResizeHints(const clap_plugin*, clap_gui_resize_hints*) noexcept { return false; }
    static bool ZEM_CLAPCALL guiAdjustSize(const clap_plugin*, std::uint32_t*, std::uint32_t*) noexcept {
        return false;
    }
    // Only the size the editor has.
    static bool ZEM_CLAPCALL guiSetSize(const clap_plugin* p, std::uint32_t width, std::uint32_t height) noexcept {
        Plugin* s = self(p);
        return s != nullptr && width == std::uint32_t(s->editorLink().width()) &&
               height == std::uint32_t(s->editorLink().height());
    }
    // Opens the editor as a child of the host's window (an HWND, or an X11
    // window id carried as the handle, as VST 2.4 hosts hand it over).
    static bool ZEM_CLAPCALL guiSetParent(const clap_plugin* p, const clap_window* window) noexcept {
        Plugin* s = self(p);
        if (s == nullptr || !s->guiCreated_ || window == nullptr || !isOurApi(window->api, false)) return false;
#ifdef _WIN32
        const NativeWindow parent = window->win32;
#else
        const auto parent = reinterpret_cast<NativeWindow>(static_cast<std::uintptr_t>(window->x11));
#endif
        try {
            return s->openEditor(parent, s);
        } catch (...) {
            return false;
        }
    }
    static bool ZEM_CLAPCALL guiSetTransient(const clap_plugin*, const clap_window*) noexcept { return false; }
    static void ZEM_CLAPCALL guiSuggestTitle(const clap_plugin*, const char*) noexcept {}
    // The editor is a child of the host's window, shown and hidden with it.
    static bool ZEM_CLAPCALL guiShow(const clap_plugin* p) noexcept {
        Plugin* s = self(p);
        return s != nullptr && s->editor() != nullptr;
    }
    static bool ZEM_CLAPCALL guiHide(const clap_plugin* p) noexcept { return guiShow(p); }

    // Main thread: the open editor reads its window system's events and repaints.
    static void ZEM_CLAPCALL onTimer(const clap_plugin* p, clap_id id) noexcept {
        Plugin* s = self(p);
        if (s != nullptr && id == s->editorTimer_) s->idleEditor();
    }

    static constexpr clap_plugin_params kParams = {&paramCount, &paramInfo, &paramValue,
                                                   &valueToText, &textToValue, &paramFlush};
    static constexpr clap_plugin_state kState = {&stateSave, &stateLoad};
    static constexpr clap_plugin_audio_ports kAudioPorts = {&audioPortCount, &audioPortInfo};
    static constexpr clap_plugin_note_ports kNotePorts = {&notePortCount, &notePortInfo};
    static constexpr clap_plugin_latency kLatency = {&latency};
    static constexpr clap_plugin_render kRender = {&hardRealtime, &setRenderMode};
    static constexpr clap_plugin_gui kGui = {&guiApiSupported, &guiPreferredApi, &guiCreate,     &guiDestroy,
                                             &guiSetScale,     &guiSize,         &guiCanResize,  &guiResizeHints,
                                             &guiAdjustSize,   &guiSetSize,      &guiSetParent,  &guiSetTransient,
                                             &guiSuggestTitle, &guiShow,         &guiHide};
    static constexpr clap_plugin_timer_support kTimer = {&onTimer};
    static constexpr clap_plugin_remote_controls kRemoteControls = {&remotePageCount, &remotePage};
    static constexpr clap_plugin_preset_load kPresetLoad = {&presetFromLocation};
};

} // namespace zem::clap
