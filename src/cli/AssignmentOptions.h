#pragma once

#include "assignment/ConversionEngine.h"
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

// The new style's bytes: reads the input, plans the assignment for the model and builds the
// style, as the same clicks and Save in the window would. Failure after the reason is printed
// (names escaped); target names the output in messages. sections tells how many slots are filled.
// The voice changes are written into the parts' setup events.
ExitCode ConvertInput(const AssignmentOptions& options, const VoiceChanges& voices,
                      std::uint16_t resolution, const std::string& target, ByteArray& bytes,
                      int& sections);

// A failure's message on stderr as the window's box would show it ("korvane-cli: Sorry... TEXT"),
// names escaped; returns Failure.
ExitCode FailWith(const Outcome& outcome);

// A name or path as the terminal may show it: control bytes as \xNN.
std::string Printable(const std::string& name);

} // namespace korvane::cli
