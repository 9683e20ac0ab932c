#include "tools/testhost/script.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tools/testhost/audio_call.h"

namespace testhost {

namespace {

// Scripts describe at most an hour: longer times are typing errors.
constexpr double kLongestScriptSeconds = 3600.0;
// Room for a parameter name: the interface promises 8 characters, hosts give
// more, and a plug-in that writes more must not overflow ours.
constexpr int kNameBuffer = 256;

bool fail(std::string& error, int line, const std::string& what) {
    error = "script line " + std::to_string(line) + ": " + what;
    return false;
}

} // namespace

long long Script::length(double rate) const {
    if (endFrame >= 0) return endFrame;
    return (commands.empty() ? 0 : commands.back().frame) + std::llround(rate);
}

bool parseScript(std::istream& in, double rate, Script& script, std::string& error) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        double seconds;
        std::string verb;
        if (!(words >> seconds)) {
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            return fail(error, number, "expected a time in seconds");
        }
        if (!(words >> verb)) return fail(error, number, "expected a command");
        if (!(seconds >= 0.0) || seconds > kLongestScriptSeconds) return fail(error, number, "time must be 0..3600 s");
        Command c{};
        c.frame = std::llround(seconds * rate);
        std::vector<long> args;
        std::string word;
        while (words >> word) {
            if (word == "down") word = "127";
            if (word == "up") word = "0";
            char* rest = nullptr;
            if (verb == "param" && args.empty() && word[0] == '"') {
                // A quoted name, which may hold spaces: read up to the closing quote.
                std::string name = word.substr(1);
                while (name.empty() || name.back() != '"') {
                    std::string more;
                    if (!(words >> more)) return fail(error, number, "unterminated parameter name");
                    name += ' ' + more;
                }
                name.pop_back();
                c.name = name;
                c.index = -1;
                args.push_back(-1);
                continue;
            }
            if (verb == "param" && args.size() == 1) {
                c.value = std::strtof(word.c_str(), &rest);
                if (*rest) return fail(error, number, "bad value " + word);
                args.push_back(0);
                continue;
            }
            args.push_back(std::strtol(word.c_str(), &rest, 10));
            if (*rest) return fail(error, number, "bad number " + word);
        }
        auto arg = [&](std::size_t i, long fallback) { return i < args.size() ? args[i] : fallback; };
        auto channelBits = [&](std::size_t i) { return static_cast<unsigned char>((arg(i, 1) - 1) & 0x0F); };
        auto dataByte = [&](long v) { return static_cast<unsigned char>(std::clamp(v, 0L, 127L)); };
        if (verb == "end") {
            script.endFrame = c.frame;
            continue;
        } else if (verb == "on" || verb == "off") {
            if (args.empty()) return fail(error, number, "expected a note number");
            c.midi[0] = static_cast<unsigned char>((verb == "on" ? 0x90 : 0x80) | channelBits(2));
            c.midi[1] = dataByte(args[0]);
            c.midi[2] = dataByte(arg(1, verb == "on" ? 100 : 0));
        } else if (verb == "pedal" || verb == "cc") {
            const bool pedal = verb == "pedal";
            if (args.size() < (pedal ? 1u : 2u)) return fail(error, number, "missing arguments");
            c.midi[0] = static_cast<unsigned char>(0xB0 | channelBits(pedal ? 1 : 2));
            c.midi[1] = dataByte(pedal ? 64 : args[0]);
            c.midi[2] = dataByte(pedal ? args[0] : args[1]);
        } else if (verb == "bend") {
            if (args.empty()) return fail(error, number, "expected a bend value");
            const long v = std::clamp(args[0], -8192L, 8191L) + 8192;
            c.midi[0] = static_cast<unsigned char>(0xE0 | channelBits(1));
            c.midi[1] = static_cast<unsigned char>(v & 0x7F);
            c.midi[2] = static_cast<unsigned char>(v >> 7);
        } else if (verb == "param") {
            if (args.size() < 2) return fail(error, number, "expected an index and a value");
            c.isParameter = true;
            if (c.name.empty()) c.index = static_cast<int>(args[0]);
        } else {
            return fail(error, number, "unknown command " + verb);
        }
        script.commands.push_back(c);
    }
    std::stable_sort(script.commands.begin(), script.commands.end(),
                     [](const Command& a, const Command& b) { return a.frame < b.frame; });
    return true;
}

bool readScript(const char* path, double rate, Script& script, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = std::string("cannot read ") + path;
        return false;
    }
    return parseScript(in, rate, script, error);
}

bool resolveNames(AEffect* e, Script& script, std::string& error) {
    std::vector<std::string> names;
    for (VstInt32 i = 0; i < e->numParams; ++i) {
        char text[kNameBuffer] = {};
        e->dispatcher(e, effGetParamName, i, 0, text, 0.0f);
        text[kNameBuffer - 1] = '\0';
        names.emplace_back(text);
    }
    for (Command& c : script.commands) {
        if (!c.isParameter || c.name.empty()) continue;
        const auto found = std::find(names.begin(), names.end(), c.name);
        if (found == names.end()) {
            error = "the plug-in has no parameter \"" + c.name + "\"";
            return false;
        }
        c.index = static_cast<int>(found - names.begin());
    }
    return true;
}

bool canPlay(AEffect* e, bool useDouble, std::string& error) {
    if (useDouble ? !e->processDoubleReplacing : !e->processReplacing) {
        error = useDouble ? "the plug-in has no processDoubleReplacing" : "the plug-in has no processReplacing";
        return false;
    }
    if (e->numInputs < 0 || e->numInputs > kMaxChannels || e->numOutputs < 0 || e->numOutputs > kMaxChannels) {
        error = "the plug-in declares " + std::to_string(e->numInputs) + " inputs and " +
                std::to_string(e->numOutputs) + " outputs; 0.." + std::to_string(kMaxChannels) + " are playable";
        return false;
    }
    return true;
}

namespace {

// One block's buffers for every channel of one sample type, and the pointer
// arrays the processing call takes.
template <typename Sample>
struct ChannelBuffers {
    std::vector<std::vector<Sample>> inputs, outputs;
    std::vector<Sample*> inputPointers, outputPointers;

    ChannelBuffers(int inputCount, int outputCount, int block) {
        const std::size_t frames = static_cast<std::size_t>(block);
        inputs.assign(static_cast<std::size_t>(inputCount), std::vector<Sample>(frames, Sample(0)));
        outputs.assign(static_cast<std::size_t>(std::max(outputCount, 1)), std::vector<Sample>(frames, Sample(0)));
        for (auto& b : inputs) inputPointers.push_back(b.data());
        for (auto& b : outputs) outputPointers.push_back(b.data());
    }
    // A plug-in may write its inputs (they are its to use in place); each
    // block's inputs start silent again.
    Sample** silentInputs() {
        for (auto& b : inputs) std::fill(b.begin(), b.end(), Sample(0));
        return inputPointers.empty() ? nullptr : inputPointers.data();
    }
};

} // namespace

struct ScriptPlayer::Buffers {
    ChannelBuffers<float> floats;
    ChannelBuffers<double> doubles;
    std::vector<VstMidiEvent> midi;
    std::vector<unsigned char> eventsStorage;
};

ScriptPlayer::ScriptPlayer(AEffect* e, const Script& script, double rate, int block, bool useDouble,
                           bool cutAtParameters)
    : e_(e), script_(script), block_(block), useDouble_(useDouble), cutAtParameters_(cutAtParameters),
      total_(script.length(rate)) {
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    e->dispatcher(e, effSetBlockSize, 0, block, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    const int inputCount = std::clamp(static_cast<int>(e->numInputs), 0, kMaxChannels);
    const int outputCount = std::clamp(static_cast<int>(e->numOutputs), 0, kMaxChannels);
    buffers_.reset(new Buffers{{useDouble ? 0 : inputCount, useDouble ? 0 : outputCount, block},
                               {useDouble ? inputCount : 0, useDouble ? outputCount : 0, block}, {}, {}});
}

ScriptPlayer::~ScriptPlayer() { e_->dispatcher(e_, effMainsChanged, 0, 0, nullptr, 0.0f); }

bool ScriptPlayer::next(std::vector<float>& output) {
    if (start_ >= total_) return false;
    AEffect* e = e_;
    Buffers& b = *buffers_;
    // The block's end: the next block boundary, or when cutting, the next
    // parameter change after the block's first sample.
    long long end = std::min<long long>((start_ / block_ + 1) * block_, total_);
    for (std::size_t i = next_; cutAtParameters_ && i < script_.commands.size() && script_.commands[i].frame < end; ++i)
        if (script_.commands[i].isParameter && script_.commands[i].frame > start_) end = script_.commands[i].frame;
    const long long first = start_;
    const int frames = static_cast<int>(end - start_);
    start_ = end;
    b.midi.clear();
    for (; next_ < script_.commands.size() && script_.commands[next_].frame < end; ++next_) {
        const Command& c = script_.commands[next_];
        if (c.isParameter) {
            if (c.index >= 0) e->setParameter(e, c.index, c.value);
            continue;
        }
        VstMidiEvent m{};
        m.type = kVstMidiType;
        m.byteSize = sizeof(VstMidiEvent);
        m.deltaFrames = static_cast<VstInt32>(std::max<long long>(0, c.frame - first));
        std::memcpy(m.midiData, c.midi, 3);
        b.midi.push_back(m);
    }
    if (!b.midi.empty()) {
        // The event array really holds numEvents pointers.
        const std::size_t header = offsetof(VstEvents, events);
        b.eventsStorage.assign(std::max(sizeof(VstEvents), header + b.midi.size() * sizeof(VstEvent*)), 0);
        auto* events = reinterpret_cast<VstEvents*>(b.eventsStorage.data());
        events->numEvents = static_cast<VstInt32>(b.midi.size());
        auto** list = reinterpret_cast<VstEvent**>(b.eventsStorage.data() + header);
        for (std::size_t i = 0; i < b.midi.size(); ++i) list[i] = reinterpret_cast<VstEvent*>(&b.midi[i]);
        audioCall([&] { e->dispatcher(e, effProcessEvents, 0, 0, events, 0.0f); });
    }
    if (useDouble_) {
        double** inputs = b.doubles.silentInputs();
        audioCall([&] { e->processDoubleReplacing(e, inputs, b.doubles.outputPointers.data(), frames); });
        const std::vector<double>& out = b.doubles.outputs[0];
        for (int i = 0; i < frames; ++i) output.push_back(static_cast<float>(out[i]));
    } else {
        float** inputs = b.floats.silentInputs();
        audioCall([&] { e->processReplacing(e, inputs, b.floats.outputPointers.data(), frames); });
        output.insert(output.end(), b.floats.outputs[0].begin(), b.floats.outputs[0].begin() + frames);
    }
    return true;
}

std::vector<float> playScript(AEffect* e, const Script& script, double rate, int block, bool useDouble,
                              bool cutAtParameters) {
    std::vector<float> output;
    output.reserve(static_cast<std::size_t>(std::max(script.length(rate), 0LL)));
    ScriptPlayer player(e, script, rate, block, useDouble, cutAtParameters);
    while (player.next(output)) {
    }
    return output;
}

} // namespace testhost
