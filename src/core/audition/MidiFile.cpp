#include "audition/MidiFile.h"

#include "platform/RegularFile.h"
#include "style/MidiTrack.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace korvane {
namespace {

// A track event before the tempo map turns its tick into seconds.
struct TickEvent {
    std::uint64_t tick = 0;
    std::uint32_t tempo = 0; // microseconds per quarter note; 0: not a tempo change
    ByteArray bytes;
};

std::uint32_t BigEndian(const ByteArray& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[at + std::size_t(i)];
    return value;
}

// Reads one track's events up to its end-of-track event or the end of its chunk. A channel
// message with a data byte of 80 or more is stepped over (a keyboard plays on after it); any
// other damaged event ends the track there: what came before still plays.
std::uint64_t ReadTrack(ByteSpan track, std::vector<TickEvent>& events) {
    CTrackWalker walker(track);
    TrackEvent event;
    std::uint64_t tick = 0;
    for (;;) {
        if (!walker.Next(event)) {
            if (walker.StepOverDamagedMessage())
                continue;
            break;
        }
        tick = event.tick;
        if (event.IsMetaEvent()) {
            if (event.metaType == 0x2F)
                break;
            if (event.metaType == 0x51 && event.data.size() == 3)
                events.push_back({tick,
                                  std::uint32_t(event.data[0]) << 16 |
                                      std::uint32_t(event.data[1]) << 8 | event.data[2],
                                  {}});
            continue;
        }
        // A system-exclusive message goes out with its F0; an F7 escape sends its data alone.
        ByteArray message;
        if (event.status != 0xF7)
            message.push_back(event.status);
        message.insert(message.end(), event.data.begin(), event.data.end());
        if (!message.empty())
            events.push_back({tick, 0, std::move(message)});
    }
    // The delta-time before a damaged event still counts towards the track's length; one that
    // the chunk ends after does not.
    if (walker.Problem() != TrackProblem::None && walker.Problem() != TrackProblem::CutDeltaTime &&
        event.offset < track.size())
        tick = event.tick;
    return tick;
}

} // namespace

std::optional<CMidiSequence> ParseMidiFile(const ByteArray& bytes, std::string& problem) {
    if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0 ||
        BigEndian(bytes, 4, 4) < 6) {
        problem = "not a MIDI file";
        return std::nullopt;
    }
    const std::uint32_t trackCount = BigEndian(bytes, 10, 2);
    const std::uint32_t division = BigEndian(bytes, 12, 2);
    if (division == 0) {
        problem = "the MIDI file has no time division";
        return std::nullopt;
    }

    std::vector<TickEvent> events;
    std::uint64_t lastTick = 0;
    std::size_t position = 8 + BigEndian(bytes, 4, 4);
    std::uint32_t tracksRead = 0;
    while (tracksRead < trackCount && position + 8 <= bytes.size()) {
        const bool isTrack = std::memcmp(bytes.data() + position, "MTrk", 4) == 0;
        const std::size_t length = BigEndian(bytes, position + 4, 4);
        const std::size_t begin = position + 8;
        const std::size_t end = std::min(bytes.size(), begin + length);
        if (isTrack) {
            lastTick =
                std::max(lastTick, ReadTrack(ByteSpan(bytes).subspan(begin, end - begin), events));
            ++tracksRead;
        }
        if (length > bytes.size() - begin)
            break;
        position = end;
    }
    if (tracksRead == 0) {
        problem = "the MIDI file has no track";
        return std::nullopt;
    }

    // Tracks merge by tick; within one tick the file's order stands.
    std::stable_sort(events.begin(), events.end(),
                     [](const TickEvent& a, const TickEvent& b) { return a.tick < b.tick; });

    CMidiSequence sequence;
    double seconds = 0.0;
    std::uint64_t tick = 0;
    double secondsPerTick = 0.5 / double(division); // 120 beats a minute until a tempo event
    if (division & 0x8000) {
        const int framesPerSecond = -static_cast<std::int8_t>(division >> 8);
        const double rate = framesPerSecond == 29 ? 29.97 : double(framesPerSecond);
        secondsPerTick = 1.0 / (std::max(1.0, rate) * std::max(1u, division & 0xFFu));
    }
    auto advance = [&](std::uint64_t to) {
        seconds += double(to - tick) * secondsPerTick;
        tick = to;
    };
    for (TickEvent& event : events) {
        advance(event.tick);
        if (event.tempo != 0) {
            if ((division & 0x8000) == 0)
                secondsPerTick = double(event.tempo) / 1e6 / double(division);
            continue;
        }
        sequence.events.push_back({seconds, std::move(event.bytes)});
    }
    advance(std::max(lastTick, tick));
    sequence.duration = seconds;
    return sequence;
}

std::optional<ByteArray> ReadMidiFileBytes(const std::string& path, std::size_t maxBytes,
                                           std::string& problem) {
    ByteArray bytes;
    const FileRead read = ReadRegularFile(path, maxBytes, bytes);
    switch (read.outcome) {
    case FileReadOutcome::Read:
        return bytes;
    case FileReadOutcome::NotRegularFile:
        problem = path + " is not a regular file";
        break;
    case FileReadOutcome::TooLarge:
        problem = path + " is too large for a style";
        break;
    case FileReadOutcome::CannotOpen:
    case FileReadOutcome::ReadFailed:
        problem = "cannot read " + path + ": " + std::generic_category().message(read.errorCode);
        break;
    }
    return std::nullopt;
}

} // namespace korvane
