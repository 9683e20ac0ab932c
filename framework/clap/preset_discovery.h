#pragma once
// CLAP's preset-discovery factory, as a host's preset browser and a plug-in
// library see it: the library hands out providers; a host's indexer creates
// one, which declares where its presets are (init) and then describes the
// presets at each place to a metadata receiver (get_metadata). A preset is
// loaded afterwards through the plug-in's preset-load extension
// (framework/clap/extensions.h) with the location and load key the provider
// gave. Declared from the published MIT-licensed interface like the core
// (framework/clap/clap.h); the 64-bit layouts are checked at the bottom.
//
// Threads: the factory's calls are thread-safe; a provider, an indexer and a
// receiver are each used by one thread at a time. Indexing is never
// interactive and should be fast.

#include <cstddef>
#include <cstdint>

#include "framework/clap/clap.h"

// The factory's id, for clap_plugin_entry::get_factory. (The draft's id is
// the same record.)
constexpr const char* CLAP_PRESET_DISCOVERY_FACTORY_ID = "clap.preset-discovery-factory/2";
constexpr const char* CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT = "clap.preset-discovery-factory/draft-2";

// Where presets are: files (the location is a path), or inside the plug-in
// library itself (the location is null, each preset known by its load key).
enum : std::uint32_t {
    CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0,
    CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1,
};

// Location and preset flags.
enum : std::uint32_t {
    CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1 << 0,
    CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1 << 1,
    CLAP_PRESET_DISCOVERY_IS_DEMO_CONTENT = 1 << 2,
    CLAP_PRESET_DISCOVERY_IS_FAVORITE = 1 << 3,
};

// Seconds since 1970; 0 when unknown.
using clap_timestamp = std::uint64_t;
constexpr clap_timestamp CLAP_TIMESTAMP_UNKNOWN = 0;

// A plug-in named across formats: abi "clap" and the descriptor's id.
struct clap_universal_plugin_id {
    const char* abi;
    const char* id;
};

// The indexer's receiver of one location's presets. begin_preset comes
// first for each preset; its answer false tells the provider to stop.
struct clap_preset_discovery_metadata_receiver {
    void* receiver_data; // the indexer's own
    void(ZEM_CLAPCALL* on_error)(const clap_preset_discovery_metadata_receiver* receiver, std::int32_t os_error,
                                 const char* error_message);
    bool(ZEM_CLAPCALL* begin_preset)(const clap_preset_discovery_metadata_receiver* receiver, const char* name,
                                     const char* load_key);
    void(ZEM_CLAPCALL* add_plugin_id)(const clap_preset_discovery_metadata_receiver* receiver,
                                      const clap_universal_plugin_id* plugin_id);
    void(ZEM_CLAPCALL* set_soundpack_id)(const clap_preset_discovery_metadata_receiver* receiver,
                                         const char* soundpack_id);
    void(ZEM_CLAPCALL* set_flags)(const clap_preset_discovery_metadata_receiver* receiver, std::uint32_t flags);
    void(ZEM_CLAPCALL* add_creator)(const clap_preset_discovery_metadata_receiver* receiver, const char* creator);
    void(ZEM_CLAPCALL* set_description)(const clap_preset_discovery_metadata_receiver* receiver,
                                        const char* description);
    void(ZEM_CLAPCALL* set_timestamps)(const clap_preset_discovery_metadata_receiver* receiver,
                                       clap_timestamp creation_time, clap_timestamp modification_time);
    // A free word the host maps to its own tags ("bass", "pad", "instrument").
    void(ZEM_CLAPCALL* add_feature)(const clap_preset_discovery_metadata_receiver* receiver, const char* feature);
    void(ZEM_CLAPCALL* add_extra_info)(const clap_preset_discovery_metadata_receiver* receiver, const char* key,
                                       const char* value);
};

struct clap_preset_discovery_filetype {
    const char* name;
    const char* description;    // may be null
    const char* file_extension; // without the '.'; empty or null matches every file
};

struct clap_preset_discovery_location {
    std::uint32_t flags; // CLAP_PRESET_DISCOVERY_IS_*
    const char* name;
    std::uint32_t kind;   // CLAP_PRESET_DISCOVERY_LOCATION_*
    const char* location; // a path for FILE; null for PLUGIN
};

struct clap_preset_discovery_soundpack {
    std::uint32_t flags;
    const char* id;
    const char* name;
    const char* description;
    const char* homepage_url;
    const char* vendor;
    const char* image_path;
    clap_timestamp release_timestamp;
};

struct clap_preset_discovery_provider_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor; // may be null
};

struct clap_preset_discovery_provider {
    const clap_preset_discovery_provider_descriptor* desc;
    void* provider_data; // the provider's own
    // Declares the provider's locations, file types and sound packs to its
    // indexer; false when it cannot.
    bool(ZEM_CLAPCALL* init)(const clap_preset_discovery_provider* provider);
    void(ZEM_CLAPCALL* destroy)(const clap_preset_discovery_provider* provider);
    // Describes the presets at one declared location to `metadata_receiver`;
    // false on failure.
    bool(ZEM_CLAPCALL* get_metadata)(const clap_preset_discovery_provider* provider, std::uint32_t location_kind,
                                     const char* location,
                                     const clap_preset_discovery_metadata_receiver* metadata_receiver);
    const void*(ZEM_CLAPCALL* get_extension)(const clap_preset_discovery_provider* provider, const char* extension_id);
};

// The host's side, handed to the factory's create.
struct clap_preset_discovery_indexer {
    clap_version_t clap_version;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    void* indexer_data; // the host's own
    bool(ZEM_CLAPCALL* declare_filetype)(const clap_preset_discovery_indexer* indexer,
                                         const clap_preset_discovery_filetype* filetype);
    bool(ZEM_CLAPCALL* declare_location)(const clap_preset_discovery_indexer* indexer,
                                         const clap_preset_discovery_location* location);
    bool(ZEM_CLAPCALL* declare_soundpack)(const clap_preset_discovery_indexer* indexer,
                                          const clap_preset_discovery_soundpack* soundpack);
    const void*(ZEM_CLAPCALL* get_extension)(const clap_preset_discovery_indexer* indexer, const char* extension_id);
};

struct clap_preset_discovery_factory {
    std::uint32_t(ZEM_CLAPCALL* count)(const clap_preset_discovery_factory* factory);
    // The descriptor of provider `index`, or null.
    const clap_preset_discovery_provider_descriptor*(ZEM_CLAPCALL* get_descriptor)(
        const clap_preset_discovery_factory* factory, std::uint32_t index);
    // A new provider for `indexer`, freed by its destroy; null for an
    // unknown id. It calls the indexer no earlier than its init.
    const clap_preset_discovery_provider*(ZEM_CLAPCALL* create)(const clap_preset_discovery_factory* factory,
                                                                const clap_preset_discovery_indexer* indexer,
                                                                const char* provider_id);
};

// --- Layout checks (x86-64) ----------------------------------------------------------
static_assert(sizeof(clap_universal_plugin_id) == 16, "two texts");
static_assert(sizeof(clap_preset_discovery_metadata_receiver) == 11 * sizeof(void*),
              "the receiver's data and ten callbacks");
static_assert(sizeof(clap_preset_discovery_filetype) == 24, "three texts");
static_assert(sizeof(clap_preset_discovery_location) == 32 && offsetof(clap_preset_discovery_location, kind) == 16 &&
                  offsetof(clap_preset_discovery_location, location) == 24,
              "flags, name, kind, location");
static_assert(sizeof(clap_preset_discovery_soundpack) == 64 &&
                  offsetof(clap_preset_discovery_soundpack, release_timestamp) == 56,
              "sound pack layout");
static_assert(sizeof(clap_preset_discovery_provider_descriptor) == 40 &&
                  offsetof(clap_preset_discovery_provider_descriptor, id) == 16,
              "the version, then three texts");
static_assert(sizeof(clap_preset_discovery_provider) == 6 * sizeof(void*), "two pointers and four callbacks");
static_assert(sizeof(clap_preset_discovery_indexer) == 88 && offsetof(clap_preset_discovery_indexer, name) == 16 &&
                  offsetof(clap_preset_discovery_indexer, indexer_data) == 48,
              "the version, four texts, the indexer's data and four callbacks");
static_assert(sizeof(clap_preset_discovery_factory) == 24, "three callbacks");
