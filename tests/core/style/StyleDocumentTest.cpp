// The style document: properties, sections and CSEG records, and how long each of them lives.

#include "style/StyleDocument.h"

#include "support/StyleBytes.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

TEST(StylePropertiesTest, CopiesOwnTheirStoredEvents) {
    CStyleProperties source;
    source.SetTempo(B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00}));
    source.SetSequenceName("Pop");
    CStyleProperties copy(source);
    copy.SetTempoText("60");
    EXPECT_EQ(*copy.GetTempo(), B({0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00}));
    EXPECT_EQ(*source.GetTempo(), B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00}));
    EXPECT_EQ(copy.GetSequenceName(), "Pop");

    const CStyleProperties bare;
    const CStyleProperties bareCopy(bare);
    EXPECT_EQ(bareCopy.GetTempo(), nullptr);
    EXPECT_EQ(bareCopy.GetSysex(), nullptr);
    EXPECT_EQ(bareCopy.GetTimeSignature(), nullptr);
}

TEST(StylePropertiesTest, SysexRunGrowsByAppending) {
    CStyleProperties p;
    p.AppendSysex(B({0xF0, 0x7E, 0xF7, 0x00}));
    p.AppendSysex(B({0xF0, 0x43, 0xF7, 0x00}));
    EXPECT_EQ(*p.GetSysex(), B({0xF0, 0x7E, 0xF7, 0x00, 0xF0, 0x43, 0xF7, 0x00}));
}

TEST(StylePropertiesTest, TimeSignatureText) {
    CStyleProperties p;
    EXPECT_EQ(p.GetTimeSignatureText(), "");
    p.SetTimeSignature(B({0xFF, 0x58, 0x04, 4, 2, 24, 8}));
    EXPECT_EQ(p.GetTimeSignatureText(), "4/4 24 clocks PQN");
    p.SetTimeSignature(B({0xFF, 0x58, 0x04, 6, 3, 36, 8}));
    EXPECT_EQ(p.GetTimeSignatureText(), "6/8 36 clocks PQN");
    p.SetTimeSignature(B({0xFF, 0x58, 0x04, 1, 0, 24, 8}));
    EXPECT_EQ(p.GetTimeSignatureText(), "1/1 24 clocks PQN");
}

TEST(StylePropertiesTest, TempoTextRoundTrips) {
    CStyleProperties p;
    EXPECT_EQ(p.GetTempoText(), "");
    p.SetTempoText("120"); // no tempo event: nothing to set
    EXPECT_EQ(p.GetTempo(), nullptr);

    p.SetTempo(B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00}));
    EXPECT_EQ(p.GetTempoText(), "120");
    p.SetTempoText("93 bpm");
    EXPECT_EQ(p.GetTempoText(), "93");
    p.SetTempoText("");
    p.SetTempoText("0");
    p.SetTempoText("-5");
    EXPECT_EQ(p.GetTempoText(), "93");
    // Every whole tempo the program can store reads back as itself.
    for (int bpm = 4; bpm <= 1000; ++bpm) { // below 4 the tempo needs more than 24 bits
        p.SetTempoText(std::to_string(bpm));
        ASSERT_EQ(p.GetTempoText(), std::to_string(bpm));
    }
    p.SetTempoText("60000000"); // 1 microsecond a quarter
    EXPECT_EQ(*p.GetTempo(), B({0xFF, 0x51, 0x03, 0x00, 0x00, 0x01, 0x00}));
    p.SetTempoText("60000001"); // would be 0
    p.SetTempoText("3");        // would be 20,000,000
    EXPECT_EQ(*p.GetTempo(), B({0xFF, 0x51, 0x03, 0x00, 0x00, 0x01, 0x00}));
}

TEST(StylePropertiesTest, DivisionTextKeepsTheLow16Bits) {
    CStyleProperties p;
    p.SetDivisionText("70000");
    EXPECT_EQ(p.m_division, 4464);
    p.SetDivisionText("96");
    EXPECT_EQ(p.m_division, 96);
    p.SetDivisionText("");
    EXPECT_EQ(p.m_division, 0);
}

TEST(StyleSectionTest, EventBytes) {
    CStyleSection section;
    EXPECT_EQ(section.GetDataLength(), 0u);
    EXPECT_EQ(section.GetData(), nullptr);
    EXPECT_EQ(section.CreateData(), 0);
    EXPECT_EQ(section.AppendByte(0x90), 0u);
    EXPECT_EQ(section.AppendByte(0x3C), 1u);
    EXPECT_EQ(section.CreateData(), -1);
    EXPECT_EQ(*section.GetData(), B({0x90, 0x3C}));
}

TEST(StyleSectionTest, DestinationList) {
    CStyleSection section;
    EXPECT_EQ(section.IsAssigned(), 0);
    section.AddDestination(1);
    section.AddDestination(5);
    section.AddDestination(9);
    EXPECT_EQ(section.GetDestinations(), (std::vector<std::uint32_t>{1, 5, 9}));
    section.RemoveDestination(5);
    EXPECT_EQ(section.GetDestinations(), (std::vector<std::uint32_t>{1, 9}));
    EXPECT_EQ(section.HasDestination(9), 1);
    EXPECT_EQ(section.HasDestination(5), 0);
    EXPECT_EQ(section.IsAssigned(), 1);
}

TEST(CsegRecordTest, LengthsFollowTheTag) {
    CCsegRecord record;
    record.AppendLength(1234); // no tag yet: nothing
    EXPECT_EQ(record.GetCtab(), nullptr);
    for (auto byte : T("Ctab"))
        record.AppendByte(byte);
    record.AppendLength(1234);
    EXPECT_EQ(*record.GetCtab(), Cat({T("Ctab"), B({0x00, 0x00, 0x04, 0xD2})}));
}

// Files opened one after another into one document.
class DocumentLifetimeTest : public ::testing::Test {
protected:
    CCsegRecord* OpenFile(const std::vector<std::string>& names, bool shareOneRecord = true) {
        document.StartNextFile();
        CCsegRecord* record = &document.AppendCseg(std::make_unique<CCsegRecord>());
        for (const auto& name : names)
            document.AppendSection(name).SetSegment(shareOneRecord ? record : nullptr);
        return record;
    }
    bool HasRecord(const CCsegRecord* record) const {
        const auto csegs = document.GetCsegs();
        return std::find(csegs.begin(), csegs.end(), record) != csegs.end();
    }
    CStyleDocument document;
};

TEST_F(DocumentLifetimeTest, AssignedSectionsAndTheirRecordsOutliveLaterOpens) {
    CCsegRecord* shared = OpenFile({"Main A", "Main B"});
    CStyleSection* mainA = document.GetSections()[0];
    document.Assign(*mainA, 1);

    OpenFile({"SInt"});
    EXPECT_EQ(document.GetLiveSectionCount(), 2u); // Main A and the new SInt; Main B is gone
    EXPECT_TRUE(HasRecord(shared));
    EXPECT_EQ(mainA->GetName(), "Main A");

    OpenFile({"Intro A"});
    EXPECT_TRUE(HasRecord(shared)); // Main A is still assigned
    EXPECT_EQ(document.GetAssignedSections(), std::vector<CStyleSection*>{mainA});
}

TEST_F(DocumentLifetimeTest, PruningReleasesUnassignedSectionsAndUnusedRecords) {
    CCsegRecord* record = OpenFile({"SInt", "Main A", "Main B", "Fill In AA"});
    CCsegRecord* orphan = &document.AppendCseg(std::make_unique<CCsegRecord>());
    CStyleSection* mainB = document.GetSections()[2];
    document.Assign(*mainB, 5);
    document.PruneSourceSections();
    EXPECT_EQ(document.GetSections(), std::vector<CStyleSection*>{mainB});
    EXPECT_EQ(document.GetLiveSectionCount(), 1u);
    EXPECT_TRUE(HasRecord(record));
    EXPECT_FALSE(HasRecord(orphan)); // no section ever referred to it

    document.Unassign(5);
    document.PruneSourceSections();
    EXPECT_TRUE(document.GetSections().empty());
    EXPECT_FALSE(HasRecord(record));
}

TEST_F(DocumentLifetimeTest, EarlierSectionIsReleasedWithItsLastSlot) {
    OpenFile({"Main A"});
    CStyleSection* mainA = document.GetSections()[0];
    document.Assign(*mainA, 1);
    document.Assign(*mainA, 4);
    OpenFile({"Main B"});
    EXPECT_EQ(document.GetLiveSectionCount(), 2u);

    EXPECT_TRUE(document.Unassign(1));
    EXPECT_EQ(document.GetLiveSectionCount(), 2u); // still holds slot 4
    EXPECT_EQ(document.GetAssignedSections(), std::vector<CStyleSection*>{mainA});
    EXPECT_TRUE(document.Unassign(4));
    EXPECT_EQ(document.GetLiveSectionCount(), 1u);
    EXPECT_TRUE(document.GetAssignedSections().empty());
    EXPECT_FALSE(document.Unassign(4));
}

TEST_F(DocumentLifetimeTest, SectionOfTheOpenFileStaysWhenUnassigned) {
    OpenFile({"Main A"});
    CStyleSection* mainA = document.GetSections()[0];
    document.Assign(*mainA, 1);
    document.Unassign(1);
    EXPECT_EQ(document.GetLiveSectionCount(), 1u);
    EXPECT_EQ(document.FindSection("Main A"), mainA);
}

TEST_F(DocumentLifetimeTest, UnassignRemovesTheHoldersFirstEntry) {
    OpenFile({"Main A", "Main B"});
    CStyleSection* mainA = document.GetSections()[0];
    CStyleSection* mainB = document.GetSections()[1];
    document.Assign(*mainA, 1);
    document.Assign(*mainB, 2);
    document.Assign(*mainA, 3);
    document.Unassign(3);
    EXPECT_EQ(document.GetAssignedSections(), (std::vector<CStyleSection*>{mainB, mainA}));
    EXPECT_EQ(mainA->GetDestinations(), std::vector<std::uint32_t>{1});
}

TEST_F(DocumentLifetimeTest, ReleaseEmptiesEverything) {
    OpenFile({"Main A", "Main B"});
    document.Assign(*document.GetSections()[0], 1);
    document.EnsureDestinationProperties();
    OpenFile({"SInt"});
    document.Release();
    EXPECT_FALSE(document.HasSectionList());
    EXPECT_FALSE(document.HasCsegList());
    EXPECT_EQ(document.GetSourceProperties(), nullptr);
    EXPECT_EQ(document.GetDestinationProperties(), nullptr);
    EXPECT_TRUE(document.GetAssignedSections().empty());
    EXPECT_EQ(document.GetLiveSectionCount(), 0u);
}

TEST_F(DocumentLifetimeTest, DestinationPropertiesAreMadeOnceFromTheSource) {
    OpenFile({"Main A"});
    document.GetSourceProperties()->SetSequenceName("First");
    document.EnsureDestinationProperties();
    OpenFile({"Main B"});
    document.GetSourceProperties()->SetSequenceName("Second");
    EXPECT_EQ(document.EnsureDestinationProperties().GetSequenceName(), "First");
}

} // namespace
} // namespace korvane::testing
