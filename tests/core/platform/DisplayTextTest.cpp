// Texts cut to a byte limit between characters.

#include "platform/DisplayText.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(DisplayText, ACutKeepsEveryWholeCharacterThatFits) {
    const std::string a253(253, 'a');
    const std::pair<std::string, std::string> cuts[] = {
        {a253 + "\xC3\xA9\xC3\xA9", a253 + "\xC3\xA9"}, // the second é would need bytes 256, 257
        {a253 + "\xC3\xA9", a253 + "\xC3\xA9"},         // 255 bytes: fits as it is
        {a253 + "a\xC3\xA9", a253 + "a"},
        {std::string(300, '\xE9'), std::string(255, '\xE9')}, // no UTF-8: cut at the byte
    };
    for (const auto& [text, cut] : cuts)
        EXPECT_EQ(CutToCharacters(text, 255), cut) << text.size();
}

} // namespace
} // namespace korvane
