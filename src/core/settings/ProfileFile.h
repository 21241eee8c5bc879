#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace korvane {

// One key to set: section, key and value.
struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// A text file in the private-profile layout: "[section]" lines, each followed by "key=value"
// lines. Reads and writes match the files the Windows profile functions read and write, so a
// configuration file moves between the two without change:
// - section and key names are looked up without regard to letter case, and blanks around names
//   and values are ignored; a value enclosed in a pair of matching quotes loses the quotes;
// - the first matching section and the first matching key in it count;
// - writing a key rewrites that one line (or adds one) and keeps every other byte, comments,
//   unknown keys, blank lines and line ends (CRLF or LF) included.
// Nothing is cached: every call reads the file afresh.
class CProfileFile {
public:
    explicit CProfileFile(std::string path) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }

    // The key's value when the key is present in the section, even when that value is empty;
    // otherwise the default. At most capacity - 1 characters are delivered, the rest is cut, as
    // from a buffer of that capacity.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::size_t capacity) const;

    // Sets the key to the value, creating the file, the section and the key as needed. An
    // existing key is replaced in place, a new key goes after the last key of its section, a new
    // section at the end of the file. Line breaks in the value are dropped. The new text is
    // written beside the file and renamed over it only when complete, so on failure (false) the
    // old file stays as it was. Names that could not be read back as written (empty key, a key
    // holding '=' or beginning with '[' or ';', line breaks in either name) are refused.
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) const;

    // Sets every key as WriteString would one after the other, in one rewrite of the file: the
    // bytes are those the single writes would leave, but the file is replaced once. When any name
    // is refused, nothing is written.
    bool WriteStrings(const std::vector<ProfileEntry>& entries) const;

private:
    std::string m_path;
};

// A configuration larger than this counts as unreadable: no one types a megabyte of settings.
constexpr std::size_t kMaxProfileBytes = std::size_t(1) << 20;

// The profile file's text read once, for many lookups (loading the settings reads 25 keys). The
// file is read only when it is a regular file (links followed) of at most kMaxProfileBytes, and
// without waiting on a FIFO; anything else reads as an empty file, so every key gives its default.
class CProfileSnapshot {
public:
    static CProfileSnapshot Load(const std::string& path);

    // As CProfileFile::ReadString, from the text loaded.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::size_t capacity) const;

private:
    std::string m_text;
};

} // namespace korvane
