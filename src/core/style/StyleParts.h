#pragma once

// The eight parts of a style's accompaniment, on MIDI channels 9 to 16.

#include <array>

namespace korvane {

constexpr int kPartCount = 8;
constexpr int kFirstPartChannel = 8; // channel 9, counted from 0

// The part names, in channel order.
constexpr std::array<const char*, kPartCount> kPartNames = {
    "Rhythm Sub", "Rhythm Main", "Bass", "Chord 1", "Chord 2", "Pad", "Phrase 1", "Phrase 2"};

// The part of a channel 0-15, or -1 for channels 1 to 8.
constexpr int PartOfChannel(int channel) {
    return channel >= kFirstPartChannel && channel < kFirstPartChannel + kPartCount
               ? channel - kFirstPartChannel
               : -1;
}

} // namespace korvane
