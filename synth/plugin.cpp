#include "synth/plugin.h"

namespace Veldane {

Plugin::Plugin(HINSTANCE moduleHandle, zem::HostCallback hostCallback)
    : PluginWithEditor(moduleHandle, hostCallback) {
    // The parameter members have entered themselves in `params` as they were
    // built. Apply the default rate, then route every default into the
    // engine; the pass over index 35 creates the first voice manager.
    setSampleRate(kDefaultSampleRate);
    for (int i = 0; i < numParameters; ++i) parameterChanged(i);
    // No audio thread exists yet, so the first voice manager is installed at
    // once rather than at the start of the first block.
    prepareBlock();
}

void Plugin::setSampleRate(double rate) {
    sampleRate = rate;
    // Every parameter whose engine setting is a per-sample rate or
    // coefficient, so that each keeps its time in ms or its frequency in Hz.
    const zem::Parameter* const rateDependent[] = {&lfoFrequency, &lfoDelay, &ampAttack,  &ampDecay,  &ampRelease,
                                                   &modAttack,    &modDecay, &modRelease, &glideTime};
    for (const zem::Parameter* parameter : rateDependent) parameterChanged(indexOf(*parameter));
    engine.setSampleRate(rate);
}

int Plugin::indexOf(const zem::Parameter& parameter) const noexcept {
    for (int i = 0; i < numParameters; ++i) {
        if (params[i] == &parameter) return i;
    }
    return -1;
}

} // namespace Veldane
