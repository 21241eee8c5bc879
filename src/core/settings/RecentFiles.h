#pragma once

#include "settings/Settings.h"

#include <string>
#include <vector>

namespace korvane {

// The files opened last, newest first, kept in "Korvane.ini" as "Recent File List"/"File1",
// "File2", ... as many as the recent-list size of Preferences.
class CRecentFiles {
public:
    // The most entries kept, whatever size is configured.
    static constexpr int kMostEntries = 16;

    // Reads the entries File1 to FileN of the configuration file, N being the recent-list size;
    // empty entries and the "none" of a missing key are skipped.
    void Load(const CSettings& settings);

    const std::vector<std::string>& GetFiles() const { return m_files; }

    // An opened file moves to the top; the list is cut to the recent-list size and written back.
    void Add(const CSettings& settings, const std::string& path);
    // A file that no longer exists leaves the list, which is written back.
    void Remove(const CSettings& settings, const std::string& path);

    static int Capacity(const CSettings& settings);

private:
    void Write(const CSettings& settings);

    std::vector<std::string> m_files;
    int m_writtenEntries = 0; // entries on disk that may need emptying when the list shrinks
};

// The text of a missing file's message.
std::string RecentFileMissingText(const std::string& path);

} // namespace korvane
