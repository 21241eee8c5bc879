#pragma once

#include "style/ByteTypes.h"

#include <cstdint>
#include <string>

namespace korvane {

// The largest division in pulses per quarter note; bit 15 set means SMPTE frames instead.
constexpr std::uint16_t kMaxPulsesPerQuarter = 0x7FFF;

// What rescaling a style ended with: failure says why nothing changed ("section \"Main A\": ...").
struct ResolutionChange {
    bool changed = false;
    std::string failure;
};

// Rescales a complete style file, as the writer builds it (MThd, one MTrk, whatever follows), to
// pulsesPerQuarter: the MThd division becomes that number and every delta-time of the track is
// rescaled. Times are rounded on the running total of each stretch of the track, the header
// events and each section from its marker on, so a section's total length becomes exactly
// round(total * new / old) and no event drifts; the one exception is a delta-time whose bytes
// would read as a marker or end of track (FF 06, FF 2F), which is written one pulse shorter. Event
// bytes, running status included, stay as they are. A track whose events cannot be walked (a cut
// delta-time, a data byte with no status, a meta or system-exclusive event longer than the track)
// changes nothing and says where.
ResolutionChange ChangeResolution(ByteArray& style, std::uint16_t pulsesPerQuarter);

} // namespace korvane
