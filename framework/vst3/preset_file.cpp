#include "framework/vst3/preset_file.h"

#include <cstdio>
#include <cstring>

namespace zem::vst3 {

namespace {

constexpr char kFileId[4] = {'V', 'S', 'T', '3'};
constexpr char kListId[4] = {'L', 'i', 's', 't'};
constexpr char kComponentId[4] = {'C', 'o', 'm', 'p'};
constexpr char kControllerId[4] = {'C', 'o', 'n', 't'};
constexpr char kMetaInfoId[4] = {'I', 'n', 'f', 'o'};
constexpr std::int32_t kFormatVersion = 1;
constexpr std::size_t kClassIdDigits = 32;
// 'VST3', the version, the class id and the list's offset.
constexpr std::size_t kHeaderBytes = 4 + 4 + kClassIdDigits + 8;
// 'List' and the count; then per chunk its id, offset and size.
constexpr std::size_t kListHeadBytes = 8;
constexpr std::size_t kListEntryBytes = 4 + 8 + 8;
// More chunks than any writer makes (it knows three kinds): a list longer
// than this is no preset file's.
constexpr std::uint32_t kMaxChunks = 64;

void put(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint64_t get(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

void putId(std::vector<std::uint8_t>& out, const char (&id)[4]) {
    for (const char c : id) out.push_back(static_cast<std::uint8_t>(c));
}

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

} // namespace

std::string uidText(const Uid& uid) {
    const auto* b = reinterpret_cast<const unsigned char*>(uid.bytes);
    auto bigEndian = [b](int at) {
        return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
    };
#ifdef _WIN32
    // A Windows GUID's bytes: the first number little-endian, the second as
    // two little-endian halves (makeUid, framework/vst3/base.h).
    const std::uint32_t first = std::uint32_t(b[3]) << 24 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[1]) << 8 | b[0];
    const std::uint32_t second = std::uint32_t(b[5]) << 24 | std::uint32_t(b[4]) << 16 | std::uint32_t(b[7]) << 8 | b[6];
#else
    const std::uint32_t first = bigEndian(0), second = bigEndian(4);
#endif
    char text[kClassIdDigits + 1];
    std::snprintf(text, sizeof text, "%08X%08X%08X%08X", static_cast<unsigned>(first), static_cast<unsigned>(second),
                  static_cast<unsigned>(bigEndian(8)), static_cast<unsigned>(bigEndian(12)));
    return text;
}

std::string presetMetaInfo(const std::vector<std::pair<std::string, std::string>>& attributes) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<MetaInfo>\n";
    for (const auto& [id, value] : attributes)
        xml += "\t<Attr id=\"" + escaped(id) + "\" value=\"" + escaped(value) + "\" type=\"string\"/>\n";
    return xml + "</MetaInfo>\n";
}

std::vector<std::uint8_t> writePresetFile(const Uid& classId, const std::vector<std::uint8_t>& component,
                                          const std::string& metaInfo) {
    std::vector<std::uint8_t> out;
    putId(out, kFileId);
    put(out, kFormatVersion, 4);
    const std::string id = uidText(classId);
    out.insert(out.end(), id.begin(), id.end());
    const std::size_t listOffsetAt = out.size();
    put(out, 0, 8); // the list's offset, known once the data is written
    const std::uint64_t componentAt = out.size();
    out.insert(out.end(), component.begin(), component.end());
    const std::uint64_t metaInfoAt = out.size();
    out.insert(out.end(), metaInfo.begin(), metaInfo.end());
    const std::uint64_t listAt = out.size();
    putId(out, kListId);
    put(out, metaInfo.empty() ? 1 : 2, 4);
    putId(out, kComponentId);
    put(out, componentAt, 8);
    put(out, component.size(), 8);
    if (!metaInfo.empty()) {
        putId(out, kMetaInfoId);
        put(out, metaInfoAt, 8);
        put(out, metaInfo.size(), 8);
    }
    for (int i = 0; i < 8; ++i) out[listOffsetAt + i] = static_cast<std::uint8_t>(listAt >> (8 * i));
    return out;
}

bool readPresetFile(const std::uint8_t* data, std::size_t size, PresetFile& file, std::string& error) {
    if (data == nullptr || size < kHeaderBytes + kListHeadBytes) {
        error = "too short to be a VST 3 preset file";
        return false;
    }
    if (std::memcmp(data, kFileId, 4) != 0) {
        error = "not a VST 3 preset file (no 'VST3' at its start)";
        return false;
    }
    if (static_cast<std::int32_t>(get(data + 4, 4)) < kFormatVersion) {
        error = "a preset file of an unknown version";
        return false;
    }
    PresetFile read;
    read.classId.assign(reinterpret_cast<const char*>(data + 8), kClassIdDigits);
    for (const char c : read.classId) {
        if (!isHexDigit(c)) {
            error = "the class id is not 32 hex digits";
            return false;
        }
    }
    const std::uint64_t listAt = get(data + 8 + kClassIdDigits, 8);
    if (listAt < kHeaderBytes || listAt > size - kListHeadBytes || std::memcmp(data + listAt, kListId, 4) != 0) {
        error = "the chunk list is not where the header says";
        return false;
    }
    const std::uint64_t count = get(data + listAt + 4, 4);
    if (count > kMaxChunks || count * kListEntryBytes > size - listAt - kListHeadBytes) {
        error = "the chunk list runs past the end of the file";
        return false;
    }
    bool hasComponent = false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = data + listAt + kListHeadBytes + i * kListEntryBytes;
        const std::uint64_t at = get(entry + 4, 8), length = get(entry + 12, 8);
        if (at < kHeaderBytes || at > listAt || length > listAt - at) {
            error = "a chunk lies outside the file's data";
            return false;
        }
        const std::uint8_t* chunk = data + at;
        if (std::memcmp(entry, kComponentId, 4) == 0 && !hasComponent) {
            read.component.assign(chunk, chunk + length);
            hasComponent = true;
        } else if (std::memcmp(entry, kControllerId, 4) == 0) {
            read.controller.assign(chunk, chunk + length);
        } else if (std::memcmp(entry, kMetaInfoId, 4) == 0) {
            read.metaInfo.assign(reinterpret_cast<const char*>(chunk), length);
        }
    }
    if (!hasComponent) {
        error = "the preset file holds no component state ('Comp')";
        return false;
    }
    file = std::move(read);
    return true;
}

} // namespace zem::vst3
