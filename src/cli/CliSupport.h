#pragma once

#include "platform/MessageBox.h"
#include "style/StyleDocument.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace korvane::cli {

// What korvane-cli tells its caller.
enum class ExitCode { Success = 0, Failure = 1, Usage = 2 };

// Messages that the window shows in boxes go to stderr as "korvane-cli: CAPTION TEXT";
// questions are answered No.
class CConsoleMessages : public IMessageBox {
public:
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon,
                       MessageButtons buttons) override;
};

// Reads the style file at path into document as Open reads it; false after the reader's
// message on stderr.
bool ReadStyleForCommand(const std::string& path, CStyleDocument& document);

// Prints "korvane-cli: problem" on stderr and returns ExitCode::Failure.
ExitCode Fail(const std::string& problem);

// Flushes what a command printed on standard output: Success when every byte was written,
// otherwise the failure said on stderr (a full disk, a closed pipe).
ExitCode FinishStandardOutput();

// A usage error found after parsing: the problem (escaped, as it may quote an option's value)
// and the line that points to the help on stderr, exit 2.
ExitCode UsageError(const std::string& problem, const std::string& help);

// Each command adds its subcommand to the application, with its options and their descriptions,
// the line that points to its --help after a usage error, and the function that runs it once the
// arguments are parsed.
struct Command {
    CLI::App* app = nullptr;
    std::string help;
    std::function<ExitCode()> run;
};

Command AddInfoCommand(CLI::App& app);
Command AddModelsCommand(CLI::App& app);
Command AddConvertCommand(CLI::App& app);
Command AddBatchCommand(CLI::App& app);
Command AddAuditionCommand(CLI::App& app);
Command AddPortsCommand(CLI::App& app);
Command AddVoicesCommand(CLI::App& app);

// The help of every command is written from what its options say: usage, summary, options, and
// the command's footer. Called on the application before the commands are added, it gives each
// a -h/--help flag, and the application --help-all (every command at once, which the man page is
// made from) and --version.
void SetUpHelp(CLI::App& app, const std::string& version);

// "Run 'korvane-cli COMMAND --help' for its options.", shown after a usage error.
std::string HelpHint(const std::string& command);

} // namespace korvane::cli
