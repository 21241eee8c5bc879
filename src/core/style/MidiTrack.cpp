#include "style/MidiTrack.h"

namespace korvane {

bool ReadVariableLength(ByteSpan bytes, std::size_t& at, std::uint32_t& value) {
    std::uint32_t sum = 0;
    for (std::size_t i = at; i < bytes.size() && i < at + 4; ++i) {
        sum = (sum << 7) | (bytes[i] & 0x7Fu);
        if ((bytes[i] & 0x80) == 0) {
            value = sum;
            at = i + 1;
            return true;
        }
    }
    return false; // cut off, or a fifth byte would go past 28 bits
}

VariableLengthBytes EncodeVariableLength(std::uint32_t value) {
    std::uint8_t groups[4];
    std::size_t count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value && count < 4);
    VariableLengthBytes out;
    while (count > 1)
        out.bytes[out.size++] = groups[--count] | 0x80;
    out.bytes[out.size++] = groups[0];
    return out;
}

void AppendVariableLength(ByteArray& out, std::uint32_t value) {
    const VariableLengthBytes encoded = EncodeVariableLength(value);
    out.insert(out.end(), encoded.begin(), encoded.end());
}

int ChannelDataLength(std::uint8_t status) {
    switch (status & 0xF0) {
    case 0x80:
    case 0x90:
    case 0xA0:
    case 0xB0:
    case 0xE0:
        return 2;
    case 0xC0:
    case 0xD0:
        return 1;
    default:
        return 0;
    }
}

bool CTrackWalker::Fail(TrackProblem problem, std::size_t at, std::uint8_t byte) {
    m_problem = problem;
    m_problemAt = at;
    m_problemByte = byte;
    return false;
}

bool CTrackWalker::StepOverDamagedMessage() {
    if (m_problem != TrackProblem::StatusAsData)
        return false;
    m_problem = TrackProblem::None;
    m_at = m_damagedEnd;
    m_tick = m_damagedTick;
    return true;
}

bool CTrackWalker::Next(TrackEvent& event) {
    if (m_problem != TrackProblem::None || m_at == m_track.size())
        return false;
    const std::size_t size = m_track.size();
    std::size_t at = m_at;
    std::uint32_t delta = 0;
    if (!ReadVariableLength(m_track, at, delta))
        return Fail(TrackProblem::CutDeltaTime, m_at);
    event = TrackEvent{};
    event.deltaOffset = m_at;
    event.deltaTime = delta;
    event.tick = m_tick + delta;
    event.offset = at;
    if (at == size)
        return Fail(TrackProblem::LongerThanTrack, at);

    const std::uint8_t first = m_track[at];
    std::uint8_t status = first;
    if (first < 0x80) {
        if (!m_runningStatus)
            return Fail(TrackProblem::NoStatus, at);
        status = m_runningStatus;
        event.runningStatus = true;
    } else {
        ++at;
    }
    event.status = status;

    std::size_t dataLength = 0;
    if (status < 0xF0) {
        m_runningStatus = status;
        dataLength = std::size_t(ChannelDataLength(status));
        if (dataLength > size - at)
            return Fail(TrackProblem::LongerThanTrack, at);
        for (std::size_t i = at; i < at + dataLength; ++i) {
            if (m_track[i] < 0x80)
                continue;
            if (!m_stepOverStrayData) {
                m_damagedEnd = at + dataLength;
                m_damagedTick = event.tick;
                return Fail(TrackProblem::StatusAsData, i, m_track[i]);
            }
            event.strayData = true;
        }
    } else if (status == 0xFF) {
        if (at == size)
            return Fail(TrackProblem::CutMetaType, event.offset);
        event.metaType = m_track[at++];
        std::uint32_t length = 0;
        if (m_metaLength == MetaLength::OneByte && at < size)
            length = m_track[at++];
        else if (m_metaLength == MetaLength::OneByte || !ReadVariableLength(m_track, at, length))
            return Fail(TrackProblem::CutLength, at);
        dataLength = length;
    } else if (status == 0xF0 || status == 0xF7) {
        std::uint32_t length = 0;
        if (!ReadVariableLength(m_track, at, length))
            return Fail(TrackProblem::CutLength, at);
        dataLength = length;
    } else {
        return Fail(TrackProblem::StatusNotInTrack, event.offset, status);
    }
    if (dataLength > size - at)
        return Fail(TrackProblem::LongerThanTrack, at);

    event.dataOffset = at;
    event.data = m_track.subspan(at, dataLength);
    event.length = at + dataLength - event.offset;
    m_at = at + dataLength;
    m_tick = event.tick;
    return true;
}

} // namespace korvane
