// MIDI intake and the block loop: translation of the host's messages into
// queued events (through the real plug-in), the rendering of a block in
// segments with each event handed over at its offset (through a small
// plug-in on the same framework that records what happens), and what the
// synthesizer makes of each event.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "framework/event_queue.h"
#include "framework/plugin.h"
#include "framework/voice_manager.h"
#include "synth/synth.h"
#include "tests/alloc_counter.h"
#include "tests/hosted_plugin.h"
#include "tests/midi_block.h"

namespace {

// ---------------------------------------------------------------------------
// Translation, through the real plug-in's effProcessEvents.

using EventIntake = HostedPlugin;

struct Translation {
    int status, data1, data2;
    bool queued;
    int type, out1, out2; // expected record when queued (out2 -1: not checked)
};

TEST_F(EventIntake, EveryMessageKindOnEveryChannel) {
    const Translation cases[] = {
        {0x90, 60, 100, true, zem::Event::NoteOn, 60, 100},
        {0x90, 60, 0, true, zem::Event::NoteOff, 60, 0}, // note-on with velocity 0 is a note-off
        {0x80, 61, 100, true, zem::Event::NoteOff, 61, 100},
        {0x80, 127, 0, true, zem::Event::NoteOff, 127, 0},
        {0xB0, 64, 64, true, zem::Event::SustainOn, 0, -1},
        {0xB0, 64, 127, true, zem::Event::SustainOn, 0, -1},
        {0xB0, 64, 63, true, zem::Event::SustainOff, 0, -1},
        {0xB0, 64, 0, true, zem::Event::SustainOff, 0, -1},
        {0xE0, 0, 64, true, zem::Event::PitchBend, 0, -1},
        {0xE0, 0, 0, true, zem::Event::PitchBend, -8192, -1},
        {0xE0, 127, 127, true, zem::Event::PitchBend, 8191, -1},
        {0xE0, 1, 64, true, zem::Event::PitchBend, 1, -1},
        {0xB0, 1, 100, false, 0, 0, 0},   // modulation wheel
        {0xB0, 123, 0, false, 0, 0, 0},   // all notes off
        {0xB0, 0xC0, 127, false, 0, 0, 0}, // malformed controller number: not the pedal (0xC0 & 0x7F is 64)
        {0xA0, 60, 50, false, 0, 0, 0},   // key pressure
        {0xC0, 5, 0, false, 0, 0, 0},     // program change
        {0xD0, 40, 0, false, 0, 0, 0},    // channel pressure
    };
    for (int channel = 0; channel < 16; ++channel) {
        for (const Translation& c : cases) {
            MidiBlock block;
            block.add(17, c.status | channel, c.data1, c.data2);
            processEvents(block.events());
            if (!c.queued) {
                EXPECT_TRUE(plugin->events.empty()) << std::hex << (c.status | channel) << " " << c.data1;
                continue;
            }
            ASSERT_EQ(plugin->events.size(), 1u) << std::hex << (c.status | channel);
            const zem::Event& e = plugin->events.front();
            EXPECT_EQ(e.type, c.type) << std::hex << (c.status | channel) << " " << c.data1 << " " << c.data2;
            EXPECT_EQ(e.deltaFrames, 17);
            if (c.type != zem::Event::SustainOn && c.type != zem::Event::SustainOff) {
                EXPECT_EQ(e.data1, c.out1);
            }
            if (c.out2 >= 0) {
                EXPECT_EQ(e.data2, c.out2);
            }
            plugin->events.popFront();
        }
    }
}

TEST_F(EventIntake, SystemMessagesForeignEventsAndHostileBlocksQueueNothing) {
    MidiBlock block;
    block.add(0, 0xF0, 1, 2);     // system exclusive start
    block.add(0, 0xF8);           // clock
    block.add(0, 0xFF);           // reset
    block.add(0, 0x40, 60, 100);  // running-status data byte, no status
    VstEvent sysex{};
    sysex.type = kVstSysExType;
    block.addRaw(&sysex);
    block.addRaw(nullptr);
    processEvents(block.events());
    EXPECT_TRUE(plugin->events.empty());

    VstEvents* empty = block.events();
    empty->numEvents = 0;
    processEvents(empty);
    empty->numEvents = -5;
    processEvents(empty);
    EXPECT_TRUE(plugin->events.empty());
}

// Malformed data bytes (bit 7 set) stay in MIDI's 7-bit range.
TEST_F(EventIntake, DataBytesAreSevenBits) {
    MidiBlock block;
    block.add(0, 0x90, 0xBC, 0xE4);
    block.add(0, 0xE0, 0xFF, 0xFF);
    processEvents(block.events());
    ASSERT_EQ(plugin->events.size(), 2u);
    EXPECT_EQ(plugin->events[0].data1, 0x3C);
    EXPECT_EQ(plugin->events[0].data2, 0x64);
    EXPECT_EQ(plugin->events[1].data1, 8191);
}

TEST_F(EventIntake, QueueKeepsHostOrderAcrossCallsAndOffsetsUnchanged) {
    MidiBlock first;
    first.add(50, 0x90, 60, 1);
    first.add(-3, 0x90, 61, 1);
    processEvents(first.events());
    MidiBlock second;
    second.add(1 << 20, 0x80, 60, 0);
    processEvents(second.events());
    ASSERT_EQ(plugin->events.size(), 3u);
    EXPECT_EQ(plugin->events[0].deltaFrames, 50);
    EXPECT_EQ(plugin->events[1].deltaFrames, -3);
    EXPECT_EQ(plugin->events[2].deltaFrames, 1 << 20);
    EXPECT_EQ(plugin->events[2].type, zem::Event::NoteOff);
}

#ifdef VELDANE_COUNT_ALLOCATIONS
// The host's audio thread delivers events and processes blocks: neither may
// allocate, not even for the first flood of events.
TEST_F(EventIntake, AudioPathAllocatesNothingEvenUnderAFlood) {
    MidiBlock everyday, burst;
    for (int i = 0; i < 64; ++i) everyday.add(i * 4, i % 2 ? 0x80 : 0x90, 60 + i % 12, 100);
    for (int i = 0; i < 5000; ++i) burst.add(i / 20, i % 2 ? 0x80 : 0x90, 60 + i % 12, 100);
    VstEvents* everydayEvents = everyday.events();
    VstEvents* burstEvents = burst.events();
    std::vector<float> buffer(256);
    float* outs[1] = {buffer.data()};

    const std::size_t before = test::allocationCount();
    for (VstEvents* events : {everydayEvents, burstEvents, burstEvents, everydayEvents}) {
        processEvents(events);
        effect->processReplacing(effect, nullptr, outs, 256);
    }
    EXPECT_EQ(test::allocationCount(), before);
    EXPECT_TRUE(plugin->events.empty());
}
#endif

// ---------------------------------------------------------------------------
// The block loop, on a plug-in of the framework's own whose rendering and
// event handling write a log.

std::vector<std::string>* gLog = nullptr;

class RecordingPlugin final : public zem::Plugin<RecordingPlugin, 1> {
public:
    static constexpr std::int32_t uniqueId = 1;
    static constexpr std::int32_t version = 1;
    static constexpr bool isSynth = true;
    static constexpr const char* effectName = "Test";
    static constexpr const char* vendorName = "Test";
    static constexpr const char* productName = "Test";

    RecordingPlugin(AEffect& record, zem::HostCallback host) : Plugin(record, host) {}
    void parameterChanged(int) override {}
    zem::ParameterSet<1>& parameters() { return params; }
    void setSampleRate(double) {}
    void prepareBlock() { gLog->push_back("prepare"); }
    void handleEvent(const zem::Event& e) {
        gLog->push_back("event " + std::to_string(e.type) + " " + std::to_string(e.data1) + " @" +
                        std::to_string(rendered));
    }
    // Writes a ramp that continues across calls, so a wrongly advanced
    // output pointer shows as a break in it.
    template <class Sample>
    void render(int count, Sample* out) {
        gLog->push_back("render " + std::to_string(count));
        for (int i = 0; i < count; ++i) out[i] = Sample(rendered + i);
        rendered += count;
    }

    int rendered = 0; // samples written since the test began
    zem::ParameterSet<1> params;
    zem::ParameterSet<1>::Param<zem::ParameterSwitch> onlyParameter{params, 0, "Switch", false};
};

class BlockLoop : public ::testing::Test {
protected:
    void SetUp() override {
        gLog = &log;
        effect = RecordingPlugin::instantiate(nullptr);
        ASSERT_NE(effect, nullptr);
        plugin = static_cast<RecordingPlugin*>(static_cast<zem::Plugin<RecordingPlugin, 1>*>(effect->object));
    }
    void TearDown() override {
        closeInstance(effect);
        gLog = nullptr;
    }

    void deliver(MidiBlock& block) { EXPECT_EQ(effect->dispatcher(effect, effProcessEvents, 0, 0, block.events(), 0.0f), 1); }
    // Runs one float block through the record and answers its samples; the
    // buffer has guard samples after the block that must stay untouched.
    std::vector<float> process(int frames) {
        std::vector<float> buffer(std::max(frames, 0) + kGuard, -1.0f);
        float* outs[1] = {buffer.data()};
        effect->processReplacing(effect, nullptr, outs, frames);
        for (int i = std::max(frames, 0); i < int(buffer.size()); ++i) EXPECT_EQ(buffer[i], -1.0f) << "past the block";
        buffer.resize(std::max(frames, 0));
        return buffer;
    }
    static constexpr int kGuard = 8;

    std::vector<std::string> log;
    AEffect* effect = nullptr;
    RecordingPlugin* plugin = nullptr;
};

void expectRamp(const std::vector<float>& samples, int from) {
    for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i], float(from + int(i))) << i;
}

TEST_F(BlockLoop, EventsApplyAtTheirOffsetsInQueueOrder) {
    MidiBlock block;
    block.add(0, 0x90, 60, 100);
    block.add(0, 0x91, 62, 90);  // same offset: applied right after, nothing rendered between
    block.add(5, 0x80, 60, 0);
    block.add(5, 0xB0, 64, 127);
    block.add(64, 0xB0, 64, 0);  // offset equal to the block length: after the last sample
    deliver(block);
    log.clear();
    expectRamp(process(64), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"prepare", "render 0", "event 0 60 @0", "render 0", "event 0 62 @0",
                                             "render 5", "event 1 60 @5", "render 0", "event 3 0 @5", "render 59",
                                             "event 4 0 @64", "render 0"}));
    EXPECT_TRUE(plugin->events.empty());
}

TEST_F(BlockLoop, BlockWithoutEventsIsOneSegment) {
    expectRamp(process(32), 0);
    expectRamp(process(32), 32);
    EXPECT_EQ(log, (std::vector<std::string>{"prepare", "render 32", "prepare", "render 32"}));
}

TEST_F(BlockLoop, EmptyBlocksKeepTheQueue) {
    MidiBlock block;
    block.add(3, 0x90, 60, 100);
    deliver(block);
    log.clear();
    process(0);
    process(-7);
    process(INT_MIN);
    float* nullOut[1] = {nullptr};
    effect->processReplacing(effect, nullptr, nullOut, 16);
    effect->processReplacing(effect, nullptr, nullptr, 16);
    // Every call hands over pending changes first, even one that renders nothing.
    EXPECT_EQ(log, (std::vector<std::string>(5, "prepare")));
    EXPECT_EQ(plugin->events.size(), 1u);
    log.clear();
    expectRamp(process(8), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"prepare", "render 3", "event 0 60 @3", "render 5"}));
}

// Offsets past the block, negative or going backwards never make a segment
// outside the buffer or of negative length; the event lands on the nearest
// sample it can have and keeps its place in the order. Whatever lies at or
// past the end is applied after the last sample, so the queue is empty when
// the call returns.
TEST_F(BlockLoop, HostileOffsetsAreClampedIntoTheBlock) {
    MidiBlock block;
    block.add(-40, 0x90, 60, 1);     // before the block: at once
    block.add(20, 0x90, 61, 1);
    block.add(10, 0x80, 61, 0);      // backwards: where the previous one was
    block.add(INT_MAX, 0x80, 60, 0); // far past the block: after its last sample
    block.add(INT_MIN, 0x90, 62, 1); // after a late one: after the last sample too
    deliver(block);
    log.clear();
    expectRamp(process(32), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"prepare", "render 0", "event 0 60 @0", "render 20", "event 0 61 @20",
                                             "render 0", "event 1 61 @20", "render 12", "event 1 60 @32", "render 0",
                                             "event 0 62 @32", "render 0"}));
    EXPECT_TRUE(plugin->events.empty());
}

// A chord sent at the very end of a block sounds together after that block,
// not one note per later block.
TEST_F(BlockLoop, LateEventsAllApplyAtTheEndOfTheirCall) {
    MidiBlock block;
    for (int note : {60, 64, 67}) block.add(512, 0x90, note, 100);
    deliver(block);
    log.clear();
    process(512);
    EXPECT_EQ(log, (std::vector<std::string>{"prepare", "render 512", "event 0 60 @512", "render 0", "event 0 64 @512",
                                             "render 0", "event 0 67 @512", "render 0"}));
    EXPECT_TRUE(plugin->events.empty());
}

TEST_F(BlockLoop, TenThousandEventsInOneCall) {
    constexpr int kEvents = 10000;
    constexpr int kFrames = 512;
    MidiBlock block;
    for (int i = 0; i < kEvents; ++i) block.add(i * kFrames / kEvents, (i % 2 ? 0x80 : 0x90) | (i % 16), i % 128, 100);
    deliver(block);
    ASSERT_EQ(plugin->events.size(), std::size_t(kEvents));
    log.clear();
    expectRamp(process(kFrames), 0);
    EXPECT_TRUE(plugin->events.empty());
    int events = 0, last = 0;
    bool ordered = true;
    for (const std::string& line : log) {
        const auto at = line.find('@');
        if (at == std::string::npos) continue;
        ++events;
        const int position = std::stoi(line.substr(at + 1));
        ordered = ordered && position >= last;
        last = position;
    }
    EXPECT_EQ(events, kEvents);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(plugin->rendered, kFrames);
}

// However many events a host floods in, the queue stops at its bound and
// counts what it refused; what it took still plays.
TEST_F(BlockLoop, QueueIsBoundedAndCountsWhatItRefuses) {
    const int flood = static_cast<int>(zem::EventQueue::kCapacity) + 100;
    MidiBlock block;
    for (int i = 0; i < flood; ++i) block.add(0, 0x90, i % 128, 100);
    deliver(block);
    EXPECT_EQ(plugin->events.size(), zem::EventQueue::kCapacity);
    EXPECT_EQ(plugin->events.dropped(), 100u);
    log.clear();
    process(16);
    EXPECT_TRUE(plugin->events.empty());
    EXPECT_EQ(log.size(), 2 + 2 * zem::EventQueue::kCapacity);
}

TEST_F(BlockLoop, DoublePathAdvancesByWholeSamples) {
    MidiBlock block;
    block.add(7, 0x90, 60, 100);
    block.add(19, 0x80, 60, 0);
    deliver(block);
    std::vector<double> buffer(40, -1.0);
    double* outs[1] = {buffer.data()};
    log.clear();
    effect->processDoubleReplacing(effect, nullptr, outs, 32);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(buffer[i], double(i));
    for (int i = 32; i < 40; ++i) EXPECT_EQ(buffer[i], -1.0);
    EXPECT_EQ(log, (std::vector<std::string>{"prepare", "render 7", "event 0 60 @7", "render 12", "event 1 60 @19",
                                             "render 13"}));
}

// ---------------------------------------------------------------------------
// What the synthesizer makes of each event.

struct RecordingVoices : zem::IVoiceManager {
    std::vector<std::string> calls;
    void noteOn(int note, double velocity) override {
        calls.push_back("on " + std::to_string(note) + " " + std::to_string(int(velocity)));
    }
    void noteOff(int note) override { calls.push_back("off " + std::to_string(note)); }
    void setSustain(bool down) override { calls.push_back(down ? "pedal down" : "pedal up"); }
};

TEST(SynthEvents, NotesAndPedalGoToTheVoiceManagerAndEveryNoteOnRestartsTheLfoFade) {
    Veldane::Synth synth;
    RecordingVoices voices;
    synth.engine.voiceManager = &voices;
    synth.engine.lfo.setDelay(500.0, synth.sampleRate());
    synth.handleEvent({zem::Event::NoteOn, 0, 60, 100});
    EXPECT_EQ(synth.engine.lfo.delayLevel, 0.0);
    synth.engine.lfo.delayLevel = 0.5;
    synth.handleEvent({zem::Event::NoteOn, 0, 62, 90});
    EXPECT_EQ(synth.engine.lfo.delayLevel, 0.0) << "a second, overlapping note restarts it too";
    synth.handleEvent({zem::Event::NoteOff, 0, 60, 0});
    synth.handleEvent({zem::Event::SustainOn, 0, 0, 0});
    synth.handleEvent({zem::Event::SustainOff, 0, 0, 0});
    synth.handleEvent({2, 0, 60, 100});
    synth.handleEvent({77, 0, 60, 100});
    EXPECT_EQ(voices.calls, (std::vector<std::string>{"on 60 100", "on 62 90", "off 60", "pedal down", "pedal up"}));

    // Without a voice manager notes and pedal are dropped; bend still works.
    synth.engine.voiceManager = nullptr;
    synth.engine.bendRange = 1.0;
    synth.handleEvent({zem::Event::NoteOn, 0, 60, 100});
    synth.handleEvent({zem::Event::PitchBend, 0, -8192, 0});
    EXPECT_EQ(synth.engine.bendTarget, -1.0);
}

TEST(SynthEvents, PitchBendSetsTheEngineTarget) {
    Veldane::Synth synth;
    synth.engine.bendRange = 2 * 0.08333; // 2 semitones, in octaves
    const struct {
        int value;
        double target;
    } cases[] = {{-8192, -2 * 0.08333}, {0, 0.0}, {8191, 2 * 0.08333 * 8191.0 / 8192.0}, {4096, 0.08333}};
    for (const auto& c : cases) {
        synth.handleEvent({zem::Event::PitchBend, 0, c.value, 0});
        EXPECT_DOUBLE_EQ(synth.engine.bendTarget, c.target) << c.value;
    }
}

// ---------------------------------------------------------------------------
// The queue's ring buffer.

TEST(EventQueue, FirstInFirstOutAcrossTheWrapAtItsWholeCapacity) {
    zem::EventQueue queue;
    const int capacity = static_cast<int>(queue.capacity());
    ASSERT_EQ(queue.capacity(), zem::EventQueue::kCapacity);
    int pushed = 0, popped = 0;
    auto push = [&](int n) {
        for (int i = 0; i < n; ++i) ASSERT_TRUE(queue.pushBack({0, pushed++, 0, 0}));
    };
    auto pop = [&](int n) {
        for (int i = 0; i < n; ++i) {
            ASSERT_FALSE(queue.empty());
            ASSERT_EQ(queue.front().deltaFrames, popped++);
            queue.popFront();
        }
    };
    // Filled to the brim while its contents wrap around the end: the order holds.
    push(capacity / 2);
    pop(capacity / 2);
    push(capacity);
    EXPECT_FALSE(queue.pushBack({0, pushed, 0, 0}));
    EXPECT_EQ(queue.dropped(), 1u);
    for (std::size_t i = 0; i < queue.size(); ++i) ASSERT_EQ(queue[i].deltaFrames, popped + int(i));
    pop(capacity);
    EXPECT_TRUE(queue.empty());
    queue.popFront(); // harmless when empty
    EXPECT_TRUE(queue.empty());
}

} // namespace
