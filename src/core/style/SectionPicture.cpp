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

std::string SectionPicture::UnroutedText() const {
    std::string text;
    for (int channel = 0; channel < kChannelCount; ++channel) {
        const std::size_t notes = unroutedNotes[std::size_t(channel)];
        if (notes == 0)
            continue;
        text += (text.empty() ? "Channel " : "; Channel ") + std::to_string(channel + 1) +
                ", not routed: " + std::to_string(notes) + (notes == 1 ? " note" : " notes");
    }
    return text;
}

namespace {

// The notes sounding on each channel and key, oldest first: (part, index into the part's notes).
class COpenNotes {
public:
    struct Open {
        int part = 0;
        std::size_t note = 0;
    };
    void Push(int channel, int key, Open open) {
        m_queues[Index(channel, key)].items.push_back(open);
    }
    // The oldest note of that channel and key, if one sounds.
    bool Pop(int channel, int key, Open& open) {
        Queue& queue = m_queues[Index(channel, key)];
        if (queue.head == queue.items.size())
            return false;
        open = queue.items[queue.head++];
        if (queue.head == queue.items.size()) {
            queue.items.clear();
            queue.head = 0;
        }
        return true;
    }
    template <typename F> void ForEachOpen(F f) const {
        for (const Queue& queue : m_queues)
            for (std::size_t at = queue.head; at < queue.items.size(); ++at)
                f(queue.items[at]);
    }

private:
    struct Queue {
        std::vector<Open> items;
        std::size_t head = 0;
    };
    static std::size_t Index(int channel, int key) { return std::size_t(channel * 128 + key); }
    std::vector<Queue> m_queues = std::vector<Queue>(kChannelCount * 128);
};

} // namespace

SectionPicture SummariseSection(ByteSpan bytes, const SectionTiming& timing,
                                const PartRouting& routing) {
    SectionPicture picture;
    picture.timing = timing;
    COpenNotes open;
    CTrackWalker walker(bytes);
    walker.StepOverStrayData();
    TrackEvent event;
    while (walker.Next(event)) {
        const std::uint8_t kind = event.status & 0xF0;
        if (event.strayData || (kind != 0x80 && kind != 0x90))
            continue;
        const int channel = event.status & 0x0F;
        const int part = routing.PartOf(channel);
        const int key = event.data[0];
        const bool noteOn = kind == 0x90 && event.data[1] != 0;
        if (part < 0) {
            picture.unroutedNotes[std::size_t(channel)] += noteOn ? 1 : 0;
            continue;
        }
        auto& notes = picture.parts[std::size_t(part)];
        COpenNotes::Open ended;
        if (noteOn) {
            open.Push(channel, key, {part, notes.size()});
            notes.push_back({event.tick, 0, std::uint8_t(key), event.data[1]});
        } else if (open.Pop(channel, key, ended)) {
            PictureNote& note = picture.parts[std::size_t(ended.part)][ended.note];
            note.length = event.tick - note.start;
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
    open.ForEachOpen([&](const COpenNotes::Open& held) {
        PictureNote& note = picture.parts[std::size_t(held.part)][held.note];
        note.length = picture.lengthPulses - note.start;
    });

    const std::uint64_t whole = std::uint64_t(timing.division) * 4;
    const std::uint64_t beat =
        std::max<std::uint64_t>(1, whole / std::uint64_t(timing.denominator));
    const std::uint64_t bar = beat * std::uint64_t(timing.numerator);
    // A few pulses off a whole bar is a whole bar, not "0 bars 4 beats".
    const std::uint64_t slack = beat / 16;
    const std::uint64_t rest = picture.lengthPulses % bar;
    picture.bars = picture.lengthPulses / bar;
    if (bar - rest <= slack)
        ++picture.bars;
    picture.beats = rest <= slack || bar - rest <= slack ? 0 : (rest + beat - 1) / beat;
    return picture;
}

} // namespace korvane
