#include "cli/AssignmentOptions.h"

#include "assignment/ModelCatalogue.h"
#include "patterns/ConversionPattern.h"
#include "platform/DisplayText.h"

#include <optional>
#include <utility>

namespace korvane::cli {

const char* const kModelOptionText =
    "the target keyboard model, e.g. PSR-9000 (see 'korvane-cli models')";
const char* const kByNameOptionText = "assign every section whose name is a slot name of the "
                                      "model to the first slot of that name, going down the "
                                      "sections";
const char* const kCopyAllOptionText =
    "the window's Copy All: section i to slot i, for the first 16 sections";
const char* const kPatternOptionText =
    "replay, by section names, the conversion pattern that Store Pattern stored in the "
    "configuration file INI (such as Korvane.ini)";

void AddAssignmentOptions(CLI::App& command, AssignmentOptions& options) {
    command.add_option("IN", options.input, "the style file to read")->required();
    command.add_option("--model", options.model, kModelOptionText)->required()->option_text("NAME");
    command.add_flag("--by-name", options.byName, kByNameOptionText);
    command.add_flag("--copy-all", options.copyAll, kCopyAllOptionText);
    command.add_option("--pattern", options.pattern, kPatternOptionText)->option_text("INI");
    command
        .add_option("--assign", options.assign,
                    "assign the section SRC to the slot DST; repeat it as often as needed, the "
                    "pairs are clicked in the order given (a pair is split at its last \"=\", so "
                    "SRC may hold one)")
        ->allow_extra_args(false)
        ->option_text("SRC=DST");
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

std::string Printable(const std::string& name) {
    return PrintableUtf8(name);
}

ExitCode FailWith(const Outcome& outcome) {
    return Fail("Sorry... " + OutcomeText(outcome, Printable));
}

ExitCode ConvertInput(const AssignmentOptions& options, const VoiceChanges& voices,
                      std::uint16_t resolution, const std::string& target, ByteArray& bytes,
                      int& sections) {
    ConversionRequest request;
    request.path = options.input;
    request.layout = LayoutOfModel(options.model);
    request.rule = options.copyAll  ? PlanRule::CopyAll
                   : options.byName ? PlanRule::ByName
                                    : PlanRule::ByNames;
    if (!options.pattern.empty()) {
        CConsoleMessages messages;
        const std::optional<ConversionPattern> pattern = ReadPatternFile(options.pattern, messages);
        if (!pattern)
            return ExitCode::Failure;
        request.pairs.assign(pattern->begin(), pattern->end());
    }
    // Pairs typed on the command line are checked: a typing error fails instead of going unseen.
    for (const auto& [from, to] : options.pairs)
        request.pairs.push_back({from, to});
    request.everyPairMatches = !options.pairs.empty();
    request.resolution = resolution;
    request.target = target;
    request.voiceChanges = voices;

    ConvertedStyle converted = ConvertStyle(request);
    sections = converted.sections;
    switch (converted.outcome.failure) {
    case Failure::None:
        bytes = std::move(converted.bytes);
        return ExitCode::Success;
    case Failure::NoSectionMatches:
        return ExitCode::Success; // the caller says what nothing assigned means to it
    case Failure::NoSuchSection:
        return Fail(Printable(options.input) + " has no section '" +
                    Printable(converted.outcome.name) + "' among its first 16.");
    case Failure::NoSuchSlot:
        return Fail(options.model + " has no slot '" + Printable(converted.outcome.name) + "'.");
    default:
        return FailWith(converted.outcome);
    }
}

} // namespace korvane::cli
