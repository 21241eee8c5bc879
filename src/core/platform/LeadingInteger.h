#pragma once

#include <string>

namespace korvane {

// Reads an optional sign and the leading decimal digits of a text; conversion stops at the first
// other character, and a text without leading digits gives 0 (the C library's atol, without its
// overflow). Settings and dialogs read every number they are given this way.
long long LeadingInteger(const std::string& text);

} // namespace korvane
