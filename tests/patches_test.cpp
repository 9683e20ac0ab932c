// Patch tables and the factory patches: every parameter reads back its own
// display text; a table is read through the parameters' classes and refused,
// with file and line, where a value would show differently; every factory
// patch survives the trip through a preset file, the build's preset files
// hold the table, and each patch passes the listening-free measures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "formats/file_bytes.h"
#include "tools/patches/patch_check.h"
#include "tools/patches/patch_files.h"

namespace {

using Veldane::Patch;

std::string shown(const Veldane::Parameters& params, int id)
{
    char text[zem::kParameterDisplayLength + 1];
    params.at(id)->getDisplay(text);
    return text;
}

const std::vector<Patch>& factory()
{
    EXPECT_FALSE(Veldane::factoryPatches().empty()) << Veldane::factoryTableError();
    return Veldane::factoryPatches();
}

TEST(ParameterText, EveryParameterReadsBackItsOwnDisplay)
{
    Veldane::Parameters params;
    for (int id = 0; id < Veldane::kParamCount; ++id) {
        const zem::Parameter& p = *params.at(id);
        for (float x : {0.0f, 0.013f, 0.5f, 0.77f, 1.0f}) {
            params.set(id, x);
            const std::string text = shown(params, id);
            for (const std::string& written : {text, text + " " + p.label}) {
                float n = -1.0f;
                ASSERT_TRUE(p.textToNormalized(written.c_str(), n)) << p.name << " \"" << written << '"';
                params.set(id, n);
                EXPECT_EQ(shown(params, id), text) << p.name << " \"" << written << '"';
            }
        }
    }
}

TEST(PatchTable, ListedValuesAsShownOthersAtTheirDefaults)
{
    const std::string text = "# two patches\n"
                             "patch: Deep Bass\n"
                             "category: Bass\n"
                             "Filter Cutoff = 1200 Hz   # a comment\n"
                             "osc2 waveform=Saw\n"
                             "Osc1 Volume = -oo\n"
                             "Voice Mode = Retrigger\n"
                             "\n"
                             "patch: Plain\n"
                             "category: Keys\n";
    std::vector<Patch> table;
    std::string error;
    ASSERT_TRUE(Veldane::parsePatchTable(text, "t.txt", table, error)) << error;
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[0].name, "Deep Bass");
    EXPECT_EQ(table[0].category, "Bass");
    EXPECT_EQ(table[0].line, 2);
    Veldane::Parameters defaults, params;
    for (int id = 0; id < Veldane::kParamCount; ++id)
        params.set(id, table[0].values[static_cast<std::size_t>(id)]);
    EXPECT_EQ(shown(params, Veldane::kFilterCutoff), "1200.0");
    EXPECT_EQ(shown(params, Veldane::kOsc2Waveform), "Saw");
    EXPECT_EQ(shown(params, Veldane::kOsc1Volume), "-oo");
    EXPECT_EQ(shown(params, Veldane::kVoiceMode), "Retrigge");
    for (int id : {Veldane::kFilterQ, Veldane::kAmpRelease, Veldane::kMasterVolume})
        EXPECT_EQ(table[0].values[static_cast<std::size_t>(id)], defaults.get(id)) << id;
    for (int id = 0; id < Veldane::kParamCount; ++id)
        EXPECT_EQ(table[1].values[static_cast<std::size_t>(id)], defaults.get(id)) << id;
}

TEST(PatchTable, RefusesWithFileAndLine)
{
    const std::string head = "patch: A\ncategory: Lead\n";
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {head + "Filter Cutoff = 1200.04 Hz\n",
         "t.txt:3: \"Filter Cutoff = 1200.04 Hz\": the plug-in shows this value as \"1200.0\""},
        {head + "Osc1 Volume = -36 dB\n", "t.txt:3: \"Osc1 Volume\" cannot be \"-36 dB\" (it takes -oo .. 0.0 dB)"},
        {head + "Filter Cutoff = 30000\n",
         "t.txt:3: \"Filter Cutoff\" cannot be \"30000\" (it takes 20.0 .. 22000.0 Hz)"},
        {head + "Osc2 Waveform = Sine\n", "(it takes one of \"Tri\", \"Rect\", \"Saw\")"},
        {head + "Cutoff = 100\n", "t.txt:3: Veldane has no parameter called \"Cutoff\""},
        {head + "Filter Cutoff 1200\n", "t.txt:3: expected \"PARAMETER = VALUE\""},
        {head + "Filter Q = 10\nFilter Q = 20\n", "t.txt:4: \"Filter Q\" is set twice in \"A\" (first on line 3)"},
        {head + "patch: a\ncategory: Pad\n", "t.txt:3: a second patch called \"a\" (the first is on line 1)"},
        {"patch: A\nFilter Q = 10\npatch: B\ncategory: Pad\n", "t.txt:1: the patch \"A\" has no \"category:\" line"},
        {head + "category: Pad\n", "t.txt:3: a second category"},
        {"patch: A name far too long for hosts\n", "t.txt:1: a patch name has 1 to 24 characters"},
        {"patch: Lead/Bass\n", "t.txt:1: a patch name holds only"},
        {"Filter Q = 10\n", "t.txt:1: expected \"patch: NAME\""},
    };
    for (const auto& c : cases) {
        std::vector<Patch> table;
        std::string error;
        EXPECT_FALSE(Veldane::parsePatchTable(c.text, "t.txt", table, error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << "got: " << error;
        EXPECT_TRUE(table.empty());
    }
}

TEST(FactoryPatches, CoverTheGroundAndRoundTripThroughPresetFiles)
{
    const std::vector<Patch>& table = factory();
    ASSERT_GE(table.size(), 32u);
    std::set<std::string> categories;
    std::set<int> voiceModes;
    bool sync = false, ring = false;
    Veldane::Parameters params;
    for (const Patch& patch : table) {
        categories.insert(patch.category);
        for (int id = 0; id < Veldane::kParamCount; ++id)
            params.set(id, patch.values[static_cast<std::size_t>(id)]);
        voiceModes.insert(params.voiceMode.value() == 3 ? 2 : params.voiceMode.value());
        sync = sync || params.osc2Sync.on();
        ring = ring || params.osc2Ringmod.on();
    }
    for (const char* c : {"Bass", "Lead", "Pad", "Pluck", "Keys", "Brass", "Strings", "Effects"})
        EXPECT_EQ(categories.count(c), 1u) << c;
    EXPECT_EQ(voiceModes.size(), 3u) << "retrigger, legato and poly patches";
    EXPECT_TRUE(sync && ring);

    // In memory, and as the build wrote them: the same names and values, bit
    // for bit; one program per patch and no bank (a host loading a bank into
    // a plug-in without programs keeps only its last patch).
    const formats::PresetOwner owner = patches::vstPresetOwner();
    std::vector<std::uint8_t> bytes;
    std::string error;
    std::set<std::string> expectedFiles;
    for (const Patch& patch : table) {
        const formats::Preset preset = patches::toPreset(patch);
        formats::Preset back;
        ASSERT_TRUE(formats::writeFxp(owner, preset, bytes, error)) << error;
        ASSERT_TRUE(formats::readFxp(bytes.data(), bytes.size(), owner, back, error)) << error;
        EXPECT_EQ(back.name, patch.name);
        EXPECT_EQ(back.values, preset.values) << patch.name;
        std::vector<std::uint8_t> built;
        ASSERT_TRUE(formats::readFileBytes(VELDANE_PRESETS_DIR "/" + patch.name + ".fxp", 4096, built, error)) << error;
        EXPECT_EQ(built, bytes) << patch.name;
        expectedFiles.insert(patch.name + ".fxp");
    }
    std::set<std::string> builtFiles;
    for (const auto& entry : std::filesystem::directory_iterator(VELDANE_PRESETS_DIR))
        if (entry.path().filename().string()[0] != '.') builtFiles.insert(entry.path().filename().string());
    EXPECT_EQ(builtFiles, expectedFiles);
}

// Judged without listening: one note of every patch speaks within a few dB of
// the others, eight voices at once stay below full scale, the output carries
// no DC offset and no patch is silent.
TEST(FactoryPatches, BalancedUnclippedWithoutOffset)
{
    constexpr double kLevelSpreadDb = 3.0; // from the median of all patches
    constexpr double kSilentBelowDb = -40.0;
    constexpr double kMaxDcDb = -40.0; // a constant offset of 1 % of full scale
    const std::vector<Patch>& table = factory();
    std::vector<patches::PatchMeasures> measures;
    std::vector<double> levels;
    for (const Patch& patch : table) {
        measures.push_back(patches::measurePatch(patch));
        levels.push_back(measures.back().noteLevelDb);
    }
    std::sort(levels.begin(), levels.end());
    const double median = levels[levels.size() / 2];
    for (std::size_t i = 0; i < table.size(); ++i) {
        const patches::PatchMeasures& m = measures[i];
        EXPECT_GT(m.noteLevelDb, kSilentBelowDb) << table[i].name;
        EXPECT_NEAR(m.noteLevelDb, median, kLevelSpreadDb) << table[i].name;
        EXPECT_LT(m.chordPeakDb, 0.0) << table[i].name;
        EXPECT_LT(m.noteDcDb, kMaxDcDb) << table[i].name;
    }
}

} // namespace
