#pragma once

#include <filesystem>
#include <string>
#include <vector>

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

// The path std::filesystem's calls are given for a name: FileSystemPath(name), on Windows in its
// full form with the "\\?\" prefix where the plain form would not reach the file (a path too
// long for the plain calls, a file named as a device). Only for calls, never for messages.
std::filesystem::path SystemPath(const std::string& name);

// The names of the entries of folder ("." and ".." left out), in the system's order; false with
// the system's error code when the folder cannot be read. Reaches folders of any path length.
bool FolderEntryNames(const std::string& folder, std::vector<std::string>& names, int& errorCode);

// Why a file cannot be written under its name on Windows, which would take another file for it:
// a device's name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, in any case, with any
// extension) or a name that ends in a dot or blank, which Windows drops.
enum class FileNameProblem { None, ReservedDeviceName, TrailingDotOrBlank };
FileNameProblem WindowsNameProblem(const std::string& fileName);

// The problem of path's file name on this system: WindowsNameProblem on Windows, none elsewhere.
FileNameProblem OutputNameProblem(const std::string& path);

} // namespace korvane
