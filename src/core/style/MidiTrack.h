#pragma once

// The bytes of a MIDI track: variable-length quantities and a walk over a track's events.
//
// A track is a run of events, each a delta-time followed by a message:
//   delta-time    a variable-length quantity, the pulses since the event before
//   channel       status 8n..En and its data bytes (Cn program change and Dn channel pressure
//                 take one, the others two); a data byte where a status is due repeats the
//                 status before (running status)
//   meta event    FF, a type byte, a length, that many data bytes
//   sysex         F0 or F7, a length (a variable-length quantity), that many data bytes
// Every read is checked against the end of the bytes: a walk never reads past them, and an event
// that is cut off or malformed is reported as such, with where it is.

#include "style/ByteTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace korvane {

using ByteSpan = std::span<const std::uint8_t>;

// The largest number a variable-length quantity holds in its four bytes of seven bits.
constexpr std::uint32_t kMaxVariableLength = 0x0FFFFFFF;

// Reads the variable-length quantity at bytes[at]: seven bits a byte, most significant first, the
// high bit set on every byte but the last, at most four bytes. On success sets value, moves at
// past it and returns true; a quantity the bytes end inside, or one longer than four bytes,
// returns false and leaves at and value as they were.
bool ReadVariableLength(ByteSpan bytes, std::size_t& at, std::uint32_t& value);

// A variable-length quantity's bytes, without allocating: bytes[0 .. size).
struct VariableLengthBytes {
    std::array<std::uint8_t, 4> bytes{};
    std::size_t size = 0;
    const std::uint8_t* begin() const { return bytes.data(); }
    const std::uint8_t* end() const { return bytes.data() + size; }
};

// The bytes of value as a variable-length quantity (1 to 4 bytes). Bits above the 28 a
// quantity holds are dropped; callers keep value at most kMaxVariableLength.
VariableLengthBytes EncodeVariableLength(std::uint32_t value);

// Appends the bytes of EncodeVariableLength(value).
void AppendVariableLength(ByteArray& out, std::uint32_t value);

// The data bytes that follow a channel message's status: 1 for Cn and Dn, 2 for 8n, 9n, An, Bn
// and En, 0 for a byte that is no channel status.
int ChannelDataLength(std::uint8_t status);

// One event of a track, as the walker found it. Offsets count from the first byte of the track's
// bytes; data points into them, so an event lives as long as the bytes it was walked over.
struct TrackEvent {
    std::uint64_t tick = 0;      // the sum of the delta-times up to and with this event's
    std::uint32_t deltaTime = 0; // pulses since the event before
    std::size_t deltaOffset = 0; // where the delta-time starts
    std::size_t offset = 0;      // where the message starts: its status byte, or its first
                                 // data byte in running status
    std::size_t length = 0;      // the message's bytes from offset, the delta-time not counted
    std::uint8_t status = 0;     // 8n..En, F0, F7 or FF; under running status the one repeated
    bool runningStatus = false;  // the status byte was left out
    bool strayData = false;      // a data byte of 80 or more, stepped over (StepOverStrayData)
    std::uint8_t metaType = 0;   // FF events: the type byte
    std::size_t dataOffset = 0;  // where data starts
    ByteSpan data;               // channel: its 1 or 2 data bytes; meta and sysex: the bytes
                                 // after the length (a sysex's closing F7 included)

    bool IsChannelMessage() const { return status >= 0x80 && status < 0xF0; }
    bool IsMetaEvent() const { return status == 0xFF; }
    bool IsSystemExclusive() const { return status == 0xF0 || status == 0xF7; }
    // The channel 0-15 of a channel message, -1 for a meta or system-exclusive event.
    int Channel() const { return IsChannelMessage() ? status & 0x0F : -1; }
    // The whole message, delta-time not included.
    ByteSpan Message(ByteSpan track) const { return track.subspan(offset, length); }
};

// Why a walk stopped before the end of the bytes.
enum class TrackProblem {
    None,
    CutDeltaTime,     // at: the delta-time, cut off by the end or longer than four bytes
    NoStatus,         // at: a data byte where a status is due, and no status before it
    StatusNotInTrack, // at: a status byte (byte) that no track event starts with (F1..F6, F8..FE)
    StatusAsData,     // at: a byte (byte) of 80 or more where a channel message's data is due
    CutMetaType,      // at: a meta event's FF with no type byte after it
    CutLength,        // at: a meta or system-exclusive length the bytes end inside
    LongerThanTrack,  // at: the data of an event whose length runs past the end of the bytes
};

// How a meta event's length is stored. Standard MIDI files use a variable-length quantity; the
// header events of a style, as its reader and writer keep them, use a single byte.
enum class MetaLength { VariableLength, OneByte };

// Walks a track's bytes front to back, one event per call, allocating nothing. Running status is
// kept across meta and system-exclusive events, as a lenient reader does. The walker stops at the
// end of the bytes, not at an end-of-track event (FF 2F): that one is returned like any other, and
// the caller decides what follows it.
//
//   CTrackWalker walker(track);
//   TrackEvent event;
//   while (walker.Next(event)) { ... }
//   if (walker.Problem() != TrackProblem::None) { ... walker.ProblemAt() ... }
class CTrackWalker {
public:
    explicit CTrackWalker(ByteSpan track, MetaLength metaLength = MetaLength::VariableLength)
        : m_track(track), m_metaLength(metaLength) {}

    // Reads the next event into event; false at the end of the bytes or on a problem. When the
    // problem lies in the message (not in the delta-time), event still holds the delta-time,
    // deltaOffset, offset and tick of the event that failed.
    bool Next(TrackEvent& event);

    TrackProblem Problem() const { return m_problem; }
    std::size_t ProblemAt() const { return m_problemAt; }
    std::uint8_t ProblemByte() const { return m_problemByte; } // StatusNotInTrack, StatusAsData
    // True when every byte has been walked without a problem.
    bool AtEnd() const { return m_problem == TrackProblem::None && m_at == m_track.size(); }
    // Where the next delta-time starts.
    std::size_t Position() const { return m_at; }
    std::uint64_t Tick() const { return m_tick; }

    // Changes how later meta events store their length (a style's header events, then sections).
    void SetMetaLength(MetaLength metaLength) { m_metaLength = metaLength; }
    // Forgets the running status, so that the next message must name its own.
    void ForgetRunningStatus() { m_runningStatus = 0; }
    // For reading what a section plays, not for copying it: a channel message whose data byte is
    // 80 or more (a controller value of EE, say) is returned with strayData set and the walk goes
    // on after it, instead of stopping with StatusAsData.
    void StepOverStrayData() { m_stepOverStrayData = true; }
    // After StatusAsData: steps over the damaged channel message (its status and as many data
    // bytes as its kind has, the stray one among them), keeping its time and the running status,
    // so that the walk goes on from the next event. False after any other problem.
    bool StepOverDamagedMessage();

private:
    bool Fail(TrackProblem problem, std::size_t at, std::uint8_t byte = 0);

    ByteSpan m_track;
    MetaLength m_metaLength;
    std::size_t m_at = 0;
    std::uint64_t m_tick = 0;
    std::uint8_t m_runningStatus = 0;
    bool m_stepOverStrayData = false;
    TrackProblem m_problem = TrackProblem::None;
    std::size_t m_problemAt = 0;
    std::uint8_t m_problemByte = 0;
    std::size_t m_damagedEnd = 0;    // StatusAsData: where the damaged message ends
    std::uint64_t m_damagedTick = 0; // and its time
};

} // namespace korvane
