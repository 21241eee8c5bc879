#pragma once

#include "style/Sff2Conversion.h"
#include "style/StyleProperties.h"
#include "style/StyleSection.h"
#include "style/StyleVoices.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// Everything held about the style files opened since the last Clear: the properties, the sections
// of the file opened last, the CSEG records of every file still referred to, and the
// assigned-sections list.
//
// Every section lives in m_sections until it is released. Which list keeps it alive follows the
// assignment: a section of the file opened last lives while it is in the section list; a section
// of an earlier file lives only while it holds a slot, and is released when it loses its last one.
class CStyleDocument {
public:
    CStyleDocument() = default;
    CStyleDocument(const CStyleDocument&) = delete;
    CStyleDocument& operator=(const CStyleDocument&) = delete;

    // --- properties -----------------------------------------------------------------------
    CStyleProperties* GetSourceProperties() { return m_pSourceProperties.get(); }
    const CStyleProperties* GetSourceProperties() const { return m_pSourceProperties.get(); }
    CStyleProperties* GetDestinationProperties() { return m_pDestinationProperties.get(); }
    const CStyleProperties* GetDestinationProperties() const {
        return m_pDestinationProperties.get();
    }
    // New empty source properties (Open, and the Properties dialog when none exist).
    CStyleProperties& ResetSourceProperties();
    // New empty destination properties (the Properties dialog when none exist).
    CStyleProperties& ResetDestinationProperties();
    // Creates the destination properties as a copy of the source properties when they are
    // missing; a document without source properties gets empty ones.
    CStyleProperties& EnsureDestinationProperties();
    void ReleaseSourceProperties() { m_pSourceProperties.reset(); }

    // --- the section list of the file opened last -----------------------------------------
    bool HasSectionList() const { return m_sectionList.has_value(); }
    // The sections in file order; empty when there is no section list.
    const std::vector<CStyleSection*>& GetSections() const;
    // Creates a section with that name and empty event bytes at the end of the section list
    // (which is created when missing).
    CStyleSection& AppendSection(const std::string& name);
    // The first section of the section list with exactly that name, or nullptr.
    CStyleSection* FindSection(const std::string& name) const;
    bool IsInSectionList(const CStyleSection* section) const;

    // --- CSEG records ----------------------------------------------------------------------
    bool HasCsegList() const { return m_csegList.has_value(); }
    // The records in the order read; empty when there is no CSEG list. The list is kept, not
    // built per call.
    const std::vector<const CCsegRecord*>& GetCsegs() const { return m_csegView; }
    // Appends a completed record (the CSEG list is created when missing) and returns it.
    CCsegRecord& AppendCseg(std::unique_ptr<CCsegRecord> record);

    // --- assignments -----------------------------------------------------------------------
    const std::vector<CStyleSection*>& GetAssignedSections() const { return m_assigned; }
    // AddDestination(slot) on the section and one more entry for it in the assigned list.
    void Assign(CStyleSection& section, std::uint32_t slot);
    // Takes the slot from the section that holds it and removes that section's first entry from
    // the assigned list; a section of an earlier file that holds no slot any more is released.
    // Returns false when no assigned section holds the slot.
    bool Unassign(std::uint32_t slot);
    // The assigned section whose destination list holds the slot, or nullptr.
    CStyleSection* FindHolder(std::uint32_t slot) const;

    // --- conversion of the file opened last ----------------------------------------------------
    // What reading an SFF2 style changed, or nullptr when the file opened last was read as it
    // stood.
    const CConversionReport* GetConversionReport() const {
        return m_conversionReport ? &*m_conversionReport : nullptr;
    }
    // An empty report for the file being read (the reader, at an "SFF2" marker).
    CConversionReport& StartConversionReport() { return m_conversionReport.emplace(); }

    // --- the voices and mixer values chosen for the style being built ------------------------
    // Written by every write of the work; Clear forgets them.
    const VoiceChanges& GetVoiceChanges() const { return m_voiceChanges; }
    void SetVoiceChanges(const VoiceChanges& changes) { m_voiceChanges = changes; }

    // --- life cycle ------------------------------------------------------------------------
    // Releases the unassigned sections of the section list and the CSEG records that no kept
    // section (of the section list or the assigned list) refers to.
    void PruneSourceSections();
    // What Open does before the reader runs: prune, a new empty section list (the assigned
    // sections left in the old one live on), the CSEG list created when missing, new empty
    // source properties.
    void StartNextFile();
    // Clear: releases every section, record and property; afterwards there is no document.
    void Release();

    // Sections alive in the document, each counted once (for tests of the lifetimes).
    std::size_t GetLiveSectionCount() const { return m_sections.size(); }

    // --- the work as it stood, for undo --------------------------------------------------------
    // Sections and records are shared with the document rather than copied: their names and
    // bytes never change once read, so a snapshot costs a few pointers and the properties, and
    // keeps alive what the document has since released.
    struct Snapshot {
        std::optional<CStyleProperties> sourceProperties;
        std::optional<CStyleProperties> destinationProperties;
        std::vector<std::shared_ptr<CStyleSection>> sections;
        std::vector<std::vector<std::uint32_t>> destinations; // of each of sections
        std::optional<std::vector<CStyleSection*>> sectionList;
        std::optional<std::vector<std::shared_ptr<CCsegRecord>>> csegList;
        std::vector<CStyleSection*> assigned;
        std::optional<CConversionReport> conversionReport;
        VoiceChanges voiceChanges;
        // The same work: properties, voices, sections and their slots; the conversion report
        // follows the sections.
        bool SameWork(const Snapshot& other) const;
    };
    Snapshot TakeSnapshot() const;
    void RestoreSnapshot(const Snapshot& snapshot);

private:
    void ReleaseSection(const CStyleSection* section);

    std::unique_ptr<CStyleProperties> m_pSourceProperties;
    std::unique_ptr<CStyleProperties> m_pDestinationProperties;
    // Every live section, owned once by the document; an undo snapshot may hold it too.
    std::vector<std::shared_ptr<CStyleSection>> m_sections;
    std::optional<std::vector<CStyleSection*>> m_sectionList;
    std::optional<std::vector<std::shared_ptr<CCsegRecord>>> m_csegList;
    std::vector<const CCsegRecord*> m_csegView; // the records of m_csegList, for readers
    std::vector<CStyleSection*> m_assigned;
    std::optional<CConversionReport> m_conversionReport;
    VoiceChanges m_voiceChanges;
};

} // namespace korvane
