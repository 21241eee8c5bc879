#include "WindowTestFixture.h"

#include "style/StyleDocument.h"
#include "style/StyleReader.h"
#include "support/AllocationFailure.h"

#include <optional>

namespace korvane::testing {
namespace {

// A saved style as the reader sees it: each section's name and event bytes, in file order.
struct ReadSection {
    std::string name;
    ByteArray eventBytes;
    bool operator==(const ReadSection&) const = default;
};

void PrintTo(const ReadSection& section, std::ostream* out) {
    *out << '"' << section.name << "\" (" << section.eventBytes.size() << " bytes)";
}

std::vector<ReadSection> ReadBack(const std::string& path) {
    CScriptedMessageBox readerMessages;
    CStyleDocument document;
    document.StartNextFile();
    EXPECT_EQ(ReadStyleFile(path, document, readerMessages), ReadResult::Ok);
    EXPECT_TRUE(readerMessages.shown.empty());
    std::vector<ReadSection> sections;
    for (const CStyleSection* section : document.GetSections())
        sections.push_back(
            {section->GetName(), section->GetData() ? *section->GetData() : ByteArray{}});
    return sections;
}

// --- Open ---------------------------------------------------------------------------------------

using WindowOpen = WindowTest;

TEST_F(WindowOpen, TheChosenFilesSectionsFillTheSourceColumn) {
    StartWindow();
    const std::string path = WriteStyle("pop.sty", {"SInt", "Main A", "Fill In AA"});
    OpenThroughButton(path);

    ASSERT_EQ(dialogs.opened.size(), 1u);
    EXPECT_FALSE(dialogs.opened[0].save);
    EXPECT_EQ(dialogs.opened[0].folder, Folder());
    EXPECT_EQ(dialogs.opened[0].filters.size(), 2u);
    EXPECT_EQ(dialogs.opened[0].filters[0].description, "Style Files (*.sty;*.mid)");
    EXPECT_EQ(dialogs.opened[0].filters[1].description, "All Files (*.*)");

    std::vector<std::string> expected(16);
    expected[0] = "SInt";
    expected[1] = "Main A";
    expected[2] = "Fill In AA";
    EXPECT_EQ(Captions(Column::Source), expected);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(TextColour(Source(row)), Rgb(0, 176, 0)) << row;
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "pop.sty");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowOpen, OpenSwitchesClearPropertiesAndVoicesOnButNotSave) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    for (const char* name : {"clearButton", "propertiesButton", "voicesButton"}) {
        EXPECT_TRUE(Button(name)->isEnabled()) << name;
        EXPECT_EQ(ButtonTextColour(Button(name)), Rgb(255, 255, 128)) << name;
    }
    for (const char* name : {"saveButton", "storePatternButton", "copyAllButton"}) {
        EXPECT_FALSE(Button(name)->isEnabled()) << name;
        EXPECT_EQ(ButtonTextColour(Button(name)), Rgb(0, 128, 0)) << name;
    }
}

TEST_F(WindowOpen, AFileMatchingTheLayoutRowForRowSwitchesCopyAllOn) {
    StartWindow();
    OpenThroughButton(WriteStyle("full.sty", kSixteenLayout));
    EXPECT_TRUE(Button("copyAllButton")->isEnabled());
    EXPECT_EQ(ButtonTextColour(Button("copyAllButton")), Rgb(255, 255, 128));
}

TEST_F(WindowOpen, CancellingTheDialogChangesNothing) {
    StartWindow();
    Click(Button("openButton")); // no scripted choice: Cancel
    EXPECT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(Captions(Column::Source), std::vector<std::string>(16));
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "");
    EXPECT_FALSE(Button("clearButton")->isEnabled());
}

TEST_F(WindowOpen, TheFileMenuOpensToo) {
    StartWindow();
    dialogs.choices.push_back(WriteStyle("menu.sty", {"Main A"}));
    Action("openAction")->trigger();
    EXPECT_EQ(dialogs.opened.size(), 1u);
    EXPECT_EQ(Source(0)->GetCaption(), "Main A");
}

// A file that fails to read, for whatever reason, leaves nothing of itself to click: the source
// column and the file-name label are emptied, and the assignment from the earlier file stays and
// is what Save writes. The broken files carry the earlier file's names, so a column filled from
// the partly read file would show them again.
TEST_F(WindowOpen, AFailedReadEmptiesTheColumnAndKeepsEarlierAssignments) {
    const ByteArray good = MakeStyleBytes({"SInt", "Main A", "Main B"}, 0x3C);
    ByteArray noTrack = good; // two bytes more in the header chunk hide "MTrk"
    noTrack[7] = 8;
    noTrack.insert(noTrack.begin() + 14, {0x00, 0x00});
    const ByteArray hugeSection(std::size_t(8) << 20, 0x00);
    const struct {
        const char* name;
        ByteArray bytes;
        std::string message; // after the path or file name where it starts with a blank
        bool outOfMemory;
    } cases[] = {
        {"notes.txt", ByteArray{'h', 'i'}, " is not a style file (MThd missing).", false},
        {"notrack.sty", noTrack, "No track tag.\n", false},
        {"half.sty", ByteArray(good.begin(), good.end() - 20),
         "File half.sty is damaged: it ends in the middle of its data.\nCannot process further.",
         false},
        {"huge.sty", MakeStyleBytes({"SInt", "Main A"}, 0x3C), ".\nCannot process further.", true},
    };
    for (const auto& c : cases) {
        StartWindow();
        messages.shown.clear();
        OpenThroughButton(WriteStyle("good.sty", {"SInt", "Main A", "Main B"}));
        Assign(1, 1);
        Click(Source(0)); // still selected when the next Open fails
        ByteArray bytes = c.bytes;
        if (c.outOfMemory) // a section too large for the memory allowed
            bytes.insert(bytes.begin() + 60, hugeSection.begin(), hugeSection.end());
        WriteFile(c.name, bytes);
        {
            std::optional<CFailLargeAllocations> guard;
            if (c.outOfMemory)
                guard.emplace(std::size_t(2) << 20);
            OpenThroughButton(PathOf(c.name));
        }
        ASSERT_EQ(messages.shown.size(), 1u) << c.name;
        const std::string expected =
            c.outOfMemory         ? "Not enough memory to read file " + PathOf(c.name) + c.message
            : c.message[0] == ' ' ? PathOf(c.name) + c.message
                                  : c.message;
        EXPECT_EQ(messages.shown[0].text, expected);
        EXPECT_EQ(messages.shown[0].caption, "Sorry...");
        EXPECT_EQ(Captions(Column::Source), std::vector<std::string>(16)) << c.name;
        EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "") << c.name;
        EXPECT_EQ(Assignment(1)->GetCaption(), "good.sty Main A") << c.name;

        messages.shown.clear();
        Click(Source(1));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Cannot select an empty Section.");
        messages.shown.clear();
        dialogs.choices.push_back(PathOf("saved.sty"));
        Click(Button("saveButton"));
        EXPECT_TRUE(messages.shown.empty()) << c.name;
        const std::vector<ReadSection> saved = {{"Main A", SectionEventBytes(0x3C, 1)}};
        EXPECT_EQ(ReadBack(PathOf("saved.sty")), saved) << c.name;
        std::filesystem::remove(PathOf("saved.sty"));
    }
}

// --- assigning by clicking ------------------------------------------------------------------

using WindowAssign = WindowTest;

TEST_F(WindowAssign, ASourceClickHighlightsItAndASecondClickReleasesIt) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Click(Source(1));
    EXPECT_EQ(TextColour(Source(1)), Rgb(0, 255, 0));
    EXPECT_EQ(TextColour(Source(0)), Rgb(0, 176, 0));
    Click(Source(0));
    EXPECT_EQ(TextColour(Source(1)), Rgb(0, 176, 0));
    EXPECT_EQ(TextColour(Source(0)), Rgb(0, 255, 0));
    Click(Source(0));
    EXPECT_EQ(TextColour(Source(0)), Rgb(0, 176, 0));
    EXPECT_EQ(Window().GetAssignmentTable().GetSelectedSource(), -1);
}

TEST_F(WindowAssign, ADestinationClickAssignsAndTheRowNamesFileAndSection) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(1, 5);

    EXPECT_EQ(Assignment(5)->GetCaption(), "pop.sty Main A");
    EXPECT_EQ(TextColour(Assignment(5)), Rgb(0, 255, 255));
    EXPECT_EQ(TextColour(Destination(5)), Rgb(0, 255, 255));
    EXPECT_EQ(Destination(5)->GetCaption(), "Main B");
    EXPECT_EQ(TextColour(Source(1)), Rgb(0, 255, 0)); // stays selected for further slots
    EXPECT_EQ(TextColour(Label("auditionLabel")), Rgb(0, 255, 0));
    EXPECT_TRUE(Button("playButton")->isEnabled());
    EXPECT_EQ(ButtonBackground(Button("playButton")), Rgb(53, 106, 106));
    EXPECT_FALSE(Button("pauseButton")->isEnabled());
    for (const char* name : {"saveButton", "storePatternButton", "clearButton"}) {
        EXPECT_TRUE(Button(name)->isEnabled()) << name;
        EXPECT_EQ(ButtonTextColour(Button(name)), Rgb(255, 255, 128)) << name;
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowAssign, OneSectionGoesToSeveralSlots) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A", "Fill In AA"}));
    Click(Source(2));
    Click(Destination(1));
    Click(Destination(5));
    Click(Destination(9));
    for (int slot : {1, 5, 9})
        EXPECT_EQ(Assignment(slot)->GetCaption(), "pop.sty Fill In AA") << slot;
    EXPECT_EQ(Assignment(2)->GetCaption(), "");
}

TEST_F(WindowAssign, AClickOnAnAssignedSlotWithoutASelectionFreesIt) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(0, 3);
    Click(Source(0)); // deselect
    Click(Destination(3));
    EXPECT_EQ(Assignment(3)->GetCaption(), "");
    EXPECT_EQ(TextColour(Destination(3)), Rgb(192, 192, 192));
    EXPECT_TRUE(messages.shown.empty());

    Click(Destination(3));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], (ShownMessage{"No input section selected.", "Alert...",
                                               MessageIcon::Exclamation, MessageButtons::Ok}));
}

TEST_F(WindowAssign, AnEmptySourceLabelCannotBeSelected) {
    StartWindow();
    Click(Source(4));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], (ShownMessage{"Cannot select an empty Section.", "Sorry...",
                                               MessageIcon::None, MessageButtons::Ok}));
}

TEST_F(WindowAssign, ADestinationClickBeforeAnyOpenAsksForAFile) {
    StartWindow();
    Click(Destination(0));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0],
              (ShownMessage{"You must open a style file first\nso that you have something to copy.",
                            "Alert...", MessageIcon::Exclamation, MessageButtons::Ok}));
}

TEST_F(WindowAssign, CopyAllPairsTheColumnsByPosition) {
    StartWindow();
    OpenThroughButton(WriteStyle("full.sty", kSixteenLayout));
    Click(Button("copyAllButton"));
    for (int slot = 0; slot < 16; ++slot) {
        EXPECT_EQ(Assignment(slot)->GetCaption(), "full.sty " + kSixteenLayout[slot]) << slot;
        EXPECT_EQ(TextColour(Destination(slot)), Rgb(0, 255, 255)) << slot;
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowAssign, CopyAllFromTheMenuRunsEvenWhileItsButtonIsOff) {
    StartWindow();
    Action("copyAllAction")->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0],
              (ShownMessage{"You must open a style file first\nso that you have something to copy.",
                            "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok}));
}

TEST_F(WindowAssign, ClearEmptiesTheWorkAndSwitchesTheButtonsOff) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(1, 1);
    Click(Button("clearButton"));
    EXPECT_EQ(Captions(Column::Source), std::vector<std::string>(16));
    EXPECT_EQ(Captions(Column::Assignment), std::vector<std::string>(16));
    EXPECT_EQ(Captions(Column::Destination), kSixteenLayout);
    EXPECT_EQ(TextColour(Destination(1)), Rgb(192, 192, 192));
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "");
    EXPECT_EQ(TextColour(Label("auditionLabel")), Rgb(192, 192, 192));
    EXPECT_FALSE(Button("playButton")->isEnabled());
    for (const char* name : kSwitchedButtons)
        EXPECT_FALSE(Button(name)->isEnabled()) << name;
}

// Section names are bytes in the system's code page: what the label shows is decoded, what the
// core gets back is the bytes as read.
TEST_F(WindowAssign, ANameThatIsNotUtf8TravelsThroughTheLabelsUnchanged) {
    StartWindow();
    const std::string name = "Caf\xE9 \xA7";
    OpenThroughButton(WriteStyle("odd.sty", {"SInt", name}));
    EXPECT_EQ(Source(1)->GetCaption(), name);
    Assign(1, 1);
    EXPECT_EQ(Window().GetAssignmentTable().GetSlots()[1].sourceName, name);
    EXPECT_EQ(Assignment(1)->GetCaption(), "odd.sty " + name);
    EXPECT_TRUE(messages.shown.empty());
}

// --- Save -------------------------------------------------------------------------------------

using WindowSave = WindowTest;

TEST_F(WindowSave, AWholeConversionWritesTheSectionsUnderTheirDestinationNames) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"Main A", "Main B", "Fill In AA"}, 0x40));
    Assign(0, 14); // Main A becomes Main D
    Assign(1, 10); // Main B becomes Main C
    Assign(2, 15); // Fill In AA becomes Fill In DD
    dialogs.choices.push_back(PathOf("converted"));
    Click(Button("saveButton"));

    ASSERT_EQ(dialogs.opened.size(), 2u);
    EXPECT_TRUE(dialogs.opened[1].save);
    EXPECT_EQ(dialogs.opened[1].folder, Folder());
    EXPECT_EQ(dialogs.opened[1].initialName, "pop.sty");
    EXPECT_TRUE(messages.shown.empty());

    const std::vector<ReadSection> expected = {{"Main C", SectionEventBytes(0x40, 1)},
                                               {"Main D", SectionEventBytes(0x40, 0)},
                                               {"Fill In DD", SectionEventBytes(0x40, 2)}};
    EXPECT_EQ(ReadBack(PathOf("converted.sty")), expected);

    // Saving ends with Clear.
    EXPECT_EQ(Captions(Column::Source), std::vector<std::string>(16));
    EXPECT_EQ(Captions(Column::Assignment), std::vector<std::string>(16));
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "");
    for (const char* name : kSwitchedButtons)
        EXPECT_FALSE(Button(name)->isEnabled()) << name;
}

TEST_F(WindowSave, TheFileMenuSavesTooAndASecondSaveFindsNothing) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(0, 0);
    dialogs.choices.push_back(PathOf("first.sty"));
    Action("saveAction")->trigger();
    EXPECT_TRUE(std::filesystem::exists(PathOf("first.sty")));

    Action("saveAction")->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0],
        (ShownMessage{"You must first assign style sections\nso that you have something to save.",
                      "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok}));
    EXPECT_EQ(dialogs.opened.size(), 2u); // Open and the first Save only
}

TEST_F(WindowSave, AnExistingFileIsOverwrittenOnlyAfterYes) {
    StartWindow();
    WriteFile("taken.sty", std::string("old"));
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(1, 1);
    dialogs.choices.push_back(PathOf("taken.sty"));
    messages.answers.push_back(MessageAnswer::Yes);
    Click(Button("saveButton"));

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0],
        (ShownMessage{PathOf("taken.sty") + " \nalready exists. Do you wish to overwrite anyway?",
                      "Save File", MessageIcon::Exclamation, MessageButtons::YesNo}));
    const std::vector<ReadSection> expected = {{"Main A", SectionEventBytes(0x3C, 1)}};
    EXPECT_EQ(ReadBack(PathOf("taken.sty")), expected);
}

TEST_F(WindowSave, TwoFilesCombineIntoOneStyle) {
    StartWindow();
    OpenThroughButton(WriteStyle("a.sty", {"Main A", "Main B"}, 0x30));
    Assign(0, 1);
    OpenThroughButton(WriteStyle("b.sty", {"Intro A", "Main B"}, 0x50));

    // The source column shows the second file; the first file's assignment stays.
    EXPECT_EQ(Source(0)->GetCaption(), "Intro A");
    EXPECT_EQ(Label("fileNameLabel")->GetCaption(), "b.sty");
    EXPECT_EQ(Assignment(1)->GetCaption(), "a.sty Main A");
    Assign(1, 5);
    EXPECT_EQ(Assignment(1)->GetCaption(), "a.sty Main A");
    EXPECT_EQ(Assignment(5)->GetCaption(), "b.sty Main B");

    dialogs.choices.push_back(PathOf("both.sty"));
    Click(Button("saveButton"));
    const std::vector<ReadSection> expected = {{"Main A", SectionEventBytes(0x30, 0)},
                                               {"Main B", SectionEventBytes(0x50, 1)}};
    EXPECT_EQ(ReadBack(PathOf("both.sty")), expected);
}

// --- changing the model ---------------------------------------------------------------------

using WindowModelChange = WindowTest;

TEST_F(WindowModelChange, WithoutAssignmentsTheNewLayoutIsShown) {
    StartWindow();
    QTest::keyClick(ModelSelector(), Qt::Key_Down);
    EXPECT_EQ(ModelSelector()->currentText(), QString("PSR-8000"));
    EXPECT_EQ(Destination(3)->GetCaption(), "Fill In AB");
    EXPECT_EQ(Destination(10)->GetCaption(), "Ending B");
    EXPECT_EQ(Destination(11)->GetCaption(), "");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowModelChange, WithAssignmentsItIsRefusedAndTheColumnStays) {
    StartWindow();
    OpenThroughButton(WriteStyle("pop.sty", {"SInt", "Main A"}));
    Assign(1, 1);
    QTest::keyClick(ModelSelector(), Qt::Key_Down);

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0],
              (ShownMessage{"You have made assignments. You should save or\nclear your work "
                            "before changing PSR models.",
                            "Alert", MessageIcon::None, MessageButtons::Ok}));
    EXPECT_EQ(Captions(Column::Destination), kSixteenLayout);
    EXPECT_EQ(Assignment(1)->GetCaption(), "pop.sty Main A");
    // The selector shows the model still in use.
    EXPECT_EQ(ModelSelector()->currentText(), QString("PSR-9000"));
}

} // namespace
} // namespace korvane::testing
