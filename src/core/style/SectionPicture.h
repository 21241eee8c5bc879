#pragma once

// What a section plays, for its picture: each part's notes with start and length in pulses, the
// section's length in bars and beats. Read with the event walker, linear in the section's bytes.

#include "style/MidiTrack.h"
#include "style/PartRouting.h"
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
    // The notes of each channel that no Ctab record routes to a part: the keyboard plays none.
    std::array<std::size_t, kChannelCount> unroutedNotes{};
    std::uint64_t lengthPulses = 0; // the delta-times' sum, the one before the next marker with
    std::uint64_t bars = 0;         // whole bars
    std::uint64_t beats = 0;        // beats beyond the whole bars, a started one counted
    bool damaged = false;           // the walk stopped at a problem; what came before is here
    std::size_t damagedAt = 0;      // the byte of the section where it stopped

    bool Plays(int part) const { return !parts[std::size_t(part)].empty(); }
    int PlayingPartCount() const;
    // "4 bars, 4/4", "1 bar 2 beats, 3/4". A length within a sixteenth of a beat of a whole bar
    // counts as that bar.
    std::string LengthText() const;
    // The channels with notes that no record routes: "Channel 4, not routed: 12 notes", joined by
    // "; "; empty when every note has its part.
    std::string UnroutedText() const;
};

// Pairs each note-on with its note-off (a note-on of velocity 0 is one) on the same channel and
// key, first in first out; a note without its end is held to the section's end. Each note goes to
// the part that routing sends its channel to; a channel routed to no part is counted in
// unroutedNotes. A channel message with a data byte of 80 or more is stepped over. A damaged
// section gives what was read before the damage.
SectionPicture SummariseSection(ByteSpan bytes, const SectionTiming& timing,
                                const PartRouting& routing = OwnChannelRouting());

} // namespace korvane
