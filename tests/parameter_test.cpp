#include "framework/parameter.h"
#include "framework/parameter_set.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <string>
#include <vector>

namespace {

using namespace zem;

std::string display(const Parameter& p)
{
    char text[kParameterDisplayLength + 1];
    p.getDisplay(text);
    return text;
}

const char* const kThree[] = {"Tri", "Rect", "Noise"};
const char* const kModes[] = {"Retrigger", "Legato", "Poly", "Poly"};

TEST(ParameterInt, MapsToNearestIntegerInSinglePrecision)
{
    struct Case {
        int min, max;
        float x;
        int expected;
    };
    const Case cases[] = {
        {-12, 12, 0.5f, 0},   {-12, 12, 0.52f, 0}, {-12, 12, 0.521f, 1}, {-12, 12, 0.0f, -12},
        {-12, 12, 1.0f, 12},  {0, 12, 0.5f, 6},    {0, 12, 1.0f, 12},
        // The full int range must neither overflow the span nor the conversion.
        {INT_MIN, INT_MAX, 0.0f, INT_MIN}, {INT_MIN, INT_MAX, 1.0f, INT_MAX},
    };
    for (const Case& c : cases) {
        ParameterInt p("Int", "", c.min, c.max, c.min);
        p.setNormalized(c.x);
        EXPECT_EQ(p.value(), c.expected) << c.min << ".." << c.max << " x=" << c.x;
    }
}

TEST(ParameterEnum, PicksEntryAndReportsOnlyRealChanges)
{
    struct Case {
        int count;
        float x;
        int entry;
    };
    const Case cases[] = {{3, 0.24f, 0}, {3, 0.25f, 1}, {3, 0.75f, 2}, {4, 0.5f, 2}, {4, 1.0f, 3}};
    for (const Case& c : cases) {
        ParameterEnum p("Enum", kModes, c.count);
        p.setNormalized(c.x);
        EXPECT_EQ(p.value(), c.entry) << c.count << " entries, x=" << c.x;
    }

    ParameterEnum p("Enum", kThree, 3);
    EXPECT_EQ(p.normalized(), 0.0f);
    EXPECT_TRUE(p.setNormalized(0.3f));
    EXPECT_FALSE(p.setNormalized(0.31f));
    EXPECT_FALSE(p.setNormalized(0.31f));
    // The host's exact value is kept even though the entry did not move.
    EXPECT_EQ(p.normalized(), 0.31f);
    EXPECT_EQ(display(p), "Rect");
}

TEST(ParameterSwitch, ThresholdAndDefault)
{
    ParameterSwitch s("Sw", false);
    EXPECT_FALSE(s.setNormalized(0.5f));
    EXPECT_FALSE(s.on());
    EXPECT_TRUE(s.setNormalized(0.5000001f));
    EXPECT_TRUE(s.on());
    EXPECT_FALSE(s.setNormalized(1.0f));

    ParameterSwitch def("Sw", true);
    EXPECT_EQ(def.normalized(), 1.0f);
    EXPECT_EQ(display(def), "On");
    def.setNormalized(0.0f);
    EXPECT_EQ(display(def), "Off");
}

// Texts between the points the host table shows at 0, 0.5 and 1: an
// enumeration's inner entry, the silent bottom of a gain control and the
// slope curve away from its middle.
TEST(ParameterDisplay, TextsBetweenTheEnds)
{
    ParameterEnum mode("Mode", kModes, 4);
    ParameterGain gain("Vol", -36.0, -6.0);
    ParameterFloatSlope delay("Delay", "ms", 0.0, 1000.0, 10000.0, 0.0);
    struct Case {
        Parameter* p;
        float x;
        const char* text;
    };
    const Case cases[] = {
        {&mode, 1.0f / 3.0f, "Legato"}, {&gain, 0.0009f, "-oo"},      {&gain, 0.001f, "-36.0"},
        {&delay, 0.25f, "250.0"},       {&delay, 0.75f, "3250.0"},
    };
    for (const Case& c : cases) {
        c.p->setNormalized(c.x);
        EXPECT_EQ(display(*c.p), c.text) << c.p->name << " x=" << c.x;
    }
}

TEST(ParameterFloat, SetValueRoundTripsThroughCurves)
{
    ParameterFloatSlope delay("Delay", "ms", 0.0, 1000.0, 10000.0, 0.0);
    delay.setValue(3250.0);
    EXPECT_NEAR(delay.normalized(), 0.75f, 1e-6f);
    ParameterFloatLog cutoff("Cutoff", "Hz", 20.0, 22000.0, 20.0);
    cutoff.setValue(663.3);
    EXPECT_NEAR(cutoff.normalized(), 0.5f, 1e-4f);
    ParameterPercent pct("P", 0.0);
    pct.setValue(25.0);
    EXPECT_EQ(pct.normalized(), 0.25f);
}

TEST(ParameterSafety, NamesAndLabelsAreCutNotOverflowed)
{
    const std::string longText(100, 'n');
    ParameterFloat p(longText.c_str(), longText.c_str(), 0.0, 1.0, 0.0);
    EXPECT_EQ(std::strlen(p.name), kParameterNameCapacity - 1);
    EXPECT_EQ(std::strlen(p.label), kParameterLabelCapacity - 1);
    ParameterSwitch nameless(nullptr, false);
    EXPECT_STREQ(nameless.name, "");
}

TEST(ParameterSafety, IntegerTypesStayInRangeForAnyInput)
{
    const float inputs[] = {-1.0f, 2.0f, 1.04f, -1e30f, 1e30f, std::numeric_limits<float>::max(),
                            -std::numeric_limits<float>::max()};
    for (float x : inputs) {
        ParameterInt p("I", "", -12, 12, 0);
        p.setNormalized(x);
        EXPECT_GE(p.value(), -12) << x;
        EXPECT_LE(p.value(), 12) << x;
        ParameterEnum e("E", kThree, 3);
        e.setNormalized(x);
        EXPECT_GE(e.value(), 0) << x;
        EXPECT_LE(e.value(), 2) << x;
        EXPECT_EQ(display(e), x < 0.0f ? "Tri" : "Noise") << x;
    }
    ParameterEnum empty("E", nullptr, 0);
    empty.setNormalized(1.0f);
    EXPECT_EQ(empty.value(), 0);
    EXPECT_EQ(display(empty), "");
}

TEST(ParameterSafety, NonFiniteWritesAreRefused)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    ParameterInt i("I", "", -12, 12, 3);
    ParameterSwitch s("S", true);
    ParameterFloat f("F", "", 0.0, 1.0, 0.25);
    ParameterFloatLog l("L", "Hz", 20.0, 22000.0, 20.0);
    ParameterFloatSlope sl("S", "ms", 1.0, 200.0, 10000.0, 1.0);
    Parameter* all[] = {&i, &s, &f, &l, &sl};
    for (Parameter* p : all) {
        for (float x : {nan, inf, -inf}) {
            const float before = p->normalized();
            EXPECT_FALSE(p->setNormalized(x)) << p->name;
            EXPECT_EQ(p->normalized(), before) << p->name;
        }
    }
    EXPECT_EQ(i.value(), 3);
    EXPECT_TRUE(s.on());
    // Finite inputs whose curve overflows would hand the engine infinity.
    EXPECT_FALSE(l.setNormalized(1e6f));
    EXPECT_EQ(l.value(), 20.0);
    f.setValue(std::nan(""));
    EXPECT_EQ(f.value(), 0.25);
    l.setValue(0.0); // no logarithm of 0
    EXPECT_EQ(l.value(), 20.0);
    EXPECT_TRUE(std::isfinite(l.normalized()));
}

TEST(ParameterSafety, DisplayNeverExceedsEightCharacters)
{
    ParameterInt wide("I", "", INT_MIN, INT_MAX, 0);
    ParameterFloatLog cutoff("Cutoff", "Hz", 20.0, 22000.0, 20.0);
    ParameterFloatSlope time("T", "ms", 0.0, 200.0, 10000.0, 0.0);
    ParameterGain gain("G", -36.0, 0.0);
    ParameterEnum mode("Mode", kModes, 4);
    Parameter* all[] = {&wide, &cutoff, &time, &gain, &mode};
    const float inputs[] = {0.0f, 1.0f, 1.5f, -3.0f, 8.0f, -1e30f, 1e30f};
    for (Parameter* p : all) {
        for (float x : inputs) {
            p->setNormalized(x);
            char text[64];
            std::memset(text, '#', sizeof(text));
            p->getDisplay(text);
            EXPECT_LE(std::strlen(text), kParameterDisplayLength) << p->name << " x=" << x;
            for (std::size_t k = kParameterDisplayLength + 1; k < sizeof(text); ++k) {
                ASSERT_EQ(text[k], '#') << p->name << " x=" << x;
            }
        }
    }
    cutoff.setNormalized(1.5f);
    EXPECT_EQ(display(cutoff).substr(0, 7), "729657.");
}

// A host in a decimal-comma locale must still read '.' and no grouping.
TEST(ParameterDisplay, IgnoresGlobalLocale)
{
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Comma));
    ParameterFloatLog cutoff("Cutoff", "Hz", 20.0, 22000.0, 22000.0);
    const std::string text = display(cutoff);
    std::locale::global(previous);
    EXPECT_EQ(text, "22000.0");
}

// Text to value: what each kind accepts (with or without its label, any case
// for words) and refuses (malformed, out of range, what the display cannot
// show); every accepted text lands on a value that displays as expected.
TEST(ParameterText, ReadsWhatTheDisplayShowsAndRefusesTheRest)
{
    ParameterFloatLog cutoff("Cutoff", "Hz", 20.0, 22000.0, 22000.0);
    ParameterFloatSlope attack("Attack", "ms", 1.0, 200.0, 10000.0, 1.0);
    ParameterGain gain("Gain", -36.0, -6.0);
    ParameterInt tune("Tune", "st", -12, 12, 0);
    ParameterEnum mode("Mode", kModes, 4);
    ParameterSwitch sw("Sw", false);
    struct Case {
        Parameter& p;
        const char* text;
        const char* shown; // nullptr: refused
    };
    const Case cases[] = {
        {cutoff, "1200 Hz", "1200.0"}, {cutoff, " 1200hz ", "1200.0"}, {cutoff, "663.3", "663.3"},
        {cutoff, "20", "20.0"},        {cutoff, "22000 Hz", "22000.0"}, {cutoff, "25000", nullptr},
        {cutoff, "1200 kHz", nullptr}, {cutoff, "", nullptr},           {cutoff, "nan", nullptr},
        {cutoff, "inf", nullptr},      {cutoff, "1,5", nullptr},        {cutoff, "+100", nullptr},
        {attack, "5 ms", "5.0"},       {attack, "10000", "10000.0"},    {attack, "0.5", nullptr},
        {gain, "-oo", "-oo"},          {gain, "-oo dB", "-oo"},         {gain, "-6 dB", "-6.0"},
        {gain, "0", "0.0"},            {gain, "-36", nullptr},          {gain, "1", nullptr},
        {tune, "-12 st", "-12"},       {tune, "3", "3"},                {tune, "3.5", nullptr},
        {tune, "13", nullptr},         {mode, "Legato", "Legato"},      {mode, "retrigge", "Retrigge"},
        {mode, "Retrigger", "Retrigge"}, {mode, "POLY", "Poly"},        {mode, "Mono", nullptr},
        {sw, "on", "On"},              {sw, "Off", "Off"},              {sw, "1", nullptr},
    };
    for (const Case& c : cases) {
        float n = -1.0f;
        EXPECT_EQ(c.p.textToNormalized(c.text, n), c.shown != nullptr) << c.p.name << " \"" << c.text << '"';
        if (c.shown == nullptr) {
            EXPECT_EQ(n, -1.0f) << "a refused text leaves the value alone";
            continue;
        }
        ASSERT_GE(n, 0.0f);
        ASSERT_LE(n, 1.0f);
        c.p.setNormalized(n);
        EXPECT_EQ(display(c.p), c.shown) << c.p.name << " \"" << c.text << '"';
    }
    float n = 0.0f;
    EXPECT_FALSE(cutoff.textToNormalized(nullptr, n));
    ASSERT_TRUE(mode.textToNormalized("Poly", n));
    EXPECT_EQ(n, mode.normalizedOf(2)) << "the first of two equal entries";
}

TEST(ParameterFloatSlope, DegenerateMidFallsBackToLine)
{
    ParameterFloatSlope p("S", "ms", 0.0, 5000.0, 10000.0, 2500.0);
    EXPECT_EQ(p.normalized(), 0.25f);
    p.setNormalized(0.5f);
    EXPECT_DOUBLE_EQ(p.value(), 5000.0);
    EXPECT_TRUE(std::isfinite(p.curveBase) && std::isfinite(p.curveScale) && std::isfinite(p.curveOffset));
    ParameterFloatSlope same("S", "ms", 100.0, 100.0, 10000.0, 100.0);
    same.setNormalized(1.0f);
    EXPECT_DOUBLE_EQ(same.value(), 10000.0);
}

// The set marks what moved for the audio thread, once per index however
// often it moved, and an editor's touch even when nothing did.
TEST(ParameterSet, ChangesWaitForTheConsumerOncePerIndex)
{
    ParameterSet<3> set;
    ParameterSet<3>::Param<ParameterFloat> level{set, 0, "Level", "", 0.0, 1.0, 0.5};
    ParameterSet<3>::Param<ParameterEnum> shape{set, 1, "Shape", kThree, 3};
    EXPECT_FALSE(set.complete());
    ParameterSet<3>::Param<ParameterSwitch> gate{set, 2, "Gate", false};
    EXPECT_TRUE(set.complete());

    std::vector<int> applied;
    const auto take = [&] {
        applied.clear();
        set.applyChanges([&](int i) { applied.push_back(i); });
        return applied;
    };
    EXPECT_TRUE(take().empty()) << "defaults are not changes";
    EXPECT_TRUE(set.set(2, 1.0f));
    EXPECT_TRUE(set.set(0, 0.25f));
    EXPECT_TRUE(set.set(0, 0.75f));
    EXPECT_FALSE(set.set(1, 0.1f)) << "still the first entry";
    EXPECT_FALSE(set.set(0, std::numeric_limits<float>::infinity()));
    EXPECT_FALSE(set.set(3, 0.5f));
    EXPECT_FALSE(set.set(-1, 0.5f));
    EXPECT_EQ(set.get(0), 0.75f);
    EXPECT_EQ(set.get(3), 0.0f);
    EXPECT_EQ(set.at(3), nullptr);
    EXPECT_EQ(take(), (std::vector<int>{0, 2}));
    EXPECT_TRUE(take().empty());
    set.touch(1);
    set.touch(9);
    EXPECT_EQ(take(), (std::vector<int>{1}));
}

} // namespace
