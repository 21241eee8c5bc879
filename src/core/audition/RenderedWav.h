#pragma once

#include <optional>
#include <string>

namespace korvane {

// Puts the WAV file a render wrote at from (16-bit stereo, 44.1 kHz) in place at to, replacing
// to only by a complete one: from is read back whole, its header and length must hold exactly the
// frames of renderedSeconds, and to is written atomically. Nothing when done, else why not.
std::optional<std::string> KeepRenderedWav(const std::string& from, const std::string& to,
                                           double renderedSeconds);

} // namespace korvane
