#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane {

struct FileFilter {
    std::string description; // "Style Files (*.sty;*.mid)"
    std::string patterns;    // "*.sty; *.mid"
    bool operator==(const FileFilter&) const = default;
};

// The platform's open and save dialogs. Each returns the chosen full path, or nothing on Cancel.
class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    // The chosen file and its folder must exist.
    virtual std::optional<std::string> GetOpenFileName(const std::string& folder,
                                                       const std::vector<FileFilter>& filters) = 0;
    // The folder must exist; the file may be new or existing (the caller asks about overwriting).
    virtual std::optional<std::string> GetSaveFileName(const std::string& folder,
                                                       const std::string& initialName,
                                                       const std::vector<FileFilter>& filters) = 0;
};

// The filter pair of Open and Save.
inline std::vector<FileFilter> StyleFileFilters() {
    return {{"Style Files (*.sty;*.mid)", "*.sty; *.mid"}, {"All Files (*.*)", "*.*"}};
}

} // namespace korvane
