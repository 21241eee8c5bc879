// The parts' voices and mixer values: read from set-up events, and changed in the written bytes.

#include "style/StyleVoices.h"
#include "style/VoicesForm.h"

#include "support/StyleBytes.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

constexpr int kBass = 2; // channel 11, status nibble A
constexpr auto kVolume = VoiceSetting::Volume;

std::vector<ByteArray> Apply(const std::vector<std::pair<std::string, ByteArray>>& sections,
                             const VoiceChanges& changes) {
    std::vector<WrittenSection> written;
    for (std::size_t i = 0; i < sections.size(); ++i)
        written.push_back({int(i), sections[i].first, ByteSpan(sections[i].second)});
    return ApplyVoiceChanges(written, changes);
}

TEST(StyleVoices, WithoutSIntWhatNoSectionSetsGoesToTheFirstSectionInSlotOrder) {
    const ByteArray mainB = B({0x00, 0xCA, 0x01, 0x00}), mainA = B({0x00}), fill = B({0x00});
    VoiceChanges changes;
    At(changes.parts[kBass], VoiceSetting::Program) = 0x23;
    At(changes.parts[5], kVolume) = 5; // Pad, channel 14: no section sets it
    const auto out = ApplyVoiceChanges(
        {{5, "Main B", mainB}, {2, "Main A", mainA}, {9, "Fill In AA", fill}}, changes);
    EXPECT_EQ(out, (std::vector<ByteArray>{B({0x00, 0xCA, 0x23, 0x00}),
                                           B({0x00, 0xBD, 0x07, 0x05, 0x00}), B({0x00})}));
}

struct DamagedCase {
    const char* what;
    ByteArray section;
    PartSetup read;      // the bass part as read
    std::uint8_t volume; // the change asked for (program 9 too for the GM case)
    bool generalMidi;
    ByteArray written; // the section as written (a second section "SInt" takes inserts)
};

TEST(StyleVoices, UnusualSetUpsAreReadAsTheyStandAndOnlyTheirValueBytesChange) {
    const std::optional<std::uint8_t> n;
    const DamagedCase cases[] = {
        {"no set-up events",
         B({0x00, 0x9A, 0x24, 0x64, 0x10}),
         {n, n, n, n, n, n, n},
         0x50,
         false,
         B({0x00, 0x9A, 0x24, 0x64, 0x10})},
        {"several program changes before the first note",
         B({0x00, 0xCA, 0x01, 0x00, 0xCA, 0x02, 0x00, 0x9A, 0x24, 0x64, 0x00, 0xCA, 0x05, 0x00}),
         {n, n, 2, n, n, n, n},
         0x50,
         false,
         B({0x00, 0xCA, 0x01, 0x00, 0xCA, 0x02, 0x00, 0x9A, 0x24, 0x64, 0x00, 0xCA, 0x05, 0x00})},
        {"running status across the set-up",
         B({0x00, 0xBA, 0x07, 0x50, 0x00, 0x0A, 0x40, 0x00}),
         {n, n, n, 0x50, 0x40, n, n},
         0x22,
         false,
         B({0x00, 0xBA, 0x07, 0x22, 0x00, 0x0A, 0x40, 0x00})},
        {"bank select without program change",
         B({0x00, 0xBA, 0x00, 0x08, 0x00, 0x20, 0x70, 0x00}),
         {8, 0x70, n, n, n, n, n},
         0x22,
         true,
         B({0x00, 0xBA, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00})},
        {"a note-on of velocity 0 is no first note",
         B({0x00, 0x9A, 0x24, 0x00, 0x00, 0xBA, 0x07, 0x50, 0x00}),
         {n, n, n, 0x50, n, n, n},
         0x22,
         false,
         B({0x00, 0x9A, 0x24, 0x00, 0x00, 0xBA, 0x07, 0x22, 0x00})},
        {"a value above 127",
         B({0x00, 0xBA, 0x07, 0x50, 0x00, 0xBA, 0x0A, 0x90, 0x00}),
         {n, n, n, 0x50, n, n, n},
         0x22,
         false,
         B({0x00, 0xBA, 0x07, 0x22, 0x00, 0xBA, 0x0A, 0x90, 0x00})},
        {"a value above 127 before the volume",
         B({0x00, 0xBA, 0x0A, 0x90, 0x00, 0xBA, 0x07, 0x50, 0x00}),
         {n, n, n, 0x50, n, n, n},
         0x22,
         false,
         B({0x00, 0xBA, 0x0A, 0x90, 0x00, 0xBA, 0x07, 0x22, 0x00})},
    };
    for (const DamagedCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadSectionSetup(c.section).parts[kBass], c.read);
        VoiceChanges changes;
        changes.generalMidiVoices = c.generalMidi;
        if (!c.generalMidi)
            At(changes.parts[kBass], kVolume) = c.volume;
        const auto out = Apply({{"Main A", c.section}, {"SInt", B({0x00})}}, changes);
        EXPECT_EQ(out[0], c.written);
        // Volume goes to SInt only where no section sets it.
        const bool inserts = !c.generalMidi && !At(c.read, kVolume);
        EXPECT_EQ(out[1], inserts ? B({0x00, 0xBA, 0x07, c.volume, 0x00}) : B({0x00}));
    }
}

TEST(StyleVoices, SavedVoicesComeFromSIntAndMarkWhatSectionsDisagreeOn) {
    const ByteArray sint = B({0x00, 0xBA, 0x07, 0x50, 0x00, 0xCA, 0x23, 0x00});
    const ByteArray main = B({0x00, 0xBA, 0x07, 0x60, 0x00, 0xCA, 0x23, 0x00});
    const SavedVoices saved =
        VoicesAsSaved({{0, "Main A", ByteSpan(main)}, {3, "SInt", ByteSpan(sint)}});
    EXPECT_EQ(At(saved.parts[kBass], kVolume), 0x50);
    EXPECT_TRUE(saved.differs[kBass][std::size_t(kVolume)]);
    EXPECT_FALSE(VoiceDiffers(saved, kBass));
}

TEST(StyleVoices, NamesFollowTheBank) {
    const std::optional<std::uint8_t> n;
    const std::pair<PartSetup, std::string> names[] = {
        {{0, 0, 35, n, n, n, n}, "Fretless Bass"},
        {{127, 0, 8, n, n, n, n}, "Room Kit"},
        {{8, 0, 35, n, n, n, n}, "Bank 8/0, program 36 (Fretless Bass)"},
        {{127, 0, 9, n, n, n, n}, "Bank 127/0, program 10"},
        {{127, 0, 2, n, n, n, n}, "Bank 127/0, program 3"},
        {{127, 0, 24, n, n, n, n}, "Electronic Kit"},
        {{126, 0, 1, n, n, n, n}, "SFX Kit 2"},
        {{126, 0, 24, n, n, n, n}, "Bank 126/0, program 25"},
        {{n, n, 35, n, n, n, n}, "Program 36, bank unchanged"},
        {{127, n, n, n, n, n, n}, "Bank 127/-, no program change"},
    };
    for (const auto& [setup, name] : names)
        EXPECT_EQ(VoiceName(setup), name);
    EXPECT_EQ(PanText(0) + PanText(1) + PanText(64) + PanText(127), "L63L63CR63");
    EXPECT_EQ(ParseVoiceText("fretless bass")->program, 35);
    EXPECT_EQ(ParseVoiceText("Bank 8/0, program 36 (Fretless Bass)")->name,
              "Bank 8/0, program 36 (Fretless Bass)");
    EXPECT_FALSE(ParseVoiceText("8/0/129"));
    EXPECT_EQ(ParseVoiceText("127/127/128")->name, "Bank 127/127, program 128");
    EXPECT_EQ(ReadVoiceText("8/0/129").refusal, "The program is 1 to 128.");
    EXPECT_EQ(ReadVoiceText("200/0/1").refusal, "The bank MSB and LSB are 0 to 127.");
    EXPECT_EQ(ReadVoiceText("Flut").refusal,
              "No voice is called \"Flut\": pick a name from the list, or type bank "
              "MSB/LSB/program such as 0/0/36.");
}

// The General MIDI 1 names that carry a number, and the numbered kits.
TEST(StyleVoices, NumberedNamesAreThoseOfGeneralMidi) {
    const std::pair<int, const char*> numbered[] = {
        {4, "Electric Piano 1"},   {5, "Electric Piano 2"},   {36, "Slap Bass 1"},
        {37, "Slap Bass 2"},       {38, "Synth Bass 1"},      {39, "Synth Bass 2"},
        {48, "String Ensemble 1"}, {49, "String Ensemble 2"}, {50, "SynthStrings 1"},
        {51, "SynthStrings 2"},    {62, "SynthBrass 1"},      {63, "SynthBrass 2"}};
    for (const auto& [program, name] : numbered)
        EXPECT_STREQ(GeneralMidiName(std::uint8_t(program)), name);
    const char* const kinds[3][8] = {
        {"square", "sawtooth", "calliope", "chiff", "charang", "voice", "fifths", "bass + lead"},
        {"new age", "warm", "polysynth", "choir", "bowed", "metallic", "halo", "sweep"},
        {"rain", "soundtrack", "crystal", "atmosphere", "brightness", "goblins", "echoes",
         "sci-fi"}};
    for (int group = 0; group < 3; ++group)
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(GeneralMidiName(std::uint8_t(80 + 8 * group + i)),
                      std::string(group == 0   ? "Lead "
                                  : group == 1 ? "Pad "
                                               : "FX ") +
                          std::to_string(i + 1) + " (" + kinds[group][i] + ")");
    EXPECT_STREQ(DrumKitName(127, 1), "Standard Kit 2");
    EXPECT_STREQ(DrumKitName(126, 0), "SFX Kit 1");
}

// Main A, written first, sets no bass voice; Main B changes the bass program. A new bass voice
// puts bank and program together into Main A, and Main B's program byte becomes 35 in place.
TEST(StyleVoices, AVoiceIsInsertedWhole) {
    VoiceChanges changes;
    At(changes.parts[kBass], VoiceSetting::BankMsb) = 0;
    At(changes.parts[kBass], VoiceSetting::BankLsb) = 0;
    At(changes.parts[kBass], VoiceSetting::Program) = 35;
    const auto out = Apply(
        {{"Main A", B({0x00, 0x9A, 0x24, 0x64, 0x00})}, {"Main B", B({0x00, 0xCA, 0x05, 0x00})}},
        changes);
    EXPECT_EQ(out[0], B({0x00, 0xBA, 0x00, 0x00, 0x00, 0xBA, 0x20, 0x00, 0x00, 0xCA, 0x23, 0x00,
                         0x9A, 0x24, 0x64, 0x00}));
    EXPECT_EQ(out[1], B({0x00, 0xCA, 0x23, 0x00}));
    // Main B sets the bank only: the program is inserted into Main A, and the bank with it.
    const auto bankOnly = Apply(
        {{"Main A", B({0x00})}, {"Main B", B({0x00, 0xBA, 0x00, 0x05, 0x00, 0x20, 0x01, 0x00})}},
        changes);
    EXPECT_EQ(bankOnly[0],
              B({0x00, 0xBA, 0x00, 0x00, 0x00, 0xBA, 0x20, 0x00, 0x00, 0xCA, 0x23, 0x00}));
    EXPECT_EQ(bankOnly[1], B({0x00, 0xBA, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00}));
    // Main A sets the program only: the bank goes in before it, the program changes in place.
    const auto programOnly = Apply({{"Main A", B({0x00, 0xCA, 0x05, 0x00})}}, changes);
    EXPECT_EQ(programOnly[0],
              B({0x00, 0xBA, 0x00, 0x00, 0x00, 0xBA, 0x20, 0x00, 0x00, 0xCA, 0x23, 0x00}));
}

// Channel 3 routed to Bass changes its program; channel 11 is Bass's own and not named.
TEST(StyleVoices, ARoutedChannelsOwnProgramIsNamed) {
    PartRouting routing = OwnChannelRouting();
    routing.partOfChannel[2] = kBass;
    const auto programs = ReadRoutedPrograms(
        B({0x00, 0xCA, 0x05, 0x00, 0xC2, 0x18, 0x00, 0xC2, 0x19, 0x00}), routing);
    EXPECT_EQ(RoutedProgramText(programs[kBass]), "channel 3 routed here sets its own program 25");
    EXPECT_TRUE(programs[0].empty());
    // The Voices dialog shows it beside the part.
    const ByteArray main = B({0x00, 0xC2, 0x18, 0x00});
    EXPECT_EQ(VoicesAsSaved({{0, "Main A", ByteSpan(main), routing}}).routedPrograms[kBass],
              "channel 3 routed here sets its own program 25");
}

TEST(StyleVoices, TypedVoicesAreANameOrBankAndProgramInRange) {
    const std::pair<const char*, std::optional<std::array<int, 3>>> typed[] = {
        {"fretless bass", std::array{0, 0, 35}},
        {"Bank 8/0, program 36 (Fretless Bass)", std::array{8, 0, 35}},
        {"127/127/128", std::array{127, 127, 127}},
        {"128/0/1", std::nullopt},
        {"0/128/1", std::nullopt},
        {"0/0/0", std::nullopt},
        {"0/0/129", std::nullopt},
    };
    for (const auto& [text, expected] : typed) {
        const auto parsed = ParseVoiceText(text);
        ASSERT_EQ(parsed.has_value(), expected.has_value()) << text;
        if (parsed) {
            EXPECT_EQ((std::array<int, 3>{parsed->msb, parsed->lsb, parsed->program}), *expected)
                << text;
        }
    }
}

TEST(StyleVoices, GeneralMidiTakesTheStandardKitAtOrBelow) {
    const std::pair<int, int> kits[] = {{0, 0},   {1, 0},   {7, 0},   {8, 8},   {15, 8},
                                        {16, 16}, {24, 24}, {25, 25}, {31, 25}, {32, 32},
                                        {39, 32}, {40, 40}, {48, 48}, {127, 48}};
    for (const auto& [program, kit] : kits)
        EXPECT_EQ(NearestStandardKit(std::uint8_t(program)), kit) << program;
}

TEST(StyleVoices, AFileWithoutSectionsShowsNoVoices) {
    const CStyleDocument document;
    const VoicesForm form = VoicesFormFromDocument(document, {});
    EXPECT_TRUE(form.sections.empty());
    EXPECT_TRUE(form.readOnly);
}

} // namespace
} // namespace korvane::testing
