#pragma once
// Listening-free measures of a patch, to judge a table of them side by side:
// how loud one note is, whether eight voices at once clip, whether the output
// carries a DC offset. Each patch is played from a fresh synthesizer at
// 44.1 kHz in blocks of 512, the random sequence at its first seed, so the
// figures are the same on every run.

#include "synth/patches.h"

namespace patches {

struct PatchMeasures {
    // One note (A3, the middle of every patch's range), held 2.5 s then
    // released: the loudest RMS over 50 ms windows, in dB below full scale.
    // Loudest rather than average, so a pluck that dies away and a pad that
    // swells are compared at the level they speak at.
    double noteLevelDb;
    // Eight notes started together, held 2 s, in two voicings (a wide one
    // from C2, a close one from C4): the highest sample, in dB below full
    // scale (>= 0 clips). A mono patch plays one of them.
    double chordPeakDb;
    // The one note's mean over the whole render (its DC offset), in dB below
    // full scale (-inf without offset).
    double noteDcDb;
};

PatchMeasures measurePatch(const Veldane::Patch& patch);

} // namespace patches
