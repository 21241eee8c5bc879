// Store Pattern, the step format, the Conversions values and the replay of a pattern by names.

#include "patterns/ConversionPattern.h"

#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "settings/ProfileFile.h"
#include "support/PlatformText.h"
#include "support/ScriptedDialogs.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

constexpr int kSixteenSlotModel = 0;  // PSR-9000
constexpr int kThirteenSlotModel = 5; // PSR-740

class PatternTest : public ::testing::Test {
protected:
    PatternTest() {
        settings.configurationPath = folder.File("Korvane.ini");
        SelectModel(kSixteenSlotModel);
    }

    void SelectModel(int model) {
        table.SelectModel(model);
        table.Clear();
    }

    // Writes a generated style with these sections and opens it.
    void Open(const std::string& file, const std::vector<std::string>& sections) {
        StyleGeneratorOptions options;
        options.seed = 3;
        options.sectionNames = sections;
        const std::string path = folder.File(file);
        ASSERT_TRUE(WriteGeneratedStyle(GenerateStyle(options), path));
        ASSERT_EQ(OpenStyleFile(table, settings, path), ReadResult::Ok);
    }

    std::string StoredStep(int step) const {
        return CProfileFile(settings.configurationPath)
            .ReadString("Conversion Pattern", "step" + std::to_string(step), "missing", 64);
    }

    // slot -> source name of every assigned slot
    std::vector<std::pair<int, std::string>> Assigned() const {
        std::vector<std::pair<int, std::string>> assigned;
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (table.GetSlots()[slot].assigned)
                assigned.emplace_back(slot, table.GetSlots()[slot].sourceName);
        }
        return assigned;
    }

    CTemporaryFolder folder;
    CScriptedMessageBox messages;
    CAssignmentTable table{messages};
    CSettings settings;
};

TEST(StepFormat, FormatsAndRefusesWhatWouldNotReadBack) {
    struct Case {
        PatternStep step;
        std::string stored;
        bool storable;
    };
    const std::string sixty(60, 'x');
    const Case cases[] = {
        {{"Main A", "Main A"}, "Main A,Main A", true},
        {{"", ""}, "", true},
        {{"", "Main A"}, "", true}, // a free step is the empty value
        {{"Main.1", "Fill In AA"}, "Main.1,Fill In AA", true},
        {{"A,B", "Main A"}, "A,B,Main A", false}, // would read back as "A" to "B,Main A"
        {{"Main A", "To,With comma"}, "Main A,To,With comma", true},
        {{sixty, "ab"}, sixty + ",ab", true}, // 63 bytes exactly
        {{sixty, "abc"}, sixty + ",abc", false},
        {{" Main A", "Main A"}, " Main A,Main A", false}, // the reader trims blanks,
        {{"Main A", "Main A\t"}, "Main A,Main A\t", false},
        {{"\"Main", "A\""}, "\"Main,A\"", false}, // takes off enclosing quotes
        {{std::string("M\0A", 3), "M"}, std::string("M\0A,M", 5), false}, // and cuts at a NUL
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatPatternStep(c.step), c.stored) << c.step.from;
        EXPECT_EQ(!StepStoreProblem(c.step).has_value(), c.storable) << c.step.from;
    }
}

TEST_F(PatternTest, StorePatternWithoutAFileRefusesAndWritesNothing) {
    settings.pattern[3] = {"Main A", "Main A"};
    EXPECT_FALSE(RunStorePattern(table, settings));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0],
        (ShownMessage{"You must open a style file first\nso that you have something to store.",
                      "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok}));
    EXPECT_EQ(settings.pattern[3], (PatternStep{"Main A", "Main A"}));
    EXPECT_EQ(StoredStep(0), "missing");
}

TEST_F(PatternTest, StorePatternCapturesEverySlotAndWritesAllSixteenKeys) {
    Open("mystyle.sty", {"SInt", "Main A", "Main B"});
    table.AssignPair(1, 1);  // Main A -> Main A
    table.AssignPair(2, 5);  // Main B -> Main B
    table.AssignPair(2, 10); // Main B -> Main C as well
    messages.shown.clear();

    EXPECT_TRUE(RunStorePattern(table, settings));
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"Pattern storage complete.", "You did it!",
                                          MessageIcon::Information, MessageButtons::Ok}}));
    EXPECT_TRUE(settings.patternLoaded);
    for (int step = 0; step < kSlotCount; ++step) {
        const std::string expected = step == 1    ? "Main A,Main A"
                                     : step == 5  ? "Main B,Main B"
                                     : step == 10 ? "Main B,Main C"
                                                  : "";
        EXPECT_EQ(StoredStep(step), expected) << step;
        EXPECT_EQ(FormatPatternStep(settings.pattern[step]), expected) << step;
    }
    // Read back by the loader, it is the same pattern.
    CSettings loaded;
    ReadSettingsFile(loaded, settings.configurationPath, "");
    EXPECT_TRUE(loaded.patternLoaded);
    EXPECT_EQ(loaded.pattern, settings.pattern);
}

TEST_F(PatternTest, TheFromNameComesFromTheSlotWhateverTheFileAndSectionNames) {
    // Neither a file name without a dot nor a section name with one can be read back from the
    // assignment row's caption; the slot knows the name.
    for (const std::string file : {"nodot", "my.style.sty", "trailing."}) {
        SelectModel(kSixteenSlotModel);
        Open(file, {"SInt", "Main.A"});
        table.AssignPair(1, 1);
        EXPECT_EQ(CapturePattern(table).steps[1], (PatternStep{"Main.A", "Main A"})) << file;
    }
}

TEST_F(PatternTest, NothingAssignedStoresSixteenEmptyStepsAndKeepsTheFlag) {
    Open("pop.sty", {"SInt", "Main A"});
    for (const bool loadedBefore : {false, true}) {
        settings.patternLoaded = loadedBefore;
        settings.pattern[4] = {"Main A", "Intro A"};
        EXPECT_TRUE(RunStorePattern(table, settings));
        EXPECT_EQ(settings.patternLoaded, loadedBefore);
        EXPECT_EQ(settings.pattern, ConversionPattern{});
        for (int step = 0; step < kSlotCount; ++step)
            EXPECT_EQ(StoredStep(step), "") << step;
    }
}

TEST_F(PatternTest, AStepThatCannotReadBackIsNamedAndStoredFree) {
    Open("pop.sty", {"SInt", "Main,A", "Main B"});
    table.AssignPair(1, 1);
    table.AssignPair(2, 5);
    messages.shown.clear();

    EXPECT_FALSE(RunStorePattern(table, settings));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "The pattern was stored without these steps, which would not read back as they "
              "are:\nstep 1 (Main,A to Main A): its from-section name holds a comma");
    EXPECT_EQ(messages.shown[0].caption, "Sorry...");
    EXPECT_EQ(StoredStep(1), "");
    EXPECT_EQ(StoredStep(5), "Main B,Main B");
    EXPECT_EQ(settings.pattern[1], PatternStep{});
}

TEST_F(PatternTest, ReplayBySixteenSlotNamesOnTheThirteenSlotLayout) {
    ConversionPattern pattern;
    pattern[1] = {"Main A", "Main A"};
    pattern[5] = {"Main B", "Main B"};
    pattern[7] = {"Main B", "Fill In BA"}; // the 13-slot layout has no Fill In BA
    pattern[9] = {"Main D", "Ending B"};   // the file has no Main D
    SelectModel(kThirteenSlotModel);
    Open("three.sty", {"SInt", "Main A", "Main B"});
    ApplyPattern(table, pattern);

    EXPECT_EQ(Assigned(), (std::vector<std::pair<int, std::string>>{{1, "Main A"}, {5, "Main B"}}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PatternTest, ReplayKeepsASourceSelectedForItsNextStep) {
    // One section in three slots, two of them consecutive steps: each slot gets it.
    ConversionPattern pattern;
    pattern[0] = {"SInt", "SInt"};
    pattern[3] = {"SInt", "Intro A"};
    pattern[8] = {"SInt", "Intro B"};
    Open("intro.sty", {"SInt", "Main A"});
    ApplyPattern(table, pattern);

    EXPECT_EQ(Assigned(),
              (std::vector<std::pair<int, std::string>>{{0, "SInt"}, {3, "SInt"}, {8, "SInt"}}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PatternTest, AssignByNamePutsEachSectionUnderItsOwnName) {
    // A real style's order: SInt, Main A, Main B, ... where the layout has Fill In AA at row 2.
    Open("real.sty", {"SInt", "Main A", "Main B", "Fill In AA", "Main Z"});
    table.AssignByName();
    EXPECT_EQ(Assigned(), (std::vector<std::pair<int, std::string>>{
                              {0, "SInt"}, {1, "Main A"}, {2, "Fill In AA"}, {5, "Main B"}}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PatternTest, ConversionsProposeTheStyleLocationForEmptyFoldersAndOkWritesFourKeys) {
    settings.defaultStyleLocation = "/styles";
    settings.conversionSourceFolder = "";
    settings.conversionTargetFolder = "/out";
    const ConversionFolders proposed = ProposedConversionFolders(settings);
    EXPECT_EQ(proposed.from, "/styles");
    EXPECT_EQ(proposed.to, "/out");
    settings.conversionTargetFolder = "none"; // the key was never written
    EXPECT_EQ(ProposedConversionFolders(settings).to, "");

    ConfirmConversions(settings, {"/in,1", "/out%d"}, true, false);
    EXPECT_EQ(settings.conversionSourceFolder, "/in,1");
    EXPECT_EQ(settings.conversionTargetFolder, "/out%d");
    EXPECT_TRUE(settings.overwrite);
    EXPECT_FALSE(settings.entireFolder);
    EXPECT_EQ(ReadBytes(settings.configurationPath),
              NativeLines("[Conversion Files]\nfrom=/in,1\nto=/out%d\noverwrite=Y\nentire=\n"));
}

TEST_F(PatternTest, BrowsingChangesAFolderOnlyForAConfirmedPath) {
    CScriptedFolderBrowser browser;
    browser.choices = {std::nullopt, std::string(), std::string("/chosen")};
    std::string folderValue = "/before";
    EXPECT_FALSE(BrowseConversionFolder(browser, kBrowseFromTitle, folderValue));
    EXPECT_FALSE(BrowseConversionFolder(browser, kBrowseFromTitle, folderValue));
    EXPECT_EQ(folderValue, "/before");
    EXPECT_TRUE(BrowseConversionFolder(browser, kBrowseToTitle, folderValue));
    EXPECT_EQ(folderValue, "/chosen");
    EXPECT_EQ(browser.titles,
              (std::vector<std::string>{"Select a style folder to read.",
                                        "Select a style folder to read.",
                                        "Select a style folder to write conversions."}));
}

TEST_F(PatternTest, APatternFileIsReadByTheSettingsLoader) {
    const std::string ini = folder.File("Korvane.ini");
    WriteBytes(ini, "[Conversion Pattern]\nstep1=Main A,Main A\nstep5=Main B,Fill In BB\n");
    const auto pattern = ReadPatternFile(ini, messages);
    ASSERT_TRUE(pattern);
    EXPECT_EQ((*pattern)[1], (PatternStep{"Main A", "Main A"}));
    EXPECT_EQ((*pattern)[5], (PatternStep{"Main B", "Fill In BB"}));
    EXPECT_TRUE(messages.shown.empty());

    WriteBytes(ini, "[Style Base]\nfolder=/x\n");
    EXPECT_FALSE(ReadPatternFile(ini, messages));
    EXPECT_FALSE(ReadPatternFile(folder.Path(), messages)); // a folder is no configuration file
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, ini + " holds no conversion pattern.");
    EXPECT_EQ(messages.shown[1].text, folder.Path() + " is not a configuration file.");
}

} // namespace
} // namespace korvane::testing
