// korvane-cli ports: the MIDI output ports an audition can play to.

#include "audition/AudioModule.h"
#include "cli/CliSupport.h"

#include <iostream>

namespace korvane::cli {
namespace {

const std::string kPortsHelp = HelpHint("ports");

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
    ports->footer("Lists the MIDI output ports (ALSA and JACK), one name a line, as the audition "
                  "output setting and 'korvane-cli audition --port' take them.");
    return {ports, kPortsHelp, [] { return RunPorts(); }};
}

} // namespace korvane::cli
