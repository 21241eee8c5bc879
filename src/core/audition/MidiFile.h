#pragma once

#include "style/ByteTypes.h"

#include <optional>
#include <string>
#include <vector>

namespace korvane {

// One event as a MIDI output receives it: a channel message or a system-exclusive message
// (beginning with F0), at its time from the start of the file. Meta events are not sent.
struct CMidiEvent {
    double seconds = 0.0;
    ByteArray bytes;
    bool operator==(const CMidiEvent&) const = default;
};

// What a sequencer plays from a Standard MIDI File: every track's events in time order, the
// tempo changes applied. Chunks other than MThd and MTrk (a style's CASM) are skipped.
struct CMidiSequence {
    std::vector<CMidiEvent> events;
    double duration = 0.0; // the time of the last event or end of track
};

// Reads a Standard MIDI File. On a file that is not one, returns nothing and sets problem.
std::optional<CMidiSequence> ParseMidiFile(const ByteArray& bytes, std::string& problem);

// Reads at most maxBytes of a regular file. Refuses anything else (a folder, a FIFO, a device)
// before reading; on failure returns nothing and sets problem.
std::optional<ByteArray> ReadMidiFileBytes(const std::string& path, std::size_t maxBytes,
                                           std::string& problem);

} // namespace korvane
