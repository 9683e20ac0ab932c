// Renders that must not change by accident. Each passage is played through a
// fresh instance as a host plays it (parameter changes between blocks, MIDI at
// its offsets) and compared by a checksum of its samples with the checksum of
// an accepted render. A change to the sound on purpose updates the table and
// says why in its commit; any other difference is a fault. Every render is
// made once on each voice path the processor supports (synth/voice_path.h):
// every path (SSE2, AVX2, AVX-512) must give the accepted bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "synth/random.h"
#include "synth/voice_path.h"
#include "tests/golden.h"
#include "tests/hosted_plugin.h"
#include "tools/testhost/script.h"

namespace {

using golden::checksum;

struct Passage {
    const char* name;
    const char* script;     // tools/testhost/script.h format
    bool useDouble;
    std::uint64_t expected; // checksum of the accepted render
};

using GoldenRender = HostedPlugin;

// Calls f once on each voice path the processor supports, instances made
// within taking that path; the path in force before is restored.
template <class F>
void onEveryVoicePath(F f) {
    const Veldane::VoicePath before = Veldane::voicePath();
    for (int p = 0; p < Veldane::kVoicePathCount; ++p) {
        const auto path = static_cast<Veldane::VoicePath>(p);
        if (!Veldane::setVoicePath(path)) continue;
        SCOPED_TRACE(Veldane::voicePathName(path));
        f();
    }
    Veldane::setVoicePath(before);
}

// Plays from the start of the random sequence, as a freshly loaded library does.
std::vector<float> play(AEffect* effect, testhost::Script& script, bool useDouble) {
    Veldane::setRandomSeed(Veldane::kInitialRandomSeed);
    std::string error;
    EXPECT_TRUE(testhost::resolveNames(effect, script, error)) << error;
    return testhost::playScript(effect, script, 44100.0, 512, useDouble);
}

TEST_F(GoldenRender, DemoPhrase) {
    testhost::Script script;
    std::string error;
    ASSERT_TRUE(testhost::readScript(VELDANE_SOURCE_DIR "/tools/testhost/demo.txt", 44100.0, script, error)) << error;
    onEveryVoicePath([&] {
        AEffect* fresh = VSTPluginMain(&CountingHost::callback);
        ASSERT_NE(fresh, nullptr);
        const std::vector<float> out = play(fresh, script, false);
        EXPECT_EQ(out.size(), 441000u);
        EXPECT_EQ(checksum(out), golden::kDemoPhraseChecksum);
        closeInstance(fresh);
    });
}

// One short passage per sound path: every waveform, sync and ring modulation,
// each filter type, every modulation route, the three voice modes with glide,
// bend and pedal. Passages without triangles are kept apart from those with
// them, so a change to the triangles shows which renders it touched.
const Passage kPassages[] = {
    {"rect_shape_env_lp4",
     R"(0 param "Osc1 Waveform" 0.5
        0 param "Osc1 Shape Mod Src" 0.5
        0 param "Osc1 Shape Mod" 0.8
        0 param "Filter Cutoff" 0.55
        0 param "Filter Q" 0.7
        0 param "Filter Mod" 0.4
        0 param "Mod Decay" 0.5
        0 param "Mod Sustain" 0.2
        0 on 48
        0 on 55
        0.1 on 60
        0.5 off 48
        0.5 off 55
        0.5 off 60
        0.8 end)",
     false, 2925280782939670178u},
    {"noise_bp_lfo",
     R"(0 param "Osc1 Waveform" 1.0
        0 param "Filter Type" 1.0
        0 param "Filter Cutoff" 0.6
        0 param "Filter Q" 0.5
        0 param "Filter Mod Src" 1.0
        0 param "Filter Mod" 0.3
        0 param "LFO Frequency" 0.8
        0 on 60
        0.4 off 60
        0.6 end)",
     false, 10436316744176631537u},
    {"rect_shape_lfo_saw_sync_lp2",
     R"(0 param "Osc1 Waveform" 0.5
        0 param "Osc1 Shape Mod Src" 1.0
        0 param "Osc1 Shape Mod" 0.6
        0 param "LFO Waveform" 1.0
        0 param "Osc2 Waveform" 1.0
        0 param "Osc2 Sync" 1.0
        0 param "Osc2 Detune" 0.8
        0 param "Osc2 Volume" 0.9
        0 param "Filter Type" 0.5
        0 param "Filter Cutoff" 0.7
        0 param "Filter Q" 0.9
        0 param "Pitch Mod Src" 1.0
        0 param "Pitch Mod Depth" 0.3
        0 param "Pitch Mod Osc1" 0.0
        0 param "LFO Delay" 0.3
        0 on 45
        0 on 57
        0.6 off 45
        0.6 off 57
        0.8 end)",
     false, 17937716090753789417u},
    {"rect_ring_square_env_pitch",
     R"(0 param "Osc1 Waveform" 0.5
        0 param "Osc1 Volume" 0.0
        0 param "Osc2 Waveform" 0.5
        0 param "Osc2 Ringmod" 1.0
        0 param "Osc2 Volume" 1.0
        0 param "Osc2 Detune" 0.3
        0 param "Pitch Mod Depth" 0.5
        0 param "Pitch Mod Inv" 1.0
        0 param "Mod Attack" 0.3
        0 param "Mod Decay" 0.4
        0 param "Mod Sustain" 0.0
        0 param "Filter Cutoff" 0.8
        0 param "Filter KbdTrk" 0.9
        0 param "Filter Mod Inv" 1.0
        0 param "Filter Mod" 0.5
        0 param "Master Tune" 0.7
        0 param "Osc1/2 Detune" 0.3
        0 on 64
        0.3 on 40
        0.6 off 64
        0.6 off 40
        0.9 end)",
     true, 15021786588968678569u},
    {"legato_glide_bend",
     R"(0 param "Voice Mode" 0.5
        0 param "Glide Time" 0.4
        0 param "Osc1 Waveform" 0.5
        0 param "Osc1 Shape Mod" 0.3
        0 param "Filter Cutoff" 0.5
        0 param "Bend Range" 0.5
        0 param "Amp Release" 0.4
        0 on 50
        0.15 on 62
        0.3 off 50
        0.35 bend 8000
        0.5 bend -3000
        0.6 off 62
        0.9 end)",
     false, 14253750988999235853u},
    {"retrigger_pedal_steal_automation",
     R"(0 param "Voice Mode" 0.0
        0 param "Osc1 Waveform" 0.5
        0 param "Glide Time" 0.3
        0 param "Amp Attack" 0.2
        0 param "Amp Sustain" 0.6
        0 on 60
        0.1 on 67
        0.2 off 67
        0.25 param "Voice Mode" 1.0
        0.25 param "Filter Type" 0.5
        0.3 pedal down
        0.3 on 48
        0.3 on 52
        0.3 on 55
        0.32 on 59
        0.34 on 62
        0.36 on 65
        0.38 on 69
        0.4 on 72
        0.42 on 76
        0.45 off 48
        0.45 off 52
        0.5 param "Filter Cutoff" 0.4
        0.55 param "Master Volume" 0.6
        0.6 pedal up
        0.9 end)",
     false, 18297899127690942269u},
    // With triangles: oscillator 1 at two skews, oscillator 2 alone and synced.
    {"tri_skews_osc2_tri",
     R"(0 param "Osc1 Shape Mod" 0.9
        0 param "Osc2 Volume" 0.9
        0 on 57
        0.2 param "Osc1 Shape Mod" 0.5
        0.2 param "Osc2 Sync" 1.0
        0.2 param "Osc2 Detune" 0.7
        0.5 off 57
        0.7 end)",
     false, 12890162550809847084u},
    // Oscillator 1's skew from the square LFO as oscillator 2's sync source,
    // oscillator 2 a synced square ring-modulated, band-pass with key
    // tracking; the mod envelope outlasts the amp envelope, so voices run on
    // silent for a while, and end at different samples.
    {"tri_lfo_shape_rect_sync_ring_bp",
     R"(0 param "Osc1 Shape Mod Src" 1.0
        0 param "Osc1 Shape Mod" 0.7
        0 param "LFO Waveform" 1.0
        0 param "LFO Frequency" 0.9
        0 param "Osc2 Waveform" 0.5
        0 param "Osc2 Sync" 1.0
        0 param "Osc2 Ringmod" 1.0
        0 param "Osc2 Volume" 0.8
        0 param "Osc2 Detune" 0.65
        0 param "Filter Type" 1.0
        0 param "Filter Cutoff" 0.65
        0 param "Filter Q" 0.6
        0 param "Filter KbdTrk" 0.5
        0 param "Pitch Mod Src" 1.0
        0 param "Pitch Mod Depth" 0.2
        0 param "Pitch Mod Osc2" 0.0
        0 param "Amp Release" 0.2
        0 param "Mod Release" 0.6
        0 on 43
        0 on 50
        0.05 on 59
        0.1 on 67
        0.3 off 43
        0.32 off 50
        0.34 off 59
        0.36 off 67
        0.9 end)",
     false, 12618777150740373591u},
    // The patch of the render benchmark: an eight-note chord on both
    // triangles through a resonant ladder, struck again while its release
    // tails still sound, so new notes steal ringing voices.
    {"chord_restruck_in_tails",
     R"(0 param "Osc2 Volume" 0.9
        0 param "Filter Cutoff" 0.6
        0 param "Filter Q" 0.5
        0 param "Amp Release" 0.5
        0 on 48
        0 on 52
        0 on 55
        0 on 59
        0 on 62
        0 on 65
        0 on 69
        0 on 72
        0.3 off 48
        0.3 off 52
        0.3 off 55
        0.3 off 59
        0.3 off 62
        0.3 off 65
        0.3 off 69
        0.3 off 72
        0.35 on 50
        0.35 on 53
        0.35 on 57
        0.35 on 60
        0.6 off 50
        0.6 off 53
        0.6 off 57
        0.6 off 60
        1.0 end)",
     true, 14818832375608987931u},
};

TEST_F(GoldenRender, EverySoundPathOnEveryVoicePath) {
    onEveryVoicePath([] {
    for (const Passage& passage : kPassages) {
        // Each passage from a fresh instance, so none depends on another.
        AEffect* fresh = VSTPluginMain(&CountingHost::callback);
        ASSERT_NE(fresh, nullptr);
        std::istringstream text(passage.script);
        testhost::Script script;
        std::string error;
        ASSERT_TRUE(testhost::parseScript(text, 44100.0, script, error)) << passage.name << ": " << error;
        const std::vector<float> out = play(fresh, script, passage.useDouble);
        EXPECT_EQ(checksum(out), passage.expected) << passage.name;
        // A passage that went silent would prove nothing.
        float peak = 0.0f;
        for (float v : out) peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.01f) << passage.name;
        closeInstance(fresh);
    }
    });
}

} // namespace
