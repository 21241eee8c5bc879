#pragma once

#include "platform/MessageBox.h"
#include "platform/Sequencer.h"

#include <string>

namespace korvane {

// The player: drives the sequencer under the one alias "MIDPLAY_MIDI" and keeps the two flags of
// the audition. The open, the seek and the first failed play of a loaded file tell the user about
// a failure; stop and close fail silently and leave the flags as they were.
class CMidPlay {
public:
    static constexpr const char* kAlias = "MIDPLAY_MIDI";
    static constexpr const char* kCaption = "MidPlay";

    CMidPlay(ISequencer& sequencer, IMessageBox& messages)
        : m_pSequencer(&sequencer), m_messages(messages) {}

    // Another sequencer for what follows (the window's tests record the commands).
    void SetSequencer(ISequencer& sequencer) { m_pSequencer = &sequencer; }

    // Sends command; on failure, when report is on, shows "failure text(reason)" in a "MidPlay"
    // box, the reason being "we don't know why!" when the sequencer has none.
    bool Send(const std::string& command, const std::string& failureText, bool report);
    // Closes a loaded file, opens path, then rewinds and starts it.
    bool Load(const std::string& path);
    bool Rewind();
    bool Start();
    bool Halt();
    bool Close();

    bool IsOpen() const { return m_open; }
    bool IsStarted() const { return m_started; }
    // Pause marks the file as loaded so that the next Play only rewinds and starts it.
    void SetStarted(bool started) { m_started = started; }
    // Whether playing starts over at the end until stopped ("play ... repeat notify").
    void SetRepeat(bool repeat) { m_repeat = repeat; }
    bool IsRepeating() const { return m_repeat; }

private:
    bool SendStop() { return Send(std::string("stop ") + kAlias + " wait", "", false); }

    ISequencer* m_pSequencer;
    IMessageBox& m_messages;
    bool m_open = false;
    bool m_started = false;
    bool m_repeat = false;
    bool m_playFailureShown = false;
};

} // namespace korvane
