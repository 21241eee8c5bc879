#pragma once

#include "assignment/AssignmentTable.h"
#include "cli/CliSupport.h"
#include "settings/Settings.h"

#include <string>
#include <utility>
#include <vector>

namespace korvane::cli {

// The options that say which style to open and how to assign it, shared by convert and
// audition: IN, --model NAME and one of --by-name, --copy-all, --pattern INI or --assign
// SRC=DST...
struct AssignmentOptions {
    std::string input;
    std::string model;
    bool byName = false;
    bool copyAll = false;
    std::string pattern; // the configuration file whose conversion pattern is replayed
    std::vector<std::string> assign;
    std::vector<std::pair<std::string, std::string>> pairs; // --assign, split at the last "="
};

void AddAssignmentOptions(CLI::App& command, AssignmentOptions& options);

// What --model, --by-name, --copy-all and --pattern mean, for batch, which takes them too.
extern const char* const kModelOptionText;
extern const char* const kByNameOptionText;
extern const char* const kCopyAllOptionText;
extern const char* const kPatternOptionText;

// Checks what the parser cannot: one assignment mode, well-formed pairs, a known model. Returns
// Success, or Usage after printing the problem and help.
ExitCode CheckAssignmentOptions(AssignmentOptions& options, const std::string& help);

// Opens the input into the table for the model and makes the assignment, as the same clicks in
// the window would. Failure after the reason is printed.
ExitCode OpenAndAssign(CAssignmentTable& table, CSettings& settings,
                       const AssignmentOptions& options);

} // namespace korvane::cli
