#pragma once

namespace zem {

// Decides which of the engine's voices plays a note. Called by the block loop
// on the audio thread, between rendered segments; implementations never
// allocate and take no lock.
class IVoiceManager {
public:
    // A key went down; note 0..127, velocity 0..127 (accepted, not used).
    virtual void noteOn(int note, double velocity) = 0;
    // A key went up.
    virtual void noteOff(int note) = 0;
    // The sustain pedal went down (true) or up (false).
    virtual void setSustain(bool down) = 0;
    virtual ~IVoiceManager() = default;
};

} // namespace zem
