// korvane-cli ports: the MIDI output ports an audition can play to.

#include "audition/AudioModule.h"
#include "cli/CliSupport.h"

#include <iostream>

namespace korvane::cli {
namespace {

const char* const kPortsHelp = R"(Usage: korvane-cli ports

Lists the MIDI output ports (ALSA and JACK), one name a line, as the audition
output setting and 'korvane-cli audition --port' take them.
)";

ExitCode RunPorts() {
    std::string failure;
    const AudioModuleEntry* audio = LoadAudioModule(failure);
    if (!audio)
        return Fail(failure);
    const auto ports = audio->findOutputPorts();
    for (const std::string& port : ports)
        std::cout << port << "\n";
    if (ports.empty())
        std::cerr << "korvane-cli: no MIDI output ports found\n";
    return ExitCode::Success;
}

} // namespace

Command AddPortsCommand(CLI::App& app) {
    CLI::App* ports = app.add_subcommand("ports", "list the MIDI output ports");
    return {ports, kPortsHelp, [] { return RunPorts(); }};
}

} // namespace korvane::cli
