#pragma once

#include "audition/MidiFile.h"

#include <cstddef>
#include <vector>

namespace korvane {

// Where the playback of a sequence stands: the one clock both outputs play by. The synthesizer
// asks for the events due before the end of each audio block it renders, the port's playback
// thread for those due by its steady clock; so both send the same events at the same times.
class CEventScheduler {
public:
    // Takes the events to play and rewinds.
    void SetSequence(CMidiSequence sequence);
    // Back to the first event at time 0.
    void Rewind();

    // Hands every event due before untilSeconds (from the file's start) to send, in file order,
    // and moves past them; the time reached becomes untilSeconds.
    template <typename Send> void TakeDue(double untilSeconds, Send&& send) {
        const std::vector<CMidiEvent>& events = m_sequence.events;
        while (m_nextEvent < events.size() && events[m_nextEvent].seconds < untilSeconds)
            send(events[m_nextEvent++]);
        if (untilSeconds > m_reachedSeconds)
            m_reachedSeconds = untilSeconds;
    }

    // The time of the next event to send; the sequence's duration once all were sent.
    double NextDue() const;
    bool Finished() const { return m_nextEvent >= m_sequence.events.size(); }
    double ReachedSeconds() const { return m_reachedSeconds; }
    const CMidiSequence& Sequence() const { return m_sequence; }

    // The note-ons of the notes that sound at the position reached: what a resume after a stop
    // (which silenced every channel) sends again, so that a stop and play in one instant cuts
    // no note.
    std::vector<CMidiEvent> SoundingNotes() const;

private:
    CMidiSequence m_sequence;
    std::size_t m_nextEvent = 0;
    double m_reachedSeconds = 0.0;
};

} // namespace korvane
