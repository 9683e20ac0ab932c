// Draws the editor panel as it looks right after opening, with every control
// at its parameter's default, from the committed images and with the plug-in's
// own decoder and blit, and writes it as a PNG for the documentation.
//
//   compose_panel [RESOURCE_DIR [OUTPUT_PNG]]
//
// Defaults: the source tree's resources/ and docs/images/panel.png. The version
// label is left out: Windows draws it with a system font at run time.

#include <png.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "gfx/png_decode.h"

namespace {

constexpr int kKnobFrames = 97;
constexpr int kSliderHeight = 110;
constexpr int kSliderTravel = 83; // slider height less the handle's 27 pixels
constexpr int kRadioSpacing = 13;

struct KnobAt {
    int left, top;
    double value; // normalized default of the parameter shown
};

struct SliderAt {
    int left, top;
    double value;
};

struct LampsAt {
    int left, top;
    int count; // 1 for a switch
    int lit;   // index of the lit lamp, or -1
};

// Positions and defaults of the panel's controls.
const KnobAt kKnobs[] = {
    {95, 48, 30.0 / 36},   // Osc1 Volume, -6 dB
    {95, 120, 1.0},        // Osc1 Shape Mod
    {95, 224, 0.0},        // Osc2 Volume, silent
    {95, 296, 0.5},        // Osc2 Detune
    {182, 48, 0.5},        // Master Tune
    {182, 120, 0.5},       // Osc1/2 Detune
    {182, 249, 0.0},       // Pitch Mod Depth
    {333, 48, 1.0},        // Filter Cutoff
    {333, 120, 0.0},       // Filter Q
    {269, 192, 0.0},       // Filter Mod
    {333, 192, 0.0},       // Filter KbdTrk
    {484, 120, 0.5},       // LFO Frequency
    {484, 48, 0.0},        // LFO Delay
    {484, 223, 0.0},       // Glide Time
    {420, 296, 1.0},       // Bend Range, 12 semitones
    {484, 296, 30.0 / 36}, // Master Volume, -6 dB
};

const SliderAt kSliders[] = {
    {575, 48, 0.0}, {601, 48, 0.0}, {627, 48, 1.0}, {653, 48, 0.0},    // Amp A D S R
    {575, 224, 0.0}, {601, 224, 0.0}, {627, 224, 1.0}, {653, 224, 0.0}, // Mod A D S R
};

const LampsAt kLamps[] = {
    {24, 47, 3, 0},   // Osc1 Waveform
    {24, 119, 3, 0},  // Osc1 Shape Mod Src
    {24, 224, 3, 0},  // Osc2 Waveform
    {24, 300, 1, -1}, // Osc2 Ringmod
    {24, 317, 1, -1}, // Osc2 Sync
    {175, 187, 2, 0}, // Pitch Mod Src
    {175, 217, 1, -1}, // Pitch Mod Inv
    {175, 315, 1, 0}, // Pitch Mod Osc1, on
    {175, 328, 1, 0}, // Pitch Mod Osc2, on
    {262, 48, 3, 0},  // Filter Type
    {262, 119, 2, 0}, // Filter Mod Src
    {262, 149, 1, -1}, // Filter Mod Inv
    {413, 54, 2, 0},  // LFO Waveform
    {413, 223, 3, 0}, // Voice Mode
};

std::unique_ptr<LICE_MemBitmap> load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::unique_ptr<LICE_MemBitmap> b(decodePng(bytes.data(), bytes.size()));
    if (!b)
        std::fprintf(stderr, "compose_panel: cannot decode %s\n", path.c_str());
    return b;
}

// The bitmap's memory is B, G, R, A per pixel, which libpng's simplified
// writer takes as it is.
bool writePng(LICE_MemBitmap& b, const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(b.width());
    image.height = static_cast<png_uint_32>(b.height());
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, path.c_str(), 0, b.pixels(), b.rowSpan() * 4, nullptr) != 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string resources = argc > 1 ? argv[1] : VELDANE_SOURCE_DIR "/resources";
    const std::string output = argc > 2 ? argv[2] : VELDANE_SOURCE_DIR "/docs/images/panel.png";

    auto panel = load(resources + "/panel.png");
    auto knob = load(resources + "/knob.png");
    auto handle = load(resources + "/slider_handle.png");
    auto lampOn = load(resources + "/lamp_on.png");
    auto lampOff = load(resources + "/lamp_off.png");
    if (!panel || !knob || !handle || !lampOn || !lampOff)
        return 1;

    const int frameHeight = knob->height() / kKnobFrames;
    for (const KnobAt& k : kKnobs) {
        const int frame = static_cast<int>((kKnobFrames - 1) * k.value + 0.5);
        blit(panel.get(), knob.get(), k.left, k.top, 0, frame * frameHeight, knob->width(), frameHeight,
             BlitMode::sourceAlpha);
    }
    for (const SliderAt& s : kSliders) {
        const int bottom = s.top + kSliderHeight;
        const int y = bottom - static_cast<int>(kSliderTravel * s.value + 0.5) - handle->height();
        blit(panel.get(), handle.get(), s.left, y, nullptr, BlitMode::sourceAlpha);
    }
    for (const LampsAt& l : kLamps)
        for (int i = 0; i < l.count; ++i)
            blit(panel.get(), i == l.lit ? lampOn.get() : lampOff.get(), l.left, l.top + i * kRadioSpacing, nullptr,
                 BlitMode::copy);

    if (!writePng(*panel, output)) {
        std::fprintf(stderr, "compose_panel: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
