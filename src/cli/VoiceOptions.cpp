#include "cli/VoiceOptions.h"

#include <charconv>
#include <optional>

namespace korvane::cli {
namespace {

std::optional<int> Number(const std::string& text, int lowest, int highest) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest ||
        value > highest)
        return std::nullopt;
    return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        pieces.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return pieces;
        start = end + 1;
    }
}

// A problem found in an option's value, with the value: "PROGRAM must be 1 to 128, not
// \"Bass=300\"" (CLI11 puts the option's name before it).
std::string Named(const std::string& problem, const std::string& value) {
    return problem.empty() ? problem : problem + ", not \"" + value + "\"";
}

// A flag is on by being given: "--gm-voices=0" would read as on to one and off to another. The
// flag alone gives no value to check.
std::string FlagWithoutValue(const std::string& value) {
    return "takes no value, not \"" + value + "\"";
}

const char* const kUnknownPart =
    "unknown part; use Rhythm Sub, Rhythm Main, Bass, Chord 1, Chord 2, Pad, Phrase 1, Phrase 2 "
    "or a channel 9 to 16";

// What one option set, to find a part and setting given twice.
using SetSettings = std::array<std::array<bool, kVoiceSettingCount>, kPartCount>;

// PART=PROGRAM[,MSB,LSB] into part's values; the problem, or empty.
std::string ParseVoice(const std::string& text, VoiceChanges* changes, SetSettings* set = nullptr) {
    const auto equals = text.rfind('=');
    if (equals == std::string::npos)
        return "expected PART=PROGRAM[,MSB,LSB]";
    const int part = FindPart(text.substr(0, equals));
    if (part < 0)
        return kUnknownPart;
    const std::vector<std::string> values = Split(text.substr(equals + 1), ',');
    if (values.size() != 1 && values.size() != 3)
        return "expected PROGRAM or PROGRAM,MSB,LSB";
    const auto program = Number(values[0], 1, 128);
    if (!program)
        return "PROGRAM must be 1 to 128";
    std::optional<int> msb = 0, lsb = 0;
    if (values.size() == 3) {
        msb = Number(values[1], 0, 127);
        lsb = Number(values[2], 0, 127);
        if (!msb || !lsb)
            return "MSB and LSB must be 0 to 127";
    }
    if (set) {
        for (VoiceSetting setting :
             {VoiceSetting::BankMsb, VoiceSetting::BankLsb, VoiceSetting::Program})
            (*set)[std::size_t(part)][std::size_t(setting)] = true;
    }
    if (changes) {
        PartSetup& setup = changes->parts[std::size_t(part)];
        At(setup, VoiceSetting::BankMsb) = std::uint8_t(*msb);
        At(setup, VoiceSetting::BankLsb) = std::uint8_t(*lsb);
        At(setup, VoiceSetting::Program) = std::uint8_t(*program - 1);
    }
    return {};
}

// PART:volume=V,pan=P,reverb=R,chorus=C (any of the four) into part's values.
std::string ParseMix(const std::string& text, VoiceChanges* changes, SetSettings* set = nullptr) {
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return "expected PART:volume=V,pan=P,reverb=R,chorus=C";
    const int part = FindPart(text.substr(0, colon));
    if (part < 0)
        return kUnknownPart;
    static const std::array<const char*, kMixerSettingCount> kKeys = {"volume", "pan", "reverb",
                                                                      "chorus"};
    SetSettings own{};
    for (const std::string& pair : Split(text.substr(colon + 1), ',')) {
        const auto equals = pair.find('=');
        const std::string key = pair.substr(0, equals);
        std::size_t setting = 0;
        while (setting < kKeys.size() && key != kKeys[setting])
            ++setting;
        if (equals == std::string::npos || setting == kKeys.size())
            return "expected volume=V, pan=P, reverb=R or chorus=C in each pair";
        const auto value = Number(pair.substr(equals + 1), 0, 127);
        if (!value)
            return key + " must be 0 to 127";
        const auto index = std::size_t(int(VoiceSetting::Volume) + int(setting));
        if (own[std::size_t(part)][index])
            return key + " is given twice";
        own[std::size_t(part)][index] = true;
        if (set)
            (*set)[std::size_t(part)][index] = true;
        if (changes)
            At(changes->parts[std::size_t(part)],
               VoiceSetting(int(VoiceSetting::Volume) + int(setting))) = std::uint8_t(*value);
    }
    return {};
}

constexpr std::array<const char*, kVoiceSettingCount> kSettingWords = {
    "voice", "voice", "voice", "volume", "pan", "reverb", "chorus"};

// The option and value that set a part's setting that an earlier one set already; empty when
// none does.
std::string RepeatedSetting(const VoiceOptions& options) {
    SetSettings earlier{};
    auto check = [&earlier](const char* option, const std::string& value, auto parse) {
        SetSettings set{};
        parse(value, nullptr, &set);
        for (std::size_t p = 0; p < kPartCount; ++p)
            for (std::size_t s = 0; s < kVoiceSettingCount; ++s) {
                if (set[p][s] && earlier[p][s])
                    return std::string(option) + " \"" + value + "\": the " + kSettingWords[s] +
                           " of " + kPartNames[p] + " is given twice";
                earlier[p][s] = earlier[p][s] || set[p][s];
            }
        return std::string();
    };
    for (const std::string& voice : options.voices)
        if (auto problem = check("--voice", voice, ParseVoice); !problem.empty())
            return problem;
    for (const std::string& mix : options.mixes)
        if (auto problem = check("--mix", mix, ParseMix); !problem.empty())
            return problem;
    return {};
}

} // namespace

void AddVoiceOptions(CLI::App& command, VoiceOptions& options) {
    command
        .add_option("--voice", options.voices,
                    "PART=PROGRAM[,MSB,LSB]: the voice of a part in the new style: PART is a row "
                    "of the Voices dialog (Rhythm Sub, Rhythm Main, Bass, Chord 1, Chord 2, Pad, "
                    "Phrase 1, Phrase 2) or its channel 9 to 16, PROGRAM the program number 1 to "
                    "128, MSB and LSB the bank (default 0,0: General MIDI); e.g. --voice "
                    "Bass=36 (Fretless Bass), --voice \"Rhythm Sub=1,127,0\" (Standard Kit). "
                    "Repeat for more parts")
        ->check([](const std::string& text) { return Named(ParseVoice(text, nullptr), text); })
        ->allow_extra_args(false);
    command
        .add_option("--mix", options.mixes,
                    "PART:volume=V,pan=P,reverb=R,chorus=C: mixer values 0 to 127 of a part in "
                    "the new style, any of the four (pan 64 is the centre); e.g. --mix "
                    "\"Chord 1:volume=90\". Repeat for more parts")
        ->check([](const std::string& text) { return Named(ParseMix(text, nullptr), text); })
        ->allow_extra_args(false);
    // A flag that CLI11 would read the same given alone or as "--gm-voices=true": an option of
    // no values, whose result is empty when it comes alone and the value when one is given.
    command
        .add_option(
            "--gm-voices",
            [&options](const CLI::results_t&) { return options.generalMidiVoices = true; },
            "use General MIDI voices: every melodic part to bank 0/0 keeping its "
            "program, every drum part to the nearest standard kit, for keyboards that "
            "lack the newer banks")
        ->expected(0, 0)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->check(FlagWithoutValue);
    // A part's setting given twice would leave the user guessing which one counts.
    command.parse_complete_callback([&options] {
        if (const std::string problem = RepeatedSetting(options); !problem.empty())
            throw CLI::ValidationError(problem);
    });
}

VoiceChanges VoiceChangesOf(const VoiceOptions& options) {
    VoiceChanges changes;
    for (const std::string& voice : options.voices)
        ParseVoice(voice, &changes);
    for (const std::string& mix : options.mixes)
        ParseMix(mix, &changes);
    changes.generalMidiVoices = options.generalMidiVoices;
    return changes;
}

} // namespace korvane::cli
