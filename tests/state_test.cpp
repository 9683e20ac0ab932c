// The saved state: a round trip gives every value back bit for bit, and a
// record that is truncated, foreign, newer or corrupt changes nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "synth/state.h"

namespace {

using namespace Veldane;

std::vector<float> valuesOf(const Parameters& p) {
    std::vector<float> v;
    for (int id = 0; id < kParamCount; ++id) v.push_back(p.get(id));
    return v;
}

void putFloat(std::vector<std::uint8_t>& state, std::size_t at, float value) {
    std::memcpy(state.data() + at, &value, sizeof value); // the tests run on little-endian machines only
}

TEST(State, RoundTripGivesEveryValueBackExactly) {
    Parameters from;
    from.set(kFilterCutoff, 0.123456f);
    from.set(kVoiceMode, 0.9f);
    from.set(kOsc2Sync, 1.0f);
    from.set(kMasterVolume, 1.5f); // outside 0..1, as a host may store it: kept as given
    const std::vector<std::uint8_t> state = saveState(from);
    Parameters to;
    std::string error;
    ASSERT_TRUE(loadState(state.data(), state.size(), to, error)) << error;
    EXPECT_EQ(valuesOf(to), valuesOf(from));
}

TEST(State, BadRecordsChangeNothing) {
    Parameters source;
    source.set(kFilterQ, 0.7f);
    const std::vector<std::uint8_t> good = saveState(source);
    const std::size_t firstValue = 12 + 4;

    std::vector<std::vector<std::uint8_t>> bad;
    bad.push_back({});
    bad.emplace_back(good.begin(), good.end() - 1);         // truncated
    bad.emplace_back(good.begin(), good.begin() + 11);      // not even a header
    bad.push_back(good), bad.back()[0] = 'X';               // foreign
    bad.push_back(good), bad.back()[4] = 2;                 // a newer version
    bad.push_back(good), bad.back()[8] = 200;               // count beyond the data
    bad.push_back(good), putFloat(bad.back(), firstValue, std::numeric_limits<float>::quiet_NaN());
    bad.push_back(good), putFloat(bad.back(), firstValue, std::numeric_limits<float>::infinity());
    bad.push_back(good), bad.back()[12 + 8] = 0;            // id 0 twice
    for (std::size_t i = 0; i < bad.size(); ++i) {
        Parameters target;
        target.set(kFilterCutoff, 0.25f);
        const std::vector<float> before = valuesOf(target);
        std::string error;
        EXPECT_FALSE(loadState(bad[i].data(), bad[i].size(), target, error)) << i;
        EXPECT_FALSE(error.empty()) << i;
        EXPECT_EQ(valuesOf(target), before) << i;
    }
}

// A record from a later version with more parameters still loads the ones
// this version has.
TEST(State, IdsOfALaterVersionAreSkipped) {
    Parameters source;
    source.set(kGlideTime, 0.4f);
    std::vector<std::uint8_t> state = saveState(source);
    const std::uint8_t extra[8] = {0xE8, 0x03, 0, 0, 0, 0, 0x80, 0x3F}; // id 1000, 1.0f
    state.insert(state.end(), extra, extra + 8);
    state[8] = static_cast<std::uint8_t>(kParamCount + 1);
    Parameters target;
    std::string error;
    ASSERT_TRUE(loadState(state.data(), state.size(), target, error)) << error;
    EXPECT_EQ(target.get(kGlideTime), 0.4f);
}

} // namespace
