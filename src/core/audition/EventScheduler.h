#pragma once

#include "audition/MidiFile.h"

#include <algorithm>
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
    // Takes the events of sequence, leaving the old ones there, and rewinds: the audio thread
    // takes a new file without freeing the old one's memory.
    void SwapSequence(CMidiSequence& sequence);
    // Back to the first event at time 0.
    void Rewind();
    // Repeating: once the sequence's whole length has passed, it starts over from its first
    // event, until rewound or set off. Times stay counted from the first pass's start. A sequence
    // shorter than kShortestRepeat plays once, so that no file can make a pass flood the output.
    void SetRepeat(bool repeat) { m_repeat = repeat; }
    static constexpr double kShortestRepeat = 0.1;

    // Hands every event due before untilSeconds (from the playback's start) to send, in file
    // order, and moves past them, starting over at the end when repeating; the time reached
    // becomes untilSeconds.
    template <typename Send> void TakeDue(double untilSeconds, Send&& send) {
        const std::vector<CMidiEvent>& events = m_sequence.events;
        for (;;) {
            while (m_nextEvent < events.size() &&
                   m_passStart + events[m_nextEvent].seconds < untilSeconds)
                send(events[m_nextEvent++]);
            if (m_nextEvent < events.size() || !Repeats() ||
                m_passStart + m_sequence.duration > untilSeconds)
                break;
            m_passStart += m_sequence.duration;
            m_nextEvent = 0;
        }
        m_reachedSeconds = std::max(m_reachedSeconds, untilSeconds);
    }

    // The time of the next event to send; the end of the pass once all were sent.
    double NextDue() const;
    // All events sent, and no pass to follow.
    bool Finished() const { return m_nextEvent >= m_sequence.events.size() && !Repeats(); }
    double ReachedSeconds() const { return m_reachedSeconds; }
    const CMidiSequence& Sequence() const { return m_sequence; }

    // The note-ons of the notes that sound at the position reached: what a resume after a stop
    // (which silenced every channel) sends again, so that a stop and play in one instant cuts
    // no note.
    std::vector<CMidiEvent> SoundingNotes() const;

private:
    bool Repeats() const {
        return m_repeat && !m_sequence.events.empty() && m_sequence.duration >= kShortestRepeat;
    }

    CMidiSequence m_sequence;
    std::size_t m_nextEvent = 0;
    double m_reachedSeconds = 0.0;
    double m_passStart = 0.0; // where the pass being played started
    bool m_repeat = false;
};

} // namespace korvane
