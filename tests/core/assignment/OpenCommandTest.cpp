// The Open command: the dialog, the folders it moves, and what a failed read leaves.

#include "assignment/OpenCommand.h"

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

    RunOpenCommand(table, settings, dialogs); // the next dialog starts in that folder
    EXPECT_EQ(dialogs.opened.back().folder, folder.File("styles"));
}

TEST_F(OpenCommandTest, FailedReadKeepsTheColumnAndTellsWhy) {
    const std::string good = folder.File("good.sty");
    WriteBytes(good, MinimalStyle());
    ASSERT_EQ(OpenStyleFile(table, settings, good), ReadResult::Ok);
    table.ClickSource(1);

    const std::string bad = folder.File("song.mid");
    WriteBytes(bad, Cat({Header(1, 1), Chunk("MTrk", B({0x00, 0xFF, 0x2F, 0x00}))}));
    EXPECT_EQ(OpenStyleFile(table, settings, bad), ReadResult::Refused);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "This is a Type 1 MIDI File.\nCannot process further.");
    EXPECT_EQ(table.GetSourceLabel(1).caption, "Main A");
    EXPECT_EQ(table.GetSelectedSource(), 1);
    EXPECT_EQ(table.GetFileNameLabel(), "song.mid");
}

} // namespace
} // namespace korvane::testing
