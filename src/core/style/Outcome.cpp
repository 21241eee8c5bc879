#include "style/Outcome.h"

#include "platform/ErrorCode.h"
#include "platform/Paths.h"

namespace korvane {

bool IsNotAStyle(Failure failure) {
    return failure == Failure::NotAStyle || failure == Failure::Type1Midi ||
           failure == Failure::MultitrackMidi || failure == Failure::NonStyleMidi;
}

std::string OutcomeText(const Outcome& outcome, const NameForm& nameForm) {
    auto name = [&](const std::string& text) { return nameForm ? nameForm(text) : text; };
    const std::string path = name(outcome.path);
    const std::string file = name(FileNameOfPath(outcome.path));
    const std::string code = "(" + ErrorCodeText(outcome.errorCode) + ")";
    switch (outcome.failure) {
    case Failure::None:
    case Failure::Exists:
        return std::string();
    case Failure::NotRegularFile:
    case Failure::CannotOpen:
    case Failure::CannotCreate:
        return "Cannot open file " + path + ". " + code;
    case Failure::NotAStyle:
        return path + " is not a style file (MThd missing).";
    case Failure::Type1Midi:
        return "This is a Type 1 MIDI File.\nCannot process further.";
    case Failure::MultitrackMidi:
        return "This is a multitrack MIDI File.\nCannot process further.";
    case Failure::NoTrack:
        return "No track tag.\n";
    case Failure::NonStyleMidi:
        return "Non-style MIDI File.\nCannot process further.";
    case Failure::NoCasm:
        return "Unable to locate CASM segment.\nFile " + file + " may be corrupted.";
    case Failure::CsegWithoutSdec:
        return "CSEG missing.";
    case Failure::Damaged:
        return "File " + file +
               " is damaged: it ends in the middle of its data.\nCannot process "
               "further.";
    case Failure::CannotConvertSff2: {
        const std::string channel = outcome.channel == 0
                                        ? std::string("a record too short to name its channel")
                                        : "channel " + std::to_string(outcome.channel) + " \"" +
                                              name(outcome.channelName) + "\"";
        return "File " + file + " cannot be converted to SFF1: CSEG \"" + name(outcome.sections) +
               "\", " + channel + ": " + outcome.reason + ".\nCannot process further.";
    }
    case Failure::OutOfMemoryReading:
        return "Not enough memory to read file " + path + ".\nCannot process further.";
    case Failure::NoSectionMatches:
        return "No section of this style matches a slot of the model.";
    case Failure::NothingAssigned:
        return "You have not assigned anything to save.";
    case Failure::NoSuchSection:
        return path + " has no section '" + name(outcome.name) + "' among its first 16.";
    case Failure::NoSuchSlot:
        return "The model has no slot '" + name(outcome.name) + "'.";
    case Failure::ResolutionUnchangeable:
        return "Cannot write " + path + " at " + std::to_string(outcome.resolution) +
               " pulses per quarter note: " + outcome.reason + ".\nNo file was written.";
    case Failure::OutOfMemoryWriting:
        return "Not enough memory to write file " + path + ".\nNo file was changed.";
    case Failure::WriteFailed:
        return "Cannot write file " + path + ". " + code +
               "\nThe disk may be full or protected; no file was changed.";
    case Failure::StandardOutputFailed:
        return "Cannot write to standard output. " + code;
    case Failure::OutOfMemory:
        return "Not enough memory to convert this file.";
    }
    return std::string();
}

void ShowOutcome(IMessageBox& messages, const Outcome& outcome) {
    messages.Show(OutcomeText(outcome), "Sorry...",
                  outcome.failure == Failure::ResolutionUnchangeable ? MessageIcon::Exclamation
                                                                     : MessageIcon::None,
                  MessageButtons::Ok);
}

} // namespace korvane
