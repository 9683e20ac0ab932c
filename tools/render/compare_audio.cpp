// compare-audio: whether two sound files hold the same samples, bit for bit.
// For checking a render against another of the same events (the offline
// renderer against the plug-in in a host, a render before and after a change
// meant to keep the sound).
//
// Usage: compare-audio A B
// Exits with 0 when both have the same rate, channel count, length and every
// sample equal (as 32-bit floats, exact for float files and for integer files
// of up to 24 bits); otherwise prints where they differ and by how much, and
// exits with 1 (2 when a file cannot be read).
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Sound {
    SF_INFO info{};
    std::vector<float> samples; // interleaved
};

bool load(const char* path, Sound& sound)
{
    SNDFILE* file = sf_open(path, SFM_READ, &sound.info);
    if (!file) {
        std::fprintf(stderr, "compare-audio: cannot read %s: %s\n", path, sf_strerror(nullptr));
        return false;
    }
    sound.samples.resize(static_cast<std::size_t>(sound.info.frames * sound.info.channels));
    const sf_count_t got = sf_readf_float(file, sound.samples.data(), sound.info.frames);
    sf_close(file);
    if (got != sound.info.frames) {
        std::fprintf(stderr, "compare-audio: %s is cut short\n", path);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: compare-audio A B\n");
        return 64;
    }
    Sound a, b;
    if (!load(argv[1], a) || !load(argv[2], b))
        return 2;
    if (a.info.samplerate != b.info.samplerate || a.info.channels != b.info.channels) {
        std::printf("differ: %d Hz, %d channels against %d Hz, %d channels\n", a.info.samplerate, a.info.channels,
                    b.info.samplerate, b.info.channels);
        return 1;
    }
    const std::size_t common = std::min(a.samples.size(), b.samples.size());
    std::size_t differing = 0, first = 0, largestAt = 0;
    double largest = 0.0;
    for (std::size_t i = 0; i < common; ++i) {
        if (a.samples[i] == b.samples[i])
            continue;
        if (differing++ == 0)
            first = i;
        const double d = std::fabs(double(a.samples[i]) - double(b.samples[i]));
        if (d > largest) {
            largest = d;
            largestAt = i;
        }
    }
    const auto channels = static_cast<std::size_t>(a.info.channels);
    if (differing == 0 && a.samples.size() == b.samples.size()) {
        std::printf("identical: %zu frames at %d Hz\n", common / channels, a.info.samplerate);
        return 0;
    }
    if (a.samples.size() != b.samples.size())
        std::printf("differ in length: %lld against %lld frames\n", static_cast<long long>(a.info.frames),
                    static_cast<long long>(b.info.frames));
    if (differing > 0)
        std::printf("differ in %zu of %zu samples, first at frame %zu; largest difference %.3g (%.1f dBFS) at "
                    "frame %zu\n",
                    differing, common, first / channels, largest, 20.0 * std::log10(largest), largestAt / channels);
    return 1;
}
