#include "style/StyleDocument.h"

#include <algorithm>
#include <unordered_set>

namespace korvane {

CStyleProperties& CStyleDocument::ResetSourceProperties() {
    m_pSourceProperties = std::make_unique<CStyleProperties>();
    return *m_pSourceProperties;
}

CStyleProperties& CStyleDocument::ResetDestinationProperties() {
    m_pDestinationProperties = std::make_unique<CStyleProperties>();
    return *m_pDestinationProperties;
}

CStyleProperties& CStyleDocument::EnsureDestinationProperties() {
    if (!m_pDestinationProperties) {
        m_pDestinationProperties = m_pSourceProperties
                                       ? std::make_unique<CStyleProperties>(*m_pSourceProperties)
                                       : std::make_unique<CStyleProperties>();
    }
    return *m_pDestinationProperties;
}

const std::vector<CStyleSection*>& CStyleDocument::GetSections() const {
    static const std::vector<CStyleSection*> kNone;
    return m_sectionList ? *m_sectionList : kNone;
}

CStyleSection& CStyleDocument::AppendSection(const std::string& name) {
    auto section = std::make_shared<CStyleSection>();
    section->SetName(name);
    section->CreateData();
    CStyleSection& added = *section;
    m_sections.push_back(std::move(section));
    if (!m_sectionList)
        m_sectionList.emplace();
    m_sectionList->push_back(&added);
    return added;
}

CStyleSection* CStyleDocument::FindSection(const std::string& name) const {
    for (CStyleSection* section : GetSections()) {
        if (section->GetName() == name)
            return section;
    }
    return nullptr;
}

bool CStyleDocument::IsInSectionList(const CStyleSection* section) const {
    const auto& sections = GetSections();
    return std::find(sections.begin(), sections.end(), section) != sections.end();
}

CCsegRecord& CStyleDocument::AppendCseg(std::unique_ptr<CCsegRecord> record) {
    if (!m_csegList)
        m_csegList.emplace();
    m_csegList->push_back(std::move(record));
    m_csegView.push_back(m_csegList->back().get());
    return *m_csegList->back();
}

void CStyleDocument::Assign(CStyleSection& section, std::uint32_t slot) {
    section.AddDestination(slot);
    m_assigned.push_back(&section);
}

CStyleSection* CStyleDocument::FindHolder(std::uint32_t slot) const {
    for (CStyleSection* section : m_assigned) {
        if (section->HasDestination(slot))
            return section;
    }
    return nullptr;
}

bool CStyleDocument::Unassign(std::uint32_t slot) {
    CStyleSection* holder = FindHolder(slot);
    if (!holder)
        return false;
    holder->RemoveDestination(slot);
    m_assigned.erase(std::find(m_assigned.begin(), m_assigned.end(), holder));
    // A section of an earlier file lives only through its assignments.
    if (!holder->IsAssigned() && !IsInSectionList(holder))
        ReleaseSection(holder);
    return true;
}

void CStyleDocument::PruneSourceSections() {
    if (!m_sectionList || m_sectionList->empty())
        return;
    // One pass over each list, so that a file of many sections is pruned in linear time.
    std::vector<CStyleSection*> kept;
    std::unordered_set<const CStyleSection*> released;
    for (CStyleSection* section : *m_sectionList) {
        if (section->IsAssigned())
            kept.push_back(section);
        else
            released.insert(section);
    }
    std::erase_if(m_sections, [&](const auto& owned) { return released.count(owned.get()) > 0; });
    *m_sectionList = std::move(kept);

    if (!m_csegList)
        return;
    std::unordered_set<const CCsegRecord*> referred;
    for (const CStyleSection* section : *m_sectionList)
        referred.insert(section->GetSegment());
    for (const CStyleSection* section : m_assigned)
        referred.insert(section->GetSegment());
    std::erase_if(*m_csegList, [&](const auto& record) { return !referred.count(record.get()); });
    std::erase_if(m_csegView, [&](const CCsegRecord* record) { return !referred.count(record); });
}

void CStyleDocument::StartNextFile() {
    PruneSourceSections();
    m_sectionList.emplace();
    if (!m_csegList)
        m_csegList.emplace();
    ResetSourceProperties();
    m_conversionReport.reset();
}

void CStyleDocument::Release() {
    m_assigned.clear();
    m_sectionList.reset();
    m_sections.clear();
    m_csegList.reset();
    m_csegView.clear();
    m_pSourceProperties.reset();
    m_pDestinationProperties.reset();
    m_conversionReport.reset();
    m_voiceChanges = {};
}

bool CStyleDocument::Snapshot::SameWork(const Snapshot& other) const {
    return sourceProperties == other.sourceProperties &&
           destinationProperties == other.destinationProperties && sections == other.sections &&
           destinations == other.destinations && sectionList == other.sectionList &&
           csegList == other.csegList && assigned == other.assigned &&
           voiceChanges == other.voiceChanges;
}

CStyleDocument::Snapshot CStyleDocument::TakeSnapshot() const {
    Snapshot snapshot;
    if (m_pSourceProperties)
        snapshot.sourceProperties = *m_pSourceProperties;
    if (m_pDestinationProperties)
        snapshot.destinationProperties = *m_pDestinationProperties;
    snapshot.sections = m_sections;
    for (const auto& section : m_sections)
        snapshot.destinations.push_back(section->GetDestinations());
    snapshot.sectionList = m_sectionList;
    snapshot.csegList = m_csegList;
    snapshot.assigned = m_assigned;
    snapshot.conversionReport = m_conversionReport;
    snapshot.voiceChanges = m_voiceChanges;
    return snapshot;
}

void CStyleDocument::RestoreSnapshot(const Snapshot& snapshot) {
    auto restore = [](const std::optional<CStyleProperties>& from) {
        return from ? std::make_unique<CStyleProperties>(*from) : nullptr;
    };
    m_pSourceProperties = restore(snapshot.sourceProperties);
    m_pDestinationProperties = restore(snapshot.destinationProperties);
    m_sections = snapshot.sections;
    for (std::size_t i = 0; i < m_sections.size(); ++i) {
        CStyleSection& section = *m_sections[i];
        while (section.IsAssigned())
            section.RemoveDestination(section.GetDestinations().front());
        for (std::uint32_t slot : snapshot.destinations[i])
            section.AddDestination(slot);
    }
    m_sectionList = snapshot.sectionList;
    m_csegList = snapshot.csegList;
    m_csegView.clear();
    if (m_csegList) {
        for (const auto& record : *m_csegList)
            m_csegView.push_back(record.get());
    }
    m_assigned = snapshot.assigned;
    m_conversionReport = snapshot.conversionReport;
    m_voiceChanges = snapshot.voiceChanges;
}

void CStyleDocument::ReleaseSection(const CStyleSection* section) {
    std::erase_if(m_sections, [section](const auto& owned) { return owned.get() == section; });
}

} // namespace korvane
