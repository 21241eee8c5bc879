#include "audition/PortSequencer.h"

#include "audition/QuietBackends.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

namespace korvane {
namespace {

constexpr const char* kClientName = "Korvane";

std::atomic<void (*)()> g_jackCycleHook{nullptr};

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

std::vector<std::string> ListPortNames(RtMidiOut& out) {
    std::vector<std::string> names;
    const unsigned count = out.getPortCount();
    for (unsigned i = 0; i < count; ++i)
        names.push_back(out.getPortName(i));
    return names;
}

} // namespace

// An open output port: sends messages, and tells whether the port it sends to is still there.
class CMidiOutput {
public:
    virtual ~CMidiOutput() = default;
    virtual void Send(const ByteArray& message) = 0;
    virtual std::vector<std::string> PortNames() = 0;
};

namespace {

class CRtMidiOutput : public CMidiOutput {
public:
    explicit CRtMidiOutput(std::unique_ptr<RtMidiOut> out) : m_pOut(std::move(out)) {}
    void Send(const ByteArray& message) override {
        m_pOut->sendMessage(message.data(), message.size());
    }
    std::vector<std::string> PortNames() override { return ListPortNames(*m_pOut); }

private:
    std::unique_ptr<RtMidiOut> m_pOut;
};

// A JACK client with one MIDI output port connected to the destination. Messages reach JACK's
// process thread through JACK's lock-free ring; the destructor deactivates the client, which
// waits for the callback to end and keeps it from running again, before the port and the ring go.
class CJackOutput : public CMidiOutput {
public:
    static std::unique_ptr<CJackOutput> Open(const std::string& destination,
                                             std::atomic<bool>* failed) {
        auto output = std::unique_ptr<CJackOutput>(new CJackOutput(failed));
        output->m_pClient = jack_client_open(kClientName, JackNoStartServer, nullptr);
        if (!output->m_pClient)
            return nullptr;
        output->m_pPort = jack_port_register(output->m_pClient, "out", JACK_DEFAULT_MIDI_TYPE,
                                             JackPortIsOutput, 0);
        output->m_pRing = jack_ringbuffer_create(kRingBytes);
        if (!output->m_pPort || !output->m_pRing ||
            jack_set_process_callback(output->m_pClient, &CJackOutput::Process, output.get()) !=
                0 ||
            jack_activate(output->m_pClient) != 0)
            return nullptr;
        output->m_active = true;
        if (jack_connect(output->m_pClient, jack_port_name(output->m_pPort), destination.c_str()) !=
            0)
            return nullptr;
        return output;
    }

    ~CJackOutput() override {
        if (m_active)
            jack_deactivate(m_pClient); // the callback can no longer run after this
        if (m_pClient)
            jack_client_close(m_pClient);
        if (m_pRing)
            jack_ringbuffer_free(m_pRing);
    }

    void Send(const ByteArray& message) override {
        const std::uint32_t size = std::uint32_t(message.size());
        if (jack_ringbuffer_write_space(m_pRing) < sizeof size + size) {
            *m_pFailed = true; // JACK takes nothing: its server has stopped processing
            return;
        }
        jack_ringbuffer_write(m_pRing, reinterpret_cast<const char*>(&size), sizeof size);
        jack_ringbuffer_write(m_pRing, reinterpret_cast<const char*>(message.data()), size);
    }

    std::vector<std::string> PortNames() override {
        std::vector<std::string> names;
        const char** ports =
            jack_get_ports(m_pClient, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
        for (const char** port = ports; port && *port; ++port)
            names.emplace_back(*port);
        if (ports)
            jack_free(ports);
        return names;
    }

private:
    static constexpr std::size_t kRingBytes = 1 << 16;

    explicit CJackOutput(std::atomic<bool>* failed) : m_pFailed(failed) {}

    // JACK's process thread: every whole message waiting goes out at the cycle's start.
    static int Process(jack_nframes_t frames, void* data) {
        if (void (*hook)() = g_jackCycleHook.load())
            hook();
        auto* output = static_cast<CJackOutput*>(data);
        void* buffer = jack_port_get_buffer(output->m_pPort, frames);
        jack_midi_clear_buffer(buffer);
        std::uint32_t size = 0;
        while (jack_ringbuffer_read_space(output->m_pRing) >= sizeof size) {
            jack_ringbuffer_peek(output->m_pRing, reinterpret_cast<char*>(&size), sizeof size);
            if (jack_ringbuffer_read_space(output->m_pRing) < sizeof size + size)
                break;
            jack_midi_data_t* at = jack_midi_event_reserve(buffer, 0, size);
            if (!at)
                break; // the cycle is full: the rest goes in the next
            jack_ringbuffer_read_advance(output->m_pRing, sizeof size);
            jack_ringbuffer_read(output->m_pRing, reinterpret_cast<char*>(at), size);
        }
        return 0;
    }

    std::atomic<bool>* m_pFailed;
    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pPort = nullptr;
    jack_ringbuffer_t* m_pRing = nullptr;
    bool m_active = false;
};

} // namespace

void SetJackCycleHook(void (*hook)()) {
    g_jackCycleHook = hook;
}

std::vector<std::string> FindOutputPorts() {
    std::vector<std::string> ports;
    for (RtMidi::Api api : Backends()) {
        if (auto out = MakeOutput(api, nullptr)) {
            for (std::string& name : ListPortNames(*out))
                ports.push_back(std::move(name));
        }
    }
    return ports;
}

CPortSequencer::CPortSequencer(std::string portName) : m_portName(std::move(portName)) {}

CPortSequencer::~CPortSequencer() {
    CloseFile();
}

// Opens the port the setting names, or keeps the one already open when it is still there and
// still the one the setting finds.
bool CPortSequencer::OpenPort() {
    if (m_pOut && !m_portFailed && PortStillThere() &&
        (m_openedName == m_portName || m_openedName.find(m_portName) != std::string::npos))
        return true;
    m_pOut.reset();
    m_openedName.clear();
    // Exact names first, on every backend; then the first name that contains the setting.
    for (const bool exact : {true, false}) {
        for (RtMidi::Api api : Backends()) {
            auto out = MakeOutput(api, &m_portFailed);
            if (!out)
                continue;
            const auto names = ListPortNames(*out);
            for (unsigned i = 0; i < names.size(); ++i) {
                const bool match =
                    exact ? names[i] == m_portName : names[i].find(m_portName) != std::string::npos;
                if (!match)
                    continue;
                m_portFailed = false;
                std::unique_ptr<CMidiOutput> opened;
                if (api == RtMidi::UNIX_JACK) {
                    out.reset(); // its client is not needed to play
                    opened = CJackOutput::Open(names[i], &m_portFailed);
                } else {
                    out->openPort(i, kClientName);
                    if (out->isPortOpen() && !m_portFailed)
                        opened = std::make_unique<CRtMidiOutput>(std::move(out));
                }
                if (!opened || m_portFailed) {
                    Fail(SequencerError::NoPort,
                         "the MIDI output port " + names[i] + " cannot be opened");
                    return false;
                }
                m_openedName = names[i];
                m_pOut = std::move(opened);
                // JACK routes a new connection from one of its next cycles on; what is sent
                // before that is lost, so the first events would not sound.
                if (api == RtMidi::UNIX_JACK)
                    std::this_thread::sleep_for(std::chrono::milliseconds(40));
                return true;
            }
        }
    }
    Fail(SequencerError::NoPort, "no MIDI output port named " + m_portName);
    return false;
}

SequencerError CPortSequencer::OpenFile(const std::string&, const ByteArray&,
                                        const CMidiSequence& sequence) {
    CloseFile();
    if (m_portName.empty())
        return Fail(SequencerError::NoPort, "no MIDI output port is set");
    if (!OpenPort())
        return SequencerError::NoPort;
    m_schedule.SetSequence(sequence);
    m_silenced = false;
    return SequencerError::None;
}

bool CPortSequencer::PortStillThere() const {
    if (m_portFailed || !m_pOut)
        return false;
    const std::vector<std::string> names = m_pOut->PortNames();
    return std::find(names.begin(), names.end(), m_openedName) != names.end();
}

SequencerError CPortSequencer::Rewind() {
    JoinPlayback();
    m_schedule.Rewind();
    m_silenced = false;
    if (!PortStillThere())
        return Fail(SequencerError::PortGone, "the MIDI output port " + m_openedName + " has gone");
    return SequencerError::None;
}

SequencerError CPortSequencer::Play() {
    JoinPlayback();
    if (!m_pOut)
        return Fail(SequencerError::NotOpen, "no music file is open");
    if (m_portFailed)
        return Fail(SequencerError::PortGone, "the MIDI output port " + m_openedName + " has gone");
    if (m_silenced) {
        // A resume after a stop: the notes the stop cut sound again.
        for (const CMidiEvent& note : m_schedule.SoundingNotes())
            Send(note.bytes);
        m_silenced = false;
    }
    m_schedule.SetRepeat(IsRepeating());
    m_stopRequested = false;
    m_playing = true;
    m_playback = std::thread(&CPortSequencer::PlayEvents, this);
    return SequencerError::None;
}

void CPortSequencer::PlayEvents() {
    using Clock = std::chrono::steady_clock;
    auto since = [](Clock::time_point origin) {
        return std::chrono::duration<double>(Clock::now() - origin).count();
    };
    const auto origin =
        Clock::now() - std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(m_schedule.ReachedSeconds()));
    constexpr auto kPortCheck = std::chrono::milliseconds(250);
    auto nextCheck = Clock::now() + kPortCheck;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_schedule.Finished()) {
        const auto due = origin + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(m_schedule.NextDue()));
        if (m_wake.wait_until(lock, std::min(due, nextCheck), [this] { return m_stopRequested; }))
            break;
        if (Clock::now() >= nextCheck) {
            nextCheck = Clock::now() + kPortCheck;
            if (!PortStillThere()) {
                m_portFailed = true;
                break;
            }
        }
        m_schedule.TakeDue(since(origin), [this](const CMidiEvent& event) {
            Send(event.bytes);
            m_soundedSinceSilence = true;
        });
    }
    m_playing = false;
}

void CPortSequencer::Send(const ByteArray& message) {
    m_pOut->Send(message);
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
        m_silenced = true;
        for (std::uint8_t channel = 0; channel < 16; ++channel) {
            Send({std::uint8_t(0xB0 | channel), 123, 0}); // All Notes Off
            Send({std::uint8_t(0xB0 | channel), 120, 0}); // All Sound Off
        }
    }
    return SequencerError::None;
}

void CPortSequencer::CloseFile() {
    // The port stays open (see the class comment); the next open uses it again.
    Stop();
}

} // namespace korvane
