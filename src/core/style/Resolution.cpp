#include "style/Resolution.h"

#include "style/MidiTrack.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace korvane {
namespace {

constexpr std::size_t kHeaderLength = 14; // "MThd", 6, format, tracks, division
constexpr std::size_t kDivisionAt = 12;

std::uint32_t Read32(const ByteArray& bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
           std::uint32_t(bytes[at + 2]) << 8 | std::uint32_t(bytes[at + 3]);
}

// Walks the track's events front to back, once, copying each into the new track with its
// delta-time rescaled. The header events carry one-byte meta lengths, as the reader and the
// writer keep them; from the first section's marker on, meta lengths are variable-length
// quantities.
class CTrackRescaler {
public:
    CTrackRescaler(const ByteArray& track, std::uint16_t from, std::uint16_t to)
        : m_track(track), m_from(from), m_to(to) {}

    bool Run();
    const ByteArray& Result() const { return m_out; }
    const std::string& Failure() const { return m_failure; }

private:
    bool Fail(const std::string& problem) {
        m_failure = m_stretch + ": " + problem;
        return false;
    }
    bool FailAt(const CTrackWalker& walker, const TrackEvent& event);
    bool RescaleDeltaTime(std::uint32_t delta);
    bool ReadsAsMarkerOrEnd(std::uint32_t delta) const;
    bool KeepsReaderCuts(std::size_t start, std::size_t end, std::size_t outStart, bool deltaTime);
    void FindReaderCuts(std::size_t marker);
    void FollowMetaEvent(CTrackWalker& walker, const TrackEvent& event);

    const ByteArray& m_track;
    const std::uint16_t m_from;
    const std::uint16_t m_to;
    ByteArray m_out;
    std::string m_failure;
    std::string m_stretch = "the header events";
    std::uint64_t m_oldTotal = 0; // of the current stretch, in old pulses
    std::uint64_t m_newTotal = 0; // the same, rescaled and rounded
    bool m_inSections = false;
    std::vector<std::size_t> m_cuts; // the reader's marker and end-of-track positions
    std::size_t m_nextCut = 0;
    bool m_ended = false;
};

bool CTrackRescaler::Run() {
    m_out.reserve(m_track.size() + m_track.size() / 4);
    CTrackWalker walker(m_track, MetaLength::OneByte);
    TrackEvent event;
    while (!m_ended) {
        const bool walked = walker.Next(event);
        if (!walked && walker.AtEnd())
            return Fail("the track ends without its end-of-track event");
        if (!walked && walker.Problem() == TrackProblem::CutDeltaTime)
            return Fail("a delta-time is cut off or longer than four bytes at track byte " +
                        std::to_string(walker.ProblemAt()));
        // The delta-time stands even when the message after it does not.
        const std::size_t written = m_out.size();
        if (!RescaleDeltaTime(event.deltaTime) ||
            !KeepsReaderCuts(event.deltaOffset, event.offset, written, true))
            return false;
        if (!walked)
            return FailAt(walker, event);
        const ByteSpan message = event.Message(m_track);
        m_out.insert(m_out.end(), message.begin(), message.end());
        if (event.IsMetaEvent())
            FollowMetaEvent(walker, event);
        if (!KeepsReaderCuts(event.offset, event.offset + event.length, m_out.size(), false))
            return false;
    }
    if (walker.Position() != m_track.size())
        return Fail("bytes follow the end-of-track event");
    return true;
}

bool CTrackRescaler::FailAt(const CTrackWalker& walker, const TrackEvent& event) {
    const std::string at = std::to_string(walker.ProblemAt());
    switch (walker.Problem()) {
    case TrackProblem::NoStatus:
        return Fail("a data byte without a status byte at track byte " + at);
    case TrackProblem::StatusNotInTrack:
        return Fail("the status byte " + std::to_string(walker.ProblemByte()) +
                    " cannot stand in a track (track byte " + at + ")");
    case TrackProblem::StatusAsData:
        return Fail("a channel message holds the status byte " +
                    std::to_string(walker.ProblemByte()) + " as data at track byte " + at);
    case TrackProblem::CutMetaType:
        return Fail("a meta event is cut off at track byte " + at);
    case TrackProblem::CutLength:
        if (event.IsMetaEvent())
            return Fail("a meta event's length is cut off at track byte " +
                        std::to_string(event.offset));
        return Fail("a system-exclusive length is cut off at track byte " + at);
    case TrackProblem::LongerThanTrack:
        if (event.offset == m_track.size())
            return Fail("the track ends without its end-of-track event");
        return Fail("an event at track byte " + at + " is longer than the track");
    case TrackProblem::None:
    case TrackProblem::CutDeltaTime:
        break;
    }
    return Fail("the track cannot be walked at track byte " + at);
}

bool CTrackRescaler::RescaleDeltaTime(std::uint32_t delta) {
    m_oldTotal += delta;
    // round(total * to / from) without overflow: total < 2^60 (each delta-time below 2^28, fewer
    // than 2^32 of them), so the whole part times `to` is checked before it is formed.
    const std::uint64_t whole = m_oldTotal / m_from;
    const std::uint64_t rest = m_oldTotal % m_from;
    if (whole > std::numeric_limits<std::uint64_t>::max() / 4 / m_to)
        return Fail("the section is too long to rescale");
    const std::uint64_t total = whole * m_to + (2 * rest * m_to + m_from) / (2 * m_from);
    const std::uint64_t newDelta = total - m_newTotal;
    if (newDelta > kMaxVariableLength)
        return Fail("a delta-time of " + std::to_string(delta) + " pulses is too long at " +
                    std::to_string(m_to) + " pulses per quarter note");
    std::uint32_t written = static_cast<std::uint32_t>(newDelta);
    // The reader cuts the track at FF 06 and FF 2F. A delta-time whose bytes would read as one
    // (a 7F group before a last group of 06 or 2F, or a first byte 06 or 2F after an FF that
    // ends the event before) is written one pulse shorter, and the next one makes up for it.
    if (written > 0 && ReadsAsMarkerOrEnd(written))
        --written;
    m_newTotal += written;
    AppendVariableLength(m_out, written);
    return true;
}

// A marker opens a section: its times count from here, its events name their own status, since
// sections are written in any order, and its meta events carry variable-length lengths. The
// format marker among the header events opens none.
void CTrackRescaler::FollowMetaEvent(CTrackWalker& walker, const TrackEvent& event) {
    if (event.metaType == 0x2F) {
        m_ended = true;
        return;
    }
    if (event.metaType != 0x06)
        return;
    const std::string text(event.data.begin(), event.data.end());
    if (!m_inSections && text == "SFF1")
        return;
    m_inSections = true;
    m_stretch = "section \"" + text + "\"";
    m_oldTotal = 0;
    m_newTotal = 0;
    walker.ForgetRunningStatus();
    walker.SetMetaLength(MetaLength::VariableLength);
}

// The reader does not walk events: among the header events it takes every FF for a meta event
// and a system-exclusive run up to the next FF; in the sections it cuts at every FF 06 and FF 2F.
// A walk that disagrees with that would move the cuts, so it fails instead.
bool CTrackRescaler::KeepsReaderCuts(std::size_t start, std::size_t end, std::size_t outStart,
                                     bool deltaTime) {
    if (!m_inSections || (!deltaTime && m_track[start] == 0xFF && m_cuts.empty())) {
        if (m_inSections)
            FindReaderCuts(start); // the first section's marker
        const bool meta = !deltaTime && m_track[start] == 0xFF;
        const auto holdsFF = [](auto from, auto to) { return std::find(from, to, 0xFF) != to; };
        const bool sourceFF =
            holdsFF(m_track.begin() + std::ptrdiff_t(start), m_track.begin() + std::ptrdiff_t(end));
        const bool writtenFF =
            deltaTime && holdsFF(m_out.begin() + std::ptrdiff_t(outStart), m_out.end());
        if (!meta && !m_inSections && (sourceFF || writtenFF))
            return Fail("an event or pause among the header events would hold an FF byte, "
                        "which the reader takes for a meta event");
        return true;
    }
    while (m_nextCut < m_cuts.size() && m_cuts[m_nextCut] < start)
        ++m_nextCut;
    if (m_nextCut < m_cuts.size() && m_cuts[m_nextCut] < end &&
        (deltaTime || m_cuts[m_nextCut] != start))
        return Fail("its events run over the marker or end of track the reader finds at track "
                    "byte " +
                    std::to_string(m_cuts[m_nextCut]));
    return true;
}

// Where the reader cuts the sections, from the first section's marker on.
void CTrackRescaler::FindReaderCuts(std::size_t marker) {
    const std::size_t size = m_track.size();
    for (std::size_t i = marker; i < size;) {
        if (m_track[i] != 0xFF || i + 1 == size) {
            ++i;
            continue;
        }
        const std::uint8_t type = m_track[i + 1];
        if (type == 0x2F) {
            m_cuts.push_back(i);
            break;
        }
        if (type == 0x06) {
            m_cuts.push_back(i);
            i += 3 + (i + 2 < size ? m_track[i + 2] : 0); // a one-byte length and the text
            continue;
        }
        i += 2; // an FF inside an event goes with the byte after it
    }
}

bool CTrackRescaler::ReadsAsMarkerOrEnd(std::uint32_t delta) const {
    const VariableLengthBytes encoded = EncodeVariableLength(delta);
    std::uint8_t before = m_out.empty() ? 0 : m_out.back();
    for (const std::uint8_t byte : encoded) {
        if (before == 0xFF && (byte == 0x06 || byte == 0x2F))
            return true;
        before = byte;
    }
    return false;
}

} // namespace

ResolutionChange ChangeResolution(ByteArray& style, std::uint16_t pulsesPerQuarter) {
    ResolutionChange change;
    if (style.size() < kHeaderLength + 8 || std::memcmp(style.data(), "MThd", 4) != 0 ||
        Read32(style, 4) != 6 || std::memcmp(style.data() + kHeaderLength, "MTrk", 4) != 0) {
        change.failure = "the file does not start with its header and track chunks";
        return change;
    }
    const std::uint16_t from =
        static_cast<std::uint16_t>(style[kDivisionAt] << 8 | style[kDivisionAt + 1]);
    if (from == 0 || from > kMaxPulsesPerQuarter) {
        change.failure =
            "the division " + std::to_string(from) + " is not a number of pulses per quarter note";
        return change;
    }
    if (pulsesPerQuarter == 0 || pulsesPerQuarter > kMaxPulsesPerQuarter) {
        change.failure = "a resolution of " + std::to_string(pulsesPerQuarter) +
                         " pulses per quarter note cannot be written";
        return change;
    }
    const std::size_t trackStart = kHeaderLength + 8;
    const std::uint32_t trackLength = Read32(style, kHeaderLength + 4);
    if (trackLength > style.size() - trackStart) {
        change.failure = "the track is longer than the file";
        return change;
    }
    const ByteArray track(style.begin() + std::ptrdiff_t(trackStart),
                          style.begin() + std::ptrdiff_t(trackStart + trackLength));
    CTrackRescaler rescaler(track, from, pulsesPerQuarter);
    if (!rescaler.Run()) {
        change.failure = rescaler.Failure();
        return change;
    }
    const ByteArray& events = rescaler.Result();
    if (events.size() > std::numeric_limits<std::uint32_t>::max()) {
        change.failure = "the rescaled track would be longer than a track can be";
        return change;
    }
    ByteArray out(style.begin(), style.begin() + std::ptrdiff_t(kHeaderLength + 4));
    out[kDivisionAt] = static_cast<std::uint8_t>(pulsesPerQuarter >> 8);
    out[kDivisionAt + 1] = static_cast<std::uint8_t>(pulsesPerQuarter);
    AppendBigEndian(out, static_cast<std::uint32_t>(events.size()), 4);
    out.insert(out.end(), events.begin(), events.end());
    out.insert(out.end(), style.begin() + std::ptrdiff_t(trackStart + trackLength), style.end());
    style = std::move(out);
    change.changed = true;
    return change;
}

} // namespace korvane
