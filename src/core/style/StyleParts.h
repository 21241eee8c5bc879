#pragma once

// The eight parts of a style's accompaniment, one on each of MIDI channels 9 to 16: the one table
// of their names and channels, for the voices and the section pictures alike.

#include <array>
#include <string>

namespace korvane {

constexpr int kPartCount = 8;
constexpr int kFirstPartChannel = 8; // channel 9, counted from 0

// The part names, in channel order.
constexpr std::array<const char*, kPartCount> kPartNames = {
    "Rhythm Sub", "Rhythm Main", "Bass", "Chord 1", "Chord 2", "Pad", "Phrase 1", "Phrase 2"};

// The name of the section whose events set the voices up before the others play.
constexpr const char* kSetupSectionName = "SInt";

// The part of a channel 0-15, or -1 for channels 1 to 8.
constexpr int PartOfChannel(int channel) {
    return channel >= kFirstPartChannel && channel < kFirstPartChannel + kPartCount
               ? channel - kFirstPartChannel
               : -1;
}

// The part of a name (exact) or of a 1-based channel number 9 to 16 as text; -1 for neither.
inline int FindPart(const std::string& nameOrChannel) {
    for (int part = 0; part < kPartCount; ++part) {
        if (nameOrChannel == kPartNames[std::size_t(part)])
            return part;
    }
    for (int part = 0; part < kPartCount; ++part) {
        if (nameOrChannel == std::to_string(kFirstPartChannel + 1 + part))
            return part;
    }
    return -1;
}

} // namespace korvane
