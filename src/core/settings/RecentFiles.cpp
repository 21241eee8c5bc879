#include "settings/RecentFiles.h"

#include <algorithm>
#include <filesystem>

namespace korvane {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSection = "Recent File List";
constexpr std::size_t kPathCharacters = 259;

std::string EntryKey(std::size_t index) {
    return "File" + std::to_string(index + 1);
}

// Two entries name one file when they are spelled alike or lead to the same file (through a
// link, "..", or a folder mounted twice).
bool SameFile(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

} // namespace

int CRecentFiles::Capacity(const CSettings& settings) {
    return std::clamp(settings.recentListSize, 0, kMostEntries);
}

void CRecentFiles::Load(const CSettings& settings) {
    m_files.clear();
    m_storedEntries = 0;
    const CProfileSnapshot file = CProfileSnapshot::Load(settings.configurationPath);
    const std::size_t capacity = std::size_t(Capacity(settings));
    // Every key is read, not only the first N: those past the list count as stored, so that
    // writing a shorter list empties them.
    for (std::size_t i = 0; i < std::size_t(kMostEntries); ++i) {
        std::string path = file.ReadString(kSection, EntryKey(i), "none", kPathCharacters + 1);
        if (path.empty() || path == "none")
            continue;
        m_storedEntries = i + 1;
        if (i < capacity && std::none_of(m_files.begin(), m_files.end(),
                                         [&](const std::string& f) { return SameFile(f, path); }))
            m_files.push_back(std::move(path));
    }
}

bool CRecentFiles::Add(const CSettings& settings, const std::string& path) {
    const std::size_t capacity = std::size_t(Capacity(settings));
    if (capacity == 0 || path.empty())
        return true;
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    const std::string entry = error ? path : absolute.lexically_normal().string();
    m_files.erase(std::remove_if(m_files.begin(), m_files.end(),
                                 [&](const std::string& f) { return SameFile(f, entry); }),
                  m_files.end());
    m_files.insert(m_files.begin(), entry);
    if (m_files.size() > capacity)
        m_files.resize(capacity);
    return Write(settings);
}

bool CRecentFiles::Remove(const CSettings& settings, const std::string& path) {
    const auto end = std::remove(m_files.begin(), m_files.end(), path);
    if (end == m_files.end())
        return true;
    m_files.erase(end, m_files.end());
    return Write(settings);
}

std::vector<ProfileEntry> CRecentFiles::Fit(const CSettings& settings) {
    const std::size_t capacity = std::size_t(Capacity(settings));
    if (m_files.size() > capacity)
        m_files.resize(capacity);
    if (m_storedEntries <= m_files.size())
        return {};
    std::vector<ProfileEntry> entries = Entries();
    m_storedEntries = m_files.size();
    return entries;
}

std::vector<ProfileEntry> CRecentFiles::Entries() const {
    // Entries past the list's end are written empty, so that a shorter list reads back as it is.
    std::vector<ProfileEntry> entries;
    const std::size_t count = std::max(m_files.size(), m_storedEntries);
    for (std::size_t i = 0; i < count; ++i)
        entries.push_back({kSection, EntryKey(i), i < m_files.size() ? m_files[i] : ""});
    return entries;
}

bool CRecentFiles::Write(const CSettings& settings) {
    if (!WriteSettings(settings, Entries()))
        return false;
    m_storedEntries = m_files.size();
    return true;
}

std::string RecentFileNumber(std::size_t index) {
    const std::string number = std::to_string(index + 1);
    if (index < 9)
        return "&" + number;
    if (index == 9)
        return "1&0";
    return number;
}

std::string RecentFileMissingText(const std::string& path) {
    return "The file " + path + " no longer exists.\nIt has been removed from the recent files.";
}

} // namespace korvane
