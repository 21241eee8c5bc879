// SFF2 styles through korvane-cli as a user runs it: info shows what the conversion left out,
// convert writes an SFF1 style, records outside the rule fail as damaged files do, and
// --resolution rescales the written style.

#include "CliRun.h"
#include "style/StyleReader.h"
#include "support/ScriptedDialogs.h"
#include "support/SectionNames.h"
#include "support/StyleBytes.h"
#include "support/StyleGenerator.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

ByteArray Common(int channel, const std::string& name) {
    return Cat({B({channel}), T(name),
                B({channel, 0x00, 0x0F, 0xFF, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01})});
}
// A 47-byte Ctb2 whose three zones are alike.
ByteArray Ctb2Chunk(int channel, const std::string& name, int ntr, int ntt, int high, int byte41) {
    const ByteArray zone = B({ntr, ntt, 0x05, 0x10, 0x70, 0x01});
    return Chunk("Ctb2", Cat({Common(channel, name), B({0x00, high}), zone, zone, zone,
                              B({0x00, byte41, 0x00, 0x00, 0x00, 0x00, 0x00})}));
}
ByteArray Sff2Track() {
    return Cat({B({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00}), Marker("SFF2"),
                B({0x00}), Marker("SInt"),
                B({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00}), Marker("Main A"),
                B({0x00, 0x90, 0x40, 0x64, 0x60, 0x80, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00})});
}
// Bass: bass on with the chord table. Chord1: guitar, an active high zone, an inline feature.
// A Cntt chunk, as SFF2 styles have, follows them.
ByteArray Sff2Records() {
    return Cat({Ctb2Chunk(0x0A, "Bass    ", 0, 0x82, 0x7F, 0),
                Ctb2Chunk(0x0B, "Chord1  ", 2, 0x02, 0x60, 1), Chunk("Cntt", B({0x0A, 0x00}))});
}

class Sff2CliTest : public ::testing::Test {
protected:
    CliRun Run(const std::vector<std::string>& args) { return RunCli(args, folder); }
    std::string Write(const std::string& file, const ByteArray& bytes) {
        const std::string path = folder.File(file);
        WriteBytes(path, bytes);
        return path;
    }
    CTemporaryFolder folder;
};

TEST_F(Sff2CliTest, InfoShowsWhatTheConversionLeftOutByChannel) {
    const std::string path =
        Write("new.sty", Style(Sff2Track(), Cseg("SInt,Main A", Sff2Records())));
    const CliRun text = Run({"info", path});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    const std::string tail = "CSEG records:    1\n"
                             "  0: SInt,Main A (70 Ctab bytes)\n"
                             "Conversion:      SFF2 style, converted to SFF1\n"
                             "  Channel 11 \"Bass\":\n"
                             "    bass-on flag became a plain table: SInt,Main A\n"
                             "  Channel 12 \"Chord1\":\n"
                             "    active high zone dropped: SInt,Main A\n"
                             "    guitar table made root fixed/chord: SInt,Main A\n"
                             "    inline feature dropped: SInt,Main A\n";
    ASSERT_GE(text.out.size(), tail.size());
    EXPECT_EQ(text.out.substr(text.out.size() - tail.size()), tail) << text.out;

    const CliRun json = Run({"info", path, "--json"});
    EXPECT_EQ(json.exitCode, 0);
    const std::string conversion =
        ",\"conversion\":{\"summary\":\"SFF2 style, converted to SFF1\",\"from\":\"SFF2\",\"to\":"
        "\"SFF1\",\"channels\":[{\"channel\":11,\"name\":\"Bass\",\"losses\":[{\"loss\":\"bass-on "
        "flag became a plain table\",\"csegs\":[\"SInt,Main A\"]}]},{\"channel\":12,\"name\":"
        "\"Chord1\",\"losses\":[{\"loss\":\"active high zone dropped\",\"csegs\":[\"SInt,Main "
        "A\"]},{\"loss\":\"guitar table made root fixed/chord\",\"csegs\":[\"SInt,Main A\"]},{"
        "\"loss\":\"inline feature dropped\",\"csegs\":[\"SInt,Main A\"]}]}]}}\n";
    ASSERT_GE(json.out.size(), conversion.size());
    EXPECT_EQ(json.out.substr(json.out.size() - conversion.size()), conversion) << json.out;
    EXPECT_NE(json.out.find("{\"sdec\":\"SInt,Main A\",\"ctab_length\":70}"), std::string::npos);
}

TEST_F(Sff2CliTest, ConvertWritesAnSff1StyleWithCtabRecordsAndNoCntt) {
    const std::string in = Write("new.sty", Style(Sff2Track(), Cseg("SInt,Main A", Sff2Records())));
    const std::string out = folder.File("old.sty");
    const CliRun run = Run({"convert", in, "--model", "PSR-9000", "--copy-all", "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string written = ReadBytes(out);
    const ByteArray ctabs = Cat(
        {Chunk("Ctab",
               Cat({Common(0x0A, "Bass    "), B({0x00, 0x02, 0x05, 0x10, 0x70, 0x01, 0x00})})),
         Chunk("Ctab",
               Cat({Common(0x0B, "Chord1  "), B({0x01, 0x02, 0x05, 0x10, 0x70, 0x01, 0x00})}))});
    const ByteArray casm = Chunk("CASM", Cseg("SInt,Main A", ctabs));
    ASSERT_GE(written.size(), casm.size());
    EXPECT_EQ(written.substr(written.size() - casm.size()), std::string(casm.begin(), casm.end()));
    EXPECT_NE(written.find("\xFF\x06\x04SFF1"), std::string::npos);
    for (const char* absent : {"SFF2", "Ctb2", "Cntt"})
        EXPECT_EQ(written.find(absent), std::string::npos) << absent;
    EXPECT_EQ(SectionNamesOfFile(out), (std::vector<std::string>{"SInt", "Main A"}));
}

TEST_F(Sff2CliTest, RecordsOutsideTheRuleFailLikeADamagedFile) {
    const std::string end = ".\nCannot process further.\n";
    struct Case {
        ByteArray records;
        std::string message;
    };
    ByteArray shortRecord = Ctb2Chunk(0x0A, "Bass    ", 0, 0x81, 0x7F, 0);
    shortRecord.resize(8 + 40);
    shortRecord[7] = 40;
    const std::vector<Case> cases{
        {Ctb2Chunk(0x0B, "Chord1  ", 3, 0x02, 0x7F, 0),
         "channel 12 \"Chord1\": its note transposition rule is 3"},
        {Ctb2Chunk(0x0B, "Chord1  ", 0, 0x8C, 0x7F, 0),
         "channel 12 \"Chord1\": its note transposition table is 12"},
        {shortRecord, "channel 11 \"Bass\": its Ctb2 chunk is 40 bytes long, not 47 or 51"},
    };
    for (const Case& c : cases) {
        const std::string in = Write("bad.sty", Style(Sff2Track(), Cseg("SInt,Main A", c.records)));
        const std::string expected = "korvane-cli: Sorry... File bad.sty cannot be converted to "
                                     "SFF1: CSEG \"SInt,Main A\", " +
                                     c.message + end;
        const CliRun info = Run({"info", in});
        EXPECT_EQ(info.exitCode, 1);
        EXPECT_EQ(info.err, expected);
        const std::string out = folder.File("out.sty");
        const CliRun convert = Run({"convert", in, "--model", "PSR-9000", "--copy-all", "-o", out});
        EXPECT_EQ(convert.exitCode, 1);
        EXPECT_EQ(convert.err, expected);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // A file that ends inside a Ctb2 is damaged as any other.
    ByteArray cut = Style(Sff2Track(), Cseg("SInt,Main A", Sff2Records()));
    cut.resize(cut.size() - 60);
    const CliRun info = Run({"info", Write("cut.sty", cut)});
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_EQ(info.err, "korvane-cli: Sorry... File cut.sty is damaged: it ends in the middle of "
                        "its data.\nCannot process further.\n");
}

// What the reader finds in a written style, for comparing with what was generated.
struct ReadBack {
    std::uint16_t division = 0;
    std::vector<ByteArray> sections;
    std::vector<ByteArray> ctabs;
};
ReadBack ReadStyle(const std::string& path) {
    CScriptedMessageBox messages;
    CStyleDocument document;
    document.StartNextFile();
    ReadBack back;
    if (ReadStyleFile(path, document, messages) != ReadResult::Ok)
        return back;
    back.division = document.GetSourceProperties()->m_division;
    for (const CStyleSection* section : document.GetSections())
        back.sections.push_back(section->GetData() ? *section->GetData() : ByteArray{});
    for (const CCsegRecord* record : document.GetCsegs())
        back.ctabs.push_back(*record->GetCtab());
    return back;
}

TEST_F(Sff2CliTest, GeneratedSff2StyleConvertsAndRescalesWithoutDrift) {
    StyleGeneratorOptions options;
    options.seed = 31;
    options.sff2 = true;
    options.division = 480;
    options.sectionNames = SixteenSectionNames();
    const GeneratedStyle style = GenerateStyle(options);
    const std::string in = folder.File("gen.sty");
    ASSERT_TRUE(WriteGeneratedStyle(style, in));

    const std::string out = folder.File("out.sty");
    ASSERT_EQ(Run({"convert", in, "--model", "PSR-9000", "--copy-all", "-o", out}).exitCode, 0);
    ReadBack back = ReadStyle(out);
    EXPECT_EQ(back.division, 480);
    ASSERT_EQ(back.sections.size(), style.sections.size());
    for (std::size_t i = 0; i < style.sections.size(); ++i)
        EXPECT_EQ(back.sections[i], style.sections[i].eventBytes) << i;
    ASSERT_EQ(back.ctabs.size(), style.csegs.size());
    for (std::size_t i = 0; i < style.csegs.size(); ++i)
        EXPECT_EQ(back.ctabs[i], style.csegs[i].ctabBytes) << i;

    // Four times finer and back: every time was a whole number of pulses both ways.
    const std::string fine = folder.File("fine.sty");
    const std::string again = folder.File("again.sty");
    const CliRun up = Run(
        {"convert", out, "--model", "PSR-9000", "--copy-all", "--resolution", "1920", "-o", fine});
    ASSERT_EQ(up.exitCode, 0) << up.err;
    const ReadBack fineBack = ReadStyle(fine);
    EXPECT_EQ(fineBack.division, 1920);
    EXPECT_NE(fineBack.sections, back.sections);
    ASSERT_EQ(Run({"convert", fine, "--model", "PSR-9000", "--copy-all", "--resolution", "480",
                   "-o", again})
                  .exitCode,
              0);
    const ReadBack againBack = ReadStyle(again);
    EXPECT_EQ(againBack.division, 480);
    EXPECT_EQ(againBack.sections, back.sections);
    EXPECT_EQ(againBack.ctabs, back.ctabs);
}

TEST_F(Sff2CliTest, ResolutionFailuresWriteNothing) {
    const ByteArray track =
        Cat({B({0x00}), Marker("Main A"), B({0x00, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00})});
    const std::string in = Write("odd.sty", Style(track, Cseg("Main A", {})));
    const std::string out = folder.File("out.sty");
    const CliRun run =
        Run({"convert", in, "--model", "PSR-9000", "--copy-all", "--resolution", "96", "-o", out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "korvane-cli: Sorry... Cannot write " + out +
                           " at 96 pulses per quarter note: section \"SInt\": a data byte "
                           "without a status byte at track byte 17.\nNo file was written.\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    for (const char* bad : {"0", "32768", "x"}) {
        EXPECT_EQ(Run({"convert", in, "--model", "PSR-9000", "--copy-all", "--resolution", bad,
                       "-o", out})
                      .exitCode,
                  2)
            << bad;
    }
    // Without --resolution the same style is written as it stands.
    EXPECT_EQ(Run({"convert", in, "--model", "PSR-9000", "--copy-all", "-o", out}).exitCode, 0);
}

} // namespace
} // namespace korvane::testing
