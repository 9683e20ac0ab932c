#pragma once
// Writes the test hosts' renders: mono 32-bit float WAV files.
#include <vector>

namespace testhost {

// Writes `samples` at `rate` frames per second to path; on failure says why
// on stderr and answers false.
bool writeWav(const char* path, const std::vector<float>& samples, int rate);

} // namespace testhost
