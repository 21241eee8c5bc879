// The section summary: each part's notes paired and timed, the length in bars and beats.

#include "style/SectionPicture.h"

#include "style/SectionPictureCache.h"
#include "style/StyleProperties.h"
#include "support/StyleBytes.h"

#include <condition_variable>
#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

struct PictureCase {
    const char* name;
    ByteArray bytes; // a section's event bytes: events, then the delta-time before the next marker
    SectionTiming timing;
    std::array<std::vector<PictureNote>, kPartCount> parts;
    std::uint64_t length;
    std::string lengthText;
    bool damaged;
};

TEST(SectionPicture, PairsNotesPerPartAndCountsBarsAndBeats) {
    const SectionTiming common{480, 4, 4};
    const std::vector<PictureCase> cases = {
        {"a note-on of velocity 0 ends a note; channels 1 to 8 are no part",
         {0x00, 0x98, 0x24, 0x64, 0x00, 0x9A, 0x30, 0x50, 0x00, 0x90, 0x3C, 0x40, 0x83, 0x60,
          0x98, 0x24, 0x00, 0x00, 0x8A, 0x30, 0x00, 0x8B, 0x20, 0x80, 0x3C, 0x00, 0x00},
         common,
         {{{{0, 480, 0x24, 0x64}}, {}, {{0, 480, 0x30, 0x50}}}},
         1920,
         "1 bar, 4/4",
         false},
        {"a note without its end is held to the section's end, a started beat counts",
         {0x00, 0x9B, 0x40, 0x64, 0x8F, 0x00},
         SectionTiming{96, 3, 4},
         {{{}, {}, {}, {{0, 1920, 0x40, 0x64}}}},
         1920,
         "6 bars 2 beats, 3/4",
         false},
        {"overlapping notes of one key end first in, first out",
         {0x00, 0x9D, 0x45, 0x10, 0x60, 0x9D, 0x45, 0x20, 0x60, 0x8D, 0x45, 0x00, 0x83, 0x00, 0x8D,
          0x45, 0x00, 0x00},
         common,
         {{{}, {}, {}, {}, {}, {{0, 192, 0x45, 0x10}, {96, 480, 0x45, 0x20}}}},
         576,
         "0 bars 2 beats, 4/4",
         false},
        {"a damaged track keeps what came before, held to where the walk stopped",
         {0x00, 0x9F, 0x50, 0x64, 0x81, 0x40, 0xF4, 0x00, 0x8F, 0x50, 0x00},
         common,
         {{{}, {}, {}, {}, {}, {}, {}, {{0, 0, 0x50, 0x64}}}},
         0,
         "0 bars, 4/4",
         true},
        {"a controller value of EE is stepped over, and the notes after it count",
         {0x00, 0xBB, 0x0B, 0xEE, 0x00, 0x9B, 0x40, 0x64, 0x83, 0x61, 0x8B, 0x40, 0x00, 0x00},
         common,
         {{{}, {}, {}, {{0, 481, 0x40, 0x64}}}},
         481,
         "0 bars 2 beats, 4/4",
         false},
        {"8 pulses short of a bar is a bar",
         {0x00, 0x99, 0x24, 0x64, 0x8E, 0x78, 0x89, 0x24, 0x00, 0x00},
         common,
         {{{}, {{0, 1912, 0x24, 0x64}}}},
         1912,
         "1 bar, 4/4",
         false},
        {"4 pulses over a bar is a bar",
         {0x00, 0xC9, 0x05, 0x8F, 0x04},
         common,
         {},
         1924,
         "1 bar, 4/4",
         false},
        {"30 pulses over, a sixteenth of a beat, is a bar",
         {0x00, 0xC9, 0x05, 0x8F, 0x1E},
         common,
         {},
         1950,
         "1 bar, 4/4",
         false},
        {"30 pulses short, a sixteenth of a beat, is a bar",
         {0x00, 0xC9, 0x05, 0x8E, 0x62},
         common,
         {},
         1890,
         "1 bar, 4/4",
         false},
        {"31 pulses short, more than a sixteenth of a beat, is no bar",
         {0x00, 0xC9, 0x05, 0x8E, 0x61},
         common,
         {},
         1889,
         "0 bars 4 beats, 4/4",
         false},
        {"a sixty-fourth shorter than a pulse is a beat of one pulse",
         {0x00, 0xC9, 0x05, 0x07},
         SectionTiming{8, 3, 64},
         {},
         7,
         "2 bars 1 beat, 3/64",
         false},
        {"no notes",
         {0x00, 0xC9, 0x05, 0x8B, 0x20},
         SectionTiming{480, 6, 8},
         {},
         1440,
         "1 bar, 6/8",
         false},
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SectionPicture picture = SummariseSection(c.bytes, c.timing);
        EXPECT_EQ(picture.parts, c.parts);
        EXPECT_EQ(picture.lengthPulses, c.length);
        EXPECT_EQ(picture.LengthText(), c.lengthText);
        EXPECT_EQ(picture.damaged, c.damaged);
    }
}

TEST(SectionPicture, ATimeSignatureCountsWithABeatCountAndANoteOfAtMostASixtyFourth) {
    const std::pair<ByteArray, SectionTiming> signatures[] = {
        {B({0xFF, 0x58, 0x04, 0x03, 0x06, 0x18, 0x08}), {96, 3, 64}},
        {B({0xFF, 0x58, 0x04, 0x00, 0x02, 0x18, 0x08}), {96, 4, 4}}, // no beats: 0 would divide
        {B({0xFF, 0x58, 0x04, 0x05, 0x07, 0x18, 0x08}), {96, 4, 4}},
    };
    for (const auto& [signature, timing] : signatures) {
        CStyleProperties properties;
        properties.m_division = 96;
        properties.SetTimeSignature(signature);
        EXPECT_EQ(TimingOf(&properties), timing) << int(signature[3]);
    }
}

TEST(SectionPictureCache, APictureIsKeptPerSectionSizeAndTimingAndALargeOneComesFromTheWorker) {
    std::mutex mutex;
    std::condition_variable reported;
    std::vector<std::uint64_t> ready;
    CSectionPictureCache cache([&](std::uint64_t serial) {
        const std::lock_guard<std::mutex> lock(mutex);
        ready.push_back(serial);
        reported.notify_all();
    });
    const ByteArray note = B({0x00, 0x98, 0x24, 0x64, 0x60, 0x88, 0x24, 0x00}); // 96 pulses
    const SectionTiming four{480, 4, 4}, three{480, 3, 4};
    CStyleSection small, large;
    small.CreateData();
    small.AppendBytes(note.data(), note.size());
    const auto first = cache.Find(small, four);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->parts[0], (std::vector<PictureNote>{{0, 96, 0x24, 0x64}}));
    EXPECT_EQ(cache.Find(small, four), first);
    EXPECT_EQ(cache.Find(small, three)->timing, three);
    small.AppendBytes(note.data(), note.size());
    EXPECT_EQ(cache.Find(small, three)->lengthPulses, 192u);

    large.CreateData();
    for (int i = 0; i < 8193; ++i) // 65,544 bytes
        large.AppendBytes(note.data(), note.size());
    EXPECT_EQ(cache.Find(large, four), nullptr);
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(
            reported.wait_for(lock, std::chrono::seconds(60), [&] { return !ready.empty(); }));
        EXPECT_EQ(ready, std::vector<std::uint64_t>{large.GetSerial()});
    }
    const auto picture = cache.Find(large, four);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->parts[0].size(), 8193u);
    EXPECT_EQ(picture->lengthPulses, 8193u * 96);
}

// The tooltip's picture routes by the section's own CSEG: its record sends channel 4 to Chord 1.
TEST(SectionPictureCache, ASectionsNotesGoWhereItsCsegRoutesThem) {
    CCsegRecord segment;
    for (std::uint8_t byte : B({'C', 't', 'a', 'b', 0x00, 0x00, 0x00, 0x0A, 0x03, 'C', 'h', 'o',
                                'r', 'd', ' ', '1', ' ', 0x0B}))
        segment.AppendByte(byte);
    const ByteArray note = B({0x00, 0x93, 0x3C, 0x64, 0x60, 0x83, 0x3C, 0x00, 0x00});
    CStyleSection section;
    section.CreateData();
    section.AppendBytes(note.data(), note.size());
    section.SetSegment(&segment);
    CSectionPictureCache cache([](std::uint64_t) {});
    const auto picture = cache.Find(section, {480, 4, 4});
    ASSERT_TRUE(picture);
    std::array<std::vector<PictureNote>, kPartCount> parts;
    parts[3] = {{0, 96, 0x3C, 0x64}};
    EXPECT_EQ(picture->parts, parts);
}

// The cache holds 512 pictures at most: the 513th section empties it, so the first one's picture
// is computed anew; up to the 512th, it is kept.
TEST(SectionPicture, TheCacheHoldsAtMost512Pictures) {
    CSectionPictureCache cache([](std::uint64_t) {});
    const ByteArray note = B({0x00, 0x98, 0x24, 0x64, 0x60, 0x88, 0x24, 0x00});
    std::vector<CStyleSection> sections(513);
    for (CStyleSection& section : sections) {
        section.CreateData();
        section.AppendBytes(note.data(), note.size());
    }
    const auto first = cache.Find(sections[0], {480, 4, 4});
    for (std::size_t i = 1; i < 512; ++i)
        cache.Find(sections[i], {480, 4, 4});
    EXPECT_EQ(cache.Find(sections[0], {480, 4, 4}), first);
    cache.Find(sections[512], {480, 4, 4});
    EXPECT_NE(cache.Find(sections[0], {480, 4, 4}), first);
}

// Ctab records: channel 4 to Chord 1 (channel 12), channel 13 to Pad (channel 14), channel 4
// again to Pad (the first record counts), a channel 17 that no style has to Chord 1; a record cut
// before its destination routes nothing, whatever byte follows it.
// Bytes too short for a record route each part's own channel to it.
TEST(SectionPicture, NotesGoToThePartTheirChannelIsRoutedTo) {
    ByteArray ctab;
    for (const auto& [source, destination] : {std::pair{0x03, 0x0B}, std::pair{0x0C, 0x0D},
                                              std::pair{0x03, 0x0D}, std::pair{0x10, 0x0B}}) {
        const ByteArray chunk = {
            'C', 't', 'a', 'b', 0x00, 0x00, 0x00, 0x1B, std::uint8_t(source),
            'P', 'a', 'r', 't', ' ',  ' ',  ' ',  ' ',  std::uint8_t(destination)};
        ctab.insert(ctab.end(), chunk.begin(), chunk.end());
        ctab.insert(ctab.end(), 17, 0x00);
    }
    const ByteArray cut = {'C', 't', 'a', 'b', 0x00, 0x00, 0x00, 0x09, 0x09,
                           'P', 'a', 'r', 't', ' ',  ' ',  ' ',  ' ',  0x0B};
    ctab.insert(ctab.end(), cut.begin(), cut.end());
    const PartRouting routing = RoutingOfCtab(&ctab);
    std::array<std::int8_t, 16> expected;
    expected.fill(-1);
    expected[3] = 3;
    expected[12] = 5;
    EXPECT_EQ(routing.partOfChannel, expected);
    const ByteArray tooShort = {1, 2, 3};
    EXPECT_EQ(
        RoutingOfCtab(&tooShort).partOfChannel,
        (std::array<std::int8_t, 16>{-1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 2, 3, 4, 5, 6, 7}));

    // Channels 4, 13 and 10 each play one note of 96 pulses.
    const ByteArray section = {0x00, 0x93, 0x3C, 0x64, 0x00, 0x9C, 0x40, 0x64, 0x00,
                               0x99, 0x24, 0x64, 0x60, 0x83, 0x3C, 0x00, 0x00, 0x8C,
                               0x40, 0x00, 0x00, 0x89, 0x24, 0x00, 0x00};
    const SectionPicture picture = SummariseSection(section, {480, 4, 4}, routing);
    std::array<std::vector<PictureNote>, kPartCount> parts;
    parts[3] = {{0, 96, 0x3C, 0x64}};
    parts[5] = {{0, 96, 0x40, 0x64}};
    EXPECT_EQ(picture.parts, parts);
    EXPECT_EQ(picture.UnroutedText(), "Channel 10, not routed: 1 note");
}

} // namespace
} // namespace korvane::testing
