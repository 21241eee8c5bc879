#pragma once

#include "assignment/Colours.h"
#include "assignment/ConversionEngine.h"
#include "assignment/UndoHistory.h"
#include "platform/MessageBox.h"
#include "style/AssignmentSlot.h"
#include "style/PropertiesForm.h"
#include "style/StyleDocument.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace korvane {

// What a label of the three columns shows.
struct LabelState {
    std::string caption;
    Colour textColour;
    bool operator==(const LabelState&) const = default;
};

// The command buttons that the button state switches on and off.
enum class SwitchedButton { Save, Clear, Properties, Voices, CopyAll, StorePattern };
constexpr int kSwitchedButtonCount = 6;

// The main window's conversion state and its rules: the source, destination and assignment
// columns, the 16 slots, the selected source, the style document and the switched buttons. The
// window renders this state and routes every click here; korvane-cli drives the same operations.
class CAssignmentTable {
public:
    explicit CAssignmentTable(IMessageBox& messages);

    // --- what the window shows -------------------------------------------------------------
    const LabelState& GetSourceLabel(int row) const { return m_source.at(row); }
    const LabelState& GetDestinationLabel(int slot) const { return m_destination.at(slot); }
    const LabelState& GetAssignmentLabel(int row) const { return m_assignment.at(row); }
    const std::string& GetFileNameLabel() const { return m_fileNameLabel; }
    Colour GetAuditionLabelColour() const { return m_auditionColour; }
    bool IsPlayEnabled() const { return m_playEnabled; }
    // The audition player switches Play as its buttons are pressed; assignments switch it on.
    void SetPlayEnabled(bool enabled) { m_playEnabled = enabled; }
    bool IsButtonOn(SwitchedButton button) const { return m_buttons.at(int(button)); }
    // The model selector's current entry: an index into ModelNames(), or -1 for none.
    int GetSelectedModel() const { return m_selectedModel; }

    // --- state read by the commands ---------------------------------------------------------
    int GetSelectedSource() const { return m_selectedSource; }
    const AssignmentSlots& GetSlots() const { return m_slots; }
    bool HasAssignments() const;
    const std::string& GetSourceFileName() const { return m_sourceFileName; }
    void SetSourceFileName(const std::string& name) { m_sourceFileName = name; }
    CStyleDocument& GetDocument() { return m_document; }
    const CStyleDocument& GetDocument() const { return m_document; }
    IMessageBox& GetMessages() { return m_messages; }

    // --- operations -----------------------------------------------------------------------
    // Sets the selector's entry without the model change rules (start-up, before Clear).
    void SelectModel(int modelIndex);
    void ClickSource(int row);
    void ClickDestination(int slot);
    void Unassign(int slot);
    void CopyAll();
    bool ColumnsMatch() const;

    // Pairs a source row with a slot as a user does: one source click (unless the row is selected
    // already, when a click would deselect it), then one destination click.
    void AssignPair(int sourceRow, int slot);
    // The layout the destination column shows, for the plans made on this table's document.
    SectionLayout GetShownLayout() const;
    // Carries out a plan made on this table's document through the engine's ApplyPlan, and shows
    // it as the pairs' clicks would.
    void ApplyPlan(const ConversionPlan& plan);
    // Assign by Name: the engine's plan for the open file and the layout shown, on slots still
    // free.
    void AssignByName();
    // The selector changed to modelIndex: refused with a message while slots are assigned (the
    // selector keeps the new entry), else the new layout is shown; Copy All follows the columns.
    void RequestModelChange(int modelIndex);
    void Clear();
    // Ending the program (Exit, the close box, Escape, Enter): with unsaved work (slots assigned,
    // or Properties or Voices changed; Save clears them all), asks whether to discard it. Returns
    // whether the program may end.
    bool ConfirmEnd();
    bool HasUnsavedWork() const;

    // --- the history of the work -------------------------------------------------------------
    // Every change of the work is one step: a destination click that assigns or frees, Copy All,
    // Assign by Name, a plan (pattern replay), Clear, Properties OK, Voices OK. Undo takes the
    // whole work back to before the step: slots, sections and their slots, properties, voices,
    // the columns. Opening a file and saving cut the history: the document they leave is not the
    // one the earlier steps were taken on.
    void Undo();
    void Redo();
    bool CanUndo() const { return m_history.CanUndo(); }
    bool CanRedo() const { return m_history.CanRedo(); }
    // Properties OK as one step. A tempo box the style cannot hold is refused with a message and
    // nothing is applied; the dialog then opens again on that box with every edit kept.
    enum class PropertiesRefusal { None, SourceTempo, DestinationTempo };
    PropertiesRefusal ApplyProperties(const PropertiesForm& shown, const PropertiesForm& typed);
    // Voices OK as one step.
    void ApplyVoiceChanges(const VoiceChanges& changes);

    // --- what the status bar says --------------------------------------------------------------
    const std::string& GetStatusText() const { return m_statusText; }
    // After a successful write to path: says where it went, then clears the work for the next
    // conversion (not a step of the history).
    void FinishSave(const std::string& path);
    // After Open read path: says what it read.
    void ReportOpened(const std::string& path);
    // Writes the selected model's layout into the destination column, all labels plain.
    void ShowLayout();
    // Button state on, for commands that switch buttons themselves (Auto Convert).
    void SwitchButtonOn(SwitchedButton button) { SetButton(button, true); }

    // Open's steps around the reader: before it, the document is prepared and the file name set;
    // after a successful read, the new sections fill the source column.
    void PrepareForOpen(const std::string& fileName);
    void ShowOpenedSections();
    // After a failed read nothing of that file can be assigned: the source column and the
    // file-name label are emptied and its partly read sections and records released. Sections
    // assigned from earlier files stay.
    void DropFailedOpen();

    // Called when Clear or Open reset the source column, so that a running audition stops.
    std::function<void()> onStopAudition;

private:
    // The selected model's name; empty for none, or for an index past the list (a configuration
    // may hold any number).
    std::string SelectedModelName() const;

    // Everything the table holds, as it stood before or after a step; TakeSnapshot fills every
    // member.
    struct Snapshot {
        CStyleDocument::Snapshot document;
        std::array<LabelState, kSlotCount> source;
        std::array<LabelState, kSlotCount> destination;
        std::array<LabelState, kSlotCount> assignment;
        std::string fileNameLabel;
        Colour auditionColour;
        bool playEnabled;
        std::array<bool, kSwitchedButtonCount> buttons;
        int selectedModel;
        int selectedSource;
        AssignmentSlots slots;
        std::string sourceFileName;
        bool workEdited;
    };
    Snapshot TakeSnapshot() const;
    void RestoreSnapshot(Snapshot snapshot);
    // Runs change as one step of the history, recorded when it changed the work; steps run inside
    // another (Copy All's clicks) belong to it.
    template <typename Change> void AsOneStep(Change&& change);
    void ClickDestinationStep(int slot);
    void ClearWork();
    // The source column emptied; with stopAudition also the audition switched off.
    void ResetSourceColumn(bool stopAudition = true);
    // The assigned slot's labels, buttons and Play, as an assignment leaves them.
    void ShowAssigned(int slot);
    void SetButton(SwitchedButton button, bool on) { m_buttons.at(int(button)) = on; }

    IMessageBox& m_messages;
    CStyleDocument m_document;
    std::array<LabelState, kSlotCount> m_source;
    std::array<LabelState, kSlotCount> m_destination;
    std::array<LabelState, kSlotCount> m_assignment;
    std::string m_fileNameLabel;
    Colour m_auditionColour = colours::kAuditionPlain;
    bool m_playEnabled = false;
    std::array<bool, kSwitchedButtonCount> m_buttons{};
    int m_selectedModel = -1;
    int m_selectedSource = -1;
    AssignmentSlots m_slots;
    std::string m_sourceFileName;
    bool m_workEdited = false; // Properties or Voices changed since the last Clear
    std::string m_statusText;
    CUndoHistory<Snapshot> m_history;
    int m_stepDepth = 0;
};

} // namespace korvane
