// --voice and --mix: what each value asks for, and the values refused.

#include "cli/VoiceOptions.h"

#include <gtest/gtest.h>

namespace korvane::cli {
namespace {

TEST(VoiceOptions, EachValueLandsInItsPartAndSetting) {
    VoiceOptions options;
    options.voices = {"Bass=1,8,0", "Rhythm Sub=128,127,1"};
    options.mixes = {"Bass:reverb=1,chorus=120", "Rhythm Sub:volume=5,pan=0", "16:pan=127"};
    const std::optional<std::uint8_t> n;
    StyleSetup expected{};
    expected[0] = {127, 1, 127, 5, 0, n, n}; // MSB, LSB, program, volume, pan, reverb, chorus
    expected[2] = {8, 0, 0, n, n, 1, 120};
    expected[7] = {n, n, n, n, 127, n, n};
    EXPECT_EQ(VoiceChangesOf(options).parts, expected);
}

TEST(VoiceOptions, GmVoicesAloneAsksForGeneralMidiVoices) {
    CLI::App app;
    VoiceOptions options;
    AddVoiceOptions(app, options);
    const char* argv[] = {"korvane-cli", "--gm-voices"};
    app.parse(2, argv);
    EXPECT_TRUE(VoiceChangesOf(options).generalMidiVoices);
}

TEST(VoiceOptions, ValuesOutOfRangeOrShapeAreRefused) {
    const std::pair<const char*, bool> values[] = {
        {"--voice=Bass=36", true},
        {"--voice=Bass=1,2", false},
        {"--voice=Bass=129", false},
        {"--voice=Bass=0", false},
        {"--voice=Bass=1,128,0", false},
        {"--voice=Rhythm Sub=1", true},
        {"--mix=Rhythm Sub:volume=127", true},
        {"--mix=Pad:volume=128", false},
        {"--mix=8:pan=1", false},
        {"--mix=Pad:treble=1", false},
    };
    for (const auto& [value, valid] : values) {
        CLI::App app;
        VoiceOptions options;
        AddVoiceOptions(app, options);
        const char* argv[] = {"korvane-cli", value};
        bool parsed = true;
        try {
            app.parse(2, argv);
        } catch (const CLI::ParseError&) {
            parsed = false;
        }
        EXPECT_EQ(parsed, valid) << value;
    }
}

} // namespace
} // namespace korvane::cli
