// korvane-cli convert: Open, the clicks of an assignment, and Save, as the window runs them.

#include "assignment/AssignmentTable.h"
#include "assignment/SaveCommand.h"
#include "cli/AssignmentOptions.h"
#include "cli/CliSupport.h"
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
    std::string output;
    std::uint16_t resolution = 0;
    bool force = false;
};

ExitCode RunConvert(ConvertOptions& options) {
    if (ExitCode usage = CheckAssignmentOptions(options.assignment, kConvertHelp);
        usage != ExitCode::Success)
        return usage;
    const bool toStandardOutput = options.output == "-";
    const std::string exists = options.output + " already exists; add --force to replace it.";
    std::error_code error;
    if (!toStandardOutput && !options.force &&
        std::filesystem::exists(FileSystemPath(options.output), error))
        return Fail(exists);

    CConsoleMessages messages;
    CAssignmentTable table(messages);
    CSettings settings;
    if (ExitCode opened = OpenAndAssign(table, settings, options.assignment);
        opened != ExitCode::Success)
        return opened;

    StyleWriteOptions write;
    write.toStandardOutput = toStandardOutput;
    // The check above answers at once; this one holds when another program takes the name while
    // we convert.
    write.existing = options.force ? ExistingFile::Replace : ExistingFile::Keep;
    write.resolution = options.resolution;
    switch (WriteWork(table, options.output, write)) {
    case WriteResult::Ok:
        break;
    case WriteResult::AlreadyExists:
        return Fail(exists);
    case WriteResult::Failed:
        return ExitCode::Failure;
    }
    int written = 0;
    for (const auto& slot : table.GetSlots())
        written += slot.assigned ? 1 : 0;
    // Standard output carries the style itself, so the report goes to stderr then.
    (toStandardOutput ? std::cerr : std::cout)
        << "Wrote " << (toStandardOutput ? "standard output" : options.output) << ": " << written
        << " sections for " << options.assignment.model << ".\n";
    return ExitCode::Success;
}

} // namespace

Command AddConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* convert = app.add_subcommand("convert", "build a style for another keyboard model");
    AddAssignmentOptions(*convert, options->assignment);
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
