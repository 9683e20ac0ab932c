#include "synth/state.h"

#include <cmath>
#include <cstring>

namespace Veldane {

namespace {

constexpr char kMagic[4] = {'V', 'L', 'D', 'N'};
constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kEntryBytes = 8;

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void putEntry(std::vector<std::uint8_t>& out, std::uint32_t id, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32(out, id);
    putU32(out, bits);
}

// A zoom worth keeping: a whole percentage of a plausible size (which sizes
// the panel has is the editor's business).
constexpr int kLargestZoom = 1000;

bool isPanelZoom(float percent) {
    return percent >= 1.0f && percent <= kLargestZoom && percent == static_cast<float>(static_cast<int>(percent));
}

} // namespace

std::vector<std::uint8_t> saveState(const Parameters& params, const InstanceSettings& settings) {
    const float zoom = static_cast<float>(settings.panelZoom);
    const bool hasZoom = isPanelZoom(zoom);
    std::vector<std::uint8_t> out(kMagic, kMagic + 4);
    putU32(out, kStateVersion);
    putU32(out, kParamCount + (hasZoom ? 1 : 0));
    for (std::uint32_t id = 0; id < kParamCount; ++id)
        putEntry(out, id, params.get(static_cast<int>(id)));
    if (hasZoom)
        putEntry(out, kPanelZoomId, zoom);
    return out;
}

bool loadState(const std::uint8_t* data, std::size_t size, Parameters& params, std::string& error,
               InstanceSettings* settings) {
    if (data == nullptr || size < kHeaderBytes) {
        error = "the state is too short to be Veldane's";
        return false;
    }
    if (std::memcmp(data, kMagic, 4) != 0) {
        error = "the state is not Veldane's";
        return false;
    }
    const std::uint32_t version = getU32(data + 4);
    if (version == 0 || version > kStateVersion) {
        error = "the state is of version " + std::to_string(version) + ", this Veldane reads up to " +
                std::to_string(kStateVersion);
        return false;
    }
    const std::uint32_t count = getU32(data + 8);
    if (count > kMaxStateEntries || size != kHeaderBytes + std::size_t(count) * kEntryBytes) {
        error = "the state's length does not match its count of values";
        return false;
    }
    float values[kParamCount];
    bool named[kParamCount] = {};
    bool namedZoom = false;
    float zoom = 0.0f;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = data + kHeaderBytes + std::size_t(i) * kEntryBytes;
        const std::uint32_t id = getU32(entry);
        const std::uint32_t bits = getU32(entry + 4);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) {
            error = "the state holds a value that is not a number for id " + std::to_string(id);
            return false;
        }
        if (id == kPanelZoomId) {
            if (namedZoom) {
                error = "the state names the panel's zoom twice";
                return false;
            }
            namedZoom = true;
            zoom = value;
            continue;
        }
        if (id >= kParamCount) continue; // a parameter or setting of a later version
        if (named[id]) {
            error = "the state names id " + std::to_string(id) + " twice";
            return false;
        }
        named[id] = true;
        values[id] = value;
    }
    for (int id = 0; id < kParamCount; ++id)
        if (named[id]) params.set(id, values[id]);
    if (settings != nullptr && namedZoom)
        settings->panelZoom = isPanelZoom(zoom) ? static_cast<int>(zoom) : 0;
    return true;
}

} // namespace Veldane
