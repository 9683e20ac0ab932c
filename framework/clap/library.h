#pragma once
// The library's side of CLAP for a library of one plug-in, Derived (a
// zem::clap::Plugin, framework/clap/plugin.h): the entry record `clap_entry`
// points to, the plug-in factory, and the preset-discovery factory through
// which a host's preset browser finds the plug-in's factory presets without
// creating a plug-in: one provider, one location (the library itself), and
// for each preset its name as load key, the plug-in's id, the factory flag,
// the vendor as creator and, as features, the plug-in's main feature
// ("instrument") and the preset's category in lower case ("bass").
//
// Any thread; every call is cheap (hosts scan many libraries), nothing is
// set up before a factory is used, and nothing throws across the boundary.

#include <cctype>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "framework/clap/plugin.h"
#include "framework/clap/preset_discovery.h"

namespace zem::clap {

// The preset-discovery factory of Derived's factory presets.
template <class Derived>
struct PresetDiscovery {
    // A provider made for one indexer.
    struct Provider {
        clap_preset_discovery_provider record;
        const clap_preset_discovery_indexer* indexer;
    };

    // The provider's identity: the plug-in's id with ".factory-presets".
    static const clap_preset_discovery_provider_descriptor& descriptor() {
        static const std::string id = std::string(Derived::descriptor.id) + ".factory-presets";
        static const std::string name = std::string(Derived::descriptor.name) + " factory presets";
        static const clap_preset_discovery_provider_descriptor d = {CLAP_VERSION, id.c_str(), name.c_str(),
                                                                    Derived::descriptor.vendor};
        return d;
    }

    static std::uint32_t ZEM_CLAPCALL count(const clap_preset_discovery_factory* f) noexcept {
        return f != nullptr ? 1 : 0;
    }
    static const clap_preset_discovery_provider_descriptor* ZEM_CLAPCALL describe(
        const clap_preset_discovery_factory* f, std::uint32_t index) noexcept {
        try {
            return f != nullptr && index == 0 ? &descriptor() : nullptr;
        } catch (...) {
            return nullptr;
        }
    }
    static const clap_preset_discovery_provider* ZEM_CLAPCALL create(const clap_preset_discovery_factory* f,
                                                                     const clap_preset_discovery_indexer* indexer,
                                                                     const char* id) noexcept {
        try {
            if (f == nullptr || indexer == nullptr || id == nullptr || std::strcmp(id, descriptor().id) != 0 ||
                !clap_version_is_compatible(indexer->clap_version))
                return nullptr;
            auto* provider = new (std::nothrow) Provider{{&descriptor(), nullptr, &init, &destroy, &metadata,
                                                          &providerExtension},
                                                         indexer};
            if (provider == nullptr) return nullptr;
            provider->record.provider_data = provider;
            return &provider->record;
        } catch (...) {
            return nullptr;
        }
    }

    static Provider* self(const clap_preset_discovery_provider* p) noexcept {
        return p != nullptr ? static_cast<Provider*>(p->provider_data) : nullptr;
    }

    // Declares the one location: the library itself, factory content.
    static bool ZEM_CLAPCALL init(const clap_preset_discovery_provider* p) noexcept {
        Provider* s = self(p);
        if (s == nullptr || s->indexer->declare_location == nullptr) return false;
        const clap_preset_discovery_location location = {CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT,
                                                          descriptor().name, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN,
                                                          nullptr};
        return s->indexer->declare_location(s->indexer, &location);
    }

    static void ZEM_CLAPCALL destroy(const clap_preset_discovery_provider* p) noexcept { delete self(p); }

    // Describes every factory preset of the one location; any other
    // location is none of ours.
    static bool ZEM_CLAPCALL metadata(const clap_preset_discovery_provider* p, std::uint32_t kind,
                                      const char* location,
                                      const clap_preset_discovery_metadata_receiver* receiver) noexcept {
        if (self(p) == nullptr || receiver == nullptr || receiver->begin_preset == nullptr) return false;
        if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location != nullptr) {
            if (receiver->on_error != nullptr)
                receiver->on_error(receiver, 0, "this provider's presets are inside the plug-in, not in files");
            return false;
        }
        try {
            const clap_universal_plugin_id plugin = {"clap", Derived::descriptor.id};
            const char* mainFeature = Derived::descriptor.features != nullptr ? Derived::descriptor.features[0] : nullptr;
            for (const auto& preset : Derived::presets()) {
                if (!receiver->begin_preset(receiver, preset.name.c_str(), preset.name.c_str())) break;
                if (receiver->add_plugin_id != nullptr) receiver->add_plugin_id(receiver, &plugin);
                if (receiver->set_flags != nullptr)
                    receiver->set_flags(receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
                if (receiver->add_creator != nullptr) receiver->add_creator(receiver, Derived::descriptor.vendor);
                if (receiver->add_feature != nullptr) {
                    if (mainFeature != nullptr) receiver->add_feature(receiver, mainFeature);
                    std::string category = preset.category;
                    for (char& c : category) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    receiver->add_feature(receiver, category.c_str());
                }
            }
            return true;
        } catch (...) {
            return false;
        }
    }

    static const void* ZEM_CLAPCALL providerExtension(const clap_preset_discovery_provider*, const char*) noexcept {
        return nullptr;
    }

    static constexpr clap_preset_discovery_factory kFactory = {&count, &describe, &create};
};

template <class Derived>
struct Library {
    static bool ZEM_CLAPCALL init(const char*) noexcept { return true; }
    static void ZEM_CLAPCALL deinit() noexcept {}
    // The plug-in factory and the preset-discovery factory (under its
    // published id and its draft's).
    static const void* ZEM_CLAPCALL factory(const char* id) noexcept {
        if (id == nullptr) return nullptr;
        if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0) return &kFactory;
        if (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
            std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0)
            return &PresetDiscovery<Derived>::kFactory;
        return nullptr;
    }

    static std::uint32_t ZEM_CLAPCALL count(const clap_plugin_factory* f) noexcept { return f != nullptr ? 1 : 0; }
    static const clap_plugin_descriptor* ZEM_CLAPCALL descriptor(const clap_plugin_factory* f,
                                                                 std::uint32_t index) noexcept {
        return f != nullptr && index == 0 ? &Derived::descriptor : nullptr;
    }
    static const clap_plugin* ZEM_CLAPCALL create(const clap_plugin_factory* f, const clap_host* host,
                                                  const char* id) noexcept {
        return f != nullptr ? Derived::create(host, id) : nullptr;
    }

    static constexpr clap_plugin_factory kFactory = {&count, &descriptor, &create};
    static constexpr clap_plugin_entry kEntry = {CLAP_VERSION, &init, &deinit, &factory};
};

} // namespace zem::clap
