// korvane-cli convert: Open, the clicks of an assignment, and Save, as the window runs them.

#include "assignment/AssignmentTable.h"
#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "assignment/SaveCommand.h"
#include "cli/CliSupport.h"
#include "style/Resolution.h"

#include <filesystem>
#include <iostream>
#include <memory>

namespace korvane::cli {
namespace {

const char* const kConvertHelp =
    R"(Usage: korvane-cli convert IN --model NAME -o OUT MODE... [--resolution N] [--force]

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
  --resolution N     write the style at N pulses per quarter note (1 to 32767),
                     every delta-time rescaled; default: the source's resolution
  --force            replace OUT when it exists
An SFF2 style is converted to SFF1 as it is read; 'korvane-cli info' shows what
the conversion left out.
A file name that starts with "-" goes after "--".
)";

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string model;
    bool byName = false;
    bool copyAll = false;
    std::vector<std::string> assign;
    std::vector<std::pair<std::string, std::string>> pairs;
    std::uint16_t resolution = 0;
    bool force = false;
};

// Checks what the parser cannot: one assignment mode, well-formed pairs, a known model.
ExitCode CheckConvert(ConvertOptions& options) {
    if (int(options.byName) + int(options.copyAll) + int(!options.assign.empty()) != 1)
        return UsageError("choose one of --by-name, --copy-all or --assign", kConvertHelp);
    for (const std::string& pair : options.assign) {
        const auto equals = pair.rfind('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == pair.size())
            return UsageError("--assign needs SRC=DST, not '" + pair + "'", kConvertHelp);
        options.pairs.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
    }
    if (ModelIndex(options.model) < 0)
        return UsageError("unknown model '" + options.model + "'; 'korvane-cli models' lists them",
                          kConvertHelp);
    return ExitCode::Success;
}

ExitCode RunConvert(ConvertOptions& options) {
    if (ExitCode usage = CheckConvert(options); usage != ExitCode::Success)
        return usage;
    std::error_code error;
    if (!options.force && std::filesystem::exists(options.output, error))
        return Fail(options.output + " already exists; add --force to replace it.");

    CConsoleMessages messages;
    CAssignmentTable table(messages);
    CSettings settings;
    table.SelectModel(ModelIndex(options.model));
    table.Clear();
    if (OpenStyleFile(table, settings, options.input) != ReadResult::Ok)
        return ExitCode::Failure;

    if (options.copyAll) {
        table.CopyAll();
    } else if (options.byName) {
        table.AssignByName();
    } else {
        for (const auto& [from, to] : options.pairs) {
            const int row = table.FindSourceRow(from);
            const int slot = table.FindDestinationSlot(to);
            if (row < 0)
                return Fail(options.input + " has no section '" + from + "' among its first 16.");
            if (slot < 0)
                return Fail(options.model + " has no slot '" + to + "'.");
            table.AssignPair(row, slot);
        }
    }

    if (WriteWork(table, options.output, options.resolution) != WriteResult::Ok)
        return ExitCode::Failure;
    int written = 0;
    for (const auto& slot : table.GetSlots())
        written += slot.assigned ? 1 : 0;
    std::cout << "Wrote " << options.output << ": " << written << " sections for " << options.model
              << ".\n";
    return ExitCode::Success;
}

} // namespace

Command AddConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* convert = app.add_subcommand("convert", "build a style for another keyboard model");
    convert->add_option("IN", options->input, "the style file to read")->required();
    convert->add_option("--model", options->model, "target keyboard model")->required();
    convert->add_option("-o,--output", options->output, "the style file to write")->required();
    convert->add_flag("--by-name", options->byName, "assign sections to slots of their name");
    convert->add_flag("--copy-all", options->copyAll, "section i to slot i");
    convert->add_option("--assign", options->assign, "SRC=DST, repeatable")
        ->allow_extra_args(false);
    convert->add_option("--resolution", options->resolution, "pulses per quarter note to write")
        ->check(CLI::Range(1, int(kMaxPulsesPerQuarter)));
    convert->add_flag("--force", options->force, "replace OUT when it exists");
    return {convert, kConvertHelp, [options] { return RunConvert(*options); }};
}

} // namespace korvane::cli
