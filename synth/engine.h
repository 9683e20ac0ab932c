#pragma once
// PLACEHOLDER: the engine's public surface, agreed so that the host boundary can
// be built against it. The engine work replaces this file.
#include "framework/voice_manager.h"

namespace Veldane {

class Engine {
public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Host sample rate in Hz (> 0).
    void setSampleRate(double sampleRate);
    // Audio thread: writes exactly count samples at out; never allocates.
    void render(int count, float* out);
    void render(int count, double* out);
    // Audio thread, at every note-on: restarts the LFO's delayed fade-in.
    void restartLfoDelay();
    // 0 mono retrigger, 1 mono legato, 2 poly; other codes change nothing.
    void setVoiceMode(int code);

    double bendRange = 0.0;   // octaves for a full bend
    double bendTarget = 0.0;  // octaves; written by the block loop
    zem::IVoiceManager* voiceManager = nullptr;
};

} // namespace Veldane
