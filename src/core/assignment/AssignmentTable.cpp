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

bool CAssignmentTable::ConfirmEnd() {
    return !HasAssignments() ||
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
    korvane::ApplyPlan(m_document, plan, m_slots);
    // The table looks as if the pairs had been clicked: the last step's source stays selected.
    if (m_selectedSource >= 0)
        m_source[m_selectedSource].textColour = colours::kSourcePlain;
    m_selectedSource = plan.steps.back().row;
    m_source[m_selectedSource].textColour = colours::kSourceSelected;
    for (const PlanStep& step : plan.steps)
        ShowAssigned(step.slot);
}

void CAssignmentTable::AssignByName() {
    ConversionPlan plan = PlanByName(m_document, GetShownLayout());
    // Slots assigned from earlier files keep their sections.
    std::erase_if(plan.steps, [&](const PlanStep& step) { return m_slots[step.slot].assigned; });
    ApplyPlan(plan);
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
    for (int row = 0; row < rows; ++row) {
        ClickSource(row);
        ClickDestination(row);
    }
}

bool CAssignmentTable::ColumnsMatch() const {
    for (int row = 0; row < kSlotCount; ++row) {
        if (m_source[row].caption != m_destination[row].caption)
            return false;
    }
    return true;
}

void CAssignmentTable::RequestModelChange(int modelIndex) {
    m_selectedModel = modelIndex;
    if (HasAssignments()) {
        // The selector keeps the new model; the next Clear shows its layout.
        m_messages.Show("You have made assignments. You should save or\nclear your work before "
                        "changing PSR models.",
                        "Alert", MessageIcon::None, MessageButtons::Ok);
    } else {
        ShowLayout();
    }
    SetButton(SwitchedButton::CopyAll, ColumnsMatch());
}

void CAssignmentTable::ShowLayout() {
    for (auto& label : m_destination)
        label = {"", colours::kDestinationPlain};
    const auto& names = ModelNames();
    const bool known = m_selectedModel >= 0 && m_selectedModel < int(names.size());
    const auto& layout = LayoutOfModel(known ? names[m_selectedModel] : std::string());
    for (std::size_t slot = 0; slot < layout.size() && slot < kSlotCount; ++slot)
        m_destination[slot].caption = layout[slot];
}

void CAssignmentTable::ResetSourceColumn() {
    for (auto& label : m_source)
        label = {"", colours::kSourcePlain};
    m_selectedSource = -1;
    m_auditionColour = colours::kAuditionPlain;
    m_playEnabled = false;
    if (onStopAudition)
        onStopAudition();
}

void CAssignmentTable::Clear() {
    ResetSourceColumn();
    ShowLayout();
    for (auto& label : m_assignment)
        label.caption.clear();
    m_slots = AssignmentSlots{};
    m_document.Release();
    m_selectedSource = -1;
    m_fileNameLabel.clear();
    m_buttons.fill(false);
}

void CAssignmentTable::PrepareForOpen(const std::string& fileName) {
    m_document.StartNextFile();
    m_sourceFileName = fileName;
    m_fileNameLabel = fileName;
}

void CAssignmentTable::DropFailedOpen() {
    ResetSourceColumn();
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
