#include "support/StyleGenerator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace korvane::testing {

namespace {

// SplitMix64: a fixed generator, so that a seed gives the same style with every standard library
// (the distributions of <random> are not specified bit for bit).
class CRandom {
public:
    explicit CRandom(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A value from lo to hi, both included.
    int Range(int lo, int hi) {
        return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    bool Chance(int percent) { return Range(0, 99) < percent; }
    template <typename T> const T& Pick(const std::vector<T>& from) {
        return from[static_cast<std::size_t>(Range(0, static_cast<int>(from.size()) - 1))];
    }

private:
    std::uint64_t m_state;
};

void AppendTag(ByteArray& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

void Append32(ByteArray& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void Append16(ByteArray& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void AppendText(ByteArray& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

// A meta event whose length fits the one length byte the reader expects.
ByteArray MetaEvent(std::uint8_t type, const ByteArray& data) {
    ByteArray event{0xFF, type, static_cast<std::uint8_t>(data.size())};
    event.insert(event.end(), data.begin(), data.end());
    return event;
}

ByteArray TextData(const std::string& text) {
    return ByteArray(text.begin(), text.end());
}

ByteArray TempoData(std::uint32_t microsecondsPerQuarter) {
    return {static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
            static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
            static_cast<std::uint8_t>(microsecondsPerQuarter)};
}

// A pair of bytes that a track reader takes for the start of a marker or the end of the track.
bool IsCut(std::uint8_t first, std::uint8_t second) {
    return first == 0xFF && (second == 0x06 || second == 0x2F);
}

// Appending bytes after last (the byte written before them, 0 when none) stays readable.
bool AppendsSafely(std::uint8_t last, const ByteArray& bytes) {
    for (std::uint8_t b : bytes) {
        if (IsCut(last, b))
            return false;
        last = b;
    }
    return true;
}

// The system-exclusive messages as a sequencer stores them: F0, the length, the data up to F7.
const ByteArray kGmSystemOn{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
const ByteArray kXgSystemOn{0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
const ByteArray kXgReverbHall{0xF0, 0x09, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x10, 0xF7};
const ByteArray kXgChorus1{0xF0, 0x09, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x20, 0x41, 0x00, 0xF7};

enum class Part { SubRhythm, Rhythm, Bass, Chord1, Chord2, Pad, Phrase1, Phrase2 };

struct PartInfo {
    Part part;
    std::uint8_t channel; // styles play on channels 9 to 16 (8 to 15 counted from 0)
    const char* ctabName; // eight characters, as the Ctab holds them
};

const std::vector<PartInfo>& Parts() {
    static const std::vector<PartInfo> parts{
        {Part::SubRhythm, 8, "Sub Rhy "}, {Part::Rhythm, 9, "Rhythm  "},
        {Part::Bass, 10, "Bass    "},     {Part::Chord1, 11, "Chord1  "},
        {Part::Chord2, 12, "Chord2  "},   {Part::Pad, 13, "Pad     "},
        {Part::Phrase1, 14, "Phrase1 "},  {Part::Phrase2, 15, "Phrase2 "},
    };
    return parts;
}

struct Voice {
    std::uint8_t bankMsb;
    std::uint8_t bankLsb;
    std::uint8_t program;
};

Voice PickVoice(Part part, CRandom& random) {
    switch (part) {
    case Part::SubRhythm:
    case Part::Rhythm:
        return {127, 0, static_cast<std::uint8_t>(random.Pick(std::vector<int>{0, 8, 16, 25, 32}))};
    case Part::Bass:
        return {0, 0, static_cast<std::uint8_t>(random.Range(32, 38))};
    case Part::Chord1:
        return {0, static_cast<std::uint8_t>(random.Range(0, 1)),
                static_cast<std::uint8_t>(random.Pick(std::vector<int>{0, 4, 16, 24}))};
    case Part::Chord2:
        return {0, 0, static_cast<std::uint8_t>(random.Range(24, 29))};
    case Part::Pad:
        return {0, 0, static_cast<std::uint8_t>(random.Pick(std::vector<int>{48, 49, 50, 89, 91}))};
    case Part::Phrase1:
    case Part::Phrase2:
        return {0, 0, static_cast<std::uint8_t>(random.Pick(std::vector<int>{56, 61, 65, 71, 73}))};
    }
    return {0, 0, 0};
}

// One event of a section before it is encoded; the order puts note-offs before note-ons and
// set-up events before notes when they fall on the same tick.
struct PendingEvent {
    std::uint32_t time;
    int order;
    int sequence;
    bool channelEvent;
    ByteArray bytes; // status byte first
};

enum EventOrder {
    kOrderMeta = 0,
    kOrderSysex = 1,
    kOrderNoteOff = 2,
    kOrderSetup = 3,
    kOrderNoteOn = 4
};

class CSectionBuilder {
public:
    explicit CSectionBuilder(bool noteOffAsZeroVelocity)
        : m_zeroVelocityOff(noteOffAsZeroVelocity) {}

    void Channel(std::uint32_t time, int order, ByteArray bytes) {
        m_events.push_back({time, order, m_sequence++, true, std::move(bytes)});
    }
    void Other(std::uint32_t time, int order, ByteArray bytes) {
        m_events.push_back({time, order, m_sequence++, false, std::move(bytes)});
    }
    void Control(std::uint32_t time, std::uint8_t channel, std::uint8_t controller,
                 std::uint8_t value) {
        Channel(time, kOrderSetup, {static_cast<std::uint8_t>(0xB0 | channel), controller, value});
    }
    void Program(std::uint32_t time, std::uint8_t channel, std::uint8_t program) {
        Channel(time, kOrderSetup, {static_cast<std::uint8_t>(0xC0 | channel), program});
    }
    void PitchBend(std::uint32_t time, std::uint8_t channel, int value) {
        Channel(time, kOrderSetup,
                {static_cast<std::uint8_t>(0xE0 | channel), static_cast<std::uint8_t>(value & 0x7F),
                 static_cast<std::uint8_t>((value >> 7) & 0x7F)});
    }
    void Note(std::uint32_t time, std::uint32_t length, std::uint8_t channel, int key,
              int velocity) {
        if (time >= m_end)
            return;
        ++m_notes[channel & 0x0F];
        std::uint32_t off = std::min(time + std::max<std::uint32_t>(length, 1), m_end);
        auto k = static_cast<std::uint8_t>(std::clamp(key, 0, 127));
        Channel(time, kOrderNoteOn,
                {static_cast<std::uint8_t>(0x90 | channel), k,
                 static_cast<std::uint8_t>(std::clamp(velocity, 1, 127))});
        if (m_zeroVelocityOff)
            Channel(off, kOrderNoteOff, {static_cast<std::uint8_t>(0x90 | channel), k, 0});
        else
            Channel(off, kOrderNoteOff, {static_cast<std::uint8_t>(0x80 | channel), k, 64});
    }
    const std::array<int, 16>& Notes() const { return m_notes; }
    void SetEnd(std::uint32_t end) { m_end = end; }
    std::uint32_t End() const { return m_end; }

    // Encodes the events with delta-times and running status. restAt picks the gap that becomes
    // a long rest (-1: none; the index counts the gaps, the last one being the section's tail);
    // the rest's delta-time is at least restLength. Delta-times that would put FF before 06 or
    // 2F are lengthened by a tick at a time.
    ByteArray Encode(int restAt, std::uint32_t restLength) {
        std::stable_sort(m_events.begin(), m_events.end(),
                         [](const PendingEvent& a, const PendingEvent& b) {
                             if (a.time != b.time)
                                 return a.time < b.time;
                             if (a.order != b.order)
                                 return a.order < b.order;
                             return a.sequence < b.sequence;
                         });
        ByteArray out;
        std::uint8_t last = 0;
        std::uint8_t running = 0; // the marker before the section cancels running status
        std::uint32_t previous = 0;
        auto emitDelta = [&](std::uint32_t delta, int gap) {
            if (gap == restAt && delta < restLength)
                delta = restLength; // everything after the rest moves later with it
            ByteArray encoded = VariableLength(delta);
            while (!AppendsSafely(last, encoded))
                encoded = VariableLength(++delta);
            out.insert(out.end(), encoded.begin(), encoded.end());
            last = out.back();
        };
        auto emit = [&](const ByteArray& bytes) {
            out.insert(out.end(), bytes.begin(), bytes.end());
            last = out.back();
        };
        int gap = 0;
        for (const PendingEvent& event : m_events) {
            emitDelta(event.time - previous, gap++);
            previous = event.time;
            if (event.channelEvent) {
                if (event.bytes[0] == running)
                    emit(ByteArray(event.bytes.begin() + 1, event.bytes.end()));
                else
                    emit(event.bytes);
                running = event.bytes[0];
            } else {
                emit(event.bytes);
                running = 0; // meta and system-exclusive events end running status
            }
        }
        emitDelta(m_end - previous, gap);
        return out;
    }

    std::size_t Gaps() const { return m_events.size() + 1; }

private:
    std::array<int, 16> m_notes{};
    bool m_zeroVelocityOff;
    std::vector<PendingEvent> m_events;
    int m_sequence = 0;
    std::uint32_t m_end = 0;
};

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

struct Meter {
    int numerator;
    int denominator;
};

int SectionBars(const std::string& name, bool compact, CRandom& random) {
    if (compact || name == "SInt" || StartsWith(name, "Fill In"))
        return 1;
    if (StartsWith(name, "Main"))
        return random.Pick(std::vector<int>{2, 4, 4, 8});
    return random.Range(2, 4); // intros and endings
}

// The chord the patterns are written on: C major seventh, as the Ctab's source chord says.
const int kChordTones[] = {0, 4, 7, 11};

void AddPartEvents(CSectionBuilder& builder, const PartInfo& info, const std::string& section,
                   std::uint32_t division, const Meter& meter, int bars, CRandom& random) {
    const bool fill = StartsWith(section, "Fill In");
    const bool ending = StartsWith(section, "Ending");
    const std::uint32_t beat = division * 4 / static_cast<std::uint32_t>(meter.denominator);
    const std::uint32_t bar = beat * static_cast<std::uint32_t>(meter.numerator);
    const std::uint32_t eighth = division / 2;
    const std::uint32_t sixteenth = division / 4;
    const std::uint8_t ch = info.channel;
    const int steps = static_cast<int>(bar / eighth);
    for (int b = 0; b < bars; ++b) {
        const std::uint32_t start = static_cast<std::uint32_t>(b) * bar;
        const bool lastBar = b == bars - 1;
        switch (info.part) {
        case Part::Rhythm:
            for (int s = 0; s < steps; ++s) {
                std::uint32_t t = start + static_cast<std::uint32_t>(s) * eighth;
                if (fill && s >= steps / 2) {
                    int toms[] = {50, 48, 47, 45, 43, 41};
                    builder.Note(t, sixteenth, ch, toms[s % 6], random.Range(90, 120));
                    builder.Note(t + sixteenth, sixteenth, ch, 38, random.Range(70, 110));
                    continue;
                }
                builder.Note(t, sixteenth, ch, 42, random.Range(55, 90));
                if (s % 4 == 0)
                    builder.Note(t, sixteenth, ch, 36, random.Range(95, 120));
                if (s % 4 == 2)
                    builder.Note(t, sixteenth, ch, 38, random.Range(85, 115));
            }
            if (ending && lastBar)
                builder.Note(start, beat, ch, 49, 120);
            break;
        case Part::SubRhythm:
            for (int s = 0; s < steps * 2; ++s) {
                std::uint32_t t = start + static_cast<std::uint32_t>(s) * sixteenth;
                builder.Note(t, sixteenth / 2, ch, s % 2 ? 70 : 54,
                             random.Range(40, 80) + (s % 4 == 0 ? 20 : 0));
            }
            break;
        case Part::Bass: {
            for (int q = 0; q < meter.numerator; q += 2) {
                std::uint32_t t = start + static_cast<std::uint32_t>(q) * beat;
                int key = 36 + kChordTones[random.Range(0, 2)];
                builder.Note(t, beat * 3 / 2, ch, key, random.Range(80, 110));
            }
            if (random.Chance(30)) { // a slide into the next bar
                std::uint32_t t = start + bar - beat / 2;
                builder.PitchBend(t, ch, 0x2000 + 0x800);
                builder.PitchBend(t + beat / 4, ch, 0x2000 + 0x1000);
                builder.PitchBend(start + bar - 1, ch, 0x2000);
            }
            break;
        }
        case Part::Chord1:
            for (int q = 0; q < meter.numerator; ++q) {
                if (q % 2 == 1 && !random.Chance(40))
                    continue;
                std::uint32_t t = start + static_cast<std::uint32_t>(q) * beat;
                int velocity = random.Range(60, 90);
                for (int tone : kChordTones)
                    builder.Note(t, beat - sixteenth, ch, 60 + tone, velocity);
            }
            break;
        case Part::Chord2:
            for (int q = 0; q < meter.numerator; ++q) {
                std::uint32_t t = start + static_cast<std::uint32_t>(q) * beat + eighth;
                for (int i = 0; i < 4; ++i) // a strum: the strings a few ticks apart
                    builder.Note(t + static_cast<std::uint32_t>(i) * (division / 48 + 1), eighth,
                                 ch, 52 + kChordTones[i] + (i == 3 ? 12 : 0), random.Range(50, 80));
            }
            break;
        case Part::Pad:
            builder.Control(start, ch, 11, 60);
            builder.Control(start + bar / 2, ch, 11, 100);
            builder.Note(start, bar - sixteenth, ch, 64, 70);
            builder.Note(start, bar - sixteenth, ch, 71, 65);
            break;
        case Part::Phrase1:
            for (int s = 0; s < steps; ++s) {
                std::uint32_t t = start + static_cast<std::uint32_t>(s) * eighth;
                int octave = fill ? 12 * (s * 2 / steps) : 0;
                builder.Note(t, eighth - sixteenth / 2, ch, 72 + kChordTones[s % 4] + octave,
                             random.Range(60, 100));
            }
            break;
        case Part::Phrase2:
            for (int q = 0; q < meter.numerator; ++q) {
                if (!random.Chance(60))
                    continue;
                std::uint32_t t = start + static_cast<std::uint32_t>(q) * beat;
                builder.Note(t, beat, ch, 67 + kChordTones[random.Range(0, 3)],
                             random.Range(60, 95));
            }
            break;
        }
    }
}

// A delta-time whose encoding holds FF without FF 06 or FF 2F: FF xx (16256 to 16383) for a
// two-byte one, hh FF xx for a three-byte one.
std::uint32_t LongRest(bool threeBytes, CRandom& random) {
    int low = random.Range(0, 127);
    if (low == 0x06 || low == 0x2F)
        ++low;
    std::uint32_t value = (0x7FU << 7) | static_cast<std::uint32_t>(low);
    if (threeBytes)
        value |= static_cast<std::uint32_t>(random.Range(1, 3)) << 14;
    return value;
}

std::uint32_t MicrosecondsPerQuarter(int bpm) {
    return 60000000U / static_cast<std::uint32_t>(bpm);
}

// A tempo whose three bytes hold no FF 06 or FF 2F, so that it can stand inside a section.
std::uint32_t SafeTempo(int bpm) {
    std::uint32_t value = MicrosecondsPerQuarter(bpm);
    while (!AppendsSafely(0, TempoData(value)))
        ++value;
    return value;
}

// The channel a part's notes are on: its own, or with routeLowChannels the one 8 below it.
std::uint8_t SourceChannel(const PartInfo& info, const StyleGeneratorOptions& options) {
    return static_cast<std::uint8_t>(options.routeLowChannels ? info.channel - 8 : info.channel);
}

ByteArray CtabData(const PartInfo& info, std::uint8_t source, CRandom& random) {
    ByteArray data;
    data.push_back(source);                                  // source channel
    AppendText(data, info.ctabName);                         // part name, eight characters
    data.push_back(info.channel);                            // destination channel
    data.push_back(0x00);                                    // editable
    data.insert(data.end(), {0x0F, 0xFF});                   // note mute: every note plays
    data.insert(data.end(), {0x1F, 0xFF, 0xFF, 0xFF, 0xFF}); // chord mute: every chord plays
    data.push_back(0x00);                                    // source chord root: C
    data.push_back(0x01);                                    // source chord type: major seventh
    const bool drums = info.part == Part::Rhythm || info.part == Part::SubRhythm;
    const bool bass = info.part == Part::Bass;
    data.push_back(drums ? 0x01 : 0x00);               // note transposition rule: fixed / trans
    data.push_back(drums ? 0x00 : bass ? 0x03 : 0x02); // note transposition table
    data.push_back(0x05);                              // high key: F
    data.push_back(static_cast<std::uint8_t>(bass ? random.Range(0x18, 0x24)
                                                  : random.Range(0x00, 0x30))); // low limit
    data.push_back(static_cast<std::uint8_t>(bass ? random.Range(0x3C, 0x48)
                                                  : random.Range(0x54, 0x7F)));   // high limit
    data.push_back(static_cast<std::uint8_t>(drums ? 0x00 : random.Range(1, 4))); // retrigger rule
    data.push_back(0x00); // no special features follow
    return data;
}

// The Ctb2 record a newer keyboard writes for the same part, and how the Ctab changes when it is
// converted back: a guitar rule becomes root fixed with the chord table, and a 51-byte record
// carries its special feature into a 31-byte Ctab.
ByteArray Ctb2Data(ByteArray& ctab, const PartInfo& info, CRandom& random) {
    ByteArray ctb2(ctab.begin(), ctab.begin() + 20);
    ctb2.insert(ctb2.end(), {0x00, 0x7F}); // the middle zone spans every note
    ByteArray zone(ctab.begin() + 20, ctab.begin() + 26);
    if (info.part == Part::Bass) {
        zone[0] = 0x00;
        zone[1] = 0x81; // bass on, melody table: the bass table of a Ctab
    } else if ((info.part == Part::Chord2 || info.part == Part::Phrase1) && random.Chance(50)) {
        zone[0] = 0x02; // guitar
        zone[1] = 0x02;
        ctab[20] = 0x01;
        ctab[21] = 0x02;
    }
    for (int z = 0; z < 3; ++z)
        ctb2.insert(ctb2.end(), zone.begin(), zone.end());
    ctb2.insert(ctb2.end(), 6, 0x00); // bytes 40 to 45: no inline feature
    if (random.Chance(30)) {
        const ByteArray feature{0x02, 0x00, static_cast<std::uint8_t>(random.Range(0, 0x7F)), 0x00,
                                0x01};
        ctb2.insert(ctb2.end(), feature.begin(), feature.end());
        ctab.pop_back();
        ctab.insert(ctab.end(), feature.begin(), feature.end());
    } else {
        ctb2.push_back(0x00);
    }
    return ctb2;
}

const std::vector<std::string> kStyleNames{"Pop 16Beat", "Cool Ballad", "Big Band Swing",
                                           "Euro Dance", "Country Pop", "Latin Groove",
                                           "Soft Rock",  "Bossa Nova",  "Funk Shuffle"};

} // namespace

const std::vector<std::string>& StyleSectionNames() {
    static const std::vector<std::string> names{
        "SInt",       "Main A",     "Fill In AA", "Intro A",    "Ending A",  "Main B",
        "Fill In BB", "Fill In BA", "Intro B",    "Ending B",   "Main C",    "Fill In CC",
        "Intro C",    "Ending C",   "Main D",     "Fill In DD", "Fill In AB"};
    return names;
}

const std::vector<std::string>& SixteenSectionNames() {
    static const std::vector<std::string> names(StyleSectionNames().begin(),
                                                StyleSectionNames().begin() + 16);
    return names;
}

const std::vector<std::string>& ThirteenSectionNames() {
    static const std::vector<std::string> names{
        "SInt",    "Main A",   "Fill In AA", "Intro A",    "Ending A", "Main B",    "Fill In BB",
        "Intro B", "Ending B", "Main C",     "Fill In CC", "Main D",   "Fill In DD"};
    return names;
}

const std::vector<std::string>& ElevenSectionNames() {
    static const std::vector<std::string> names{
        "SInt",   "Main A",     "Fill In AA", "Fill In AB", "Intro A", "Ending A",
        "Main B", "Fill In BB", "Fill In BA", "Intro B",    "Ending B"};
    return names;
}

bool HoldsMarkerOrEndOfTrack(const ByteArray& bytes) {
    return !AppendsSafely(0, bytes);
}

namespace {

// The section set, in the keyboard's order: the names given, or "SInt", "Main A" and a random
// choice of the others.
std::vector<std::string> ChooseSectionNames(const StyleGeneratorOptions& options, CRandom& random) {
    if (!options.sectionNames.empty())
        return options.sectionNames;
    const auto& all = StyleSectionNames();
    int count = options.sectionCount ? options.sectionCount : random.Range(11, 16);
    count = std::clamp(count, 2, static_cast<int>(all.size()));
    std::vector<bool> chosen(all.size(), false);
    chosen[0] = chosen[1] = true;
    for (int have = 2; have < count;) {
        auto i = static_cast<std::size_t>(random.Range(2, static_cast<int>(all.size()) - 1));
        if (!chosen[i]) {
            chosen[i] = true;
            ++have;
        }
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (chosen[i])
            names.push_back(all[i]);
    return names;
}

// The event bytes of one section: set-up events in "SInt", patterns of every part elsewhere, and
// a long rest of a two- or three-byte delta-time when restKind says so.
ByteArray SectionBytes(const std::string& name, int restKind, const std::vector<PartInfo>& parts,
                       const std::vector<Voice>& voices, std::uint32_t division, const Meter& meter,
                       int bpm, bool zeroVelocityOff, const StyleGeneratorOptions& options,
                       CRandom& random, std::array<int, 16>& notes) {
    const std::uint32_t beat = division * 4 / static_cast<std::uint32_t>(meter.denominator);
    const std::uint32_t bar = beat * static_cast<std::uint32_t>(meter.numerator);
    CSectionBuilder builder(zeroVelocityOff);
    const int bars = SectionBars(name, options.compact, random);
    builder.SetEnd(static_cast<std::uint32_t>(bars) * bar);
    if (name == "SInt") {
        // The set-up: voice, volume, pan and effect sends of every part, a few ticks apart.
        std::uint32_t t = 0;
        if (options.sysexInSections) {
            builder.Other(t, kOrderSysex, kXgReverbHall);
            builder.Other(t, kOrderSysex, kXgChorus1);
            t += 1;
        }
        for (std::size_t p = 0; p < parts.size(); ++p) {
            std::uint8_t ch = parts[p].channel;
            builder.Control(t, ch, 0, voices[p].bankMsb);
            builder.Control(t, ch, 32, voices[p].bankLsb);
            builder.Program(t, ch, voices[p].program);
            builder.Control(t + 1, ch, 7, static_cast<std::uint8_t>(random.Range(80, 110)));
            builder.Control(t + 1, ch, 10, static_cast<std::uint8_t>(random.Range(32, 96)));
            builder.Control(t + 1, ch, 91, static_cast<std::uint8_t>(random.Range(20, 60)));
            builder.Control(t + 1, ch, 93, static_cast<std::uint8_t>(random.Range(0, 30)));
            builder.PitchBend(t + 2, ch, 0x2000);
            t += 3;
        }
    } else {
        if (options.metaInSections && random.Chance(30))
            builder.Other(0, kOrderMeta, MetaEvent(0x01, TextData(name + " groove")));
        if (options.metaInSections && (StartsWith(name, "Ending") || random.Chance(10))) {
            // A ritardando into the last bar (or a push forward) as a tempo change.
            int changed = std::clamp(bpm + random.Range(-20, 10), 40, 250);
            std::uint32_t at = builder.End() - bar;
            builder.Other(at, kOrderMeta, MetaEvent(0x51, TempoData(SafeTempo(changed))));
        }
        for (std::size_t p = 0; p < parts.size(); ++p) {
            PartInfo source = parts[p];
            source.channel = SourceChannel(parts[p], options);
            if (random.Chance(15)) // a voice change for this section only
                builder.Program(0, source.channel,
                                static_cast<std::uint8_t>(voices[p].program + 1));
            AddPartEvents(builder, source, name, division, meter, bars, random);
        }
    }
    int restAt = -1;
    std::uint32_t restLength = 0;
    if (restKind) {
        // In the middle of the section, or as the silence at its end.
        int gaps = static_cast<int>(builder.Gaps());
        restAt = random.Chance(50) ? gaps - 1 : random.Range(1, gaps - 1);
        restLength = LongRest(restKind == 3, random);
    }
    notes = builder.Notes();
    return builder.Encode(restAt, restLength);
}

} // namespace

GeneratedStyle GenerateStyle(const StyleGeneratorOptions& options) {
    CRandom random(options.seed * 0x2545F4914F6CDD1DULL + 0x1234567ULL);
    GeneratedStyle style;
    GeneratedProperties& properties = style.properties;

    properties.division =
        options.division
            ? options.division
            : static_cast<std::uint16_t>(random.Pick(std::vector<int>{96, 120, 480, 1920}));
    const std::uint32_t division = properties.division;

    const std::vector<std::string> names = ChooseSectionNames(options, random);

    Meter meter{4, 4};
    if (options.numerator) {
        meter = {options.numerator, options.denominator ? options.denominator : 4};
    } else {
        int roll = random.Range(0, 99);
        if (roll >= 85)
            meter = {6, 8};
        else if (roll >= 70)
            meter = {3, 4};
    }
    const int bpm = options.tempoBpm ? options.tempoBpm : random.Range(60, 180);

    // Which parts play: rhythm, bass and a chord part always.
    std::vector<PartInfo> parts;
    for (const PartInfo& info : Parts()) {
        bool always =
            info.part == Part::Rhythm || info.part == Part::Bass || info.part == Part::Chord1;
        if (always || (!options.compact && random.Chance(60)))
            parts.push_back(info);
    }
    for (const PartInfo& info : parts)
        style.channels.push_back(info.channel);
    std::vector<Voice> voices;
    for (const PartInfo& info : parts)
        voices.push_back(PickVoice(info.part, random));
    const bool zeroVelocityOff = random.Chance(70);

    // Header events. Every one at tick 0: the reader keeps the byte after the tempo as the next
    // delta-time, and takes the byte after "SFF1" for a meta type, where 00 means nothing.
    ByteArray track{0x00}; // the delta-time of the first event
    auto headerEvent = [&](const ByteArray& event) {
        track.insert(track.end(), event.begin(), event.end());
        track.push_back(0x00);
    };
    if (options.withSequenceName) {
        properties.sequenceName =
            options.styleName.empty()
                ? random.Pick(kStyleNames) + " " + std::to_string(random.Range(1, 99))
                : options.styleName;
        headerEvent(MetaEvent(0x03, TextData(properties.sequenceName)));
    }
    if (options.withCopyright) {
        properties.copyright = "(C) Korvane generated styles";
        headerEvent(MetaEvent(0x02, TextData(properties.copyright)));
    }
    const int log2Denominator = meter.denominator == 8 ? 3 : meter.denominator == 2 ? 1 : 2;
    properties.timeSignature =
        MetaEvent(0x58, {static_cast<std::uint8_t>(meter.numerator),
                         static_cast<std::uint8_t>(log2Denominator),
                         static_cast<std::uint8_t>(meter.denominator == 8 ? 36 : 24), 0x08});
    headerEvent(properties.timeSignature);
    properties.tempo = MetaEvent(0x51, TempoData(MicrosecondsPerQuarter(bpm)));
    headerEvent(properties.tempo);
    properties.tempo.push_back(0x00); // the reader keeps the delta-time after the tempo with it
    if (options.withSysex) {
        // GM on, a pause for the tone generator to settle, then XG on.
        ByteArray run = kGmSystemOn;
        ByteArray pause = VariableLength(division / 4);
        run.insert(run.end(), pause.begin(), pause.end());
        run.insert(run.end(), kXgSystemOn.begin(), kXgSystemOn.end());
        run.push_back(0x00);
        track.insert(track.end(), run.begin(), run.end());
        properties.sysex = run;
    }
    if (options.sff2)
        headerEvent(MetaEvent(0x06, TextData("SFF2")));
    else if (options.withSff1Marker)
        headerEvent(MetaEvent(0x06, TextData("SFF1")));

    // The sections. Long rests go to two sections at least, one of each encoding length.
    std::vector<int> restKind(names.size(), 0); // 0 none, 2 or 3 bytes
    if (options.longDeltaTimes && names.size() > 1) {
        for (std::size_t i = 1; i < names.size(); ++i)
            if (random.Chance(20))
                restKind[i] = random.Chance(50) ? 2 : 3;
        const int last = static_cast<int>(names.size()) - 1;
        const int two = random.Range(1, last);
        int three = random.Range(1, last);
        if (three == two && last > 1)
            three = two == last ? 1 : two + 1;
        restKind[static_cast<std::size_t>(two)] = 2;
        restKind[static_cast<std::size_t>(three)] = 3;
    }
    for (std::size_t s = 0; s < names.size(); ++s) {
        const std::string& name = names[s];
        GeneratedSection section;
        section.name = name;
        section.eventBytes =
            SectionBytes(name, restKind[s], parts, voices, style.properties.division, meter, bpm,
                         zeroVelocityOff, options, random, section.notesPerChannel);
        if (HoldsMarkerOrEndOfTrack(section.eventBytes))
            std::abort(); // the encoder lengthens such delta-times; reaching here is a bug
        ByteArray marker = MetaEvent(0x06, TextData(name));
        track.insert(track.end(), marker.begin(), marker.end());
        track.insert(track.end(), section.eventBytes.begin(), section.eventBytes.end());
        style.sections.push_back(std::move(section));
    }
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    // CSEG groups: every section in exactly one, listed in file order.
    int groups = options.csegCount ? options.csegCount
                                   : (options.compact ? random.Range(1, 2) : random.Range(2, 4));
    groups = std::clamp(groups, 1, static_cast<int>(names.size()));
    std::vector<int> groupOf(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        groupOf[i] = random.Range(0, groups - 1);
    // Every group gets at least one section: give group g the section of a distinct index.
    std::vector<std::size_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    for (std::size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1],
                  order[static_cast<std::size_t>(random.Range(0, static_cast<int>(i) - 1))]);
    for (int g = 0; g < groups; ++g)
        groupOf[order[static_cast<std::size_t>(g)]] = g;

    for (int g = 0; g < groups; ++g) {
        GeneratedCseg cseg;
        for (std::size_t i = 0; i < names.size(); ++i)
            if (groupOf[i] == g) {
                cseg.sdecNames.push_back(names[i]);
                style.sections[i].cseg = g;
            }
        for (const PartInfo& info : parts) {
            ByteArray data = CtabData(info, SourceChannel(info, options), random);
            if (options.sff2) {
                const ByteArray ctb2 = Ctb2Data(data, info, random);
                AppendTag(cseg.ctb2Bytes, "Ctb2");
                Append32(cseg.ctb2Bytes, static_cast<std::uint32_t>(ctb2.size()));
                cseg.ctb2Bytes.insert(cseg.ctb2Bytes.end(), ctb2.begin(), ctb2.end());
            }
            AppendTag(cseg.ctabBytes, "Ctab");
            Append32(cseg.ctabBytes, static_cast<std::uint32_t>(data.size()));
            cseg.ctabBytes.insert(cseg.ctabBytes.end(), data.begin(), data.end());
        }
        style.csegs.push_back(std::move(cseg));
    }
    if (options.unknownSdecName) {
        std::string unknown = "Ending D";
        for (const std::string& candidate : StyleSectionNames())
            if (std::find(names.begin(), names.end(), candidate) == names.end()) {
                unknown = candidate;
                break;
            }
        auto& list = style.csegs[static_cast<std::size_t>(random.Range(0, groups - 1))].sdecNames;
        list.insert(list.begin() + random.Range(0, static_cast<int>(list.size())), unknown);
    }
    ByteArray casm;
    for (GeneratedCseg& cseg : style.csegs) {
        for (std::size_t i = 0; i < cseg.sdecNames.size(); ++i)
            cseg.sdecText += (i ? "," : "") + cseg.sdecNames[i];
        const ByteArray& records = options.sff2 ? cseg.ctb2Bytes : cseg.ctabBytes;
        AppendTag(casm, "CSEG");
        Append32(casm, static_cast<std::uint32_t>(8 + cseg.sdecText.size() + records.size()));
        AppendTag(casm, "Sdec");
        Append32(casm, static_cast<std::uint32_t>(cseg.sdecText.size()));
        AppendText(casm, cseg.sdecText);
        casm.insert(casm.end(), records.begin(), records.end());
    }

    ByteArray& out = style.bytes;
    AppendTag(out, "MThd");
    Append32(out, 6);
    Append16(out, properties.format);
    Append16(out, properties.trackCount);
    Append16(out, properties.division);
    AppendTag(out, "MTrk");
    Append32(out, static_cast<std::uint32_t>(track.size()));
    out.insert(out.end(), track.begin(), track.end());
    if (!options.omitCasm) {
        AppendTag(out, "CASM");
        Append32(out, static_cast<std::uint32_t>(casm.size()));
        out.insert(out.end(), casm.begin(), casm.end());
    }
    if (options.truncateAt && options.truncateAt < out.size())
        out.resize(options.truncateAt);
    return style;
}

bool WriteGeneratedStyle(const GeneratedStyle& style, const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         &std::fclose);
    if (!file)
        return false;
    if (std::fwrite(style.bytes.data(), 1, style.bytes.size(), file.get()) != style.bytes.size())
        return false;
    return std::fclose(file.release()) == 0;
}

} // namespace korvane::testing
