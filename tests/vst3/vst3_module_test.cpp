// The built VST 3 bundle as a host meets it: the module loaded by our VST 3
// host (tools/vst3host) from the bundle, natively and, in the 64-bit Windows
// build, under wine64. Factory, buses and parameters against the plug-in's
// own table, units against the panel's sections, the program list against
// the factory patches, and the .vstpreset files the native build writes;
// notes and parameter points inside a block against the VST 2.4 plug-in's
// render of the same events; state saved, restored and refused; and the
// calls hostile or careless hosts make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "formats/file_bytes.h"
#include "framework/vst3/parameter_view.h"
#include "framework/vst3/plugin.h"
#include "framework/vst3/preset_file.h"
#include "framework/vst3/text.h"
#include "synth/parameters.h"
#include "synth/patches.h"
#include "synth/state.h"
#include "tests/golden.h"
#include "tests/midi_block.h"
#include "tests/parameter_table.h"
#include "tools/testhost/script.h"
#include "tests/vst3/bundle.h"
#include "tools/vst3host/host.h"
#include "ui/panel_sections.h"
#include "wrappers/vst2/entry.h"
#include "wrappers/vst3/identity.h"

namespace {

using namespace vst3host;

constexpr double kRate = 44100.0;
constexpr int32 kBlock = 1024;
// The table's parameters, then the two MIDI parameters and the program.
constexpr int32 kHostParamCount = Veldane::kParamCount + 3;
// An interface id no one has.
constexpr Uid kForeignIid = makeUid(0x0BADF00D, 0x12345678, 0x9ABCDEF0, 0x0F1E2D3C);


std::string ascii(const TChar* text) {
    char out[128];
    return readAscii(text, out, sizeof out) ? out : "<not ASCII>";
}

class Vst3Module : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(bundleModule().factory, nullptr);
        std::string error;
        ASSERT_TRUE(instance.open(bundleModule().factory, error)) << error;
    }

    // Every parameter's normalized value, by id.
    std::vector<ParamValue> values() { return valuesOf(instance); }
    static std::vector<ParamValue> valuesOf(Instance& i) {
        std::vector<ParamValue> out;
        for (ParamID id : i.parameterIds()) out.push_back(i.controller->getParamNormalized(id));
        return out;
    }
    // The table parameters' host values, as they stand and as the patch sets them.
    std::vector<ParamValue> tableValues() { return tableValuesOf(instance); }
    static std::vector<ParamValue> tableValuesOf(Instance& i) {
        std::vector<ParamValue> out;
        for (int id = 0; id < Veldane::kParamCount; ++id) out.push_back(i.controller->getParamNormalized(id));
        return out;
    }
    static std::vector<ParamValue> patchValues(const Veldane::Patch& patch) {
        Veldane::Parameters params;
        std::vector<ParamValue> out;
        for (int id = 0; id < Veldane::kParamCount; ++id) {
            params.set(id, patch.values[static_cast<std::size_t>(id)]);
            out.push_back(hostValueOf(*params.at(id)));
        }
        return out;
    }

    Instance instance;
};

TEST_F(Vst3Module, FactoryAndItsOneClass) {
    IPluginFactory* factory = bundleModule().factory;
    PFactoryInfo info{};
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Orvandel");
    ASSERT_EQ(factory->countClasses(), 1);

    void* raw = nullptr;
    ASSERT_EQ(factory->queryInterface(IPluginFactory3::iid.bytes, &raw), kResultOk);
    auto* factory3 = static_cast<IPluginFactory3*>(raw);
    PClassInfoW wide{};
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &wide), kResultOk);
    EXPECT_EQ(ascii(wide.name), "Veldane");
    EXPECT_EQ(ascii(wide.vendor), "Orvandel");
    PClassInfo2 ci{};
    ASSERT_EQ(factory3->getClassInfo2(0, &ci), kResultOk);
    EXPECT_TRUE(sameUid(ci.cid, Veldane::vst3::kClassId));
    EXPECT_STREQ(ci.category, "Audio Module Class");
    EXPECT_STREQ(ci.name, "Veldane");
    EXPECT_STREQ(ci.subCategories, "Instrument|Synth");
    EXPECT_STREQ(ci.vendor, "Orvandel");
    EXPECT_STREQ(ci.version, Veldane::vst3::kVersion);
    EXPECT_EQ(factory3->getClassInfo2(1, &ci), kInvalidArgument);
    EXPECT_EQ(factory3->getClassInfo2(-1, &ci), kInvalidArgument);
    EXPECT_EQ(factory3->getClassInfo2(0, nullptr), kInvalidArgument);
    factory3->release();

    // Unknown classes and interfaces are refused with a null object.
    void* object = &raw;
    Uid other = Veldane::vst3::kClassId;
    other.bytes[15] ^= 1;
    EXPECT_EQ(factory->createInstance(other.bytes, IComponent::iid.bytes, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    object = &raw;
    EXPECT_EQ(factory->createInstance(ci.cid, kForeignIid.bytes, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->createInstance(ci.cid, IComponent::iid.bytes, nullptr), kInvalidArgument);
    EXPECT_EQ(factory->createInstance(nullptr, IComponent::iid.bytes, &object), kInvalidArgument);
}

TEST_F(Vst3Module, OneComponentWithTwoBuses) {
    IComponent* c = instance.component;
    EXPECT_FALSE(instance.separateController);
    EXPECT_EQ(c->getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(c->getBusCount(kEvent, kInput), 1);
    EXPECT_EQ(c->getBusCount(kAudio, kInput), 0);
    EXPECT_EQ(c->getBusCount(kEvent, kOutput), 0);
    BusInfo bus{};
    ASSERT_EQ(c->getBusInfo(kAudio, kOutput, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 1);
    EXPECT_EQ(bus.busType, kMain);
    ASSERT_EQ(c->getBusInfo(kEvent, kInput, 0, bus), kResultOk);
    EXPECT_EQ(bus.mediaType, kEvent);
    EXPECT_EQ(c->getBusInfo(kAudio, kOutput, 1, bus), kInvalidArgument);
    EXPECT_EQ(c->getBusInfo(kAudio, kInput, 0, bus), kInvalidArgument);

    SpeakerArrangement mono = kSpeakerMono, stereo = 3;
    EXPECT_EQ(instance.processor->setBusArrangements(nullptr, 0, &mono, 1), kResultTrue);
    EXPECT_EQ(instance.processor->setBusArrangements(nullptr, 0, &stereo, 1), kResultFalse);
    SpeakerArrangement arrangement = 0;
    ASSERT_EQ(instance.processor->getBusArrangement(kOutput, 0, arrangement), kResultOk);
    EXPECT_EQ(arrangement, kSpeakerMono);
    EXPECT_EQ(instance.processor->canProcessSampleSize(kSample64), kResultTrue);
}

// Every parameter against the plug-in's own table: id, title, unit, steps,
// default, kind, the unit of its panel section (the placeholder hidden and
// read-only in the root unit); the display texts at the ends of each
// control, entries named whole; and text to value and back through the same
// parameter classes.
TEST_F(Vst3Module, ParametersAsTheTableHasThem) {
    IEditController* ec = instance.controller;
    ASSERT_EQ(ec->getParameterCount(), kHostParamCount);
    const Veldane::Parameters table;
    for (int32 i = 0; i < Veldane::kParamCount; ++i) {
        ParameterInfo info{};
        ASSERT_EQ(ec->getParameterInfo(i, info), kResultOk);
        const zem::Parameter& p = *table.at(i);
        const ExpectedParameter& want = kExpectedParameters[i];
        const int section = Veldane::sectionOf(i);
        EXPECT_EQ(info.id, static_cast<ParamID>(i));
        EXPECT_EQ(ascii(info.title), want.name);
        EXPECT_EQ(ascii(info.units), want.label);
        EXPECT_EQ(info.stepCount, stepCountOf(p)) << want.name;
        EXPECT_DOUBLE_EQ(info.defaultNormalizedValue, hostValueOf(p)) << want.name;
        EXPECT_EQ(info.unitId, section + 1) << want.name;
        EXPECT_EQ(info.flags, section >= 0 ? flagsOf(p) : ParameterInfo::kIsHidden | ParameterInfo::kIsReadOnly)
            << want.name;
        EXPECT_DOUBLE_EQ(ec->getParamNormalized(info.id), info.defaultNormalizedValue) << want.name;
        // VST 2.4's texts are cut to eight characters; these are whole.
        EXPECT_EQ(instance.display(info.id, 0.0).substr(0, 8), want.display[0]) << want.name;
        EXPECT_EQ(instance.display(info.id, 1.0), want.display[2]) << want.name;
        for (double v : {0.0, 0.3, 0.62, 1.0}) {
            const std::string shown = instance.display(info.id, v);
            String128 text{};
            copyText(text, 128, shown.c_str());
            ParamValue back = -1.0;
            ASSERT_EQ(ec->getParamValueByString(info.id, text, back), kResultOk) << want.name << " " << shown;
            EXPECT_EQ(instance.display(info.id, back), shown) << want.name;
            EXPECT_DOUBLE_EQ(ec->plainParamToNormalized(info.id, ec->normalizedParamToPlain(info.id, back)), back);
        }
    }
    // The two MIDI parameters are hidden and named by the controller mapping.
    void* raw = nullptr;
    ASSERT_EQ(instance.component->queryInterface(IMidiMapping::iid.bytes, &raw), kResultOk);
    auto* mapping = static_cast<IMidiMapping*>(raw);
    ParamID id = 0;
    EXPECT_EQ(mapping->getMidiControllerAssignment(0, 3, kPitchBend, id), kResultTrue);
    EXPECT_EQ(id, kPitchBendParam);
    EXPECT_EQ(mapping->getMidiControllerAssignment(0, 0, kCtrlSustainOnOff, id), kResultTrue);
    EXPECT_EQ(id, kSustainParam);
    EXPECT_EQ(mapping->getMidiControllerAssignment(0, 0, 7, id), kResultFalse);
    mapping->release();
    for (int32 i = Veldane::kParamCount; i < Veldane::kParamCount + 2; ++i) {
        ParameterInfo info{};
        ASSERT_EQ(ec->getParameterInfo(i, info), kResultOk);
        EXPECT_EQ(info.flags, ParameterInfo::kIsHidden);
    }
    EXPECT_EQ(instance.display(Veldane::kVoiceMode, 0.0), "Retrigger");
}

// The units: the root (the plug-in, holding the program list) and one per
// panel section, named as the panel names it, in its order.
TEST_F(Vst3Module, UnitsAreThePanelSections) {
    IUnitInfo* units = instance.unitInfo();
    ASSERT_NE(units, nullptr);
    ASSERT_EQ(units->getUnitCount(), 1 + Veldane::panelSectionCount);
    UnitInfo unit{};
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(unit.id, kRootUnitId);
    EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
    EXPECT_EQ(unit.programListId, kFactoryProgramList);
    for (int k = 0; k < Veldane::panelSectionCount; ++k) {
        ASSERT_EQ(units->getUnitInfo(k + 1, unit), kResultOk);
        EXPECT_EQ(unit.id, k + 1);
        EXPECT_EQ(unit.parentUnitId, kRootUnitId);
        EXPECT_EQ(ascii(unit.name), Veldane::panelSections[k].name);
        EXPECT_EQ(unit.programListId, kNoProgramListId);
    }
    EXPECT_EQ(units->getUnitInfo(1 + Veldane::panelSectionCount, unit), kInvalidArgument);
    EXPECT_EQ(units->getUnitInfo(-1, unit), kInvalidArgument);
}

// The program list holds the factory patches by name and category, in table
// order; choosing a program, through the controller as a preset menu does
// or inside a process call (which then reports every value the host may
// change), gives every parameter its patch value, and a state saved
// afterwards restores the patch in a new instance.
TEST_F(Vst3Module, ProgramsAreTheFactoryPatches) {
    const std::vector<Veldane::Patch>& table = Veldane::factoryPatches();
    IUnitInfo* units = instance.unitInfo();
    ASSERT_NE(units, nullptr);
    ASSERT_EQ(units->getProgramListCount(), 1);
    ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(list.id, kFactoryProgramList);
    ASSERT_EQ(list.programCount, static_cast<int32>(table.size()));
    ParameterInfo program{};
    ASSERT_EQ(instance.controller->getParameterInfo(kHostParamCount - 1, program), kResultOk);
    EXPECT_EQ(program.flags & ParameterInfo::kIsProgramChange, ParameterInfo::kIsProgramChange);
    EXPECT_EQ(program.stepCount + 1, list.programCount);
    EXPECT_EQ(program.unitId, kRootUnitId);

    for (int32 k = 0; k < list.programCount; ++k) {
        String128 text{};
        ASSERT_EQ(units->getProgramName(list.id, k, text), kResultOk);
        EXPECT_EQ(ascii(text), table[k].name);
        ASSERT_EQ(units->getProgramInfo(list.id, k, kPresetAttributeInstrument, text), kResultOk);
        EXPECT_EQ(ascii(text), table[k].category);
        const ParamValue value = static_cast<ParamValue>(k) / program.stepCount;
        EXPECT_EQ(instance.display(program.id, value), table[k].name);
        ParamValue back = -1.0;
        copyText(text, 128, table[k].name.c_str());
        ASSERT_EQ(instance.controller->getParamValueByString(program.id, text, back), kResultOk);
        EXPECT_DOUBLE_EQ(back, value);

        ASSERT_TRUE(instance.chooseProgram(k));
        EXPECT_EQ(tableValues(), patchValues(table[k])) << table[k].name;
    }
    String128 text{};
    EXPECT_EQ(units->getProgramName(list.id, list.programCount, text), kInvalidArgument);
    EXPECT_EQ(units->getProgramName(list.id + 1, 0, text), kInvalidArgument);
    EXPECT_EQ(units->getProgramInfo(list.id, 0, "Nonesuch", text), kResultFalse);

    // Inside a process call, from its sample on; then saved and restored.
    ASSERT_TRUE(instance.start(kRate, kBlock));
    ParameterChanges changes, reported;
    changes.add(program.id, 100, 3.0 / program.stepCount);
    std::vector<float> out(kBlock);
    ASSERT_EQ(instance.process(out.data(), kBlock, nullptr, &changes, &reported), kResultOk);
    const std::vector<ParamValue> patch3 = patchValues(table[3]);
    EXPECT_EQ(tableValues(), patch3);
    ASSERT_EQ(reported.queues.size(), static_cast<std::size_t>(Veldane::kParamCount - 1)); // all but the placeholder
    for (const auto& queue : reported.queues) {
        ASSERT_EQ(queue->points.size(), 1u);
        EXPECT_EQ(queue->points[0].offset, 100);
        EXPECT_EQ(queue->points[0].value, patch3[queue->id]) << queue->id;
    }
    Instance fresh;
    std::string error;
    ASSERT_TRUE(fresh.open(bundleModule().factory, error)) << error;
    ASSERT_TRUE(fresh.loadState(instance.saveState()));
    EXPECT_EQ(tableValuesOf(fresh), patchValues(table[3]));
    instance.close();
}

// Every preset file the build writes, read back as a host reads the files of
// a preset folder, holds its patch; files that are cut short, damaged or of
// another plug-in are refused and change nothing.
TEST_F(Vst3Module, PresetFilesHoldTheirPatches) {
    const std::string folder = VELDANE_VST3_PRESETS_DIR "/Orvandel/Veldane/";
    std::string error;
    for (const Veldane::Patch& patch : Veldane::factoryPatches()) {
        Instance fresh;
        ASSERT_TRUE(fresh.open(bundleModule().factory, error)) << error;
        ASSERT_TRUE(fresh.loadPresetFile(folder + patch.name + ".vstpreset", error)) << error;
        EXPECT_EQ(tableValuesOf(fresh), patchValues(patch)) << patch.name;
    }

    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(formats::readFileBytes(folder + "Warm Pad.vstpreset", 1 << 20, bytes, error)) << error;
    PresetFile file;
    ASSERT_TRUE(readPresetFile(bytes.data(), bytes.size(), file, error)) << error;
    EXPECT_EQ(file.classId, uidText(Veldane::vst3::kClassId));
    EXPECT_NE(file.metaInfo.find("<Attr id=\"Name\" value=\"Warm Pad\" type=\"string\"/>"), std::string::npos);
    EXPECT_NE(file.metaInfo.find("<Attr id=\"MusicalInstrument\" value=\"Pad\" type=\"string\"/>"),
              std::string::npos);

    std::vector<std::vector<std::uint8_t>> bad;
    for (std::size_t n : {std::size_t{0}, std::size_t{20}, std::size_t{47}, bytes.size() / 2, bytes.size() - 1})
        bad.emplace_back(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    for (std::size_t at : {std::size_t{0}, std::size_t{9}, std::size_t{40}, std::size_t{48}, bytes.size() - 30}) {
        bad.push_back(bytes); // header, class id, list offset, state, chunk list
        bad.back()[at] ^= 0x21;
    }
    const std::string path = testing::TempDir() + "bad.vstpreset";
    const std::vector<ParamValue> defaults = values();
    for (const auto& damaged : bad) {
        ASSERT_TRUE(formats::writeFileBytes(path, damaged, error)) << error;
        EXPECT_FALSE(instance.loadPresetFile(path, error)) << damaged.size();
        EXPECT_EQ(values(), defaults);
    }
    EXPECT_FALSE(instance.loadPresetFile(folder + "No Such Patch.vstpreset", error));
}

// The panel's zoom is kept with the state, apart from the sound: choosing a
// program or loading a preset file (whose state keeps no zoom) changes the
// values and leaves the zoom the user picked.
TEST_F(Vst3Module, ProgramsAndPresetFilesLeaveTheKeptZoom) {
    Veldane::InstanceSettings zoomed;
    zoomed.panelZoom = 150;
    ASSERT_TRUE(instance.loadState(Veldane::saveState(Veldane::Parameters(), zoomed)));
    auto keptZoom = [this] {
        const std::vector<std::uint8_t> saved = instance.saveState();
        Veldane::Parameters params;
        Veldane::InstanceSettings settings;
        std::string error;
        EXPECT_TRUE(Veldane::loadState(saved.data(), saved.size(), params, error, &settings)) << error;
        return settings.panelZoom;
    };
    ASSERT_TRUE(instance.chooseProgram(2));
    EXPECT_EQ(tableValues(), patchValues(Veldane::factoryPatches()[2]));
    EXPECT_EQ(keptZoom(), 150);
    std::string error;
    ASSERT_TRUE(instance.loadPresetFile(VELDANE_VST3_PRESETS_DIR "/Orvandel/Veldane/Warm Pad.vstpreset", error))
        << error;
    EXPECT_EQ(tableValues(), patchValues(*Veldane::findPatch(Veldane::factoryPatches(), "Warm Pad")));
    EXPECT_EQ(keptZoom(), 150);
}

// --- Rendering -------------------------------------------------------------------

// One event of a passage: a MIDI message, or (status 0) a parameter change to
// `value` of parameter `data1`, at frame `at` from the start.
struct Step {
    int at;
    int status;
    int data1;
    int data2;
    double value;
};

// Notes, a bend and the pedal, parameters changing between and on them, in
// time order, no MIDI at the frame of a later parameter change (the VST 2.4
// reference below splits its blocks at the changes); the VST 3 host gets
// them in blocks of kBlock, each at its sample.
const std::vector<Step> kPassage = {
    {17, 0x90, 60, 100, 0},   {300, 0x90, 64, 90, 0},       {500, 0, Veldane::kFilterCutoff, 0, 0.3},
    {500, 0x90, 67, 80, 0},   {777, 0, Veldane::kMasterVolume, 0, 0.6}, {900, 0xE0, 0x20, 0x5D, 0},
    {1024, 0, Veldane::kOsc2Volume, 0, 0.9}, {1029, 0x80, 60, 0, 0},   {1124, 0xB0, 64, 127, 0},
    {1424, 0x80, 64, 0, 0},   {1500, 0, Veldane::kOsc2Sync, 0, 1.0},   {1824, 0xB0, 64, 0, 0},
    {2047, 0, Veldane::kFilterCutoff, 0, 0.8}, {2100, 0x80, 67, 0, 0},
};
constexpr int kPassageFrames = 4 * kBlock;

// The VST 2.4 plug-in (linked in) plays the passage in the VST 3 host's
// blocks, each split where a parameter changes: the change is made before
// the stretch it starts, so it lands on the same sample.
std::vector<float> vst2Render(const std::vector<Step>& steps, int frames) {
    AEffect* e = VSTPluginMain([](AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return 0; });
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::vector<float> out(static_cast<std::size_t>(frames));
    int position = 0;
    std::size_t next = 0;
    while (position < frames) {
        while (next < steps.size() && steps[next].at == position && steps[next].status == 0) {
            e->setParameter(e, steps[next].data1, static_cast<float>(steps[next].value));
            ++next;
        }
        int end = std::min(frames, (position / kBlock + 1) * kBlock);
        MidiBlock midi;
        for (; next < steps.size() && steps[next].at < end; ++next) {
            if (steps[next].status == 0) {
                end = steps[next].at;
                break;
            }
            midi.add(steps[next].at - position, steps[next].status, steps[next].data1, steps[next].data2);
        }
        e->dispatcher(e, effProcessEvents, 0, 0, midi.events(), 0.0f);
        float* outs[1] = {out.data() + position};
        e->processReplacing(e, nullptr, outs, end - position);
        position = end;
    }
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    return out;
}

TEST_F(Vst3Module, NotesAndParameterPointsLandOnTheirSamples) {
    ASSERT_TRUE(instance.start(kRate, kBlock));
    void* raw = nullptr;
    ASSERT_EQ(instance.component->queryInterface(IMidiMapping::iid.bytes, &raw), kResultOk);
    auto* mapping = static_cast<IMidiMapping*>(raw);
    std::vector<float> out(kPassageFrames);
    for (int start = 0; start < kPassageFrames; start += kBlock) {
        EventList events;
        ParameterChanges changes;
        for (const Step& s : kPassage) {
            if (s.at < start || s.at >= start + kBlock) continue;
            const int32 offset = s.at - start;
            ParamID id = 0;
            if (s.status == 0) {
                // The VST 2.4 value as the VST 3 host's value of the same setting.
                Veldane::Parameters scratch;
                scratch.set(s.data1, static_cast<float>(s.value));
                changes.add(static_cast<ParamID>(s.data1), offset, hostValueOf(*scratch.at(s.data1)));
            } else if (s.status == 0x90) {
                events.noteOn(offset, s.data1, s.data2 / 127.0f);
            } else if (s.status == 0x80) {
                events.noteOff(offset, s.data1);
            } else {
                const bool bend = s.status == 0xE0;
                ASSERT_EQ(mapping->getMidiControllerAssignment(0, 0, bend ? kPitchBend : s.data1, id), kResultTrue);
                changes.add(id, offset, bend ? (s.data1 | s.data2 << 7) / 16383.0 : s.data2 / 127.0);
            }
        }
        ASSERT_EQ(instance.process(out.data() + start, kBlock, &events, &changes), kResultOk);
    }
    mapping->release();
    const std::vector<float> reference = vst2Render(kPassage, kPassageFrames);
    for (int i = 0; i < kPassageFrames; ++i) ASSERT_EQ(out[i], reference[i]) << "at sample " << i;
}

// The demo phrase through the bundle plays the samples every build plays.
TEST_F(Vst3Module, DemoPhraseGivesTheAcceptedSamples) {
    testhost::Script script;
    std::string error;
    ASSERT_TRUE(testhost::readScript(VELDANE_SOURCE_DIR "/tools/testhost/demo.txt", kRate, script, error)) << error;
    std::vector<float> out;
    ASSERT_TRUE(playScript(instance, script, kRate, 512, out, error)) << error;
    EXPECT_EQ(golden::checksum(out), golden::kDemoPhraseChecksum);
}

// --- State ---------------------------------------------------------------------------

TEST_F(Vst3Module, StateRoundTripsAndBadStatesChangeNothing) {
    IEditController* ec = instance.controller;
    ASSERT_EQ(ec->setParamNormalized(Veldane::kFilterCutoff, 0.25), kResultOk);
    ASSERT_EQ(ec->setParamNormalized(Veldane::kVoiceMode, 0.5), kResultOk); // Legato
    ASSERT_EQ(ec->setParamNormalized(Veldane::kOsc2Sync, 1.0), kResultOk);
    const std::vector<ParamValue> changed = values();
    const std::vector<std::uint8_t> saved = instance.saveState();
    ASSERT_FALSE(saved.empty());

    Instance fresh;
    std::string error;
    ASSERT_TRUE(fresh.open(bundleModule().factory, error)) << error;
    const std::vector<ParamValue> defaults = [&] {
        std::vector<ParamValue> v;
        for (ParamID id : fresh.parameterIds()) v.push_back(fresh.controller->getParamNormalized(id));
        return v;
    }();
    auto freshValues = [&] {
        std::vector<ParamValue> v;
        for (ParamID id : fresh.parameterIds()) v.push_back(fresh.controller->getParamNormalized(id));
        return v;
    };

    // Truncated at every length, a foreign magic, a newer version, a value
    // that is no number, a byte too many: each refused, nothing changed.
    std::vector<std::vector<std::uint8_t>> bad;
    for (std::size_t n = 0; n < saved.size(); n += 7) bad.emplace_back(saved.begin(), saved.begin() + n);
    bad.push_back(saved);
    bad.back()[0] = 'X';
    bad.push_back(saved);
    bad.back()[4] = 2;
    bad.push_back(saved);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(bad.back().data() + 12 + 8 * Veldane::kFilterCutoff + 4, &nan, sizeof nan);
    bad.push_back(saved);
    bad.back().push_back(0);
    for (const auto& state : bad) {
        EXPECT_FALSE(fresh.loadState(state)) << state.size() << " bytes";
        EXPECT_EQ(freshValues(), defaults);
    }
    EXPECT_EQ(fresh.component->setState(nullptr), kResultFalse);

    ASSERT_TRUE(fresh.loadState(saved));
    EXPECT_EQ(freshValues(), changed);
    EXPECT_EQ(fresh.saveState(), saved);
}

// --- Hostile and careless hosts ----------------------------------------------------------

TEST_F(Vst3Module, CallsInTheWrongStateAreRefused) {
    std::vector<float> out(64, 1.0f);
    // Processing before setActive: refused, and the buffer silenced.
    EXPECT_EQ(instance.process(out.data(), 64), kNotInitialized);
    for (float s : out) EXPECT_EQ(s, 0.0f);
    ProcessSetup bad[] = {{kRealtime, kSample32, 512, 0.0},
                          {kRealtime, kSample32, 512, -44100.0},
                          {kRealtime, kSample32, 512, std::numeric_limits<double>::quiet_NaN()},
                          {kRealtime, kSample32, 512, std::numeric_limits<double>::infinity()},
                          {kRealtime, kSample32, 0, 44100.0},
                          {kRealtime, 7, 512, 44100.0}};
    for (ProcessSetup& setup : bad) EXPECT_EQ(instance.processor->setupProcessing(setup), kInvalidArgument);
    ASSERT_TRUE(instance.start(kRate, 512));
    ProcessSetup during{kRealtime, kSample32, 512, 48000.0};
    EXPECT_EQ(instance.processor->setupProcessing(during), kResultFalse);
    instance.stop();

    // Interfaces no one has, null pointers, ids and indices out of range.
    void* object = &out;
    EXPECT_EQ(instance.component->queryInterface(kForeignIid.bytes, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(instance.component->queryInterface(IComponent::iid.bytes, nullptr), kInvalidArgument);
    IEditController* ec = instance.controller;
    ParameterInfo info{};
    EXPECT_EQ(ec->getParameterInfo(-1, info), kInvalidArgument);
    EXPECT_EQ(ec->getParameterInfo(kHostParamCount, info), kInvalidArgument);
    EXPECT_EQ(ec->getParamStringByValue(Veldane::kFilterQ, 0.5, nullptr), kInvalidArgument);
    EXPECT_EQ(ec->getParamStringByValue(999, 0.5, info.title), kInvalidArgument);
    ParamValue v = 0.25;
    EXPECT_EQ(ec->getParamValueByString(Veldane::kFilterQ, nullptr, v), kInvalidArgument);
    EXPECT_EQ(ec->setParamNormalized(Veldane::kFilterQ, std::numeric_limits<double>::quiet_NaN()), kInvalidArgument);
    EXPECT_EQ(ec->setParamNormalized(999, 0.5), kInvalidArgument);
    EXPECT_DOUBLE_EQ(ec->getParamNormalized(Veldane::kFilterQ), 0.0);
    EXPECT_EQ(ec->getParamNormalized(999), 0.0);
    EXPECT_EQ(ec->normalizedParamToPlain(999, 0.5), 0.0);

    // The host's handler is held while set and given back at terminate.
    ComponentHandler handler;
    EXPECT_EQ(ec->setComponentHandler(&handler), kResultOk);
    EXPECT_EQ(handler.extraReferences(), 1);
    instance.close();
    EXPECT_EQ(handler.extraReferences(), 0);
}

// Odd block sizes and rates, events outside their block, no output buffer,
// a call that only carries changes, double precision: finite output and the
// notes released.
TEST_F(Vst3Module, OddBlocksAndRatesPlayOn) {
    for (double rate : {8000.0, 22050.0, 96000.0, 192000.0}) {
        ASSERT_TRUE(instance.start(rate, 64)) << rate;
        for (int32 frames : {1, 3, 63, 64, 1000, 4097}) {
            EventList events;
            events.noteOn(-5, 60, 1.0f);
            events.noteOn(frames + 10, 67, 0.5f);
            events.noteOff(frames / 2, 61);
            ParameterChanges changes;
            changes.add(Veldane::kFilterCutoff, frames * 2, 0.4);
            changes.add(Veldane::kFilterCutoff, -3, 0.7);
            std::vector<float> out(static_cast<std::size_t>(frames));
            ASSERT_EQ(instance.process(out.data(), frames, &events, &changes), kResultOk);
            for (float s : out) ASSERT_TRUE(std::isfinite(s)) << rate << " " << frames;
        }
        EXPECT_EQ(instance.process(static_cast<float*>(nullptr), 128), kResultOk);
        ParameterChanges flush;
        flush.add(Veldane::kFilterQ, 0, 0.5);
        EXPECT_EQ(instance.process(static_cast<float*>(nullptr), 0, nullptr, &flush), kResultOk);
        EXPECT_DOUBLE_EQ(instance.controller->getParamNormalized(Veldane::kFilterQ), 0.5);
        std::vector<double> doubles(300);
        EXPECT_EQ(instance.process(doubles.data(), 300), kResultOk);
        for (double s : doubles) ASSERT_TRUE(std::isfinite(s));
        instance.stop();
    }
    // Every note let go: after long silence the output is silent.
    ASSERT_TRUE(instance.start(kRate, 512));
    EventList offs;
    for (int note : {60, 67}) offs.noteOff(0, note);
    std::vector<float> out(512);
    instance.process(out.data(), 512, &offs);
    for (int i = 0; i < 400; ++i) instance.process(out.data(), 512);
    for (float s : out) EXPECT_EQ(s, 0.0f);
}

} // namespace
