#include "style/StyleWriter.h"

#include "platform/AtomicFile.h"
#include "platform/Console.h"
#include "platform/ErrorCode.h"
#include "platform/Paths.h"
#include "style/Resolution.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>

namespace korvane {
namespace {

// A meta event's length is one byte: longer texts are written cut to 255 bytes so that the
// length byte always tells the truth.
std::string EventText(const std::string& text) {
    return text.substr(0, 255);
}

class CByteOutput {
public:
    explicit CByteOutput(ByteArray& bytes) : m_bytes(bytes) {}

    void Tag(const char* tag) {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(static_cast<std::uint8_t>(tag[i]));
    }
    void Value32(std::uint32_t value) { AppendBigEndian(m_bytes, value, 4); }
    void Value16(std::uint16_t value) { AppendBigEndian(m_bytes, value, 2); }
    void Byte(std::uint8_t byte) { m_bytes.push_back(byte); }
    void Run(const ByteArray& run) { m_bytes.insert(m_bytes.end(), run.begin(), run.end()); }
    void Text(const std::string& text) { m_bytes.insert(m_bytes.end(), text.begin(), text.end()); }

private:
    ByteArray& m_bytes;
};

// The header events, each followed by the 00 delta-time of whatever comes next in the track.
class CHeaderBlock {
public:
    void TextEvent(std::uint8_t type, const std::string& text) {
        const std::string cut = EventText(text);
        m_out.Byte(0xFF);
        m_out.Byte(type);
        m_out.Byte(static_cast<std::uint8_t>(cut.size()));
        m_out.Text(cut);
        m_out.Byte(0x00);
    }
    void OneByteEvent(std::uint8_t type, std::uint8_t value) {
        for (std::uint8_t b :
             {std::uint8_t(0xFF), type, std::uint8_t(0x01), value, std::uint8_t(0)})
            m_out.Byte(b);
    }
    // FF, type, length and that many data bytes; the byte the tempo keeps after its data is not
    // part of the event.
    void StoredEvent(const ByteArray* event) {
        if (!event || event->size() < 3)
            return;
        const std::size_t available = event->size() - 3;
        const std::size_t length = std::min<std::size_t>((*event)[2], available);
        m_out.Byte((*event)[0]);
        m_out.Byte((*event)[1]);
        m_out.Byte(static_cast<std::uint8_t>(length));
        m_out.Run(ByteArray(event->begin() + 3, event->begin() + 3 + std::ptrdiff_t(length)));
        m_out.Byte(0x00);
    }
    // The run ends with the delta-time that followed it in its own file; ours is 00.
    void SysexRun(const ByteArray* run) {
        if (!run || run->empty())
            return;
        m_out.Run(ByteArray(run->begin(), run->end() - 1));
        m_out.Byte(0x00);
    }
    const ByteArray& Bytes() const { return m_bytes; }

private:
    ByteArray m_bytes;
    CByteOutput m_out{m_bytes};
};

ByteArray BuildHeaderBlock(const CStyleProperties& p) {
    CHeaderBlock block;
    block.StoredEvent(p.GetTimeSignature());
    block.StoredEvent(p.GetTempo());
    if (!p.GetCopyright().empty())
        block.TextEvent(0x02, p.GetCopyright());
    block.TextEvent(0x06, "SFF1");
    if (!p.GetSequenceName().empty())
        block.TextEvent(0x03, p.GetSequenceName());
    block.SysexRun(p.GetSysex());
    if (!p.GetInstrumentName().empty())
        block.TextEvent(0x04, p.GetInstrumentName());
    if (!p.GetLyric().empty())
        block.TextEvent(0x05, p.GetLyric());
    if (!p.GetCuePoint().empty())
        block.TextEvent(0x07, p.GetCuePoint());
    if (p.m_channelPrefix != 0)
        block.OneByteEvent(0x20, p.m_channelPrefix);
    if (p.m_port != 0)
        block.OneByteEvent(0x21, p.m_port);
    block.StoredEvent(p.GetSmpteOffset());
    block.StoredEvent(p.GetKeySignature());
    return block.Bytes();
}

// The slots written from one section: those its destination list names first, in the order they
// were assigned, then any the section serves by name alone.
std::vector<int> SlotsWrittenFrom(const SlotSections& written, const CStyleSection* section) {
    std::vector<int> slots;
    for (std::uint32_t d : section->GetDestinations()) {
        if (d < kSlotCount && written[d] == section)
            slots.push_back(int(d));
    }
    for (int d = 0; d < kSlotCount; ++d) {
        if (written[std::size_t(d)] == section &&
            std::find(slots.begin(), slots.end(), d) == slots.end())
            slots.push_back(d);
    }
    return slots;
}

// The new section list of one CSEG record: every destination name written from a section that
// refers to the record, once each, in the order of assignment, joined by single commas.
std::string BuildSdecText(const StyleWriteInput& input, const SlotSections& written,
                          const CCsegRecord* record) {
    std::string text;
    std::vector<const CStyleSection*> seen;
    for (const CStyleSection* section : input.assignedSections) {
        if (section->GetSegment() != record ||
            std::find(seen.begin(), seen.end(), section) != seen.end())
            continue;
        seen.push_back(section);
        for (int slot : SlotsWrittenFrom(written, section)) {
            if (!text.empty())
                text += ',';
            text += EventText(input.slots[slot].destinationName);
        }
    }
    return text;
}

} // namespace

const CStyleSection* FindSlotSection(const StyleWriteInput& input, int slot) {
    const AssignmentSlot& s = input.slots.at(slot);
    if (!s.assigned || s.sourceName.empty())
        return nullptr;
    for (const CStyleSection* section : input.assignedSections) {
        if (section->HasDestination(std::uint32_t(slot)))
            return section;
    }
    for (const CStyleSection* section : input.assignedSections) {
        if (section->GetName() == s.sourceName)
            return section;
    }
    return nullptr;
}

SlotSections FindSlotSections(const StyleWriteInput& input) {
    SlotSections written{};
    for (int slot = 0; slot < kSlotCount; ++slot)
        written[std::size_t(slot)] = FindSlotSection(input, slot);
    return written;
}

std::vector<WrittenSection> WrittenSections(const StyleWriteInput& input) {
    const SlotSections written = FindSlotSections(input);
    std::vector<WrittenSection> sections;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const CStyleSection* section = written[std::size_t(slot)];
        if (!section)
            continue;
        const ByteArray* data = section->GetData();
        sections.push_back({slot, input.slots[slot].destinationName,
                            data ? ByteSpan(*data) : ByteSpan(), RoutingOf(section->GetSegment())});
    }
    return sections;
}

namespace {

// The event bytes of every written slot, with the voice changes written in when there are any.
std::array<ByteArray, kSlotCount> ChangedSlotBytes(const StyleWriteInput& input) {
    std::array<ByteArray, kSlotCount> bytes;
    const std::vector<WrittenSection> sections = WrittenSections(input);
    std::vector<ByteArray> changed = ApplyVoiceChanges(sections, *input.voiceChanges);
    for (std::size_t i = 0; i < sections.size(); ++i)
        bytes[std::size_t(sections[i].slot)] = std::move(changed[i]);
    return bytes;
}

bool HasVoiceChanges(const StyleWriteInput& input) {
    return input.voiceChanges && !input.voiceChanges->IsEmpty();
}

std::size_t SectionTotal(const StyleWriteInput& input, const SlotSections& written,
                         const std::array<ByteArray, kSlotCount>* changed) {
    std::size_t total = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (const CStyleSection* section = written[std::size_t(slot)])
            total += 3 + EventText(input.slots[slot].destinationName).size() +
                     (changed ? (*changed)[std::size_t(slot)].size() : section->GetDataLength());
    }
    return total;
}

} // namespace

std::size_t SectionTotal(const StyleWriteInput& input) {
    const SlotSections written = FindSlotSections(input);
    if (!HasVoiceChanges(input))
        return SectionTotal(input, written, nullptr);
    const auto changed = ChangedSlotBytes(input);
    return SectionTotal(input, written, &changed);
}

ByteArray BuildStyleBytes(const StyleWriteInput& input) {
    const CStyleProperties& p = input.properties;
    const ByteArray header = BuildHeaderBlock(p);
    const SlotSections written = FindSlotSections(input);
    std::optional<std::array<ByteArray, kSlotCount>> changed;
    if (HasVoiceChanges(input))
        changed = ChangedSlotBytes(input);
    const std::size_t trackLength =
        1 + header.size() + SectionTotal(input, written, changed ? &*changed : nullptr) + 3;
    std::vector<std::string> sdecTexts;
    sdecTexts.reserve(input.csegs.size());
    std::size_t casmLength = 0;
    for (const CCsegRecord* record : input.csegs) {
        sdecTexts.push_back(BuildSdecText(input, written, record));
        if (!sdecTexts.back().empty())
            casmLength += 16 + sdecTexts.back().size() + record->GetCtabLength();
    }

    // Every length is known before the first byte: the file is built in one array of its size.
    ByteArray bytes;
    bytes.reserve(14 + 8 + trackLength + 8 + casmLength);
    CByteOutput out(bytes);
    out.Tag("MThd");
    out.Value32(6);
    out.Value16(p.m_format);
    out.Value16(p.m_trackCount);
    out.Value16(p.m_division);
    out.Tag("MTrk");
    out.Value32(static_cast<std::uint32_t>(trackLength));
    out.Byte(0x00);
    out.Run(header);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const CStyleSection* section = written[std::size_t(slot)];
        if (!section)
            continue;
        const std::string name = EventText(input.slots[slot].destinationName);
        out.Byte(0xFF);
        out.Byte(0x06);
        out.Byte(static_cast<std::uint8_t>(name.size()));
        out.Text(name);
        if (changed)
            out.Run((*changed)[std::size_t(slot)]);
        else if (const ByteArray* data = section->GetData())
            out.Run(*data);
    }
    for (std::uint8_t b : {0xFF, 0x2F, 0x00})
        out.Byte(b);

    out.Tag("CASM");
    out.Value32(static_cast<std::uint32_t>(casmLength));
    for (std::size_t i = 0; i < input.csegs.size(); ++i) {
        const std::string& sdec = sdecTexts[i];
        if (sdec.empty())
            continue; // a record no written section uses
        const CCsegRecord* record = input.csegs[i];
        out.Tag("CSEG");
        out.Value32(static_cast<std::uint32_t>(8 + sdec.size() + record->GetCtabLength()));
        out.Tag("Sdec");
        out.Value32(static_cast<std::uint32_t>(sdec.size()));
        out.Text(sdec);
        if (const ByteArray* ctab = record->GetCtab())
            out.Run(*ctab);
    }
    return bytes;
}

Outcome BuildStyleFile(const StyleWriteInput& input, const std::string& path, ByteArray& bytes) {
    if (SectionTotal(input) == 0)
        return MakeOutcome(Failure::NothingAssigned, path);
    try {
        bytes = BuildStyleBytes(input);
    } catch (const std::bad_alloc&) {
        // The new file did not fit in memory: nothing was written.
        return MakeOutcome(Failure::OutOfMemoryWriting, path);
    }
    if (input.resolution != 0 && input.resolution != input.properties.m_division) {
        const ResolutionChange change = ChangeResolution(bytes, input.resolution);
        if (!change.changed) {
            Outcome outcome = MakeOutcome(Failure::ResolutionUnchangeable, path);
            outcome.reason = change.failure;
            outcome.resolution = input.resolution;
            return outcome;
        }
    }
    return {};
}

Outcome WriteStyleBytes(const std::string& path, const ByteArray& bytes,
                        const StyleWriteOptions& options) {
    if (options.toStandardOutput) {
        if (const WriteFailure failure = WriteToStandardOutput(bytes))
            return MakeOutcome(Failure::StandardOutputFailed, "standard output", failure.errorCode);
        return {};
    }
    if (Outcome refused = OutputNameOutcome(path))
        return refused;
    AtomicWriteOptions atomic;
    atomic.replaceExisting = options.existing == ExistingFile::Replace;
    return WriteOutcome(path, options.group ? options.group->Add(path, bytes, atomic)
                                            : WriteFileAtomically(path, bytes, atomic));
}

Outcome OutputNameOutcome(const std::string& path) {
    switch (OutputNameProblem(path)) {
    case FileNameProblem::None:
        break;
    case FileNameProblem::ReservedDeviceName:
        return MakeOutcome(Failure::ReservedDeviceName, path);
    case FileNameProblem::TrailingDotOrBlank:
        return MakeOutcome(Failure::NameEndsInDotOrBlank, path);
    }
    return {};
}

StyleWriteInput DocumentWriteInput(const CStyleDocument& document, const AssignmentSlots& slots,
                                   std::vector<const CCsegRecord*>& csegs,
                                   std::uint16_t resolution) {
    static const CStyleProperties kEmpty;
    const CStyleProperties* properties = document.GetDestinationProperties();
    if (!properties)
        properties = document.GetSourceProperties() ? document.GetSourceProperties() : &kEmpty;
    csegs = document.GetCsegs();
    StyleWriteInput input{*properties, slots, document.GetAssignedSections(), csegs};
    input.resolution = resolution;
    input.voiceChanges = &document.GetVoiceChanges();
    return input;
}

} // namespace korvane
