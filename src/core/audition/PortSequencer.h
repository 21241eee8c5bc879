#pragma once

#include "audition/CommandSequencer.h"
#include "audition/EventScheduler.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane {

class CMidiOutput;

// The MIDI output ports of every backend RtMidi has (ALSA, JACK), by the names a port setting
// uses.
std::vector<std::string> FindOutputPorts();

// Called on JACK's process thread at the start of every cycle of a port's client, before the
// callback touches anything of the port; nullptr (the default) calls nothing. Lets a test see
// whether JACK still calls the callback while the port closes.
void SetJackCycleHook(void (*hook)());

// Plays the file's events, in time, to a MIDI output port: a keyboard on USB or a synthesizer
// program. The port is found at open by its exact name, else by the first name that contains it.
// A playback thread takes the events from the event scheduler by one steady clock, from the moment
// play started, so that no error builds up from event to event, and checks every quarter second
// that the port is still there; stop ends the thread at once and sends All Notes Off and All
// Sound Off on all sixteen channels. The port stays open for the sequencer's life. A JACK port is
// played through a client of our own rather than RtMidi's, whose close unregisters the port and
// frees its buffers while JACK's process thread may still be in its callback: ours stops the
// callback (deactivates the client) before anything the callback uses goes. ThreadSanitizer cannot
// check a JACK port: libjack is not instrumented, so it reports the writes and reads of JACK's
// lock-free ring as races, and jack_deactivate cancels JACK's process thread asynchronously, which
// can leave the sanitizer's own lock held and hang the process.
class CPortSequencer : public CCommandSequencer {
public:
    explicit CPortSequencer(std::string portName);
    ~CPortSequencer() override;

    // True from play until the last event was sent or the playback was stopped.
    bool IsPlaying() const { return m_playing; }
    // The port went away (or refused a message) since it was opened.
    bool HasLostPort() const { return m_portFailed; }
    // The full name of the port that was opened.
    const std::string& GetOpenedName() const { return m_openedName; }

protected:
    SequencerError OpenFile(const std::string& path, const ByteArray& bytes,
                            const CMidiSequence& sequence) override;
    SequencerError Rewind() override;
    SequencerError Play() override;
    SequencerError Stop() override;
    void CloseFile() override;

private:
    void PlayEvents();
    void JoinPlayback();
    bool PortStillThere() const;
    bool OpenPort();
    void Send(const ByteArray& message);

    std::string m_portName;
    std::string m_openedName; // the full name of the port that was opened
    std::unique_ptr<CMidiOutput> m_pOut;
    CEventScheduler m_schedule; // the playback thread's while it runs

    std::thread m_playback;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_portFailed{false};
    // Whether events went out since the last All Notes Off: a second stop sends nothing.
    bool m_soundedSinceSilence = false;
    // A stop silenced notes that a resume sounds again.
    bool m_silenced = false;
};

} // namespace korvane
