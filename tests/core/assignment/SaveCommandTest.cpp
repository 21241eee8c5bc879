// The Save command: the save dialog, ".sty" added, the overwrite question, and the cleared work.

#include "assignment/SaveCommand.h"

#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "platform/AtomicFile.h"
#include "style/StyleReader.h"
#include "support/PosixOnly.h"
#include "support/ScriptedDialogs.h"
#include "support/SectionNames.h"
#include "support/StyleBytes.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace korvane::testing {
namespace {

class SaveCommandTest : public ::testing::Test {
protected:
    SaveCommandTest() {
        settings.saveFolder = folder.Path();
        table.SelectModel(0); // PSR-9000
        table.Clear();
    }
    // Opens the minimal style (SInt, Main A) and assigns Main A to slot 1.
    void OpenAndAssign() {
        const std::string input = folder.File("input.sty");
        WriteBytes(input, MinimalStyle());
        ASSERT_EQ(OpenStyleFile(table, settings, input), ReadResult::Ok);
        table.ClickSource(1);
        table.ClickDestination(1);
        ASSERT_TRUE(table.GetSlots()[1].assigned);
    }
    void ExpectWorkCleared() {
        EXPECT_FALSE(table.HasAssignments());
        EXPECT_FALSE(table.GetDocument().HasSectionList());
        for (auto button :
             {SwitchedButton::Save, SwitchedButton::Clear, SwitchedButton::Properties,
              SwitchedButton::Voices, SwitchedButton::CopyAll, SwitchedButton::StorePattern})
            EXPECT_FALSE(table.IsButtonOn(button));
    }

    CTemporaryFolder folder;
    CScriptedMessageBox messages;
    CScriptedFileDialogs dialogs;
    CAssignmentTable table{messages};
    CSettings settings;
};

TEST_F(SaveCommandTest, NothingAssignedIsRefusedWithoutADialog) {
    RunSaveCommand(table, settings, dialogs);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0],
              (ShownMessage{"You must first assign style sections\nso that you have something to "
                            "save.",
                            "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok}));
    EXPECT_TRUE(dialogs.opened.empty());
}

TEST_F(SaveCommandTest, NameWithoutExtensionGetsSty) {
    OpenAndAssign();
    dialogs.choices.push_back(folder.File("mystyle"));
    RunSaveCommand(table, settings, dialogs);

    ASSERT_EQ(dialogs.opened.size(), 1u);
    EXPECT_TRUE(dialogs.opened[0].save);
    EXPECT_EQ(dialogs.opened[0].folder, folder.Path());
    EXPECT_EQ(dialogs.opened[0].initialName, "input.sty");
    EXPECT_EQ(dialogs.opened[0].filters[0].description, "Style Files (*.sty;*.mid)");
    EXPECT_EQ(dialogs.opened[0].filters[1].description, "All Files (*.*)");
    EXPECT_EQ(table.GetSourceFileName(), "mystyle.sty");
    EXPECT_EQ(SectionNamesOfFile(folder.File("mystyle.sty")), std::vector<std::string>{"Main A"});
    EXPECT_TRUE(messages.shown.empty());
    ExpectWorkCleared();
    EXPECT_EQ(table.GetStatusText(),
              "Saved " + folder.File("mystyle.sty") + " (1 section for PSR-9000)");
    EXPECT_FALSE(table.CanUndo()); // what is saved is not undone
}

// A configuration may name a model past the list ("model=99"): the status then names none.
TEST_F(SaveCommandTest, TheStatusNamesNoModelPastTheList) {
    OpenAndAssign();
    table.SelectModel(int(ModelNames().size()));
    dialogs.choices.push_back(folder.File("mystyle.sty"));
    RunSaveCommand(table, settings, dialogs);
    EXPECT_EQ(table.GetStatusText(), "Saved " + folder.File("mystyle.sty") + " (1 section)");
}

TEST_F(SaveCommandTest, NameWithAnExtensionIsUsedAsChosen) {
    OpenAndAssign();
    dialogs.choices.push_back(folder.File("mystyle.mid"));
    RunSaveCommand(table, settings, dialogs);
    EXPECT_EQ(SectionNamesOfFile(folder.File("mystyle.mid")), std::vector<std::string>{"Main A"});
    EXPECT_FALSE(std::filesystem::exists(folder.File("mystyle.mid.sty")));
}

TEST_F(SaveCommandTest, NoToOverwriteAsksAgainAndCancelKeepsEverything) {
    OpenAndAssign();
    const std::string existing = folder.File("old.sty");
    WriteBytes(existing, std::string("precious"));
    dialogs.choices.push_back(existing);
    messages.answers.push_back(MessageAnswer::No);
    RunSaveCommand(table, settings, dialogs);

    ASSERT_EQ(dialogs.opened.size(), 2u); // the dialog opened again after No, then Cancel
    EXPECT_EQ(dialogs.opened[1].initialName, "old.sty");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0],
              (ShownMessage{existing + " \nalready exists. Do you wish to overwrite anyway?",
                            "Save File", MessageIcon::Exclamation, MessageButtons::YesNo}));
    EXPECT_EQ(ReadBytes(existing), "precious");
    EXPECT_TRUE(table.GetSlots()[1].assigned);
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::Save));
}

TEST_F(SaveCommandTest, YesOverwrites) {
    OpenAndAssign();
    const std::string existing = folder.File("old.sty");
    WriteBytes(existing, std::string("precious"));
    dialogs.choices.push_back(existing);
    messages.answers.push_back(MessageAnswer::Yes);
    RunSaveCommand(table, settings, dialogs);
    EXPECT_EQ(SectionNamesOfFile(existing), std::vector<std::string>{"Main A"});
    ExpectWorkCleared();
}

TEST_F(SaveCommandTest, OverwritingThroughALinkKeepsTheLinkAndTheFilesMode) {
    KORVANE_POSIX_ONLY("links and file modes");
#ifndef _WIN32
    OpenAndAssign();
    const std::string real = folder.File("real.sty");
    WriteBytes(real, std::string("precious"));
    chmod(real.c_str(), 0604);
    std::filesystem::create_symlink(real, folder.File("link.sty"));
    dialogs.choices.push_back(folder.File("link.sty"));
    messages.answers.push_back(MessageAnswer::Yes);
    RunSaveCommand(table, settings, dialogs);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("link.sty")));
    EXPECT_EQ(SectionNamesOfFile(real), std::vector<std::string>{"Main A"});
    struct stat status {};
    stat(real.c_str(), &status);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    ExpectWorkCleared();
#endif
}

TEST_F(SaveCommandTest, OverwritingAFifoIsRefusedAndKeepsTheWork) {
    KORVANE_POSIX_ONLY("FIFOs");
#ifndef _WIN32
    OpenAndAssign();
    const std::string fifo = folder.File("pipe.sty");
    mkfifo(fifo.c_str(), 0644);
    dialogs.choices.push_back(fifo);
    messages.answers.push_back(MessageAnswer::Yes);
    RunSaveCommand(table, settings, dialogs);
    ASSERT_EQ(messages.shown.size(), 2u); // the overwrite question, then the refusal
    EXPECT_EQ(messages.shown[1].text,
              "Cannot open file " + fifo + ". (0x00000016: Invalid argument)");
    EXPECT_EQ(std::filesystem::symlink_status(fifo).type(), std::filesystem::file_type::fifo);
    EXPECT_TRUE(table.GetSlots()[1].assigned);
#endif
}

std::string g_appearingFile;

void PutFileThere(const char*) {
    WriteBytes(g_appearingFile, std::string("theirs"));
}

TEST_F(SaveCommandTest, FileThatAppearsWhileSavingIsReplacedOnlyWhenTheUserSaysSo) {
    g_appearingFile = folder.File("new.sty");
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        std::filesystem::remove(g_appearingFile);
        messages.shown.clear();
        OpenAndAssign();
        dialogs.choices.push_back(g_appearingFile);
        messages.answers.push_back(answer);
        SetBeforeReplaceObserver(PutFileThere);
        RunSaveCommand(table, settings, dialogs); // No: the dialog again, which is cancelled
        SetBeforeReplaceObserver(nullptr);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text,
                  g_appearingFile + " \nalready exists. Do you wish to overwrite anyway?");
        if (answer == MessageAnswer::No) {
            EXPECT_EQ(ReadBytes(g_appearingFile), "theirs");
            EXPECT_TRUE(table.GetSlots()[1].assigned);
        } else {
            EXPECT_EQ(SectionNamesOfFile(g_appearingFile), std::vector<std::string>{"Main A"});
            ExpectWorkCleared();
        }
    }
}

TEST_F(SaveCommandTest, SecondSaveRightAfterTheFirstIsRefused) {
    OpenAndAssign();
    dialogs.choices.push_back(folder.File("one.sty"));
    RunSaveCommand(table, settings, dialogs);
    RunSaveCommand(table, settings, dialogs);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "You must first assign style sections\nso that you have something to save.");
    EXPECT_EQ(dialogs.opened.size(), 1u);
}

TEST_F(SaveCommandTest, NextSaveStartsInTheFolderOfTheLastOne) {
    std::filesystem::create_directory(folder.File("songs"));
    OpenAndAssign();
    dialogs.choices.push_back(folder.File("songs/one.sty"));
    RunSaveCommand(table, settings, dialogs);
    OpenAndAssign();
    dialogs.choices.push_back(folder.File("two.sty"));
    RunSaveCommand(table, settings, dialogs);
    ASSERT_EQ(dialogs.opened.size(), 2u);
    EXPECT_EQ(dialogs.opened[1].folder, folder.File("songs"));
    EXPECT_EQ(settings.saveFolder, folder.Path());
}

TEST_F(SaveCommandTest, FailedWriteLeavesTheWorkAsItWas) {
    OpenAndAssign();
    // The folder exists, but no file can be made in it.
    dialogs.choices.push_back("/proc/out.sty");
    RunSaveCommand(table, settings, dialogs);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.rfind("Cannot open file /proc/out.sty. (0x", 0), 0u)
        << messages.shown[0].text;
    EXPECT_TRUE(table.GetSlots()[1].assigned);
    EXPECT_TRUE(table.GetDocument().HasSectionList());
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::Save));
}

TEST_F(SaveCommandTest, AFolderThatDoesNotExistIsRefusedAndTheDialogOpensAgain) {
    WriteBytes(folder.File("plain"), MinimalStyle());
    for (const std::string& chosen : {folder.File("missing/out.sty"), folder.File("plain/out.sty"),
                                      folder.File("missing/deeper/out")}) {
        SCOPED_TRACE(chosen);
        messages.shown.clear();
        dialogs.opened.clear();
        OpenAndAssign();
        dialogs.choices = {chosen, folder.File("kept.sty")};
        RunSaveCommand(table, settings, dialogs);

        ASSERT_EQ(messages.shown.size(), 1u);
        const std::string missing = chosen.substr(0, chosen.rfind('/'));
        EXPECT_EQ(
            messages.shown[0],
            (ShownMessage{"The folder " + missing + " does not exist.\nChoose an existing folder.",
                          "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok}));
        // The second dialog starts where the first did, with the same name: nothing changed.
        ASSERT_EQ(dialogs.opened.size(), 2u);
        EXPECT_EQ(dialogs.opened[1].folder, folder.Path());
        EXPECT_EQ(dialogs.opened[1].initialName, "input.sty");
        EXPECT_FALSE(std::filesystem::exists(missing + "/out.sty"));
        EXPECT_EQ(SectionNamesOfFile(folder.File("kept.sty")), std::vector<std::string>{"Main A"});
        ExpectWorkCleared();
        std::filesystem::remove(folder.File("kept.sty"));
    }
}

} // namespace
} // namespace korvane::testing
