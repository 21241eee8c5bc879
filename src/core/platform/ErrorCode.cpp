#include "platform/ErrorCode.h"

#include <cstdio>

namespace korvane {

std::string ErrorCodeText(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code) & 0xFFFFFFFFUL);
    return text;
}

} // namespace korvane
