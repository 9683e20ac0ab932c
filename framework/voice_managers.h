#pragma once
// The three voice-assignment strategies: polyphonic, monophonic retrigger and
// monophonic legato. Class templates over the voice type; a voice offers
//   int note;                          the MIDI note it plays (0 if never played)
//   bool gate;                         a key or the pedal holds its note
//   bool isSounding() const;           its amplitude envelope is not idle
//   void setNote(int note, bool glide); jump (false) or glide (true) to a note
//   void trigger();                    start both envelopes from attack
//   void release();                    send both envelopes into release
// The managers drive voices only through these and never create, copy or
// destroy a voice: they keep pointers into the engine's fixed voice array.
//
// Threading: every operation runs on the audio thread between rendered
// segments. All state lives in fixed-size members, so nothing here allocates,
// locks or calls the system, and a manager is cheap to copy: the engine swaps
// strategies by assigning a freshly constructed manager.
//
// Notes outside 0..127 cannot come from MIDI; such events are ignored.

#include "framework/voice_manager.h"

#include <cstdint>

namespace zem {

// Most voices a polyphonic manager can drive: its record of which voices the
// pedal holds is one 32-bit word.
constexpr int kMaxPolyVoices = 32;
// MIDI note numbers are 0..127.
constexpr int kNoteCount = 128;

// Set of MIDI note numbers as a 128-bit mask; ordered by note number.
class NoteSet {
public:
    static bool inRange(int note) { return note >= 0 && note < kNoteCount; }

    void insert(int note)
    {
        if (inRange(note)) {
            bits[note >> 6] |= bit(note);
        }
    }
    void erase(int note)
    {
        if (inRange(note)) {
            bits[note >> 6] &= ~bit(note);
        }
    }
    bool contains(int note) const { return inRange(note) && (bits[note >> 6] & bit(note)) != 0; }
    bool empty() const { return (bits[0] | bits[1]) == 0; }
    // Largest note in the set; -1 when empty.
    int highest() const
    {
        for (int word = 1; word >= 0; --word) {
            if (bits[word] != 0) {
                return word * 64 + 63 - __builtin_clzll(bits[word]);
            }
        }
        return -1;
    }

private:
    static std::uint64_t bit(int note) { return std::uint64_t{1} << (note & 63); }

    std::uint64_t bits[2] = {0, 0}; // bit n of word w: note 64 * w + n is in the set
};

// Every voice plays its own note; a new note takes the voice that last played
// the same note, else the first idle voice, else steals the voice that was
// started longest ago. The pedal holds released notes until it goes up.
// MaxVoices is the most voices it manages (its fixed storage), up to
// kMaxPolyVoices.
template <class VoiceT, int MaxVoices>
class PolyVoiceManager : public IVoiceManager {
    static_assert(MaxVoices > 0 && MaxVoices <= kMaxPolyVoices, "one bit per voice in a 32-bit word");

public:
    // Pedal is down.
    bool sustain = false;
    // Each managed voice exactly once, least recently started first. Ties in
    // voice choice go to the front, so right after construction the lowest
    // voice in the array wins.
    VoiceT* voiceOrder[MaxVoices] = {};
    // Bit i: voice first + i had its key go up while the pedal was down and
    // has not been started since. Walking the bits upward visits the voices
    // in array order.
    std::uint32_t sustainedVoices = 0;

    PolyVoiceManager() = default;
    // Manages [first, last); only the first MaxVoices of a longer range, none
    // of an empty or reversed one.
    PolyVoiceManager(VoiceT* first, VoiceT* last) : voices(first)
    {
        const auto available = (first != nullptr && last > first) ? last - first : 0;
        voiceCount = available > MaxVoices ? MaxVoices : static_cast<int>(available);
        for (int i = 0; i < voiceCount; ++i) {
            voiceOrder[i] = first + i;
        }
    }

    void noteOn(int note, double /*velocity: no voice depends on it*/) override
    {
        if (!NoteSet::inRange(note) || voiceCount == 0) {
            return;
        }
        // The same note first (a voice replaying its note keeps one voice per
        // key), then an idle voice, then the oldest start.
        int chosen = -1;
        for (int i = 0; i < voiceCount && chosen < 0; ++i) {
            if (voiceOrder[i]->note == note) {
                chosen = i;
            }
        }
        for (int i = 0; i < voiceCount && chosen < 0; ++i) {
            if (!voiceOrder[i]->isSounding()) {
                chosen = i;
            }
        }
        if (chosen < 0) {
            chosen = 0;
        }
        VoiceT* voice = voiceOrder[chosen];
        for (int i = chosen; i + 1 < voiceCount; ++i) {
            voiceOrder[i] = voiceOrder[i + 1];
        }
        voiceOrder[voiceCount - 1] = voice;
        sustainedVoices &= ~positionBit(voice);
        // Polyphonic voices never glide: each key has its own voice.
        voice->setNote(note, false);
        voice->trigger();
    }

    void noteOff(int note) override
    {
        if (!NoteSet::inRange(note)) {
            return;
        }
        // Every sounding voice with this note, not only the first.
        for (int i = 0; i < voiceCount; ++i) {
            VoiceT* voice = voiceOrder[i];
            if (voice->isSounding() && voice->note == note) {
                if (sustain) {
                    sustainedVoices |= positionBit(voice);
                } else {
                    voice->release();
                }
            }
        }
    }

    void setSustain(bool down) override
    {
        sustain = down;
        if (down) {
            return;
        }
        // Keys still held were never added, so their voices play on.
        for (int i = 0; i < voiceCount; ++i) {
            if ((sustainedVoices >> i) & 1u) {
                voices[i].release();
            }
        }
        sustainedVoices = 0;
    }

private:
    std::uint32_t positionBit(const VoiceT* voice) const
    {
        return std::uint32_t{1} << static_cast<int>(voice - voices);
    }

    VoiceT* voices = nullptr; // start of the managed range (position 0)
    int voiceCount = 0;       // managed voices, 0..MaxVoices
};

namespace detail {

// One note at a time on one voice, with last-note priority; when the sounding
// key goes up while others are held, the voice falls back to the highest held
// key. Legato restarts the envelopes only when no note was held and glides
// otherwise; Retrigger always glides and always restarts the envelopes.
template <class VoiceT, bool Legato>
class MonoVoiceManager : public IVoiceManager {
public:
    // The one voice these modes play; null when built over an empty range.
    VoiceT* voice = nullptr;
    // Keys that are down, whether or not the pedal is.
    NoteSet heldNotes;
    // Pedal is down.
    bool sustain = false;

    MonoVoiceManager() = default;
    // Plays the first voice of [first, last).
    MonoVoiceManager(VoiceT* first, VoiceT* last) : voice(first != nullptr && last > first ? first : nullptr) {}

    void noteOn(int note, double /*velocity: no voice depends on it*/) override
    {
        if (!NoteSet::inRange(note) || voice == nullptr) {
            return;
        }
        if (Legato) {
            if (heldNotes.contains(note)) {
                return;
            }
            // A note held by key or pedal continues; one that is only
            // finishing its release does not.
            const bool held = voice->gate;
            heldNotes.insert(note);
            voice->setNote(note, held);
            if (!held) {
                voice->trigger();
            }
        } else {
            heldNotes.insert(note);
            // Retrigger glides even out of silence: the glide starts from the
            // last note played.
            voice->setNote(note, true);
            voice->trigger();
        }
    }

    void noteOff(int note) override
    {
        if (!NoteSet::inRange(note) || voice == nullptr) {
            return;
        }
        heldNotes.erase(note);
        if (sustain) {
            return;
        }
        if (heldNotes.empty()) {
            voice->release();
        } else if (note == voice->note) {
            fallBackToHighest();
        }
    }

    void setSustain(bool down) override
    {
        sustain = down;
        if (down || voice == nullptr) {
            return;
        }
        if (heldNotes.empty()) {
            voice->release();
        } else if (!heldNotes.contains(voice->note)) {
            fallBackToHighest();
        }
    }

private:
    void fallBackToHighest()
    {
        voice->setNote(heldNotes.highest(), true);
        if (!Legato) {
            voice->trigger();
        }
    }
};

} // namespace detail

template <class VoiceT>
class MonoRetriggerVoiceManager : public detail::MonoVoiceManager<VoiceT, false> {
public:
    using detail::MonoVoiceManager<VoiceT, false>::MonoVoiceManager;
};

template <class VoiceT>
class MonoLegatoVoiceManager : public detail::MonoVoiceManager<VoiceT, true> {
public:
    using detail::MonoVoiceManager<VoiceT, true>::MonoVoiceManager;
};

} // namespace zem
