#pragma once

// Names are UTF-8 byte strings everywhere in Korvane; Windows takes them as UTF-16 through its
// wide calls, which reach every name (the narrow calls only those of the system's code page).

#include <string>

namespace korvane::system {

std::wstring WideName(const std::string& name);
std::string Utf8Name(const std::wstring& name);

// The C runtime's errno value for a Windows error code (GetLastError).
int ErrnoOfWindowsError(unsigned long error);

} // namespace korvane::system
