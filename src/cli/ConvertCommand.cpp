// korvane-cli convert: Open, the clicks of an assignment, and Save, as the window runs them.

#include "assignment/AssignmentTable.h"
#include "assignment/SaveCommand.h"
#include "cli/AssignmentOptions.h"
#include "cli/CliSupport.h"

#include <filesystem>
#include <iostream>
#include <memory>

namespace korvane::cli {
namespace {

const char* const kConvertHelp =
    R"(Usage: korvane-cli convert IN --model NAME -o OUT MODE... [--force]

Opens IN, assigns its sections to the slots of the model NAME and writes OUT,
exactly as the same clicks in the window would.
  --model NAME       target keyboard model, e.g. PSR-9000 (see 'korvane-cli models')
  -o, --output OUT   the style file to write
  --by-name          assign every section whose name is a slot name of the model
                     to the first slot of that name, going down the sections
  --copy-all         the window's Copy All: section i to slot i, for the first 16
  --assign SRC=DST   assign the section SRC to the slot DST; repeat as needed,
                     the pairs are clicked in the order given (SRC may hold "=":
                     the pair is split at the last one)
  --force            replace OUT when it exists
A file name that starts with "-" goes after "--".
)";

struct ConvertOptions {
    AssignmentOptions assignment;
    std::string output;
    bool force = false;
};

ExitCode RunConvert(ConvertOptions& options) {
    if (ExitCode usage = CheckAssignmentOptions(options.assignment, kConvertHelp);
        usage != ExitCode::Success)
        return usage;
    std::error_code error;
    if (!options.force && std::filesystem::exists(options.output, error))
        return Fail(options.output + " already exists; add --force to replace it.");

    CConsoleMessages messages;
    CAssignmentTable table(messages);
    CSettings settings;
    if (ExitCode opened = OpenAndAssign(table, settings, options.assignment);
        opened != ExitCode::Success)
        return opened;

    if (WriteWork(table, options.output) != WriteResult::Ok)
        return ExitCode::Failure;
    int written = 0;
    for (const auto& slot : table.GetSlots())
        written += slot.assigned ? 1 : 0;
    std::cout << "Wrote " << options.output << ": " << written << " sections for "
              << options.assignment.model << ".\n";
    return ExitCode::Success;
}

} // namespace

Command AddConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* convert = app.add_subcommand("convert", "build a style for another keyboard model");
    AddAssignmentOptions(*convert, options->assignment);
    convert->add_option("-o,--output", options->output, "the style file to write")->required();
    convert->add_flag("--force", options->force, "replace OUT when it exists");
    return {convert, kConvertHelp, [options] { return RunConvert(*options); }};
}

} // namespace korvane::cli
