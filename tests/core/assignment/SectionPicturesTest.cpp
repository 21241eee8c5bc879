// The voices a section's picture names: what Play This Section sounds.

#include "assignment/SectionPictures.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

CStyleSection& AddSection(CStyleDocument& document, const std::string& name, ByteArray bytes) {
    CStyleSection& section = document.AppendSection(name);
    section.CreateData();
    for (std::uint8_t byte : bytes)
        section.AppendByte(byte);
    return section;
}

// SInt sets up Bass (channel 11) as Fretless Bass and Pad (channel 14) as bank 8/0 program 1;
// Main A changes Bass's program only and sets Chord 1 (channel 12) up itself. SInt's own picture
// names what it sets.
TEST(SectionPicturesTest, ASectionsVoicesAreItsOwnSetupOverSInts) {
    CStyleDocument document;
    document.StartNextFile();
    const CStyleSection& sint = AddSection(
        document, "SInt", {0x00, 0xBA, 0x00, 0x00, 0x00, 0xBA, 0x20, 0x00, 0x00, 0xCA, 35,
                           0x00, 0xBD, 0x00, 0x08, 0x00, 0xBD, 0x20, 0x00, 0x00, 0xCD, 0x00});
    const CStyleSection& mainA =
        AddSection(document, "Main A", {0x00, 0xCA, 33, 0x00, 0xCB, 0x00, 0x00, 0x9A, 40, 100});
    PartVoiceNames expected;
    expected[2] = "Electric Bass (finger)"; // SInt's bank 0/0, Main A's program 34
    expected[3] = "Program 1, bank unchanged";
    expected[5] = "Bank 8/0, program 1 (Acoustic Grand Piano)";
    EXPECT_EQ(SectionVoiceNames(document, mainA), expected);
    expected[2] = "Fretless Bass";
    expected[3] = "";
    EXPECT_EQ(SectionVoiceNames(document, sint), expected);
}

} // namespace
} // namespace korvane::testing
