#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// A style's bytes travel as they stood in the file; texts are byte strings in the system's code
// page and are never decoded inside the core.
using ByteArray = std::vector<std::uint8_t>;

// Reads an optional sign and the leading decimal digits of a text; conversion stops at the first
// other character, and a text without leading digits gives 0 (the C library's atol, without its
// overflow).
long long LeadingInteger(const std::string& text);

// Platform path helpers: the file name without its folder, and the folder without the file name
// (empty when the path has no separator).
std::string FileNameOfPath(const std::string& path);
std::string FolderOfPath(const std::string& path);

} // namespace korvane
