// Assigning sections: source clicks, destination clicks, Copy All, model changes and Clear, with
// the captions, colours and buttons the window shows.

#include "assignment/AssignmentTable.h"
#include "assignment/SectionPictures.h"

#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "style/PropertiesForm.h"
#include "style/StyleReader.h"
#include "support/ScriptedDialogs.h"
#include "support/StyleBytes.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

const ShownMessage kOpenFirstAlert{
    "You must open a style file first\nso that you have something to copy.", "Alert...",
    MessageIcon::Exclamation, MessageButtons::Ok};
const ShownMessage kNoSourceSelected{"No input section selected.", "Alert...",
                                     MessageIcon::Exclamation, MessageButtons::Ok};

// A style whose sections carry the given names, each with one distinct event byte.
ByteArray StyleWithSections(const std::vector<std::string>& names) {
    ByteArray track = B({0x00});
    for (std::size_t i = 0; i < names.size(); ++i)
        track = Cat({track, Marker(names[i]), B({int(i)})});
    track = Cat({track, B({0xFF, 0x2F, 0x00})});
    return Style(track, {});
}

class AssignmentTableTest : public ::testing::Test {
protected:
    AssignmentTableTest() {
        table.SelectModel(ModelIndex("PSR-9000"));
        table.Clear();
    }
    void Open(const std::vector<std::string>& names, const std::string& fileName = "a.sty") {
        const std::string path = folder.File(fileName);
        WriteBytes(path, StyleWithSections(names));
        ASSERT_EQ(OpenStyleFile(table, settings, path), ReadResult::Ok);
    }
    CStyleSection* Section(const std::string& name) {
        return table.GetDocument().FindSection(name);
    }
    Colour SourceColour(int row) const { return table.GetSourceLabel(row).textColour; }
    Colour DestinationColour(int slot) const { return table.GetDestinationLabel(slot).textColour; }

    CTemporaryFolder folder;
    CScriptedMessageBox messages;
    CAssignmentTable table{messages};
    CSettings settings;
};

TEST_F(AssignmentTableTest, StartsWithTheModelLayoutAndNothingElse) {
    for (int row = 0; row < kSlotCount; ++row) {
        EXPECT_EQ(table.GetSourceLabel(row), (LabelState{"", colours::kSourcePlain}));
        EXPECT_EQ(table.GetDestinationLabel(row),
                  (LabelState{LayoutOfModel("PSR-9000")[row], colours::kDestinationPlain}));
        EXPECT_EQ(table.GetAssignmentLabel(row).caption, "");
    }
    EXPECT_EQ(table.GetDestinationLabel(15).caption, "Fill In DD");
    EXPECT_EQ(table.GetSelectedSource(), -1);
    EXPECT_FALSE(table.IsPlayEnabled());
    for (int b = 0; b < kSwitchedButtonCount; ++b)
        EXPECT_FALSE(table.IsButtonOn(SwitchedButton(b)));
}

// A style of more sections than rows: past the last row, and before the first, no label shows a
// section.
TEST_F(AssignmentTableTest, NoRowOutsideTheColumnHasASection) {
    std::vector<std::string> names;
    for (int i = 0; i <= kSlotCount; ++i)
        names.push_back("Main " + std::to_string(i));
    Open(names);
    EXPECT_EQ(SectionAtLabel(table, LabelColumn::Source, kSlotCount - 1), Section("Main 15"));
    EXPECT_EQ(SectionAtLabel(table, LabelColumn::Source, kSlotCount), nullptr);
    EXPECT_EQ(SectionAtLabel(table, LabelColumn::Source, -1), nullptr);
}

TEST_F(AssignmentTableTest, SourceClicksSelectAndDeselect) {
    Open({"SInt", "Main A", "Main B"});
    table.ClickSource(1);
    EXPECT_EQ(table.GetSelectedSource(), 1);
    EXPECT_EQ(SourceColour(1), colours::kSourceSelected);
    table.ClickSource(2);
    EXPECT_EQ(table.GetSelectedSource(), 2);
    EXPECT_EQ(SourceColour(1), colours::kSourcePlain);
    EXPECT_EQ(SourceColour(2), colours::kSourceSelected);
    table.ClickSource(2);
    EXPECT_EQ(table.GetSelectedSource(), -1);
    EXPECT_EQ(SourceColour(2), colours::kSourcePlain);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(AssignmentTableTest, EmptySourceLabelCannotBeSelected) {
    Open({"SInt"});
    table.ClickSource(5);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], (ShownMessage{"Cannot select an empty Section.", "Sorry...",
                                               MessageIcon::None, MessageButtons::Ok}));
    EXPECT_EQ(table.GetSelectedSource(), -1);
}

TEST_F(AssignmentTableTest, DestinationClickBeforeAnyOpenIsRefused) {
    table.ClickDestination(0);
    table.CopyAll();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0], kOpenFirstAlert);
    ShownMessage copyAllRefusal = kOpenFirstAlert;
    copyAllRefusal.caption = "Sorry...";
    EXPECT_EQ(messages.shown[1], copyAllRefusal);
    EXPECT_EQ(DestinationColour(0), colours::kDestinationPlain);
}

TEST_F(AssignmentTableTest, AssigningShowsTheSectionAndSwitchesButtonsOn) {
    Open({"SInt", "Main A", "Main B"}, "pop.sty");
    table.ClickSource(2);
    table.ClickDestination(5);

    EXPECT_EQ(table.GetSlots()[5], (AssignmentSlot{true, "Main B", "Main B"}));
    EXPECT_EQ(table.GetAssignmentLabel(5).caption, "pop.sty Main B");
    EXPECT_EQ(DestinationColour(5), colours::kDestinationHighlighted);
    EXPECT_EQ(table.GetAuditionLabelColour(), colours::kAuditionHighlighted);
    EXPECT_TRUE(table.IsPlayEnabled());
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::Save));
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::Clear));
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::StorePattern));
    EXPECT_EQ(table.GetSelectedSource(), 2); // stays selected for further slots
    EXPECT_NE(table.GetDocument().GetDestinationProperties(), nullptr);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(AssignmentTableTest, OneSectionToSeveralSlots) {
    Open({"SInt", "Main A", "Main B"});
    table.ClickSource(2);
    table.ClickDestination(1);
    table.ClickDestination(5);
    table.ClickDestination(9);
    CStyleSection* mainB = Section("Main B");
    EXPECT_EQ(mainB->GetDestinations(), (std::vector<std::uint32_t>{1, 5, 9}));
    EXPECT_EQ(table.GetDocument().GetAssignedSections(),
              (std::vector<CStyleSection*>{mainB, mainB, mainB}));
}

TEST_F(AssignmentTableTest, ClickOnAnAssignedSlotWithASourceReplacesIt) {
    Open({"SInt", "Main A", "Main B"});
    table.ClickSource(1);
    table.ClickDestination(5);
    table.ClickSource(2);
    table.ClickDestination(5);
    EXPECT_TRUE(Section("Main A")->GetDestinations().empty());
    EXPECT_EQ(Section("Main B")->GetDestinations(), std::vector<std::uint32_t>{5});
    EXPECT_EQ(table.GetAssignmentLabel(5).caption, "a.sty Main B");
    EXPECT_EQ(table.GetSlots()[5].sourceName, "Main B");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(AssignmentTableTest, ClickOnAnAssignedSlotWithoutASourceFreesIt) {
    Open({"SInt", "Main A"});
    table.ClickSource(1);
    table.ClickDestination(3);
    table.ClickSource(1); // deselect
    table.ClickDestination(3);
    EXPECT_FALSE(table.GetSlots()[3].assigned);
    EXPECT_EQ(table.GetSlots()[3], AssignmentSlot{});
    EXPECT_EQ(DestinationColour(3), colours::kDestinationPlain);
    EXPECT_EQ(table.GetAssignmentLabel(3).caption, "");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::Save)); // Save finds out by itself

    table.ClickDestination(3);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], kNoSourceSelected);
}

TEST_F(AssignmentTableTest, ReassigningTheSameSlotMovesTheEntryToTheEnd) {
    Open({"SInt", "Main A"});
    CStyleSection* sint = Section("SInt");
    CStyleSection* mainA = Section("Main A");
    table.ClickSource(1);
    table.ClickDestination(1);
    table.ClickSource(0);
    table.ClickDestination(0);
    table.ClickSource(1);
    table.ClickDestination(1);
    EXPECT_EQ(table.GetDocument().GetAssignedSections(),
              (std::vector<CStyleSection*>{sint, mainA}));
    EXPECT_TRUE(table.GetSlots()[1].assigned);
}

TEST_F(AssignmentTableTest, SlotPastTheLayoutAssignsNothing) {
    table.SelectModel(ModelIndex("PSR-540"));
    table.Clear();
    Open({"SInt", "Main A"});
    table.ClickSource(1);
    table.ClickDestination(10);
    EXPECT_FALSE(table.GetSlots()[10].assigned);
    EXPECT_TRUE(Section("Main A")->GetDestinations().empty());
    EXPECT_EQ(DestinationColour(10), colours::kDestinationHighlighted);
    EXPECT_EQ(table.GetAssignmentLabel(10).caption, "");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(AssignmentTableTest, FailedReadLeavesNoSectionToAssign) {
    Open({"SInt", "Main A"});
    table.ClickSource(1);
    // A later read fails: the column is emptied and the selection with it.
    WriteBytes(folder.File("bad.sty"), std::string("not a style"));
    EXPECT_NE(OpenStyleFile(table, settings, folder.File("bad.sty")), ReadResult::Ok);
    messages.shown.clear();
    table.ClickDestination(1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], (ShownMessage{"No input section selected.", "Alert...",
                                               MessageIcon::Exclamation, MessageButtons::Ok}));
    EXPECT_FALSE(table.GetSlots()[1].assigned);
    EXPECT_EQ(table.GetFileNameLabel(), "");
}

// A plan shows as its clicks would: the source selected before goes plain and the last step's
// source stays selected.
TEST_F(AssignmentTableTest, APlanShowsAsItsClicksWould) {
    Open({"Intro Z", "Main A", "Main B"});
    table.ClickSource(0);
    table.AssignByName();
    EXPECT_EQ(SourceColour(0), colours::kSourcePlain);
    EXPECT_EQ(SourceColour(2), colours::kSourceSelected);
    EXPECT_EQ(table.GetAssignmentLabel(5).caption, "a.sty Main B");
    EXPECT_EQ(DestinationColour(5), colours::kDestinationHighlighted);
}

TEST_F(AssignmentTableTest, CopyAllPairsRowsByPosition) {
    Open({"SInt", "Main A", "Main B", "Fill In AA", "Intro A"});
    table.CopyAll();
    for (int row = 0; row < 5; ++row) {
        EXPECT_TRUE(table.GetSlots()[row].assigned) << row;
        EXPECT_EQ(table.GetSlots()[row].sourceName, table.GetSourceLabel(row).caption);
    }
    EXPECT_EQ(table.GetSlots()[2].destinationName, "Fill In AA");
    EXPECT_FALSE(table.GetSlots()[5].assigned);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(AssignmentTableTest, CopyAllTakesNoMoreThan16Rows) {
    std::vector<std::string> names;
    for (int i = 0; i < 20; ++i)
        names.push_back(LayoutOfModel("PSR-9000")[i % 16] + (i < 16 ? "" : " 2"));
    Open(names);
    EXPECT_EQ(table.GetDocument().GetSections().size(), 20u);
    EXPECT_EQ(table.GetSourceLabel(15).caption, "Fill In DD");
    table.CopyAll();
    EXPECT_EQ(table.GetDocument().GetAssignedSections().size(), 16u);
}

TEST_F(AssignmentTableTest, CopyAllWithARowSelectedDeselectsItOnTheWay) {
    Open({"SInt", "Main A", "Fill In AA"});
    table.ClickSource(0);
    table.CopyAll();
    EXPECT_FALSE(table.GetSlots()[0].assigned);
    EXPECT_TRUE(table.GetSlots()[1].assigned);
    EXPECT_TRUE(table.GetSlots()[2].assigned);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], kNoSourceSelected);
}

TEST_F(AssignmentTableTest, CopyAllButtonFollowsTheColumns) {
    Open(LayoutOfModel("PSR-9000"));
    EXPECT_TRUE(table.ColumnsMatch());
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::CopyAll));
    Open({"SInt", "Main A", "Fill In AA"});
    EXPECT_FALSE(table.IsButtonOn(SwitchedButton::CopyAll));

    table.RequestModelChange(ModelIndex("PSR-540"));
    EXPECT_FALSE(table.IsButtonOn(SwitchedButton::CopyAll)); // row 3 is empty on one side
    Open({"SInt", "Main A", "Fill In AA", "Main B", "Fill In BB", "Intro B", "Ending B"});
    EXPECT_TRUE(table.IsButtonOn(SwitchedButton::CopyAll));
}

TEST_F(AssignmentTableTest, ModelChangeIsRefusedWhileSlotsAreAssigned) {
    Open({"SInt", "Main A"});
    table.ClickSource(1);
    table.ClickDestination(1);
    table.RequestModelChange(ModelIndex("PSR-540"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0],
              (ShownMessage{"You have made assignments. You should save or\nclear your work "
                            "before changing PSR models.",
                            "Alert", MessageIcon::None, MessageButtons::Ok}));
    EXPECT_EQ(table.GetDestinationLabel(15).caption, "Fill In DD"); // unchanged
    // The selector shows the model whose layout the slots hold.
    EXPECT_EQ(table.GetSelectedModel(), ModelIndex("PSR-9000"));
    table.RequestModelChange(ModelIndex("PSR-9000")); // the model in use: no change, no message
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(AssignmentTableTest, ModelChangeWithOnlyASourceSelectedRedrawsTheColumn) {
    table.SelectModel(ModelIndex("PSR-540"));
    table.Clear();
    Open({"SInt", "Main A"});
    table.ClickSource(1);
    table.ClickDestination(10); // past the layout: highlighted, nothing assigned
    ASSERT_EQ(DestinationColour(10), colours::kDestinationHighlighted);
    table.RequestModelChange(ModelIndex("PSR-8000"));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(table.GetDestinationLabel(3).caption, "Fill In AB");
    for (int slot = 0; slot < kSlotCount; ++slot)
        EXPECT_EQ(DestinationColour(slot), colours::kDestinationPlain);
}

TEST_F(AssignmentTableTest, ClearReturnsToTheEmptyState) {
    Open({"SInt", "Main A"});
    table.ClickSource(1);
    table.ClickDestination(1);
    int stops = 0;
    table.onStopAudition = [&] { ++stops; };
    table.Clear();
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(table.HasAssignments());
    EXPECT_FALSE(table.GetDocument().HasSectionList());
    EXPECT_EQ(table.GetDocument().GetLiveSectionCount(), 0u);
    EXPECT_EQ(table.GetFileNameLabel(), "");
    EXPECT_EQ(table.GetSourceLabel(0).caption, "");
    EXPECT_EQ(table.GetAssignmentLabel(1).caption, "");
    EXPECT_EQ(DestinationColour(1), colours::kDestinationPlain);
    EXPECT_EQ(table.GetAuditionLabelColour(), colours::kAuditionPlain);
    EXPECT_FALSE(table.IsPlayEnabled());
    for (int b = 0; b < kSwitchedButtonCount; ++b)
        EXPECT_FALSE(table.IsButtonOn(SwitchedButton(b)));
    table.ClickDestination(1);
    EXPECT_EQ(messages.shown.back(), kOpenFirstAlert);
}

TEST_F(AssignmentTableTest, SecondFileKeepsTheFirstFilesAssignments) {
    Open({"SInt", "Main A"}, "first.sty");
    table.ClickSource(1);
    table.ClickDestination(1);
    Open({"Main B", "Fill In BB"}, "second.sty");
    EXPECT_EQ(table.GetSelectedSource(), -1);
    EXPECT_EQ(table.GetSourceLabel(0).caption, "Main B");
    EXPECT_FALSE(table.IsPlayEnabled()); // Open resets the audition buttons
    table.ClickSource(0);
    table.ClickDestination(5);
    EXPECT_EQ(table.GetAssignmentLabel(1).caption, "first.sty Main A");
    EXPECT_EQ(table.GetAssignmentLabel(5).caption, "second.sty Main B");
    EXPECT_TRUE(table.GetSlots()[1].assigned);
    EXPECT_TRUE(table.GetSlots()[5].assigned);
    EXPECT_EQ(table.GetDocument().GetLiveSectionCount(), 3u); // Main A lives on, SInt is gone
}

TEST_F(AssignmentTableTest, EndingAsksOnlyWhileSlotsAreAssigned) {
    Open({"SInt", "Main A"});
    EXPECT_TRUE(table.ConfirmEnd()); // opened, nothing assigned: no question
    table.AssignPair(1, 1);
    messages.answers = {MessageAnswer::No, MessageAnswer::Yes};
    EXPECT_FALSE(table.ConfirmEnd());
    EXPECT_TRUE(table.ConfirmEnd());
    EXPECT_EQ(messages.shown,
              (std::vector(2, ShownMessage{"Discard the assignments made so far?", "Alert...",
                                           MessageIcon::Question, MessageButtons::YesNo})));
}

// Each step of the work is undone and redone whole; clicks that change nothing are no step.
TEST_F(AssignmentTableTest, UndoAndRedoWalkTheStepsOfTheWork) {
    Open({"SInt", "Main A", "Main B"});
    table.ClickDestination(2); // "No input section selected.": no step
    EXPECT_FALSE(table.CanUndo());
    table.AssignPair(1, 1);
    table.AssignPair(2, 1); // Main B replaces Main A
    table.Clear();
    EXPECT_FALSE(table.GetDocument().HasSectionList());

    table.Undo(); // before Clear: the file and Main B in slot 1
    EXPECT_EQ(table.GetSourceLabel(2).caption, "Main B");
    EXPECT_EQ(table.GetDocument().GetLiveSectionCount(), 3u);
    EXPECT_EQ(table.GetSlots()[1], (AssignmentSlot{true, "Main B", "Main A"}));
    EXPECT_EQ(table.GetAssignmentLabel(1).caption, "a.sty Main B");
    table.Undo(); // before the replacement
    EXPECT_EQ(table.GetSlots()[1], (AssignmentSlot{true, "Main A", "Main A"}));
    EXPECT_EQ(Section("Main A")->GetDestinations(), std::vector<std::uint32_t>{1});
    EXPECT_TRUE(Section("Main B")->GetDestinations().empty());
    EXPECT_EQ(table.GetDocument().GetAssignedSections(),
              std::vector<CStyleSection*>{Section("Main A")});
    table.Undo();
    EXPECT_FALSE(table.HasAssignments());
    EXPECT_FALSE(table.CanUndo());

    table.Redo();
    table.Redo();
    EXPECT_EQ(table.GetSlots()[1], (AssignmentSlot{true, "Main B", "Main A"}));
    EXPECT_EQ(table.GetDocument().GetAssignedSections(),
              std::vector<CStyleSection*>{Section("Main B")});
    table.AssignPair(1, 1); // a new step forgets the Clear that could be redone
    EXPECT_FALSE(table.CanRedo());
}

TEST_F(AssignmentTableTest, CopyAllIsOneStepAndOpenCutsTheHistory) {
    Open({"SInt", "Main A", "Fill In AA"});
    table.CopyAll();
    table.Undo();
    EXPECT_FALSE(table.HasAssignments());
    table.Redo();
    EXPECT_EQ(table.GetDocument().GetAssignedSections().size(), 3u);
    Open({"Main B"}, "b.sty");
    EXPECT_FALSE(table.CanUndo());
}

// Properties and Voices changes are steps and unsaved work; a refused tempo applies nothing.
TEST_F(AssignmentTableTest, PropertiesAndVoicesChangesAreUndoneAndAskBeforeEnding) {
    Open({"SInt"});
    PropertiesForm shown = PropertiesFormFromDocument(table.GetDocument());
    PropertiesForm typed = shown;
    typed.source.copyright = "(C) Me";
    typed.destination.tempo = "2";
    EXPECT_EQ(table.ApplyProperties(shown, typed),
              CAssignmentTable::PropertiesRefusal::DestinationTempo);
    EXPECT_FALSE(table.CanUndo());
    typed.destination.tempo = "";
    EXPECT_EQ(table.ApplyProperties(shown, typed), CAssignmentTable::PropertiesRefusal::None);
    EXPECT_EQ(table.GetDocument().GetSourceProperties()->GetCopyright(), "(C) Me");
    messages.answers = {MessageAnswer::No};
    EXPECT_FALSE(table.ConfirmEnd());
    table.Undo();
    EXPECT_EQ(table.GetDocument().GetSourceProperties()->GetCopyright(), "");
    EXPECT_TRUE(table.ConfirmEnd());

    VoiceChanges voices;
    voices.generalMidiVoices = true;
    table.ApplyVoiceChanges(voices);
    EXPECT_TRUE(table.HasUnsavedWork());
    table.Undo();
    EXPECT_EQ(table.GetDocument().GetVoiceChanges(), VoiceChanges{});
    EXPECT_FALSE(table.HasUnsavedWork());
}

} // namespace
} // namespace korvane::testing
