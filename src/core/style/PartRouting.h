#pragma once

// Which part each MIDI channel of a section plays. A section's CSEG carries one Ctab record per
// source channel: its byte 0 is the source channel and its byte 9 the destination channel, and a
// destination of 9 to 16 is a part. A keyboard plays a channel that no record routes nowhere.

#include "style/ByteTypes.h"
#include "style/StyleParts.h"

#include <array>
#include <cstdint>

namespace korvane {

class CCsegRecord;

constexpr int kChannelCount = 16;

struct PartRouting {
    std::array<std::int8_t, kChannelCount> partOfChannel{}; // -1: no record routes the channel
    bool operator==(const PartRouting&) const = default;
    int PartOf(int channel) const {
        return channel >= 0 && channel < kChannelCount ? partOfChannel[std::size_t(channel)] : -1;
    }
};

// Channels 9 to 16 to their own parts: what a section without Ctab records is read by.
PartRouting OwnChannelRouting();

// The routing of a CSEG's Ctab bytes ("Ctab", a 32-bit length, the data; one chunk after
// another). A record too short to name a destination, or naming one outside 9 to 16, routes
// nothing; the first record of a source channel counts. No record at all gives
// OwnChannelRouting().
PartRouting RoutingOfCtab(const ByteArray* ctabBytes);
PartRouting RoutingOf(const CCsegRecord* segment);

} // namespace korvane
