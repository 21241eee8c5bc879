#include "audition/PortSequencer.h"

#include "audition/QuietBackends.h"

#include <rtmidi/RtMidi.h>

#include <chrono>
#include <iostream>
#include <thread>

namespace korvane {
namespace {

constexpr const char* kClientName = "Korvane";

void IgnoreRtMidiError(RtMidiError::Type, const std::string&, void* failed) {
    // Without a callback RtMidi throws or prints; a failed send only marks the port as failed.
    if (failed)
        static_cast<std::atomic<bool>*>(failed)->store(true);
}

std::vector<RtMidi::Api> Backends() {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return apis;
}

// A sender on one backend, or nothing when the backend cannot start (no ALSA sequencer, no JACK
// server).
std::unique_ptr<RtMidiOut> MakeOutput(RtMidi::Api api, std::atomic<bool>* failed) {
    QuietSoundBackends();
    // RtMidi prints a backend that cannot start before it throws; the caller only skips it.
    std::streambuf* const errors = std::cerr.rdbuf(nullptr);
    struct Restore {
        std::streambuf* errors;
        ~Restore() { std::cerr.rdbuf(errors); }
    } restore{errors};
    try {
        auto out = std::make_unique<RtMidiOut>(api, kClientName);
        out->setErrorCallback(IgnoreRtMidiError, failed);
        return out;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

std::vector<std::string> PortNames(RtMidiOut& out) {
    std::vector<std::string> names;
    const unsigned count = out.getPortCount();
    for (unsigned i = 0; i < count; ++i)
        names.push_back(out.getPortName(i));
    return names;
}

} // namespace

std::vector<std::string> FindOutputPorts() {
    std::vector<std::string> ports;
    for (RtMidi::Api api : Backends()) {
        if (auto out = MakeOutput(api, nullptr)) {
            for (std::string& name : PortNames(*out))
                ports.push_back(std::move(name));
        }
    }
    return ports;
}

CPortSequencer::CPortSequencer(std::string portName) : m_portName(std::move(portName)) {}

CPortSequencer::~CPortSequencer() {
    CloseFile();
}

SequencerError CPortSequencer::OpenFile(const std::string&, const ByteArray&,
                                        const CMidiSequence& sequence) {
    CloseFile();
    if (m_portName.empty())
        return Fail(SequencerError::NoPort, "no MIDI output port is set");
    // Exact names first, on every backend; then the first name that contains the setting.
    for (int pass = 0; pass < 2 && !m_pOut; ++pass) {
        for (RtMidi::Api api : Backends()) {
            auto out = MakeOutput(api, &m_portFailed);
            if (!out)
                continue;
            const auto names = PortNames(*out);
            for (unsigned i = 0; i < names.size(); ++i) {
                const bool match = pass == 0 ? names[i] == m_portName
                                             : names[i].find(m_portName) != std::string::npos;
                if (!match)
                    continue;
                m_portFailed = false;
                out->openPort(i, kClientName);
                if (!out->isPortOpen() || m_portFailed)
                    return Fail(SequencerError::NoPort,
                                "the MIDI output port " + names[i] + " cannot be opened");
                m_openedName = names[i];
                m_pOut = std::move(out);
                // JACK routes a new connection from one of its next cycles on; what is sent
                // before that is lost, so the first events would not sound.
                if (api == RtMidi::UNIX_JACK)
                    std::this_thread::sleep_for(std::chrono::milliseconds(40));
                break;
            }
            if (m_pOut)
                break;
        }
    }
    if (!m_pOut)
        return Fail(SequencerError::NoPort, "no MIDI output port named " + m_portName);
    m_sequence = sequence;
    m_nextEvent = 0;
    m_reachedSeconds = 0.0;
    return SequencerError::None;
}

bool CPortSequencer::PortStillThere() const {
    if (m_portFailed)
        return false;
    for (const std::string& name : FindOutputPorts()) {
        if (name == m_openedName)
            return true;
    }
    return false;
}

SequencerError CPortSequencer::Rewind() {
    JoinPlayback();
    m_nextEvent = 0;
    m_reachedSeconds = 0.0;
    if (!PortStillThere())
        return Fail(SequencerError::PortGone, "the MIDI output port " + m_openedName + " has gone");
    return SequencerError::None;
}

SequencerError CPortSequencer::Play() {
    JoinPlayback();
    if (m_portFailed)
        return Fail(SequencerError::PortGone, "the MIDI output port " + m_openedName + " has gone");
    m_stopRequested = false;
    m_playing = true;
    m_playback = std::thread(&CPortSequencer::PlayEvents, this, m_nextEvent, m_reachedSeconds);
    return SequencerError::None;
}

void CPortSequencer::PlayEvents(std::size_t first, double startSeconds) {
    using Clock = std::chrono::steady_clock;
    const auto origin = Clock::now() - std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(startSeconds));
    std::size_t next = first;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (next < m_sequence.events.size()) {
        const CMidiEvent& event = m_sequence.events[next];
        const auto due = origin + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(event.seconds));
        if (m_wake.wait_until(lock, due, [this] { return m_stopRequested; }))
            break;
        Send(event.bytes);
        m_soundedSinceSilence = true;
        ++next;
    }
    m_nextEvent = next;
    m_reachedSeconds = std::chrono::duration<double>(Clock::now() - origin).count();
    m_playing = false;
}

void CPortSequencer::Send(const ByteArray& message) {
    m_pOut->sendMessage(message.data(), message.size());
}

void CPortSequencer::JoinPlayback() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    if (m_playback.joinable())
        m_playback.join();
    m_playing = false;
}

SequencerError CPortSequencer::Stop() {
    JoinPlayback();
    if (m_pOut && m_soundedSinceSilence) {
        m_soundedSinceSilence = false;
        for (std::uint8_t channel = 0; channel < 16; ++channel) {
            Send({std::uint8_t(0xB0 | channel), 123, 0}); // All Notes Off
            Send({std::uint8_t(0xB0 | channel), 120, 0}); // All Sound Off
        }
    }
    return SequencerError::None;
}

void CPortSequencer::CloseFile() {
    if (!m_pOut)
        return;
    Stop();
    m_pOut->closePort();
    m_pOut.reset();
}

} // namespace korvane
