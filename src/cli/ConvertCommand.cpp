// korvane-cli convert: Open, the clicks of an assignment, and Save, as the window runs them.

#include "assignment/AssignmentTable.h"
#include "assignment/SaveCommand.h"
#include "cli/AssignmentOptions.h"
#include "cli/CliSupport.h"
#include "cli/VoiceOptions.h"
#include "style/Resolution.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

namespace korvane::cli {
namespace {

const char* const kConvertHelp =
    R"(Usage: korvane-cli convert IN --model NAME -o OUT MODE... [--resolution N] [--force]

Opens IN, assigns its sections to the slots of the model NAME and writes OUT,
exactly as the same clicks in the window would.
  --model NAME       target keyboard model, e.g. PSR-9000 (see 'korvane-cli models')
  -o, --output OUT   the style file to write; "-" writes it to standard output
  --by-name          assign every section whose name is a slot name of the model
                     to the first slot of that name, going down the sections
  --copy-all         the window's Copy All: section i to slot i, for the first 16
  --pattern INI      replay the conversion pattern stored by Store Pattern in the
                     configuration file INI (such as Korvane.ini), by names
  --assign SRC=DST   assign the section SRC to the slot DST; repeat as needed,
                     the pairs are clicked in the order given (SRC may hold "=":
                     the pair is split at the last one)
  --resolution N     write the style at N pulses per quarter note (1 to 32767),
                     every delta-time rescaled; default: the source's resolution
  --force            replace OUT when it exists
An SFF2 style is converted to SFF1 as it is read; 'korvane-cli info' shows what
the conversion left out.
A file name that starts with "-" goes after "--".

OUT is written through a temporary file that takes its name only when complete.
A link is written through (the file it leads to is replaced, the link stays);
a link that leads nowhere, a folder, a device or FIFO, and a file you may not
write are refused and left as they are. Without --force an existing OUT is
never replaced, even by a conversion running at the same time.
)";

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
    const std::string exists = options.output + " already exists; add --force to replace it.";
    std::error_code error;
    if (!toStandardOutput && !options.force && std::filesystem::exists(options.output, error))
        return Fail(exists);

    CConsoleMessages messages;
    CAssignmentTable table(messages);
    CSettings settings;
    if (ExitCode opened = OpenAndAssign(table, settings, options.assignment);
        opened != ExitCode::Success)
        return opened;
    table.GetDocument().SetVoiceChanges(VoiceChangesOf(options.voices));

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
    AddVoiceOptions(*convert, options->voices);
    convert->add_option("-o,--output", options->output, "the style file to write, - for stdout")
        ->required();
    convert->add_option("--resolution", options->resolution, "pulses per quarter note to write")
        ->check(CLI::Range(1, int(kMaxPulsesPerQuarter)));
    convert->add_flag("--force", options->force, "replace OUT when it exists");
    return {convert, kConvertHelp, [options] { return RunConvert(*options); }};
}

} // namespace korvane::cli
