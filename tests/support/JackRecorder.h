#pragma once

#include "style/ByteTypes.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace korvane::testing {

// A message a MIDI input port received, and when: the moment the cycle that brought it ran, in
// seconds of the steady clock, which the port sequencer plays by. (The dummy backend's frames
// need not keep pace with it on a loaded machine.)
struct Arrival {
    double seconds;
    ByteArray bytes;
};

// A keyboard on the test's JACK server: the client "KorvaneRecorder" (or another name) with the
// MIDI input port "record", keeping every message that arrives. Unplug takes the client away as a
// keyboard's goes; the client is deactivated first, so that its process callback has ended before
// the port is freed (RtMidi's input frees its port while its callback may still read it, and
// crashes now and then).
class CJackRecorder {
public:
    explicit CJackRecorder(const char* client = "KorvaneRecorder") {
        m_client = jack_client_open(client, JackNoStartServer, nullptr);
        if (!m_client)
            return;
        m_port = jack_port_register(m_client, "record", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        if (!m_port || jack_set_process_callback(m_client, &CJackRecorder::Process, this) != 0 ||
            jack_activate(m_client) != 0)
            Unplug();
    }
    ~CJackRecorder() { Unplug(); }
    CJackRecorder(const CJackRecorder&) = delete;
    CJackRecorder& operator=(const CJackRecorder&) = delete;

    bool IsPlugged() const { return m_client != nullptr; }
    void Unplug() {
        if (!m_client)
            return;
        jack_deactivate(m_client);
        jack_client_close(m_client);
        m_client = nullptr;
        m_port = nullptr;
    }
    std::vector<Arrival> Arrivals() const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_arrivals;
    }

private:
    static int Process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<CJackRecorder*>(data);
        void* buffer = jack_port_get_buffer(self->m_port, frames);
        const double now =
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
        const std::lock_guard<std::mutex> lock(self->m_mutex);
        for (std::uint32_t i = 0, count = jack_midi_get_event_count(buffer); i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) == 0)
                self->m_arrivals.push_back(
                    {now, ByteArray(event.buffer, event.buffer + event.size)});
        }
        return 0;
    }

    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    mutable std::mutex m_mutex;
    std::vector<Arrival> m_arrivals;
};

} // namespace korvane::testing
