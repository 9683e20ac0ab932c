#pragma once
// Mono 32-bit float WAV files, as the test hosts write their renders.
#include <vector>

namespace testhost {

// Writes `samples` at `rate` frames per second; false (with a message on
// stderr) when the file cannot be written.
bool writeWav(const char* path, const std::vector<float>& samples, int rate);

} // namespace testhost
