#include "style/StyleReader.h"

#include "platform/ErrorCode.h"
#include "platform/Paths.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace korvane {
namespace {

using Tag = std::array<std::uint8_t, 4>;

bool IsTag(const Tag& tag, const char* name) {
    return std::memcmp(tag.data(), name, 4) == 0;
}

// The file's bytes, front to back, one at a time. Past the end every byte reads as FF, which is
// what ends most of the format's loops; AtEnd tells the loops that FF alone cannot end.
class CByteInput {
public:
    explicit CByteInput(const ByteArray& bytes) : m_bytes(bytes) {}

    std::uint8_t ReadByte() {
        if (m_position == m_bytes.size()) {
            m_atEnd = true;
            return 0xFF;
        }
        return m_bytes[m_position++];
    }
    std::uint16_t Read16() {
        const unsigned high = ReadByte();
        return static_cast<std::uint16_t>((high << 8) | ReadByte());
    }
    std::uint32_t Read32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | ReadByte();
        return value;
    }
    Tag ReadTag() {
        Tag tag;
        for (auto& byte : tag)
            byte = ReadByte();
        return tag;
    }
    std::string ReadText(std::size_t length) {
        std::string text;
        for (std::size_t i = 0; i < length && !m_atEnd; ++i)
            text.push_back(static_cast<char>(ReadByte()));
        return text;
    }
    // The bytes from here up to the next byte of value stop (or the end), which is not read.
    std::pair<const std::uint8_t*, std::size_t> ReadRunBefore(std::uint8_t stop) {
        const std::uint8_t* first = m_bytes.data() + m_position;
        const std::size_t left = m_bytes.size() - m_position;
        const void* found = std::memchr(first, stop, left);
        const std::size_t length =
            found ? std::size_t(static_cast<const std::uint8_t*>(found) - first) : left;
        m_position += length;
        return {first, length};
    }
    bool AtEnd() const { return m_atEnd; }
    std::uint64_t Position() const { return m_position; }
    // The bytes left to read.
    std::uint64_t Remaining() const { return m_bytes.size() - m_position; }

private:
    const ByteArray& m_bytes;
    bool m_atEnd = false;
    std::size_t m_position = 0;
};

// A marker text up to its first zero byte, at most 63 bytes: the section name.
std::string SectionName(const std::string& markerText) {
    std::string name = markerText.substr(0, markerText.find('\0'));
    if (name.size() > kMaxSectionNameLength)
        name.resize(kMaxSectionNameLength);
    return name;
}

// Meta-event results that matter to the header scan.
constexpr int kStopScan = 0;
constexpr int kEndOfInput = 0xFF;

class CStyleFileReader {
public:
    CStyleFileReader(const ByteArray& bytes, const std::string& path, CStyleDocument& document)
        : m_in(bytes), m_path(path), m_document(document) {}

    ReadResult Read();
    const Outcome& GetOutcome() const { return m_outcome; }

private:
    ReadResult Fail(Failure failure, ReadResult result) {
        m_outcome.failure = failure;
        m_outcome.path = m_path;
        return result;
    }
    CStyleProperties& Properties() {
        CStyleProperties* properties = m_document.GetSourceProperties();
        return properties ? *properties : m_document.ResetSourceProperties();
    }

    int ScanHeaderEvents();
    int ParseHeaderMeta(std::uint8_t type);
    ByteArray ReadStoredEvent(std::uint8_t type, bool withFollowingByte);
    ReadResult ReadSections();
    ReadResult ReadCsegChunks(Tag tag);
    void IndexSections();
    void ResolveSdec(std::string_view text, CCsegRecord* record);
    void AppendToSection(const std::uint8_t* bytes, std::size_t count);
    bool EndsBeforeCasmEnd() const { return m_in.AtEnd() && m_in.Position() < m_casmEnd; }
    ReadResult ReadCtb2(CCsegRecord& record, const std::string& sdec);

    CByteInput m_in;
    const std::string& m_path;
    CStyleDocument& m_document;
    Outcome m_outcome;
    bool m_inStyle = false;
    CStyleSection* m_current = nullptr;
    // Where the CASM chunk ends by its length: a file that holds every byte up to there is
    // complete, whatever follows.
    std::uint64_t m_casmEnd = 0;
    // The first section of each name in this file, for the Sdec names.
    std::unordered_map<std::string, CStyleSection*> m_sectionsByName;
    CConversionReport* m_pConversion = nullptr; // set by an "SFF2" marker
};

ReadResult CStyleFileReader::Read() {
    if (!IsTag(m_in.ReadTag(), "MThd"))
        return Fail(Failure::NotAStyle, ReadResult::Refused);
    m_in.Read32(); // the header length: the three words below are always read
    CStyleProperties& properties = Properties();
    properties.m_format = m_in.Read16();
    properties.m_trackCount = m_in.Read16();
    properties.m_division = m_in.Read16();
    if (properties.m_format == 1)
        return Fail(Failure::Type1Midi, ReadResult::Refused);
    if (properties.m_trackCount > 1)
        return Fail(Failure::MultitrackMidi, ReadResult::Refused);
    if (!IsTag(m_in.ReadTag(), "MTrk"))
        return Fail(Failure::NoTrack, ReadResult::NoTrack);
    m_in.Read32(); // the track length: the track is cut at its FF bytes instead
    m_in.ReadByte();

    ScanHeaderEvents();
    if (!m_current)
        return Fail(Failure::NonStyleMidi, ReadResult::Refused);
    if (ReadResult result = ReadSections(); result != ReadResult::Ok)
        return result;

    if (!IsTag(m_in.ReadTag(), "CASM"))
        return Fail(Failure::NoCasm, ReadResult::Damaged);
    const std::uint32_t casmLength = m_in.Read32();
    if (m_in.AtEnd())
        return Fail(Failure::Damaged, ReadResult::Damaged);
    m_casmEnd = m_in.Position() + casmLength;
    IndexSections();
    return ReadCsegChunks(m_in.ReadTag());
}

int CStyleFileReader::ScanHeaderEvents() {
    int result = 1; // go on
    do {
        const std::uint8_t b = m_in.ReadByte();
        if (b == 0xFF) {
            result = ParseHeaderMeta(m_in.ReadByte());
        } else if (b == 0xF0) {
            // The run keeps everything up to the next FF: the message, its F7 and the delta-time
            // that follows, and any further system-exclusive message before the next meta event.
            ByteArray run{b};
            for (std::uint8_t c = m_in.ReadByte(); c != 0xFF; c = m_in.ReadByte())
                run.push_back(c);
            Properties().AppendSysex(run);
            result = ParseHeaderMeta(m_in.ReadByte());
        }
    } while (result != kStopScan && result != kEndOfInput && !m_inStyle);
    return result;
}

// One meta event among the header events, its FF and type byte read. An "SFF1" marker passes the
// byte after its text on as the type of a further event; the loop follows such chains without
// recursion, so a file of nothing but markers cannot exhaust the stack.
int CStyleFileReader::ParseHeaderMeta(std::uint8_t type) {
    int result = type;
    bool chained = false;
    for (;;) {
        int eventResult = type;
        bool sff1Marker = false;
        switch (type) {
        case 0x01:
            m_in.ReadText(m_in.ReadByte());
            break;
        case 0x02:
            Properties().SetCopyright(m_in.ReadText(m_in.ReadByte()));
            break;
        case 0x03:
            Properties().SetSequenceName(m_in.ReadText(m_in.ReadByte()));
            break;
        case 0x04:
            Properties().SetInstrumentName(m_in.ReadText(m_in.ReadByte()));
            break;
        case 0x05:
            Properties().SetLyric(m_in.ReadText(m_in.ReadByte()));
            break;
        case 0x07:
            Properties().SetCuePoint(m_in.ReadText(m_in.ReadByte()));
            break;
        case 0x06: {
            const std::string name = SectionName(m_in.ReadText(m_in.ReadByte()));
            if (name == "SFF1") {
                sff1Marker = true;
            } else if (name == "SFF2") {
                // A newer keyboard's style: read on as SFF1, its Ctb2 records converted.
                sff1Marker = true;
                m_pConversion = &m_document.StartConversionReport();
            } else {
                m_current = &m_document.AppendSection(name);
                m_inStyle = true;
            }
            break;
        }
        case 0x20:
            m_in.ReadByte();
            Properties().m_channelPrefix = m_in.ReadByte();
            break;
        case 0x21:
            m_in.ReadByte();
            Properties().m_port = m_in.ReadByte();
            break;
        case 0x2F:
            m_in.ReadByte(); // an end of track here does not end the scan
            break;
        case 0x51:
            Properties().SetTempo(ReadStoredEvent(type, true));
            break;
        case 0x54:
            Properties().SetSmpteOffset(ReadStoredEvent(type, false));
            break;
        case 0x58:
            Properties().SetTimeSignature(ReadStoredEvent(type, false));
            break;
        case 0x59:
            Properties().SetKeySignature(ReadStoredEvent(type, false));
            break;
        case 0xFF:
            eventResult = kEndOfInput;
            break;
        default:
            eventResult = kStopScan; // unrecognised: its length and data stay unread
            break;
        }
        if (!chained)
            result = eventResult; // a chained event's result is ignored
        if (!sff1Marker || m_inStyle)
            return result;
        chained = true;
        type = m_in.ReadByte();
    }
}

ByteArray CStyleFileReader::ReadStoredEvent(std::uint8_t type, bool withFollowingByte) {
    const std::uint8_t length = m_in.ReadByte();
    ByteArray event{0xFF, type, length};
    for (int i = 0; i < length; ++i)
        event.push_back(m_in.ReadByte());
    // The tempo keeps the delta-time byte that follows it; the writer relies on it.
    if (withFollowingByte)
        event.push_back(m_in.ReadByte());
    return event;
}

ReadResult CStyleFileReader::ReadSections() {
    for (;;) {
        // Every byte up to the next FF belongs to the current section as it stands.
        const auto [run, length] = m_in.ReadRunBefore(0xFF);
        if (length)
            AppendToSection(run, length);
        m_in.ReadByte(); // the FF
        if (m_in.AtEnd())
            break;
        const std::uint8_t type = m_in.ReadByte();
        if (m_in.AtEnd())
            break;
        if (type == 0x06) {
            const std::string name = SectionName(m_in.ReadText(m_in.ReadByte()));
            if (m_in.AtEnd())
                break;
            m_current = &m_document.AppendSection(name);
        } else if (type == 0x2F) {
            m_in.ReadByte(); // the end-of-track length byte
            return ReadResult::Ok;
        } else {
            // An FF inside an event (a long delta-time, say) is copied with the byte after it.
            const std::uint8_t pair[] = {0xFF, type};
            AppendToSection(pair, 2);
        }
    }
    // The track ended without an end-of-track event.
    return Fail(Failure::Damaged, ReadResult::Damaged);
}

// A section never holds more bytes than the file has left, so its array grows no further than
// that: a style of one huge section is held once, not in an array twice its size.
void CStyleFileReader::AppendToSection(const std::uint8_t* bytes, std::size_t count) {
    const ByteArray* data = m_current->GetData();
    const std::size_t needed = (data ? data->size() : 0) + count;
    if (!data || needed > data->capacity()) {
        const std::size_t doubled = std::max<std::size_t>(16, data ? data->capacity() * 2 : 0);
        const std::size_t bound = needed + std::size_t(m_in.Remaining());
        m_current->ReserveData(std::max(needed, std::min(doubled, bound)));
    }
    m_current->AppendBytes(bytes, count);
}

ReadResult CStyleFileReader::ReadCsegChunks(Tag tag) {
    while (IsTag(tag, "CSEG")) {
        auto record = std::make_unique<CCsegRecord>();
        const std::uint32_t csegLength = m_in.Read32();
        const std::uint64_t csegEnd = m_in.Position() + csegLength;
        if (!IsTag(m_in.ReadTag(), "Sdec"))
            return Fail(Failure::CsegWithoutSdec, ReadResult::Damaged);

        const auto sdecLength = static_cast<std::int32_t>(m_in.Read32());
        std::string sdec = m_in.ReadText(sdecLength > 0 ? std::size_t(sdecLength) : 0);
        if (m_in.AtEnd())
            return Fail(Failure::Damaged, ReadResult::Damaged);

        for (tag = m_in.ReadTag(); !m_in.AtEnd(); tag = m_in.ReadTag()) {
            if (m_pConversion && IsTag(tag, "Ctb2")) {
                if (ReadResult result = ReadCtb2(*record, sdec); result != ReadResult::Ok)
                    return result;
                continue;
            }
            if (IsTag(tag, "Ctab")) {
                for (std::uint8_t byte : tag)
                    record->AppendByte(byte);
                const std::uint32_t length = m_in.Read32();
                record->AppendLength(length);
                const auto signedLength = static_cast<std::int32_t>(length);
                for (std::int32_t i = 0; i < signedLength && !m_in.AtEnd(); ++i)
                    record->AppendByte(m_in.ReadByte());
                if (m_in.AtEnd())
                    return Fail(Failure::Damaged, ReadResult::Damaged);
                continue;
            }
            // Newer styles carry other chunks (such as Cntt) inside a CSEG: skip them within the
            // CSEG's own length. A tag at or past that length belongs to what follows the CSEG.
            const bool insideCseg = m_in.Position() - 4 < csegEnd;
            if (!insideCseg || IsTag(tag, "CSEG"))
                break;
            const std::uint32_t chunkLength = m_in.Read32();
            const std::uint64_t chunkEnd =
                std::min<std::uint64_t>(csegEnd, m_in.Position() + chunkLength);
            while (m_in.Position() < chunkEnd && !m_in.AtEnd())
                m_in.ReadByte();
            if (m_in.AtEnd())
                return Fail(Failure::Damaged, ReadResult::Damaged);
        }

        // The file may end anywhere after the CASM chunk's last byte (a transfer's padding, an
        // overstated length of the last CSEG), but not before it.
        if (EndsBeforeCasmEnd())
            return Fail(Failure::Damaged, ReadResult::Damaged);
        CCsegRecord* added = &m_document.AppendCseg(std::move(record));
        ResolveSdec(sdec, added);
        added->SetSdecText(std::move(sdec));
    }
    if (EndsBeforeCasmEnd())
        return Fail(Failure::Damaged, ReadResult::Damaged);
    return ReadResult::Ok; // anything after the last CSEG ends the reading
}

// The sections are all read when the CASM chunk begins; the Sdec names find them through this
// index, the first section of each name as a search of the section list would.
void CStyleFileReader::IndexSections() {
    const auto& sections = m_document.GetSections();
    m_sectionsByName.reserve(sections.size());
    for (CStyleSection* section : sections)
        m_sectionsByName.try_emplace(section->GetName(), section);
}

// An SFF2 channel record, its tag read, becomes one Ctab of the record.
ReadResult CStyleFileReader::ReadCtb2(CCsegRecord& record, const std::string& sdec) {
    const std::uint32_t length = m_in.Read32();
    // No more than a convertible record is read: a wrong length fails after its channel is known.
    ByteArray ctb2;
    const std::uint32_t kept = std::min<std::uint32_t>(length, kCtb2LengthWithFeature);
    while (ctb2.size() < kept && !m_in.AtEnd())
        ctb2.push_back(m_in.ReadByte());
    if (m_in.AtEnd())
        return Fail(Failure::Damaged, ReadResult::Damaged);
    const Ctb2Conversion conversion = ConvertCtb2(ctb2, length);
    if (!conversion.converted) {
        m_outcome = Ctb2Failure(m_path, sdec, ctb2, conversion.failure);
        return ReadResult::Damaged;
    }
    for (char c : std::string("Ctab"))
        record.AppendByte(static_cast<std::uint8_t>(c));
    record.AppendLength(static_cast<std::uint32_t>(conversion.ctab.size()));
    for (std::uint8_t byte : conversion.ctab)
        record.AppendByte(byte);
    m_pConversion->AddRecord(ctb2, sdec, conversion.losses);
    return ReadResult::Ok;
}

// Names are separated by commas; a space after a comma belongs to the next name, and a text that
// starts with a comma is taken whole as one name. The text is walked once, front to back.
void CStyleFileReader::ResolveSdec(std::string_view text, CCsegRecord* record) {
    std::string name;
    auto lookUp = [&](std::string_view view) {
        name.assign(view);
        if (const auto found = m_sectionsByName.find(name); found != m_sectionsByName.end())
            found->second->SetSegment(record);
    };
    for (auto comma = text.find(','); comma != std::string_view::npos && comma > 0;
         comma = text.find(',')) {
        lookUp(text.substr(0, comma));
        text.remove_prefix(comma + 1);
    }
    if (!text.empty())
        lookUp(text);
}

} // namespace

Outcome ReadStyleBytes(const ByteArray& bytes, const std::string& path, CStyleDocument& document) {
    if (bytes.size() > kMaxStyleFileBytes)
        return MakeOutcome(Failure::CannotOpen, path, EFBIG);
    try {
        CStyleFileReader reader(bytes, path, document);
        reader.Read();
        return reader.GetOutcome();
    } catch (const std::bad_alloc&) {
        // A style too large for the memory left: what was read stays, and Open releases it.
        return MakeOutcome(Failure::OutOfMemoryReading, path);
    }
}

ReadResult ReadResultOf(Failure failure) {
    switch (failure) {
    case Failure::None:
        return ReadResult::Ok;
    case Failure::NoTrack:
        return ReadResult::NoTrack;
    case Failure::NoCasm:
    case Failure::CsegWithoutSdec:
    case Failure::Damaged:
    case Failure::CannotConvertSff2:
        return ReadResult::Damaged;
    default:
        return ReadResult::Refused;
    }
}

Outcome ReadStyle(const std::string& path, CStyleDocument& document) {
    // Only a regular file is read; a FIFO or device is refused before a byte is read, without
    // waiting for a writer.
    ByteArray bytes;
    FileRead read;
    try {
        read = ReadRegularFile(path, kMaxStyleFileBytes, bytes);
    } catch (const std::bad_alloc&) {
        return MakeOutcome(Failure::OutOfMemoryReading, path);
    }
    if (!read) {
        const bool notRegular = read.outcome == FileReadOutcome::NotRegularFile;
        return MakeOutcome(notRegular ? Failure::NotRegularFile : Failure::CannotOpen, path,
                           read.errorCode);
    }
    return ReadStyleBytes(bytes, path, document);
}

ReadResult ReadStyleFile(const std::string& path, CStyleDocument& document, IMessageBox& messages) {
    const Outcome outcome = ReadStyle(path, document);
    if (outcome)
        ShowOutcome(messages, outcome);
    return ReadResultOf(outcome.failure);
}

} // namespace korvane
