#include "assignment/AssignmentTable.h"

#include "assignment/ModelCatalogue.h"

#include <algorithm>

namespace korvane {
namespace {

const char* const kOpenFirst =
    "You must open a style file first\nso that you have something to copy.";

} // namespace

CAssignmentTable::CAssignmentTable(IMessageBox& messages) : m_messages(messages) {
    for (int row = 0; row < kSlotCount; ++row) {
        m_source[row] = {"", colours::kSourcePlain};
        m_destination[row] = {"", colours::kDestinationPlain};
        m_assignment[row] = {"", colours::kAssignmentText};
    }
}

bool CAssignmentTable::HasAssignments() const {
    return std::any_of(m_slots.begin(), m_slots.end(), [](const auto& s) { return s.assigned; });
}

bool CAssignmentTable::HasUnsavedWork() const {
    return HasAssignments() || m_workEdited;
}

bool CAssignmentTable::ConfirmEnd() {
    return !HasUnsavedWork() ||
           m_messages.Show("Discard the assignments made so far?", "Alert...",
                           MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
}

void CAssignmentTable::AssignPair(int sourceRow, int slot) {
    if (m_selectedSource != sourceRow)
        ClickSource(sourceRow);
    ClickDestination(slot);
}

SectionLayout CAssignmentTable::GetShownLayout() const {
    SectionLayout layout;
    for (const LabelState& label : m_destination)
        layout.push_back(label.caption);
    return layout;
}

void CAssignmentTable::ApplyPlan(const ConversionPlan& plan) {
    if (plan.steps.empty())
        return;
    AsOneStep([&] {
        korvane::ApplyPlan(m_document, plan, m_slots);
        // The table looks as if the pairs had been clicked: the last step's source stays selected.
        if (m_selectedSource >= 0)
            m_source[m_selectedSource].textColour = colours::kSourcePlain;
        m_selectedSource = plan.steps.back().row;
        m_source[m_selectedSource].textColour = colours::kSourceSelected;
        for (const PlanStep& step : plan.steps)
            ShowAssigned(step.slot);
    });
}

void CAssignmentTable::AssignByName() {
    ConversionPlan plan = PlanByName(m_document, GetShownLayout());
    // Slots assigned from earlier files keep their sections.
    std::erase_if(plan.steps, [&](const PlanStep& step) { return m_slots[step.slot].assigned; });
    ApplyPlan(plan);
}

CAssignmentTable::Snapshot CAssignmentTable::TakeSnapshot() const {
    return {m_document.TakeSnapshot(),
            m_source,
            m_destination,
            m_assignment,
            m_fileNameLabel,
            m_auditionColour,
            m_playEnabled,
            m_buttons,
            m_selectedModel,
            m_selectedSource,
            m_slots,
            m_sourceFileName,
            m_workEdited};
}

void CAssignmentTable::RestoreSnapshot(Snapshot snapshot) {
    m_document.RestoreSnapshot(snapshot.document);
    m_source = snapshot.source;
    m_destination = snapshot.destination;
    m_assignment = snapshot.assignment;
    m_fileNameLabel = snapshot.fileNameLabel;
    m_auditionColour = snapshot.auditionColour;
    m_buttons = snapshot.buttons;
    m_selectedModel = snapshot.selectedModel;
    m_selectedSource = snapshot.selectedSource;
    m_slots = snapshot.slots;
    m_sourceFileName = snapshot.sourceFileName;
    m_workEdited = snapshot.workEdited;
    // What plays was written from the work before; a work that can no longer play stops it.
    m_playEnabled = snapshot.playEnabled;
    if (!m_playEnabled && onStopAudition)
        onStopAudition();
}

template <typename Change> void CAssignmentTable::AsOneStep(Change&& change) {
    if (m_stepDepth > 0) {
        change();
        return;
    }
    Snapshot before = TakeSnapshot();
    ++m_stepDepth;
    try {
        change();
    } catch (...) {
        --m_stepDepth;
        throw;
    }
    --m_stepDepth;
    const bool changed = !before.document.SameWork(m_document.TakeSnapshot()) ||
                         before.slots != m_slots || before.workEdited != m_workEdited;
    if (changed)
        m_history.Record(std::move(before));
}

void CAssignmentTable::Undo() {
    if (CanUndo())
        RestoreSnapshot(m_history.Undo(TakeSnapshot()));
}

void CAssignmentTable::Redo() {
    if (CanRedo())
        RestoreSnapshot(m_history.Redo(TakeSnapshot()));
}

CAssignmentTable::PropertiesRefusal CAssignmentTable::ApplyProperties(const PropertiesForm& shown,
                                                                      const PropertiesForm& typed) {
    bool applied = false;
    AsOneStep([&] {
        const CStyleDocument::Snapshot before = m_document.TakeSnapshot();
        applied = ApplyPropertiesForm(m_document, shown, typed, m_messages);
        if (!before.SameWork(m_document.TakeSnapshot()))
            m_workEdited = true;
    });
    if (applied)
        return PropertiesRefusal::None;
    // The source column is checked first, as the form is applied.
    const bool sourceRefused = typed.source.tempo != shown.source.tempo &&
                               !typed.source.tempo.empty() &&
                               !CStyleProperties::IsStorableTempoText(typed.source.tempo);
    return sourceRefused ? PropertiesRefusal::SourceTempo : PropertiesRefusal::DestinationTempo;
}

void CAssignmentTable::ApplyVoiceChanges(const VoiceChanges& changes) {
    AsOneStep([&] {
        if (changes == m_document.GetVoiceChanges())
            return;
        m_document.SetVoiceChanges(changes);
        m_workEdited = true;
    });
}

void CAssignmentTable::FinishSave(const std::string& path) {
    int sections = 0;
    for (const AssignmentSlot& slot : m_slots)
        sections += slot.assigned ? 1 : 0;
    const std::string model = SelectedModelName();
    m_statusText = "Saved " + path + " (" + std::to_string(sections) +
                   (sections == 1 ? " section" : " sections") +
                   (model.empty() ? std::string() : " for " + model) + ")";
    ClearWork();
    m_history.Forget();
}

void CAssignmentTable::ReportOpened(const std::string& path) {
    const std::size_t sections = m_document.GetSections().size();
    m_statusText = "Opened " + path + " (" + std::to_string(sections) +
                   (sections == 1 ? " section)" : " sections)");
}

void CAssignmentTable::SelectModel(int modelIndex) {
    m_selectedModel = modelIndex;
}

void CAssignmentTable::ClickSource(int row) {
    if (m_source.at(row).caption.empty()) {
        m_messages.Show("Cannot select an empty Section.", "Sorry...", MessageIcon::None,
                        MessageButtons::Ok);
        return;
    }
    if (row == m_selectedSource) {
        // A second click deselects.
        m_source[row].textColour = colours::kSourcePlain;
        m_selectedSource = -1;
        return;
    }
    if (m_selectedSource >= 0)
        m_source[m_selectedSource].textColour = colours::kSourcePlain;
    m_source[row].textColour = colours::kSourceSelected;
    m_selectedSource = row;
}

void CAssignmentTable::ClickDestination(int slot) {
    AsOneStep([&] { ClickDestinationStep(slot); });
}

void CAssignmentTable::ClickDestinationStep(int slot) {
    if (!m_document.HasSectionList()) {
        m_messages.Show(kOpenFirst, "Alert...", MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    if (m_slots.at(slot).assigned) {
        Unassign(slot);
    } else if (m_selectedSource >= 0) {
        m_destination[slot].textColour = colours::kDestinationHighlighted;
    } else {
        m_messages.Show("No input section selected.", "Alert...", MessageIcon::Exclamation,
                        MessageButtons::Ok);
    }
    // Without a selected source a click on an assigned slot only frees it.
    if (m_selectedSource < 0)
        return;

    const std::string sourceName = m_source[m_selectedSource].caption;
    const std::string destinationName = m_destination[slot].caption;
    if (destinationName.empty() || sourceName.empty())
        return; // a row past the end of the model's layout
    CStyleSection* section = m_document.FindSection(sourceName);
    if (!section) {
        m_messages.Show("Unable to find assignment.", "Error", MessageIcon::Exclamation,
                        MessageButtons::Ok);
        return;
    }

    m_document.Assign(*section, std::uint32_t(slot));
    m_slots[slot] = {true, sourceName, destinationName};
    m_document.EnsureDestinationProperties();
    ShowAssigned(slot);
}

void CAssignmentTable::ShowAssigned(int slot) {
    m_destination[slot].textColour = colours::kDestinationHighlighted;
    m_playEnabled = true;
    m_auditionColour = colours::kAuditionHighlighted;
    m_assignment[slot].caption = m_sourceFileName + " " + m_slots[slot].sourceName;
    SetButton(SwitchedButton::StorePattern, true);
    SetButton(SwitchedButton::Save, true);
    SetButton(SwitchedButton::Clear, true);
}

void CAssignmentTable::Unassign(int slot) {
    m_document.Unassign(std::uint32_t(slot));
    m_slots.at(slot) = AssignmentSlot{};
    m_destination[slot].textColour = colours::kDestinationPlain;
    m_assignment[slot].caption.clear();
}

void CAssignmentTable::CopyAll() {
    if (!m_document.HasSectionList()) {
        m_messages.Show(kOpenFirst, "Sorry...", MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    const int rows = std::min<int>(kSlotCount, int(m_document.GetSections().size()));
    AsOneStep([&] {
        for (int row = 0; row < rows; ++row) {
            ClickSource(row);
            ClickDestination(row);
        }
    });
}

bool CAssignmentTable::ColumnsMatch() const {
    for (int row = 0; row < kSlotCount; ++row) {
        if (m_source[row].caption != m_destination[row].caption)
            return false;
    }
    return true;
}

void CAssignmentTable::RequestModelChange(int modelIndex) {
    if (modelIndex == m_selectedModel)
        return;
    if (HasAssignments()) {
        // The selector goes back to the model whose layout the slots hold.
        m_messages.Show("You have made assignments. You should save or\nclear your work before "
                        "changing PSR models.",
                        "Alert", MessageIcon::None, MessageButtons::Ok);
    } else {
        m_selectedModel = modelIndex;
        ShowLayout();
    }
    SetButton(SwitchedButton::CopyAll, ColumnsMatch());
}

std::string CAssignmentTable::SelectedModelName() const {
    const auto& names = ModelNames();
    return m_selectedModel >= 0 && m_selectedModel < int(names.size())
               ? names[std::size_t(m_selectedModel)]
               : std::string();
}

void CAssignmentTable::ShowLayout() {
    for (auto& label : m_destination)
        label = {"", colours::kDestinationPlain};
    const auto& layout = LayoutOfModel(SelectedModelName());
    for (std::size_t slot = 0; slot < layout.size() && slot < kSlotCount; ++slot)
        m_destination[slot].caption = layout[slot];
}

void CAssignmentTable::ResetSourceColumn(bool stopAudition) {
    for (auto& label : m_source)
        label = {"", colours::kSourcePlain};
    m_selectedSource = -1;
    if (!stopAudition)
        return;
    m_auditionColour = colours::kAuditionPlain;
    m_playEnabled = false;
    if (onStopAudition)
        onStopAudition();
}

void CAssignmentTable::Clear() {
    AsOneStep([&] { ClearWork(); });
}

void CAssignmentTable::ClearWork() {
    ResetSourceColumn();
    ShowLayout();
    for (auto& label : m_assignment)
        label.caption.clear();
    m_slots = AssignmentSlots{};
    m_document.Release();
    m_selectedSource = -1;
    m_fileNameLabel.clear();
    m_buttons.fill(false);
    m_workEdited = false;
}

void CAssignmentTable::PrepareForOpen(const std::string& fileName) {
    m_history.Forget();
    m_document.StartNextFile();
    m_sourceFileName = fileName;
    m_fileNameLabel = fileName;
}

void CAssignmentTable::DropFailedOpen() {
    // The assignments of earlier files stay, and so does their audition.
    ResetSourceColumn(false);
    m_fileNameLabel.clear();
    m_document.PruneSourceSections();
    SetButton(SwitchedButton::CopyAll, false);
}

void CAssignmentTable::ShowOpenedSections() {
    ResetSourceColumn();
    const auto& sections = m_document.GetSections();
    for (std::size_t row = 0; row < sections.size() && row < kSlotCount; ++row)
        m_source[row].caption = sections[row]->GetName();
    m_selectedSource = -1;
    SetButton(SwitchedButton::Clear, true);
    SetButton(SwitchedButton::CopyAll, ColumnsMatch());
    SetButton(SwitchedButton::Properties, true);
    SetButton(SwitchedButton::Voices, true);
}

} // namespace korvane
