#pragma once

#include <optional>
#include <string>

namespace korvane {

// The platform's folder browser: shows the title, starts in startFolder, and returns the chosen
// folder's path, or nothing when the user cancels or chooses something that is not a folder.
class IFolderBrowser {
public:
    virtual ~IFolderBrowser() = default;
    virtual std::optional<std::string> BrowseForFolder(const std::string& title,
                                                       const std::string& startFolder) = 0;
};

} // namespace korvane
