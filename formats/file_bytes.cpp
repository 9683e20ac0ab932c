#include "formats/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace formats {
namespace {

std::string systemError(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

} // namespace

bool readFileBytes(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = systemError("cannot open", path);
        return false;
    }
    // Read in pieces up to one byte past the limit rather than trusting a size
    // asked beforehand: a pipe or a growing file has none.
    std::vector<std::uint8_t> content;
    std::uint8_t piece[65536];
    std::size_t got = 0;
    while (content.size() <= maxBytes && (got = std::fread(piece, 1, sizeof piece, file)) > 0)
        content.insert(content.end(), piece, piece + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "cannot read " + path;
        return false;
    }
    if (content.size() > maxBytes) {
        error = path + " is larger than the " + std::to_string(maxBytes) + " bytes accepted";
        return false;
    }
    bytes = std::move(content);
    return true;
}

bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = systemError("cannot create", path);
        return false;
    }
    std::string problem;
    // An empty vector may hold no storage at all, which fwrite may not be given.
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        problem = systemError("cannot write", path);
    // Closing flushes what the library still holds, so it can fail too (a full disk).
    if (std::fclose(file) != 0 && problem.empty())
        problem = systemError("cannot write", path);
    if (!problem.empty()) {
        std::remove(path.c_str());
        error = problem;
        return false;
    }
    return true;
}

} // namespace formats
