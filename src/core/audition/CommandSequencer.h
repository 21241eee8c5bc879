#pragma once

#include "audition/MidiFile.h"
#include "platform/Sequencer.h"

#include <optional>
#include <string>

namespace korvane {

// What a sequencer command ended with; the numbers are the codes SendCommand returns.
enum class SequencerError {
    None = 0,
    UnknownCommand = 1,
    NotOpen = 2,
    UnreadableFile = 3,
    NotMidiFile = 4,
    NoSoundfont = 5,
    NoAudioOutput = 6,
    NoPort = 7,
    PortGone = 8,
    Failed = 9,
    NoAudioModule = 10, // the module that holds the real sequencers could not be loaded
    Stalled = 11,       // the synthesizer stopped making progress
};

// The part every real sequencer shares: it reads the command strings, loads the file named by
// "open" (a regular file, at most a few megabytes, parsed as a MIDI file) and hands the
// operations to the implementation. The path is everything between "sequencer!" and the last
// " alias ", so folders with spaces work. The reason of the last failure is kept for
// GetErrorText.
class CCommandSequencer : public ISequencer {
public:
    int SendCommand(const std::string& command) override;
    std::optional<std::string> GetErrorText(int code) override;

protected:
    // Each returns None or a failure, after setting its reason through Fail.
    virtual SequencerError OpenFile(const std::string& path, const ByteArray& bytes,
                                    const CMidiSequence& sequence) = 0;
    virtual SequencerError Rewind() = 0;
    virtual SequencerError Play() = 0;
    virtual SequencerError Stop() = 0;
    virtual void CloseFile() = 0;

    SequencerError Fail(SequencerError error, const std::string& reason);
    // Whether the last play asked to start over at the end until stopped ("play ALIAS repeat").
    bool IsRepeating() const { return m_repeat; }

private:
    SequencerError Run(const std::string& command);

    std::string m_alias; // the alias of the open file; empty when none is open
    bool m_repeat = false;
    SequencerError m_lastError = SequencerError::None;
    std::string m_lastReason;
};

// The largest file the sequencers load; styles are tens of kilobytes.
constexpr std::size_t kMaxMidiFileBytes = 16u << 20;

} // namespace korvane
