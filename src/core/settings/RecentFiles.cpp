#include "settings/RecentFiles.h"

#include "settings/ProfileFile.h"

#include <algorithm>

namespace korvane {

namespace {

constexpr const char* kSection = "Recent File List";

std::string EntryKey(int index) {
    return "File" + std::to_string(index + 1);
}

} // namespace

int CRecentFiles::Capacity(const CSettings& settings) {
    return std::clamp(settings.recentListSize, 0, kMostEntries);
}

void CRecentFiles::Load(const CSettings& settings) {
    m_files.clear();
    const CProfileFile file(settings.configurationPath);
    const int capacity = Capacity(settings);
    for (int i = 0; i < capacity; ++i) {
        std::string path = file.ReadString(kSection, EntryKey(i), "none", 260);
        if (!path.empty() && path != "none" &&
            std::find(m_files.begin(), m_files.end(), path) == m_files.end())
            m_files.push_back(std::move(path));
    }
    m_writtenEntries = capacity;
}

void CRecentFiles::Add(const CSettings& settings, const std::string& path) {
    const int capacity = Capacity(settings);
    if (capacity == 0 || path.empty())
        return;
    m_files.erase(std::remove(m_files.begin(), m_files.end(), path), m_files.end());
    m_files.insert(m_files.begin(), path);
    if (m_files.size() > std::size_t(capacity))
        m_files.resize(std::size_t(capacity));
    Write(settings);
}

void CRecentFiles::Remove(const CSettings& settings, const std::string& path) {
    const auto end = std::remove(m_files.begin(), m_files.end(), path);
    if (end == m_files.end())
        return;
    m_files.erase(end, m_files.end());
    Write(settings);
}

void CRecentFiles::Write(const CSettings& settings) {
    // Entries past the list's end are written empty, so that a shorter list reads back as it is.
    const int entries = std::max(int(m_files.size()), m_writtenEntries);
    for (int i = 0; i < entries; ++i) {
        const std::string value = std::size_t(i) < m_files.size() ? m_files[std::size_t(i)] : "";
        WriteSetting(settings, kSection, EntryKey(i), value);
    }
    m_writtenEntries = entries;
}

std::string RecentFileMissingText(const std::string& path) {
    return "The file " + path + " no longer exists.\nIt has been removed from the recent files.";
}

} // namespace korvane
