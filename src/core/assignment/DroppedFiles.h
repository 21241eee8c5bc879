#pragma once

#include <cstddef>
#include <string>

namespace korvane {

// Several files dropped on the window: the first is opened, as Open would open it, and the user
// is told that the others were left.
inline std::string SeveralFilesDroppedText(std::size_t count, const std::string& firstName) {
    return std::to_string(count) +
           " files were dropped. Korvane opens one file at a time, so only " + firstName +
           " has been opened.";
}

} // namespace korvane
