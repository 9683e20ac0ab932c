#include <gtest/gtest.h>

#include "synth/envelope.h"

using Veldane::Envelope;
using Stage = Veldane::Envelope::Stage;

namespace {

// Steps until the stage changes; returns the number of steps taken.
int stepsUntilStageChanges(Envelope& env, int limit)
{
    const Stage start = env.stage;
    int n = 0;
    while (env.stage == start && n < limit) {
        env.step();
        ++n;
    }
    return n;
}

} // namespace

TEST(Envelope, AttackReachesOneInAboutTheRequestedSamples)
{
    for (double samples : {10.0, 100.0, 1000.0, 44100.0}) {
        Envelope env;
        env.attackCoef = Envelope::attackCoefficient(samples);
        env.sustain = 0.5;
        env.trigger();
        const int n = stepsUntilStageChanges(env, 1000000);
        EXPECT_NEAR(n, samples, samples * 0.02 + 2.0) << "attack of " << samples;
        EXPECT_EQ(env.stage, Stage::Decay);
        EXPECT_EQ(env.level, 1.0);  // the step that ends the attack lands exactly on 1
    }
}

TEST(Envelope, DecayAndReleaseFallToATenthOfTheDistanceInAboutTheRequestedSamples)
{
    for (double samples : {100.0, 1000.0, 20000.0}) {
        const double coef = Envelope::decayCoefficient(samples);
        const int n = static_cast<int>(samples);

        Envelope decay;
        decay.decayCoef = coef;
        decay.sustain = 0.5;
        decay.level = 1.0;
        decay.stage = Stage::Decay;
        const double aim = 0.5 * 0.99;
        for (int i = 0; i < n; ++i) decay.step();
        EXPECT_NEAR((decay.level - aim) / (1.0 - aim), 0.1, 0.01) << "decay of " << samples;

        Envelope release;
        release.releaseCoef = coef;
        release.level = 0.8;
        release.stage = Stage::Release;
        for (int i = 0; i < n; ++i) release.step();
        EXPECT_NEAR((release.level + 0.01) / 0.81, 0.1, 0.01) << "release of " << samples;
    }
}

TEST(Envelope, FullCycleThroughEveryStage)
{
    Envelope env;
    env.attackCoef = Envelope::attackCoefficient(50);
    env.decayCoef = Envelope::decayCoefficient(50);
    env.releaseCoef = Envelope::decayCoefficient(50);
    env.sustain = 0.3;
    EXPECT_EQ(env.step(), 0.0);  // idle returns 0 and stays idle
    EXPECT_EQ(env.stage, Stage::Idle);

    env.trigger();
    double previous = 0.0;
    while (env.stage == Stage::Attack) {
        const double v = env.step();
        EXPECT_GT(v, previous);
        previous = v;
    }
    EXPECT_EQ(previous, 1.0);
    while (env.stage == Stage::Decay) {
        const double v = env.step();
        EXPECT_LE(v, previous);
        EXPECT_GE(v, 0.3);
        previous = v;
    }
    EXPECT_EQ(env.stage, Stage::Sustain);
    EXPECT_EQ(previous, 0.3);  // the step that ends the decay returns the sustain level
    EXPECT_EQ(env.step(), 0.3);

    env.release();
    int steps = 0;
    while (env.stage == Stage::Release && steps < 100000) {
        const double v = env.step();
        EXPECT_GE(v, 0.0);
        ++steps;
    }
    EXPECT_EQ(env.stage, Stage::Idle);
    EXPECT_EQ(env.level, 0.0);
    env.release();  // an idle envelope stays idle
    EXPECT_EQ(env.stage, Stage::Idle);
}

TEST(Envelope, SustainExtremes)
{
    // Sustain 1: the decay ends on its first step at 1.
    Envelope full;
    full.decayCoef = Envelope::decayCoefficient(1000);
    full.sustain = 1.0;
    full.trigger();
    full.step();  // time 0 attack: straight to 1
    ASSERT_EQ(full.stage, Stage::Decay);
    EXPECT_EQ(full.step(), 1.0);
    EXPECT_EQ(full.stage, Stage::Sustain);

    // Sustain 0: the decay approaches 0 from above and never undershoots.
    Envelope none;
    none.decayCoef = Envelope::decayCoefficient(100);
    none.sustain = 0.0;
    none.trigger();
    none.step();
    double v = 1.0;
    for (int i = 0; i < 600; ++i) {
        v = none.step();
        ASSERT_GE(v, 0.0);
    }
    EXPECT_LT(v, 1e-5);
    EXPECT_NE(none.stage, Stage::Idle);  // held notes keep the voice alive
}

TEST(Envelope, SustainFollowsTheSettingLiveButReleaseStartsFromTheStoredLevel)
{
    Envelope env;
    env.sustain = 0.6;
    env.trigger();
    env.step();
    env.step();
    ASSERT_EQ(env.stage, Stage::Sustain);
    env.sustain = 0.2;
    EXPECT_EQ(env.step(), 0.2);
    env.releaseCoef = Envelope::decayCoefficient(1000);
    env.release();
    const double first = env.step();
    EXPECT_GT(first, 0.59);  // jumps back up to the level where the decay ended
    EXPECT_LT(first, 0.6);
}

TEST(Envelope, RetriggerContinuesFromTheCurrentLevel)
{
    Envelope env;
    env.attackCoef = Envelope::attackCoefficient(100);
    env.releaseCoef = Envelope::decayCoefficient(100);
    env.level = 0.4;
    env.stage = Stage::Release;
    env.step();
    const double released = env.level;
    env.trigger();
    EXPECT_EQ(env.stage, Stage::Attack);
    EXPECT_GT(env.step(), released);
}

TEST(Envelope, ZeroTimesCompleteEachStageInOneStep)
{
    Envelope env;
    env.attackCoef = Envelope::attackCoefficient(0.0);
    env.decayCoef = Envelope::decayCoefficient(0.0);
    env.releaseCoef = Envelope::decayCoefficient(0.0);
    env.sustain = 0.5;
    env.trigger();
    EXPECT_EQ(env.step(), 1.0);
    EXPECT_EQ(env.step(), 0.5);
    EXPECT_EQ(env.stage, Stage::Sustain);
    env.release();
    EXPECT_EQ(env.step(), 0.0);
    EXPECT_EQ(env.stage, Stage::Idle);
}
