// The built Veldane.clap as our CLAP host meets it: the factory and
// descriptor, every parameter against the plug-in's own table and the
// panel's sections, remote-control pages, the factory presets as a host's
// browser finds and loads them, ports, state saved and loaded through
// streams (and refused whole when it is not), events at their samples, and
// the calls no host should make. The same program runs
// natively against the Linux .clap and under wine64 against the Windows one;
// renders against the VST 2.4 plug-in are compared by tests/clap/matches_vst2.sh.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/version.h"
#include "framework/plain_value.h"
#include "synth/parameters.h"
#include "synth/patches.h"
#include "synth/state.h"
#include "tests/measure.h"
#include "tools/claphost/clap_host.h"
#include "ui/panel_sections.h"

namespace {

using namespace claphost;

constexpr double kRate = 44100.0;
constexpr std::uint32_t kBlock = 512;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

const Library& library() {
    static Library loaded;
    static std::string error;
    static const bool ok = loaded.open(VELDANE_CLAP, error);
    EXPECT_TRUE(ok) << error;
    return loaded;
}

class Clap : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(library().factory, nullptr);
        instance = std::make_unique<Instance>(library(), host);
        ASSERT_NE(instance->plugin, nullptr);
        ASSERT_NE(instance->params, nullptr);
        plugin = instance->plugin;
    }

    // One block of `frames` with `events`, from an instance activated for it.
    std::vector<float> render(std::uint32_t frames, const EventList& events) {
        if (!instance->active) {
            EXPECT_TRUE(instance->activate(kRate, frames));
        }
        std::vector<float> out(frames);
        EXPECT_EQ(instance->process(frames, events, out.data()), CLAP_PROCESS_CONTINUE);
        return out;
    }

    Host host;
    std::unique_ptr<Instance> instance;
    const clap_plugin* plugin = nullptr;
    const Veldane::Parameters table; // the plug-in's own, at its defaults
};

TEST(ClapLibrary, OneInstrumentInTheFactory) {
    const Library& lib = library();
    ASSERT_NE(lib.factory, nullptr);
    EXPECT_EQ(lib.entry->get_factory("clap.no-such-factory"), nullptr);
    EXPECT_EQ(lib.entry->get_factory(nullptr), nullptr);
    EXPECT_EQ(lib.factory->get_plugin_count(lib.factory), 1u);
    EXPECT_EQ(lib.factory->get_plugin_descriptor(lib.factory, 1), nullptr);
    const clap_plugin_descriptor* d = lib.descriptor();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(clap_version_is_compatible(d->clap_version));
    EXPECT_STREQ(d->id, "com.orvandel.veldane");
    EXPECT_STREQ(d->name, "Veldane");
    EXPECT_STREQ(d->vendor, "Orvandel");
    EXPECT_STREQ(d->version, Veldane::kVersion); // the project's one version
    std::set<std::string> features;
    for (const char* const* f = d->features; *f != nullptr; ++f) features.insert(*f);
    EXPECT_EQ(features, (std::set<std::string>{"instrument", "synthesizer", "mono"}));

    Host host;
    EXPECT_EQ(lib.factory->create_plugin(lib.factory, &host.record, "com.orvandel.other"), nullptr);
    EXPECT_EQ(lib.factory->create_plugin(lib.factory, &host.record, nullptr), nullptr);
    EXPECT_EQ(lib.factory->create_plugin(lib.factory, nullptr, d->id), nullptr);
    host.record.clap_version = {0, 26, 0}; // a draft's layout
    EXPECT_EQ(lib.factory->create_plugin(lib.factory, &host.record, d->id), nullptr);
}

// Ids, names, ranges in the displayed units, defaults and kinds come from the
// table; the texts are the parameter classes' own, and a text read back gives
// the value it was written from.
TEST_F(Clap, ParametersMatchTheTable) {
    ASSERT_EQ(instance->params->count(plugin), static_cast<std::uint32_t>(Veldane::kParamCount));
    for (int i = 0; i < Veldane::kParamCount; ++i) {
        const zem::Parameter& p = *table.at(i);
        const zem::PlainRange range = zem::plainRangeOf(p);
        clap_param_info info{};
        ASSERT_TRUE(instance->params->get_info(plugin, static_cast<std::uint32_t>(i), &info));
        EXPECT_EQ(info.id, static_cast<clap_id>(i));
        EXPECT_STREQ(info.name, p.name);
        EXPECT_EQ(info.min_value, range.min) << p.name;
        EXPECT_EQ(info.max_value, range.max) << p.name;
        EXPECT_EQ(info.default_value, range.current) << p.name;
        EXPECT_EQ(instance->value(info.id), range.current) << p.name;
        EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, range.kind != zem::PlainRange::Real) << p.name;
        EXPECT_EQ((info.flags & CLAP_PARAM_IS_ENUM) != 0, range.kind == zem::PlainRange::Enumeration) << p.name;
        // Grouped as the panel groups them; the placeholder, on no panel,
        // hidden and out of the host's hands.
        const int section = Veldane::sectionOf(i);
        EXPECT_STREQ(info.module, section >= 0 ? Veldane::panelSections[section].name : "") << p.name;
        const std::uint32_t shown = CLAP_PARAM_IS_AUTOMATABLE, hidden = CLAP_PARAM_IS_HIDDEN | CLAP_PARAM_IS_READONLY;
        EXPECT_EQ(info.flags & (shown | hidden), section >= 0 ? shown : hidden) << p.name;
        EXPECT_EQ(section < 0, i == Veldane::kReserved);

        for (double v : {range.min, range.current, range.max}) {
            char text[64] = {};
            ASSERT_TRUE(instance->params->value_to_text(plugin, info.id, v, text, sizeof text)) << p.name;
            double back = kNaN;
            ASSERT_TRUE(instance->params->text_to_value(plugin, info.id, text, &back)) << p.name << " " << text;
            char again[64] = {};
            instance->params->value_to_text(plugin, info.id, back, again, sizeof again);
            EXPECT_STREQ(again, text) << p.name;
            if (range.kind != zem::PlainRange::Real) {
                EXPECT_EQ(back, v) << p.name;
            }
        }
    }
    char text[64];
    for (double cutoff : {800.0, 1234.5}) {
        instance->params->value_to_text(plugin, Veldane::kFilterCutoff, cutoff, text, sizeof text);
        EXPECT_STREQ(text, cutoff == 800.0 ? "800.0 Hz" : "1234.5 Hz");
    }
    instance->params->value_to_text(plugin, Veldane::kVoiceMode, 0.0, text, sizeof text);
    EXPECT_STREQ(text, "Retrigger");
    double v = kNaN;
    EXPECT_TRUE(instance->params->text_to_value(plugin, Veldane::kOsc2Waveform, "saw", &v));
    EXPECT_EQ(v, 2.0);
    EXPECT_TRUE(instance->params->text_to_value(plugin, Veldane::kFilterCutoff, "440 Hz", &v));
    EXPECT_EQ(v, 440.0);
    // Texting leaves the live values alone.
    EXPECT_EQ(instance->value(Veldane::kFilterCutoff), 22000.0);
}

// One remote-control page per panel section, in the sections' order, its
// knobs the section's parameters.
TEST_F(Clap, RemoteControlPagesAreThePanelSections) {
    ASSERT_NE(instance->remoteControls, nullptr);
    ASSERT_EQ(instance->remoteControls->count(plugin), static_cast<std::uint32_t>(Veldane::panelSectionCount));
    for (int k = 0; k < Veldane::panelSectionCount; ++k) {
        clap_remote_controls_page page{};
        ASSERT_TRUE(instance->remoteControls->get(plugin, static_cast<std::uint32_t>(k), &page));
        EXPECT_STREQ(page.section_name, Veldane::panelSections[k].name);
        EXPECT_STREQ(page.page_name, Veldane::panelSections[k].name);
        std::vector<clap_id> knobs(std::begin(page.param_ids), std::end(page.param_ids)), wanted;
        for (int id = 0; id < Veldane::kParamCount; ++id)
            if (Veldane::sectionOf(id) == k) wanted.push_back(static_cast<clap_id>(id));
        wanted.resize(CLAP_REMOTE_CONTROLS_COUNT, CLAP_INVALID_ID);
        EXPECT_EQ(knobs, wanted) << page.page_name;
        EXPECT_FALSE(page.is_for_preset);
    }
    clap_remote_controls_page page{};
    EXPECT_FALSE(instance->remoteControls->get(plugin, Veldane::panelSectionCount, &page));
    EXPECT_FALSE(instance->remoteControls->get(plugin, 0, nullptr));
}

// Every parameter's plain value, as a host reads it, once the patch's
// normalized values are set.
std::vector<double> plainValuesOf(const Veldane::Patch& patch) {
    Veldane::Parameters params;
    std::vector<double> values;
    for (int id = 0; id < Veldane::kParamCount; ++id) {
        params.set(id, patch.values[static_cast<std::size_t>(id)]);
        values.push_back(zem::plainRangeOf(*params.at(id)).current);
    }
    return values;
}

// The factory patches as a host's preset browser finds them, through the
// library's preset-discovery factory: names, categories as features, the
// plug-in's id, factory content. Each loads through preset-load, sets every
// parameter to the patch, tells the host (values rescanned, preset loaded),
// and a state saved then restores the patch in a new instance.
TEST_F(Clap, FactoryPresetsAsAHostsBrowserFindsThem) {
    std::vector<DiscoveredPreset> found;
    std::string error;
    ASSERT_TRUE(discoverPresets(library(), found, error)) << error;
    const std::vector<Veldane::Patch>& table = Veldane::factoryPatches();
    ASSERT_EQ(found.size(), table.size());
    ASSERT_NE(instance->presetLoad, nullptr);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const DiscoveredPreset& p = found[i];
        std::string category = table[i].category;
        for (char& c : category) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(p.name, table[i].name);
        EXPECT_EQ(p.features, (std::vector<std::string>{"instrument", category})) << p.name;
        EXPECT_EQ(p.pluginIds, std::vector<std::string>{"clap:com.orvandel.veldane"}) << p.name;
        EXPECT_EQ(p.flags, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT) << p.name;
        EXPECT_EQ(p.locationKind, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN);

        host.rescans.clear();
        ASSERT_TRUE(instance->loadPreset(p)) << p.name;
        EXPECT_EQ(instance->values(), plainValuesOf(table[i])) << p.name;
        EXPECT_EQ(host.rescans, std::vector<std::uint32_t>{CLAP_PARAM_RESCAN_VALUES}) << p.name;
        EXPECT_EQ(host.loaded.back(), p.loadKey);
    }
    OutStream saved;
    ASSERT_TRUE(instance->state->save(plugin, &saved.stream));
    Instance other(library(), host);
    InStream in(saved.bytes);
    ASSERT_TRUE(other.state->load(other.plugin, &in.stream));
    const std::vector<double> restored = other.values(), last = plainValuesOf(table.back());
    for (std::size_t i = 0; i < last.size(); ++i) EXPECT_NEAR(restored[i], last[i], 1e-3 * std::fabs(last[i]) + 1e-9);
}

// A location or key that is no preset of ours fails, changes nothing and is
// reported to the host; the provider describes no other location.
TEST_F(Clap, UnknownPresetLocationsFailCleanly) {
    const std::vector<double> before = instance->values();
    const char* key = Veldane::factoryPatches().front().name.c_str();
    const struct {
        std::uint32_t kind;
        const char* location;
        const char* key;
    } bad[] = {{CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "No Such Patch"},
               {CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, nullptr},
               {CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, "/tmp/presets", key},
               {CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/Round Sub.fxp", key},
               {7, nullptr, key}};
    for (const auto& b : bad) {
        EXPECT_FALSE(instance->presetLoad->from_location(plugin, b.kind, b.location, b.key)) << b.kind;
        EXPECT_EQ(instance->values(), before);
    }
    EXPECT_EQ(host.loadErrors.size(), std::size(bad));
    EXPECT_TRUE(host.rescans.empty() && host.loaded.empty());
    EXPECT_FALSE(instance->presetLoad->from_location(nullptr, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key));

    const auto* factory = static_cast<const clap_preset_discovery_factory*>(
        library().entry->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->get_descriptor(factory, 1), nullptr);
    clap_preset_discovery_indexer indexer{};
    indexer.clap_version = CLAP_VERSION;
    EXPECT_EQ(factory->create(factory, &indexer, "com.orvandel.other"), nullptr);
    EXPECT_EQ(factory->create(factory, nullptr, factory->get_descriptor(factory, 0)->id), nullptr);
    const clap_preset_discovery_provider* provider =
        factory->create(factory, &indexer, factory->get_descriptor(factory, 0)->id);
    ASSERT_NE(provider, nullptr);
    clap_preset_discovery_metadata_receiver receiver{};
    receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver*, const char*, const char*) {
        return true;
    };
    EXPECT_FALSE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp", &receiver));
    EXPECT_FALSE(provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, nullptr));
    EXPECT_FALSE(provider->init(provider)); // an indexer that cannot take a location
    provider->destroy(provider);
}

TEST_F(Clap, OneMonoOutputOneNoteInputNoLatency) {
    ASSERT_NE(instance->audioPorts, nullptr);
    EXPECT_EQ(instance->audioPorts->count(plugin, true), 0u);
    ASSERT_EQ(instance->audioPorts->count(plugin, false), 1u);
    clap_audio_port_info audio{};
    ASSERT_TRUE(instance->audioPorts->get(plugin, 0, false, &audio));
    EXPECT_EQ(audio.channel_count, 1u);
    EXPECT_STREQ(audio.port_type, CLAP_PORT_MONO);
    EXPECT_NE(audio.flags & CLAP_AUDIO_PORT_IS_MAIN, 0u);
    EXPECT_FALSE(instance->audioPorts->get(plugin, 1, false, &audio));
    EXPECT_FALSE(instance->audioPorts->get(plugin, 0, true, &audio));

    ASSERT_NE(instance->notePorts, nullptr);
    EXPECT_EQ(instance->notePorts->count(plugin, false), 0u);
    ASSERT_EQ(instance->notePorts->count(plugin, true), 1u);
    clap_note_port_info notes{};
    ASSERT_TRUE(instance->notePorts->get(plugin, 0, true, &notes));
    EXPECT_EQ(notes.supported_dialects, CLAP_NOTE_DIALECT_CLAP | CLAP_NOTE_DIALECT_MIDI);
    EXPECT_FALSE(instance->notePorts->get(plugin, 0, false, &notes));

    ASSERT_TRUE(instance->activate(kRate, kBlock));
    ASSERT_NE(instance->latency, nullptr);
    EXPECT_EQ(instance->latency->get(plugin), 0u);
}

// A parameter event inside a block sounds from its own sample: the level
// comes up from silence exactly there.
TEST_F(Clap, ParameterEventsSoundFromTheirSample) {
    EventList events;
    events.param(0, Veldane::kMasterVolume, -36.0); // the bottom: silence
    events.note(0, CLAP_EVENT_NOTE_ON, 57, 0.8);
    events.param(300, Veldane::kMasterVolume, 0.0);
    const std::vector<float> out = render(kBlock, events);
    EXPECT_EQ(measure::rms(out, 0, 300), 0.0);
    EXPECT_NE(out[300], 0.0f);
    EXPECT_GT(measure::rms(out, 300), 0.01);
    EXPECT_EQ(instance->value(Veldane::kMasterVolume), 0.0);
}

// What a host saves it loads back, through streams that move a byte at a
// time; a record that is cut short, foreign, of a newer version, damaged, or
// a stream that fails or never ends, is refused and changes nothing.
TEST_F(Clap, StateRoundTripsAndRefusesWhatIsNotWhole) {
    ASSERT_NE(instance->state, nullptr);
    EventList changes;
    changes.param(0, Veldane::kFilterCutoff, 1234.5);
    changes.param(0, Veldane::kVoiceMode, 1.0);
    changes.param(0, Veldane::kMasterTune, -5.0);
    instance->params->flush(plugin, &changes.list, nullptr);
    const std::vector<double> saved = instance->values();
    OutStream out(1);
    ASSERT_TRUE(instance->state->save(plugin, &out.stream));

    Instance other(library(), host);
    const std::vector<double> defaults = other.values();
    std::vector<std::vector<std::uint8_t>> bad;
    for (std::size_t n = 0; n < out.bytes.size(); n += 7) bad.emplace_back(out.bytes.begin(), out.bytes.begin() + n);
    for (std::size_t at : {std::size_t{0}, std::size_t{4}, std::size_t{8}}) { // magic, version, count
        bad.push_back(out.bytes);
        bad.back()[at] ^= 0x40;
    }
    bad.push_back(out.bytes);
    std::memset(bad.back().data() + bad.back().size() - 4, 0xFF, 4); // a NaN value
    bad.push_back(out.bytes);
    bad.back().push_back(0); // a byte past the last value
    bad.emplace_back(std::size_t{2} << 20, std::uint8_t{0});
    for (const auto& bytes : bad) {
        InStream in(bytes, 3);
        EXPECT_FALSE(other.state->load(other.plugin, &in.stream)) << bytes.size();
    }
    InStream failing(out.bytes, SIZE_MAX, out.bytes.size() / 2);
    EXPECT_FALSE(other.state->load(other.plugin, &failing.stream));
    EXPECT_EQ(other.values(), defaults);

    InStream in(out.bytes, 1);
    ASSERT_TRUE(other.state->load(other.plugin, &in.stream));
    const std::vector<double> loaded = other.values();
    ASSERT_EQ(loaded.size(), saved.size());
    // The record keeps each value as VST 2.4 hosts do, normalized in single
    // precision: real values come back within that rounding, steps exactly.
    for (std::size_t i = 0; i < saved.size(); ++i) {
        const zem::PlainRange range = zem::plainRangeOf(*table.at(static_cast<int>(i)));
        EXPECT_NEAR(loaded[i], saved[i], 1e-6 * (range.max - range.min)) << table.at(static_cast<int>(i))->name;
    }

    OutStream broken(SIZE_MAX, 0);
    EXPECT_FALSE(instance->state->save(plugin, &broken.stream));
    EXPECT_FALSE(instance->state->save(plugin, nullptr));
    EXPECT_FALSE(instance->state->load(plugin, nullptr));
}

// The editor's size follows the host's scale and, above it, the zoom the
// user picked, which the state keeps; a state without one (of an older
// version) leaves the zoom as it was.
TEST_F(Clap, TheEditorsSizeFollowsTheHostsScaleAndTheZoomTheStateKeeps) {
    ASSERT_NE(instance->gui, nullptr);
    auto size = [this] {
        std::uint32_t w = 0, h = 0;
        EXPECT_TRUE(instance->gui->get_size(plugin, &w, &h));
        return std::make_pair(w, h);
    };
    EXPECT_TRUE(instance->gui->set_scale(plugin, 1.0)); // whatever screen the test runs on
    EXPECT_EQ(size(), std::make_pair(702u, 366u));
    EXPECT_TRUE(instance->gui->set_scale(plugin, 2.0));
    EXPECT_EQ(size(), std::make_pair(1404u, 732u));
    EXPECT_TRUE(instance->gui->set_scale(plugin, 1.75));
    EXPECT_EQ(size(), std::make_pair(1053u, 549u)) << "the largest size not above the host's";
    EXPECT_FALSE(instance->gui->set_scale(plugin, kNaN));
    EXPECT_FALSE(instance->gui->can_resize(plugin));
    EXPECT_TRUE(instance->gui->set_size(plugin, 1053, 549));
    EXPECT_FALSE(instance->gui->set_size(plugin, 702, 366));

    OutStream plain;
    ASSERT_TRUE(instance->state->save(plugin, &plain.stream));
    Veldane::InstanceSettings zoomed;
    zoomed.panelZoom = 200;
    const std::vector<std::uint8_t> withZoom = Veldane::saveState(table, zoomed);
    EXPECT_EQ(withZoom.size(), plain.bytes.size() + 8) << "the zoom is written only when there is one";
    InStream in(withZoom);
    ASSERT_TRUE(instance->state->load(plugin, &in.stream));
    EXPECT_EQ(size(), std::make_pair(1404u, 732u)) << "the user's zoom outranks the host's scale";
    OutStream again;
    ASSERT_TRUE(instance->state->save(plugin, &again.stream));
    EXPECT_EQ(again.bytes, withZoom);
    InStream older(plain.bytes);
    ASSERT_TRUE(instance->state->load(plugin, &older.stream));
    EXPECT_EQ(size(), std::make_pair(1404u, 732u));
}

// Calls no host should make: null pointers, bad ids, calls in the wrong
// state. Each gets the safe answer and changes nothing.
TEST_F(Clap, HostileCallsGetSafeAnswers) {
    const clap_plugin_params& params = *instance->params;
    EXPECT_FALSE(plugin->init(nullptr));
    EXPECT_FALSE(plugin->activate(nullptr, kRate, 1, kBlock));
    EXPECT_FALSE(plugin->start_processing(nullptr));
    plugin->stop_processing(nullptr);
    plugin->deactivate(nullptr);
    plugin->reset(nullptr);
    plugin->destroy(nullptr);
    EXPECT_EQ(plugin->process(nullptr, nullptr), CLAP_PROCESS_ERROR);
    EXPECT_EQ(plugin->get_extension(nullptr, CLAP_EXT_PARAMS), nullptr);
    EXPECT_EQ(plugin->get_extension(plugin, nullptr), nullptr);
    EXPECT_EQ(plugin->get_extension(plugin, "clap.no-such-extension"), nullptr);
    EXPECT_EQ(params.count(nullptr), 0u);
    EXPECT_FALSE(instance->state->save(nullptr, nullptr));

    clap_param_info info{};
    double v = 0.0;
    char text[16] = "marker";
    for (std::uint32_t id : {39u, 1000u, UINT32_MAX}) {
        EXPECT_FALSE(params.get_info(plugin, id, &info));
        EXPECT_FALSE(params.get_value(plugin, id, &v));
        EXPECT_FALSE(params.value_to_text(plugin, id, 0.0, text, sizeof text));
        EXPECT_FALSE(params.text_to_value(plugin, id, "1", &v));
    }
    EXPECT_FALSE(params.get_info(plugin, 0, nullptr));
    EXPECT_FALSE(params.get_value(plugin, 0, nullptr));
    EXPECT_FALSE(params.value_to_text(plugin, 0, 0.0, nullptr, 16));
    EXPECT_FALSE(params.value_to_text(plugin, 0, 0.0, text, 0));
    EXPECT_FALSE(params.value_to_text(plugin, Veldane::kFilterCutoff, kNaN, text, sizeof text));
    EXPECT_STREQ(text, "marker");
    EXPECT_TRUE(params.value_to_text(plugin, Veldane::kFilterCutoff, 1e300, text, 4));
    EXPECT_STREQ(text, "220"); // 22000.0 Hz, cut to the buffer
    EXPECT_FALSE(params.text_to_value(plugin, 0, nullptr, &v));
    EXPECT_FALSE(params.text_to_value(plugin, 0, "Sawtooth of doom", &v));
    EXPECT_FALSE(params.text_to_value(plugin, Veldane::kFilterCutoff, "1e9 Hz", &v));
    params.flush(plugin, nullptr, nullptr);

    // Before activation nothing is processed, and the buffer is left alone.
    EventList none;
    std::vector<float> out(64, 7.0f);
    EXPECT_FALSE(plugin->start_processing(plugin));
    EXPECT_EQ(instance->process(64, none, out.data()), CLAP_PROCESS_ERROR);
    EXPECT_EQ(out, std::vector<float>(64, 7.0f));

    for (double rate : {0.0, -44100.0, kNaN, HUGE_VAL})
        EXPECT_FALSE(plugin->activate(plugin, rate, 1, kBlock)) << rate;
    EXPECT_FALSE(plugin->activate(plugin, kRate, 64, 32));
    EXPECT_FALSE(plugin->activate(plugin, kRate, 0, 0));
    ASSERT_TRUE(plugin->activate(plugin, kRate, 1, UINT32_MAX)); // a huge block size is fine
    instance->active = true;
    EXPECT_FALSE(plugin->activate(plugin, 48000.0, 1, kBlock)); // already active
    EXPECT_TRUE(plugin->init(plugin)); // a second init finds it ready

    clap_process p{};
    p.frames_count = 64;
    EXPECT_EQ(plugin->process(plugin, &p), CLAP_PROCESS_ERROR); // no output, no events
    p.frames_count = 0;
    EXPECT_EQ(plugin->process(plugin, &p), CLAP_PROCESS_CONTINUE);
    p.frames_count = 0x80000000u;
    EXPECT_EQ(plugin->process(plugin, &p), CLAP_PROCESS_ERROR);
    for (const auto& [name, value] : {std::pair{"Filter Cutoff", 22000.0}, std::pair{"Voice Mode", 0.0}}) {
        clap_id id = 0;
        ASSERT_TRUE(instance->idOf(name, id));
        EXPECT_EQ(instance->value(id), value);
    }
}

// Events a host should not send: past the block, out of order, cut short,
// of another space, keys out of range, a NaN velocity or value, unknown ids.
// Nothing crashes, every sample is finite, and the late note-off and the
// release of every key (key -1) still end the notes.
TEST_F(Clap, OddEventsAndBlocks) {
    EventList events;
    events.note(100, CLAP_EVENT_NOTE_ON, 57, 0.8);
    events.note(10, CLAP_EVENT_NOTE_ON, 64, kNaN);
    events.note(20, CLAP_EVENT_NOTE_ON, 200, 0.5);
    events.note(30, CLAP_EVENT_NOTE_ON, -3, 0.5);
    events.param(40, 999, 1.0);
    events.param(50, Veldane::kFilterCutoff, kNaN);
    clap_event_note cut{};
    cut.header = {sizeof(clap_event_header) + 4, 60, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_ON, 0};
    cut.key = 60;
    events.raw(&cut, sizeof cut);
    clap_event_note foreign = cut;
    foreign.header.size = sizeof foreign;
    foreign.header.space_id = 77;
    events.raw(&foreign, sizeof foreign);
    events.note(100000, CLAP_EVENT_NOTE_OFF, 64, 0.0);
    std::vector<float> out = render(kBlock, events);
    for (float s : out) ASSERT_TRUE(std::isfinite(s));
    EXPECT_GT(measure::rms(out), 0.01);
    EXPECT_EQ(instance->value(Veldane::kFilterCutoff), 22000.0);

    events.clear();
    events.note(0, CLAP_EVENT_NOTE_OFF, -1, 0.0);
    render(kBlock, events);
    events.clear();
    std::vector<float> tail;
    for (int i = 0; i < 20; ++i) tail = render(kBlock, events);
    EXPECT_LT(measure::rms(tail), 1e-6);
}

// A3 in a fresh instance at `rate`: the note-on in a block of one sample,
// then a block of `frames`, which the answer holds.
template <class Sample>
std::vector<Sample> playA3(Host& host, double rate, std::uint32_t frames) {
    Instance at(library(), host);
    EXPECT_TRUE(at.activate(rate, frames)) << rate;
    EventList events;
    events.note(0, CLAP_EVENT_NOTE_ON, 57, 0.8);
    std::vector<Sample> out(frames);
    EXPECT_EQ(at.process(1, events, out.data()), CLAP_PROCESS_CONTINUE);
    events.clear();
    EXPECT_EQ(at.process(frames, events, out.data()), CLAP_PROCESS_CONTINUE);
    return out;
}

// Any finite rate above 0 plays: A3 at 220 Hz wherever the rate allows it,
// in blocks from one sample to 64k, single and double precision; at rates no
// host uses, every sample stays finite and moderate.
TEST_F(Clap, OddRatesAndBlockSizes) {
    for (double rate : {8000.0, 11025.0, 44100.0, 96000.0, 192000.0}) {
        std::vector<double> out = playA3<double>(host, rate, 65536);
        out.resize(static_cast<std::size_t>(rate / 4));
        EXPECT_NEAR(measure::cyclesPerSample(out, out.size() / 4) * rate, 220.0, 0.5) << rate;
    }
    for (double rate : {1.0, 3.5, 1e7}) {
        for (float s : playA3<float>(host, rate, 4096)) ASSERT_TRUE(std::isfinite(s) && std::fabs(s) < 4.0f) << rate;
    }
}

} // namespace
