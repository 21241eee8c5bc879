// korvane-cli: the style engine and the assignment rules of the window, from the command line.

#include "cli/CliSupport.h"
#include "platform/AtomicFile.h"

#include <iostream>
#include <new>
#include <vector>

namespace {

using namespace korvane::cli;

const char* const kMainHelp = R"(Usage: korvane-cli COMMAND [OPTIONS]

Commands:
  info FILE [--json]      show what Korvane reads from a style file
  models [--json]         list the keyboard models and their section layouts
  convert IN --model NAME -o OUT (--by-name | --copy-all | --pattern INI |
                          --assign SRC=DST ...) [--force]
                          build a style for another keyboard model
  batch --model NAME (--pattern INI | --by-name | --copy-all) FROM_DIR TO_DIR
                          [--overwrite] [--jobs N]
                          convert every style file of a folder
  audition IN --model NAME (--by-name | --copy-all | --assign SRC=DST ...)
           (--render OUT.wav [--soundfont FILE] | --port NAME)
                          hear the converted style: render it to a WAV file or
                          play it on a MIDI output port
  ports                   list the MIDI output ports

Run 'korvane-cli COMMAND --help' for the options of one command.
Exit codes: 0 success, 1 failure (the reason on stderr), 2 a usage error.
)";

int Run(int argc, char** argv) {
    CLI::App app("Korvane's style engine from the command line", "korvane-cli");
    SetHelp(app, kMainHelp);
    app.require_subcommand(1);
    std::vector<Command> commands;
    commands.push_back(AddInfoCommand(app));
    commands.push_back(AddModelsCommand(app));
    commands.push_back(AddConvertCommand(app));
    commands.push_back(AddBatchCommand(app));
    commands.push_back(AddAuditionCommand(app));
    commands.push_back(AddPortsCommand(app));
    commands.push_back(AddVoicesCommand(app));
    for (Command& command : commands)
        SetHelp(*command.app, command.help);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error); // --help: the help of the command it was given to
        for (const Command& command : commands) {
            if (command.app->parsed())
                return int(UsageError(error.what(), command.help));
        }
        return int(UsageError(error.what(), kMainHelp));
    }
    for (const Command& command : commands) {
        if (command.app->parsed())
            return int(command.run());
    }
    return int(UsageError("no command given", kMainHelp));
}

} // namespace

int main(int argc, char** argv) {
    korvane::InstallTemporaryFileCleanup();
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        // A style too large for this machine's memory: said plainly, nothing written.
        return int(Fail("Not enough memory to process this file; no file was changed."));
    }
}
