#pragma once
// The CLAP extensions this framework offers or asks for, declared from the
// published interface like the core (framework/clap/clap.h): parameters,
// state, audio and note ports, latency, render mode, the editor (gui),
// timers, remote-control pages and preset loading, with the host's side of
// those it calls back. A plug-in answers its records
// from clap_plugin::get_extension, a host its own from
// clap_host::get_extension; each is looked up by its id text.

#include <cstddef>
#include <cstdint>

#include "framework/clap/clap.h"

// --- Parameters ----------------------------------------------------------------

constexpr const char* CLAP_EXT_PARAMS = "clap.params";

// clap_param_info::flags.
enum : std::uint32_t {
    CLAP_PARAM_IS_STEPPED = 1 << 0,  // whole numbers only; a host's value is cut to one (truncated)
    CLAP_PARAM_IS_PERIODIC = 1 << 1, // wraps around, like a phase
    CLAP_PARAM_IS_HIDDEN = 1 << 2,   // in use by nothing: not shown, its automation not needed
    CLAP_PARAM_IS_READONLY = 1 << 3, // the host may not change it
    CLAP_PARAM_IS_BYPASS = 1 << 4,
    CLAP_PARAM_IS_AUTOMATABLE = 1 << 5, // automation may be recorded and played
    CLAP_PARAM_IS_AUTOMATABLE_PER_NOTE_ID = 1 << 6,
    CLAP_PARAM_IS_AUTOMATABLE_PER_KEY = 1 << 7,
    CLAP_PARAM_IS_AUTOMATABLE_PER_CHANNEL = 1 << 8,
    CLAP_PARAM_IS_AUTOMATABLE_PER_PORT = 1 << 9,
    CLAP_PARAM_IS_MODULATABLE = 1 << 10,
    CLAP_PARAM_IS_MODULATABLE_PER_NOTE_ID = 1 << 11,
    CLAP_PARAM_IS_MODULATABLE_PER_KEY = 1 << 12,
    CLAP_PARAM_IS_MODULATABLE_PER_CHANNEL = 1 << 13,
    CLAP_PARAM_IS_MODULATABLE_PER_PORT = 1 << 14,
    CLAP_PARAM_REQUIRES_PROCESS = 1 << 15,
    CLAP_PARAM_IS_ENUM = 1 << 16, // named entries (with CLAP_PARAM_IS_STEPPED)
};

// One parameter as a host lists it. Values are plain values: the range is the
// parameter's own, in the units its text shows.
struct clap_param_info {
    clap_id id; // stable across versions: hosts store automation and state under it
    std::uint32_t flags;
    void* cookie; // handed back in the parameter's events, or null
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE]; // a "/"-separated group path, may be empty
    double min_value;            // finite
    double max_value;            // finite
    double default_value;        // within min..max
};

struct clap_plugin_params {
    // Main thread.
    std::uint32_t(ZEM_CLAPCALL* count)(const clap_plugin* plugin);
    // Main thread. Fills `info` for the parameter at `param_index` (0..count-1).
    bool(ZEM_CLAPCALL* get_info)(const clap_plugin* plugin, std::uint32_t param_index, clap_param_info* info);
    // Main thread. The current plain value.
    bool(ZEM_CLAPCALL* get_value)(const clap_plugin* plugin, clap_id param_id, double* out_value);
    // Main thread. The text shown for `value`, zero-terminated, in
    // `out_buffer_capacity` bytes.
    bool(ZEM_CLAPCALL* value_to_text)(const clap_plugin* plugin, clap_id param_id, double value, char* out_buffer,
                                      std::uint32_t out_buffer_capacity);
    // Main thread. The plain value a typed text stands for.
    bool(ZEM_CLAPCALL* text_to_value)(const clap_plugin* plugin, clap_id param_id, const char* param_value_text,
                                      double* out_value);
    // Audio thread while active, else main thread; never during process.
    // Parameter events without audio; the plug-in may send its own to `out`.
    void(ZEM_CLAPCALL* flush)(const clap_plugin* plugin, const clap_input_events* in, const clap_output_events* out);
};

// clap_host_params::rescan flags.
enum : std::uint32_t {
    CLAP_PARAM_RESCAN_VALUES = 1 << 0, // values changed (a state was loaded): read them again
    CLAP_PARAM_RESCAN_TEXT = 1 << 1,
    CLAP_PARAM_RESCAN_INFO = 1 << 2,
    CLAP_PARAM_RESCAN_ALL = 1 << 3,
};

struct clap_host_params {
    // Main thread.
    void(ZEM_CLAPCALL* rescan)(const clap_host* host, std::uint32_t flags);
    // Main thread.
    void(ZEM_CLAPCALL* clear)(const clap_host* host, clap_id param_id, std::uint32_t flags);
    // Any thread but the audio thread: asks for a process or a flush call,
    // in which the plug-in sends its pending parameter events.
    void(ZEM_CLAPCALL* request_flush)(const clap_host* host);
};

// --- State ---------------------------------------------------------------------

constexpr const char* CLAP_EXT_STATE = "clap.state";

struct clap_plugin_state {
    // Main thread. Writes the whole state; false when it could not.
    bool(ZEM_CLAPCALL* save)(const clap_plugin* plugin, const clap_ostream* stream);
    // Main thread. Reads a state saved by save; false when it could not.
    bool(ZEM_CLAPCALL* load)(const clap_plugin* plugin, const clap_istream* stream);
};

struct clap_host_state {
    // Main thread: the state changed in a way no parameter shows.
    void(ZEM_CLAPCALL* mark_dirty)(const clap_host* host);
};

// --- Audio ports -------------------------------------------------------------

constexpr const char* CLAP_EXT_AUDIO_PORTS = "clap.audio-ports";
constexpr const char* CLAP_PORT_MONO = "mono";

// clap_audio_port_info::flags.
enum : std::uint32_t {
    CLAP_AUDIO_PORT_IS_MAIN = 1 << 0,
    CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1 << 1,
    CLAP_AUDIO_PORT_PREFERS_64BITS = 1 << 2,
    CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1 << 3,
};

struct clap_audio_port_info {
    clap_id id;
    char name[CLAP_NAME_SIZE];
    std::uint32_t flags;
    std::uint32_t channel_count;
    const char* port_type;   // CLAP_PORT_MONO, ...; null for unspecified
    clap_id in_place_pair;   // the input sharing this output's buffer, or CLAP_INVALID_ID
};

struct clap_plugin_audio_ports {
    // Main thread, inactive.
    std::uint32_t(ZEM_CLAPCALL* count)(const clap_plugin* plugin, bool is_input);
    // Main thread, inactive.
    bool(ZEM_CLAPCALL* get)(const clap_plugin* plugin, std::uint32_t index, bool is_input, clap_audio_port_info* info);
};

// --- Note ports ----------------------------------------------------------------

constexpr const char* CLAP_EXT_NOTE_PORTS = "clap.note-ports";

// How notes reach a port.
enum : std::uint32_t {
    CLAP_NOTE_DIALECT_CLAP = 1 << 0,     // clap_event_note
    CLAP_NOTE_DIALECT_MIDI = 1 << 1,     // clap_event_midi
    CLAP_NOTE_DIALECT_MIDI_MPE = 1 << 2, // clap_event_midi, one channel per note
    CLAP_NOTE_DIALECT_MIDI2 = 1 << 3,
};

struct clap_note_port_info {
    clap_id id;
    std::uint32_t supported_dialects; // CLAP_NOTE_DIALECT_* bits
    std::uint32_t preferred_dialect;  // one of them
    char name[CLAP_NAME_SIZE];
};

struct clap_plugin_note_ports {
    // Main thread, inactive.
    std::uint32_t(ZEM_CLAPCALL* count)(const clap_plugin* plugin, bool is_input);
    // Main thread, inactive.
    bool(ZEM_CLAPCALL* get)(const clap_plugin* plugin, std::uint32_t index, bool is_input, clap_note_port_info* info);
};

// --- Latency and render mode ----------------------------------------------------

constexpr const char* CLAP_EXT_LATENCY = "clap.latency";

struct clap_plugin_latency {
    // Main thread, while (being) activated: samples of delay from input to output.
    std::uint32_t(ZEM_CLAPCALL* get)(const clap_plugin* plugin);
};

constexpr const char* CLAP_EXT_RENDER = "clap.render";

enum : std::int32_t {
    CLAP_RENDER_REALTIME = 0, // the default
    CLAP_RENDER_OFFLINE = 1,  // no real-time pressure (bouncing, freezing)
};

struct clap_plugin_render {
    // Main thread. Whether the plug-in can only run in real time.
    bool(ZEM_CLAPCALL* has_hard_realtime_requirement)(const clap_plugin* plugin);
    // Main thread. Answers whether the mode was taken.
    bool(ZEM_CLAPCALL* set)(const clap_plugin* plugin, std::int32_t mode);
};

// --- Editor -------------------------------------------------------------------------

constexpr const char* CLAP_EXT_GUI = "clap.gui";
constexpr const char* CLAP_WINDOW_API_WIN32 = "win32"; // a HWND; physical pixels
constexpr const char* CLAP_WINDOW_API_X11 = "x11";     // an X11 window id; physical pixels

// A host's window handed to the plug-in: the api text says which member holds it.
struct clap_window {
    const char* api; // CLAP_WINDOW_API_*
    union {
        void* cocoa;
        // X11's window id type is an unsigned long, 64 bits on x86-64 Linux;
        // on Windows the member is unused and the union stays pointer-sized.
        unsigned long x11;
        void* win32; // HWND
        void* ptr;
    };
};

struct clap_gui_resize_hints {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    std::uint32_t aspect_ratio_width;
    std::uint32_t aspect_ratio_height;
};

// Main thread for every call. The embedded protocol: is_api_supported,
// create, set_scale, can_resize, get_size, set_parent, show ... hide,
// destroy. Sizes are in pixels.
struct clap_plugin_gui {
    bool(ZEM_CLAPCALL* is_api_supported)(const clap_plugin* plugin, const char* api, bool is_floating);
    bool(ZEM_CLAPCALL* get_preferred_api)(const clap_plugin* plugin, const char** api, bool* is_floating);
    bool(ZEM_CLAPCALL* create)(const clap_plugin* plugin, const char* api, bool is_floating);
    void(ZEM_CLAPCALL* destroy)(const clap_plugin* plugin);
    bool(ZEM_CLAPCALL* set_scale)(const clap_plugin* plugin, double scale);
    bool(ZEM_CLAPCALL* get_size)(const clap_plugin* plugin, std::uint32_t* width, std::uint32_t* height);
    bool(ZEM_CLAPCALL* can_resize)(const clap_plugin* plugin);
    bool(ZEM_CLAPCALL* get_resize_hints)(const clap_plugin* plugin, clap_gui_resize_hints* hints);
    bool(ZEM_CLAPCALL* adjust_size)(const clap_plugin* plugin, std::uint32_t* width, std::uint32_t* height);
    bool(ZEM_CLAPCALL* set_size)(const clap_plugin* plugin, std::uint32_t width, std::uint32_t height);
    bool(ZEM_CLAPCALL* set_parent)(const clap_plugin* plugin, const clap_window* window);
    bool(ZEM_CLAPCALL* set_transient)(const clap_plugin* plugin, const clap_window* window);
    void(ZEM_CLAPCALL* suggest_title)(const clap_plugin* plugin, const char* title);
    bool(ZEM_CLAPCALL* show)(const clap_plugin* plugin);
    bool(ZEM_CLAPCALL* hide)(const clap_plugin* plugin);
};

struct clap_host_gui {
    // Any thread.
    void(ZEM_CLAPCALL* resize_hints_changed)(const clap_host* host);
    bool(ZEM_CLAPCALL* request_resize)(const clap_host* host, std::uint32_t width, std::uint32_t height);
    bool(ZEM_CLAPCALL* request_show)(const clap_host* host);
    bool(ZEM_CLAPCALL* request_hide)(const clap_host* host);
    void(ZEM_CLAPCALL* closed)(const clap_host* host, bool was_destroyed);
};

// --- Timers ----------------------------------------------------------------------

// A host's timers on its main thread: how a plug-in whose editor reads its
// window system's events itself (X11) gets called regularly.
constexpr const char* CLAP_EXT_TIMER_SUPPORT = "clap.timer-support";

struct clap_plugin_timer_support {
    // Main thread: timer `timer_id` of this plug-in fired.
    void(ZEM_CLAPCALL* on_timer)(const clap_plugin* plugin, clap_id timer_id);
};

struct clap_host_timer_support {
    // Main thread. Starts a timer of about `period_ms` and answers its id.
    bool(ZEM_CLAPCALL* register_timer)(const clap_host* host, std::uint32_t period_ms, clap_id* timer_id);
    // Main thread.
    bool(ZEM_CLAPCALL* unregister_timer)(const clap_host* host, clap_id timer_id);
};

// --- Remote controls ----------------------------------------------------------------

// Pages of up to eight parameters, grouped in sections, that a host maps to
// a controller's knobs. (The draft's id is the same record.)
constexpr const char* CLAP_EXT_REMOTE_CONTROLS = "clap.remote-controls/2";
constexpr const char* CLAP_EXT_REMOTE_CONTROLS_COMPAT = "clap.remote-controls.draft/2";
constexpr std::uint32_t CLAP_REMOTE_CONTROLS_COUNT = 8;

struct clap_remote_controls_page {
    char section_name[CLAP_NAME_SIZE];
    clap_id page_id;
    char page_name[CLAP_NAME_SIZE];
    clap_id param_ids[CLAP_REMOTE_CONTROLS_COUNT]; // CLAP_INVALID_ID for an empty knob
    bool is_for_preset; // the page belongs to the loaded preset, not to the plug-in
};

struct clap_plugin_remote_controls {
    // Main thread.
    std::uint32_t(ZEM_CLAPCALL* count)(const clap_plugin* plugin);
    // Main thread. Fills `page` with the page at `page_index`.
    bool(ZEM_CLAPCALL* get)(const clap_plugin* plugin, std::uint32_t page_index, clap_remote_controls_page* page);
};

struct clap_host_remote_controls {
    // Main thread: the pages changed.
    void(ZEM_CLAPCALL* changed)(const clap_host* host);
    // Main thread: the page that matches what the user edits now.
    void(ZEM_CLAPCALL* suggest_page)(const clap_host* host, clap_id page_id);
};

// --- Preset loading --------------------------------------------------------------------

// Loading a preset that the preset-discovery factory
// (framework/clap/preset_discovery.h) declared, by its location and load key.
// (The draft's id is the same record.)
constexpr const char* CLAP_EXT_PRESET_LOAD = "clap.preset-load/2";
constexpr const char* CLAP_EXT_PRESET_LOAD_COMPAT = "clap.preset-load.draft/2";

struct clap_plugin_preset_load {
    // Main thread. Loads the preset; answers whether it did.
    bool(ZEM_CLAPCALL* from_location)(const clap_plugin* plugin, std::uint32_t location_kind, const char* location,
                                      const char* load_key);
};

struct clap_host_preset_load {
    // Main thread: from_location failed; os_error 0 when no system call failed.
    void(ZEM_CLAPCALL* on_error)(const clap_host* host, std::uint32_t location_kind, const char* location,
                                 const char* load_key, std::int32_t os_error, const char* message);
    // Main thread: the preset was loaded (so the host's browser can show it).
    void(ZEM_CLAPCALL* loaded)(const clap_host* host, std::uint32_t location_kind, const char* location,
                               const char* load_key);
};

// --- Layout checks (x86-64) ----------------------------------------------------------
static_assert(sizeof(clap_param_info) == 1320 && offsetof(clap_param_info, cookie) == 8 &&
                  offsetof(clap_param_info, name) == 16 && offsetof(clap_param_info, module) == 272 &&
                  offsetof(clap_param_info, min_value) == 1296 && offsetof(clap_param_info, default_value) == 1312,
              "clap_param_info layout");
static_assert(sizeof(clap_plugin_params) == 48 && sizeof(clap_host_params) == 24, "params records");
static_assert(sizeof(clap_plugin_state) == 16 && sizeof(clap_host_state) == 8, "state records");
static_assert(sizeof(clap_audio_port_info) == 288 && offsetof(clap_audio_port_info, flags) == 260 &&
                  offsetof(clap_audio_port_info, port_type) == 272 && offsetof(clap_audio_port_info, in_place_pair) == 280,
              "clap_audio_port_info: the name ends on a 4-byte boundary, the type pointer on an 8-byte one");
static_assert(sizeof(clap_note_port_info) == 268 && offsetof(clap_note_port_info, name) == 12,
              "clap_note_port_info layout");
static_assert(sizeof(clap_plugin_audio_ports) == 16 && sizeof(clap_plugin_note_ports) == 16, "port records");
static_assert(sizeof(clap_plugin_latency) == 8 && sizeof(clap_plugin_render) == 16, "latency and render records");
static_assert(sizeof(clap_window) == 16 && offsetof(clap_window, x11) == 8, "clap_window: api and one handle");
static_assert(sizeof(clap_gui_resize_hints) == 12 && offsetof(clap_gui_resize_hints, aspect_ratio_width) == 4,
              "clap_gui_resize_hints layout");
static_assert(sizeof(clap_plugin_timer_support) == 8 && sizeof(clap_host_timer_support) == 16, "timer records");
static_assert(sizeof(clap_plugin_gui) == 15 * sizeof(void*) && sizeof(clap_host_gui) == 5 * sizeof(void*),
              "gui records: callbacks only");
static_assert(sizeof(clap_remote_controls_page) == 552 && offsetof(clap_remote_controls_page, page_id) == 256 &&
                  offsetof(clap_remote_controls_page, param_ids) == 516 &&
                  offsetof(clap_remote_controls_page, is_for_preset) == 548,
              "clap_remote_controls_page layout");
static_assert(sizeof(clap_plugin_remote_controls) == 16 && sizeof(clap_host_remote_controls) == 16,
              "remote-control records");
static_assert(sizeof(clap_plugin_preset_load) == 8 && sizeof(clap_host_preset_load) == 16, "preset-load records");
