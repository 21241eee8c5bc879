#include "style/PartRouting.h"

#include "style/StyleSection.h"

namespace korvane {
namespace {
constexpr std::size_t kChunkHeader = 8;     // "Ctab" and the length
constexpr std::size_t kDestinationByte = 9; // after the source channel and the 8-byte name
} // namespace

PartRouting OwnChannelRouting() {
    PartRouting routing;
    for (int channel = 0; channel < kChannelCount; ++channel)
        routing.partOfChannel[std::size_t(channel)] = std::int8_t(PartOfChannel(channel));
    return routing;
}

PartRouting RoutingOfCtab(const ByteArray* ctabBytes) {
    if (!ctabBytes)
        return OwnChannelRouting();
    PartRouting routing;
    routing.partOfChannel.fill(-1);
    std::array<bool, kChannelCount> named{};
    bool anyRecord = false;
    const ByteArray& bytes = *ctabBytes;
    for (std::size_t at = 0; bytes.size() - at >= kChunkHeader;) {
        const std::size_t length = std::size_t(bytes[at + 4]) << 24 |
                                   std::size_t(bytes[at + 5]) << 16 |
                                   std::size_t(bytes[at + 6]) << 8 | std::size_t(bytes[at + 7]);
        const std::size_t data = at + kChunkHeader;
        if (length > bytes.size() - data)
            break;
        // A record too short to name its destination routes nothing; a CSEG none of whose
        // records routes is read as each part playing on its own channel.
        if (length > kDestinationByte) {
            anyRecord = true;
            const std::uint8_t source = bytes[data];
            const int part = PartOfChannel(bytes[data + kDestinationByte]);
            if (source < kChannelCount && !named[source]) {
                named[source] = true;
                routing.partOfChannel[source] = std::int8_t(part);
            }
        }
        at = data + length;
    }
    return anyRecord ? routing : OwnChannelRouting();
}

PartRouting RoutingOf(const CCsegRecord* segment) {
    return RoutingOfCtab(segment ? segment->GetCtab() : nullptr);
}

} // namespace korvane
