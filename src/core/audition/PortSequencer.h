#pragma once

#include "audition/CommandSequencer.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class RtMidiOut;

namespace korvane {

// The MIDI output ports of every backend RtMidi has (ALSA, JACK), by the names a port setting
// uses.
std::vector<std::string> FindOutputPorts();

// Plays the file's events, in time, to a MIDI output port: a keyboard on USB or a synthesizer
// program. The port is found at open by its exact name, else by the first name that contains it.
// A playback thread times every event from one steady clock, from the moment play started, so
// that no error builds up from event to event; stop ends the thread at once and sends All Notes
// Off and All Sound Off on all sixteen channels.
class CPortSequencer : public CCommandSequencer {
public:
    explicit CPortSequencer(std::string portName);
    ~CPortSequencer() override;

    // True from play until the last event was sent or the playback was stopped.
    bool IsPlaying() const { return m_playing; }

protected:
    SequencerError OpenFile(const std::string& path, const ByteArray& bytes,
                            const CMidiSequence& sequence) override;
    SequencerError Rewind() override;
    SequencerError Play() override;
    SequencerError Stop() override;
    void CloseFile() override;

private:
    void PlayEvents(std::size_t first, double startSeconds);
    void JoinPlayback();
    bool PortStillThere() const;
    void Send(const ByteArray& message);

    std::string m_portName;
    std::string m_openedName; // the full name of the port that was opened
    std::unique_ptr<RtMidiOut> m_pOut;
    CMidiSequence m_sequence;

    std::thread m_playback;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_portFailed{false};
    // Whether events went out since the last All Notes Off: a second stop sends nothing.
    bool m_soundedSinceSilence = false;
    // Where a stopped playback stands: the next event and the time it had reached.
    std::size_t m_nextEvent = 0;
    double m_reachedSeconds = 0.0;
};

} // namespace korvane
