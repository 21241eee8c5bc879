// korvane-cli convert: the conversion engine's read, plan and bytes, written as Save writes them.

#include "cli/AssignmentOptions.h"
#include "cli/CliSupport.h"
#include "cli/VoiceOptions.h"
#include "platform/Paths.h"
#include "style/Resolution.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

namespace korvane::cli {
namespace {

const std::string kConvertHelp = HelpHint("convert");

struct ConvertOptions {
    AssignmentOptions assignment;
    VoiceOptions voices;
    std::string output;
    std::uint16_t resolution = 0;
    bool force = false;
};

ExitCode RunConvert(ConvertOptions& options) {
    if (ExitCode usage = CheckAssignmentOptions(options.assignment, kConvertHelp);
        usage != ExitCode::Success)
        return usage;
    const bool toStandardOutput = options.output == "-";
    const std::string shownOutput = toStandardOutput ? "standard output" : options.output;
    const std::string exists =
        Printable(options.output) + " already exists; add --force to replace it.";
    if (const Outcome refused = toStandardOutput ? Outcome() : OutputNameOutcome(options.output))
        return FailWith(refused);
    std::error_code error;
    if (!toStandardOutput && !options.force &&
        std::filesystem::exists(SystemPath(options.output), error))
        return Fail(exists);

    ByteArray bytes;
    int written = 0;
    if (ExitCode converted = ConvertInput(options.assignment, VoiceChangesOf(options.voices),
                                          options.resolution, shownOutput, bytes, written);
        converted != ExitCode::Success)
        return converted;
    if (written == 0)
        return FailWith(MakeOutcome(Failure::NothingAssigned, shownOutput));

    StyleWriteOptions write;
    write.toStandardOutput = toStandardOutput;
    // The check above answers at once; this one holds when another program takes the name while
    // we convert.
    write.existing = options.force ? ExistingFile::Replace : ExistingFile::Keep;
    if (const Outcome outcome = WriteStyleBytes(options.output, bytes, write))
        return outcome.failure == Failure::Exists ? Fail(exists) : FailWith(outcome);
    // Standard output carries the style itself, so the report goes to stderr then.
    (toStandardOutput ? std::cerr : std::cout)
        << "Wrote " << Printable(shownOutput) << ": " << written << " sections for "
        << options.assignment.model << ".\n";
    return ExitCode::Success;
}

} // namespace

Command AddConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* convert = app.add_subcommand("convert", "build a style for another keyboard model");
    AddAssignmentOptions(*convert, options->assignment);
    AddVoiceOptions(*convert, options->voices);
    convert
        ->add_option("-o,--output", options->output,
                     "the style file to write; \"-\" writes it to standard output")
        ->required()
        ->option_text("OUT");
    convert
        ->add_option("--resolution", options->resolution,
                     "write the style at N pulses per quarter note (1 to 32767), every "
                     "delta-time rescaled, so that it plays at the same speed; without it the "
                     "style keeps the source's resolution")
        ->check(CLI::Range(1, int(kMaxPulsesPerQuarter)))
        ->option_text("N");
    convert->add_flag("--force", options->force,
                      "replace OUT when it exists; without it an existing file is never "
                      "replaced, even by a conversion running at the same time");
    convert->footer(
        "Opens IN, assigns its sections to the slots of the model NAME and writes OUT, exactly "
        "as the same clicks in the window would. Exactly one of --by-name, --copy-all, --pattern "
        "and --assign chooses the assignment. An SFF2 style is converted to SFF1 as it is read; "
        "'korvane-cli info' shows what the conversion left out.\n"
        "OUT is written through a temporary file that takes its name only when complete. A link "
        "is written through (the file it leads to is replaced, the link stays); a link that leads "
        "nowhere, a folder, a device or FIFO, and a file you may not write are refused and left "
        "as they are.");
    return {convert, kConvertHelp, [options] { return RunConvert(*options); }};
}

} // namespace korvane::cli
