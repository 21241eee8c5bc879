// The voices a section's picture names: what Play This Section sounds.

#include "assignment/SectionPictures.h"
#include "style/StyleReader.h"
#include "support/StyleBytes.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

// Reads a style of SInt and Main A with the event bytes given into the document.
bool ReadTwoSections(const ByteArray& sint, const ByteArray& mainA, CStyleDocument& document) {
    CTemporaryFolder folder;
    const std::string path = folder.File("two.sty");
    WriteBytes(path, Style(Cat({B({0x00}), Marker("SInt"), sint, Marker("Main A"), mainA,
                                B({0x00, 0xFF, 0x2F, 0x00})}),
                           Cseg("SInt,Main A", {})));
    return !ReadStyle(path, document);
}

// SInt sets up Bass (channel 11) as Fretless Bass and Pad (channel 14) as bank 8/0 program 1;
// Main A changes Bass's program only and sets Chord 1 (channel 12) up itself. SInt's own picture
// names what it sets. Main A, assigned and kept when a second file with another SInt is opened,
// still plays after its own file's SInt.
TEST(SectionPicturesTest, ASectionsVoicesAreItsOwnSetupOverItsFilesSInt) {
    CStyleDocument document;
    document.StartNextFile();
    ASSERT_TRUE(
        ReadTwoSections(B({0x00, 0xBA, 0x00, 0x00, 0x00, 0xBA, 0x20, 0x00, 0x00, 0xCA, 35,
                           0x00, 0xBD, 0x00, 0x08, 0x00, 0xBD, 0x20, 0x00, 0x00, 0xCD, 0x00}),
                        B({0x00, 0xCA, 33, 0x00, 0xCB, 0x00, 0x00, 0x9A, 40, 100}), document));
    CStyleSection& mainA = *document.GetSections().at(1);
    PartVoiceNames expected;
    expected[2] = "Electric Bass (finger)"; // SInt's bank 0/0, Main A's program 34
    expected[3] = "Program 1, bank unchanged";
    expected[5] = "Bank 8/0, program 1 (Acoustic Grand Piano)";
    EXPECT_EQ(SectionVoiceNames(mainA), expected);
    document.Assign(mainA, 1);

    document.StartNextFile();
    ASSERT_TRUE(
        ReadTwoSections(B({0x00, 0xBA, 0x00, 0x08, 0x00, 0xBA, 0x20, 0x00, 0x00, 0xCA, 35, 0x00}),
                        B({0x00}), document));
    EXPECT_EQ(SectionVoiceNames(mainA), expected);
    expected[2] = "Bank 8/0, program 36 (Fretless Bass)";
    expected[3] = expected[5] = "";
    EXPECT_EQ(SectionVoiceNames(*document.GetSections().at(0)), expected);
}

} // namespace
} // namespace korvane::testing
