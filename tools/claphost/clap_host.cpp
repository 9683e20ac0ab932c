#include "tools/claphost/clap_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <type_traits>

#include "tools/claphost/gui_frame.h"
#include "tools/testhost/audio_call.h"
#include "tools/testhost/platform.h"
#include "tools/testhost/png_file.h"

namespace claphost {

namespace {

const clap_plugin_factory* factoryOf(const clap_plugin_entry* entry) {
    return static_cast<const clap_plugin_factory*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
}

Host& hostOf(const clap_host* host) { return *static_cast<Host*>(host->host_data); }
void ZEM_CLAPCALL countRequest(const clap_host* host) { ++hostOf(host).requests; }

// The host's timers: registered and unregistered here; whoever runs the
// host's loop calls the plug-in's on_timer for each.
bool ZEM_CLAPCALL registerTimer(const clap_host* host, std::uint32_t, clap_id* id) {
    if (id == nullptr) return false;
    *id = hostOf(host).nextTimer++;
    hostOf(host).timers.push_back(*id);
    return true;
}
bool ZEM_CLAPCALL unregisterTimer(const clap_host* host, clap_id id) {
    auto& timers = hostOf(host).timers;
    const auto found = std::find(timers.begin(), timers.end(), id);
    if (found == timers.end()) return false;
    timers.erase(found);
    return true;
}
constexpr clap_host_timer_support kTimers = {&registerTimer, &unregisterTimer};
// The editor's size requests are recorded and granted; whoever holds the
// frame gives it the size.
bool ZEM_CLAPCALL requestResize(const clap_host* host, std::uint32_t width, std::uint32_t height) {
    hostOf(host).resizeRequests.emplace_back(width, height);
    return true;
}
constexpr clap_host_gui kGui = {[](const clap_host*) {}, &requestResize, [](const clap_host*) { return false; },
                                [](const clap_host*) { return false; }, [](const clap_host*, bool) {}};
constexpr clap_host_params kHostParams = {
    [](const clap_host* host, std::uint32_t flags) { hostOf(host).rescans.push_back(flags); },
    [](const clap_host*, clap_id, std::uint32_t) {}, &countRequest};
constexpr clap_host_preset_load kHostPresetLoad = {
    [](const clap_host* host, std::uint32_t, const char*, const char*, std::int32_t, const char* message) {
        hostOf(host).loadErrors.push_back(message != nullptr ? message : "");
    },
    [](const clap_host* host, std::uint32_t, const char*, const char* key) {
        hostOf(host).loaded.push_back(key != nullptr ? key : "");
    }};

const void* ZEM_CLAPCALL hostExtension(const clap_host*, const char* id) {
    if (id != nullptr && std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &kTimers;
    if (id != nullptr && std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kHostParams;
    if (id != nullptr && std::strcmp(id, CLAP_EXT_GUI) == 0) return &kGui;
    if (id != nullptr && std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0) return &kHostPresetLoad;
    return nullptr;
}

// The host's identity, as its host record and its preset indexer give it.
template <class Record>
void nameHost(Record& record) {
    record.clap_version = CLAP_VERSION;
    record.name = "claphost";
    record.vendor = "Orvandel";
    record.url = "";
    record.version = "1.0.0";
}

// The list's callbacks find their EventList through ctx.
std::uint32_t ZEM_CLAPCALL listSize(const clap_input_events* list) {
    return static_cast<const EventList*>(list->ctx)->size();
}

} // namespace

bool Library::open(const char* path, std::string& error) {
    void* library = testhost::openLibrary(path, error);
    if (library == nullptr) return false;
    entry = static_cast<const clap_plugin_entry*>(testhost::librarySymbol(library, "clap_entry"));
    if (entry == nullptr) {
        error = std::string(path) + " exports no clap_entry";
        return false;
    }
    if (!clap_version_is_compatible(entry->clap_version) || entry->init == nullptr || !entry->init(path)) {
        error = std::string(path) + ": its entry refused to start (or is of another CLAP version)";
        return false;
    }
    factory = factoryOf(entry);
    if (factory == nullptr) error = std::string(path) + " has no plug-in factory";
    return factory != nullptr;
}

const clap_plugin_descriptor* Library::descriptor() const {
    return factory != nullptr && factory->get_plugin_count(factory) > 0 ? factory->get_plugin_descriptor(factory, 0)
                                                                         : nullptr;
}

std::vector<std::string> standardClapFolders() {
#ifdef _WIN32
    const char separator = ';';
#else
    const char separator = ':';
#endif
    std::vector<std::string> folders;
    if (const char* path = std::getenv("CLAP_PATH")) {
        std::string entries = path;
        for (std::size_t start = 0; start <= entries.size();) {
            const std::size_t end = std::min(entries.find(separator, start), entries.size());
            if (end > start) folders.push_back(entries.substr(start, end - start));
            start = end + 1;
        }
    }
    const auto under = [&](const char* variable, const char* tail) {
        if (const char* base = std::getenv(variable); base != nullptr && *base != '\0')
            folders.push_back(std::string(base) + tail);
    };
#ifdef _WIN32
    under("COMMONPROGRAMFILES", "\\CLAP");
    under("LOCALAPPDATA", "\\Programs\\Common\\CLAP");
#else
    under("HOME", "/.clap");
    folders.push_back("/usr/lib/clap");
#endif
    return folders;
}

std::vector<std::string> findClapFiles(const std::vector<std::string>& folders) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    for (const std::string& folder : folders) {
        std::error_code error;
        std::vector<std::string> found;
        for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
             !error && it != end; it.increment(error)) {
            if (it->path().extension() == ".clap" && it->is_regular_file(error)) found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

Host::Host() {
    nameHost(record);
    record.host_data = this;
    record.get_extension = &hostExtension;
    record.request_restart = &countRequest;
    record.request_process = &countRequest;
    record.request_callback = &countRequest;
}

// --- Events -----------------------------------------------------------------------

EventList::EventList() {
    list.ctx = this;
    list.size = &listSize;
    list.get = [](const clap_input_events* l, std::uint32_t index) -> const clap_event_header* {
        return static_cast<const EventList*>(l->ctx)->eventAt(index);
    };
}

const clap_event_header* EventList::eventAt(std::uint32_t index) const {
    if (index >= offsets_.size()) return nullptr;
    return reinterpret_cast<const clap_event_header*>(reinterpret_cast<const char*>(storage_.data()) + offsets_[index]);
}

void EventList::raw(const void* event, std::size_t size) {
    const std::size_t offset = storage_.size() * sizeof(std::uint64_t);
    storage_.resize(storage_.size() + (size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    std::memcpy(reinterpret_cast<char*>(storage_.data()) + offset, event, size);
    offsets_.push_back(offset);
}

namespace {
clap_event_header header(std::uint32_t size, std::uint32_t time, std::uint16_t type) {
    return clap_event_header{size, time, CLAP_CORE_EVENT_SPACE_ID, type, 0};
}
} // namespace

void EventList::note(std::uint32_t time, std::uint16_t type, int key, double velocity) {
    clap_event_note e{};
    e.header = header(sizeof e, time, type);
    e.note_id = -1;
    e.port_index = 0;
    e.channel = 0;
    e.key = static_cast<std::int16_t>(key);
    e.velocity = velocity;
    raw(&e, sizeof e);
}

void EventList::midi(std::uint32_t time, const unsigned char bytes[3]) {
    clap_event_midi e{};
    e.header = header(sizeof e, time, CLAP_EVENT_MIDI);
    std::memcpy(e.data, bytes, 3);
    raw(&e, sizeof e);
}

void EventList::param(std::uint32_t time, clap_id id, double value) {
    clap_event_param_value e{};
    e.header = header(sizeof e, time, CLAP_EVENT_PARAM_VALUE);
    e.param_id = id;
    e.note_id = -1;
    e.port_index = -1;
    e.channel = -1;
    e.key = -1;
    e.value = value;
    raw(&e, sizeof e);
}

void EventList::clear() {
    storage_.clear();
    offsets_.clear();
}

// --- Streams ------------------------------------------------------------------------

OutStream::OutStream(std::size_t chunk, std::size_t failAt) : chunk(chunk), failAt(failAt) {
    stream.ctx = this;
    stream.write = [](const clap_ostream* s, const void* buffer, std::uint64_t size) -> std::int64_t {
        auto* self = static_cast<OutStream*>(s->ctx);
        if (self->bytes.size() >= self->failAt) return -1;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, self->chunk));
        const auto* from = static_cast<const std::uint8_t*>(buffer);
        self->bytes.insert(self->bytes.end(), from, from + n);
        return static_cast<std::int64_t>(n);
    };
}

InStream::InStream(std::vector<std::uint8_t> data, std::size_t chunk, std::size_t failAt)
    : bytes(std::move(data)), chunk(chunk), failAt(failAt) {
    stream.ctx = this;
    stream.read = [](const clap_istream* s, void* buffer, std::uint64_t size) -> std::int64_t {
        auto* self = static_cast<InStream*>(s->ctx);
        if (self->position >= self->failAt) return -1;
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>({size, self->chunk, self->bytes.size() - self->position}));
        if (n > 0) std::memcpy(buffer, self->bytes.data() + self->position, n);
        self->position += n;
        return static_cast<std::int64_t>(n);
    };
}

// --- Instance -----------------------------------------------------------------------

Instance::Instance(const Library& library, Host& host) {
    const clap_plugin_descriptor* d = library.descriptor();
    if (d == nullptr) return;
    plugin = library.factory->create_plugin(library.factory, &host.record, d->id);
    if (plugin == nullptr) return;
    if (!plugin->init(plugin)) {
        plugin->destroy(plugin);
        plugin = nullptr;
        return;
    }
    params = static_cast<const clap_plugin_params*>(extension(CLAP_EXT_PARAMS));
    state = static_cast<const clap_plugin_state*>(extension(CLAP_EXT_STATE));
    audioPorts = static_cast<const clap_plugin_audio_ports*>(extension(CLAP_EXT_AUDIO_PORTS));
    notePorts = static_cast<const clap_plugin_note_ports*>(extension(CLAP_EXT_NOTE_PORTS));
    latency = static_cast<const clap_plugin_latency*>(extension(CLAP_EXT_LATENCY));
    gui = static_cast<const clap_plugin_gui*>(extension(CLAP_EXT_GUI));
    remoteControls = static_cast<const clap_plugin_remote_controls*>(extension(CLAP_EXT_REMOTE_CONTROLS));
    presetLoad = static_cast<const clap_plugin_preset_load*>(extension(CLAP_EXT_PRESET_LOAD));
}

Instance::~Instance() {
    if (plugin == nullptr) return;
    deactivate();
    plugin->destroy(plugin);
}

const void* Instance::extension(const char* id) const { return plugin->get_extension(plugin, id); }

bool Instance::activate(double rate, std::uint32_t maxFrames) {
    active = plugin->activate(plugin, rate, 1, maxFrames);
    return active;
}

void Instance::deactivate() {
    if (processing) plugin->stop_processing(plugin);
    processing = false;
    if (active) plugin->deactivate(plugin);
    active = false;
}

template <class Sample>
clap_process_status Instance::processAny(std::uint32_t frames, const EventList& events, Sample* out) {
    if (!processing) processing = testhost::audioCall([this] { return plugin->start_processing(plugin); });
    Sample* channels[1] = {out};
    clap_audio_buffer output{};
    if constexpr (std::is_same_v<Sample, float>) {
        output.data32 = channels;
    } else {
        output.data64 = channels;
    }
    output.channel_count = 1;
    clap_output_events outEvents{};
    outEvents.ctx = nullptr;
    outEvents.try_push = [](const clap_output_events*, const clap_event_header*) { return true; };
    clap_process p{};
    p.steady_time = steadyTime;
    p.frames_count = frames;
    p.audio_outputs = &output;
    p.audio_outputs_count = 1;
    p.in_events = &events.list;
    p.out_events = &outEvents;
    steadyTime += frames;
    return testhost::audioCall([&] { return plugin->process(plugin, &p); });
}

clap_process_status Instance::process(std::uint32_t frames, const EventList& events, float* out) {
    return processAny(frames, events, out);
}
clap_process_status Instance::process(std::uint32_t frames, const EventList& events, double* out) {
    return processAny(frames, events, out);
}

double Instance::value(clap_id id) const {
    double v = std::numeric_limits<double>::quiet_NaN();
    return params != nullptr && params->get_value(plugin, id, &v) ? v : std::numeric_limits<double>::quiet_NaN();
}

std::vector<double> Instance::values() const {
    std::vector<double> all;
    const std::uint32_t count = params != nullptr ? params->count(plugin) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        clap_param_info info{};
        all.push_back(params->get_info(plugin, i, &info) ? value(info.id) : std::nan(""));
    }
    return all;
}

bool Instance::idOf(const std::string& name, clap_id& id) const {
    const std::uint32_t count = params != nullptr ? params->count(plugin) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        clap_param_info info{};
        if (params->get_info(plugin, i, &info) && name == info.name) {
            id = info.id;
            return true;
        }
    }
    return false;
}

bool Instance::loadPreset(const DiscoveredPreset& preset) {
    const char* location = preset.locationKind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN ? nullptr : preset.path.c_str();
    return presetLoad != nullptr && presetLoad->from_location(plugin, preset.locationKind, location, preset.loadKey.c_str());
}

// --- Preset discovery ------------------------------------------------------------

namespace {

// What one provider declares and describes, gathered by the indexer and the
// receiver below.
struct Index {
    std::vector<clap_preset_discovery_location> locations;
    std::vector<std::string> locationPaths; // owned copies of the locations' paths
    std::vector<DiscoveredPreset> presets;
    std::string errors;
    DiscoveredPreset* current = nullptr; // the preset being described
};

Index& indexOf(const clap_preset_discovery_indexer* indexer) { return *static_cast<Index*>(indexer->indexer_data); }
Index& indexOf(const clap_preset_discovery_metadata_receiver* r) { return *static_cast<Index*>(r->receiver_data); }

// Each receiver call describes the preset begin_preset started.
template <class Apply>
void describe(const clap_preset_discovery_metadata_receiver* r, Apply&& apply) {
    if (indexOf(r).current != nullptr) apply(*indexOf(r).current);
}

clap_preset_discovery_metadata_receiver makeReceiver(Index& index) {
    clap_preset_discovery_metadata_receiver r{};
    r.receiver_data = &index;
    r.on_error = [](const clap_preset_discovery_metadata_receiver* self, std::int32_t, const char* message) {
        indexOf(self).errors += std::string(message != nullptr ? message : "?") + "; ";
    };
    r.begin_preset = [](const clap_preset_discovery_metadata_receiver* self, const char* name, const char* key) {
        Index& index = indexOf(self);
        DiscoveredPreset preset;
        preset.name = name != nullptr ? name : "";
        preset.loadKey = key != nullptr ? key : "";
        index.presets.push_back(preset);
        index.current = &index.presets.back();
        return true;
    };
    r.add_plugin_id = [](const clap_preset_discovery_metadata_receiver* self, const clap_universal_plugin_id* id) {
        describe(self, [id](DiscoveredPreset& p) {
            if (id != nullptr && id->abi != nullptr && id->id != nullptr)
                p.pluginIds.push_back(std::string(id->abi) + ":" + id->id);
        });
    };
    r.set_soundpack_id = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
    r.set_flags = [](const clap_preset_discovery_metadata_receiver* self, std::uint32_t flags) {
        describe(self, [flags](DiscoveredPreset& p) { p.flags = flags; });
    };
    r.add_creator = [](const clap_preset_discovery_metadata_receiver* self, const char* creator) {
        describe(self, [creator](DiscoveredPreset& p) { p.creators.push_back(creator != nullptr ? creator : ""); });
    };
    r.set_description = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
    r.set_timestamps = [](const clap_preset_discovery_metadata_receiver*, clap_timestamp, clap_timestamp) {};
    r.add_feature = [](const clap_preset_discovery_metadata_receiver* self, const char* feature) {
        describe(self, [feature](DiscoveredPreset& p) { p.features.push_back(feature != nullptr ? feature : ""); });
    };
    r.add_extra_info = [](const clap_preset_discovery_metadata_receiver*, const char*, const char*) {};
    return r;
}

clap_preset_discovery_indexer makeIndexer(Index& index) {
    clap_preset_discovery_indexer indexer{};
    nameHost(indexer);
    indexer.indexer_data = &index;
    indexer.declare_filetype = [](const clap_preset_discovery_indexer*, const clap_preset_discovery_filetype* t) {
        return t != nullptr;
    };
    indexer.declare_location = [](const clap_preset_discovery_indexer* self, const clap_preset_discovery_location* l) {
        if (l == nullptr) return false;
        Index& index = indexOf(self);
        index.locations.push_back(*l);
        index.locationPaths.push_back(l->location != nullptr ? l->location : "");
        return true;
    };
    indexer.declare_soundpack = [](const clap_preset_discovery_indexer*, const clap_preset_discovery_soundpack* p) {
        return p != nullptr;
    };
    indexer.get_extension = [](const clap_preset_discovery_indexer*, const char*) -> const void* { return nullptr; };
    return indexer;
}

} // namespace

bool discoverPresets(const Library& library, std::vector<DiscoveredPreset>& presets, std::string& error) {
    const auto* factory = static_cast<const clap_preset_discovery_factory*>(
        library.entry->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    if (factory == nullptr) {
        error = "the library has no preset-discovery factory";
        return false;
    }
    presets.clear();
    for (std::uint32_t i = 0; i < factory->count(factory); ++i) {
        const clap_preset_discovery_provider_descriptor* d = factory->get_descriptor(factory, i);
        Index index;
        const clap_preset_discovery_indexer indexer = makeIndexer(index);
        const clap_preset_discovery_provider* provider =
            d != nullptr ? factory->create(factory, &indexer, d->id) : nullptr;
        if (provider == nullptr) {
            error = "preset provider " + std::to_string(i) + " could not be created";
            return false;
        }
        bool ok = provider->init(provider);
        const clap_preset_discovery_metadata_receiver receiver = makeReceiver(index);
        for (std::size_t l = 0; ok && l < index.locations.size(); ++l) {
            const std::size_t first = index.presets.size();
            const char* path = index.locations[l].location != nullptr ? index.locationPaths[l].c_str() : nullptr;
            ok = provider->get_metadata(provider, index.locations[l].kind, path, &receiver);
            index.current = nullptr;
            for (std::size_t k = first; k < index.presets.size(); ++k) {
                index.presets[k].provider = d->id;
                index.presets[k].locationKind = index.locations[l].kind;
                index.presets[k].path = index.locationPaths[l];
            }
        }
        provider->destroy(provider);
        if (!ok) {
            error = std::string("preset provider ") + d->id + " failed: " + index.errors;
            return false;
        }
        presets.insert(presets.end(), index.presets.begin(), index.presets.end());
    }
    return true;
}

bool resolveNames(const Instance& instance, testhost::Script& script, std::string& error) {
    for (testhost::Command& c : script.commands) {
        if (!c.isParameter || c.name.empty()) continue;
        clap_id id = CLAP_INVALID_ID;
        if (!instance.idOf(c.name, id)) {
            error = "the plug-in has no parameter \"" + c.name + "\"";
            return false;
        }
        c.index = static_cast<int>(id);
    }
    return true;
}

std::vector<float> playScript(Instance& instance, const testhost::Script& script, double rate, int block, bool midi,
                              PlainOf plainOf, bool useDouble) {
    const long long total = std::max(script.length(rate), 0LL);
    std::vector<float> output;
    output.reserve(static_cast<std::size_t>(total));
    std::vector<float> floats(static_cast<std::size_t>(block));
    std::vector<double> doubles(static_cast<std::size_t>(block));
    EventList events;
    std::size_t next = 0;
    for (long long start = 0; start < total; start += block) {
        const int frames = static_cast<int>(std::min<long long>(block, total - start));
        events.clear();
        for (; next < script.commands.size() && script.commands[next].frame < start + frames; ++next) {
            const testhost::Command& c = script.commands[next];
            const auto at = static_cast<std::uint32_t>(std::max<long long>(0, c.frame - start));
            const unsigned status = c.midi[0] & 0xF0u;
            if (c.isParameter) {
                if (c.index >= 0) events.param(at, static_cast<clap_id>(c.index), plainOf(c.index, c.value));
            } else if (midi || (status != 0x90 && status != 0x80)) {
                events.midi(at, c.midi); // pedal and bend have no CLAP event of their own
            } else {
                const bool on = status == 0x90 && c.midi[2] > 0;
                events.note(at, on ? CLAP_EVENT_NOTE_ON : CLAP_EVENT_NOTE_OFF, c.midi[1], c.midi[2] / 127.0);
            }
        }
        if (useDouble) {
            instance.process(static_cast<std::uint32_t>(frames), events, doubles.data());
            for (int i = 0; i < frames; ++i) output.push_back(static_cast<float>(doubles[i]));
        } else {
            instance.process(static_cast<std::uint32_t>(frames), events, floats.data());
            output.insert(output.end(), floats.begin(), floats.begin() + frames);
        }
    }
    return output;
}

} // namespace claphost

// --- The editor -----------------------------------------------------------------

namespace claphost {

bool moreThanOneColour(const unsigned* pixels, int width, int height, int rowSpan) {
    if (pixels == nullptr || width <= 0 || height <= 0) return false;
    const unsigned first = pixels[0] & 0x00FFFFFFu;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((pixels[y * rowSpan + x] & 0x00FFFFFFu) != first) return true;
    return false;
}

bool Frame::childShowsPicture() {
    LICE_MemBitmap picture;
    return grabChild(picture) &&
           moreThanOneColour(picture.pixels(), picture.width(), picture.height(), picture.rowSpan());
}

bool openEditorRepeatedly(Instance& instance, Host& host, int times, const GuiOptions& options, int& editorWidth,
                          int& editorHeight) {
    prepareWindows();
    const clap_plugin_gui* gui = instance.gui;
    const clap_plugin* plugin = instance.plugin;
    const char* api = nullptr;
    bool floating = true;
    std::uint32_t width = 0, height = 0;
    if (gui == nullptr || !gui->get_preferred_api(plugin, &api, &floating) || floating ||
        !gui->is_api_supported(plugin, api, false) || !gui->create(plugin, api, false) ||
        (options.scale > 0.0 && !gui->set_scale(plugin, options.scale)) || !gui->get_size(plugin, &width, &height)) {
        std::fprintf(stderr, "the plug-in offers no embedded editor%s\n", options.scale > 0.0 ? " at that scale" : "");
        return false;
    }
    gui->destroy(plugin);
    editorWidth = static_cast<int>(width);
    editorHeight = static_cast<int>(height);
    if (options.width > 0 && (editorWidth != options.width || editorHeight != options.height)) {
        std::fprintf(stderr, "the editor is %d x %d pixels, not %d x %d\n", editorWidth, editorHeight, options.width,
                     options.height);
        return false;
    }
    std::unique_ptr<Frame> frame = Frame::create(static_cast<int>(width), static_cast<int>(height));
    if (frame == nullptr) {
        std::fprintf(stderr, "no display to open a window on (scripts/x11-run.sh, scripts/wine-window-run.sh)\n");
        return false;
    }
    const auto* timers = static_cast<const clap_plugin_timer_support*>(
        plugin->get_extension(plugin, CLAP_EXT_TIMER_SUPPORT));
    const clap_window parent = frame->window();
    for (int round = 1; round <= times; ++round) {
        if (!gui->create(plugin, api, false) || (options.scale > 0.0 && !gui->set_scale(plugin, options.scale)) ||
            !gui->set_parent(plugin, &parent) || !gui->show(plugin)) {
            std::fprintf(stderr, "opening %d: the editor refused to open\n", round);
            return false;
        }
        // A host's timers keep firing while the editor is open: an X11
        // editor reads its events and paints in them.
        for (int tick = 0; tick < 3; ++tick) {
            frame->pump();
            for (clap_id id : host.timers)
                if (timers != nullptr) timers->on_timer(plugin, id);
        }
        frame->pump();
        int w = 0, h = 0;
        if (frame->childCount() != 1 || !frame->childSize(w, h) || w != int(width) || h != int(height)) {
            std::fprintf(stderr, "opening %d: %d windows in the frame, the first %d x %d (expected one, %u x %u)\n",
                         round, frame->childCount(), w, h, width, height);
            return false;
        }
        if ((round == 1 || round == times) && !frame->childShowsPicture()) {
            std::fprintf(stderr, "opening %d: the editor painted nothing\n", round);
            return false;
        }
        if (round == 1 && options.picture != nullptr) {
            LICE_MemBitmap picture;
            if (!frame->grabChild(picture) || !png_file::writePng(options.picture, picture)) {
                std::fprintf(stderr, "cannot write the editor's picture to %s\n", options.picture);
                return false;
            }
        }
        if (!host.resizeRequests.empty()) {
            std::fprintf(stderr, "opening %d: the editor asked for another size than get_size answered\n", round);
            return false;
        }
        gui->hide(plugin);
        gui->destroy(plugin);
        frame->pump();
        if (frame->childCount() != 0 || !host.timers.empty()) {
            std::fprintf(stderr, "closing %d: %d windows and %zu timers left behind\n", round, frame->childCount(),
                         host.timers.size());
            return false;
        }
    }
    return true;
}

} // namespace claphost
