// korvane-cli voices: each part's voice and mixer values, section by section.

#include "cli/VoicesCommand.h"

#include "cli/CliSupport.h"
#include "platform/DisplayText.h"
#include "style/StyleReader.h"

#include <nlohmann/json.hpp>

#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>

namespace korvane::cli {
namespace {

struct VoicesOptions {
    std::string path;
    bool json = false;
};

nlohmann::ordered_json Value(const std::optional<std::uint8_t>& value, int offset = 0) {
    return value ? nlohmann::ordered_json(int(*value) + offset) : nlohmann::ordered_json();
}

std::string Text(const std::optional<std::uint8_t>& value) {
    return value ? std::to_string(*value) : std::string("-");
}

// The bytes of a section that could not be walked to the end.
std::string DamageNote(const SectionSetup& setup) {
    return "read up to byte " + std::to_string(setup.problemAt) +
           "; the bytes after it are damaged";
}

void PrintVoicesText(const std::string& path, const CStyleDocument& document) {
    std::cout << "File: " << PrintableUtf8(path) << "\n";
    for (const CStyleSection* section : document.GetSections()) {
        const ByteArray* data = section->GetData();
        const ByteSpan bytes = data ? ByteSpan(*data) : ByteSpan();
        const SectionSetup setup = ReadSectionSetup(bytes);
        const auto routed = ReadRoutedPrograms(bytes, RoutingOf(section->GetSegment()));
        std::cout << PrintableUtf8(section->GetName()) << "\n";
        for (int p = 0; p < kPartCount; ++p) {
            const PartSetup& part = setup.parts[std::size_t(p)];
            std::ostringstream line;
            line << "  " << std::left << std::setw(12) << kPartNames[std::size_t(p)]
                 << std::setw(40) << (VoiceName(part).empty() ? "-" : VoiceName(part))
                 << std::right;
            for (int m = 0; m < kMixerSettingCount; ++m) {
                const auto& value = part[std::size_t(int(VoiceSetting::Volume) + m)];
                const std::string shown = m == 1 && value ? PanText(*value) : Text(value);
                line << " " << MixerNames()[std::size_t(m)] << " " << std::setw(3) << shown;
            }
            if (const std::string note = RoutedProgramText(routed[std::size_t(p)]); !note.empty())
                line << " (" << note << ")";
            std::cout << line.str() << "\n";
        }
        if (setup.problem != TrackProblem::None)
            std::cout << "  (" << DamageNote(setup) << ")\n";
    }
}

ExitCode RunVoices(const VoicesOptions& options) {
    CStyleDocument document;
    if (!ReadStyleForCommand(options.path, document))
        return ExitCode::Failure;
    if (options.json) {
        std::cout << "{\"sections\":";
        PrintVoicesJson(std::cout, document);
        std::cout << "}\n";
    } else
        PrintVoicesText(options.path, document);
    return FinishStandardOutput();
}

} // namespace

void PrintVoicesJson(std::ostream& out, const CStyleDocument& document) {
    const char* separator = "";
    out << "[";
    for (const CStyleSection* section : document.GetSections()) {
        const ByteArray* data = section->GetData();
        const ByteSpan bytes = data ? ByteSpan(*data) : ByteSpan();
        const SectionSetup setup = ReadSectionSetup(bytes);
        const auto routed = ReadRoutedPrograms(bytes, RoutingOf(section->GetSegment()));
        nlohmann::ordered_json parts = nlohmann::ordered_json::array();
        for (int p = 0; p < kPartCount; ++p) {
            const PartSetup& part = setup.parts[std::size_t(p)];
            parts.push_back({{"part", kPartNames[std::size_t(p)]},
                             {"channel", kFirstPartChannel + 1 + p},
                             {"voice", VoiceName(part)},
                             {"msb", Value(At(part, VoiceSetting::BankMsb))},
                             {"lsb", Value(At(part, VoiceSetting::BankLsb))},
                             {"program", Value(At(part, VoiceSetting::Program), 1)},
                             {"volume", Value(At(part, VoiceSetting::Volume))},
                             {"pan", Value(At(part, VoiceSetting::Pan))},
                             {"reverb", Value(At(part, VoiceSetting::Reverb))},
                             {"chorus", Value(At(part, VoiceSetting::Chorus))}});
            // Only where a routed channel sets a program, so other outputs stay as they were.
            nlohmann::ordered_json programs = nlohmann::ordered_json::array();
            for (const RoutedProgram& program : routed[std::size_t(p)])
                programs.push_back(
                    {{"channel", program.channel + 1}, {"program", program.program + 1}});
            if (!programs.empty())
                parts.back()["routed_programs"] = programs;
        }
        nlohmann::ordered_json entry = {{"name", DisplayUtf8(section->GetName())},
                                        {"parts", parts}};
        if (setup.problem != TrackProblem::None)
            entry["damaged"] = DamageNote(setup);
        out << separator << entry.dump();
        separator = ",";
    }
    out << "]";
}

Command AddVoicesCommand(CLI::App& app) {
    auto options = std::make_shared<VoicesOptions>();
    CLI::App* voices = app.add_subcommand(
        "voices", "show the voice (bank and program, 1-based) and the mixer values (volume, pan, "
                  "reverb, chorus) of each part of every section of a style");
    voices->add_option("FILE", options->path, "the style file")->required();
    voices->add_flag("--json", options->json,
                     "print one JSON object: the sections, each with its eight parts; a value "
                     "the section does not set is null");
    return {voices, voices->help(), [options] { return RunVoices(*options); }};
}

} // namespace korvane::cli
