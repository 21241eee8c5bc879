#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// A style's bytes travel as they stood in the file; texts are byte strings in the system's code
// page and are never decoded inside the core.
using ByteArray = std::vector<std::uint8_t>;

// Appends value as byteCount big-endian bytes, the way every number of a style file is stored.
inline void AppendBigEndian(ByteArray& bytes, std::uint32_t value, int byteCount) {
    for (int shift = 8 * (byteCount - 1); shift >= 0; shift -= 8)
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

} // namespace korvane
