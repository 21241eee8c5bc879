#include "audition/EventScheduler.h"

#include <algorithm>
#include <array>
#include <optional>

namespace korvane {

void CEventScheduler::SetSequence(CMidiSequence sequence) {
    m_sequence = std::move(sequence);
    Rewind();
}

void CEventScheduler::SwapSequence(CMidiSequence& sequence) {
    std::swap(m_sequence, sequence);
    Rewind();
}

void CEventScheduler::Rewind() {
    m_nextEvent = 0;
    m_reachedSeconds = 0.0;
    m_passStart = 0.0;
}

double CEventScheduler::NextDue() const {
    return m_passStart + (m_nextEvent >= m_sequence.events.size()
                              ? m_sequence.duration
                              : m_sequence.events[m_nextEvent].seconds);
}

std::vector<CMidiEvent> CEventScheduler::SoundingNotes() const {
    // Per channel and key, the note-on that still sounds.
    std::array<std::array<std::optional<std::size_t>, 128>, 16> sounding;
    for (std::size_t i = 0; i < m_nextEvent; ++i) {
        const ByteArray& bytes = m_sequence.events[i].bytes;
        if (bytes.size() < 3 || bytes[1] > 127)
            continue;
        const std::uint8_t kind = bytes[0] & 0xF0;
        if (kind == 0x90 && bytes[2] != 0)
            sounding[bytes[0] & 0x0F][bytes[1]] = i;
        else if (kind == 0x80 || kind == 0x90)
            sounding[bytes[0] & 0x0F][bytes[1]].reset();
    }
    std::vector<std::size_t> indices;
    for (const auto& channel : sounding) {
        for (const auto& note : channel) {
            if (note)
                indices.push_back(*note);
        }
    }
    std::sort(indices.begin(), indices.end());
    std::vector<CMidiEvent> notes;
    for (std::size_t i : indices)
        notes.push_back(m_sequence.events[i]);
    return notes;
}

} // namespace korvane
