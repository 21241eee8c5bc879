// Auto Convert: the refusal without a pattern, the whole-folder question, Open in the conversion
// source folder, the replay and Save in the conversion target folder.

#include "patterns/AutoConvert.h"

#include "settings/ProfileFile.h"
#include "support/ScriptedDialogs.h"
#include "support/SectionNames.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

class AutoConvertTest : public ::testing::Test {
protected:
    AutoConvertTest() {
        std::filesystem::create_directory(folder.File("in"));
        std::filesystem::create_directory(folder.File("out"));
        settings.configurationPath = folder.File("Korvane.ini");
        settings.conversionSourceFolder = folder.File("in");
        settings.conversionTargetFolder = folder.File("out");
        settings.patternLoaded = true;
        settings.pattern[1] = {"Main A", "Main A"};
        settings.pattern[5] = {"Main B", "Main B"};
        table.SelectModel(5); // PSR-740, the 13-slot layout
        table.Clear();
    }

    std::string Style(const std::string& file, const std::vector<std::string>& sections) {
        StyleGeneratorOptions options;
        options.sectionNames = sections;
        const std::string path = folder.File(file);
        EXPECT_TRUE(WriteGeneratedStyle(GenerateStyle(options), path));
        return path;
    }

    void Run() {
        RunAutoConvert(table, settings, dialogs, [this] { ++folderRuns; });
    }

    CTemporaryFolder folder;
    CScriptedMessageBox messages;
    CScriptedFileDialogs dialogs;
    CAssignmentTable table{messages};
    CSettings settings;
    int folderRuns = 0;
};

TEST_F(AutoConvertTest, WithoutAPatternItRefusesAndOpensNothing) {
    settings.patternLoaded = false;
    Run();
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"You must first set up or load a conversion pattern.",
                                          "Sorry...", MessageIcon::None, MessageButtons::Ok}}));
    EXPECT_TRUE(dialogs.opened.empty());
}

TEST_F(AutoConvertTest, OpensInTheSourceFolderReplaysAndSavesInTheTargetFolder) {
    std::filesystem::create_directory(folder.File("in/sub"));
    dialogs.choices = {Style("in/sub/three.sty", {"SInt", "Main A", "Main B"}),
                       folder.File("out/three.sty")};
    Run();

    ASSERT_EQ(dialogs.opened.size(), 2u);
    EXPECT_FALSE(dialogs.opened[0].save);
    EXPECT_EQ(dialogs.opened[0].folder, folder.File("in"));
    EXPECT_TRUE(dialogs.opened[1].save);
    EXPECT_EQ(dialogs.opened[1].folder, folder.File("out"));
    EXPECT_EQ(dialogs.opened[1].initialName, "three.sty");
    EXPECT_TRUE(messages.shown.empty());
    // Main A went to slot 1 and Main B to slot 5 of the 13-slot layout, then Save cleared.
    EXPECT_EQ(SectionNamesOfFile(folder.File("out/three.sty")),
              (std::vector<std::string>{"Main A", "Main B"}));
    EXPECT_FALSE(table.HasAssignments());
    // The conversion folders follow the user's choices in memory; the file is not written.
    EXPECT_EQ(settings.conversionSourceFolder, folder.File("in/sub"));
    EXPECT_EQ(settings.conversionTargetFolder, folder.File("out"));
    EXPECT_FALSE(std::filesystem::exists(settings.configurationPath));
}

TEST_F(AutoConvertTest, CancellingSaveLeavesTheConvertedWorkOnScreen) {
    dialogs.choices = {Style("in/three.sty", {"SInt", "Main A", "Main B"})};
    Run();
    EXPECT_TRUE(table.GetSlots()[1].assigned);
    EXPECT_TRUE(table.GetSlots()[5].assigned);
    for (SwitchedButton button :
         {SwitchedButton::Clear, SwitchedButton::Save, SwitchedButton::Properties})
        EXPECT_TRUE(table.IsButtonOn(button));
}

TEST_F(AutoConvertTest, CancellingOpenWithNothingOpenStops) {
    Run();
    EXPECT_EQ(dialogs.opened.size(), 1u);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(settings.conversionSourceFolder, folder.File("in"));
    settings.conversionSourceFolder = "none"; // never set: the dialog starts in no folder
    Run();
    EXPECT_EQ(dialogs.opened.back().folder, "");
}

TEST_F(AutoConvertTest, TheWholeFolderQuestionRunsTheFolderConversionOnlyOnYes) {
    settings.entireFolder = true;
    const ShownMessage question{"You are about to convert an entire folder of style files\n  "
                                "from\n" +
                                    folder.File("in") + "\n  to\n" + folder.File("out") +
                                    "\n\nAre you sure?",
                                "Alert...", MessageIcon::Question, MessageButtons::YesNo};
    Run(); // No
    EXPECT_EQ(messages.shown, std::vector<ShownMessage>{question});
    EXPECT_EQ(folderRuns, 0);
    EXPECT_TRUE(dialogs.opened.empty());

    messages.answers = {MessageAnswer::Yes};
    Run();
    EXPECT_EQ(folderRuns, 1);
    EXPECT_TRUE(dialogs.opened.empty()); // the folder conversion replaces the single file
    EXPECT_EQ(messages.shown.size(), 2u);
}

} // namespace
} // namespace korvane::testing
