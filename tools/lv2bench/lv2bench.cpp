// lv2bench: our LV2 benchmark host (lilv), the LV2 twin of `testhost bench`
// for comparing LV2 instruments, ours and others, on the same passages.
//
// Usage:
//   lv2bench URI SCRIPT [--seconds S] [--instances N] [--rate R] [--block N]
//       Instantiates the plug-in with that URI (from the LV2 path: LV2_PATH,
//       or the system's folders) and plays SCRIPT through it over and over,
//       in blocks, timed as `testhost bench` times (the fastest of rounds of
//       half a second of this thread's CPU time; tools/testhost/bench_rounds.h),
//       and prints the real-time factor and the cycles a second of audio
//       cost. With N instances (1..64), each plays the script, block by
//       block side by side.
//
// SCRIPT is a test-host script (tools/testhost/script.h): its notes, pedal,
// bends and controllers go to the plug-in's MIDI input at their frames; a
// `param "SYMBOL" VALUE` line sets the control input of that symbol (or of
// that port index) to VALUE in the port's own units, before the block it
// falls in. The host offers the URID map and unmap, the options of the
// rate and block lengths, and a worker that runs its work at once, on the
// calling thread: a plug-in that needs anything else is refused.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/testhost/bench_rounds.h"
#include "tools/testhost/script.h"

namespace {

using testhost::Command;
using testhost::Script;

constexpr double kDefaultRate = 44100.0;
constexpr int kDefaultBlock = 512;
constexpr double kDefaultSeconds = 3.0;
constexpr int kMaxInstances = 64;
// Bytes of an atom port's buffer: thousands of MIDI events per block.
constexpr std::size_t kAtomBufferBytes = 65536;

// --- What the host offers every plug-in ------------------------------------------

class UridMap {
public:
    LV2_URID map(const char* uri)
    {
        for (std::size_t i = 0; i < uris_.size(); ++i)
            if (uris_[i] == uri)
                return static_cast<LV2_URID>(i + 1);
        uris_.emplace_back(uri);
        return static_cast<LV2_URID>(uris_.size());
    }
    const char* unmap(LV2_URID urid) const
    {
        return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
    }

    LV2_URID_Map mapFeature{this,
                            [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*>(h)->map(uri); }};
    LV2_URID_Unmap unmapFeature{
        this, [](LV2_URID_Unmap_Handle h, LV2_URID urid) { return static_cast<UridMap*>(h)->unmap(urid); }};

private:
    std::vector<std::string> uris_;
};

// One instance with its buffers, its worker and its MIDI input.
class Instance {
public:
    Instance(LilvWorld* world, const LilvPlugin* plugin, UridMap& urids, double rate, int block, std::string& error)
        : world_(world), block_(block), rate_(static_cast<float>(rate))
    {
        midiEvent_ = urids.map(LV2_MIDI__MidiEvent);
        sequence_ = urids.map(LV2_ATOM__Sequence);
        chunk_ = urids.map(LV2_ATOM__Chunk);
        const LV2_URID intType = urids.map(LV2_ATOM__Int), floatType = urids.map(LV2_ATOM__Float);
        options_ = {
            {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__minBlockLength), sizeof(int), intType, &one_},
            {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__maxBlockLength), sizeof(int), intType, &block_},
            {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int), intType, &block_},
            {LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_PARAMETERS__sampleRate), sizeof(float), floatType, &rate_},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
        };
        schedule_ = {this, &Instance::scheduleWork};
        const LV2_Feature map{LV2_URID__map, &urids.mapFeature}, unmap{LV2_URID__unmap, &urids.unmapFeature},
            options{LV2_OPTIONS__options, options_.data()}, worker{LV2_WORKER__schedule, &schedule_},
            bounded{LV2_BUF_SIZE__boundedBlockLength, nullptr};
        const LV2_Feature* features[] = {&map, &unmap, &options, &worker, &bounded, nullptr};
        instance_ = lilv_plugin_instantiate(plugin, rate, features);
        if (!instance_) {
            error = "the plug-in did not instantiate (a feature we do not offer?)";
            return;
        }
        worker_ = static_cast<const LV2_Worker_Interface*>(
            lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
        connectPorts(plugin, error);
    }
    ~Instance()
    {
        if (instance_)
            lilv_instance_free(instance_);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return instance_ != nullptr && audioOut_ >= 0; }
    void activate() { lilv_instance_activate(instance_); }
    void deactivate() { lilv_instance_deactivate(instance_); }
    // The control input of that symbol, or -1.
    int controlPort(const LilvPlugin* plugin, const std::string& symbol) const
    {
        LilvNode* node = lilv_new_string(world_, symbol.c_str());
        const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, node);
        lilv_node_free(node);
        if (!port)
            return -1;
        const auto index = static_cast<int>(lilv_port_get_index(plugin, port));
        return isControlIn_[static_cast<std::size_t>(index)] ? index : -1;
    }
    bool isControlInput(int index) const
    {
        return index >= 0 && index < static_cast<int>(isControlIn_.size()) &&
               isControlIn_[static_cast<std::size_t>(index)];
    }
    void setControl(int index, float value) { controls_[static_cast<std::size_t>(index)] = value; }

    // Starts the block's MIDI input empty.
    void clearMidi()
    {
        for (std::vector<std::uint64_t>& buffer : midiIn_) {
            auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(buffer.data());
            lv2_atom_sequence_clear(seq);
            seq->atom.type = sequence_;
        }
    }
    void addMidi(long long frame, const unsigned char* bytes)
    {
        struct {
            LV2_Atom_Event event;
            unsigned char data[4];
        } e{};
        e.event.time.frames = frame;
        e.event.body.size = 3;
        e.event.body.type = midiEvent_;
        std::memcpy(e.data, bytes, 3);
        for (std::vector<std::uint64_t>& buffer : midiIn_)
            lv2_atom_sequence_append_event(reinterpret_cast<LV2_Atom_Sequence*>(buffer.data()), kAtomBufferBytes,
                                           &e.event);
    }
    // Runs one block and appends the first audio output's frames to `output`.
    void run(int frames, std::vector<float>& output)
    {
        for (std::vector<std::uint64_t>& buffer : atomOut_) {
            auto* atom = reinterpret_cast<LV2_Atom*>(buffer.data());
            atom->size = static_cast<std::uint32_t>(kAtomBufferBytes - sizeof(LV2_Atom));
            atom->type = chunk_;
        }
        lilv_instance_run(instance_, static_cast<std::uint32_t>(frames));
        if (worker_) {
            // Answers of work done at once during the run go back after it.
            for (const std::vector<unsigned char>& response : responses_)
                worker_->work_response(lilv_instance_get_handle(instance_), static_cast<std::uint32_t>(response.size()),
                                       response.data());
            responses_.clear();
            if (worker_->end_run)
                worker_->end_run(lilv_instance_get_handle(instance_));
        }
        const std::vector<float>& out = audio_[static_cast<std::size_t>(audioOut_)];
        output.insert(output.end(), out.begin(), out.begin() + frames);
    }

private:
    void connectPorts(const LilvPlugin* plugin, std::string& error)
    {
        const std::uint32_t count = lilv_plugin_get_num_ports(plugin);
        controls_.assign(count, 0.0f);
        isControlIn_.assign(count, false);
        audio_.resize(count);
        std::vector<float> mins(count), maxes(count), defaults(count);
        lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxes.data(), defaults.data());
        for (std::uint32_t i = 0; i < count; ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
            const bool input = portIs(plugin, port, LV2_CORE__InputPort);
            void* buffer = nullptr;
            if (portIs(plugin, port, LV2_CORE__AudioPort) || portIs(plugin, port, LV2_CORE__CVPort)) {
                audio_[i].assign(static_cast<std::size_t>(block_), 0.0f);
                buffer = audio_[i].data();
                if (!input && audioOut_ < 0 && portIs(plugin, port, LV2_CORE__AudioPort))
                    audioOut_ = static_cast<int>(i);
            } else if (portIs(plugin, port, LV2_CORE__ControlPort)) {
                isControlIn_[i] = input;
                controls_[i] = std::isnan(defaults[i]) ? (std::isnan(mins[i]) ? 0.0f : mins[i]) : defaults[i];
                buffer = &controls_[i];
            } else if (portIs(plugin, port, LV2_ATOM__AtomPort)) {
                std::vector<std::vector<std::uint64_t>>& list = input ? midiIn_ : atomOut_;
                list.emplace_back(kAtomBufferBytes / sizeof(std::uint64_t), 0);
                buffer = list.back().data();
            } else if (!portHas(plugin, port, LV2_CORE__connectionOptional)) {
                error = "port " + std::to_string(i) + " is of a kind this host does not know";
            }
            lilv_instance_connect_port(instance_, i, buffer);
        }
        if (audioOut_ < 0 && error.empty())
            error = "the plug-in has no audio output";
        clearMidi();
    }
    bool portIs(const LilvPlugin* plugin, const LilvPort* port, const char* uri) const
    {
        LilvNode* node = lilv_new_uri(world_, uri);
        const bool is = lilv_port_is_a(plugin, port, node);
        lilv_node_free(node);
        return is;
    }
    bool portHas(const LilvPlugin* plugin, const LilvPort* port, const char* property) const
    {
        LilvNode* node = lilv_new_uri(world_, property);
        const bool has = lilv_port_has_property(plugin, port, node);
        lilv_node_free(node);
        return has;
    }

    static LV2_Worker_Status scheduleWork(LV2_Worker_Schedule_Handle handle, std::uint32_t size, const void* data)
    {
        auto* self = static_cast<Instance*>(handle);
        if (!self->worker_)
            return LV2_WORKER_ERR_UNKNOWN;
        return self->worker_->work(lilv_instance_get_handle(self->instance_), &Instance::respond, self, size, data);
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, std::uint32_t size, const void* data)
    {
        auto* self = static_cast<Instance*>(handle);
        const auto* bytes = static_cast<const unsigned char*>(data);
        self->responses_.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }

    LilvWorld* world_;
    int block_;
    int one_ = 1;
    float rate_;
    LV2_URID midiEvent_ = 0, sequence_ = 0, chunk_ = 0;
    std::vector<LV2_Options_Option> options_;
    LV2_Worker_Schedule schedule_{};
    LilvInstance* instance_ = nullptr;
    const LV2_Worker_Interface* worker_ = nullptr;
    std::vector<std::vector<unsigned char>> responses_;
    std::vector<float> controls_;
    std::vector<bool> isControlIn_;
    std::vector<std::vector<float>> audio_;
    std::vector<std::vector<std::uint64_t>> midiIn_, atomOut_; // 8-byte aligned, as atoms must be
    int audioOut_ = -1;
};

// Plays the script through one instance a block at a time.
class Player {
public:
    Player(Instance& instance, const Script& script, double rate, int block)
        : instance_(instance), script_(script), block_(block), total_(script.length(rate))
    {
        instance.activate();
    }
    ~Player() { instance_.deactivate(); }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool next(std::vector<float>& output)
    {
        if (start_ >= total_)
            return false;
        const long long end = std::min<long long>(start_ + block_, total_);
        instance_.clearMidi();
        for (; next_ < script_.commands.size() && script_.commands[next_].frame < end; ++next_) {
            const Command& c = script_.commands[next_];
            if (c.isParameter)
                instance_.setControl(c.index, c.value);
            else
                instance_.addMidi(std::max<long long>(0, c.frame - start_), c.midi);
        }
        instance_.run(static_cast<int>(end - start_), output);
        start_ = end;
        return true;
    }

private:
    Instance& instance_;
    const Script& script_;
    int block_;
    long long total_;
    long long start_ = 0;
    std::size_t next_ = 0;
};

int usage()
{
    std::fprintf(stderr, "usage: lv2bench URI SCRIPT [--seconds S] [--instances N] [--rate R] [--block N]\n");
    return 64;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const char* uri = argv[1];
    const char* scriptPath = argv[2];
    double rate = kDefaultRate, seconds = kDefaultSeconds;
    int block = kDefaultBlock, instances = 1;
    for (int i = 3; i < argc; ++i) {
        if (i + 1 >= argc)
            return usage();
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--instances") == 0)
            instances = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--rate") == 0)
            rate = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--block") == 0)
            block = std::atoi(argv[++i]);
        else
            return usage();
    }
    if (!(rate >= 1000.0 && rate <= 768000.0) || block < 1 || block > 65536 || instances < 1 ||
        instances > kMaxInstances || !(seconds >= 0.0 && seconds <= 3600.0)) {
        std::fprintf(stderr, "rate must be 1000..768000 Hz, block 1..65536, instances 1..%d, seconds 0..3600\n",
                     kMaxInstances);
        return 64;
    }
    Script script;
    std::string error;
    if (!testhost::readScript(scriptPath, rate, script, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uriNode = lilv_new_uri(world, uri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uriNode);
    lilv_node_free(uriNode);
    if (!plugin) {
        std::fprintf(stderr, "no LV2 plug-in %s on the LV2 path\n", uri);
        return 1;
    }

    UridMap urids;
    std::vector<std::unique_ptr<Instance>> list;
    for (int i = 0; i < instances; ++i) {
        list.emplace_back(new Instance(world, plugin, urids, rate, block, error));
        if (!list.back()->ok() || !error.empty()) {
            std::fprintf(stderr, "%s: %s\n", uri, error.c_str());
            return 1;
        }
    }
    // Parameters by symbol or index, resolved once.
    for (Command& c : script.commands) {
        if (!c.isParameter)
            continue;
        if (!c.name.empty())
            c.index = list[0]->controlPort(plugin, c.name);
        if (!list[0]->isControlInput(c.index)) {
            std::fprintf(stderr, "%s has no control input %s\n", uri,
                         c.name.empty() ? std::to_string(c.index).c_str() : c.name.c_str());
            return 1;
        }
    }

    int nonFinite = 0;
    std::vector<std::vector<float>> outputs(list.size());
    const testhost::BenchResult result = testhost::benchRounds(seconds, [&] {
        std::vector<std::unique_ptr<Player>> players;
        for (std::size_t i = 0; i < list.size(); ++i) {
            outputs[i].clear();
            players.emplace_back(new Player(*list[i], script, rate, block));
        }
        for (bool more = true; more;) {
            for (std::size_t i = 0; i < players.size(); ++i)
                more = players[i]->next(outputs[i]);
        }
        double audio = 0.0;
        for (const std::vector<float>& out : outputs) {
            for (float s : out)
                nonFinite += std::isfinite(s) ? 0 : 1;
            audio += double(out.size()) / rate;
        }
        return audio;
    });
    list.clear();
    lilv_world_free(world);
    std::printf("played %s through %s %d times in %d rounds, %d instance%s: %.1f s of audio (blocks of %d at %g Hz) "
                "in %.2f s of CPU time, %.2f s of wall time\n",
                scriptPath, uri, result.plays, result.rounds, instances, instances == 1 ? "" : "s", result.audioSeconds,
                block, rate, result.cpuSeconds, result.wallSeconds);
    return testhost::printBenchFigures(result, nonFinite);
}
