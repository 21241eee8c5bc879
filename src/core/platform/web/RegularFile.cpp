// The web page's bounded reader: the page has no file system (styles reach the core as bytes), so
// every path is refused as one that does not exist, and nothing is opened.

#include "platform/RegularFile.h"

#include <cerrno>

namespace korvane {

RegularFileOpen OpenRegularFile(const std::string&) {
    RegularFileOpen refused;
    refused.errorCode = ENOENT;
    return refused;
}

FileRead ReadRegularFile(const std::string&, std::size_t, std::string& content) {
    content.clear();
    return {FileReadOutcome::CannotOpen, ENOENT};
}

FileRead ReadRegularFile(const std::string&, std::size_t, std::vector<std::uint8_t>& content) {
    content.clear();
    return {FileReadOutcome::CannotOpen, ENOENT};
}

} // namespace korvane
