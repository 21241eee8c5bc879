#pragma once

#include <string>

namespace korvane {

// A system error code as the file messages show it: "0x" and eight upper-case hex digits, then
// the system's words for it (21 gives "0x00000015: Is a directory"; 0 gives "0x00000000"). On
// Windows the number alone.
std::string ErrorCodeText(int code);

} // namespace korvane
