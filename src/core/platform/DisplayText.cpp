#include "platform/DisplayText.h"

#include <cstdint>
#include <cstdio>

namespace korvane {
namespace {

// The length of the UTF-8 sequence that starts at i, or 0 when the bytes there are not one
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t Utf8SequenceLength(const std::string& bytes, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
    const std::uint8_t lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const std::uint32_t smallest = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0x80;
    if (codePoint < smallest || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

bool IsUtf8(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

void AppendLatin1(std::string& out, std::uint8_t byte) {
    if (byte < 0x80) {
        out += char(byte);
    } else {
        out += char(0xC0 | (byte >> 6));
        out += char(0x80 | (byte & 0x3F));
    }
}

} // namespace

std::string DisplayUtf8(const std::string& bytes) {
    if (IsUtf8(bytes))
        return bytes;
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes)
        AppendLatin1(out, byte);
    return out;
}

std::string BytesFromDisplay(const std::string& original, const std::string& shown) {
    return shown == DisplayUtf8(original) ? original : shown;
}

std::optional<std::string> BytesLikeOriginal(const std::string& original,
                                             const std::string& edited) {
    if (edited == original || IsUtf8(original))
        return edited;
    if (edited == DisplayUtf8(original))
        return original;
    std::string latin1;
    for (std::size_t i = 0; i < edited.size();) {
        const std::size_t length = Utf8SequenceLength(edited, i);
        const auto lead = static_cast<std::uint8_t>(edited[i]);
        // U+0000 to U+00FF: one byte, or C2/C3 and one more.
        if (length == 1)
            latin1 += edited[i];
        else if (length == 2 && lead <= 0xC3)
            latin1 +=
                char(((lead & 0x03) << 6) | (static_cast<std::uint8_t>(edited[i + 1]) & 0x3F));
        else
            return std::nullopt;
        i += length;
    }
    return latin1;
}

std::string CutToCharacters(const std::string& bytes, std::size_t most) {
    if (bytes.size() <= most)
        return bytes;
    if (!IsUtf8(bytes))
        return bytes.substr(0, most);
    std::size_t end = 0;
    while (end + Utf8SequenceLength(bytes, end) <= most)
        end += Utf8SequenceLength(bytes, end);
    return bytes.substr(0, end);
}

std::string PrintableUtf8(const std::string& bytes) {
    const std::string text = DisplayUtf8(bytes);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        // U+0080 to U+009F are C2 80 to C2 9F in UTF-8.
        const bool c1 =
            byte == 0xC2 && i + 1 < text.size() && static_cast<std::uint8_t>(text[i + 1]) <= 0x9F;
        if (byte < 0x20 || byte == 0x7F || c1) {
            const unsigned code = c1 ? static_cast<std::uint8_t>(text[++i]) : byte;
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", code);
            out += escaped;
        } else {
            out += char(byte);
        }
    }
    return out;
}

} // namespace korvane
