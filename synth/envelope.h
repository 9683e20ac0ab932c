#pragma once
// Exponential ADSR envelope, stepped once per output sample. Every segment
// aims beyond its end value (attack at 1.3, decay at 0.99 x sustain, release
// at -0.01), so it reaches the end in finite time, snaps to it and changes
// stage; the sample that ends a stage already returns the end value.
#include <cstdint>

namespace Veldane {

class Envelope {
public:
    enum class Stage : std::int32_t { Idle = 0, Attack = 1, Decay = 2, Sustain = 3, Release = 4 };

    // Aim points beyond each segment's end; see the class comment.
    static constexpr double kAttackAim = 1.3;
    static constexpr double kDecayAimFactor = 0.99;
    static constexpr double kReleaseAim = -0.01;

    double level = 0.0;             // current value, 0..1
    Stage stage = Stage::Idle;
    double attackCoef = 1.0;        // one-pole coefficient per sample; 1 = instant
    double decayCoef = 1.0;         // one-pole coefficient per sample; 1 = instant
    double releaseCoef = 1.0;       // one-pole coefficient per sample; 1 = instant
    double sustain = 1.0;           // sustain level, 0..1

    // Coefficient of an attack that rises from 0 to 1 in about `samples` samples.
    static double attackCoefficient(double samples);
    // Coefficient of a decay or release whose remaining distance to its aim
    // point falls to a tenth in about `samples` samples.
    static double decayCoefficient(double samples);

    // Attack from the current level (no reset: a retrigger continues smoothly).
    void trigger() { stage = Stage::Attack; }
    // Release from the current level; an idle envelope stays idle.
    void release()
    {
        if (stage != Stage::Idle) stage = Stage::Release;
    }
    bool isIdle() const { return stage == Stage::Idle; }
    // Silent and idle at once, as a new envelope (settings stay).
    void reset()
    {
        stage = Stage::Idle;
        level = 0.0;
    }

    // One sample: advances the level and returns the envelope's value. In the
    // sustain stage the value follows the sustain setting live while the level
    // keeps the value at which the decay ended (a release starts from there).
    double step()
    {
        switch (stage) {
        case Stage::Attack:
            level = (kAttackAim - level) * attackCoef + level;
            if (level >= 1.0) {
                level = 1.0;
                stage = Stage::Decay;
            }
            return level;
        case Stage::Decay:
            level = (sustain * kDecayAimFactor - level) * decayCoef + level;
            if (sustain >= level) {
                level = sustain;
                stage = Stage::Sustain;
            }
            return level;
        case Stage::Sustain:
            return sustain;
        case Stage::Release:
            level = (kReleaseAim - level) * releaseCoef + level;
            if (level <= 0.0) {
                level = 0.0;
                stage = Stage::Idle;
            }
            return level;
        case Stage::Idle:
        default:
            return 0.0;
        }
    }
};

} // namespace Veldane
