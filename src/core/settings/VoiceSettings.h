#pragma once

#include <array>

namespace korvane {

// The "Reconfigure Voice Settings" grid: the eight accompaniment parts of a style, each with a
// voice text and four mixer sliders. The grid is a layout only: it reads nothing from the style
// and its values are discarded when it closes.
struct VoiceRow {
    const char* caption;
    const char* voice; // the voice box's text at start
};

inline constexpr std::array<VoiceRow, 8> kVoiceRows = {{
    {"Rhythm Sub", "Standard Kit 1"},
    {"Rhythm Main", ""},
    {"Bass", "Fretless Bass"},
    {"Chord 1", "Aco. Grand Piano"},
    {"Chord 2", ""},
    {"Pad", ""},
    {"Phrase 1", "Sweet Tenor Sax"},
    {"Phrase 2", ""},
}};

inline constexpr std::array<const char*, 4> kMixerControls = {"VOL", "PAN", "REVERB", "CHORUS"};

// Every slider covers the MIDI range and starts where its value box says.
inline constexpr int kMixerMinimum = 0;
inline constexpr int kMixerMaximum = 127;
inline constexpr int kMixerStart = 127;

} // namespace korvane
