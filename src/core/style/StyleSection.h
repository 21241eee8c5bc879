#pragma once

#include "style/ByteTypes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

class CCsegRecord;
struct FileSetup;

// The marker text buffer holds 63 bytes and its terminator; longer marker texts are cut.
constexpr std::size_t kMaxSectionNameLength = 63;

// The most sections a file may have. A keyboard's style has a few dozen; each section costs a few
// hundred bytes however few bytes it has in the file, so without a bound a file of tiny
// sections would take many times its size in memory.
constexpr std::size_t kMaxSections = std::size_t(1) << 17;

// One source section: the stretch of the track between its marker event and the next marker or
// the end of the track, kept as raw bytes and never decoded.
class CStyleSection {
public:
    CStyleSection();
    virtual ~CStyleSection() = default;
    CStyleSection(const CStyleSection&) = delete;
    CStyleSection& operator=(const CStyleSection&) = delete;

    std::string GetName() const { return m_name; }
    // A number no other section of this run has, so that what is kept about a section (its
    // picture) is never taken for another's that lives at the same address later.
    std::uint64_t GetSerial() const { return m_serial; }
    void SetName(const std::string& name) { m_name = name; }

    // Creates the empty event bytes: 0, or -1 when they exist already (they are left alone).
    int CreateData();
    const ByteArray* GetData() const { return m_pData ? &*m_pData : nullptr; }
    std::size_t GetDataLength() const { return m_pData ? m_pData->size() : 0; }
    // Makes room for capacity event bytes in all (the reader grows a section within its file).
    void ReserveData(std::size_t capacity);
    // Appends one event byte and returns its index; CreateData must have run.
    std::size_t AppendByte(std::uint8_t byte);
    // Appends count event bytes at once.
    void AppendBytes(const std::uint8_t* bytes, std::size_t count);

    // The set-up of the file the section was read from (its "SInt"), shared by that file's
    // sections, so that a section kept from an earlier file still knows its voices; nullptr when
    // the section was not read from a file.
    const FileSetup* GetFileSetup() const { return m_pFileSetup.get(); }
    void SetFileSetup(std::shared_ptr<const FileSetup> setup) { m_pFileSetup = std::move(setup); }

    CCsegRecord* GetSegment() const { return m_pSegment; }
    void SetSegment(CCsegRecord* segment) { m_pSegment = segment; }

    void AddDestination(std::uint32_t slot) { m_pDestinations.push_back(slot); }
    void RemoveDestination(std::uint32_t slot);
    int HasDestination(std::uint32_t slot) const;
    int IsAssigned() const { return m_pDestinations.empty() ? 0 : 1; }
    const std::vector<std::uint32_t>& GetDestinations() const { return m_pDestinations; }

private:
    std::uint64_t m_serial;
    std::string m_name;
    std::optional<ByteArray> m_pData;
    CCsegRecord* m_pSegment = nullptr; // not owned: the document's CSEG list owns the records
    std::vector<std::uint32_t> m_pDestinations;
    std::shared_ptr<const FileSetup> m_pFileSetup;
};

// One CSEG chunk of the CASM chunk: its Ctab chunks as read, tags and lengths included. The reader
// resolves the Sdec text into the sections' CSEG references and the writer builds a new one; the
// text as read is kept only to be shown.
class CCsegRecord {
public:
    CCsegRecord() = default;
    virtual ~CCsegRecord() = default;
    CCsegRecord(const CCsegRecord&) = delete;
    CCsegRecord& operator=(const CCsegRecord&) = delete;

    void AppendByte(std::uint8_t byte);
    // Four bytes, most significant first; nothing while there are no Ctab bytes yet.
    void AppendLength(std::uint32_t value);
    const ByteArray* GetCtab() const { return m_pCtab ? &*m_pCtab : nullptr; }
    std::size_t GetCtabLength() const { return m_pCtab ? m_pCtab->size() : 0; }

    const std::string& GetSdecText() const { return m_sdecText; }
    void SetSdecText(const std::string& text) { m_sdecText = text; }

private:
    std::optional<ByteArray> m_pCtab;
    std::string m_sdecText;
};

} // namespace korvane
