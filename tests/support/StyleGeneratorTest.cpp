// The generator checked against an independent reading of the bytes it writes: a Standard MIDI
// File decoder that follows delta-times, running status and event lengths, which the style
// reader does not.

#include "support/StyleGenerator.h"
#include "style/MidiTrack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace korvane::testing {
namespace {

using Bytes = ByteArray;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::uint32_t Read32(const Bytes& bytes, std::size_t at) {
    return (std::uint32_t(bytes.at(at)) << 24) | (std::uint32_t(bytes.at(at + 1)) << 16) |
           (std::uint32_t(bytes.at(at + 2)) << 8) | std::uint32_t(bytes.at(at + 3));
}

std::string TagAt(const Bytes& bytes, std::size_t at) {
    return std::string(bytes.begin() + static_cast<long>(at),
                       bytes.begin() + static_cast<long>(at) + 4);
}

struct DecodedSection {
    std::string name;
    Bytes eventBytes;
};

// What a full decoding of the track finds.
struct DecodedTrack {
    std::vector<std::string> headerMarkers;
    std::vector<DecodedSection> sections;
    std::set<int> channels;
    int eventsWithoutStatus = 0;
    int longDeltasWithFf2 = 0; // two-byte delta-times holding FF
    int longDeltasWithFf3 = 0; // three-byte delta-times holding FF
    bool endedAtTrackEnd = false;
    std::string error;
};

DecodedTrack DecodeTrack(const Bytes& track) {
    DecodedTrack out;
    CTrackWalker walker(track);
    TrackEvent event;
    std::size_t sectionStart = 0;
    auto closeSection = [&](std::size_t end) {
        if (!out.sections.empty())
            out.sections.back().eventBytes.assign(track.begin() + static_cast<long>(sectionStart),
                                                  track.begin() + static_cast<long>(end));
    };
    while (walker.Next(event)) {
        const auto delta =
            ByteSpan(track).subspan(event.deltaOffset, event.offset - event.deltaOffset);
        const bool holdsFf = std::find(delta.begin(), delta.end(), 0xFF) != delta.end();
        out.longDeltasWithFf2 += holdsFf && delta.size() == 2;
        out.longDeltasWithFf3 += holdsFf && delta.size() == 3;
        if (event.IsChannelMessage()) {
            out.channels.insert(event.Channel());
            out.eventsWithoutStatus += event.runningStatus;
            continue;
        }
        // The generator repeats no status across a meta or system-exclusive event.
        walker.ForgetRunningStatus();
        if (event.status == 0xF0 && (event.data.empty() || event.data.back() != 0xF7)) {
            out.error = "system-exclusive message without F7";
            return out;
        } else if (event.metaType == 0x06) {
            const std::string data(event.data.begin(), event.data.end());
            if (out.sections.empty() && data == "SFF1") {
                out.headerMarkers.push_back(data);
            } else {
                closeSection(event.offset);
                out.sections.push_back({data, {}});
                sectionStart = event.offset + event.length;
            }
        } else if (event.metaType == 0x2F) {
            closeSection(event.offset);
            out.endedAtTrackEnd = walker.AtEnd();
            return out;
        }
    }
    out.error = walker.AtEnd()
                    ? "no end-of-track event"
                    : "the track cannot be walked at " + std::to_string(walker.ProblemAt());
    return out;
}

// The three chunks, their lengths checked against where the next chunk begins.
struct Chunks {
    Bytes track;
    std::vector<std::string> sdecTexts;
    std::vector<Bytes> ctabBytes;
    std::vector<std::uint32_t> ctabLengths;
};

Chunks SplitChunks(const Bytes& file) {
    Chunks chunks;
    EXPECT_EQ(TagAt(file, 0), "MThd");
    EXPECT_EQ(Read32(file, 4), 6u);
    EXPECT_EQ(TagAt(file, 14), "MTrk");
    const std::uint32_t trackLength = Read32(file, 18);
    chunks.track.assign(file.begin() + 22, file.begin() + 22 + trackLength);
    std::size_t at = 22 + trackLength;
    EXPECT_EQ(TagAt(file, at), "CASM");
    EXPECT_EQ(Read32(file, at + 4), file.size() - at - 8);
    at += 8;
    while (at < file.size()) {
        EXPECT_EQ(TagAt(file, at), "CSEG");
        const std::size_t csegEnd = at + 8 + Read32(file, at + 4);
        EXPECT_LE(csegEnd, file.size());
        at += 8;
        EXPECT_EQ(TagAt(file, at), "Sdec");
        const std::uint32_t sdecLength = Read32(file, at + 4);
        chunks.sdecTexts.emplace_back(file.begin() + static_cast<long>(at + 8),
                                      file.begin() + static_cast<long>(at + 8 + sdecLength));
        at += 8 + sdecLength;
        Bytes ctab;
        while (at < csegEnd) {
            EXPECT_EQ(TagAt(file, at), "Ctab");
            const std::uint32_t length = Read32(file, at + 4);
            chunks.ctabLengths.push_back(length);
            ctab.insert(ctab.end(), file.begin() + static_cast<long>(at),
                        file.begin() + static_cast<long>(at + 8 + length));
            at += 8 + length;
        }
        EXPECT_EQ(at, csegEnd);
        chunks.ctabBytes.push_back(ctab);
    }
    return chunks;
}

StyleGeneratorOptions Seeded(std::uint64_t seed) {
    StyleGeneratorOptions options;
    options.seed = seed;
    return options;
}

// ---------------------------------------------------------------------------------------------

TEST(StyleGenerator, FixedHeaderGivesTheseExactBytes) {
    StyleGeneratorOptions options;
    options.division = 480;
    options.tempoBpm = 120;
    options.numerator = 4;
    options.denominator = 4;
    options.styleName = "Pop";
    options.withCopyright = false;
    options.withSysex = false;
    const GeneratedStyle style = GenerateStyle(options);

    const Bytes expectedStart = Concat({
        Text("MThd"),
        {0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01, 0x01, 0xE0},
        Text("MTrk"),
    });
    ASSERT_GT(style.bytes.size(), 22u);
    EXPECT_EQ(Bytes(style.bytes.begin(), style.bytes.begin() + 18), expectedStart);
    const Bytes expectedTrackStart = Concat({
        {0x00, 0xFF, 0x03, 0x03},
        Text("Pop"),
        {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08},
        {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
        {0x00, 0xFF, 0x06, 0x04},
        Text("SFF1"),
        {0x00, 0xFF, 0x06, 0x04},
        Text("SInt"),
    });
    EXPECT_EQ(Bytes(style.bytes.begin() + 22,
                    style.bytes.begin() + 22 + static_cast<long>(expectedTrackStart.size())),
              expectedTrackStart);
    EXPECT_EQ(style.properties.tempo, (Bytes{0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00}));
    EXPECT_EQ(style.properties.timeSignature, (Bytes{0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}));
    EXPECT_EQ(style.properties.sequenceName, "Pop");
    EXPECT_EQ(style.properties.copyright, "");
    EXPECT_FALSE(style.properties.sysex.has_value());
}

TEST(StyleGenerator, HeaderSysexRunHoldsBothMessagesAndTheirDeltaTimes) {
    StyleGeneratorOptions options;
    options.division = 480;
    const GeneratedStyle style = GenerateStyle(options);
    // GM on, delta-time 120 (a sixteenth), XG on, delta-time 0.
    const Bytes expected{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x78, 0xF0, 0x08,
                         0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7, 0x00};
    ASSERT_TRUE(style.properties.sysex.has_value());
    EXPECT_EQ(*style.properties.sysex, expected);
    auto at = std::search(style.bytes.begin(), style.bytes.end(), expected.begin(), expected.end());
    ASSERT_NE(at, style.bytes.end());
    EXPECT_EQ(*(at + static_cast<long>(expected.size())), 0xFF); // the next meta event follows
}

TEST(StyleGenerator, ChunkLengthsMatchTheChunks) {
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        const GeneratedStyle style = GenerateStyle(Seeded(seed));
        const Chunks chunks = SplitChunks(style.bytes);
        ASSERT_EQ(chunks.sdecTexts.size(), style.csegs.size());
        for (std::size_t i = 0; i < style.csegs.size(); ++i) {
            EXPECT_EQ(chunks.sdecTexts[i], style.csegs[i].sdecText);
            EXPECT_EQ(chunks.ctabBytes[i], style.csegs[i].ctabBytes);
        }
        for (std::uint32_t length : chunks.ctabLengths)
            EXPECT_EQ(length, 27u);
    }
}

TEST(StyleGenerator, TrackDecodesAsMidiAndSectionsAreTheBytesBetweenMarkers) {
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        const GeneratedStyle style = GenerateStyle(Seeded(seed));
        const DecodedTrack track = DecodeTrack(SplitChunks(style.bytes).track);
        ASSERT_EQ(track.error, "");
        EXPECT_TRUE(track.endedAtTrackEnd);
        EXPECT_EQ(track.headerMarkers, std::vector<std::string>{"SFF1"});
        ASSERT_EQ(track.sections.size(), style.sections.size());
        for (std::size_t i = 0; i < style.sections.size(); ++i) {
            EXPECT_EQ(track.sections[i].name, style.sections[i].name);
            EXPECT_EQ(track.sections[i].eventBytes, style.sections[i].eventBytes);
        }
        EXPECT_EQ(track.channels, std::set<int>(style.channels.begin(), style.channels.end()));
        EXPECT_GT(track.eventsWithoutStatus, 0); // running status is used
    }
}

TEST(StyleGenerator, SectionBytesHoldFfButNeverBeforeMarkerOrEndOfTrackType) {
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE(seed);
        const GeneratedStyle style = GenerateStyle(Seeded(seed));
        const DecodedTrack track = DecodeTrack(SplitChunks(style.bytes).track);
        ASSERT_EQ(track.error, "");
        EXPECT_GE(track.longDeltasWithFf2, 1);
        EXPECT_GE(track.longDeltasWithFf3, 1);
        for (const GeneratedSection& section : style.sections) {
            for (std::size_t i = 0; i + 1 < section.eventBytes.size(); ++i) {
                const bool cut =
                    section.eventBytes[i] == 0xFF &&
                    (section.eventBytes[i + 1] == 0x06 || section.eventBytes[i + 1] == 0x2F);
                ASSERT_FALSE(cut) << section.name << " at " << i;
            }
            ASSERT_FALSE(section.eventBytes.empty());
            EXPECT_LT(section.eventBytes.back(), 0x80); // ends with a delta-time
        }
    }
}

TEST(StyleGenerator, WithoutLongDeltaTimesNoDeltaTimeHoldsFf) {
    StyleGeneratorOptions options = Seeded(5);
    options.longDeltaTimes = false;
    options.division = 480;
    const DecodedTrack track = DecodeTrack(SplitChunks(GenerateStyle(options).bytes).track);
    ASSERT_EQ(track.error, "");
    EXPECT_EQ(track.longDeltasWithFf2 + track.longDeltasWithFf3, 0);
}

TEST(StyleGenerator, MetaEventsInsideSectionsStayInTheirBytes) {
    bool sawTempo = false;
    bool sawText = false;
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        for (const GeneratedSection& section : GenerateStyle(Seeded(seed)).sections) {
            const Bytes& b = section.eventBytes;
            for (std::size_t i = 0; i + 2 < b.size(); ++i) {
                sawTempo |= b[i] == 0xFF && b[i + 1] == 0x51 && b[i + 2] == 0x03;
                sawText |= b[i] == 0xFF && b[i + 1] == 0x01;
            }
        }
    }
    EXPECT_TRUE(sawTempo);
    EXPECT_TRUE(sawText);
}

TEST(StyleGenerator, EverySectionIsNamedByExactlyOneSdec) {
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        const GeneratedStyle style = GenerateStyle(Seeded(seed));
        EXPECT_GE(style.sections.size(), 11u);
        EXPECT_LE(style.sections.size(), 16u);
        EXPECT_EQ(style.sections.front().name, "SInt");
        std::vector<std::string> named;
        for (std::size_t c = 0; c < style.csegs.size(); ++c) {
            const GeneratedCseg& cseg = style.csegs[c];
            EXPECT_EQ(cseg.sdecText.find(", "), std::string::npos);
            EXPECT_NE(cseg.sdecText.back(), ',');
            for (const std::string& name : cseg.sdecNames) {
                named.push_back(name);
                auto section =
                    std::find_if(style.sections.begin(), style.sections.end(),
                                 [&](const GeneratedSection& s) { return s.name == name; });
                ASSERT_NE(section, style.sections.end());
                EXPECT_EQ(section->cseg, static_cast<int>(c));
            }
        }
        EXPECT_EQ(named.size(), style.sections.size());
    }
}

TEST(StyleGenerator, UnknownSdecNameMatchesNoSection) {
    StyleGeneratorOptions options = Seeded(3);
    options.sectionNames = ThirteenSectionNames();
    options.csegCount = 1;
    options.unknownSdecName = true;
    const GeneratedStyle style = GenerateStyle(options);
    ASSERT_EQ(style.csegs.size(), 1u);
    const auto& names = style.csegs[0].sdecNames;
    ASSERT_EQ(names.size(), 14u);
    // The first layout name missing from the 13-section set.
    EXPECT_EQ(std::count(names.begin(), names.end(), "Fill In BA"), 1);
    for (const GeneratedSection& section : style.sections)
        EXPECT_NE(section.name, "Fill In BA");
}

TEST(StyleGenerator, CtabChunksOnePerChannelWithTheChannelFirst) {
    const GeneratedStyle style = GenerateStyle(Seeded(9));
    for (const GeneratedCseg& cseg : style.csegs) {
        ASSERT_EQ(cseg.ctabBytes.size(), style.channels.size() * 35);
        for (std::size_t i = 0; i < style.channels.size(); ++i) {
            const std::size_t at = i * 35;
            EXPECT_EQ(TagAt(cseg.ctabBytes, at), "Ctab");
            EXPECT_EQ(Read32(cseg.ctabBytes, at + 4), 27u);
            EXPECT_EQ(cseg.ctabBytes[at + 8], style.channels[i]);  // source channel
            EXPECT_EQ(cseg.ctabBytes[at + 17], style.channels[i]); // destination channel
        }
    }
}

TEST(StyleGenerator, ExplicitSectionNamesAreUsedInOrder) {
    StyleGeneratorOptions options = Seeded(4);
    options.sectionNames = SixteenSectionNames();
    const GeneratedStyle style = GenerateStyle(options);
    ASSERT_EQ(style.sections.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(style.sections[i].name, SixteenSectionNames()[i]);
    EXPECT_EQ(style.sections.back().name, "Fill In DD");
}

TEST(StyleGenerator, SameOptionsGiveSameBytesAndSeedsDiffer) {
    EXPECT_EQ(GenerateStyle(Seeded(42)).bytes, GenerateStyle(Seeded(42)).bytes);
    EXPECT_NE(GenerateStyle(Seeded(42)).bytes, GenerateStyle(Seeded(43)).bytes);
}

TEST(StyleGenerator, WithoutSff1MarkerTheFirstMarkerIsSInt) {
    StyleGeneratorOptions options = Seeded(8);
    options.withSff1Marker = false;
    const DecodedTrack track = DecodeTrack(SplitChunks(GenerateStyle(options).bytes).track);
    ASSERT_EQ(track.error, "");
    EXPECT_TRUE(track.headerMarkers.empty());
    EXPECT_EQ(track.sections.front().name, "SInt");
}

TEST(StyleGenerator, DamagedVariantsCutTheWholeFile) {
    const GeneratedStyle whole = GenerateStyle(Seeded(6));
    StyleGeneratorOptions options = Seeded(6);
    options.truncateAt = 100;
    const GeneratedStyle cut = GenerateStyle(options);
    EXPECT_EQ(cut.bytes, Bytes(whole.bytes.begin(), whole.bytes.begin() + 100));

    options = Seeded(6);
    options.omitCasm = true;
    const GeneratedStyle noCasm = GenerateStyle(options);
    const std::size_t trackEnd = 22 + Read32(whole.bytes, 18);
    EXPECT_EQ(noCasm.bytes,
              Bytes(whole.bytes.begin(), whole.bytes.begin() + static_cast<long>(trackEnd)));
    EXPECT_EQ(Bytes(noCasm.bytes.end() - 3, noCasm.bytes.end()), (Bytes{0xFF, 0x2F, 0x00}));
}

TEST(StyleGenerator, CompactStylesAreSmall) {
    StyleGeneratorOptions options = Seeded(12);
    options.compact = true;
    const GeneratedStyle style = GenerateStyle(options);
    EXPECT_EQ(style.channels, (std::vector<std::uint8_t>{9, 10, 11}));
    EXPECT_LT(style.bytes.size(), GenerateStyle(Seeded(12)).bytes.size());
}

TEST(VariableLength, DeltaTimesAReaderTakesForMarkerOrEndOfTrack) {
    EXPECT_TRUE(HoldsMarkerOrEndOfTrack(VariableLength(16262)));
    EXPECT_TRUE(HoldsMarkerOrEndOfTrack(VariableLength(16303)));
    EXPECT_TRUE(HoldsMarkerOrEndOfTrack(VariableLength((1u << 14) + 16262)));
    EXPECT_FALSE(HoldsMarkerOrEndOfTrack(VariableLength(16261)));
    EXPECT_FALSE(HoldsMarkerOrEndOfTrack(VariableLength(16383)));
    EXPECT_FALSE(HoldsMarkerOrEndOfTrack(Bytes{0x06, 0xFF}));
}

} // namespace
} // namespace korvane::testing
