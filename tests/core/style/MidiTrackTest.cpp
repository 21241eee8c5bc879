// The bytes of a MIDI track: variable-length quantities both ways, and the walk over a track's
// events with their right lengths, never past the end.

#include "style/MidiTrack.h"

#include "support/StyleBytes.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

TEST(MidiTrackTest, AVariableLengthQuantityHoldsSevenBitsAByteMostSignificantFirst) {
    const std::vector<std::pair<std::uint32_t, ByteArray>> cases{
        {0, B({0x00})},
        {0x7F, B({0x7F})},
        {0x80, B({0x81, 0x00})},
        {0x3FFF, B({0xFF, 0x7F})},
        {0x4000, B({0x81, 0x80, 0x00})},
        {16262, B({0xFF, 0x06})},
        {0x0FFFFFFF, B({0xFF, 0xFF, 0xFF, 0x7F})},
    };
    for (const auto& [value, bytes] : cases) {
        ByteArray written{0x42};
        AppendVariableLength(written, value);
        EXPECT_EQ(written, Cat({B({0x42}), bytes})) << value;
        const ByteArray followed = Cat({bytes, B({0x55})});
        std::size_t at = 0;
        std::uint32_t read = 1;
        EXPECT_TRUE(ReadVariableLength(followed, at, read)) << value;
        EXPECT_EQ(read, value);
        EXPECT_EQ(at, bytes.size());
    }
    // Cut off by the end, or a fifth byte: nothing read, nothing moved.
    for (const ByteArray& bad :
         {B({}), B({0x81}), B({0xFF, 0xFF, 0xFF}), B({0x80, 0x80, 0x80, 0x80, 0x00})}) {
        std::size_t at = 0;
        std::uint32_t read = 7;
        EXPECT_FALSE(ReadVariableLength(bad, at, read)) << bad.size();
        EXPECT_EQ(at, 0u);
        EXPECT_EQ(read, 7u);
    }
}

// What the walker yields: tick, offset, length, status, meta type and data of each event.
struct Walked {
    std::uint64_t tick;
    std::size_t offset;
    std::size_t length;
    int status;
    int metaType;
    ByteArray data;
    bool operator==(const Walked&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Walked& e) {
    return out << "{tick " << e.tick << " at " << e.offset << "+" << e.length << " status "
               << e.status << " meta " << e.metaType << " data " << e.data.size() << "}";
}

TEST(MidiTrackTest, TheWalkerGivesEachEventItsLengthAndStopsAtTheFirstThatCannotBeRead) {
    const ByteArray name(150, 'n');
    const ByteArray sysex = Cat({ByteArray(127, 0x11), B({0xF7})});
    struct Case {
        const char* what;
        ByteArray track;
        std::vector<Walked> events;
        TrackProblem problem = TrackProblem::None;
        std::size_t problemAt = 0;
        MetaLength metaLength = MetaLength::VariableLength;
    };
    const std::vector<Case> cases{
        {"running status",
         B({0x00, 0x90, 0x3C, 0x64, 0x10, 0x3C, 0x00}),
         {{0, 1, 3, 0x90, 0, B({0x3C, 0x64})}, {16, 5, 2, 0x90, 0, B({0x3C, 0x00})}}},
        {"channel pressure and program change take one data byte",
         B({0x00, 0xD2, 0x40, 0x05, 0x90, 0x3C, 0x64, 0x81, 0x00, 0xC3, 0x05, 0x01, 0x06}),
         {{0, 1, 2, 0xD2, 0, B({0x40})},
          {5, 4, 3, 0x90, 0, B({0x3C, 0x64})},
          {133, 9, 2, 0xC3, 0, B({0x05})},
          {134, 12, 1, 0xC3, 0, B({0x06})}}},
        {"meta and system-exclusive lengths are variable-length quantities",
         Cat({B({0x00, 0xFF, 0x03, 0x81, 0x16}), name, B({0x00, 0xF0, 0x81, 0x00}), sysex,
              B({0x00, 0xF7, 0x01, 0xFA, 0x00, 0xFF, 0x2F, 0x00})}),
         {{0, 1, 154, 0xFF, 0x03, name},
          {0, 156, 131, 0xF0, 0, sysex},
          {0, 288, 3, 0xF7, 0, B({0xFA})},
          {0, 292, 3, 0xFF, 0x2F, B({})}}},
        {"a style's header events have one-byte meta lengths",
         Cat({B({0x00, 0xFF, 0x03, 0x96}), name, B({0x60, 0xFF, 0x2F, 0x00})}),
         {{0, 1, 153, 0xFF, 0x03, name}, {96, 155, 3, 0xFF, 0x2F, B({})}},
         TrackProblem::None,
         0,
         MetaLength::OneByte},
        {"a cut delta-time",
         B({0x00, 0xC0, 0x01, 0x81}),
         {{0, 1, 2, 0xC0, 0, B({0x01})}},
         TrackProblem::CutDeltaTime,
         3},
        {"a five-byte delta-time",
         B({0x80, 0x80, 0x80, 0x80, 0x00}),
         {},
         TrackProblem::CutDeltaTime,
         0},
        {"a delta-time and nothing after it", B({0x00}), {}, TrackProblem::LongerThanTrack, 1},
        {"data without status", B({0x00, 0x3C, 0x64}), {}, TrackProblem::NoStatus, 1},
        {"a system message", B({0x00, 0xF3, 0x01}), {}, TrackProblem::StatusNotInTrack, 1},
        {"a status as data", B({0x00, 0x90, 0x3C, 0xE4, 0x00}), {}, TrackProblem::StatusAsData, 3},
        {"0x80 is a status, never data",
         B({0x00, 0x80, 0x3C, 0x40, 0x00, 0x80, 0x80, 0x00}),
         {{0, 1, 3, 0x80, 0, B({0x3C, 0x40})}},
         TrackProblem::StatusAsData,
         6},
        {"a channel message cut off", B({0x00, 0xE0, 0x00}), {}, TrackProblem::LongerThanTrack, 2},
        {"a meta event without type", B({0x00, 0xFF}), {}, TrackProblem::CutMetaType, 1},
        {"a meta length cut off", B({0x00, 0xFF, 0x01, 0x81}), {}, TrackProblem::CutLength, 3},
        {"a one-byte meta length cut off",
         B({0x00, 0xFF, 0x01}),
         {},
         TrackProblem::CutLength,
         3,
         MetaLength::OneByte},
        {"a sysex length cut off", B({0x00, 0xF0, 0x80}), {}, TrackProblem::CutLength, 2},
        {"a sysex longer than the track",
         B({0x00, 0xF0, 0x05, 0x01, 0xF7}),
         {},
         TrackProblem::LongerThanTrack,
         3},
        {"a meta event longer than the track",
         B({0x00, 0xFF, 0x01, 0x03, 'a', 'b'}),
         {},
         TrackProblem::LongerThanTrack,
         4},
    };
    for (const Case& c : cases) {
        CTrackWalker walker(c.track, c.metaLength);
        std::vector<Walked> walked;
        TrackEvent event;
        while (walker.Next(event)) {
            walked.push_back({event.tick, event.offset, event.length, event.status, event.metaType,
                              ByteArray(event.data.begin(), event.data.end())});
            // The event's bytes are the delta-time's and the message's, back to back.
            EXPECT_EQ(event.deltaOffset + EncodeVariableLength(event.deltaTime).size, event.offset)
                << c.what;
        }
        EXPECT_EQ(walked, c.events) << c.what;
        EXPECT_EQ(walker.Problem(), c.problem) << c.what;
        EXPECT_EQ(walker.AtEnd(), c.problem == TrackProblem::None) << c.what;
        if (c.problem != TrackProblem::None) {
            EXPECT_EQ(walker.ProblemAt(), c.problemAt) << c.what;
        }
    }
}

} // namespace
} // namespace korvane::testing
