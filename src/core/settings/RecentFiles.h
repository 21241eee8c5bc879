#pragma once

#include "settings/ProfileFile.h"
#include "settings/Settings.h"

#include <cstddef>
#include <string>
#include <vector>

namespace korvane {

// The files opened last, newest first, kept in "Korvane.ini" as "Recent File List"/"File1",
// "File2", ... as many as the recent-list size of Preferences. Each path is listed once: a file
// opened again, under any spelling of its path, moves to the top.
class CRecentFiles {
public:
    // The most entries kept, whatever size is configured.
    static constexpr int kMostEntries = 16;

    // Reads the entries File1 to FileN of the configuration file, N being the recent-list size;
    // empty entries, the "none" of a missing key and a second entry for a file listed already are
    // skipped.
    void Load(const CSettings& settings);

    const std::vector<std::string>& GetFiles() const { return m_files; }

    // An opened file moves to the top as its absolute path; the list is cut to the recent-list
    // size and written back in one rewrite of the file. False when the file could not be written.
    bool Add(const CSettings& settings, const std::string& path);
    // A file that no longer exists leaves the list, which is written back.
    bool Remove(const CSettings& settings, const std::string& path);

    // After Preferences changed the recent-list size: the list is cut to it, and the keys that
    // make the file hold the shorter list are returned (none when the file holds it already), so
    // that a larger size later does not bring the dropped entries back.
    std::vector<ProfileEntry> Fit(const CSettings& settings);

    static int Capacity(const CSettings& settings);

private:
    bool Write(const CSettings& settings);
    std::vector<ProfileEntry> Entries() const;

    std::vector<std::string> m_files;
    // The keys File1 to FileN the file may hold a path in, so that a shorter list empties the rest.
    std::size_t m_storedEntries = 0;
};

// The number an entry is shown with in the File menu, with its accelerator: "&1" to "&9" for the
// first nine, "1&0" for the tenth, and the plain number after that.
std::string RecentFileNumber(std::size_t index);

// The text of a missing file's message.
std::string RecentFileMissingText(const std::string& path);

} // namespace korvane
