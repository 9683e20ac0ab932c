#pragma once
// The CLAP plug-in interface, core part, as host and plug-in see it in memory:
// the library's entry record, the plug-in factory, descriptor, host and
// plug-in records, events, audio buffers, the processing call and the byte
// streams of state. Declared here from the published MIT-licensed interface
// (version 1.x, whose layout is frozen), so nothing of its distribution is
// needed. Only what this framework and its tools use is declared; names
// follow the published ones so that a reader who knows the format finds them.
// The extensions are in framework/clap/extensions.h.
//
// Layout: the records are plain C structs with natural alignment (no packing),
// read by the other side at fixed offsets. CLAP binaries exist for 64-bit
// systems in practice, and our .clap is built for x86-64 Linux and 64-bit
// Windows only: the 64-bit sizes and offsets are checked at compile time at
// the bottom of each header. Fixed-width types only, except where the
// interface names a system type (an X11 window id, extensions.h).
//
// Threads: every callback states on which thread the other side calls it, in
// the interface's own terms: the host's main thread, its audio thread (one at
// a time, never overlapping), or any thread.

#include <cstddef>
#include <cstdint>

// Every function that crosses the boundary uses the C calling convention;
// only 32-bit Windows has another one to avoid.
#if defined(_WIN32) && !defined(_WIN64)
#define ZEM_CLAPCALL __cdecl
#else
#define ZEM_CLAPCALL
#endif

// Interface version: hosts and plug-ins of any 1.x understand each other.
// (The record keeps the published _t name: the records below have a member
// called clap_version.)
struct clap_version_t {
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t revision;
};

// The version these declarations follow; written into every record that
// carries one (entry, descriptor).
constexpr clap_version_t CLAP_VERSION = {1, 2, 0};

// Whether a version announced by the other side is one we can talk to: 0.x
// were drafts with other layouts.
constexpr bool clap_version_is_compatible(const clap_version_t& v) noexcept { return v.major >= 1; }

// Parameter, port and other identifiers; CLAP_INVALID_ID stands for none.
using clap_id = std::uint32_t;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;

// Capacities of the fixed text fields, terminator included.
constexpr std::size_t CLAP_NAME_SIZE = 256;
constexpr std::size_t CLAP_PATH_SIZE = 1024;

// --- Host -------------------------------------------------------------------

// The host as a plug-in sees it: handed to create_plugin, valid for the
// plug-in's life.
struct clap_host {
    clap_version_t clap_version;
    void* host_data; // the host's own
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    // Any thread. A host extension record by id, or null; not before the
    // plug-in's init.
    const void*(ZEM_CLAPCALL* get_extension)(const clap_host* host, const char* extension_id);
    // Any thread. Asks to be deactivated and activated again.
    void(ZEM_CLAPCALL* request_restart)(const clap_host* host);
    // Any thread. Asks to be activated and processed.
    void(ZEM_CLAPCALL* request_process)(const clap_host* host);
    // Any thread. Asks for a call of on_main_thread on the main thread.
    void(ZEM_CLAPCALL* request_callback)(const clap_host* host);
};

// --- Plug-in ------------------------------------------------------------------

// Standard words for clap_plugin_descriptor::features.
constexpr const char* CLAP_PLUGIN_FEATURE_INSTRUMENT = "instrument";
constexpr const char* CLAP_PLUGIN_FEATURE_SYNTHESIZER = "synthesizer";
constexpr const char* CLAP_PLUGIN_FEATURE_MONO = "mono";

// What a host lists before it creates anything. Texts are the plug-in's
// constants; id and name are required, the others may be empty.
struct clap_plugin_descriptor {
    clap_version_t clap_version;
    const char* id; // reverse-domain, unique, never changes
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version; // "MAJOR.MINOR.REVISION" is what hosts compare best
    const char* description;
    const char* const* features; // null-terminated list of keywords
};

// clap_plugin::process answers.
using clap_process_status = std::int32_t;
enum : clap_process_status {
    CLAP_PROCESS_ERROR = 0,                 // the output is to be thrown away
    CLAP_PROCESS_CONTINUE = 1,              // call again with the next block
    CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2, // the host may stop calling while the output is silent
    CLAP_PROCESS_TAIL = 3,                  // ask the tail extension
    CLAP_PROCESS_SLEEP = 4,                 // no need to call until an event arrives
};

struct clap_process;

// One plug-in instance as the host holds it. The states, in order: created,
// initialised (init), active (activate: rate and block sizes fixed),
// processing (start_processing); and back.
struct clap_plugin {
    const clap_plugin_descriptor* desc;
    void* plugin_data; // the plug-in's own
    // Main thread, once after creation; false means the host must destroy it.
    bool(ZEM_CLAPCALL* init)(const clap_plugin* plugin);
    // Main thread, inactive. Frees the instance.
    void(ZEM_CLAPCALL* destroy)(const clap_plugin* plugin);
    // Main thread, inactive: sample rate and the range of frame counts that
    // process will see (within 1..INT32_MAX); the plug-in may allocate here.
    bool(ZEM_CLAPCALL* activate)(const clap_plugin* plugin, double sample_rate, std::uint32_t min_frames_count,
                                 std::uint32_t max_frames_count);
    // Main thread, active.
    void(ZEM_CLAPCALL* deactivate)(const clap_plugin* plugin);
    // Audio thread, active and not processing.
    bool(ZEM_CLAPCALL* start_processing)(const clap_plugin* plugin);
    // Audio thread, processing.
    void(ZEM_CLAPCALL* stop_processing)(const clap_plugin* plugin);
    // Audio thread, active: every sound stops; parameter values stay.
    void(ZEM_CLAPCALL* reset)(const clap_plugin* plugin);
    // Audio thread, processing: one block with its events. Pointers in the
    // record are valid until the call returns.
    clap_process_status(ZEM_CLAPCALL* process)(const clap_plugin* plugin, const clap_process* process);
    // Any thread, from init on. An extension record by id, or null.
    const void*(ZEM_CLAPCALL* get_extension)(const clap_plugin* plugin, const char* id);
    // Main thread, after the plug-in's request_callback.
    void(ZEM_CLAPCALL* on_main_thread)(const clap_plugin* plugin);
};

// --- Factory and entry ------------------------------------------------------------

constexpr const char* CLAP_PLUGIN_FACTORY_ID = "clap.plugin-factory";

// Any thread for every call: lists the library's plug-ins and creates them.
struct clap_plugin_factory {
    std::uint32_t(ZEM_CLAPCALL* get_plugin_count)(const clap_plugin_factory* factory);
    // Null for an index out of range.
    const clap_plugin_descriptor*(ZEM_CLAPCALL* get_plugin_descriptor)(const clap_plugin_factory* factory,
                                                                        std::uint32_t index);
    // A new instance (to be freed by its destroy), or null. The plug-in may
    // not call the host from here; it may from init on.
    const clap_plugin*(ZEM_CLAPCALL* create_plugin)(const clap_plugin_factory* factory, const clap_host* host,
                                                     const char* plugin_id);
};

// The one symbol a .clap exports, `clap_entry`. init comes first (quick: a
// host may scan hundreds of libraries), deinit last; no call follows deinit.
struct clap_plugin_entry {
    clap_version_t clap_version;
    bool(ZEM_CLAPCALL* init)(const char* plugin_path);
    void(ZEM_CLAPCALL* deinit)();
    // A factory by id, or null; owned by the library.
    const void*(ZEM_CLAPCALL* get_factory)(const char* factory_id);
};

// --- Events -------------------------------------------------------------------

// What every event starts with; `size` covers the whole event, so a reader
// can tell a short (malformed) event from a whole one.
struct clap_event_header {
    std::uint32_t size;     // bytes of the whole event, this header included
    std::uint32_t time;     // sample offset into the processing call's block
    std::uint16_t space_id; // CLAP_CORE_EVENT_SPACE_ID for the events below
    std::uint16_t type;     // CLAP_EVENT_*
    std::uint32_t flags;    // CLAP_EVENT_IS_LIVE, CLAP_EVENT_DONT_RECORD
};

constexpr std::uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

enum : std::uint32_t {
    CLAP_EVENT_IS_LIVE = 1 << 0,     // from a person's hand, not a recording
    CLAP_EVENT_DONT_RECORD = 1 << 1, // not to be recorded as automation
};

// Event types of the core space.
enum : std::uint16_t {
    CLAP_EVENT_NOTE_ON = 0,             // clap_event_note
    CLAP_EVENT_NOTE_OFF = 1,            // clap_event_note
    CLAP_EVENT_NOTE_CHOKE = 2,          // clap_event_note: stop the matching voices now
    CLAP_EVENT_NOTE_END = 3,            // clap_event_note, plug-in to host: a voice ended
    CLAP_EVENT_NOTE_EXPRESSION = 4,     // clap_event_note_expression
    CLAP_EVENT_PARAM_VALUE = 5,         // clap_event_param_value
    CLAP_EVENT_PARAM_MOD = 6,           // clap_event_param_mod
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7, // clap_event_param_gesture
    CLAP_EVENT_PARAM_GESTURE_END = 8,   // clap_event_param_gesture
    CLAP_EVENT_TRANSPORT = 9,           // clap_event_transport
    CLAP_EVENT_MIDI = 10,               // clap_event_midi
    CLAP_EVENT_MIDI_SYSEX = 11,         // clap_event_midi_sysex
    CLAP_EVENT_MIDI2 = 12,              // clap_event_midi2 (not declared: unused here)
};

// A note is addressed by (note id, port, channel, key); -1 in a field is a
// wildcard, allowed in note-offs and chokes, not in note-ons.
struct clap_event_note {
    clap_event_header header;
    std::int32_t note_id;    // the host's id of the note, or -1
    std::int16_t port_index; // note port (extensions.h)
    std::int16_t channel;    // 0..15
    std::int16_t key;        // 0..127, 60 is middle C
    double velocity;         // 0..1; 0 is a valid note-on, not a note-off
};

struct clap_event_note_expression {
    clap_event_header header;
    std::int32_t expression_id;
    std::int32_t note_id;
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double value;
};

// A parameter's new value: a plain value in the parameter's own range, at the
// header's sample.
struct clap_event_param_value {
    clap_event_header header;
    clap_id param_id; // clap_param_info::id
    void* cookie;     // clap_param_info::cookie as given, or null
    std::int32_t note_id;
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double value;
};

// A modulation added on top of the value (for parameters that declare it).
struct clap_event_param_mod {
    clap_event_header header;
    clap_id param_id;
    void* cookie;
    std::int32_t note_id;
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double amount;
};

// The start or end of a person's adjustment of one parameter.
struct clap_event_param_gesture {
    clap_event_header header;
    clap_id param_id;
};

// Song position and tempo; fixed-point times (2^31 per beat or second).
struct clap_event_transport {
    clap_event_header header;
    std::uint32_t flags;
    std::int64_t song_pos_beats;
    std::int64_t song_pos_seconds;
    double tempo;     // beats per minute
    double tempo_inc; // tempo change per sample until the next transport event
    std::int64_t loop_start_beats;
    std::int64_t loop_end_beats;
    std::int64_t loop_start_seconds;
    std::int64_t loop_end_seconds;
    std::int64_t bar_start;
    std::int32_t bar_number;
    std::uint16_t tsig_num;
    std::uint16_t tsig_denom;
};

// One short MIDI 1.0 message.
struct clap_event_midi {
    clap_event_header header;
    std::uint16_t port_index;
    std::uint8_t data[3]; // status and two data bytes
};

struct clap_event_midi_sysex {
    clap_event_header header;
    std::uint16_t port_index;
    const std::uint8_t* buffer; // valid during the processing call only
    std::uint32_t size;
};

// The events of one processing call (or one params flush), in time order.
struct clap_input_events {
    void* ctx; // the host's own
    std::uint32_t(ZEM_CLAPCALL* size)(const clap_input_events* list);
    // The event at `index`, owned by the list; null for an index out of range.
    const clap_event_header*(ZEM_CLAPCALL* get)(const clap_input_events* list, std::uint32_t index);
};

// Where the plug-in sends events (its own parameter edits), in time order.
struct clap_output_events {
    void* ctx; // the host's own
    // Copies the event; false when the host cannot take it.
    bool(ZEM_CLAPCALL* try_push)(const clap_output_events* list, const clap_event_header* event);
};

// --- Processing ---------------------------------------------------------------

// One port's channels: either data32 or data64 is set, one pointer per channel.
struct clap_audio_buffer {
    float** data32;
    double** data64;
    std::uint32_t channel_count;
    std::uint32_t latency;
    std::uint64_t constant_mask; // bit n: channel n holds one value throughout
};

// Everything one processing call brings.
struct clap_process {
    std::int64_t steady_time;   // the host's running sample count, or -1
    std::uint32_t frames_count; // frames in every buffer
    const clap_event_transport* transport; // null for a host without transport
    const clap_audio_buffer* audio_inputs;
    clap_audio_buffer* audio_outputs;
    std::uint32_t audio_inputs_count;
    std::uint32_t audio_outputs_count; // as many as the audio-ports extension declares
    const clap_input_events* in_events;
    const clap_output_events* out_events;
};

// --- Byte streams, for state ------------------------------------------------------

// Reads up to `size` bytes; answers how many were read, 0 at the end, -1 on
// an error. A host may hand out fewer bytes than asked at a time.
struct clap_istream {
    void* ctx;
    std::int64_t(ZEM_CLAPCALL* read)(const clap_istream* stream, void* buffer, std::uint64_t size);
};

// Writes up to `size` bytes; answers how many were taken, -1 on an error.
struct clap_ostream {
    void* ctx;
    std::int64_t(ZEM_CLAPCALL* write)(const clap_ostream* stream, const void* buffer, std::uint64_t size);
};

// --- Layout checks (x86-64: pointers and doubles 8 bytes, natural alignment) ---
static_assert(sizeof(void*) == 8, "the CLAP plug-in and host are built for 64-bit systems");
static_assert(sizeof(clap_version_t) == 12, "three 32-bit numbers");
static_assert(sizeof(clap_host) == 88 && offsetof(clap_host, host_data) == 16 &&
                  offsetof(clap_host, get_extension) == 56 && offsetof(clap_host, request_callback) == 80,
              "the version is padded to 16 bytes before the pointers");
static_assert(sizeof(clap_plugin_descriptor) == 88 && offsetof(clap_plugin_descriptor, id) == 16 &&
                  offsetof(clap_plugin_descriptor, features) == 80,
              "clap_plugin_descriptor layout");
static_assert(sizeof(clap_plugin) == 96 && offsetof(clap_plugin, reset) == 64 && offsetof(clap_plugin, process) == 72 &&
                  offsetof(clap_plugin, on_main_thread) == 88,
              "clap_plugin: two pointers and ten callbacks");
static_assert(sizeof(clap_plugin_factory) == 24, "three callbacks");
static_assert(sizeof(clap_plugin_entry) == 40 && offsetof(clap_plugin_entry, init) == 16,
              "clap_plugin_entry layout");
static_assert(sizeof(clap_event_header) == 16, "clap_event_header layout");
static_assert(sizeof(clap_event_note) == 40 && offsetof(clap_event_note, key) == 24 &&
                  offsetof(clap_event_note, velocity) == 32,
              "clap_event_note layout");
static_assert(sizeof(clap_event_note_expression) == 40 && offsetof(clap_event_note_expression, value) == 32,
              "clap_event_note_expression layout");
static_assert(sizeof(clap_event_param_value) == 56 && offsetof(clap_event_param_value, cookie) == 24 &&
                  offsetof(clap_event_param_value, note_id) == 32 && offsetof(clap_event_param_value, value) == 48,
              "clap_event_param_value: the cookie is aligned to 8 after the id");
static_assert(sizeof(clap_event_param_mod) == 56 && offsetof(clap_event_param_mod, amount) == 48,
              "clap_event_param_mod layout");
static_assert(sizeof(clap_event_param_gesture) == 20, "clap_event_param_gesture layout");
static_assert(sizeof(clap_event_transport) == 104 && offsetof(clap_event_transport, song_pos_beats) == 24 &&
                  offsetof(clap_event_transport, bar_number) == 96 && offsetof(clap_event_transport, tsig_denom) == 102,
              "clap_event_transport layout");
static_assert(sizeof(clap_event_midi) == 24 && offsetof(clap_event_midi, data) == 18,
              "clap_event_midi: 21 bytes padded to the header's alignment");
static_assert(sizeof(clap_event_midi_sysex) == 40 && offsetof(clap_event_midi_sysex, buffer) == 24 &&
                  offsetof(clap_event_midi_sysex, size) == 32,
              "clap_event_midi_sysex layout");
static_assert(sizeof(clap_input_events) == 24 && sizeof(clap_output_events) == 16, "event list records");
static_assert(sizeof(clap_audio_buffer) == 32 && offsetof(clap_audio_buffer, constant_mask) == 24,
              "clap_audio_buffer layout");
static_assert(sizeof(clap_process) == 64 && offsetof(clap_process, transport) == 16 &&
                  offsetof(clap_process, audio_inputs_count) == 40 && offsetof(clap_process, in_events) == 48,
              "clap_process layout");
static_assert(sizeof(clap_istream) == 16 && sizeof(clap_ostream) == 16, "stream records");
