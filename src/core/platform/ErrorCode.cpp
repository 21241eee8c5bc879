#include "platform/ErrorCode.h"

#include <cstdio>
#include <cstring>

namespace korvane {
namespace {

// strerror_r returns the text where the C library is GNU's, and 0 after filling the buffer
// where it follows POSIX (musl, the web build's).
[[maybe_unused]] const char* Said(const char* text, const char*) {
    return text;
}
[[maybe_unused]] const char* Said(int result, const char* buffer) {
    return result == 0 ? buffer : "";
}

} // namespace

std::string ErrorCodeText(int code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code) & 0xFFFFFFFFUL);
    if (code == 0)
        return text;
        // The number for those who look it up, and the system's words for everyone else.
#ifdef _WIN32
    // Windows' codes come from its own calls or from the C library, which share numbers but not
    // meanings: the number alone is right for both.
    return text;
#else
    char words[256] = {};
    const char* said = Said(strerror_r(code, words, sizeof words), words);
    return *said ? std::string(text) + ": " + said : std::string(text);
#endif
}

} // namespace korvane
