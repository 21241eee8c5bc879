#include "style/StyleVoices.h"

#include <algorithm>
#include <cctype>

namespace korvane {
namespace {

// The controller of each setting; the program change has none.
constexpr std::array<int, kVoiceSettingCount> kControllers = {0, 32, -1, 7, 10, 91, 93};

std::optional<VoiceSetting> SettingOfController(std::uint8_t controller) {
    for (int s = 0; s < kVoiceSettingCount; ++s) {
        if (kControllers[std::size_t(s)] == controller)
            return VoiceSetting(s);
    }
    return std::nullopt;
}

// One set-up event: whose it is and where its value byte lies in the section's bytes.
struct SetupEvent {
    int part = 0;
    VoiceSetting setting = VoiceSetting::Program;
    std::size_t valueOffset = 0;
};

// Calls visit for every set-up event of the parts, front to back, and returns the walker's
// problem (None when every byte was walked).
template <class Visit>
TrackProblem VisitSetup(ByteSpan bytes, std::size_t& problemAt, Visit&& visit) {
    std::array<bool, kPartCount> playing{};
    CTrackWalker walker(bytes);
    // A value byte of 80 or more is no setting: the event is passed over, its bytes kept.
    walker.StepOverStrayData();
    TrackEvent event;
    while (walker.Next(event)) {
        // Channels 9 to 16 are the parts; lower ones, and meta and system events (-1), none.
        const int part = event.Channel() - kFirstPartChannel;
        if (part < 0 || playing[std::size_t(part)] || event.strayData)
            continue;
        const std::size_t dataAt = std::size_t(event.data.data() - bytes.data());
        switch (event.status & 0xF0) {
        case 0x90:
            playing[std::size_t(part)] = event.data[1] != 0; // velocity 0 is a note off
            break;
        case 0xB0:
            if (const auto setting = SettingOfController(event.data[0]))
                visit(SetupEvent{part, *setting, dataAt + 1});
            break;
        case 0xC0:
            visit(SetupEvent{part, VoiceSetting::Program, dataAt});
            break;
        default:
            break;
        }
    }
    // A section ends with the delta-time of the marker that follows it: no event of its own.
    if (walker.Problem() == TrackProblem::LongerThanTrack && event.offset == bytes.size())
        return TrackProblem::None;
    problemAt = walker.ProblemAt();
    return walker.Problem();
}

const std::array<const char*, 128> kGeneralMidiNames = {"Acoustic Grand Piano",
                                                        "Bright Acoustic Piano",
                                                        "Electric Grand Piano",
                                                        "Honky-tonk Piano",
                                                        "Electric Piano 1",
                                                        "Electric Piano 2",
                                                        "Harpsichord",
                                                        "Clavi",
                                                        "Celesta",
                                                        "Glockenspiel",
                                                        "Music Box",
                                                        "Vibraphone",
                                                        "Marimba",
                                                        "Xylophone",
                                                        "Tubular Bells",
                                                        "Dulcimer",
                                                        "Drawbar Organ",
                                                        "Percussive Organ",
                                                        "Rock Organ",
                                                        "Church Organ",
                                                        "Reed Organ",
                                                        "Accordion",
                                                        "Harmonica",
                                                        "Tango Accordion",
                                                        "Acoustic Guitar (nylon)",
                                                        "Acoustic Guitar (steel)",
                                                        "Electric Guitar (jazz)",
                                                        "Electric Guitar (clean)",
                                                        "Electric Guitar (muted)",
                                                        "Overdriven Guitar",
                                                        "Distortion Guitar",
                                                        "Guitar harmonics",
                                                        "Acoustic Bass",
                                                        "Electric Bass (finger)",
                                                        "Electric Bass (pick)",
                                                        "Fretless Bass",
                                                        "Slap Bass 1",
                                                        "Slap Bass 2",
                                                        "Synth Bass 1",
                                                        "Synth Bass 2",
                                                        "Violin",
                                                        "Viola",
                                                        "Cello",
                                                        "Contrabass",
                                                        "Tremolo Strings",
                                                        "Pizzicato Strings",
                                                        "Orchestral Harp",
                                                        "Timpani",
                                                        "String Ensemble 1",
                                                        "String Ensemble 2",
                                                        "SynthStrings 1",
                                                        "SynthStrings 2",
                                                        "Choir Aahs",
                                                        "Voice Oohs",
                                                        "Synth Voice",
                                                        "Orchestra Hit",
                                                        "Trumpet",
                                                        "Trombone",
                                                        "Tuba",
                                                        "Muted Trumpet",
                                                        "French Horn",
                                                        "Brass Section",
                                                        "SynthBrass 1",
                                                        "SynthBrass 2",
                                                        "Soprano Sax",
                                                        "Alto Sax",
                                                        "Tenor Sax",
                                                        "Baritone Sax",
                                                        "Oboe",
                                                        "English Horn",
                                                        "Bassoon",
                                                        "Clarinet",
                                                        "Piccolo",
                                                        "Flute",
                                                        "Recorder",
                                                        "Pan Flute",
                                                        "Blown Bottle",
                                                        "Shakuhachi",
                                                        "Whistle",
                                                        "Ocarina",
                                                        "Lead 1 (square)",
                                                        "Lead 2 (sawtooth)",
                                                        "Lead 3 (calliope)",
                                                        "Lead 4 (chiff)",
                                                        "Lead 5 (charang)",
                                                        "Lead 6 (voice)",
                                                        "Lead 7 (fifths)",
                                                        "Lead 8 (bass + lead)",
                                                        "Pad 1 (new age)",
                                                        "Pad 2 (warm)",
                                                        "Pad 3 (polysynth)",
                                                        "Pad 4 (choir)",
                                                        "Pad 5 (bowed)",
                                                        "Pad 6 (metallic)",
                                                        "Pad 7 (halo)",
                                                        "Pad 8 (sweep)",
                                                        "FX 1 (rain)",
                                                        "FX 2 (soundtrack)",
                                                        "FX 3 (crystal)",
                                                        "FX 4 (atmosphere)",
                                                        "FX 5 (brightness)",
                                                        "FX 6 (goblins)",
                                                        "FX 7 (echoes)",
                                                        "FX 8 (sci-fi)",
                                                        "Sitar",
                                                        "Banjo",
                                                        "Shamisen",
                                                        "Koto",
                                                        "Kalimba",
                                                        "Bag pipe",
                                                        "Fiddle",
                                                        "Shanai",
                                                        "Tinkle Bell",
                                                        "Agogo",
                                                        "Steel Drums",
                                                        "Woodblock",
                                                        "Taiko Drum",
                                                        "Melodic Tom",
                                                        "Synth Drum",
                                                        "Reverse Cymbal",
                                                        "Guitar Fret Noise",
                                                        "Breath Noise",
                                                        "Seashore",
                                                        "Bird Tweet",
                                                        "Telephone Ring",
                                                        "Helicopter",
                                                        "Applause",
                                                        "Gunshot"};

struct DrumKit {
    std::uint8_t program;
    const char* name;
    bool standard; // one of the kits every GM-era keyboard has at MSB 127
};
// The kits of bank MSB 127, by their 0-based program numbers.
constexpr std::array<DrumKit, 9> kDrumKits = {{{0, "Standard Kit", true},
                                               {1, "Standard Kit 2", false},
                                               {8, "Room Kit", true},
                                               {16, "Rock Kit", true},
                                               {24, "Electronic Kit", true},
                                               {25, "Analog Kit", true},
                                               {32, "Jazz Kit", true},
                                               {40, "Brush Kit", true},
                                               {48, "Classic Kit", true}}};
// The sound-effect kits of bank MSB 126: none is a drum kit any General MIDI style can stand on.
struct EffectKit {
    std::uint8_t program;
    const char* name;
};
constexpr std::array<EffectKit, 2> kEffectKits = {{{0, "SFX Kit 1"}, {1, "SFX Kit 2"}}};

std::string Number(const std::optional<std::uint8_t>& value) {
    return value ? std::to_string(*value) : std::string("-");
}

} // namespace

const std::array<const char*, kMixerSettingCount>& MixerNames() {
    static const std::array<const char*, kMixerSettingCount> names = {"VOL", "PAN", "REVERB",
                                                                      "CHORUS"};
    return names;
}

SectionSetup ReadSectionSetup(ByteSpan sectionBytes) {
    SectionSetup setup;
    setup.problem = VisitSetup(sectionBytes, setup.problemAt, [&](const SetupEvent& event) {
        At(setup.parts[std::size_t(event.part)], event.setting) = sectionBytes[event.valueOffset];
    });
    return setup;
}

const char* GeneralMidiName(std::uint8_t program) {
    return kGeneralMidiNames[program & 0x7F];
}

const char* DrumKitName(std::uint8_t msb, std::uint8_t program) {
    const auto find = [program](const auto& kits) -> const char* {
        for (const auto& kit : kits) {
            if (kit.program == program)
                return kit.name;
        }
        return nullptr;
    };
    return msb == 127 ? find(kDrumKits) : msb == 126 ? find(kEffectKits) : nullptr;
}

std::uint8_t NearestStandardKit(std::uint8_t program) {
    std::uint8_t nearest = 0;
    for (const DrumKit& kit : kDrumKits) {
        if (kit.standard && kit.program <= program)
            nearest = kit.program;
    }
    return nearest;
}

std::string VoiceName(const PartSetup& part) {
    const auto& msb = At(part, VoiceSetting::BankMsb);
    const auto& lsb = At(part, VoiceSetting::BankLsb);
    const auto& program = At(part, VoiceSetting::Program);
    if (!program) {
        if (!msb && !lsb)
            return {};
        return "Bank " + Number(msb) + "/" + Number(lsb) + ", no program change";
    }
    // A program change without a bank select keeps the bank an earlier section chose.
    if (!msb && !lsb)
        return "Program " + std::to_string(*program + 1) + ", bank unchanged";
    const std::uint8_t bankMsb = msb.value_or(0);
    const std::uint8_t bankLsb = lsb.value_or(0);
    if (bankMsb == 0 && bankLsb == 0)
        return GeneralMidiName(*program);
    if (const char* kit = DrumKitName(bankMsb, *program))
        return kit;
    const std::string name = "Bank " + std::to_string(bankMsb) + "/" + std::to_string(bankLsb) +
                             ", program " + std::to_string(*program + 1);
    // A drum bank's other programs are kits of their own, not the GM voice of that number.
    return IsDrumBank(bankMsb) ? name : name + " (" + GeneralMidiName(*program) + ")";
}

std::string PanText(std::uint8_t pan) {
    if (pan == 64)
        return "C";
    if (pan < 64)
        return "L" + std::to_string(std::min(63, 64 - int(pan)));
    return "R" + std::to_string(int(pan) - 64);
}

const std::vector<VoiceChoice>& VoiceChoices() {
    static const std::vector<VoiceChoice> choices = [] {
        std::vector<VoiceChoice> list;
        for (int program = 0; program < 128; ++program)
            list.push_back({kGeneralMidiNames[std::size_t(program)], 0, 0, std::uint8_t(program)});
        for (const DrumKit& kit : kDrumKits)
            list.push_back({kit.name, 127, 0, kit.program});
        return list;
    }();
    return choices;
}

VoiceTextReading ReadVoiceText(const std::string& text) {
    auto lower = [](std::string t) {
        std::transform(t.begin(), t.end(), t.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        return t;
    };
    const std::string typed = lower(text);
    for (const VoiceChoice& choice : VoiceChoices()) {
        if (lower(choice.name) == typed)
            return {choice, {}};
    }
    // The first three numbers; what follows them (a name as a hint) is not read.
    std::vector<int> numbers;
    for (std::size_t i = 0; i < text.size() && numbers.size() < 3;) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        int value = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
            value = std::min(1000, value * 10 + (text[i] - '0'));
        numbers.push_back(value);
    }
    if (text.find_first_not_of(' ') == std::string::npos)
        return {std::nullopt, "Type a voice name from the list, or bank MSB/LSB/program."};
    if (numbers.size() < 3)
        return {std::nullopt, "No voice is called \"" + text +
                                  "\": pick a name from the list, or type bank MSB/LSB/program "
                                  "such as 0/0/36."};
    if (numbers[0] > 127 || numbers[1] > 127)
        return {std::nullopt, "The bank MSB and LSB are 0 to 127."};
    if (numbers[2] < 1 || numbers[2] > 128)
        return {std::nullopt, "The program is 1 to 128."};
    VoiceChoice choice;
    choice.msb = std::uint8_t(numbers[0]);
    choice.lsb = std::uint8_t(numbers[1]);
    choice.program = std::uint8_t(numbers[2] - 1);
    PartSetup setup;
    At(setup, VoiceSetting::BankMsb) = choice.msb;
    At(setup, VoiceSetting::BankLsb) = choice.lsb;
    At(setup, VoiceSetting::Program) = choice.program;
    choice.name = VoiceName(setup);
    return {choice, {}};
}

std::array<std::vector<RoutedProgram>, kPartCount> ReadRoutedPrograms(ByteSpan sectionBytes,
                                                                      const PartRouting& routing) {
    std::array<std::optional<std::uint8_t>, kChannelCount> first{};
    CTrackWalker walker(sectionBytes);
    walker.StepOverStrayData();
    TrackEvent event;
    while (walker.Next(event)) {
        const int channel = event.Channel();
        if ((event.status & 0xF0) == 0xC0 && !event.strayData && !first[std::size_t(channel)])
            first[std::size_t(channel)] = event.data[0];
    }
    std::array<std::vector<RoutedProgram>, kPartCount> programs;
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const int part = routing.PartOf(channel);
        const auto& program = first[std::size_t(channel)];
        // A part's own channel is its voice, read as such.
        if (part >= 0 && program && channel != kFirstPartChannel + part)
            programs[std::size_t(part)].push_back({channel, *program});
    }
    return programs;
}

std::string RoutedProgramText(const std::vector<RoutedProgram>& programs) {
    std::string text;
    for (const RoutedProgram& routed : programs)
        text += (text.empty() ? "" : "; ") + std::string("channel ") +
                std::to_string(routed.channel + 1) + " routed here sets its own program " +
                std::to_string(routed.program + 1);
    return text;
}

bool VoiceChanges::IsEmpty() const {
    if (generalMidiVoices)
        return false;
    return std::all_of(parts.begin(), parts.end(), [](const PartSetup& part) {
        return std::none_of(part.begin(), part.end(),
                            [](const auto& value) { return bool(value); });
    });
}

namespace {

// The section the new style starts with: "SInt", else the first in slot order.
std::size_t StartingSection(const std::vector<WrittenSection>& sections) {
    std::size_t first = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (sections[i].name == "SInt")
            return i;
        if (sections[i].slot < sections[first].slot)
            first = i;
    }
    return first;
}

} // namespace

SavedVoices VoicesAsSaved(const std::vector<WrittenSection>& sections) {
    SavedVoices saved;
    if (sections.empty())
        return saved;
    std::vector<SectionSetup> setups;
    setups.reserve(sections.size());
    for (const WrittenSection& section : sections)
        setups.push_back(ReadSectionSetup(section.bytes));
    saved.parts = setups[StartingSection(sections)].parts;
    for (const WrittenSection& section : sections) {
        const auto routed = ReadRoutedPrograms(section.bytes, section.routing);
        for (std::size_t p = 0; p < kPartCount; ++p) {
            const std::string text = RoutedProgramText(routed[p]);
            std::string& shown = saved.routedPrograms[p];
            if (!text.empty() && shown.find(text) == std::string::npos)
                shown += (shown.empty() ? "" : "; ") + text;
        }
    }
    for (std::size_t p = 0; p < kPartCount; ++p) {
        for (std::size_t s = 0; s < kVoiceSettingCount; ++s) {
            std::optional<std::uint8_t> seen;
            for (const SectionSetup& setup : setups) {
                const auto& value = setup.parts[p][s];
                if (value && seen && *value != *seen)
                    saved.differs[p][s] = true;
                if (value)
                    seen = value;
            }
        }
    }
    return saved;
}

bool VoiceDiffers(const SavedVoices& voices, int part) {
    const auto& differs = voices.differs.at(std::size_t(part));
    return differs[std::size_t(VoiceSetting::BankMsb)] ||
           differs[std::size_t(VoiceSetting::BankLsb)] ||
           differs[std::size_t(VoiceSetting::Program)];
}

std::vector<ByteArray> ApplyVoiceChanges(const std::vector<WrittenSection>& sections,
                                         const VoiceChanges& changes) {
    std::vector<ByteArray> out;
    out.reserve(sections.size());
    for (const WrittenSection& section : sections)
        out.emplace_back(section.bytes.begin(), section.bytes.end());
    if (sections.empty() || changes.IsEmpty())
        return out;

    // What the written sections set, over all of them: which settings exist somewhere, and which
    // parts play a drum kit (for the General MIDI rule).
    std::array<std::array<bool, kVoiceSettingCount>, kPartCount> present{};
    std::array<bool, kPartCount> drums{};
    for (const WrittenSection& section : sections) {
        std::size_t problemAt = 0;
        VisitSetup(section.bytes, problemAt, [&](const SetupEvent& event) {
            present[std::size_t(event.part)][std::size_t(event.setting)] = true;
            if (event.setting == VoiceSetting::BankMsb &&
                IsDrumBank(section.bytes[event.valueOffset]))
                drums[std::size_t(event.part)] = true;
        });
    }
    for (std::size_t p = 0; p < kPartCount; ++p) {
        if (const auto& msb = At(changes.parts[p], VoiceSetting::BankMsb))
            drums[p] = IsDrumBank(*msb);
    }
    auto valueToWrite = [&](int part, VoiceSetting setting, std::uint8_t value) {
        const auto& chosen = At(changes.parts[std::size_t(part)], setting);
        if (chosen)
            value = *chosen;
        if (!changes.generalMidiVoices)
            return value;
        const bool drum = drums[std::size_t(part)];
        switch (setting) {
        case VoiceSetting::BankMsb:
            return std::uint8_t(drum ? 127 : 0);
        case VoiceSetting::BankLsb:
            return std::uint8_t(0);
        case VoiceSetting::Program:
            return drum ? NearestStandardKit(value) : value;
        default:
            return value;
        }
    };

    // In place: one data byte per set-up event, nothing moves.
    for (std::size_t i = 0; i < sections.size(); ++i) {
        ByteArray& bytes = out[i];
        std::size_t problemAt = 0;
        VisitSetup(sections[i].bytes, problemAt, [&](const SetupEvent& event) {
            bytes[event.valueOffset] =
                valueToWrite(event.part, event.setting, bytes[event.valueOffset]);
        });
    }

    // A voice's three events go in together: where one of them is inserted, the section that
    // takes it gets the others it lacks too, or it would sound a bank without its program.
    const std::size_t starting = StartingSection(sections);
    const StyleSetup startingSetup = ReadSectionSetup(sections[starting].bytes).parts;
    auto inserts = [&](std::size_t p, std::size_t s) {
        if (!changes.parts[p][s])
            return false;
        if (!present[p][s])
            return true;
        if (s > std::size_t(VoiceSetting::Program) || startingSetup[p][s])
            return false;
        for (std::size_t voice = 0; voice <= std::size_t(VoiceSetting::Program); ++voice) {
            if (changes.parts[p][voice] && !present[p][voice])
                return true;
        }
        return false;
    };

    // Inserted: each event names its status, so the section's first event, which names its own,
    // reads as before.
    ByteArray inserted;
    for (int p = 0; p < kPartCount; ++p) {
        const auto channel = std::uint8_t(kFirstPartChannel + p);
        for (int s = 0; s < kVoiceSettingCount; ++s) {
            const auto& chosen = changes.parts[std::size_t(p)][std::size_t(s)];
            if (!inserts(std::size_t(p), std::size_t(s)))
                continue;
            const std::uint8_t value = valueToWrite(p, VoiceSetting(s), *chosen);
            if (VoiceSetting(s) == VoiceSetting::Program)
                inserted.insert(inserted.end(), {0x00, std::uint8_t(0xC0 | channel), value});
            else
                inserted.insert(inserted.end(),
                                {0x00, std::uint8_t(0xB0 | channel),
                                 std::uint8_t(kControllers[std::size_t(s)]), value});
        }
    }
    ByteArray& start = out[starting];
    start.insert(start.begin(), inserted.begin(), inserted.end());
    return out;
}

} // namespace korvane
