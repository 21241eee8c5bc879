#pragma once

// What this system's own conventions make of a text or a path, for expectations that differ
// between Windows and POSIX systems.

#include <filesystem>
#include <string>

namespace korvane::testing {

// A new file's lines as this system writes them: CR LF on Windows, LF elsewhere.
inline std::string NativeLines(const std::string& text) {
#ifdef _WIN32
    std::string native;
    for (const char c : text)
        native += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return native;
#else
    return text;
#endif
}

// The absolute path as this system spells it: "/a.sty" itself on POSIX systems, the current
// drive and backslashes on Windows ("Z:\a.sty" under wine).
inline std::string NativeAbsolute(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

// An error code as the messages show it: the number and the system's words, the number alone on
// Windows.
inline std::string CodeText(const std::string& number, const std::string& words) {
#ifdef _WIN32
    (void)words;
    return number;
#else
    return number + ": " + words;
#endif
}

#ifdef _WIN32
constexpr char kNativeSeparator = '\\';
#else
constexpr char kNativeSeparator = '/';
#endif

} // namespace korvane::testing
