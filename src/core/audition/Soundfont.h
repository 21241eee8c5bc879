#pragma once

#include "settings/Settings.h"

#include <string>

namespace korvane {

// The soundfont the built-in synthesizer loads: the configured one when set, else Debian's
// TimGM6mb, else the first ".sf2" (by name) in the system's soundfont folder; empty when there
// is none.
std::string FindSoundfont(const std::string& configured,
                          const std::string& systemFolder = kSystemSoundfontFolder);

} // namespace korvane
