#pragma once

// Names are UTF-8 byte strings everywhere in Korvane; Windows takes them as UTF-16 through its
// wide calls, which reach every name (the narrow calls only those of the system's code page).

#include <string>

namespace korvane::system {

std::wstring WideName(const std::string& name);
std::string Utf8Name(const std::wstring& name);

// The name as every file call here is given it: the full path (GetFullPathNameW, so that
// "Z:name", "\name" and "/name" mean what they mean to the user, in the folder they name), with
// the "\\?\" prefix where the plain form would not reach the file: a path too long for the
// plain calls, or a file that exists under a device's name (NUL.sty, com1.prs).
std::wstring SystemPathOf(const std::string& path);

// The same for a path already in UTF-16 and already full: the prefix where it is too long.
std::wstring LongPathForm(std::wstring fullPath);

} // namespace korvane::system
