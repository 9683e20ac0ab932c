#include "framework/voice_managers.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Records what a manager does to it; envelope reduced to idle/gated/releasing.
struct FakeVoice {
    enum Stage { Idle, Gated, Releasing };

    int note = 0;
    bool gate = false;
    Stage stage = Idle;
    int setNotes = 0;
    int triggers = 0;
    int releases = 0;
    bool lastGlide = false;

    bool isSounding() const { return stage != Idle; }
    void setNote(int n, bool glide)
    {
        note = n;
        lastGlide = glide;
        ++setNotes;
    }
    void trigger()
    {
        stage = Gated;
        gate = true;
        ++triggers;
    }
    void release()
    {
        if (stage != Idle) {
            stage = Releasing;
        }
        gate = false;
        ++releases;
    }
};

constexpr int kVoices = 8;

// Plays a script of space-separated events: "on60", "off60", "ped1" (pedal
// down), "ped0" (up), "idle" (every release finishes).
void play(zem::IVoiceManager& manager, std::vector<FakeVoice>& voices, const std::string& script)
{
    std::istringstream in(script);
    std::string event;
    while (in >> event) {
        if (event.rfind("off", 0) == 0) {
            manager.noteOff(std::stoi(event.substr(3)));
        } else if (event.rfind("on", 0) == 0) {
            manager.noteOn(std::stoi(event.substr(2)), 100.0);
        } else if (event.rfind("ped", 0) == 0) {
            manager.setSustain(event[3] == '1');
        } else if (event == "idle") {
            for (FakeVoice& v : voices) {
                if (v.stage == FakeVoice::Releasing) {
                    v.stage = FakeVoice::Idle;
                }
            }
        } else {
            ADD_FAILURE() << "bad event " << event;
        }
    }
}

// Sounding voices as "index:note" plus g (gated) or r (releasing).
std::string summary(const std::vector<FakeVoice>& voices)
{
    std::string out;
    for (int i = 0; i < static_cast<int>(voices.size()); ++i) {
        const FakeVoice& v = voices[i];
        if (v.isSounding()) {
            out += (out.empty() ? "" : " ") + std::to_string(i) + ":" + std::to_string(v.note) +
                   (v.stage == FakeVoice::Gated ? "g" : "r");
        }
    }
    return out;
}

TEST(PolyVoiceManager, VoiceChoiceStealingAndPedal)
{
    struct Case {
        const char* script;
        const char* expected;
    };
    const Case cases[] = {
        // Ninth note steals the first-started voice; its note-off then finds nothing.
        {"on60 on61 on62 on63 on64 on65 on66 on67 on68", "0:68g 1:61g 2:62g 3:63g 4:64g 5:65g 6:66g 7:67g"},
        {"on60 on61 on62 on63 on64 on65 on66 on67 on68 off60",
         "0:68g 1:61g 2:62g 3:63g 4:64g 5:65g 6:66g 7:67g"},
        // A restart moves the voice to the back: the next steal skips it.
        {"on60 on61 on62 on63 on64 on65 on66 on67 on60 on70",
         "0:60g 1:70g 2:62g 3:63g 4:64g 5:65g 6:66g 7:67g"},
        // A voice still releasing is not idle: stealing wins over it.
        {"on60 on61 on62 on63 on64 on65 on66 on67 off63 on70",
         "0:70g 1:61g 2:62g 3:63r 4:64g 5:65g 6:66g 7:67g"},
        {"on60 on61 on62 on63 on64 on65 on66 on67 off63 idle on70",
         "0:60g 1:61g 2:62g 3:70g 4:64g 5:65g 6:66g 7:67g"},
        // Same key twice keeps one voice; one note-off releases it.
        {"on60 on60", "0:60g"},
        {"on60 on60 off60", "0:60r"},
        // The voice that played a note is reused while releasing, or idle,
        // ahead of the other idle voices.
        {"on60 on62 off60 on60", "0:60g 1:62g"},
        {"on60 off60 idle on62 on60", "0:60g 1:62g"},
        // Fresh voices all carry note 0; either way the first voice is taken.
        {"on0", "0:0g"},
        {"on5", "0:5g"},
        // Pedal holds released keys and lets go of them on release only.
        {"ped1 on60 off60", "0:60g"},
        {"ped1 on60 off60 ped0", "0:60r"},
        {"ped1 on60 on64 off60 ped0", "0:60r 1:64g"},
        {"ped1 on60 off60 on60 ped0", "0:60g"},
        {"ped1 on60 off60 on60 ped0 off60", "0:60r"},
        {"ped1 on60 off60 ped0 ped1 ped0", "0:60r"},
        // Unknown notes change nothing.
        {"on60 off61", "0:60g"},
        {"ped1 on60 off61 ped0", "0:60g"},
        {"on128 on-1 on60 off-1 off200", "0:60g"},
    };
    for (const Case& c : cases) {
        std::vector<FakeVoice> voices(kVoices);
        zem::PolyVoiceManager<FakeVoice, 8> manager(voices.data(), voices.data() + voices.size());
        play(manager, voices, c.script);
        EXPECT_EQ(summary(voices), c.expected) << c.script;
        for (const FakeVoice& v : voices) {
            EXPECT_FALSE(v.lastGlide) << c.script;
        }
    }
}

TEST(PolyVoiceManager, RangeIsCappedAndReassignmentStartsFresh)
{
    std::vector<FakeVoice> voices(10);
    zem::PolyVoiceManager<FakeVoice, 8> manager;
    play(manager, voices, "on60 off60 ped0"); // empty manager: nothing to drive
    EXPECT_EQ(summary(voices), "");

    manager = zem::PolyVoiceManager<FakeVoice, 8>(voices.data(), voices.data() + voices.size());
    play(manager, voices, "ped1 on60 on61 on62 on63 on64 on65 on66 on67 on68");
    EXPECT_EQ(summary(voices), "0:68g 1:61g 2:62g 3:63g 4:64g 5:65g 6:66g 7:67g");
    EXPECT_EQ(voices[8].setNotes + voices[9].setNotes, 0);

    // A new manager forgets the pedal and the order of starts.
    manager = zem::PolyVoiceManager<FakeVoice, 8>(voices.data(), voices.data() + voices.size());
    play(manager, voices, "off61 on70");
    EXPECT_EQ(summary(voices), "0:70g 1:61r 2:62g 3:63g 4:64g 5:65g 6:66g 7:67g");
}

enum class Mode { Retrigger, Legato };

struct MonoCase {
    Mode mode;
    const char* script;
    int note;            // voice note afterwards
    char state;          // 'g' gated, 'r' releasing, '-' idle
    int triggers;        // envelope restarts in total
    bool glide;          // last pitch change glided
};

TEST(MonoVoiceManagers, PriorityPedalAndEnvelopeRestarts)
{
    const Mode R = Mode::Retrigger;
    const Mode L = Mode::Legato;
    const MonoCase cases[] = {
        // Sounding key up, another held: back to it.
        {R, "on60 on64 off64", 60, 'g', 3, true},
        {L, "on60 on64 off64", 60, 'g', 1, true},
        // Releasing a key that is not sounding moves nothing; the fallback is
        // the highest held key, not the most recent.
        {R, "on60 on64 on67 off64", 67, 'g', 3, true},
        {R, "on60 on64 on67 off64 off67", 60, 'g', 4, true},
        {L, "on60 on64 on67 off64 off67", 60, 'g', 1, true},
        {R, "on67 on60 off60", 67, 'g', 3, true},
        {R, "on65 on60 on62 off62", 65, 'g', 4, true},
        // A key already held: Retrigger restarts, Legato ignores.
        {R, "on60 on60", 60, 'g', 2, true},
        {L, "on60 on60", 60, 'g', 1, false},
        // Out of silence Retrigger glides from the last note, Legato jumps.
        {R, "on60 off60 on62", 62, 'g', 2, true},
        {L, "on60 off60 on62", 62, 'g', 2, false},
        {L, "on60", 60, 'g', 1, false},
        // The pedal keeps the gate on, so Legato glides on.
        {L, "ped1 on60 off60 on62", 62, 'g', 1, true},
        {L, "ped1 on60 off60 on62 ped0", 62, 'g', 1, true},
        {R, "ped1 on60 off60 on62 off62 ped0", 62, 'r', 2, true},
        {L, "ped1 on60 off60 on62 off62 ped0", 62, 'r', 1, true},
        // Pedal up after the sounding key went up: fall back to a held key.
        {R, "ped1 on60 on64 off64 ped0", 60, 'g', 3, true},
        {L, "ped1 on60 on64 off64 ped0", 60, 'g', 1, true},
        // Pedal up while the sounding key is still down: nothing moves.
        {R, "ped1 on60 on64 off60 ped0", 64, 'g', 2, true},
        {R, "on60 off60", 60, 'r', 1, true},
        {L, "on60 on64 off60 off64", 64, 'r', 1, true},
        // Keys held before this manager existed still end the note.
        {R, "off72", 0, '-', 0, false},
        // Notes no key can send are ignored.
        {R, "on60 off200 off-1 on128", 60, 'g', 1, true},
    };
    for (const MonoCase& c : cases) {
        std::vector<FakeVoice> voices(kVoices);
        zem::MonoRetriggerVoiceManager<FakeVoice> retrigger(voices.data(), voices.data() + voices.size());
        zem::MonoLegatoVoiceManager<FakeVoice> legato(voices.data(), voices.data() + voices.size());
        zem::IVoiceManager& manager = c.mode == R ? static_cast<zem::IVoiceManager&>(retrigger) : legato;
        play(manager, voices, c.script);
        const char* mode = c.mode == R ? "retrigger: " : "legato: ";
        const FakeVoice& v = voices[0];
        const char state = v.stage == FakeVoice::Gated ? 'g' : v.stage == FakeVoice::Releasing ? 'r' : '-';
        EXPECT_EQ(v.note, c.note) << mode << c.script;
        EXPECT_EQ(state, c.state) << mode << c.script;
        EXPECT_EQ(v.triggers, c.triggers) << mode << c.script;
        EXPECT_EQ(v.lastGlide, c.glide) << mode << c.script;
        // Only the first voice is ever used in these modes.
        for (int i = 1; i < kVoices; ++i) {
            EXPECT_EQ(voices[i].setNotes + voices[i].triggers + voices[i].releases, 0) << mode << c.script;
        }
    }
}

TEST(MonoVoiceManagers, NonSoundingKeyUpSetsNoNote)
{
    std::vector<FakeVoice> voices(1);
    zem::MonoLegatoVoiceManager<FakeVoice> manager(voices.data(), voices.data() + 1);
    play(manager, voices, "on60 on64 on67 off64");
    EXPECT_EQ(voices[0].setNotes, 3);
    EXPECT_EQ(voices[0].releases, 0);

    // Empty range and reassignment: no voice to touch, then a fresh start.
    zem::MonoRetriggerVoiceManager<FakeVoice> none;
    play(none, voices, "on60 off60 ped1 ped0");
    manager = zem::MonoLegatoVoiceManager<FakeVoice>(voices.data(), voices.data() + 1);
    EXPECT_TRUE(manager.heldNotes.empty());
    EXPECT_FALSE(manager.sustain);
}

TEST(NoteSet, HighestAcrossBothWords)
{
    zem::NoteSet set;
    EXPECT_EQ(set.highest(), -1);
    for (int note : {0, 63, 64, 127}) {
        set.insert(note);
        EXPECT_EQ(set.highest(), note);
    }
    set.erase(127);
    set.erase(64);
    EXPECT_EQ(set.highest(), 63);
    set.insert(128);
    set.insert(-1);
    EXPECT_FALSE(set.contains(128));
    EXPECT_EQ(set.highest(), 63);
}

} // namespace
