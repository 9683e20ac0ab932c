// Parameter changes as the engine receives them, observed through the host's
// calls (setParameter, effProcessEvents, the audio callbacks) and, where the
// editor's path matters, through parameterChanged itself: units, the silent
// bottom of the gain controls, the voice-mode switch and the monophonic modes
// as the whole plug-in plays them, and time settings across sample rates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "synth/random.h"
#include "tests/host_side.h"
#include "tests/hosted_plugin.h"
#include "tests/measure.h"

namespace {

using namespace Veldane;
using Stage = Veldane::Envelope::Stage;

constexpr float kRate = 44100.0f;
constexpr int kBlock = host::kBlock;
constexpr double kOctavesPerSemitone = 1.0 / 12.0;
// Enumeration positions of Voice Mode: entries 0..3 spread over 0..1.
constexpr float kRetrigger = 0.0f;
constexpr float kLegato = 1.0f / 3.0f;
constexpr float kPoly = 2.0f / 3.0f;
constexpr float kPolyToo = 1.0f;

// One plug-in instance as a host drives it, with a view of its engine. Every
// parameter write is followed by a processing call of no frames, so that the
// engine has taken it when the test looks.
class Instance : public host::Driver {
public:
    explicit Instance(float rate = kRate) : host::Driver(VSTPluginMain(&CountingHost::callback)), rate(rate) {
        plugin = pluginOf(effect);
        if (rate != kRate) dispatch(effSetSampleRate, 0, nullptr, rate);
    }
    ~Instance() { closeInstance(effect); }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    Veldane::Engine& engine() { return plugin->synth.engine; }
    Veldane::Voice& voice(int i) { return plugin->synth.engine.voices[i]; }

    void set(int index, float normalized) {
        host::Driver::set(index, normalized);
        settle();
    }
    // The editor's write of a plain value: the parameter stores it and the
    // engine takes it whether or not it moved.
    void setValue(int index, double value) {
        dynamic_cast<zem::ParameterFloat&>(*plugin->synth.params.at(index)).setValue(value);
        touch(index);
    }
    // An edit that leaves the value where it was still reaches the engine.
    void touch(int index) {
        plugin->synth.params.touch(index);
        settle();
    }
    void settle() {
        float* outs[1] = {nullptr};
        effect->processReplacing(effect, nullptr, outs, 0);
    }

    int ms(double milliseconds) const { return static_cast<int>(std::lround(milliseconds * 0.001 * rate)); }

    int activeVoices() {
        int count = 0;
        for (const Veldane::Voice& v : engine().voices) count += v.isActive() ? 1 : 0;
        return count;
    }

    Veldane::Plugin* plugin = nullptr;
    float rate;
};

using measure::rms;

// ---- Gains -------------------------------------------------------------------

TEST(RoutingGains, BottomOfEveryGainControlIsExactSilenceAndTheTopIsUnity) {
    struct Case {
        int index;
        double (*gain)(Veldane::Engine&); // the control's factor, without fixed scaling
    } cases[] = {
        {kOsc1Volume, [](Veldane::Engine& e) { return e.osc1Gain; }},
        {kOsc2Volume, [](Veldane::Engine& e) { return e.osc2Gain; }},
        {kMasterVolume, [](Veldane::Engine& e) { return e.outputGain / 0.5; }},
    };
    for (const Case& c : cases) {
        Instance s;
        s.set(c.index, 0.0f);
        EXPECT_EQ(c.gain(s.engine()), 0.0) << c.index;
        // Just above the bottom the curve's -36 dB applies: not silence.
        s.set(c.index, 1e-6f);
        EXPECT_NEAR(c.gain(s.engine()), std::pow(10.0, -36.0 / 20.0), 1e-4) << c.index;
        s.set(c.index, 1.0f);
        EXPECT_EQ(c.gain(s.engine()), 1.0) << c.index;
        // Beyond the control's ends (out of the host's contract) the ends hold.
        s.set(c.index, 2.0f);
        EXPECT_EQ(c.gain(s.engine()), 1.0) << c.index;
        s.set(c.index, 1e30f);
        EXPECT_EQ(c.gain(s.engine()), 1.0) << c.index;
        s.set(c.index, -1.0f);
        EXPECT_EQ(c.gain(s.engine()), 0.0) << c.index;
    }
}

TEST(RoutingGains, MasterVolumeScalesTheDecimatedSum) {
    Instance s;
    s.set(kMasterVolume, 1.0f); // 0 dB
    EXPECT_EQ(s.engine().outputGain, 0.5);
    s.set(kMasterVolume, 30.0f / 36.0f); // -6 dB
    EXPECT_NEAR(s.engine().outputGain, 0.2506, 1e-4);

    // A sounding note at the bottom of the control renders exact zeros.
    s.noteOn(60);
    s.advance(kBlock);
    s.set(kMasterVolume, 0.0f);
    for (float y : s.render(kBlock)) ASSERT_EQ(y, 0.0f);
    s.set(kMasterVolume, 1.0f);
    const std::vector<float> loud = s.render(kBlock);
    EXPECT_GT(rms(loud), 0.05);
}

// Hosts promise values in 0..1; one that sends others must not leave the
// instance broken once it sends sane values again.
TEST(RoutingGains, ValuesBeyondTheControlsLeaveNoLastingDamage) {
    auto noteLevel = [](Instance& s) {
        s.noteOn(60);
        const std::vector<float> out = s.render(s.ms(200));
        s.noteOff(60);
        s.advance(s.ms(400));
        return rms(out, s.ms(50), out.size());
    };
    Instance fresh;
    const double reference = noteLevel(fresh);
    ASSERT_GT(reference, 0.01);

    Instance s;
    std::vector<float> defaults(kParamCount);
    for (int i = 0; i < kParamCount; ++i) defaults[i] = s.effect->getParameter(s.effect, i);
    s.set(kVoiceMode, kPoly);
    s.noteOn(60);
    s.noteOn(64);
    for (float hostile : {2.0f, -1.0f, 1e30f, -1e30f, 1e-30f}) {
        for (int i = 0; i < kParamCount; ++i) {
            if (i == kVoiceMode) continue;
            s.set(i, hostile);
            for (float y : s.render(32)) ASSERT_TRUE(std::isfinite(y)) << i << " " << hostile;
        }
    }
    s.noteOff(60);
    s.noteOff(64);
    for (int i = 0; i < kParamCount; ++i) s.set(i, defaults[i]);
    s.set(kVoiceMode, kPoly);
    s.advance(s.ms(500));
    EXPECT_NEAR(noteLevel(s), reference, 0.1 * reference);
}

// ---- Pitch -------------------------------------------------------------------

TEST(RoutingPitch, BendRangeUsesTheRoundedSemitoneAndAFullBendDownReachesIt) {
    const struct {
        float normalized;
        int semitones;
    } ranges[] = {{0.0f, 0}, {2.0f / 12.0f, 2}, {7.0f / 12.0f, 7}, {1.0f, 12}};
    for (const auto& r : ranges) {
        Instance s;
        s.set(kBendRange, r.normalized);
        EXPECT_EQ(s.engine().bendRange, r.semitones * 0.08333) << r.semitones;
        s.midi(0xE0, 0, 0); // -8192
        s.advance(1);
        EXPECT_EQ(s.engine().bendTarget, -s.engine().bendRange) << r.semitones;
    }
    Instance s;
    s.set(kBendRange, 1.0f);
    EXPECT_NEAR(s.engine().bendRange, 0.99996, 1e-12);
    EXPECT_NE(s.engine().bendRange, 1.0);
}

TEST(RoutingPitch, TuningControlsMoveTheOscillatorOffsetsTogetherOrApart) {
    // From Master Tune +3, Osc1/2 Detune -0.25 and Osc2 Detune +6 semitones,
    // so every change must keep the other two in the offsets.
    const struct {
        const char* what;
        int index;
        float normalized;
        double osc1, osc2; // semitones afterwards
        bool restartsPhases;
    } cases[] = {
        {"Master Tune +12", kMasterTune, 1.0f, 12 - 0.25, 12 + 0.25 + 6, false},
        {"Master Tune -12", kMasterTune, 0.0f, -12 - 0.25, -12 + 0.25 + 6, false},
        {"Osc1/2 Detune +0.5", kOscDetune, 1.0f, 3 + 0.5, 3 - 0.5 + 6, true},
        {"Osc1/2 Detune -0.5", kOscDetune, 0.0f, 3 - 0.5, 3 + 0.5 + 6, true},
        {"Osc2 Detune +12", kOsc2Detune, 1.0f, 3 - 0.25, 3 + 0.25 + 12, true},
        {"Osc2 Detune -12", kOsc2Detune, 0.0f, 3 - 0.25, 3 + 0.25 - 12, true},
    };
    for (const auto& c : cases) {
        Instance s;
        s.set(kMasterTune, 15.0f / 24.0f);
        s.set(kOscDetune, 0.25f);
        s.set(kOsc2Detune, 0.75f);
        EXPECT_NEAR(s.engine().osc1Octaves, 2.75 * kOctavesPerSemitone, 1e-9) << c.what;
        EXPECT_NEAR(s.engine().osc2Octaves, 9.25 * kOctavesPerSemitone, 1e-9) << c.what;
        s.engine().phaseResetPending = false;
        s.set(c.index, c.normalized);
        EXPECT_NEAR(s.engine().osc1Octaves, c.osc1 * kOctavesPerSemitone, 1e-9) << c.what;
        EXPECT_NEAR(s.engine().osc2Octaves, c.osc2 * kOctavesPerSemitone, 1e-9) << c.what;
        EXPECT_EQ(s.engine().phaseResetPending, c.restartsPhases) << c.what;
    }
}

TEST(RoutingPitch, MasterTuneAnOctaveUpPlaysNoteFiftySevenAtFourForty) {
    Instance s;
    s.set(kMasterTune, 1.0f);
    s.noteOn(57);
    const std::vector<float> out = s.render(s.ms(300));
    EXPECT_NEAR(measure::frequency(out, s.rate, s.ms(50), out.size()), 440.0, 440.0 * 0.01);
}

// ---- Modulation depth and its inversion -------------------------------------

TEST(RoutingModulation, InvertSwitchNegatesTheDepthWithoutTouchingTheAmount) {
    const struct {
        const char* what;
        int invert, amount;
        double (*depth)(Veldane::Engine&);
        double atHalf, atQuarter; // engine depth at amount 0.5 and 0.25
    } pairs[] = {
        {"pitch", kPitchModInv, kPitchModDepth, [](Veldane::Engine& e) { return e.pitchModDepth; }, 0.5, 0.125},
        {"filter", kFilterModInv, kFilterMod, [](Veldane::Engine& e) { return e.filterModAmount; }, 4.0, 2.0},
    };
    for (const auto& p : pairs) {
        Instance s;
        s.set(p.amount, 0.5f);
        EXPECT_DOUBLE_EQ(p.depth(s.engine()), p.atHalf) << p.what;
        s.set(p.invert, 1.0f);
        EXPECT_DOUBLE_EQ(p.depth(s.engine()), -p.atHalf) << p.what;
        EXPECT_EQ(s.effect->getParameter(s.effect, p.amount), 0.5f) << p.what;
        s.set(p.amount, 0.25f); // the amount while inverted stays inverted
        EXPECT_DOUBLE_EQ(p.depth(s.engine()), -p.atQuarter) << p.what;
        s.set(p.invert, 0.0f);
        EXPECT_DOUBLE_EQ(p.depth(s.engine()), p.atQuarter) << p.what;
    }
}

// ---- LFO delay ---------------------------------------------------------------

TEST(RoutingLfo, DelayOfTenSamplesOrLessTurnsTheFadeOff) {
    // At 48 kHz one ms of the setting is 480 samples of fade time scale, so
    // the edge lies at 1/48 ms.
    const struct {
        double ms;
        bool delayed;
    } cases[] = {{0.0, false}, {0.9 / 48.0, false}, {1.1 / 48.0, true}, {1000.0, true}};
    for (const auto& c : cases) {
        Instance s(48000.0f);
        s.setValue(kLfoDelay, c.ms);
        s.noteOn(60);
        s.advance(1);
        const Veldane::Lfo& lfo = s.engine().lfo;
        if (c.delayed) {
            EXPECT_LT(lfo.fade, 0.5) << c.ms; // the note restarted the fade
        } else {
            EXPECT_EQ(lfo.fade, 1.0) << c.ms;
            EXPECT_EQ(lfo.delayLevel, 1.0) << c.ms;
            EXPECT_TRUE(lfo.delayDone) << c.ms;
        }
    }
}

// ---- Time settings across sample rates ---------------------------------------

using Predicate = std::function<bool(const Veldane::Plugin&)>;

// Renders one sample at a time until `reached`; answers the time in ms.
double msUntil(Instance& s, const Predicate& reached, double limitMs) {
    const int limit = s.ms(limitMs);
    for (int n = 0; n < limit; ++n) {
        if (reached(*s.plugin)) return n * 1000.0 / s.rate;
        s.advance(1);
    }
    return -1.0;
}

const Veldane::Voice& first(const Veldane::Plugin& p) { return p.synth.engine.voices[0]; }

TEST(RoutingTiming, EveryTimeSettingKeepsItsDurationAcrossSampleRates) {
    // Each case sets a time, plays up to the moment the timed segment starts
    // and answers what marks its end; `expectMs` is the segment's length for
    // the setting (the curve's aim point and end level included).
    struct Case {
        std::string what;
        double expectMs;
        std::function<Predicate(Instance&)> start;
    };
    const auto settle = [](Instance& s, const Predicate& p) { ASSERT_GE(msUntil(s, p, 2000.0), 0.0); };
    // Both envelopes the same way: attack 50 ms; decay 100 ms to a sustain of
    // half; release 100 ms from there.
    const struct {
        std::string name;
        Veldane::Envelope Veldane::Voice::*envelope;
        int attack, decay, sustain, release; // parameter indices
    } envelopes[] = {{"Amp", &Veldane::Voice::amp, kAmpAttack, kAmpDecay, kAmpSustain, kAmpRelease},
                     {"Mod", &Veldane::Voice::mod, kModAttack, kModDecay, kModSustain, kModRelease}};
    std::vector<Case> cases;
    for (const auto& env : envelopes) {
        const auto m = env.envelope;
        const auto stageIs = [m](Stage stage) {
            return Predicate([m, stage](const Veldane::Plugin& p) { return (first(p).*m).stage == stage; });
        };
        cases.push_back({env.name + " Attack 50 ms", 50.0, [=](Instance& s) {
                             s.setValue(env.attack, 50.0);
                             s.noteOn(60);
                             s.advance(1);
                             return Predicate([m](const Veldane::Plugin& p) { return (first(p).*m).stage != Stage::Attack; });
                         }});
        cases.push_back({env.name + " Decay 100 ms to half", 200.0, [=](Instance& s) {
                             s.setValue(env.decay, 100.0);
                             s.set(env.sustain, 0.5f);
                             s.noteOn(60);
                             settle(s, stageIs(Stage::Decay));
                             return stageIs(Stage::Sustain);
                         }});
        cases.push_back({env.name + " Release 100 ms from half", 171.0, [=](Instance& s) {
                             s.setValue(env.release, 100.0);
                             s.set(env.sustain, 0.5f);
                             s.noteOn(60);
                             settle(s, stageIs(Stage::Sustain));
                             s.noteOff(60);
                             s.advance(1);
                             return stageIs(Stage::Idle);
                         }});
    }
    const Case others[] = {
        {"Glide 100 ms over an octave", 304.0,
         [&](Instance& s) -> Predicate {
             s.noteOn(48); // retrigger, no glide time yet: the pitch arrives at once
             s.advance(2);
             s.setValue(kGlideTime, 100.0);
             s.noteOn(60);
             s.advance(1);
             return [](const Veldane::Plugin& p) { return !first(p).glideActive; };
         }},
        {"LFO 5 Hz, one period", 200.0,
         [&](Instance& s) -> Predicate {
             s.setValue(kLfoFrequency, 5.0);
             s.noteOn(60);
             settle(s, [](const Veldane::Plugin& p) { return p.synth.engine.lfo.triDirection < 0; });
             // From one top of the triangle to the next.
             return [rising = false](const Veldane::Plugin& p) mutable {
                 if (p.synth.engine.lfo.triDirection > 0) rising = true;
                 return rising && p.synth.engine.lfo.triDirection < 0;
             };
         }},
        {"LFO Delay 10", 139.0,
         [](Instance& s) -> Predicate {
             s.setValue(kLfoDelay, 10.0);
             s.noteOn(60);
             s.advance(1);
             return [](const Veldane::Plugin& p) { return p.synth.engine.lfo.delayDone; };
         }},
    };
    cases.insert(cases.end(), std::begin(others), std::end(others));
    for (const Case& c : cases) {
        double measured[2];
        const float rates[2] = {44100.0f, 96000.0f};
        for (int r = 0; r < 2; ++r) {
            Instance s(rates[r]);
            const Predicate reached = c.start(s);
            measured[r] = msUntil(s, reached, 2000.0);
            ASSERT_GT(measured[r], 0.0) << c.what << " at " << rates[r];
        }
        EXPECT_NEAR(measured[0], c.expectMs, 0.1 * c.expectMs) << c.what;
        // The same time at both rates, within rounding to whole samples.
        EXPECT_NEAR(measured[1], measured[0], 0.005 * c.expectMs + 0.05) << c.what;
    }
}

// ---- Indices that route nothing ------------------------------------------------

TEST(RoutingIndices, ReservedAndOutOfRangeIndicesChangeNothing) {
    // Two instances play the same notes from the same point of the shared
    // random sequence; one of them also receives changes of indices that
    // drive nothing. Their outputs must not differ in a single bit.
    auto play = [](bool poke) {
        Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
        Instance s;
        // Settings away from their defaults, which a stray write would undo.
        s.set(kVoiceMode, kPoly);
        s.set(kPitchModDepth, 0.4f); // some pitch modulation, so phases and LFO matter
        s.set(kOsc1Volume, 0.9f);
        s.set(kOsc2Volume, 0.8f);
        s.set(kFilterCutoff, 0.7f);
        s.set(kAmpSustain, 0.6f);
        s.noteOn(60);
        std::vector<float> out = s.render(kBlock);
        if (poke) {
            for (int index : {int(kReserved), 39, 40, 1000, -1, INT32_MIN}) s.touch(index);
            for (float v : {1.0f, 0.0f, 0.7f}) {
                s.set(kReserved, v);
                s.set(kParamCount, v);
                s.set(-1, v);
            }
        }
        // A note started afterwards takes its phases from where the free
        // phases have run to, so it also shows any restart of them.
        s.noteOn(67);
        const std::vector<float> more = s.render(4 * kBlock);
        out.insert(out.end(), more.begin(), more.end());
        return out;
    };
    const std::vector<float> plain = play(false);
    const std::vector<float> poked = play(true);
    ASSERT_EQ(plain.size(), poked.size());
    for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(plain[i], poked[i]) << i;
    EXPECT_GT(rms(plain), 0.01);
}

// ---- Voice mode ----------------------------------------------------------------

// A phrase that exercises voice choice: a chord, a repeated note, more notes
// than voices, the pedal and releases, rendered in blocks with events at
// several offsets.
std::vector<float> playPhrase(Instance& s, int* mostVoices = nullptr) {
    std::vector<float> out;
    auto block = [&] {
        const std::vector<float> b = s.render(kBlock);
        out.insert(out.end(), b.begin(), b.end());
        if (mostVoices) *mostVoices = std::max(*mostVoices, s.activeVoices());
    };
    s.midi(0x90, 60, 100, 0);
    s.midi(0x90, 64, 90, 10);
    s.midi(0x90, 67, 80, 100);
    block();
    block();
    s.midi(0x90, 64, 100, 3);
    s.midi(0xB0, 64, 127, 50);
    s.midi(0x80, 60, 0, 60);
    block();
    for (int n = 0; n < 9; ++n) s.midi(0x90, 70 + n, 100, 20 * n);
    block();
    s.midi(0xB0, 64, 0, 5);
    for (int n = 0; n < 9; ++n) s.midi(0x80, 70 + n, 0, 7 + n);
    block();
    s.midi(0x80, 64, 0, 0);
    s.midi(0x80, 67, 0, 0);
    for (int i = 0; i < 6; ++i) block();
    return out;
}

TEST(RoutingVoiceMode, EachEntrySelectsItsModeAndTheFourthPlaysExactlyLikeTheThird) {
    const struct {
        float normalized;
        int mode;
    } entries[] = {{kRetrigger, 0}, {kLegato, 1}, {kPoly, 2}, {kPolyToo, 2}};
    for (const auto& e : entries) {
        Instance s;
        s.set(kVoiceMode, e.normalized);
        s.advance(1);
        EXPECT_EQ(s.engine().voiceMode, e.mode) << e.normalized;
    }

    std::vector<float> outputs[2];
    int mostVoices[2] = {0, 0};
    const float polyEntries[2] = {kPoly, kPolyToo};
    for (int k = 0; k < 2; ++k) {
        Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
        Instance s;
        s.set(kVoiceMode, polyEntries[k]);
        outputs[k] = playPhrase(s, &mostVoices[k]);
    }
    EXPECT_EQ(mostVoices[0], 8);
    EXPECT_EQ(mostVoices[1], 8);
    ASSERT_EQ(outputs[0].size(), outputs[1].size());
    for (std::size_t i = 0; i < outputs[0].size(); ++i) ASSERT_EQ(outputs[0][i], outputs[1][i]) << i;
}

TEST(RoutingVoiceMode, SelectingAnyModeEvenTheCurrentOneReleasesEverySoundingVoice) {
    // Each way a selection reaches the engine: the editor re-selecting the
    // same entry (it notifies whether or not the value changed), the host
    // moving between the two Poly entries, and a real change of mode.
    const struct {
        const char* what;
        void (*select)(Instance&);
    } selections[] = {
        {"same entry from the editor", [](Instance& s) { s.touch(kVoiceMode); }},
        {"other Poly entry", [](Instance& s) { s.set(kVoiceMode, kPolyToo); }},
        {"Legato", [](Instance& s) { s.set(kVoiceMode, kLegato); }},
    };
    for (const auto& sel : selections) {
        Instance s;
        s.set(kVoiceMode, kPoly);
        s.noteOn(60);
        s.noteOn(64);
        s.noteOn(67);
        s.advance(kBlock);
        ASSERT_EQ(s.activeVoices(), 3) << sel.what;
        sel.select(s);
        s.advance(1);
        for (int v = 0; v < 3; ++v) {
            EXPECT_FALSE(s.voice(v).gate) << sel.what;
            EXPECT_EQ(s.voice(v).amp.stage, Stage::Release) << sel.what; // fading, not cut
        }
        // The keys are still down, yet nothing sounds again until one is
        // pressed anew.
        s.advance(s.ms(200));
        EXPECT_EQ(s.activeVoices(), 0) << sel.what;
        for (float y : s.render(kBlock)) ASSERT_EQ(y, 0.0f) << sel.what;
        s.noteOff(64);
        s.advance(kBlock);
        EXPECT_EQ(s.activeVoices(), 0) << sel.what;
        s.noteOn(60);
        s.advance(kBlock);
        EXPECT_EQ(s.activeVoices(), 1) << sel.what;
    }
}

TEST(RoutingVoiceMode, AModeChosenBeforeABlockAppliesToThatBlocksNotes) {
    Instance s; // starts in Retrigger
    s.set(kVoiceMode, kPoly);
    s.noteOn(60);
    s.noteOn(64);
    s.noteOn(67);
    s.advance(kBlock);
    EXPECT_EQ(s.activeVoices(), 3);
    s.set(kVoiceMode, kRetrigger);
    s.noteOn(72);
    s.advance(1);
    // The chord was released by the switch; the new note sits on voice 0.
    EXPECT_TRUE(s.voice(0).gate);
    EXPECT_EQ(s.voice(0).note, 72);
    EXPECT_FALSE(s.voice(1).gate);
    EXPECT_FALSE(s.voice(2).gate);
}

// ---- Monophonic modes through the plug-in ---------------------------------------

TEST(RoutingMono, OnlyTheFirstVoiceEverSoundsInEitherMonoMode) {
    for (float mode : {kRetrigger, kLegato}) {
        Instance s;
        // Voices left sounding by the polyphonic mode fade out; after that
        // only the first voice plays, whatever the phrase does.
        s.set(kVoiceMode, kPoly);
        s.noteOn(50);
        s.noteOn(53);
        s.noteOn(57);
        s.advance(kBlock);
        s.set(kVoiceMode, mode);
        s.advance(s.ms(100));
        for (int v = 1; v < 8; ++v) ASSERT_FALSE(s.voice(v).isActive()) << mode;

        int most = 0;
        const std::vector<float> out = playPhrase(s, &most);
        EXPECT_EQ(most, 1) << mode;
        EXPECT_GT(rms(out), 0.01) << mode;
        for (int v = 1; v < 8; ++v) EXPECT_FALSE(s.voice(v).isActive()) << mode;
    }
}

TEST(RoutingMono, LegatoKeepsTheEnvelopeWhereRetriggerRestartsIt) {
    // Short decay to a low sustain: a restarted envelope is heard as a new
    // attack peak, a continued one stays at the sustain level.
    const struct {
        float mode;
        bool restarts;
    } cases[] = {{kRetrigger, true}, {kLegato, false}};
    for (const auto& c : cases) {
        Instance s;
        s.set(kVoiceMode, c.mode);
        s.set(kAmpSustain, 0.2f);   // sustain 20 %
        s.set(kAmpDecay, 0.0f);   // decay 10 ms
        s.noteOn(60);
        s.advance(s.ms(150));
        const std::vector<float> before = s.render(s.ms(10));
        s.noteOn(67); // 60 still held
        const std::vector<float> after = s.render(s.ms(10));
        EXPECT_EQ(s.voice(0).note, 67);
        const double ratio = rms(after, s.ms(1), s.ms(5)) / rms(before);
        if (c.restarts) {
            EXPECT_GT(ratio, 2.0) << c.mode;
        } else {
            EXPECT_NEAR(ratio, 1.0, 0.2) << c.mode;
            EXPECT_EQ(s.voice(0).amp.stage, Stage::Sustain);
        }
    }
}

TEST(RoutingMono, GlideIsHeardRisingToTheNewNote) {
    // 220 Hz held, then 440 Hz: with a glide the pitch passes through the
    // octave over time; without one it is there at once.
    for (float mode : {kRetrigger, kLegato}) {
        for (double glideMs : {0.0, 100.0}) {
            Instance s;
            s.set(kVoiceMode, mode);
            s.noteOn(57);
            s.advance(s.ms(100));
            s.setValue(kGlideTime, glideMs);
            s.noteOn(69);
            const std::vector<float> out = s.render(s.ms(600));
            const int window = s.ms(30);
            std::vector<double> f;
            for (int from = 0; from + window <= s.ms(240); from += window)
                f.push_back(measure::frequency(out, s.rate, from, from + window));
            const double settled = measure::frequency(out, s.rate, s.ms(450), out.size());
            EXPECT_NEAR(settled, 440.0, 440.0 * 0.01) << mode << " " << glideMs;
            if (glideMs == 0.0) {
                EXPECT_NEAR(f.front(), 440.0, 440.0 * 0.02) << mode;
            } else {
                EXPECT_LT(f.front(), 300.0) << mode;
                for (std::size_t i = 1; i < f.size(); ++i) EXPECT_GT(f[i], f[i - 1]) << mode << " window " << i;
            }
        }
    }
}

} // namespace
