#pragma once

// What a section plays, for its picture: each part's notes with start and length in pulses, the
// section's length in bars and beats. Read with the event walker, linear in the section's bytes.

#include "style/MidiTrack.h"
#include "style/StyleParts.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

class CStyleProperties;

// The measure a section is counted in: the style's division and time signature.
struct SectionTiming {
    std::uint16_t division = 480; // pulses per quarter note
    int numerator = 4;
    int denominator = 4;
    bool operator==(const SectionTiming&) const = default;
};

// The timing of properties' header events: their division (480 for 0 or a frame-based one) and
// time signature (4/4 when there is none).
SectionTiming TimingOf(const CStyleProperties* properties);

struct PictureNote {
    std::uint64_t start = 0;  // pulses from the section's start
    std::uint64_t length = 0; // pulses
    std::uint8_t key = 0;
    std::uint8_t velocity = 0;
    bool operator==(const PictureNote&) const = default;
};

struct SectionPicture {
    SectionTiming timing;
    std::array<std::vector<PictureNote>, kPartCount> parts; // by start, then by key's end
    std::uint64_t lengthPulses = 0; // the delta-times' sum, the one before the next marker with
    std::uint64_t bars = 0;         // whole bars
    std::uint64_t beats = 0;        // beats beyond the whole bars, a started one counted
    bool damaged = false;           // the walk stopped at a problem; what came before is here
    std::size_t damagedAt = 0;      // the byte of the section where it stopped

    bool Plays(int part) const { return !parts[std::size_t(part)].empty(); }
    int PlayingPartCount() const;
    // "4 bars, 4/4", "1 bar 2 beats, 3/4".
    std::string LengthText() const;
};

// Pairs each note-on with its note-off (a note-on of velocity 0 is one) on the same channel and
// key, first in first out; a note without its end is held to the section's end. Notes on
// channels 1 to 8 are not part of the picture. A damaged section gives what was read before the
// damage.
SectionPicture SummariseSection(ByteSpan bytes, const SectionTiming& timing);

} // namespace korvane
