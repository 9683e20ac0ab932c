// The LV2 plug-in as a host drives it, through its descriptor: it plays what
// the VST 2.4 plug-in plays on the same samples, holds every control value a
// host may send inside its range, runs at any sample rate, and never
// allocates in run(); and the bundle's presets give the factory patches.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "synth/random.h"
#include "tests/alloc_counter.h"
#include "tests/hosted_plugin.h"
#include "tests/linux/lv2_host.h"
#include "tests/linux/preset_check.h"
#include "tests/measure.h"

namespace {

using lv2host::Instance;

const LV2_Descriptor& descriptor() { return *lv2_descriptor(0); }

testhost::Script parse(const char* text, AEffect* namesFrom, double rate) {
    std::istringstream in(text);
    testhost::Script script;
    std::string error;
    EXPECT_TRUE(testhost::parseScript(in, rate, script, error)) << error;
    EXPECT_TRUE(testhost::resolveNames(namesFrom, script, error)) << error;
    return script;
}

// The script through a fresh VST 2.4 instance and a fresh LV2 instance, each
// from the start of the random sequence.
struct BothFormats {
    std::vector<float> vst2, lv2;
};
BothFormats playInBoth(const char* text, double rate, int block) {
    BothFormats out;
    AEffect* effect = VSTPluginMain(&CountingHost::callback);
    const testhost::Script script = parse(text, effect, rate);
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    out.vst2 = testhost::playScript(effect, script, rate, block, false);
    closeInstance(effect);
    Instance lv2(descriptor(), rate);
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    out.lv2 = lv2host::playScript(lv2, script, rate, block);
    return out;
}

TEST(Lv2Plugin, OnePluginThatNeedsTheUridMap) {
    EXPECT_STREQ(descriptor().URI, Veldane::lv2::kPluginUri);
    EXPECT_EQ(lv2_descriptor(1), nullptr);
    EXPECT_EQ(Instance(descriptor(), 48000.0, false).handle, nullptr);
}

// Notes, pedal and bends at odd offsets, in blocks that split the phrase
// anywhere, with switches, entries and integers changing between blocks:
// those values cross both formats exactly, so every sample must match.
TEST(Lv2Plugin, NotesLandOnTheSamplesTheyLandOnInVst2) {
    const char* passage = R"(
        0 param "Voice Mode" 1.0
        0 param "Osc1 Waveform" 0.5
        0 param "Osc2 Volume" 1.0
        0.0003 on 48
        0.0111 on 55 90
        0.05 param "Osc2 Sync" 1.0
        0.1007 pedal down
        0.1309 off 48
        0.15 param "Master Tune" 0.75
        0.2003 bend 3000
        0.25 param "Filter Type" 0.5
        0.2801 pedal up
        0.3013 off 55
        0.32 param "Voice Mode" 0.5
        0.3333 on 60
        0.3401 on 64
        0.3999 off 60
        0.45 off 64
        0.6 end)";
    const BothFormats out = playInBoth(passage, 48000.0, 100);
    ASSERT_EQ(out.lv2.size(), out.vst2.size());
    EXPECT_TRUE(out.lv2 == out.vst2);
    EXPECT_GT(measure::rms(out.lv2), 0.01);
}

// Real values travel as plain values in single precision through a port, so
// the demo's patches (cutoffs, times, levels) come out a rounding away from
// the normalized route: the same sound to far below anything audible.
TEST(Lv2Plugin, DemoPhraseSoundsAsInVst2) {
    std::ostringstream text;
    text << std::ifstream(VELDANE_SOURCE_DIR "/tools/testhost/demo.txt").rdbuf();
    const BothFormats out = playInBoth(text.str().c_str(), 44100.0, 512);
    ASSERT_EQ(out.lv2.size(), out.vst2.size());
    std::vector<float> difference(out.lv2.size());
    for (std::size_t i = 0; i < difference.size(); ++i) difference[i] = out.lv2[i] - out.vst2[i];
    EXPECT_LT(measure::rms(difference), 1e-5 * measure::rms(out.vst2));
}

// A short note with every control at its default but one, rendered afresh.
std::vector<float> noteWith(int id, float value) {
    Instance instance(descriptor(), 44100.0);
    instance.control(id) = value;
    instance.midi(0, {0x90, 57, 100});
    instance.midi(1500, {0x80, 57, 0});
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    return instance.render(2048);
}

// Whatever a host writes to a port, the plug-in hears a value inside the
// port's range: beyond an end it hears that end, a NaN leaves the value the
// port had, and nothing non-finite reaches the output.
TEST(Lv2Plugin, ControlValuesAreHeldInRange) {
    const float inf = std::numeric_limits<float>::infinity();
    const Veldane::Parameters fresh;
    for (int id = 0; id < Veldane::kParamCount; ++id) {
        if (id == Veldane::kReserved) continue;
        const zem::PlainRange range = zem::plainRangeOf(*fresh.at(id));
        const std::vector<float> atMin = noteWith(id, static_cast<float>(range.min));
        const std::vector<float> atMax = noteWith(id, static_cast<float>(range.max));
        EXPECT_TRUE(noteWith(id, -inf) == atMin) << fresh.at(id)->name;
        EXPECT_TRUE(noteWith(id, static_cast<float>(range.min) - 1e6f) == atMin) << fresh.at(id)->name;
        EXPECT_TRUE(noteWith(id, inf) == atMax) << fresh.at(id)->name;
        EXPECT_TRUE(noteWith(id, std::numeric_limits<float>::quiet_NaN()) == noteWith(id, lv2host::defaultOf(id)))
            << fresh.at(id)->name;
        for (float s : atMax) ASSERT_TRUE(std::isfinite(s)) << fresh.at(id)->name;
    }
}

// A NaN arriving after a valid value keeps that value, and the port is
// looked at again as soon as the host writes a number.
TEST(Lv2Plugin, NaNKeepsTheLastValue) {
    Instance instance(descriptor(), 44100.0);
    instance.control(Veldane::kOsc1Waveform) = 1.0f;
    instance.midi(0, {0x90, 57, 100});
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    const std::vector<float> first = instance.render(1024);
    instance.control(Veldane::kOsc1Waveform) = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> during = instance.render(1024);

    Instance steady(descriptor(), 44100.0);
    steady.control(Veldane::kOsc1Waveform) = 1.0f;
    steady.midi(0, {0x90, 57, 100});
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    steady.render(1024);
    EXPECT_TRUE(steady.render(1024) == during);
}

// The host's rate, whatever it is: A3 sounds at 220 Hz at every rate a host
// offers; a rate no host should give leaves the plug-in at 44.1 kHz, sound.
TEST(Lv2Plugin, AnySampleRate) {
    for (double rate : {8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        Instance instance(descriptor(), rate);
        ASSERT_NE(instance.handle, nullptr) << rate;
        instance.midi(0, {0x90, 57, 100});
        const std::vector<float> out = instance.render(static_cast<int>(rate / 2));
        EXPECT_NEAR(measure::cyclesPerSample(out, out.size() / 4) * rate, 220.0, 0.5) << rate;
    }
    for (double rate : {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(), HUGE_VAL}) {
        Instance instance(descriptor(), rate);
        ASSERT_NE(instance.handle, nullptr) << rate;
        instance.midi(0, {0x90, 57, 100});
        const std::vector<float> out = instance.render(22050);
        EXPECT_NEAR(measure::cyclesPerSample(out, out.size() / 4) * 44100.0, 220.0, 0.5) << rate;
    }
}

// MIDI a host should not send: offsets before or past the block, other atom
// types, empty and long messages. Nothing crashes, nothing is lost: the late
// note-off still ends the note.
TEST(Lv2Plugin, OddEventsAndPorts) {
    Instance instance(descriptor(), 44100.0);
    instance.run(nullptr, 64); // no output connected: nothing to render into
    instance.run(nullptr, 0);
    instance.midi(-500, {0x90, 57, 100});
    instance.midi(10, {0x90, 60, 100}, instance.urids.id("urn:veldane-test:not-midi"));
    instance.midi(20, {});
    instance.midi(30, {0xF0, 1, 2, 3, 4, 5, 0xF7});
    instance.midi(int64_t{1} << 40, {0x80, 57, 0});
    const std::vector<float> block = instance.render(256, 256);
    EXPECT_GT(measure::rms(block), 0.01);
    const std::vector<float> after = instance.render(4410);
    EXPECT_LT(measure::rms(after, 2205), 1e-6); // released in the 10 ms the default release takes
}

// The host's buffers are written between the blocks; only run() is counted.
TEST(Lv2Plugin, RunNeverAllocates) {
    Instance instance(descriptor(), 48000.0);
    std::vector<float> out(512);
    std::size_t allocations = 0;
    for (int block = 0; block < 50; ++block) {
        instance.control(Veldane::kFilterCutoff) = 200.0f + 100.0f * static_cast<float>(block);
        instance.control(Veldane::kVoiceMode) = static_cast<float>(block % 3);
        instance.midi(block * 10, {0x90, static_cast<unsigned char>(40 + block), 100});
        instance.midi(511, {0xE0, 0, static_cast<unsigned char>(block)});
        instance.prepare(out.data());
        const std::size_t before = test::allocationCount();
        instance.d.run(instance.handle, 512);
        allocations += test::allocationCount() - before;
    }
    EXPECT_EQ(allocations, 0u);
}

// A preset as the bundle's presets.ttl holds it: its label, its bank's
// label and the value of each port by symbol, read as a host reads it, in
// single precision (the writer puts one statement a line).
struct Preset {
    std::string label;
    std::string bank;
    presetcheck::PortValues ports;
};
std::vector<Preset> readPresets(const std::string& path) {
    std::ifstream in(path);
    const std::regex subject(R"re(^<(.*)>$)re");
    const std::regex kind(R"re(^\s*a pset:(Preset|Bank) ;$)re");
    const std::regex label(R"re(^\s*rdfs:label "(.*)" [;.]$)re");
    const std::regex bank(R"re(^\s*pset:bank <(.*)> ;$)re");
    const std::regex port(R"re(lv2:symbol "(\w+)" ; pset:value (\S+) \])re");
    std::vector<Preset> presets;
    std::map<std::string, std::string> bankLabels, bankOf; // bank URI -> label, preset label -> bank URI
    std::string uri, type;
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
        if (std::regex_search(line, m, subject)) uri = m[1].str();
        else if (std::regex_search(line, m, kind)) type = m[1].str();
        else if (std::regex_search(line, m, label) && type == "Bank") bankLabels[uri] = m[1].str();
        else if (std::regex_search(line, m, label)) presets.push_back({m[1].str(), {}, {}});
        else if (std::regex_search(line, m, bank) && !presets.empty()) bankOf[presets.back().label] = m[1].str();
        else if (std::regex_search(line, m, port) && !presets.empty())
            presets.back().ports.emplace_back(m[1].str(), std::strtof(m[2].str().c_str(), nullptr));
    }
    for (Preset& p : presets) p.bank = bankLabels[bankOf[p.label]];
    return presets;
}

// Every factory patch, in table order and in the bank of its category, as
// the preset a host reads from the built bundle (presetcheck::differences
// says what that means).
TEST(Lv2Presets, EveryFactoryPatchComesBackFromItsPreset) {
    const std::vector<Veldane::Patch>& table = Veldane::factoryPatches();
    const std::vector<Preset> presets = readPresets(VELDANE_LV2_BUNDLE "/presets.ttl");
    ASSERT_EQ(presets.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(presets[i].label, table[i].name);
        EXPECT_EQ(presets[i].bank, table[i].category) << presets[i].label;
        for (const std::string& difference : presetcheck::differences(table[i], presets[i].ports)) {
            ADD_FAILURE() << presets[i].label << ": " << difference;
        }
    }
}

} // namespace
