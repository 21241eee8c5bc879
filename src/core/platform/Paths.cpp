#include "platform/Paths.h"

#include <filesystem>

namespace korvane {

std::string FileNameOfPath(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string FolderOfPath(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.string();
}

} // namespace korvane
