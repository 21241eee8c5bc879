// Converting SFF2 channel records: each Ctb2 into one Ctab, record by record, and the report of
// what the conversion left out.

#include "style/Sff2Conversion.h"

#include "support/StyleBytes.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

// Bytes 0 to 19, common to Ctab and Ctb2: channel 12 (source 0x0B), "Chord1", destination 0x0B.
ByteArray Common() {
    return Cat({B({0x0B}), T("Chord1  "),
                B({0x0B, 0x00, 0x0F, 0xFF, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01})});
}

struct RecordCase {
    const char* what;
    int low, high;    // bytes 20 and 21
    int ntr, ntt;     // the middle zone's rule and table byte
    int byte41;       // 01 starts an inline feature
    ByteArray ending; // byte 46 and what follows it (1 or 5 bytes)
    int ctabNtr, ctabNtt;
    ByteArray ctabEnding;
    std::vector<ConversionLoss> losses;
};

// A Ctb2 whose low and high zones differ from the middle one, so that a wrong zone shows.
ByteArray Ctb2(const RecordCase& c) {
    return Cat({Common(), B({c.low, c.high}), B({0x01, 0x00, 0x07, 0x10, 0x20, 0x03}),
                B({c.ntr, c.ntt, 0x05, 0x24, 0x60, 0x02}), B({0x00, 0x05, 0x09, 0x40, 0x7F, 0x01}),
                B({0x00, c.byte41, 0x11, 0x22, 0x33, 0x44}), c.ending});
}

using L = ConversionLoss;

TEST(Sff2ConversionTest, EachRecordBecomesOneCtabByTheRule) {
    const ByteArray none{0x00};
    const ByteArray feature{0x02, 0x0A, 0x0B, 0x0C, 0x0D};
    const std::vector<RecordCase> cases{
        {"root transposition, bypass", 0, 127, 0, 0, 0, none, 0, 0, none, {}},
        {"root fixed, melody", 0, 127, 1, 1, 0, none, 1, 1, none, {}},
        {"chord", 0, 127, 0, 2, 0, none, 0, 2, none, {}},
        {"melodic minor", 0, 127, 0, 3, 0, none, 0, 4, none, {}},
        {"melodic minor 5th", 0, 127, 0, 4, 0, none, 0, 4, none, {L::MinorTableFolded}},
        {"harmonic minor", 0, 127, 0, 5, 0, none, 0, 5, none, {}},
        {"harmonic minor 5th", 0, 127, 1, 6, 0, none, 1, 5, none, {L::MinorTableFolded}},
        {"natural minor", 0, 127, 0, 7, 0, none, 0, 5, none, {L::MinorTableFolded}},
        {"natural minor 5th", 0, 127, 0, 8, 0, none, 0, 5, none, {L::MinorTableFolded}},
        {"dorian", 0, 127, 0, 9, 0, none, 0, 4, none, {L::MinorTableFolded}},
        {"dorian 5th", 0, 127, 0, 10, 0, none, 0, 4, none, {L::MinorTableFolded}},
        {"guitar", 0, 127, 2, 5, 0, none, 1, 2, none, {L::GuitarMadeChord}},
        {"guitar, bass on",
         0,
         127,
         2,
         0x81,
         0,
         none,
         1,
         2,
         none,
         {L::GuitarMadeChord, L::BassOnMadePlain}},
        {"bass on, bypass", 0, 127, 0, 0x80, 0, none, 0, 3, none, {}},
        {"bass on, melody", 0, 127, 0, 0x81, 0, none, 0, 3, none, {}},
        {"bass on, root fixed", 0, 127, 1, 0x81, 0, none, 1, 1, none, {L::BassOnMadePlain}},
        {"bass on, chord", 0, 127, 0, 0x82, 0, none, 0, 2, none, {L::BassOnMadePlain}},
        {"bass on, dorian",
         0,
         127,
         0,
         0x89,
         0,
         none,
         0,
         4,
         none,
         {L::MinorTableFolded, L::BassOnMadePlain}},
        {"active low zone", 0x30, 127, 0, 2, 0, none, 0, 2, none, {L::LowZoneDropped}},
        {"active high zone", 0, 0x60, 0, 2, 0, none, 0, 2, none, {L::HighZoneDropped}},
        {"both zones", 1, 126, 0, 2, 0, none, 0, 2, none, {L::LowZoneDropped, L::HighZoneDropped}},
        {"51 bytes, special feature", 0, 127, 0, 2, 0, feature, 0, 2, feature, {}},
        {"51 bytes, no special feature",
         0,
         127,
         0,
         2,
         0,
         B({0x00, 0x0A, 0x0B, 0x0C, 0x0D}),
         0,
         2,
         none,
         {}},
        {"47 bytes saying 02", 0, 127, 0, 2, 0, B({0x02}), 0, 2, none, {}},
        {"inline feature", 0, 127, 0, 2, 1, none, 0, 2, none, {L::InlineFeatureDropped}},
        {"byte 41 not 01", 0, 127, 0, 2, 2, none, 0, 2, none, {}},
    };
    for (const RecordCase& c : cases) {
        const ByteArray ctb2 = Ctb2(c);
        ASSERT_EQ(ctb2.size(), 46 + c.ending.size()) << c.what;
        const Ctb2Conversion result = ConvertCtb2(ctb2, std::uint32_t(ctb2.size()));
        ASSERT_TRUE(result.converted) << c.what << ": " << result.failure;
        EXPECT_EQ(result.ctab,
                  Cat({Common(), B({c.ctabNtr, c.ctabNtt, 0x05, 0x24, 0x60, 0x02}), c.ctabEnding}))
            << c.what;
        EXPECT_EQ(result.losses, c.losses) << c.what;
    }
}

TEST(Sff2ConversionTest, RecordsOutsideTheRuleAreRefused) {
    const RecordCase base{"", 0, 127, 0, 2, 0, B({0x00}), 0, 0, {}, {}};
    struct Refused {
        int ntr, ntt;
        std::size_t length;
        std::string failure;
    };
    for (const Refused& r :
         std::vector<Refused>{{3, 2, 47, "its note transposition rule is 3"},
                              {0, 11, 47, "its note transposition table is 11"},
                              {0, 0x8B, 47, "its note transposition table is 11"},
                              {0, 2, 46, "its Ctb2 chunk is 46 bytes long, not 47 or 51"},
                              {0, 2, 48, "its Ctb2 chunk is 48 bytes long, not 47 or 51"}}) {
        RecordCase c = base;
        c.ntr = r.ntr;
        c.ntt = r.ntt;
        ByteArray ctb2 = Ctb2(c);
        ctb2.resize(r.length, 0x00);
        const Ctb2Conversion result = ConvertCtb2(ctb2, std::uint32_t(r.length));
        EXPECT_FALSE(result.converted) << r.failure;
        EXPECT_EQ(result.failure, r.failure);
        EXPECT_TRUE(result.ctab.empty());
    }
    EXPECT_EQ(Ctb2FailureText("new.sty", "Main A,Main B", Ctb2(base), "its NTR is 3"),
              "File new.sty cannot be converted to SFF1: CSEG \"Main A,Main B\", channel 12 "
              "\"Chord1\": its NTR is 3.\nCannot process further.");
}

TEST(Sff2ConversionTest, ReportGroupsLossesByChannelInChannelOrder) {
    ByteArray bass = Cat({B({0x0A}), T("Bass    "), B({0x0A})});
    bass.resize(47, 0x00);
    ByteArray chord = Common();
    chord.resize(47, 0x00);
    CConversionReport report;
    report.AddRecord(chord, "Main A,Main B", {L::GuitarMadeChord, L::HighZoneDropped});
    report.AddRecord(bass, "Main A,Main B", {L::BassOnMadePlain});
    report.AddRecord(chord, "Fill In AA", {L::GuitarMadeChord});
    report.AddRecord(chord, "Fill In AA", {L::GuitarMadeChord});
    EXPECT_EQ(report.GetText(), "SFF2 style, converted to SFF1\n"
                                "Channel 11 \"Bass\":\n"
                                "  bass-on flag became a plain table: Main A,Main B\n"
                                "Channel 12 \"Chord1\":\n"
                                "  active high zone dropped: Main A,Main B\n"
                                "  guitar table made root fixed/chord: Main A,Main B; Fill In AA");
    EXPECT_EQ(CConversionReport().GetText(), "SFF2 style, converted to SFF1");
}

} // namespace
} // namespace korvane::testing
