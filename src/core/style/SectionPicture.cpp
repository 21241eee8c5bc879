#include "style/SectionPicture.h"

#include "style/StyleProperties.h"

#include <algorithm>

namespace korvane {

SectionTiming TimingOf(const CStyleProperties* properties) {
    SectionTiming timing;
    if (!properties)
        return timing;
    if (properties->m_division != 0 && (properties->m_division & 0x8000) == 0)
        timing.division = properties->m_division;
    // FF 58 04 nn dd cc bb: nn beats of a 2^dd note.
    const ByteArray* signature = properties->GetTimeSignature();
    if (signature && signature->size() >= 5 && (*signature)[3] != 0 && (*signature)[4] <= 6) {
        timing.numerator = (*signature)[3];
        timing.denominator = 1 << (*signature)[4];
    }
    return timing;
}

int SectionPicture::PlayingPartCount() const {
    return int(std::count_if(parts.begin(), parts.end(), [](const auto& p) { return !p.empty(); }));
}

std::string SectionPicture::LengthText() const {
    std::string text = std::to_string(bars) + (bars == 1 ? " bar" : " bars");
    if (beats != 0)
        text += " " + std::to_string(beats) + (beats == 1 ? " beat" : " beats");
    return text + ", " + std::to_string(timing.numerator) + "/" +
           std::to_string(timing.denominator);
}

namespace {

// The notes sounding on each part and key, oldest first: indexes into the part's notes.
class COpenNotes {
public:
    void Push(int part, int key, std::size_t note) {
        m_queues[Index(part, key)].items.push_back(note);
    }
    // The oldest note of that part and key, if one sounds.
    bool Pop(int part, int key, std::size_t& note) {
        Queue& queue = m_queues[Index(part, key)];
        if (queue.head == queue.items.size())
            return false;
        note = queue.items[queue.head++];
        if (queue.head == queue.items.size()) {
            queue.items.clear();
            queue.head = 0;
        }
        return true;
    }
    template <typename F> void ForEachOpen(F f) const {
        for (std::size_t i = 0; i < m_queues.size(); ++i)
            for (std::size_t at = m_queues[i].head; at < m_queues[i].items.size(); ++at)
                f(int(i / 128), m_queues[i].items[at]);
    }

private:
    struct Queue {
        std::vector<std::size_t> items;
        std::size_t head = 0;
    };
    static std::size_t Index(int part, int key) { return std::size_t(part * 128 + key); }
    std::array<Queue, kPartCount * 128> m_queues;
};

} // namespace

SectionPicture SummariseSection(ByteSpan bytes, const SectionTiming& timing) {
    SectionPicture picture;
    picture.timing = timing;
    COpenNotes open;
    CTrackWalker walker(bytes);
    TrackEvent event;
    while (walker.Next(event)) {
        const int part = PartOfChannel(event.Channel());
        const std::uint8_t kind = event.status & 0xF0;
        if (part < 0 || (kind != 0x80 && kind != 0x90))
            continue;
        const int key = event.data[0];
        std::size_t index = 0;
        auto& notes = picture.parts[std::size_t(part)];
        if (kind == 0x90 && event.data[1] != 0) {
            open.Push(part, key, notes.size());
            notes.push_back({event.tick, 0, std::uint8_t(key), event.data[1]});
        } else if (open.Pop(part, key, index)) {
            notes[index].length = event.tick - notes[index].start;
        }
    }
    // A section ends with the delta-time before the next marker: the walk reads it and stops at
    // the end of the bytes, where its message would be, and that delta-time counts.
    picture.lengthPulses = walker.Tick();
    const bool trailingDelta =
        walker.Problem() == TrackProblem::LongerThanTrack && event.offset == bytes.size();
    if (trailingDelta)
        picture.lengthPulses = event.tick;
    else if (walker.Problem() != TrackProblem::None) {
        picture.damaged = true;
        picture.damagedAt = walker.ProblemAt();
    }
    open.ForEachOpen([&](int part, std::size_t index) {
        PictureNote& note = picture.parts[std::size_t(part)][index];
        note.length = picture.lengthPulses - note.start;
    });

    const std::uint64_t whole = std::uint64_t(timing.division) * 4;
    const std::uint64_t beat =
        std::max<std::uint64_t>(1, whole / std::uint64_t(timing.denominator));
    const std::uint64_t bar = beat * std::uint64_t(timing.numerator);
    picture.bars = picture.lengthPulses / bar;
    picture.beats = (picture.lengthPulses % bar + beat - 1) / beat;
    return picture;
}

} // namespace korvane
