// The Open command: the dialog, the folders it moves, and what a failed read leaves.

#include "assignment/OpenCommand.h"

#include "assignment/Colours.h"
#include "assignment/ModelCatalogue.h"
#include "support/ScriptedDialogs.h"
#include "support/StyleBytes.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

class OpenCommandTest : public ::testing::Test {
protected:
    OpenCommandTest() {
        settings.styleFolder = folder.Path();
        settings.defaultStyleLocation = folder.Path();
        table.SelectModel(0);
        table.Clear();
    }
    CTemporaryFolder folder;
    CScriptedMessageBox messages;
    CScriptedFileDialogs dialogs;
    CAssignmentTable table{messages};
    CSettings settings;
};

TEST_F(OpenCommandTest, DialogStartsInTheStyleFolderWithStyleFilters) {
    RunOpenCommand(table, settings, dialogs); // cancelled
    ASSERT_EQ(dialogs.opened.size(), 1u);
    EXPECT_FALSE(dialogs.opened[0].save);
    EXPECT_EQ(dialogs.opened[0].folder, folder.Path());
    ASSERT_EQ(dialogs.opened[0].filters.size(), 2u);
    EXPECT_EQ(dialogs.opened[0].filters[0].description, "Style Files (*.sty;*.mid)");
    EXPECT_EQ(dialogs.opened[0].filters[0].patterns, "*.sty; *.mid");
    EXPECT_EQ(dialogs.opened[0].filters[1].description, "All Files (*.*)");
    EXPECT_EQ(dialogs.opened[0].filters[1].patterns, "*.*");
    EXPECT_FALSE(table.GetDocument().HasSectionList());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(OpenCommandTest, ChosenFileFillsTheSourceColumnAndMovesTheFolders) {
    std::filesystem::create_directory(folder.File("styles"));
    const std::string path = folder.File("styles/pop.sty");
    WriteBytes(path, MinimalStyle());
    dialogs.choices.push_back(path);
    RunOpenCommand(table, settings, dialogs);

    EXPECT_EQ(table.GetSourceLabel(0).caption, "SInt");
    EXPECT_EQ(table.GetSourceLabel(1).caption, "Main A");
    EXPECT_EQ(table.GetSourceLabel(2).caption, "");
    EXPECT_EQ(table.GetFileNameLabel(), "pop.sty");
    EXPECT_EQ(table.GetSourceFileName(), "pop.sty");
    EXPECT_EQ(settings.styleFolder, folder.File("styles"));
    EXPECT_EQ(settings.defaultStyleLocation, folder.File("styles")); // the folder, not the file
    EXPECT_EQ(settings.saveFolder, "");                              // Save keeps its own
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::Clear));
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::Properties));
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::Voices));
    EXPECT_FALSE(table.IsButtonOn(SwitchedButton::Save));
    EXPECT_FALSE(table.IsButtonOn(SwitchedButton::StorePattern));
    EXPECT_EQ(table.GetStatusText(), "Opened " + path + " (2 sections)");

    RunOpenCommand(table, settings, dialogs); // the next dialog starts in that folder
    EXPECT_EQ(dialogs.opened.back().folder, folder.File("styles"));
}

// After any failed read nothing of the broken file can be clicked: the source column and the
// file-name label are empty and its partly read sections released, while the assignment made
// from the earlier file stays. The broken files carry the good file's names, so a column left
// over, or filled from what was read, would show them.
TEST_F(OpenCommandTest, FailedReadEmptiesTheColumnAndKeepsEarlierAssignments) {
    const ByteArray whole = MinimalStyle();
    // A header chunk of 8 bytes: its last two stand where the reader looks for "MTrk".
    const ByteArray noTrack = Cat({T("MThd"), Be32(8), B({0, 0, 0, 1, 0x01, 0xE0, 0, 0}),
                                   Chunk("MTrk", MinimalTrack()), MinimalCasm()});
    const ByteArray casm = MinimalCasm();
    const struct {
        const char* name;
        ByteArray bytes;
        ReadResult result;
        std::string message;
    } cases[] = {
        {"type1.mid", Cat({Header(1, 1), Chunk("MTrk", B({0x00, 0xFF, 0x2F, 0x00}))}),
         ReadResult::Refused, "This is a Type 1 MIDI File.\nCannot process further."},
        {"notrack.sty", noTrack, ReadResult::NoTrack, "No track tag.\n"},
        {"nocasm.sty", Cat({Header(), Chunk("MTrk", MinimalTrack())}), ReadResult::Damaged,
         "Unable to locate CASM segment.\nFile nocasm.sty may be corrupted."},
        {"half.sty", ByteArray(whole.begin(), whole.end() - long(casm.size() / 2)),
         ReadResult::Damaged,
         "File half.sty is damaged: it ends in the middle of its data.\nCannot process further."},
    };
    for (const auto& c : cases) {
        table.Clear();
        messages.shown.clear();
        const std::string good = folder.File("good.sty");
        WriteBytes(good, whole);
        ASSERT_EQ(OpenStyleFile(table, settings, good), ReadResult::Ok);
        table.AssignPair(1, 1); // good.sty's "Main A"
        table.ClickSource(0);   // a source still selected when the next Open fails

        const std::string bad = folder.File(c.name);
        WriteBytes(bad, c.bytes);
        EXPECT_EQ(OpenStyleFile(table, settings, bad), c.result) << c.name;
        ASSERT_EQ(messages.shown.size(), 1u) << c.name;
        EXPECT_EQ(messages.shown[0].text, c.message);
        for (int row = 0; row < kSlotCount; ++row)
            EXPECT_EQ(table.GetSourceLabel(row), (LabelState{"", colours::kSourcePlain})) << row;
        EXPECT_EQ(table.GetSelectedSource(), -1) << c.name;
        EXPECT_EQ(table.GetFileNameLabel(), "") << c.name;
        EXPECT_FALSE(table.IsButtonOn(SwitchedButton::CopyAll)) << c.name;
        const CStyleDocument& document = table.GetDocument();
        EXPECT_TRUE(document.GetSections().empty()) << c.name;
        EXPECT_EQ(document.GetLiveSectionCount(), 1u) << c.name; // good.sty's "Main A" only
        ASSERT_EQ(document.GetCsegs().size(), 1u) << c.name;     // and the record it uses
        EXPECT_EQ(document.GetAssignedSections().at(0)->GetSegment(), document.GetCsegs()[0]);

        EXPECT_TRUE(table.GetSlots()[1].assigned) << c.name;
        EXPECT_EQ(table.GetAssignmentLabel(1).caption, "good.sty Main A") << c.name;
        EXPECT_TRUE(table.IsButtonOn(SwitchedButton::Save)) << c.name;
        EXPECT_TRUE(table.IsPlayEnabled()) << c.name; // the earlier assignment still plays
        messages.shown.clear();
        table.ClickSource(1);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Cannot select an empty Section.");
    }
}

} // namespace
} // namespace korvane::testing
