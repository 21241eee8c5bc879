// libFuzzer target: any bytes as a style file. The reader must return without crashing, hanging
// or leaking; when it reads a file completely, writing the assigned sections back and reading
// that file again must give the same sections, CSEG tables and header values. An SFF2 file comes
// back as SFF1 with the Ctab records its Ctb2 records became, and without a conversion report.
// The written style is also rescaled to another resolution and back: either the track cannot be
// walked (and nothing changed), or it reads again with the same section names.

#include "style/Resolution.h"
#include "style/StyleReader.h"
#include "style/StyleWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace korvane;

// The destination names the rewritten file uses, one per slot.
const char* const kDestinations[] = {"SInt",     "Main A", "Fill In AA", "Intro A",
                                     "Ending A", "Main B", "Fill In BB", "Fill In BA"};
constexpr std::size_t kMaxAssigned = sizeof kDestinations / sizeof kDestinations[0];

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "round trip: %s\n", what);
    std::abort();
}

// Reads the bytes as a style; true when the whole style was read.
bool ReadBytes(const std::uint8_t* data, std::size_t size, CStyleDocument& document) {
    document.StartNextFile();
    return !ReadStyleBytes(ByteArray(data, data + size), "fuzz.sty", document);
}

bool SameBytes(const ByteArray* a, const ByteArray* b) {
    if (!a || !b)
        return a == b;
    return *a == *b;
}

// What a header value becomes after one write and read: the tempo's following byte and the
// system-exclusive run's last byte are the delta-time the writer puts there, 00.
ByteArray WithZeroLastByte(const ByteArray& bytes) {
    ByteArray out = bytes;
    if (!out.empty())
        out.back() = 0x00;
    return out;
}

void CheckProperties(const CStyleProperties& written, const CStyleProperties& read) {
    if (written.m_format != read.m_format || written.m_trackCount != read.m_trackCount ||
        written.m_division != read.m_division)
        Fail("header numbers differ");
    auto cut = [](const std::string& text) { return text.substr(0, 255); };
    if (cut(written.GetCopyright()) != read.GetCopyright() ||
        cut(written.GetSequenceName()) != read.GetSequenceName() ||
        cut(written.GetInstrumentName()) != read.GetInstrumentName() ||
        cut(written.GetLyric()) != read.GetLyric() ||
        cut(written.GetCuePoint()) != read.GetCuePoint())
        Fail("header texts differ");
    if (written.m_channelPrefix != read.m_channelPrefix || written.m_port != read.m_port)
        Fail("channel prefix or port differs");
    if (!SameBytes(written.GetTimeSignature(), read.GetTimeSignature()) ||
        !SameBytes(written.GetSmpteOffset(), read.GetSmpteOffset()) ||
        !SameBytes(written.GetKeySignature(), read.GetKeySignature()))
        Fail("stored events differ");
    const ByteArray* tempo = written.GetTempo();
    if (tempo) {
        ByteArray expected = WithZeroLastByte(*tempo);
        if (!read.GetTempo() || *read.GetTempo() != expected)
            Fail("tempo differs");
    } else if (read.GetTempo()) {
        Fail("tempo appeared");
    }
    const ByteArray* sysex = written.GetSysex();
    if (sysex && sysex->size() > 1) {
        if (!read.GetSysex() || *read.GetSysex() != WithZeroLastByte(*sysex))
            Fail("system-exclusive run differs");
    } else if (read.GetSysex()) {
        Fail("system-exclusive run appeared");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CStyleDocument document;
    if (!ReadBytes(data, size, document))
        return 0;

    // Assign up to eight sections of distinct names to slots in file order; sections of equal
    // names would make the writer's name lookups pick the first of them.
    AssignmentSlots slots;
    std::vector<const CStyleSection*> written(kSlotCount, nullptr);
    std::set<std::string> names;
    std::size_t slot = 0;
    const std::vector<CStyleSection*> sections = document.GetSections();
    for (CStyleSection* section : sections) {
        if (slot == kMaxAssigned)
            break;
        if (section->GetName().empty() || !names.insert(section->GetName()).second)
            continue;
        document.Assign(*section, static_cast<std::uint32_t>(slot));
        slots[slot] = {true, section->GetName(), kDestinations[slot]};
        written[slot] = section;
        ++slot;
    }
    if (slot == 0)
        return 0;
    const std::vector<const CCsegRecord*> csegs = document.GetCsegs();
    const CStyleProperties& properties = document.EnsureDestinationProperties();
    const ByteArray bytes =
        BuildStyleBytes({properties, slots, document.GetAssignedSections(), csegs});

    CStyleDocument reread;
    if (!ReadBytes(bytes.data(), bytes.size(), reread))
        Fail("the written file does not read");
    const std::vector<CStyleSection*>& again = reread.GetSections();
    if (again.size() != slot)
        Fail("section count differs");
    for (std::size_t i = 0; i < slot; ++i) {
        if (again[i]->GetName() != kDestinations[i])
            Fail("section name differs");
        if (!SameBytes(again[i]->GetData(), written[i]->GetData()) &&
            !(again[i]->GetDataLength() == 0 && written[i]->GetDataLength() == 0))
            Fail("section bytes differ");
        const CCsegRecord* before = written[i]->GetSegment();
        const CCsegRecord* after = again[i]->GetSegment();
        if (!before != !after)
            Fail("CSEG reference differs");
        if (before && !SameBytes(before->GetCtab(), after->GetCtab()))
            Fail("Ctab bytes differ");
    }
    CheckProperties(properties, *reread.GetSourceProperties());
    if (reread.GetConversionReport())
        Fail("the written file is not SFF1");

    // The walk over every event of the written track is bounded and never crashes; a track it
    // accepts reads again with the same sections in the same order.
    ByteArray rescaled = bytes;
    const std::uint16_t division = properties.m_division;
    const std::uint16_t target = division == 96 ? 480 : 96;
    const ResolutionChange change = ChangeResolution(rescaled, target);
    if (!change.changed) {
        if (rescaled != bytes)
            Fail("a failed rescale changed the bytes");
        return 0;
    }
    CStyleDocument scaled;
    if (!ReadBytes(rescaled.data(), rescaled.size(), scaled))
        Fail("the rescaled file does not read");
    if (scaled.GetSections().size() != slot)
        Fail("the rescaled file has other sections");
    for (std::size_t i = 0; i < slot; ++i) {
        if (scaled.GetSections()[i]->GetName() != kDestinations[i])
            Fail("a rescaled section name differs");
    }
    if (scaled.GetSourceProperties()->m_division != target)
        Fail("the rescaled division is wrong");
    return 0;
}
