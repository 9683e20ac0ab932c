#pragma once
// A read cursor over bytes in memory for the file readers of this folder:
// every read checks what is left first, so no input, however short or hostile,
// makes a reader look past its end. Multi-byte numbers are big-endian, the
// byte order of Standard MIDI Files and VST preset files alike.

#include <cstddef>
#include <cstdint>

namespace formats {

class ByteCursor {
public:
    ByteCursor(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    std::size_t offset() const { return position; }
    std::size_t remaining() const { return size - position; }
    bool atEnd() const { return position == size; }

    // Each read answers false, and moves nothing, when too few bytes are left.
    bool u8(std::uint8_t& out)
    {
        if (remaining() < 1)
            return false;
        out = data[position++];
        return true;
    }
    bool u16(std::uint16_t& out)
    {
        if (remaining() < 2)
            return false;
        out = static_cast<std::uint16_t>(data[position] << 8 | data[position + 1]);
        position += 2;
        return true;
    }
    bool u32(std::uint32_t& out)
    {
        if (remaining() < 4)
            return false;
        out = static_cast<std::uint32_t>(data[position]) << 24 | static_cast<std::uint32_t>(data[position + 1]) << 16 |
              static_cast<std::uint32_t>(data[position + 2]) << 8 | data[position + 3];
        position += 4;
        return true;
    }
    // `count` bytes in place: `out` points into the input.
    bool bytes(std::size_t count, const std::uint8_t*& out)
    {
        if (remaining() < count)
            return false;
        out = data + position;
        position += count;
        return true;
    }
    bool skip(std::size_t count)
    {
        if (remaining() < count)
            return false;
        position += count;
        return true;
    }
    // Four bytes equal to the four characters of `name` (a chunk or record name).
    bool tag(const char (&name)[5])
    {
        if (remaining() < 4)
            return false;
        for (int i = 0; i < 4; ++i)
            if (data[position + i] != static_cast<std::uint8_t>(name[i]))
                return false;
        position += 4;
        return true;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

} // namespace formats
