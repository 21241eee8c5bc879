// Generated styles read, assigned, written and read back: the sections and CASM data come back
// byte for byte.

#include "assignment/AssignmentTable.h"
#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "assignment/SaveCommand.h"
#include "style/StyleReader.h"
#include "support/ScriptedDialogs.h"
#include "support/StyleBytes.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

class RoundTripTest : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(RoundTripTest, GeneratedStyleSurvivesReadAssignWrite) {
    StyleGeneratorOptions options;
    options.seed = GetParam();
    options.sectionNames = SixteenSectionNames();
    const GeneratedStyle style = GenerateStyle(options);

    CTemporaryFolder folder;
    const std::string input = folder.File("in.sty");
    ASSERT_TRUE(WriteGeneratedStyle(style, input));

    CScriptedMessageBox messages;
    CAssignmentTable table(messages);
    CSettings settings;
    table.SelectModel(ModelIndex("PSR-9000"));
    table.Clear();
    ASSERT_EQ(OpenStyleFile(table, settings, input), ReadResult::Ok);

    // What the reader found is what was generated.
    const auto& sections = table.GetDocument().GetSections();
    ASSERT_EQ(sections.size(), style.sections.size());
    for (std::size_t i = 0; i < sections.size(); ++i) {
        EXPECT_EQ(sections[i]->GetName(), style.sections[i].name);
        EXPECT_EQ(*sections[i]->GetData(), style.sections[i].eventBytes) << style.sections[i].name;
    }
    const auto csegs = table.GetDocument().GetCsegs();
    ASSERT_EQ(csegs.size(), style.csegs.size());
    for (std::size_t i = 0; i < csegs.size(); ++i)
        EXPECT_EQ(*csegs[i]->GetCtab(), style.csegs[i].ctabBytes);

    ASSERT_TRUE(table.ColumnsMatch());
    table.CopyAll();
    const std::string output = folder.File("out.sty");
    ASSERT_EQ(WriteWork(table, output), WriteResult::Ok);
    EXPECT_TRUE(messages.shown.empty());

    CStyleDocument readBack;
    readBack.StartNextFile();
    ASSERT_EQ(ReadStyleFile(output, readBack, messages), ReadResult::Ok);
    ASSERT_EQ(readBack.GetSections().size(), sections.size());
    for (std::size_t i = 0; i < sections.size(); ++i) {
        EXPECT_EQ(readBack.GetSections()[i]->GetName(), sections[i]->GetName());
        EXPECT_EQ(*readBack.GetSections()[i]->GetData(), *sections[i]->GetData());
    }
    // Every record that a section refers to comes back with the same Ctab bytes, referred to by
    // the same sections.
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const CCsegRecord* original = sections[i]->GetSegment();
        const CCsegRecord* written = readBack.GetSections()[i]->GetSegment();
        ASSERT_EQ(original == nullptr, written == nullptr) << sections[i]->GetName();
        if (original) {
            EXPECT_EQ(*written->GetCtab(), *original->GetCtab());
        }
    }
    const CStyleProperties& p = *readBack.GetSourceProperties();
    EXPECT_EQ(p.m_division, style.properties.division);
    // The tempo keeps the delta-time that followed it, which the writer makes 00.
    ByteArray tempo = style.properties.tempo;
    tempo.back() = 0x00;
    EXPECT_EQ(*p.GetTempo(), tempo);
    EXPECT_EQ(*p.GetTimeSignature(), style.properties.timeSignature);
    EXPECT_EQ(p.GetSequenceName(), style.properties.sequenceName);
    EXPECT_EQ(p.GetCopyright(), style.properties.copyright);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RoundTripTest, ::testing::Values(1, 2, 3, 17, 99, 2024));

} // namespace
} // namespace korvane::testing
