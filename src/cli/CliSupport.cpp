#include "cli/CliSupport.h"

#include "platform/DisplayText.h"
#include "style/StyleReader.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>

namespace korvane::cli {

MessageAnswer CConsoleMessages::Show(const std::string& text, const std::string& caption,
                                     MessageIcon, MessageButtons buttons) {
    // The player's and the pattern reader's texts name files and ports as they are: each line is
    // escaped here, so that no name drives the terminal (escaped text passes unchanged).
    std::string shown;
    for (std::size_t at = 0;;) {
        const std::size_t end = text.find('\n', at);
        shown += PrintableUtf8(text.substr(at, end - at));
        if (end == std::string::npos)
            break;
        shown += '\n';
        at = end + 1;
    }
    std::cerr << "korvane-cli: " << caption << " " << shown << "\n";
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

bool ReadStyleForCommand(const std::string& path, CStyleDocument& document) {
    CConsoleMessages messages;
    document.StartNextFile();
    return ReadStyleFile(path, document, messages) == ReadResult::Ok;
}

ExitCode Fail(const std::string& problem) {
    std::cerr << "korvane-cli: " << problem << "\n";
    return ExitCode::Failure;
}

ExitCode FinishStandardOutput() {
    errno = 0;
    std::cout.flush();
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good())
        return ExitCode::Success;
    return Fail(OutcomeText(MakeOutcome(Failure::StandardOutputFailed, "standard output", errno)));
}

ExitCode UsageError(const std::string& problem, const std::string& help) {
    std::cerr << "korvane-cli: " << PrintableUtf8(problem) << "\n" << help;
    return ExitCode::Usage;
}

namespace {

constexpr std::size_t kHelpWidth = 79;
constexpr std::size_t kOptionColumn = 22;

// Breaks each line of text at blanks so that, starting at column indent, none passes kHelpWidth.
std::string Wrap(const std::string& text, std::size_t indent) {
    std::string wrapped;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::size_t column = indent;
        bool first = true;
        for (std::string word; words >> word; first = false) {
            if (!first && column + 1 + word.size() > kHelpWidth) {
                wrapped += '\n';
                column = indent;
            } else if (!first) {
                wrapped += ' ';
                ++column;
            }
            wrapped += word;
            column += word.size();
        }
        wrapped += '\n';
    }
    if (!wrapped.empty())
        wrapped.pop_back();
    return wrapped;
}

class CHelpFormatter : public CLI::Formatter {
public:
    CHelpFormatter() { column_width(kOptionColumn); }

    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        std::ostringstream out;
        out << "Usage: " << name << Arguments(*app) << "\n\n"
            << Wrap(app->get_description(), 0) << "\n";
        const auto options = app->get_options([app](const CLI::Option* option) {
            // The commands take --help-all from the application; only its own is listed.
            return !app->get_parent() || option != app->get_help_all_ptr();
        });
        if (!options.empty()) {
            out << "\nOptions:\n";
            for (const CLI::Option* option : options)
                out << make_option(option, option->get_positional());
        }
        const auto commands = app->get_subcommands({});
        if (!commands.empty()) {
            out << "\nCommands:\n";
            for (const CLI::App* command : commands)
                CLI::detail::format_help(out, command->get_name(),
                                         Wrap(command->get_description(), kOptionColumn),
                                         kOptionColumn);
        }
        if (!app->get_footer().empty())
            out << "\n" << Wrap(app->get_footer(), 0) << "\n";
        // Every command in full, indented under a heading of its own.
        if (mode == CLI::AppFormatMode::All) {
            for (const CLI::App* command : commands) {
                out << "\n" << name << " " << command->get_name() << ":\n";
                std::istringstream lines(command->help(name, CLI::AppFormatMode::Normal));
                for (std::string line; std::getline(lines, line);)
                    out << (line.empty() ? "" : "  ") << line << "\n";
            }
        }
        return out.str();
    }

    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        if (positional)
            return option->get_name(true, false);
        std::string names;
        for (const char c : option->get_name(false, true))
            names += c == ',' ? std::string(", ") : std::string(1, c);
        return names;
    }

    std::string make_option_opts(const CLI::Option* option) const override {
        return option->get_option_text().empty() ? "" : " " + option->get_option_text();
    }

    std::string make_option_desc(const CLI::Option* option) const override {
        return Wrap(option->get_description(), kOptionColumn);
    }

private:
    // The positional arguments and the required options with their values; "[OPTIONS]" for the
    // rest, "COMMAND" where a command is needed.
    std::string Arguments(const CLI::App& app) const {
        std::string arguments;
        bool optional = false;
        for (const CLI::Option* option : app.get_options()) {
            if (option->get_positional())
                arguments += " " + option->get_name(true, false);
            else if (option->get_required())
                arguments += " " +
                             option->get_name(false, true)
                                 .substr(0, option->get_name(false, true).find(',')) +
                             make_option_opts(option);
            else if (option != app.get_help_ptr() && option != app.get_help_all_ptr())
                optional = true;
        }
        if (!app.get_subcommands({}).empty())
            arguments += " COMMAND";
        return arguments + (optional ? " [OPTIONS]" : "");
    }
};

} // namespace

void SetUpHelp(CLI::App& app, const std::string& version) {
    app.formatter(std::make_shared<CHelpFormatter>());
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_help_all_flag("--help-all", "print the help of every command and exit");
    app.set_version_flag("--version", "korvane-cli " + version, "print the version and exit");
}

std::string HelpHint(const std::string& command) {
    return "Run 'korvane-cli " + command + " --help' for its options.\n";
}

} // namespace korvane::cli
