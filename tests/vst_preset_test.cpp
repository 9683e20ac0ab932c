// VST 2.4 preset files: the bytes written against the published layout, round
// trips of programs and banks, and every kind of bad file or bad preset
// refused with its reason and without output. Also the whole-file helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "formats/file_bytes.h"
#include "formats/vst_preset.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using formats::Preset;

const formats::PresetOwner kOwner{0x54737431 /* 'Tst1' */, 7, 3};

Bytes writeFxp(const Preset& preset, const formats::PresetOwner& owner = kOwner)
{
    Bytes file;
    std::string error;
    EXPECT_TRUE(formats::writeFxp(owner, preset, file, error)) << error;
    return file;
}
Bytes writeFxb(const std::vector<Preset>& presets, const formats::PresetOwner& owner = kOwner)
{
    Bytes file;
    std::string error;
    EXPECT_TRUE(formats::writeFxb(owner, presets, file, error)) << error;
    return file;
}

void putU32(Bytes& file, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        file[offset + i] = std::uint8_t(value >> (24 - 8 * i));
}
void putFloat(Bytes& file, std::size_t offset, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putU32(file, offset, bits);
}

// Offsets in a program record (and so in an .fxp file).
constexpr std::size_t kKind = 8, kFormatVersion = 12, kId = 16, kCount = 24, kName = 28, kValues = 56;
// Size of a bank's header, where its first program starts.
constexpr std::size_t kBankHeader = 156;

TEST(VstPreset, ProgramBytesFollowThePublishedLayout)
{
    // clang-format off
    const Bytes expected = {
        'C', 'c', 'n', 'K', 0, 0, 0, 60, // 48 header bytes after the size, 12 of values
        'F', 'x', 'C', 'k', 0, 0, 0, 1, 'T', 's', 't', '1', 0, 0, 0, 7, 0, 0, 0, 3,
        'W', 'a', 'r', 'm', ' ', 'P', 'a', 'd', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x3F, 0x00, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // 0.5, 1, 0
    };
    // clang-format on
    EXPECT_EQ(writeFxp({"Warm Pad", {0.5f, 1.0f, 0.0f}}), expected);

    const Bytes bank = writeFxb({{"A", {0, 0, 0}}, {"B", {1, 1, 1}}});
    ASSERT_EQ(bank.size(), kBankHeader + 2 * expected.size());
    // clang-format off
    const Bytes bankHeader = {'C', 'c', 'n', 'K', 0, 0, 0x01, 0x1C, // 148 header bytes after the size, 2 x 68 of programs
                              'F', 'x', 'B', 'k', 0, 0, 0, 1, 'T', 's', 't', '1', 0, 0, 0, 7, 0, 0, 0, 2};
    // clang-format on
    EXPECT_TRUE(std::equal(bankHeader.begin(), bankHeader.end(), bank.begin()));
    EXPECT_TRUE(std::all_of(bank.begin() + 28, bank.begin() + kBankHeader, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(Bytes(bank.begin() + kBankHeader, bank.begin() + kBankHeader + expected.size()),
              writeFxp({"A", {0, 0, 0}}));
}

TEST(VstPreset, ProgramsAndBanksReadBackAsWritten)
{
    std::mt19937 random(16);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    const formats::PresetOwner owner{0x7A516B74, 1, 39};
    std::vector<Preset> presets;
    for (const char* name : {"", "Bass", "Twenty-four characters!!", "~ ^_^ ~"}) {
        Preset preset{name, {}};
        for (std::size_t i = 0; i < owner.parameterCount; ++i)
            preset.values.push_back(value(random));
        preset.values[0] = 0.0f;
        preset.values[1] = 1.0f;
        presets.push_back(preset);

        const Bytes file = writeFxp(preset, owner);
        Preset read;
        std::string error;
        ASSERT_TRUE(formats::readFxp(file.data(), file.size(), owner, read, error)) << error;
        EXPECT_EQ(read.name, preset.name);
        EXPECT_EQ(read.values, preset.values);
    }
    const Bytes bank = writeFxb(presets, owner);
    std::vector<Preset> read;
    std::string error;
    ASSERT_TRUE(formats::readFxb(bank.data(), bank.size(), owner, read, error)) << error;
    ASSERT_EQ(read.size(), presets.size());
    for (std::size_t i = 0; i < presets.size(); ++i) {
        EXPECT_EQ(read[i].name, presets[i].name);
        EXPECT_EQ(read[i].values, presets[i].values);
    }
}

TEST(VstPreset, FilesOfOtherWritersAreRead)
{
    // A name that fills the whole field without a terminating zero, another
    // plug-in version, a byte size that doesn't add up, bytes after the record.
    Bytes file = writeFxp({"", {0.25f, 0.5f, 0.75f}}, {kOwner.uniqueId, 99, 3});
    std::fill(file.begin() + kName, file.begin() + kValues, 'x');
    putU32(file, 4, 12345);
    file.push_back(0);
    Preset preset;
    std::string error;
    ASSERT_TRUE(formats::readFxp(file.data(), file.size(), kOwner, preset, error)) << error;
    EXPECT_EQ(preset.name, std::string(28, 'x'));
    EXPECT_EQ(preset.values, (std::vector<float>{0.25f, 0.5f, 0.75f}));

    // A version 2 bank naming its current program.
    Bytes bank = writeFxb({{"A", {0, 0, 0}}, {"B", {1, 1, 1}}});
    putU32(bank, kFormatVersion, 2);
    putU32(bank, 28, 1);
    std::vector<Preset> presets;
    ASSERT_TRUE(formats::readFxb(bank.data(), bank.size(), kOwner, presets, error)) << error;
    EXPECT_EQ(presets.size(), 2u);
}

struct BadFile {
    const char* what;
    Bytes file;
    const char* error; // part of the message
};

TEST(VstPreset, BadProgramFilesAreRefusedWithTheReason)
{
    const Bytes good = writeFxp({"Good", {0.1f, 0.2f, 0.3f}});
    auto with = [&](std::size_t offset, std::uint32_t value) {
        Bytes file = good;
        putU32(file, offset, value);
        return file;
    };
    auto withValue = [&](float value) {
        Bytes file = good;
        putFloat(file, kValues + 4, value);
        return file;
    };
    std::vector<BadFile> cases = {
        {"not a preset", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6}, "not a VST preset file"},
        {"a bank", writeFxb({{"A", {0, 0, 0}}}), "is a bank"},
        {"an opaque chunk", with(kKind, 0x46504368 /* 'FPCh' */), "opaque chunk"},
        {"an unknown kind", with(kKind, 0x46784378 /* 'FxCx' */), "unknown kind of record 'FxCx'"},
        {"format version 0", with(kFormatVersion, 0), "unknown format version 0"},
        {"format version 2", with(kFormatVersion, 2), "unknown format version 2"},
        {"another plug-in", with(kId, 0x41626364), "another plug-in (ID 'Abcd', not 'Tst1')"},
        {"another plug-in, unprintable ID", with(kId, 0x00000001), "ID 0x1"},
        {"fewer parameters", with(kCount, 2), "has 2 parameters, the plug-in 3"},
        {"more parameters", with(kCount, 0xFFFFFFFF), "has 4294967295 parameters"},
        {"not a number", withValue(std::numeric_limits<float>::quiet_NaN()), "parameter 2 is not a finite number"},
        {"infinite", withValue(-std::numeric_limits<float>::infinity()), "parameter 2 is not a finite number"},
        {"above 1", withValue(1.5f), "parameter 2 is 1.5, outside 0..1"},
        {"below 0", withValue(-0.25f), "parameter 2 is -0.25, outside 0..1"},
    };
    for (std::size_t length = 0; length < good.size(); ++length)
        cases.push_back({"cut short", Bytes(good.begin(), good.begin() + length), "cut short"});
    for (const BadFile& c : cases) {
        Preset preset{"untouched", {}};
        std::string error;
        EXPECT_FALSE(formats::readFxp(c.file.data(), c.file.size(), kOwner, preset, error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << " (" << c.file.size() << " bytes): " << error;
        EXPECT_EQ(preset.name, "untouched") << c.what;
    }
}

TEST(VstPreset, BadBanksAreRefusedWhole)
{
    const Bytes good = writeFxb({{"A", {0, 0, 0}}, {"B", {1, 1, 1}}});
    const std::size_t second = kBankHeader + kValues + 12;
    auto with = [&](std::size_t offset, std::uint32_t value) {
        Bytes file = good;
        putU32(file, offset, value);
        return file;
    };
    std::vector<BadFile> cases = {
        {"a program", writeFxp({"A", {0, 0, 0}}), "is a single program"},
        {"an opaque chunk", with(kKind, 0x46424368 /* 'FBCh' */), "opaque chunk"},
        {"format version 3", with(kFormatVersion, 3), "unknown format version 3"},
        {"another plug-in", with(kId, 0x41626364), "another plug-in"},
        {"more programs than held", with(kCount, 3), "declares 3 programs, the file holds 2"},
        {"absurd program count", with(kCount, 0xFFFFFFFF), "declares 4294967295 programs"},
        {"second program of another plug-in", with(second + kId, 0x41626364), "program 2: the preset is for another"},
        {"second program not finite", with(second + kValues, 0x7F800000), "program 2: parameter 1 is not a finite"},
        {"second program a bank", with(second + kKind, 0x4678426B /* 'FxBk' */), "program 2: the file is a bank"},
    };
    for (std::size_t length = 0; length < good.size(); ++length)
        cases.push_back({"cut short", Bytes(good.begin(), good.begin() + length), "cut short"});
    for (const BadFile& c : cases) {
        std::vector<Preset> presets(1);
        std::string error;
        EXPECT_FALSE(formats::readFxb(c.file.data(), c.file.size(), kOwner, presets, error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << " (" << c.file.size() << " bytes): " << error;
        EXPECT_EQ(presets.size(), 1u) << c.what;
    }
}

TEST(VstPreset, PresetsAFileCouldNotHoldAreNotWritten)
{
    const struct {
        const char* what;
        Preset preset;
        const char* error;
    } cases[] = {
        {"name of 25 characters", {std::string(25, 'a'), {0, 0, 0}}, "longer than 24 characters"},
        {"control character", {"Tab\there", {0, 0, 0}}, "not printable ASCII"},
        {"byte above ASCII", {"Caf\xC3\xA9", {0, 0, 0}}, "not printable ASCII"},
        {"too few values", {"A", {0, 0}}, "has 2 values, the plug-in 3 parameters"},
        {"not a number", {"A", {0, std::nanf(""), 0}}, "parameter 2 is not a finite number"},
        {"above 1", {"A", {0, 0, 1.0001f}}, "outside 0..1"},
    };
    for (const auto& c : cases) {
        Bytes file{1, 2, 3};
        std::string error;
        EXPECT_FALSE(formats::writeFxp(kOwner, c.preset, file, error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_FALSE(formats::writeFxb(kOwner, {{"Fine", {0, 0, 0}}, c.preset}, file, error)) << c.what;
        EXPECT_TRUE(error.find("program 2: ") == 0 && error.find(c.error) != std::string::npos)
            << c.what << ": " << error;
        EXPECT_EQ(file, (Bytes{1, 2, 3})) << c.what;
    }
}

TEST(FileBytes, WholeFilesInAndOut)
{
    const std::string path = testing::TempDir() + "veldane_file_bytes_test.bin";
    const Bytes content = writeFxp({"On disk", {0.5f, 0.5f, 0.5f}});
    std::string error;
    ASSERT_TRUE(formats::writeFileBytes(path, content, error)) << error;
    Bytes read;
    ASSERT_TRUE(formats::readFileBytes(path, content.size(), read, error)) << error;
    EXPECT_EQ(read, content);

    Bytes untouched{9};
    EXPECT_FALSE(formats::readFileBytes(path, content.size() - 1, untouched, error));
    EXPECT_NE(error.find("larger than"), std::string::npos) << error;
    std::remove(path.c_str());
    EXPECT_FALSE(formats::readFileBytes(path, 1000, untouched, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    EXPECT_EQ(untouched, Bytes{9});

    const std::string nowhere = testing::TempDir() + "no_such_folder/x.fxp";
    EXPECT_FALSE(formats::writeFileBytes(nowhere, content, error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

} // namespace
