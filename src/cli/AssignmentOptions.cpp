#include "cli/AssignmentOptions.h"

#include "assignment/ModelCatalogue.h"
#include "assignment/OpenCommand.h"
#include "patterns/ConversionPattern.h"

namespace korvane::cli {

void AddAssignmentOptions(CLI::App& command, AssignmentOptions& options) {
    command.add_option("IN", options.input, "the style file to read")->required();
    command.add_option("--model", options.model, "target keyboard model")->required();
    command.add_flag("--by-name", options.byName, "assign sections to slots of their name");
    command.add_flag("--copy-all", options.copyAll, "section i to slot i");
    command.add_option("--pattern", options.pattern, "the configuration file with the pattern");
    command.add_option("--assign", options.assign, "SRC=DST, repeatable")->allow_extra_args(false);
}

ExitCode CheckAssignmentOptions(AssignmentOptions& options, const std::string& help) {
    if (int(options.byName) + int(options.copyAll) + int(!options.pattern.empty()) +
            int(!options.assign.empty()) !=
        1)
        return UsageError("choose one of --by-name, --copy-all, --pattern or --assign", help);
    options.pairs.clear();
    for (const std::string& pair : options.assign) {
        const auto equals = pair.rfind('=');
        if (equals == std::string::npos || equals == 0 || equals + 1 == pair.size())
            return UsageError("--assign needs SRC=DST, not '" + pair + "'", help);
        options.pairs.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
    }
    if (ModelIndex(options.model) < 0)
        return UsageError("unknown model '" + options.model + "'; 'korvane-cli models' lists them",
                          help);
    return ExitCode::Success;
}

ExitCode OpenAndAssign(CAssignmentTable& table, CSettings& settings,
                       const AssignmentOptions& options) {
    std::optional<ConversionPattern> pattern;
    if (!options.pattern.empty() &&
        !(pattern = ReadPatternFile(options.pattern, table.GetMessages())))
        return ExitCode::Failure;
    table.SelectModel(ModelIndex(options.model));
    table.Clear();
    if (OpenStyleFile(table, settings, options.input) != ReadResult::Ok)
        return ExitCode::Failure;

    if (options.copyAll) {
        table.CopyAll();
    } else if (options.byName) {
        table.AssignByName();
    } else if (pattern) {
        ApplyPattern(table, *pattern);
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
    return ExitCode::Success;
}

} // namespace korvane::cli
