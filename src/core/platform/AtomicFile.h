#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// Where a failed atomic write stopped, with the system's error code.
enum class WriteStage { None, Open, Write, Replace };

struct WriteFailure {
    WriteStage stage = WriteStage::None;
    int errorCode = 0;
    explicit operator bool() const { return stage != WriteStage::None; }
};

// Writes bytes to path through a temporary file in the same folder, flushed to disk, that
// replaces path only when it is complete: a failure at any point leaves path as it was. A new
// file gets the usual permissions; a replaced file keeps its own.
WriteFailure WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace korvane
