#pragma once

#include <optional>
#include <string>

namespace korvane {

// The platform's modal folder browser: shows the title and gives the chosen folder's path, or
// nothing when the user cancels or picks something without a file-system path.
class IFolderBrowser {
public:
    virtual ~IFolderBrowser() = default;
    virtual std::optional<std::string> BrowseForFolder(const std::string& title) = 0;
};

} // namespace korvane
