#pragma once

#include "settings/Settings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace korvane {

// The soundfont the built-in synthesizer loads: the configured one when set, else Debian's
// TimGM6mb, else the first ".sf2" (by name) in the system's soundfont folder; empty when there
// is none.
std::string FindSoundfont(const std::string& configured,
                          const std::string& systemFolder = kSystemSoundfontFolder);

// The largest soundfont the synthesizer loads; General MIDI sets are a few to a few hundred MB.
constexpr std::uint64_t kMaxSoundfontBytes = std::uint64_t(2) << 30;

// Why a soundfont is not loaded, checked as style files are before a byte is read: it must be a
// regular file (a FIFO or device is refused at once, never waited on) of a sane size. Nothing
// when it may be loaded.
std::optional<std::string> CheckSoundfont(const std::string& path);

} // namespace korvane
