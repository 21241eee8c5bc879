#include "audition/MidiFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace {

// A track event before the tempo map turns its tick into seconds.
struct TickEvent {
    std::uint64_t tick = 0;
    std::uint32_t tempo = 0; // microseconds per quarter note; 0: not a tempo change
    ByteArray bytes;
};

class CByteCursor {
public:
    CByteCursor(const ByteArray& bytes, std::size_t begin, std::size_t end)
        : m_bytes(bytes), m_position(begin), m_end(end) {}
    bool AtEnd() const { return m_position >= m_end; }
    std::size_t Left() const { return m_end - m_position; }
    std::uint8_t Peek() const { return m_bytes[m_position]; }
    std::uint8_t Next() { return m_bytes[m_position++]; }
    // A variable-length quantity of at most four bytes; false when the track ends inside it.
    bool ReadVariable(std::uint32_t& value) {
        value = 0;
        for (int count = 0; count < 4; ++count) {
            if (AtEnd())
                return false;
            const std::uint8_t byte = Next();
            value = (value << 7) | (byte & 0x7F);
            if ((byte & 0x80) == 0)
                return true;
        }
        return false;
    }
    ByteArray Take(std::size_t count) {
        ByteArray run(m_bytes.begin() + std::ptrdiff_t(m_position),
                      m_bytes.begin() + std::ptrdiff_t(m_position + count));
        m_position += count;
        return run;
    }

private:
    const ByteArray& m_bytes;
    std::size_t m_position;
    std::size_t m_end;
};

std::uint32_t BigEndian(const ByteArray& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[at + std::size_t(i)];
    return value;
}

int DataBytesOf(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Reads one track's events up to its end-of-track event or the end of its chunk. A damaged
// event ends the track there: what came before still plays.
std::uint64_t ReadTrack(CByteCursor track, std::vector<TickEvent>& events) {
    std::uint64_t tick = 0;
    std::uint8_t runningStatus = 0;
    while (!track.AtEnd()) {
        std::uint32_t delta = 0;
        if (!track.ReadVariable(delta) || track.AtEnd())
            break;
        tick += delta;
        std::uint8_t status = track.Peek();
        if (status & 0x80) {
            track.Next();
        } else if (runningStatus != 0) {
            status = runningStatus;
        } else {
            break;
        }
        if (status == 0xFF) {
            if (track.AtEnd())
                break;
            const std::uint8_t type = track.Next();
            std::uint32_t length = 0;
            if (!track.ReadVariable(length) || length > track.Left())
                break;
            ByteArray data = track.Take(length);
            if (type == 0x2F)
                break;
            if (type == 0x51 && data.size() == 3)
                events.push_back({tick, BigEndian(data, 0, 3), {}});
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!track.ReadVariable(length) || length > track.Left())
                break;
            ByteArray message;
            if (status == 0xF0)
                message.push_back(0xF0);
            const ByteArray data = track.Take(length);
            message.insert(message.end(), data.begin(), data.end());
            if (!message.empty())
                events.push_back({tick, 0, std::move(message)});
            runningStatus = 0;
            continue;
        }
        if (status >= 0xF0)
            break; // no other system message belongs in a file
        runningStatus = status;
        const int dataBytes = DataBytesOf(status);
        if (track.Left() < std::size_t(dataBytes))
            break;
        ByteArray message{status};
        for (int i = 0; i < dataBytes; ++i)
            message.push_back(track.Next() & 0x7F);
        events.push_back({tick, 0, std::move(message)});
    }
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
            lastTick = std::max(lastTick, ReadTrack(CByteCursor(bytes, begin, end), events));
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
    // Opened without blocking, so a FIFO cannot hold the caller; checked before reading.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        problem = "cannot read " + path + ": " + std::generic_category().message(errno);
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        problem = path + " is not a regular file";
        return std::nullopt;
    }
    if (std::size_t(status.st_size) > maxBytes) {
        ::close(descriptor);
        problem = path + " is too large for a style";
        return std::nullopt;
    }
    ByteArray bytes(std::size_t(status.st_size));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = ::read(descriptor, bytes.data() + filled, bytes.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        filled += std::size_t(count);
    }
    ::close(descriptor);
    bytes.resize(filled);
    return bytes;
}

} // namespace korvane
