#pragma once

// The sounds of a style's accompaniment parts: each part's voice (bank select and program change)
// and mixer (volume, pan, reverb and chorus), as its sections set them up, and the changes a user
// asks for, written into the sections' set-up events.
//
// A part's set-up in a section is every event of its channel that comes before the channel's
// first note: the last value of each kind is what sounds. Sections are walked with the track
// walker; a section it cannot walk to the end is read up to the damage, and its bytes after that
// are neither read nor changed.

#include "style/AssignmentSlot.h"
#include "style/ByteTypes.h"
#include "style/MidiTrack.h"
#include "style/PartRouting.h"
#include "style/StyleParts.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// What a part's set-up holds: the controller numbers are 0, 32, 7, 10, 91 and 93.
enum class VoiceSetting { BankMsb, BankLsb, Program, Volume, Pan, Reverb, Chorus };
constexpr int kVoiceSettingCount = 7;
constexpr int kMixerSettingCount = 4; // Volume to Chorus
// "VOL", "PAN", "REVERB", "CHORUS": the mixer's column headers.
const std::array<const char*, kMixerSettingCount>& MixerNames();

// Each setting's value 0 to 127 (program changes 0-based), or none where the set-up lacks it.
using PartSetup = std::array<std::optional<std::uint8_t>, kVoiceSettingCount>;
using StyleSetup = std::array<PartSetup, kPartCount>;

inline std::optional<std::uint8_t>& At(PartSetup& part, VoiceSetting setting) {
    return part[std::size_t(setting)];
}
inline const std::optional<std::uint8_t>& At(const PartSetup& part, VoiceSetting setting) {
    return part[std::size_t(setting)];
}

// One section's set-up, and where its walk stopped when the bytes are damaged.
struct SectionSetup {
    StyleSetup parts{};
    TrackProblem problem = TrackProblem::None;
    std::size_t problemAt = 0;
};
SectionSetup ReadSectionSetup(ByteSpan sectionBytes);

// The set-up a file's sections play after: its "SInt" section's, kept with each of its sections.
struct FileSetup {
    StyleSetup parts{};
};

// --- names --------------------------------------------------------------------------------
// General MIDI's name of a program 0-127.
const char* GeneralMidiName(std::uint8_t program);
// The drum kit of a drum bank (MSB 127: the standard kits, MSB 126: the sound-effect kits) at
// that program, or nullptr where the bank has no kit of that number or is no drum bank.
const char* DrumKitName(std::uint8_t msb, std::uint8_t program);
// A voice's name: the GM name for bank 0/0, the kit name where a drum bank has one, else
// "Bank MSB/LSB, program N" with N counted from 1 and, for a melodic bank, the GM name of the
// program after it in brackets. A program change without a bank select, or a bank select without
// a program change, says so; a set-up with neither is empty.
std::string VoiceName(const PartSetup& part);
// Pan as the keyboard shows it: L63 ... C ... R63.
std::string PanText(std::uint8_t pan);

// A voice that can be chosen from a list.
struct VoiceChoice {
    std::string name;
    std::uint8_t msb = 0;
    std::uint8_t lsb = 0;
    std::uint8_t program = 0;
};
// The 128 GM voices, then the standard drum kits.
const std::vector<VoiceChoice>& VoiceChoices();
// A voice typed: a name of VoiceChoices() in any case, or three numbers for MSB, LSB and program
// (1 to 128) such as "127/0/1" or "Bank 8/0, program 36 (Fretless Bass)". Anything else is
// refused with the reason, in words for the one who typed it.
struct VoiceTextReading {
    std::optional<VoiceChoice> choice;
    std::string refusal; // empty when a voice was read
};
VoiceTextReading ReadVoiceText(const std::string& text);
inline std::optional<VoiceChoice> ParseVoiceText(const std::string& text) {
    return ReadVoiceText(text).choice;
}

// --- "Use General MIDI voices" -----------------------------------------------------------
// Drum kits are bank MSB 126 or 127.
inline bool IsDrumBank(std::uint8_t msb) {
    return msb == 126 || msb == 127;
}
// The standard kit at or below a kit's program number.
std::uint8_t NearestStandardKit(std::uint8_t program);

// --- the style being written -------------------------------------------------------------
// One section as the writer will write it: its slot, the slot's name and its bytes.
struct WrittenSection {
    int slot = 0;
    std::string name;
    ByteSpan bytes;
    PartRouting routing = OwnChannelRouting(); // as the section's CSEG routes its channels
};

// A program change on a channel that a section routes to a part other than its own channel's:
// the keyboard plays that channel's notes on the part, with that channel's own voice.
struct RoutedProgram {
    int channel = 0; // 0-15
    std::uint8_t program = 0;
    bool operator==(const RoutedProgram&) const = default;
};
// Each part's routed programs in one section, first program of each channel, channel order.
std::array<std::vector<RoutedProgram>, kPartCount> ReadRoutedPrograms(ByteSpan sectionBytes,
                                                                      const PartRouting& routing);
// "channel 4 routed here sets its own program 25", joined by "; "; empty for none.
std::string RoutedProgramText(const std::vector<RoutedProgram>& programs);

// The values to write over the style's own, part by part; none keeps what the style has.
struct VoiceChanges {
    StyleSetup parts{};
    // Melodic parts to bank 0/0 keeping their program, drum parts to the nearest standard kit.
    bool generalMidiVoices = false;

    bool IsEmpty() const;
    bool operator==(const VoiceChanges&) const = default;
};

// Each part's set-up as the new style will start: from the section written to "SInt", else the
// first section in slot order; a setting that the written sections set to different values is
// marked in differs.
struct SavedVoices {
    StyleSetup parts{};
    std::array<std::array<bool, kVoiceSettingCount>, kPartCount> differs{};
    // Per part, what its routed channels set in the written sections (RoutedProgramText).
    std::array<std::string, kPartCount> routedPrograms{};
};
SavedVoices VoicesAsSaved(const std::vector<WrittenSection>& sections);
// Whether the voice (bank and program) of a part differs between sections.
bool VoiceDiffers(const SavedVoices& voices, int part);

// The sections' bytes with the changes written in, in the order given. A set-up event that
// exists gets its data byte changed in place, so every other byte and every running status stay;
// a setting that no written section sets is inserted, each event with its own status byte and a
// delta-time of 0, at the start of the section written to "SInt", else of the first section. A
// voice goes in whole: where its bank select or program change is inserted, that section also
// gets whichever of bank MSB, LSB and program change it does not set itself.
std::vector<ByteArray> ApplyVoiceChanges(const std::vector<WrittenSection>& sections,
                                         const VoiceChanges& changes);

} // namespace korvane
