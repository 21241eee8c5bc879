#include "platform/LeadingInteger.h"

#include <cctype>

namespace korvane {

long long LeadingInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    constexpr long long kLimit = 1'000'000'000'000'000LL; // far beyond any number a setting holds
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value < kLimit)
            value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

} // namespace korvane
