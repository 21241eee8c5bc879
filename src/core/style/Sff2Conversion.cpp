#include "style/Sff2Conversion.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace korvane {
namespace {

// Ctb2 offsets after the 20 bytes it shares with Ctab.
constexpr std::size_t kCommonLength = 20;
constexpr std::size_t kMiddleZoneLowest = 20;
constexpr std::size_t kMiddleZoneHighest = 21;
constexpr std::size_t kMiddleZone = 28; // NTR, NTT, high key, low limit, high limit, RTR
constexpr std::size_t kZoneLength = 6;
constexpr std::size_t kInlineFeature = 41;
constexpr std::size_t kSpecialFeature = 46;

constexpr std::uint8_t kBassOn = 0x80;
constexpr std::uint8_t kGuitar = 2;
constexpr std::uint8_t kCtabRootFixed = 1;
constexpr std::uint8_t kCtabChord = 2;
constexpr std::uint8_t kCtabBass = 3;

// Ctb2 tables 0 to 10 as Ctab tables: the minor variants fold into melodic (4) or harmonic (5)
// minor.
constexpr std::uint8_t kCtabTableOf[] = {0, 1, 2, 4, 4, 5, 5, 5, 5, 4, 4};
constexpr std::uint8_t kLastTable = 10;

bool IsFoldedTable(std::uint8_t table) {
    // Melodic (3) and harmonic (5) minor keep their meaning; the others lose theirs.
    return table == 4 || (table >= 6 && table <= kLastTable);
}

std::string ChannelName(const ByteArray& ctb2) {
    std::string name(ctb2.begin() + 1, ctb2.begin() + 9);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0'))
        name.pop_back();
    return name;
}

} // namespace

std::string ConversionLossText(ConversionLoss loss) {
    switch (loss) {
    case ConversionLoss::LowZoneDropped:
        return "active low zone dropped";
    case ConversionLoss::HighZoneDropped:
        return "active high zone dropped";
    case ConversionLoss::GuitarMadeChord:
        return "guitar table made root fixed/chord";
    case ConversionLoss::MinorTableFolded:
        return "extended minor table folded";
    case ConversionLoss::BassOnMadePlain:
        return "bass-on flag became a plain table";
    case ConversionLoss::InlineFeatureDropped:
        return "inline feature dropped";
    }
    return {};
}

Ctb2Conversion ConvertCtb2(const ByteArray& ctb2, std::uint32_t chunkLength) {
    Ctb2Conversion result;
    if ((chunkLength != kCtb2Length && chunkLength != kCtb2LengthWithFeature) ||
        ctb2.size() != chunkLength) {
        result.failure =
            "its Ctb2 chunk is " + std::to_string(chunkLength) + " bytes long, not 47 or 51";
        return result;
    }
    const std::uint8_t ntr = ctb2[kMiddleZone];
    const std::uint8_t ntt = ctb2[kMiddleZone + 1];
    const bool bassOn = (ntt & kBassOn) != 0;
    const std::uint8_t table = ntt & 0x7F;
    if (ntr > kGuitar) {
        result.failure = "its note transposition rule is " + std::to_string(ntr);
        return result;
    }
    if (table > kLastTable) {
        result.failure = "its note transposition table is " + std::to_string(table);
        return result;
    }

    std::uint8_t ctabTable = kCtabTableOf[table];
    if (ntr == kGuitar)
        ctabTable = kCtabChord;
    else if (bassOn && ntr == 0 && table <= 1)
        ctabTable = kCtabBass;

    ByteArray& ctab = result.ctab;
    ctab.reserve(kCommonLength + kZoneLength + (ctb2.size() - kSpecialFeature));
    ctab.assign(ctb2.begin(), ctb2.begin() + kCommonLength);
    ctab.insert(ctab.end(), ctb2.begin() + kMiddleZone, ctb2.begin() + kMiddleZone + kZoneLength);
    ctab[kCommonLength] = ntr == kGuitar ? kCtabRootFixed : ntr;
    ctab[kCommonLength + 1] = ctabTable;
    // Only the special feature of byte 46 has a place in a Ctab; a 47-byte record has no data
    // for it, whatever byte 46 says.
    if (ctb2.size() == kCtb2LengthWithFeature && ctb2[kSpecialFeature] == 0x02) {
        ctab.insert(ctab.end(), ctb2.begin() + kSpecialFeature, ctb2.end());
    } else {
        ctab.push_back(0x00);
    }

    auto& losses = result.losses;
    if (ctb2[kMiddleZoneLowest] > 0)
        losses.push_back(ConversionLoss::LowZoneDropped);
    if (ctb2[kMiddleZoneHighest] < 127)
        losses.push_back(ConversionLoss::HighZoneDropped);
    if (ntr == kGuitar)
        losses.push_back(ConversionLoss::GuitarMadeChord);
    else if (IsFoldedTable(table))
        losses.push_back(ConversionLoss::MinorTableFolded);
    if (bassOn && ctabTable != kCtabBass)
        losses.push_back(ConversionLoss::BassOnMadePlain);
    if (ctb2[kInlineFeature] == 0x01)
        losses.push_back(ConversionLoss::InlineFeatureDropped);
    result.converted = true;
    return result;
}

std::string Ctb2ChannelText(const ByteArray& ctb2) {
    if (ctb2.size() < 10)
        return "a record too short to name its channel";
    return "channel " + std::to_string(ctb2[9] + 1) + " \"" + ChannelName(ctb2) + "\"";
}

Outcome Ctb2Failure(const std::string& path, const std::string& sdecText, const ByteArray& ctb2,
                    const std::string& failure) {
    Outcome outcome = MakeOutcome(Failure::CannotConvertSff2, path);
    outcome.sections = sdecText;
    if (ctb2.size() >= 10) {
        outcome.channel = ctb2[9] + 1;
        outcome.channelName = ChannelName(ctb2);
    }
    outcome.reason = failure;
    return outcome;
}

std::string Ctb2FailureText(const std::string& fileName, const std::string& sdecText,
                            const ByteArray& ctb2, const std::string& failure) {
    return OutcomeText(Ctb2Failure(fileName, sdecText, ctb2, failure));
}

void CConversionReport::AddRecord(const ByteArray& ctb2, const std::string& sdecText,
                                  const std::vector<ConversionLoss>& losses) {
    for (ConversionLoss loss : losses)
        m_notes.push_back({ctb2[9] + 1, ChannelName(ctb2), sdecText, loss});
}

std::vector<CConversionReport::ChannelGroup> CConversionReport::GetChannels() const {
    // Each note finds its channel, loss and CSEG by hash, so the grouping stays linear in the
    // number of notes however many CSEGs a style has. The keys point into m_notes.
    struct KeyHash {
        std::size_t operator()(const std::pair<std::size_t, std::string_view>& key) const {
            return std::hash<std::string_view>()(key.second) * 31 + key.first;
        }
    };
    std::vector<ChannelGroup> channels;
    std::unordered_map<std::pair<std::size_t, std::string_view>, std::size_t, KeyHash> channelAt;
    std::unordered_map<std::size_t, std::size_t> lossAt; // channel * 256 + loss: its group
    std::unordered_set<std::pair<std::size_t, std::string_view>, KeyHash>
        listed;                                                  // loss group, CSEG
    std::vector<std::pair<std::size_t, std::size_t>> lossGroups; // channel index, loss index
    for (const ConversionNote& note : m_notes) {
        const auto [channelEntry, newChannel] =
            channelAt.try_emplace({std::size_t(note.channel), note.channelName}, channels.size());
        if (newChannel)
            channels.push_back({note.channel, note.channelName, {}});
        ChannelGroup& channel = channels[channelEntry->second];
        const auto [lossEntry, newLoss] = lossAt.try_emplace(
            channelEntry->second * 256 + std::size_t(note.loss), lossGroups.size());
        if (newLoss) {
            lossGroups.push_back({channelEntry->second, channel.losses.size()});
            channel.losses.push_back({note.loss, {}});
        }
        LossGroup& loss = channel.losses[lossGroups[lossEntry->second].second];
        if (listed.insert({lossEntry->second, note.sections}).second)
            loss.sections.push_back(note.sections);
    }
    std::stable_sort(
        channels.begin(), channels.end(),
        [](const ChannelGroup& a, const ChannelGroup& b) { return a.channel < b.channel; });
    for (ChannelGroup& channel : channels) {
        std::stable_sort(channel.losses.begin(), channel.losses.end(),
                         [](const LossGroup& a, const LossGroup& b) { return a.loss < b.loss; });
    }
    return channels;
}

std::string CConversionReport::GetText() const {
    std::string text = "SFF2 style, converted to SFF1";
    for (const ChannelGroup& channel : GetChannels()) {
        text +=
            "\nChannel " + std::to_string(channel.channel) + " \"" + channel.channelName + "\":";
        for (const LossGroup& loss : channel.losses) {
            text += "\n  " + ConversionLossText(loss.loss) + ": ";
            for (std::size_t i = 0; i < loss.sections.size(); ++i)
                text += (i ? "; " : "") + loss.sections[i];
        }
    }
    return text;
}

} // namespace korvane
