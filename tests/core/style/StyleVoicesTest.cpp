// The parts' voices and mixer values: read from set-up events, and changed in the written bytes.

#include "style/StyleVoices.h"

#include "support/StyleBytes.h"
#include "support/StyleGenerator.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>

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

TEST(StyleVoices, GeneratedStyleChangesInPlaceAndInsertsWhatNoSectionSets) {
    StyleGeneratorOptions options;
    options.seed = 7;
    options.compact = true; // three parts: some part is set by no section
    const GeneratedStyle style = GenerateStyle(options);
    const ByteArray& sint = style.sections.at(0).eventBytes;
    const ByteArray& main = style.sections.at(1).eventBytes;
    ASSERT_EQ(style.sections[0].name, "SInt");
    int missing = 0; // a part the style does not play: nothing sets it
    while (std::count(style.channels.begin(), style.channels.end(), kFirstPartChannel + missing))
        ++missing;
    const int played = style.channels.at(0) - kFirstPartChannel;
    VoiceChanges changes;
    At(changes.parts[std::size_t(played)], VoiceSetting::Program) = 35;
    At(changes.parts[std::size_t(played)], kVolume) = 100;
    At(changes.parts[std::size_t(missing)], kVolume) = 5;

    const auto out = Apply({{"Main A", main}, {"SInt", sint}}, changes);
    // Inserted at the start of SInt with its own status; SInt's own bytes follow, two changed.
    const ByteArray inserted = B({0x00, 0xB0 | (kFirstPartChannel + missing), 0x07, 0x05});
    ASSERT_EQ(out[1].size(), sint.size() + 4);
    EXPECT_EQ(ByteArray(out[1].begin(), out[1].begin() + 4), inserted);
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < sint.size(); ++i)
        if (out[1][i + 4] != sint[i])
            changed.push_back(i);
    const SectionSetup before = ReadSectionSetup(sint);
    EXPECT_EQ(changed.size(), 2u);
    const SectionSetup after = ReadSectionSetup(ByteSpan(out[1]).subspan(4));
    PartSetup expected = before.parts[std::size_t(played)];
    At(expected, VoiceSetting::Program) = 35;
    At(expected, kVolume) = 100;
    EXPECT_EQ(after.parts[std::size_t(played)], expected);
    for (int p = 0; p < kPartCount; ++p) {
        if (p != played) {
            EXPECT_EQ(after.parts[std::size_t(p)], before.parts[std::size_t(p)]) << p;
        }
    }
    // Main A keeps its length; only a program change of the part before its notes may change.
    ASSERT_EQ(out[0].size(), main.size());
    const auto mainSetup = ReadSectionSetup(main).parts[std::size_t(played)];
    const std::size_t mainChanged =
        std::size_t(std::inner_product(main.begin(), main.end(), out[0].begin(), 0, std::plus<>(),
                                       [](auto a, auto b) { return int(a != b); }));
    EXPECT_EQ(mainChanged, At(mainSetup, VoiceSetting::Program).value_or(35) != 35 ? 1u : 0u);
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
        {"a value above 127",
         B({0x00, 0xBA, 0x07, 0x50, 0x00, 0xBA, 0x0A, 0x90, 0x00}),
         {n, n, n, 0x50, n, n, n},
         0x22,
         false,
         B({0x00, 0xBA, 0x07, 0x22, 0x00, 0xBA, 0x0A, 0x90, 0x00})},
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
}

// Channel 3 routed to Bass changes its program; channel 11 is Bass's own and not named.
TEST(StyleVoices, ARoutedChannelsOwnProgramIsNamed) {
    PartRouting routing = OwnChannelRouting();
    routing.partOfChannel[2] = kBass;
    const auto programs = ReadRoutedPrograms(
        B({0x00, 0xCA, 0x05, 0x00, 0xC2, 0x18, 0x00, 0xC2, 0x19, 0x00}), routing);
    EXPECT_EQ(RoutedProgramText(programs[kBass]), "channel 3 routed here sets its own program 25");
    EXPECT_TRUE(programs[0].empty());
}

} // namespace
} // namespace korvane::testing
