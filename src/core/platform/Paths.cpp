#include "platform/Paths.h"

#include <algorithm>
#include <array>
#include <string_view>

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

namespace {

// Whether text is a device's name in any case; the name has capitals, digits and '$'.
bool IsDeviceName(std::string_view text, std::string_view name) {
    return std::equal(text.begin(), text.end(), name.begin(), name.end(),
                      [](char t, char n) { return t == n || (n >= 'A' && t == n + ('a' - 'A')); });
}

} // namespace

FileNameProblem WindowsNameProblem(const std::string& fileName) {
    if (!fileName.empty() && (fileName.back() == '.' || fileName.back() == ' '))
        return FileNameProblem::TrailingDotOrBlank;
    // Windows reads the part before the first dot, blanks at its end dropped, as the device.
    std::string stem = fileName.substr(0, fileName.find('.'));
    stem.erase(stem.find_last_not_of(' ') + 1);
    static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                                 "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view device : kDevices) {
        if (IsDeviceName(stem, device))
            return FileNameProblem::ReservedDeviceName;
    }
    // COM1 to COM9 and LPT1 to LPT9, and the superscript digits 1, 2 and 3 that Windows takes too.
    const std::string_view port = std::string_view(stem).substr(0, 3);
    if (stem.size() >= 4 && (IsDeviceName(port, "COM") || IsDeviceName(port, "LPT"))) {
        const std::string number = stem.substr(3);
        if ((number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
            number == "\xC2\xB2" || number == "\xC2\xB3")
            return FileNameProblem::ReservedDeviceName;
    }
    return FileNameProblem::None;
}

#ifndef _WIN32
std::filesystem::path SystemPath(const std::string& name) {
    return FileSystemPath(name);
}

FileNameProblem OutputNameProblem(const std::string&) {
    return FileNameProblem::None;
}

bool FolderEntryNames(const std::string& folder, std::vector<std::string>& names, int& errorCode) {
    std::error_code error;
    std::filesystem::directory_iterator entries(FileSystemPath(folder), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error))
        names.push_back(NameOfPath(entries->path().filename()));
    errorCode = error.value();
    return !error;
}
#endif

} // namespace korvane
