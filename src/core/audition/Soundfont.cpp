#include "audition/Soundfont.h"

#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

namespace korvane {

std::string FindSoundfont(const std::string& configured, const std::string& systemFolder) {
    namespace fs = std::filesystem;
    if (!configured.empty())
        return configured; // the configured file is used as it stands; loading tells what is wrong
    std::error_code error;
    const fs::path preferred = fs::path(systemFolder) / "TimGM6mb.sf2";
    if (fs::is_regular_file(preferred, error))
        return preferred.string();
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(systemFolder, error)) {
        if (entry.path().extension() == ".sf2" && entry.is_regular_file(error))
            found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found.empty() ? std::string() : found.front();
}

} // namespace korvane

namespace korvane {

std::optional<std::string> CheckSoundfont(const std::string& path) {
    if (path.empty())
        return "no soundfont found";
    const RegularFileOpen opened = OpenRegularFile(path);
    // A FIFO, device or socket: said as such, not by the code the refusal carries.
    if (!opened.stream && opened.errorCode == ENXIO)
        return "the soundfont " + path + " is not a regular file";
    if (!opened.stream) {
        return "the soundfont " + path +
               " cannot be read: " + std::generic_category().message(opened.errorCode);
    }
    std::fclose(opened.stream);
    if (opened.size > kMaxSoundfontBytes)
        return "the soundfont " + path + " is too large";
    return std::nullopt;
}

} // namespace korvane
