#pragma once

#include <string>

namespace korvane {

// The file name without its folder ("b.sty" of "/a/b.sty").
std::string FileNameOfPath(const std::string& path);

// The folder without the file name ("/a" of "/a/b.sty"); empty when the path names no folder.
std::string FolderOfPath(const std::string& path);

} // namespace korvane
