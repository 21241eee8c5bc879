// Rescaling a written style to another resolution: every delta-time, rounded on the running total
// of its section, event bytes and running status kept; a track that cannot be walked is left
// alone with a reason.

#include "style/Resolution.h"

#include "support/StyleBytes.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

const ByteArray kHeaderEvents =
    Cat({B({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00}), Marker("SFF1"), B({0x00})});

// "Main": a note, a running-status note-off, a text event and a system-exclusive message with
// variable-length lengths, a note-off and a trailing delta-time; d holds the six delta-times.
ByteArray Main(const std::vector<ByteArray>& d) {
    return Cat({Marker("Main"), d[0], B({0x90, 0x3C, 0x64}), d[1], B({0x3C, 0x00}), d[2],
                B({0xFF, 0x01, 0x02, 'h', 'i'}), d[3], B({0xF0, 0x03, 0x7E, 0x7F, 0xF7}), d[4],
                B({0x80, 0x3C, 0x00}), d[5]});
}
// "Fill": four steps, the second in running status, the third a program change.
ByteArray Fill(const ByteArray& d) {
    return Cat({Marker("Fill"), B({d[0], 0x90, 0x40, 0x64}), B({d[1], 0x40, 0x00}),
                B({d[2], 0xC0, 0x05}), B({d[3]})});
}
ByteArray StyleAt(int division, const ByteArray& track) {
    return Cat({Header(0, 1, division), Chunk("MTrk", track), Chunk("CASM", T("CSEG"))});
}

TEST(ResolutionTest, EveryDeltaTimeFollowsTheRunningTotalOfItsSection) {
    // Main's times: 0, 48, 97, 130, 322 (81 40 = 192 later) and its end at 329; Fill's 1 to 4.
    const ByteArray source = StyleAt(
        96, Cat({kHeaderEvents,
                 Main({B({0x00}), B({0x30}), B({0x31}), B({0x21}), B({0x81, 0x40}), B({0x07})}),
                 Fill(B({0x01, 0x01, 0x01, 0x01})), B({0xFF, 0x2F, 0x00})}));
    struct Case {
        int to;
        std::vector<ByteArray> main;
        ByteArray fill;
    };
    const std::vector<Case> cases{
        // x5: 0, 240, 485, 650, 1610, 1645.
        {480,
         {B({0x00}), B({0x81, 0x70}), B({0x81, 0x75}), B({0x81, 0x25}), B({0x87, 0x40}), B({0x23})},
         B({0x05, 0x05, 0x05, 0x05})},
        // x5/12: 0, 20, 40.4, 54.2, 134.2, 137.1 round to 0, 20, 40, 54, 134, 137; Fill's
        // 0.4, 0.8, 1.25, 1.7 to 0, 1, 1, 2: rounding each step alone would have given 0, 0, 0, 0.
        {40,
         {B({0x00}), B({0x14}), B({0x14}), B({0x0E}), B({0x50}), B({0x03})},
         B({0x00, 0x01, 0x00, 0x01})},
        // /2, halves rounding up: Fill's 0.5, 1, 1.5, 2 to 1, 1, 2, 2 (each step alone: 1, 1, 1,
        // 1).
        {48,
         {B({0x00}), B({0x18}), B({0x19}), B({0x10}), B({0x60}), B({0x04})},
         B({0x01, 0x00, 0x01, 0x00})},
    };
    for (const Case& c : cases) {
        ByteArray bytes = source;
        const ResolutionChange change = ChangeResolution(bytes, std::uint16_t(c.to));
        ASSERT_TRUE(change.changed) << c.to << ": " << change.failure;
        EXPECT_EQ(bytes, StyleAt(c.to, Cat({kHeaderEvents, Main(c.main), Fill(c.fill),
                                            B({0xFF, 0x2F, 0x00})})))
            << c.to;
    }
}

TEST(ResolutionTest, AHeaderEventsLengthIsOneByteAndTheTimesAfterALongTextAreRescaled) {
    // A 150-byte sequence name (length byte 96), then a pause of 96 pulses before "SFF1".
    const auto header = [](const ByteArray& pause) {
        return Cat(
            {B({0x00, 0xFF, 0x03, 0x96}), ByteArray(150, 'n'), pause, Marker("SFF1"), B({0x00})});
    };
    const auto style = [&](int division, const ByteArray& pause, const ByteArray& note) {
        return StyleAt(division, Cat({header(pause), Marker("Main"), B({0x00, 0x90, 0x3C, 0x64}),
                                      note, B({0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00})}));
    };
    ByteArray bytes = style(96, B({0x60}), B({0x30}));
    const ResolutionChange change = ChangeResolution(bytes, 480);
    ASSERT_TRUE(change.changed) << change.failure;
    EXPECT_EQ(bytes, style(480, B({0x83, 0x60}), B({0x81, 0x70})));
}

TEST(ResolutionTest, ADeltaTimeThatWouldReadAsAMarkerIsWrittenOnePulseShorter) {
    // 8131 and 1 pulses at division 1, doubled: 16262 is FF 06, so 16261 (FF 05) and 3.
    const ByteArray source = StyleAt(
        1, Cat({kHeaderEvents, Marker("Main"),
                B({0xBF, 0x43, 0x90, 0x3C, 0x64, 0x01, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00})}));
    ByteArray bytes = source;
    ASSERT_TRUE(ChangeResolution(bytes, 2).changed);
    EXPECT_EQ(bytes, StyleAt(2, Cat({kHeaderEvents, Marker("Main"),
                                     B({0xFF, 0x05, 0x90, 0x3C, 0x64, 0x03, 0x3C, 0x00, 0x00, 0xFF,
                                        0x2F, 0x00})})));
}

TEST(ResolutionTest, ATrackThatCannotBeWalkedChangesNothing) {
    const auto style = [](const ByteArray& section, bool end = true) {
        return StyleAt(96, Cat({kHeaderEvents, Marker("Bad"), section,
                                end ? B({0xFF, 0x2F, 0x00}) : ByteArray{}}));
    };
    // The section's events start at track byte 23: 9 bytes of time signature and delta-times,
    // 7 of "SFF1", its delta-time, 6 of the marker "Bad".
    struct Case {
        ByteArray bytes;
        int to;
        std::string failure;
    };
    const std::vector<Case> cases{
        {style(B({0x00, 0x3C, 0x64, 0x00})), 480,
         "section \"Bad\": a data byte without a status byte at track byte 24"},
        {style(B({0x00, 0x90, 0x3C, 0x64}), false), 480,
         "section \"Bad\": the track ends without its end-of-track event"},
        {style(B({0x00, 0xF0, 0x7F, 0x01, 0x00})), 480,
         "section \"Bad\": an event at track byte 26 is longer than the track"},
        {style(B({0x00, 0x90, 0x3C, 0xE4, 0x00})), 480,
         "section \"Bad\": a channel message holds the status byte 228 as data at track byte 26"},
        {style(B({0x00, 0xF3, 0x01, 0x00})), 480,
         "section \"Bad\": the status byte 243 cannot stand in a track (track byte 24)"},
        {style(B({0x80, 0x80, 0x80, 0x80, 0x00})), 480,
         "section \"Bad\": a delta-time is cut off or longer than four bytes at track byte 23"},
        {style(B({0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64, 0x00})), 192,
         "section \"Bad\": a delta-time of 268435455 pulses is too long at 192 pulses per "
         "quarter note"},
        // The reader cuts at the marker of "B" (track byte 31) inside the message's 10 bytes.
        {style(Cat({B({0x00, 0xF0, 0x0A, 0x01, 0x02, 0x03, 0xF7, 0x00}), Marker("B"),
                    B({0x00, 0x90, 0x3C, 0x64, 0x00})})),
         480,
         "section \"Bad\": its events run over the marker or end of track the reader finds at "
         "track byte 31"},
        // Among the header events the reader takes the FF for a meta event.
        {StyleAt(96, Cat({B({0x00, 0xF0, 0x03, 0x7E, 0xFF, 0xF7, 0x00}), Marker("A"),
                          B({0x00, 0xFF, 0x2F, 0x00})})),
         480,
         "the header events: an event or pause among the header events would hold an FF byte, "
         "which the reader takes for a meta event"},
        {Cat({Header(0, 1, 0xE728), Chunk("MTrk", Cat({kHeaderEvents, B({0xFF, 0x2F, 0x00})}))}),
         480, "the division 59176 is not a number of pulses per quarter note"},
        {style(B({0x00})), 0, "a resolution of 0 pulses per quarter note cannot be written"},
        {B({'M', 'T', 'h', 'd'}), 480, "the file does not start with its header and track chunks"},
    };
    for (const Case& c : cases) {
        ByteArray bytes = c.bytes;
        const ResolutionChange change = ChangeResolution(bytes, std::uint16_t(c.to));
        EXPECT_FALSE(change.changed) << c.failure;
        EXPECT_EQ(change.failure, c.failure);
        EXPECT_EQ(bytes, c.bytes);
    }
}

} // namespace
} // namespace korvane::testing
