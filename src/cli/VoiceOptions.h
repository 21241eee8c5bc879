#pragma once

#include "style/StyleVoices.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace korvane::cli {

// --voice, --mix and --gm-voices of convert, batch and audition: the voices and mixer values to
// write into the new style. The parser checks each value, so what reaches a command is valid.
struct VoiceOptions {
    std::vector<std::string> voices;
    std::vector<std::string> mixes;
    bool generalMidiVoices = false;
};

void AddVoiceOptions(CLI::App& command, VoiceOptions& options);

// The changes the options ask for; a later option for the same part and value wins.
VoiceChanges VoiceChangesOf(const VoiceOptions& options);

} // namespace korvane::cli
