#pragma once

#include <optional>
#include <string>

namespace korvane {

// The MIDI sequencer the audition drives by command strings ("open sequencer!PATH alias NAME
// wait", "seek NAME to start wait", "play NAME notify", "stop NAME wait", "close NAME").
// The built-in synthesizer, a MIDI output port and the tests' recorder implement it.
class ISequencer {
public:
    virtual ~ISequencer() = default;
    // Runs one command; 0 when it succeeded, otherwise an error code.
    virtual int SendCommand(const std::string& command) = 0;
    // What an error code means, when the sequencer can say.
    virtual std::optional<std::string> GetErrorText(int code) = 0;
    // Starts, in the background, the slow part of the first open (loading a soundfont), so that
    // the first play does not wait for it. Commands keep their order and results; one that needs
    // the loaded part waits for it. Does nothing for sequencers that have no such part.
    virtual void Prepare() {}
};

} // namespace korvane
