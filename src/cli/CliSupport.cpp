#include "cli/CliSupport.h"

#include <iostream>

namespace korvane::cli {

MessageAnswer CConsoleMessages::Show(const std::string& text, const std::string& caption,
                                     MessageIcon, MessageButtons buttons) {
    std::cerr << "korvane-cli: " << caption << " " << text << "\n";
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

ExitCode Fail(const std::string& problem) {
    std::cerr << "korvane-cli: " << problem << "\n";
    return ExitCode::Failure;
}

ExitCode UsageError(const std::string& problem, const std::string& help) {
    std::cerr << "korvane-cli: " << problem << "\n\n" << help;
    return ExitCode::Usage;
}

void SetHelp(CLI::App& command, const std::string& help) {
    command.formatter_fn(
        [help](const CLI::App*, const std::string&, CLI::AppFormatMode) { return help; });
}

} // namespace korvane::cli
