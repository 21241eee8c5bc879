#pragma once

#include <filesystem>
#include <string>

namespace korvane {

// The file name without its folder ("b.sty" of "/a/b.sty").
std::string FileNameOfPath(const std::string& path);

// The folder without the file name ("/a" of "/a/b.sty"); empty when the path names no folder.
std::string FolderOfPath(const std::string& path);

// Creates the folder for this user alone (mode 700; on Windows, with the access rights its parent
// passes on, which give a user's own folders to that user). An existing folder, or one that
// cannot be made, is left for the next write into it to report.
void CreatePrivateFolder(const std::string& path);

// A byte-string name as std::filesystem takes it, and back. Names are UTF-8 on Windows, where a
// std::filesystem::path made from a std::string would read it in the system's code page; on
// other systems the bytes pass as they are.
std::filesystem::path FileSystemPath(const std::string& name);
std::string NameOfPath(const std::filesystem::path& path);

} // namespace korvane
