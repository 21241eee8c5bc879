#include "platform/Paths.h"

namespace korvane {

std::string FileNameOfPath(const std::string& path) {
    return NameOfPath(FileSystemPath(path).filename());
}

std::string FolderOfPath(const std::string& path) {
    return NameOfPath(FileSystemPath(path).parent_path());
}

std::filesystem::path FileSystemPath(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string NameOfPath(const std::filesystem::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

} // namespace korvane
