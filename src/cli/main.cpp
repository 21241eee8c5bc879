// korvane-cli: the style engine and the assignment rules of the window, from the command line.

#include "cli/CliSupport.h"
#include "platform/AtomicFile.h"
#include "platform/Console.h"
#include "platform/Paths.h"

#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace korvane::cli;

const std::string kMainHelp = "Run 'korvane-cli --help' for the commands.\n";

// What a double click on korvane-cli.exe shows, in the console Windows made for it.
const std::string kStartedAloneText =
    "korvane-cli converts the style files of PSR-series arranger keyboards.\n"
    "It is a command-line program: open a command prompt or PowerShell in its\n"
    "folder and type a command, such as\n"
    "\n"
    "  korvane-cli models\n"
    "  korvane-cli info C:\\Styles\\ballad.sty\n"
    "  korvane-cli convert C:\\Styles\\ballad.sty --model PSR-740 --by-name -o E:\\b.sty\n"
    "  korvane-cli batch --model PSR-740 --by-name C:\\Styles E:\\STYLES\n"
    "\n"
    "'korvane-cli --help' lists every command. A style file dropped on\n"
    "korvane-cli.exe shows its sections here.\n";

int Run(const std::vector<std::string>& arguments) {
#ifndef KORVANE_AUDITION
    if (arguments.size() > 1 && (arguments[1] == "audition" || arguments[1] == "ports"))
        return int(UsageError(arguments[1] + " is not available in this build", kMainHelp));
#endif
    CLI::App app("Reads and converts the style files of PSR-series arranger keyboards with the "
                 "rules of the Korvane window: the same reader, the same section assignment and "
                 "the same writer, so a conversion made here gives the bytes the same clicks in "
                 "the window would give.",
                 "korvane-cli");
    // "/dir/x.sty" is a file, never an option, on Windows too; set before the commands are
    // added, which take it over.
    app.allow_windows_style_options(false);
    SetUpHelp(app, KORVANE_VERSION);
    app.footer("Options may be written as --model NAME or --model=NAME. A file name that starts "
               "with \"-\" goes after \"--\".\n"
               "Run 'korvane-cli COMMAND --help' for the options of one command.\n"
               "Exit status: 0 success, 1 failure (the reason on stderr), 2 a usage error.");
    app.require_subcommand(1);
    // Building a command's options is most of the program's start, so a command line that
    // names a command at its start builds that command alone; any other (--help, --help-all, a
    // misspelt command) builds them all, for the help and the messages that list them.
    struct CommandEntry {
        const char* name;
        Command (*add)(CLI::App&);
    };
    static constexpr CommandEntry kCommands[] = {
        {"info", AddInfoCommand},         {"models", AddModelsCommand},
        {"convert", AddConvertCommand},   {"batch", AddBatchCommand},
#ifdef KORVANE_AUDITION
        {"audition", AddAuditionCommand}, {"ports", AddPortsCommand},
#endif
        {"voices", AddVoicesCommand},
    };
    const CommandEntry* named = nullptr;
    for (const CommandEntry& entry : kCommands) {
        if (arguments.size() > 1 && arguments[1] == entry.name)
            named = &entry;
    }
    std::vector<Command> commands;
    for (const CommandEntry& entry : kCommands) {
        if (named == nullptr || named == &entry)
            commands.push_back(entry.add(app));
    }

    try {
        std::vector<const char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(argument.c_str());
        app.parse(int(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error); // --help of the command it was given to, --help-all, --version
        for (const Command& command : commands) {
            if (command.app->parsed())
                return int(UsageError(error.what(), command.help));
        }
        return int(UsageError(error.what(), kMainHelp));
    }
    for (const Command& command : commands) {
        if (!command.app->parsed())
            continue;
        try {
            return int(command.run());
        } catch (const std::bad_alloc&) {
            // A style too large for this machine's memory: said plainly; only a command that
            // writes files can say that it changed none.
            const std::string name = command.app->get_name();
            const bool readsOnly =
                name == "info" || name == "voices" || name == "models" || name == "ports";
            return int(Fail(readsOnly ? "Not enough memory to process this file."
                                      : "Not enough memory to process this file; no file was "
                                        "changed."));
        }
    }
    return int(UsageError("no command given", kMainHelp));
}

// Started from Explorer, the console closes as the program ends: it says what to do (or shows the
// dropped style's sections) and waits for Enter, so that the text can be read.
int RunInOwnConsole(const std::vector<std::string>& arguments) {
    int status = 0;
    if (arguments.size() == 2)
        status = Run({arguments[0], "info", arguments[1]});
    else
        std::cout << kStartedAloneText;
    std::cout << "\nPress Enter to close this window." << std::flush;
    std::string line;
    std::getline(std::cin, line);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    korvane::InstallTemporaryFileCleanup();
    try {
        const std::vector<std::string> arguments = korvane::StartConsoleProgram(argc, argv);
        // No command, or a file's name alone: a double click, or a style dropped on the program.
        std::error_code error;
        const bool droppedFile =
            arguments.size() == 2 && !arguments[1].starts_with("-") &&
            std::filesystem::is_regular_file(korvane::SystemPath(arguments[1]), error);
        if ((arguments.size() == 1 || droppedFile) && korvane::ConsoleOwnedAlone())
            return RunInOwnConsole(arguments);
        return Run(arguments);
    } catch (const std::bad_alloc&) {
        // Before any command ran: nothing was written.
        return int(Fail("Not enough memory to process this file; no file was changed."));
    } catch (const std::exception& error) {
        // Never an abort with the library's words: what stopped the run, as a failure.
        return int(Fail(std::string("stopped by an unexpected error: ") + error.what()));
    }
}
