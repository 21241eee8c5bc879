#include "audition/MidPlay.h"

namespace korvane {

bool CMidPlay::Send(const std::string& command, const std::string& failureText, bool report) {
    const int error = m_pSequencer->SendCommand(command);
    if (error == 0)
        return true;
    if (report) {
        const auto reason = m_pSequencer->GetErrorText(error);
        m_messages.Show(failureText + "(" + (reason ? *reason : "we don't know why!") + ")",
                        kCaption, MessageIcon::Exclamation, MessageButtons::Ok);
    }
    return false;
}

bool CMidPlay::Load(const std::string& path) {
    if (m_open) {
        SendStop();
        Send(std::string("close ") + kAlias + " wait", "", false);
    }
    if (!Send("open sequencer!" + path + " alias " + kAlias + " wait", "Couldn't load music file",
              true))
        return false;
    m_open = true;
    m_started = false;
    m_playFailureShown = false;
    Rewind();
    Start();
    return true;
}

bool CMidPlay::Rewind() {
    if (!m_open)
        return true;
    return Send(std::string("seek ") + kAlias + " to start wait", "Couldn't rewind music", true);
}

bool CMidPlay::Start() {
    if (!m_open)
        return true;
    if (m_started && SendStop())
        m_started = false;
    // A play that fails means silence: said once for each loaded file.
    if (!Send(std::string("play ") + kAlias + (m_repeat ? " repeat notify" : " notify"),
              "Couldn't play music", !m_playFailureShown)) {
        m_playFailureShown = true;
        return false;
    }
    m_started = true;
    return true;
}

bool CMidPlay::Halt() {
    if (!m_open || !m_started)
        return true;
    if (!SendStop())
        return false;
    m_started = false;
    return true;
}

bool CMidPlay::Close() {
    if (!m_open)
        return true;
    if (m_started && SendStop())
        m_started = false;
    if (!Send(std::string("close ") + kAlias, "", false))
        return false;
    m_open = false;
    return true;
}

} // namespace korvane
