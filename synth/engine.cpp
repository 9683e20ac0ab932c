#include "synth/engine.h"
// PLACEHOLDER until the engine work lands: renders silence.
namespace Veldane {
Engine::Engine() = default;
Engine::~Engine() = default;
void Engine::setSampleRate(double) {}
void Engine::render(int count, float* out) { for (int i = 0; i < count; ++i) out[i] = 0.0f; }
void Engine::render(int count, double* out) { for (int i = 0; i < count; ++i) out[i] = 0.0; }
void Engine::restartLfoDelay() {}
void Engine::setVoiceMode(int) {}
} // namespace Veldane
