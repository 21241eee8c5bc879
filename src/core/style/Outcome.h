#pragma once

#include "platform/MessageBox.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace korvane {

// Why reading, converting or writing a style did not give a style file. The core returns an
// Outcome; the window, korvane-cli and the folder summary each turn it into their words.
enum class Failure {
    None,
    // --- reading ---
    NotRegularFile,    // a folder (EISDIR) or a FIFO, device or socket (ENXIO), never opened
    CannotOpen,        // the system refused to open it
    NotAStyle,         // no MThd chunk
    Type1Midi,         // a MIDI file, but a Type 1 one
    MultitrackMidi,    // a MIDI file with more than one track
    NoTrack,           // no MTrk chunk after the header
    NonStyleMidi,      // a one-track MIDI file without sections
    NoCasm,            // the sections end and no CASM chunk follows
    CsegWithoutSdec,   // a CSEG chunk that does not start with Sdec
    Damaged,           // the file ends in the middle of its data
    CannotConvertSff2, // an SFF2 channel record that SFF1 cannot hold
    OutOfMemoryReading,
    // --- assigning ---
    NoSectionMatches, // no section of the style went to a slot of the model
    NothingAssigned,  // the writer was given no slot with a section
    NoSuchSection,    // a pair names a section that is not among the style's first 16
    NoSuchSlot,       // a pair names a slot the model lacks
    // --- writing ---
    ResolutionUnchangeable,
    OutOfMemoryWriting,
    Exists,               // the target exists and was to be kept
    CannotCreate,         // the target's name cannot be written
    WriteFailed,          // the bytes could not be stored
    StandardOutputFailed, // korvane-cli's "-o -": standard output took not every byte
    OutOfMemory,          // anywhere else in a conversion
};

// The outcome of one step: Failure::None, or what failed with what it concerns.
struct Outcome {
    Failure failure = Failure::None;
    int errorCode = 0;       // the system's code where there is one
    std::string path;        // the file read or written, as given ("standard output" for -o -)
    std::string sections;    // CannotConvertSff2: the CSEG's Sdec text
    int channel = 0;         // CannotConvertSff2: the channel, 1-16; 0 when the record is too short
    std::string channelName; // CannotConvertSff2: the channel's name
    std::string reason;      // CannotConvertSff2 and ResolutionUnchangeable: why
    std::uint16_t resolution = 0; // ResolutionUnchangeable: the resolution asked for
    std::string name;             // NoSuchSection, NoSuchSlot: the name that has none

    explicit operator bool() const { return failure != Failure::None; } // true when it failed
    bool operator==(const Outcome&) const = default;
};

// An outcome of that failure for path, with the system's code.
inline Outcome MakeOutcome(Failure failure, std::string path = {}, int errorCode = 0) {
    Outcome outcome;
    outcome.failure = failure;
    outcome.path = std::move(path);
    outcome.errorCode = errorCode;
    return outcome;
}

// Reading's failures that mean "this file is no style at all", as opposed to a broken one.
bool IsNotAStyle(Failure failure);

// How names (file, section and channel names) appear in a message: as they are in the window,
// escaped where the message goes to a terminal.
using NameForm = std::function<std::string(const std::string&)>;

// Shows a failure as the window does: the file-error box ("Sorry...") with its message; a
// resolution that cannot be written comes with the exclamation icon.
void ShowOutcome(IMessageBox& messages, const Outcome& outcome);

// The message the user reads for a failure, names put through nameForm (as they are when it is
// empty). Exists has no message of its own: each caller names its way out.
std::string OutcomeText(const Outcome& outcome, const NameForm& nameForm = {});

} // namespace korvane
