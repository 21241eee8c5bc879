#pragma once

#include <string>

namespace korvane {

// A system error code as the file messages show it: "0x" and eight upper-case hex digits
// (13 gives "0x0000000D").
std::string ErrorCodeText(int code);

} // namespace korvane
