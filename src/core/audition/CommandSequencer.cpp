#include "audition/CommandSequencer.h"

#include <algorithm>
#include <sstream>
#include <vector>

namespace korvane {
namespace {

constexpr const char* kOpenPrefix = "open sequencer!";
constexpr const char* kAliasWord = " alias ";

std::vector<std::string> Words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

std::string FixedText(SequencerError error) {
    switch (error) {
    case SequencerError::None:
        return "no error";
    case SequencerError::UnknownCommand:
        return "the sequencer does not know this command";
    case SequencerError::NotOpen:
        return "no music file is open";
    case SequencerError::UnreadableFile:
        return "the music file cannot be read";
    case SequencerError::NotMidiFile:
        return "not a MIDI file";
    case SequencerError::NoSoundfont:
        return "no soundfont found";
    case SequencerError::NoAudioOutput:
        return "no audio output could be started";
    case SequencerError::NoPort:
        return "the MIDI output port was not found";
    case SequencerError::PortGone:
        return "the MIDI output port has gone";
    case SequencerError::Failed:
        return "the sequencer failed";
    case SequencerError::NoAudioModule:
        return "the audio module could not be loaded";
    case SequencerError::Stalled:
        return "the synthesizer stopped making progress";
    }
    return {};
}

} // namespace

SequencerError CCommandSequencer::Fail(SequencerError error, const std::string& reason) {
    m_lastError = error;
    m_lastReason = reason;
    return error;
}

// Nothing thrown in a sequencer leaves it: the sequencers live in the audio module, and a program
// that carries its own C++ runtime cannot catch what the module's runtime throws. A command that
// ran out of memory has failed, without a reason of its own.
int CCommandSequencer::SendCommand(const std::string& command) try {
    return int(Run(command));
} catch (...) {
    m_lastError = SequencerError::Failed;
    m_lastReason.clear();
    return int(SequencerError::Failed);
}

std::optional<std::string> CCommandSequencer::GetErrorText(int code) try {
    if (code == int(m_lastError) && !m_lastReason.empty())
        return m_lastReason;
    if (code <= int(SequencerError::None) || code > int(SequencerError::Stalled))
        return std::nullopt;
    return FixedText(SequencerError(code));
} catch (...) {
    return std::nullopt;
}

SequencerError CCommandSequencer::Run(const std::string& command) {
    if (command.rfind(kOpenPrefix, 0) == 0) {
        const std::size_t aliasAt = command.rfind(kAliasWord);
        if (aliasAt == std::string::npos || aliasAt < std::string(kOpenPrefix).size())
            return Fail(SequencerError::UnknownCommand, FixedText(SequencerError::UnknownCommand));
        const std::string path = command.substr(15, aliasAt - 15);
        const auto rest = Words(command.substr(aliasAt + 7));
        if (rest.empty())
            return Fail(SequencerError::UnknownCommand, FixedText(SequencerError::UnknownCommand));
        if (!m_alias.empty()) {
            CloseFile(); // a second open replaces the first, as a reopened alias would
            m_alias.clear();
        }
        std::string problem;
        const auto bytes = ReadMidiFileBytes(path, kMaxMidiFileBytes, problem);
        if (!bytes)
            return Fail(SequencerError::UnreadableFile, problem);
        const auto sequence = ParseMidiFile(*bytes, problem);
        if (!sequence)
            return Fail(SequencerError::NotMidiFile, path + " is " + problem);
        if (const SequencerError error = OpenFile(path, *bytes, *sequence);
            error != SequencerError::None)
            return error;
        m_alias = rest.front();
        return SequencerError::None;
    }

    const auto words = Words(command);
    if (words.size() < 2)
        return Fail(SequencerError::UnknownCommand, FixedText(SequencerError::UnknownCommand));
    const std::string& verb = words[0];
    if (m_alias.empty() || words[1] != m_alias)
        return Fail(SequencerError::NotOpen, FixedText(SequencerError::NotOpen));
    if (verb == "seek" && words.size() >= 4 && words[2] == "to" && words[3] == "start")
        return Rewind();
    if (verb == "play") {
        m_repeat = std::find(words.begin() + 2, words.end(), "repeat") != words.end();
        return Play();
    }
    if (verb == "stop")
        return Stop();
    if (verb == "close") {
        CloseFile();
        m_alias.clear();
        return SequencerError::None;
    }
    return Fail(SequencerError::UnknownCommand, FixedText(SequencerError::UnknownCommand));
}

} // namespace korvane
