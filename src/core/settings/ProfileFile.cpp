#include "settings/ProfileFile.h"

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace korvane {

namespace fs = std::filesystem;

namespace {

// Blanks that the profile functions ignore around names and values. A carriage return counts,
// so that a CRLF file reads like an LF one.
constexpr std::string_view kBlanks = " \t\r\v\f";

#ifdef _WIN32
constexpr std::string_view kNativeLineEnd = "\r\n";
#else
constexpr std::string_view kNativeLineEnd = "\n";
#endif

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool HoldsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

// One line of the file: its text runs from start for length bytes (without the line end), the
// next line starts at next.
struct CLine {
    std::size_t start = 0;
    std::size_t length = 0;
    std::size_t next = 0;
};

std::vector<CLine> SplitLines(const std::string& text) {
    std::vector<CLine> lines;
    std::size_t pos = 0;
    // A UTF-8 byte-order mark stays in the file but belongs to no line, or the first section
    // header would not be recognised.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < text.size()) {
        const auto feed = text.find('\n', pos);
        const std::size_t end = (feed == std::string::npos) ? text.size() : feed;
        std::size_t length = end - pos;
        if (length > 0 && text[pos + length - 1] == '\r')
            --length;
        const std::size_t next = (feed == std::string::npos) ? text.size() : feed + 1;
        lines.push_back({pos, length, next});
        pos = next;
    }
    return lines;
}

enum class LineKind { Other, Section, Key };

struct CParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

CParsedLine ParseLine(std::string_view line) {
    const auto text = TrimBlanks(line);
    if (text.empty() || text.front() == ';')
        return {};
    if (text.front() == '[') {
        // The name runs to the last closing bracket; a line without one is no header.
        const auto close = text.rfind(']');
        if (close == std::string_view::npos)
            return {};
        return {LineKind::Section, TrimBlanks(text.substr(1, close - 1)), {}};
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return {};
    return {LineKind::Key, TrimBlanks(text.substr(0, equals)), TrimBlanks(text.substr(equals + 1))};
}

// Where a key stands in the file: only the first section of that name is searched, as the
// profile functions do.
struct CKeyLocation {
    bool sectionFound = false;
    bool keyFound = false;
    std::size_t keyLine = 0;
    std::size_t lastLineOfSection = 0; // the header or the section's last key line
};

CKeyLocation LocateKey(const std::string& text, const std::vector<CLine>& lines,
                       std::string_view section, std::string_view key) {
    CKeyLocation location;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto parsed =
            ParseLine(std::string_view(text).substr(lines[i].start, lines[i].length));
        if (parsed.kind == LineKind::Section) {
            if (location.sectionFound)
                break;
            if (EqualsIgnoringCase(parsed.name, section)) {
                location.sectionFound = true;
                location.lastLineOfSection = i;
            }
        } else if (parsed.kind == LineKind::Key && location.sectionFound) {
            location.lastLineOfSection = i;
            if (EqualsIgnoringCase(parsed.name, key)) {
                location.keyFound = true;
                location.keyLine = i;
                break;
            }
        }
    }
    return location;
}

// A value enclosed in matching quotes is delivered without them.
std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string CutToCapacity(std::string_view text, std::size_t capacity) {
    if (capacity == 0)
        return {};
    return std::string(text.substr(0, capacity - 1));
}

// The line end new lines get: the one the file already uses, else the platform's.
std::string_view LineEndOf(const std::string& text) {
    const auto feed = text.find('\n');
    if (feed == std::string::npos)
        return kNativeLineEnd;
    return (feed > 0 && text[feed - 1] == '\r') ? std::string_view("\r\n") : std::string_view("\n");
}

void EndWithLineBreak(std::string& text, std::string_view lineEnd) {
    if (text.empty() || text.back() == '\n')
        return;
    text += (text.back() == '\r') ? std::string_view("\n") : lineEnd;
}

std::string WithoutLineBreaks(std::string_view text) {
    std::string result;
    for (char c : text) {
        if (c != '\r' && c != '\n')
            result += c;
    }
    return result;
}

// Names that could not be read back as written are refused: an empty section or key, a key
// holding '=' or beginning with '[' or ';', line breaks in either.
bool IsWritableName(std::string_view section, std::string_view key) {
    const auto sectionName = TrimBlanks(section);
    const auto keyName = TrimBlanks(key);
    return !sectionName.empty() && !HoldsLineBreak(section) && !keyName.empty() &&
           !HoldsLineBreak(key) && keyName.find('=') == std::string_view::npos &&
           keyName.front() != '[' && keyName.front() != ';';
}

// Sets one key in the text: an existing key is replaced in place (in the file's own spelling), a
// new key goes after the last key of its section, a new section at the end.
void SetKey(std::string& text, std::string_view sectionName, std::string_view keyName,
            const std::string& value) {
    const auto lineEnd = LineEndOf(text);
    const auto lines = SplitLines(text);
    const auto location = LocateKey(text, lines, sectionName, keyName);
    if (location.keyFound) {
        const CLine& line = lines[location.keyLine];
        const auto parsed = ParseLine(std::string_view(text).substr(line.start, line.length));
        std::string keyLine(parsed.name);
        keyLine += '=';
        keyLine += value;
        text.replace(line.start, line.length, keyLine);
        return;
    }
    std::string keyLine(keyName);
    keyLine += '=';
    keyLine += value;
    keyLine += lineEnd;
    if (location.sectionFound && lines[location.lastLineOfSection].next != text.size()) {
        text.insert(lines[location.lastLineOfSection].next, keyLine);
        return;
    }
    EndWithLineBreak(text, lineEnd);
    if (!location.sectionFound) {
        text += '[';
        text.append(sectionName);
        text += ']';
        text += lineEnd;
    }
    text += keyLine;
}

} // namespace

std::string CProfileFile::ReadString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, std::size_t capacity) const {
    return CProfileSnapshot::Load(m_path).ReadString(section, key, defaultValue, capacity);
}

CProfileSnapshot CProfileSnapshot::Load(const std::string& path) {
    CProfileSnapshot snapshot;
    ReadRegularFile(path, kMaxProfileBytes, snapshot.m_text); // on failure the text stays empty
    return snapshot;
}

std::string CProfileSnapshot::ReadString(const std::string& section, const std::string& key,
                                         const std::string& defaultValue,
                                         std::size_t capacity) const {
    const auto sectionName = TrimBlanks(section);
    const auto keyName = TrimBlanks(key);
    if (keyName.empty())
        return CutToCapacity(defaultValue, capacity);
    const auto lines = SplitLines(m_text);
    const auto location = LocateKey(m_text, lines, sectionName, keyName);
    if (!location.keyFound)
        return CutToCapacity(defaultValue, capacity);
    const CLine& line = lines[location.keyLine];
    const auto parsed = ParseLine(std::string_view(m_text).substr(line.start, line.length));
    return CutToCapacity(StripQuotes(parsed.value), capacity);
}

bool CProfileFile::WriteString(const std::string& section, const std::string& key,
                               const std::string& value) const {
    return WriteStrings({{section, key, value}});
}

bool CProfileFile::WriteStrings(const std::vector<ProfileEntry>& entries) const {
    for (const ProfileEntry& entry : entries) {
        if (!IsWritableName(entry.section, entry.key))
            return false;
    }

    // A link to the configuration file stays a link and the file it leads to is rewritten, but
    // only when that is an existing regular file: a link that leads nowhere creates nothing, and
    // a device or FIFO is never written.
    const LinkTarget target = ResolveLinkTarget(m_path);
    if (target.errorCode != 0 || (target.isLink && !target.exists))
        return false;
    std::string text;
    if (target.exists) {
        std::error_code error;
        if (!fs::is_regular_file(fs::symlink_status(target.path, error)) ||
            ReadRegularFile(target.path, kMaxProfileBytes, text))
            return false;
    }

    for (const ProfileEntry& entry : entries)
        SetKey(text, TrimBlanks(entry.section), TrimBlanks(entry.key),
               WithoutLineBreaks(entry.value));

    // Written beside the file and renamed over it once complete, so that a full disk or a crash
    // never leaves half a configuration behind; a folder that takes no new file leaves the old
    // one as it was rather than rewriting it in place. A file the user may not write is refused
    // there too.
    AtomicWriteOptions options;
    options.inPlaceWhenFolderIsLocked = false;
    return !WriteFileAtomically(target.path, std::vector<std::uint8_t>(text.begin(), text.end()),
                                options);
}

} // namespace korvane
