#pragma once

#include "style/ByteTypes.h"
#include "style/MidiTrack.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane::testing {

// The section names a keyboard writes into its style files: the PSR-9000 layout's 16 names, then
// "Fill In AB" of the 11-section layout. Randomly chosen section sets keep this order.
const std::vector<std::string>& StyleSectionNames();

// The destination layouts, for generated styles that match one model family exactly.
const std::vector<std::string>& SixteenSectionNames();
const std::vector<std::string>& ThirteenSectionNames();
const std::vector<std::string>& ElevenSectionNames();

// What a generated style looks like. Every zero or empty field is chosen from the seed; the same
// options always give the same bytes.
struct StyleGeneratorOptions {
    std::uint64_t seed = 1;
    std::uint16_t division = 0;            // 0: one of 96, 120, 480, 1920
    std::vector<std::string> sectionNames; // empty: 11 to 16 names of StyleSectionNames()
    int sectionCount = 0;                  // with no names given: 0 picks 11 to 16
    std::string styleName;                 // the sequence name; empty: made up from the seed
    bool withSequenceName = true;
    bool withCopyright = true;
    bool withSysex = true;        // GM/XG system-exclusive messages among the header events
    bool withSff1Marker = true;   // FF 06 04 "SFF1" before the first section
    int tempoBpm = 0;             // 0: 60 to 180
    int numerator = 0;            // 0: 4/4 mostly, sometimes 3/4 or 6/8
    int denominator = 0;          // 4 or 8; taken with numerator
    int csegCount = 0;            // 0: 2 to 4, never more than the sections
    bool longDeltaTimes = true;   // rests whose delta-time encoding holds FF bytes
    bool metaInSections = true;   // tempo changes and text events inside sections
    bool sysexInSections = true;  // an XG effect message in "SInt"
    bool compact = false;         // one-bar sections and three channels: small fuzz seeds
    bool unknownSdecName = false; // one Sdec names a section the style does not have
    // A newer keyboard's SFF2 style: the marker says "SFF2" (also without withSff1Marker) and
    // every channel record is a Ctb2 chunk, some of 51 bytes, some with guitar rules; the
    // GeneratedCseg's ctabBytes are then the Ctab chunks they convert to.
    bool sff2 = false;
    // The parts' notes (and their section-only program changes) on channels 1 to 8, which the
    // Ctab records route to the parts' channels 9 to 16; "SInt" sets the voices up on 9 to 16.
    bool routeLowChannels = false;
    // Damaged variants. They change the bytes only; the expected structure stays that of the
    // whole file.
    std::size_t truncateAt = 0; // keep only this many bytes (0: all)
    bool omitCasm = false;      // the file ends after the track
};

struct GeneratedProperties {
    std::uint16_t format = 0;
    std::uint16_t trackCount = 1;
    std::uint16_t division = 0;
    std::string copyright;          // empty when the style has none
    std::string sequenceName;       // empty when the style has none
    ByteArray timeSignature;        // FF 58 04 nn dd cc bb
    ByteArray tempo;                // FF 51 03 t1 t2 t3 and the delta-time byte that follows it
    std::optional<ByteArray> sysex; // every F0 stretch of the header up to the next FF
};

struct GeneratedSection {
    std::string name;
    ByteArray eventBytes; // the track bytes after the marker text up to the next marker's FF
    int cseg = -1;        // index of the CSEG whose Sdec names this section, -1 for none
    std::array<int, 16> notesPerChannel{}; // the notes it plays on each channel 1-16
};

struct GeneratedCseg {
    std::vector<std::string> sdecNames; // in Sdec order; may hold a name no section has
    std::string sdecText;               // the names joined by single commas
    ByteArray ctabBytes;                // every Ctab chunk: "Ctab", 32-bit length, 27 data bytes
    ByteArray ctb2Bytes;                // with sff2: the Ctb2 chunks the file holds instead
};

struct GeneratedStyle {
    ByteArray bytes;
    GeneratedProperties properties;
    std::vector<GeneratedSection> sections; // file order
    std::vector<GeneratedCseg> csegs;       // file order
    std::vector<std::uint8_t> channels;     // the channels (0 to 15) the sections play on
};

GeneratedStyle GenerateStyle(const StyleGeneratorOptions& options);

// The bytes as a track reader cuts them: true when some FF is followed by 06 (marker) or 2F
// (end of track), so that reading would end the section there.
bool HoldsMarkerOrEndOfTrack(const ByteArray& bytes);

// A delta-time's bytes, as the track toolkit encodes them.
inline ByteArray VariableLength(std::uint32_t value) {
    ByteArray bytes;
    AppendVariableLength(bytes, value);
    return bytes;
}

// Writes the style to path; false when the file cannot be written.
bool WriteGeneratedStyle(const GeneratedStyle& style, const std::string& path);

} // namespace korvane::testing
