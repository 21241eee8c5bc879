// Reading style files: what the reader keeps of each part of the file, and how it refuses files
// that are not styles or are damaged.

#include "style/StyleReader.h"

#include "support/AllocationFailure.h"
#include "support/HostileStyles.h"
#include "support/PlatformText.h"
#include "support/ScriptedDialogs.h"
#include "support/StyleBytes.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvane::testing {
namespace {

class StyleReaderTest : public ::testing::Test {
protected:
    int Read(const ByteArray& bytes, const std::string& name = "test.sty") {
        path = folder.File(name);
        WriteBytes(path, bytes);
        document.StartNextFile();
        return int(ReadStyleFile(path, document, messages)); // the status codes callers see
    }
    const std::vector<CStyleSection*>& Sections() const { return document.GetSections(); }
    ByteArray Data(int i) const { return *Sections().at(i)->GetData(); }
    void ExpectOnlyMessage(const std::string& text) const {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0],
                  (ShownMessage{text, "Sorry...", MessageIcon::None, MessageButtons::Ok}));
    }

    CTemporaryFolder folder;
    std::string path;
    CStyleDocument document;
    CScriptedMessageBox messages;
};

TEST_F(StyleReaderTest, MinimalStyleReadsHeaderSectionsAndCseg) {
    ASSERT_EQ(Read(MinimalStyle()), 0);
    EXPECT_TRUE(messages.shown.empty());

    const CStyleProperties& p = *document.GetSourceProperties();
    EXPECT_EQ(p.m_format, 0);
    EXPECT_EQ(p.m_trackCount, 1);
    EXPECT_EQ(p.m_division, 480);
    EXPECT_EQ(*p.GetTimeSignature(), B({0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08}));
    EXPECT_EQ(*p.GetTempo(), B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00}));
    EXPECT_EQ(p.GetSysex(), nullptr);

    ASSERT_EQ(Sections().size(), 2u);
    EXPECT_EQ(Sections()[0]->GetName(), "SInt");
    EXPECT_EQ(Data(0), B({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00}));
    EXPECT_EQ(Sections()[1]->GetName(), "Main A");
    EXPECT_EQ(Data(1), B({0x00, 0x90, 0x40, 0x64, 0x60, 0x80, 0x40, 0x00, 0x00}));

    const auto csegs = document.GetCsegs();
    ASSERT_EQ(csegs.size(), 1u);
    EXPECT_EQ(*csegs[0]->GetCtab(), Cat({T("Ctab"), B({0, 0, 0, 3, 1, 2, 3})}));
    EXPECT_EQ(csegs[0]->GetSdecText(), "SInt,Main A");
    EXPECT_EQ(Sections()[0]->GetSegment(), csegs[0]);
    EXPECT_EQ(Sections()[1]->GetSegment(), csegs[0]);
}

TEST_F(StyleReaderTest, Sff1MarkerIsOptional) {
    ASSERT_EQ(Read(MinimalStyle(false)), 0);
    ASSERT_EQ(Sections().size(), 2u);
    EXPECT_EQ(Sections()[0]->GetName(), "SInt");
    EXPECT_EQ(Data(0), B({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00}));
    EXPECT_EQ(*document.GetSourceProperties()->GetTempo(),
              B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00}));
}

TEST_F(StyleReaderTest, HeaderTextsAndOneByteEventsAreKept) {
    const ByteArray track = Cat(
        {B({0x00, 0xFF, 0x02, 0x03}), T("(c)"), B({0x00, 0xFF, 0x03, 0x03}), T("Pop"),
         B({0x00, 0xFF, 0x04, 0x02}), T("GM"), B({0x00, 0xFF, 0x05, 0x01}), T("L"),
         B({0x00, 0xFF, 0x07, 0x03}), T("cue"), B({0x00, 0xFF, 0x20, 0x01, 0x05, 0x00}),
         B({0xFF, 0x21, 0x01, 0x02, 0x00}), B({0xFF, 0x54, 0x05, 1, 2, 3, 4, 5, 0x00}),
         B({0xFF, 0x59, 0x02, 0xFE, 0x01, 0x00}), Marker("Main A"), B({0x00, 0xFF, 0x2F, 0x00})});
    ASSERT_EQ(Read(Style(track, {})), 0);
    const CStyleProperties& p = *document.GetSourceProperties();
    EXPECT_EQ(p.GetCopyright(), "(c)");
    EXPECT_EQ(p.GetSequenceName(), "Pop");
    EXPECT_EQ(p.GetInstrumentName(), "GM");
    EXPECT_EQ(p.GetLyric(), "L");
    EXPECT_EQ(p.GetCuePoint(), "cue");
    EXPECT_EQ(p.m_channelPrefix, 5);
    EXPECT_EQ(p.m_port, 2);
    EXPECT_EQ(*p.GetSmpteOffset(), B({0xFF, 0x54, 0x05, 1, 2, 3, 4, 5}));
    EXPECT_EQ(*p.GetKeySignature(), B({0xFF, 0x59, 0x02, 0xFE, 0x01}));
}

TEST_F(StyleReaderTest, HeaderEventsThatAreNotKeptLeaveNoTrace) {
    // A text event, a program change and an end of track before the first marker: the scan
    // goes on past all three and stores none of them.
    const ByteArray track = Cat({B({0x00, 0xFF, 0x01, 0x02}), T("hi"), B({0x00, 0xC0, 0x05, 0x00}),
                                 B({0xFF, 0x2F, 0x00, 0x00}), B({0xFF, 0x03, 0x01}), T("X"),
                                 B({0x00}), Marker("SInt"), B({0x00, 0xFF, 0x2F, 0x00})});
    ASSERT_EQ(Read(Style(track, {})), 0);
    const CStyleProperties& p = *document.GetSourceProperties();
    EXPECT_EQ(p.GetSequenceName(), "X");
    EXPECT_EQ(p.GetCopyright(), "");
    EXPECT_EQ(p.GetSysex(), nullptr);
    ASSERT_EQ(Sections().size(), 1u);
    EXPECT_EQ(Data(0), B({0x00}));
}

TEST_F(StyleReaderTest, LaterHeaderEventsReplaceEarlierOnes) {
    const ByteArray track = Cat({B({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x51,
                                    0x03, 0x09, 0x27, 0xC0, 0x00}),
                                 B({0xFF, 0x03, 0x01}), T("A"), B({0x00, 0xFF, 0x03, 0x01}), T("B"),
                                 B({0x00}), Marker("SInt"), B({0x00, 0xFF, 0x2F, 0x00})});
    ASSERT_EQ(Read(Style(track, {})), 0);
    EXPECT_EQ(*document.GetSourceProperties()->GetTempo(),
              B({0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0, 0x00}));
    EXPECT_EQ(document.GetSourceProperties()->GetSequenceName(), "B");
}

TEST_F(StyleReaderTest, SystemExclusiveMessagesBeforeAMetaEventFormOneRun) {
    const ByteArray gmOn = B({0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00});
    const ByteArray xgOn = B({0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7, 0x00});
    const ByteArray reverb = B({0xF0, 0x03, 0x43, 0x10, 0xF7, 0x00});
    const ByteArray track = Cat({B({0x00}), gmOn, xgOn, B({0xFF, 0x03, 0x01}), T("S"), B({0x00}),
                                 reverb, Marker("SInt"), B({0x00, 0xFF, 0x2F, 0x00})});
    ASSERT_EQ(Read(Style(track, {})), 0);
    EXPECT_EQ(*document.GetSourceProperties()->GetSysex(), Cat({gmOn, xgOn, reverb}));
}

TEST_F(StyleReaderTest, SectionsKeepEveryEventUnchanged) {
    // A tempo change, an FF inside a long delta-time (FF 7F) and running status all stay in the
    // section's bytes; the section ends at the FF of the next marker.
    const ByteArray mainA = B({0x00, 0x90, 0x40, 0x64, 0x60, 0x40, 0x00, 0x00, 0xFF, 0x51, 0x03,
                               0x07, 0xA1, 0x20, 0x83, 0xFF, 0x7F, 0x80, 0x40, 0x00, 0x00});
    const ByteArray track =
        Cat({B({0x00}), Marker("Main A"), mainA, Marker("Main B"), B({0x00, 0xFF, 0x2F, 0x00})});
    ASSERT_EQ(Read(Style(track, {})), 0);
    ASSERT_EQ(Sections().size(), 2u);
    EXPECT_EQ(Data(0), mainA);
    EXPECT_EQ(Data(1), B({0x00}));
}

TEST_F(StyleReaderTest, SectionNamesStopAtZeroAndAreCutTo63Bytes) {
    const std::string longName(70, 'x');
    const ByteArray track =
        Cat({B({0x00}), Marker(longName), B({0x00}), Marker(std::string("Main A\0junk", 11)),
             B({0x00, 0xFF, 0x2F, 0x00})});
    ASSERT_EQ(Read(Style(track, {})), 0);
    ASSERT_EQ(Sections().size(), 2u);
    EXPECT_EQ(Sections()[0]->GetName(), std::string(63, 'x'));
    EXPECT_EQ(Data(0), B({0x00}));
    EXPECT_EQ(Sections()[1]->GetName(), "Main A");
}

TEST_F(StyleReaderTest, SameNamedSectionsGiveTheCsegToTheFirst) {
    const ByteArray track = Cat(
        {B({0x00}), Marker("Main A"), B({0x01}), Marker("Main A"), B({0x02, 0xFF, 0x2F, 0x00})});
    ASSERT_EQ(Read(Style(track, Cseg("Main A", {}))), 0);
    EXPECT_EQ(Sections()[0]->GetSegment(), document.GetCsegs()[0]);
    EXPECT_EQ(Sections()[1]->GetSegment(), nullptr);
    EXPECT_EQ(document.GetCsegs()[0]->GetCtab(), nullptr);
}

TEST_F(StyleReaderTest, ManySff1MarkersInARowAreReadWithoutEnd) {
    // Each "SFF1" marker takes the byte after its text as the type of the next event.
    ByteArray track = Cat({B({0x00}), Marker("SFF1")});
    for (int i = 0; i < 50000; ++i) {
        for (auto byte : Cat({B({0x06, 0x04}), T("SFF1")}))
            track.push_back(byte);
    }
    track = Cat({track, B({0x06, 0x04}), T("SInt"), B({0x00, 0xFF, 0x2F, 0x00})});
    ASSERT_EQ(Read(Style(track, {})), 0);
    ASSERT_EQ(Sections().size(), 1u);
    EXPECT_EQ(Sections()[0]->GetName(), "SInt");
}

class SdecTest : public StyleReaderTest {
protected:
    // Sections "Main A", "Main B", ",Main B" and one CSEG with the given Sdec text.
    void ReadWithSdec(const std::string& sdec) {
        const ByteArray track = Cat({B({0x00}), Marker("Main A"), B({0x00}), Marker("Main B"),
                                     B({0x00}), Marker(",Main B"), B({0x00, 0xFF, 0x2F, 0x00})});
        ASSERT_EQ(Read(Style(track, Cseg(sdec, {}))), 0);
        record = document.GetCsegs().at(0);
    }
    bool Refers(int section) const { return Sections().at(section)->GetSegment() == record; }
    const CCsegRecord* record = nullptr;
};

TEST_F(SdecTest, NamesAreSplitAtCommas) {
    ReadWithSdec("Main A,Main B");
    EXPECT_TRUE(Refers(0));
    EXPECT_TRUE(Refers(1));
    EXPECT_FALSE(Refers(2));
}

TEST_F(SdecTest, ATrailingCommaEndsTheList) {
    ReadWithSdec("Main A,");
    EXPECT_TRUE(Refers(0));
    EXPECT_FALSE(Refers(1));
}

TEST_F(SdecTest, TwoCommasInARowMakeTheRestOneName) {
    ReadWithSdec("Main A,,Main B");
    EXPECT_TRUE(Refers(0));
    EXPECT_FALSE(Refers(1));
    EXPECT_TRUE(Refers(2)); // the name ",Main B"
}

TEST_F(SdecTest, ASpaceAfterACommaBelongsToTheName) {
    ReadWithSdec("Main A, Main B");
    EXPECT_TRUE(Refers(0));
    EXPECT_FALSE(Refers(1));
}

TEST_F(SdecTest, UnknownNamesChangeNothing) {
    ReadWithSdec("Main C");
    EXPECT_FALSE(Refers(0));
    EXPECT_FALSE(Refers(1));
    EXPECT_FALSE(Refers(2));
    EXPECT_EQ(document.GetCsegs().size(), 1u);
}

class CasmTest : public StyleReaderTest {
protected:
    int ReadCasm(const ByteArray& casmData) { return Read(Style(MinimalTrack(), casmData)); }
};

TEST_F(CasmTest, LaterCsegNamingASectionTakesIt) {
    ASSERT_EQ(ReadCasm(Cat({Cseg("SInt,Main A", {}), Cseg("Main A", Chunk("Ctab", B({9})))})), 0);
    const auto csegs = document.GetCsegs();
    ASSERT_EQ(csegs.size(), 2u);
    EXPECT_EQ(Sections()[0]->GetSegment(), csegs[0]);
    EXPECT_EQ(Sections()[1]->GetSegment(), csegs[1]);
}

TEST_F(CasmTest, SeveralCtabChunksAreKeptInOrder) {
    ASSERT_EQ(ReadCasm(Cseg("SInt", Cat({Chunk("Ctab", B({1})), Chunk("Ctab", B({2, 3}))}))), 0);
    EXPECT_EQ(*document.GetCsegs()[0]->GetCtab(),
              Cat({T("Ctab"), B({0, 0, 0, 1, 1}), T("Ctab"), B({0, 0, 0, 2, 2, 3})}));
}

TEST_F(CasmTest, OtherChunksInsideACsegAreSkipped) {
    // Newer styles carry Cntt chunks in their CSEGs; the CSEGs after them are still read.
    const ByteArray first =
        Cseg("SInt", Cat({Chunk("Ctab", B({1})), Chunk("Cntt", B({7, 7})), Chunk("Ctab", B({2}))}));
    ASSERT_EQ(ReadCasm(Cat({first, Cseg("Main A", Chunk("Ctab", B({3})))})), 0);
    const auto csegs = document.GetCsegs();
    ASSERT_EQ(csegs.size(), 2u);
    EXPECT_EQ(*csegs[0]->GetCtab(),
              Cat({T("Ctab"), B({0, 0, 0, 1, 1}), T("Ctab"), B({0, 0, 0, 1, 2})}));
    EXPECT_EQ(Sections()[1]->GetSegment(), csegs[1]);
}

TEST_F(CasmTest, AChunkAfterTheLastCsegEndsTheReading) {
    ASSERT_EQ(ReadCasm(Cat({Cseg("SInt", {}), Chunk("OTSc", B({1, 2})), Cseg("Main A", {})})), 0);
    EXPECT_EQ(document.GetCsegs().size(), 1u);
    EXPECT_EQ(Sections()[1]->GetSegment(), nullptr);
}

TEST_F(CasmTest, FileMayEndRightAfterTheLastCtab) {
    ASSERT_EQ(ReadCasm(Cseg("SInt", Chunk("Ctab", B({1, 2, 3})))), 0);
    EXPECT_EQ(document.GetCsegs().size(), 1u);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(CasmTest, CsegWithoutSdecFirstIsRefused) {
    const ByteArray cseg = Chunk("CSEG", Cat({Chunk("Ctab", B({1})), Chunk("Sdec", T("SInt"))}));
    EXPECT_EQ(ReadCasm(Cat({Cseg("Main A", {}), cseg})), 4);
    ExpectOnlyMessage("CSEG missing.");
    // What was read before the failure stays.
    EXPECT_EQ(Sections().size(), 2u);
    EXPECT_EQ(document.GetCsegs().size(), 1u);
}

TEST_F(CasmTest, MissingCasmIsRefused) {
    EXPECT_EQ(Read(Cat({Header(), Chunk("MTrk", MinimalTrack())}), "plain.mid"), 4);
    ExpectOnlyMessage("Unable to locate CASM segment.\nFile plain.mid may be corrupted.");
    EXPECT_EQ(Sections().size(), 2u);
}

// A file that holds every byte its CASM length announces is complete, whatever follows; one that
// ends before that is damaged.
TEST_F(CasmTest, CompleteStyleReadsWhateverFollowsTheCasmChunk) {
    const ByteArray casmData = Cseg("SInt,Main A", Chunk("Ctab", B({1, 2, 3})));
    const ByteArray complete = Style(MinimalTrack(), casmData);
    // The CSEG chunk of casmData with its own length told 10 bytes too long.
    ByteArray overstatedCseg = casmData;
    overstatedCseg[7] = std::uint8_t(overstatedCseg[7] + 10);
    const ByteArray casmThenCseg = Cat({Header(), Chunk("MTrk", MinimalTrack()), T("CASM")});
    const struct {
        const char* what;
        ByteArray bytes;
        int result;
    } cases[] = {
        {"nothing after", complete, 0},
        {"00", Cat({complete, B({0x00})}), 0},
        {"1A", Cat({complete, B({0x1A})}), 0},
        {"00 00", Cat({complete, B({0x00, 0x00})}), 0},
        {"1A 1A 1A", Cat({complete, B({0x1A, 0x1A, 0x1A})}), 0},
        {"\"CS\"", Cat({complete, T("CS")}), 0},
        {"four bytes", Cat({complete, B({0, 0, 0, 0})}), 0},
        {"last CSEG overstated",
         Cat({casmThenCseg, Be32(std::uint32_t(casmData.size())), overstatedCseg}), 0},
        {"CASM and CSEG overstated",
         Cat({casmThenCseg, Be32(std::uint32_t(casmData.size() + 10)), overstatedCseg}), 4},
        {"CASM announces one more CSEG",
         Cat({casmThenCseg, Be32(std::uint32_t(2 * casmData.size())), casmData}), 4},
        {"cut in the next CSEG's tag",
         Cat({casmThenCseg, Be32(std::uint32_t(2 * casmData.size())), casmData, T("CS")}), 4},
    };
    for (const auto& c : cases) {
        messages.shown.clear();
        EXPECT_EQ(Read(c.bytes, "padded.sty"), c.result) << c.what;
        if (c.result == 0) {
            EXPECT_TRUE(messages.shown.empty()) << c.what;
            ASSERT_EQ(document.GetCsegs().size(), 1u) << c.what;
            EXPECT_EQ(*document.GetCsegs()[0]->GetCtab(), Cat({T("Ctab"), Be32(3), B({1, 2, 3})}));
            EXPECT_EQ(Sections()[1]->GetSegment(), document.GetCsegs()[0]) << c.what;
        } else {
            ExpectOnlyMessage("File padded.sty is damaged: it ends in the middle of its data.\n"
                              "Cannot process further.");
        }
    }
}

class RefusedFileTest : public StyleReaderTest {};

TEST_F(RefusedFileTest, MissingFileNamesPathAndErrorCode) {
    const std::string missing = folder.File("none.sty");
    document.StartNextFile();
    EXPECT_EQ(ReadStyleFile(missing, document, messages), ReadResult::Refused);
    ExpectOnlyMessage("Cannot open file " + missing + ". (" +
                      CodeText("0x00000002", "No such file or directory") + ")");
}

TEST_F(RefusedFileTest, FileWithoutMThd) {
    EXPECT_EQ(Read(T("RIFF....")), -1);
    ExpectOnlyMessage(path + " is not a style file (MThd missing).");
}

TEST_F(RefusedFileTest, FormatOneEvenWithOneTrack) {
    EXPECT_EQ(Read(Cat({Header(1, 1), Chunk("MTrk", MinimalTrack()), MinimalCasm()})), -1);
    ExpectOnlyMessage("This is a Type 1 MIDI File.\nCannot process further.");
    EXPECT_EQ(document.GetSourceProperties()->m_format, 1);
    EXPECT_EQ(document.GetSourceProperties()->m_division, 480);
}

TEST_F(RefusedFileTest, FormatTwoWithOneTrackIsRead) {
    EXPECT_EQ(Read(Cat({Header(2, 1), Chunk("MTrk", MinimalTrack()), MinimalCasm()})), 0);
    EXPECT_EQ(Sections().size(), 2u);
}

TEST_F(RefusedFileTest, SeveralTracks) {
    EXPECT_EQ(Read(Cat({Header(0, 2), Chunk("MTrk", MinimalTrack()), MinimalCasm()})), -1);
    ExpectOnlyMessage("This is a multitrack MIDI File.\nCannot process further.");
}

TEST_F(RefusedFileTest, HeaderLengthIsNotUsed) {
    // A header of 8 bytes makes its last two bytes part of the next tag.
    const ByteArray header = Cat({T("MThd"), Be32(8), B({0, 0, 0, 1, 1, 0xE0, 0, 0})});
    EXPECT_EQ(Read(Cat({header, Chunk("MTrk", MinimalTrack()), MinimalCasm()})), 2);
    ExpectOnlyMessage("No track tag.\n");
}

TEST_F(RefusedFileTest, UnknownMetaEventBeforeTheFirstMarkerEndsTheScan) {
    for (int type : {0x7F, 0x00}) {
        messages.shown.clear();
        const ByteArray track = Cat(
            {B({0x00, 0xFF, type, 0x01, 0x00, 0x00}), Marker("SInt"), B({0x00, 0xFF, 0x2F, 0x00})});
        EXPECT_EQ(Read(Style(track, {})), -1) << type;
        ExpectOnlyMessage("Non-style MIDI File.\nCannot process further.");
        EXPECT_TRUE(Sections().empty());
    }
}

TEST_F(RefusedFileTest, Sff2StyleIsReadAndCarriesAConversionReport) {
    const ByteArray track =
        Cat({B({0x00}), Marker("SFF2"), B({0x00}), Marker("SInt"), B({0x00, 0xFF, 0x2F, 0x00})});
    EXPECT_EQ(Read(Style(track, {})), 0);
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_EQ(Sections().size(), 1u);
    ASSERT_NE(document.GetConversionReport(), nullptr);
    EXPECT_EQ(document.GetConversionReport()->GetText(), "SFF2 style, converted to SFF1");
    // The next file read as it stands has no report.
    EXPECT_EQ(Read(MinimalStyle()), 0);
    EXPECT_EQ(document.GetConversionReport(), nullptr);
}

TEST_F(RefusedFileTest, TrackEndingWithoutEndOfTrackIsDamaged) {
    const ByteArray cut = Cat(
        {Header(), T("MTrk"), Be32(100), B({0x00}), Marker("SInt"), B({0x00, 0x90, 0x3C, 0x64})});
    EXPECT_EQ(Read(cut, "cut.sty"), 4);
    ExpectOnlyMessage("File cut.sty is damaged: it ends in the middle of its data.\n"
                      "Cannot process further.");
    ASSERT_EQ(Sections().size(), 1u);
    EXPECT_EQ(Data(0), B({0x00, 0x90, 0x3C, 0x64}));
}

TEST_F(RefusedFileTest, SdecOrCtabRunningPastTheEndIsDamaged) {
    const ByteArray start =
        Cat({Header(), Chunk("MTrk", MinimalTrack()), T("CASM"), Be32(999), T("CSEG"), Be32(999)});
    const std::string damaged =
        "File cut.sty is damaged: it ends in the middle of its data.\nCannot process further.";
    EXPECT_EQ(Read(Cat({start, T("Sdec"), Be32(0x7FFFFFFF), T("SInt")}), "cut.sty"), 4);
    ExpectOnlyMessage(damaged);
    EXPECT_TRUE(document.GetCsegs().empty());

    messages.shown.clear();
    EXPECT_EQ(
        Read(Cat({start, Chunk("Sdec", T("SInt")), T("Ctab"), Be32(27), B({1, 2})}), "cut.sty"), 4);
    ExpectOnlyMessage(damaged);

    messages.shown.clear();
    EXPECT_EQ(Read(Cat({start, Chunk("Sdec", T("SInt")), T("Ctab")}), "cut.sty"), 4);
    ExpectOnlyMessage(damaged);
}

// Only a regular file is read: a folder is refused with EISDIR (0x15), a FIFO or a device with
// ENXIO (0x06), before a byte is read, and a FIFO without a writer does not block. A link is
// followed to what it names.
TEST_F(RefusedFileTest, WhatIsNotARegularFileIsRefusedBeforeReading) {
    const std::string style = folder.File("style.sty");
    WriteBytes(style, MinimalStyle());
    std::filesystem::create_directory(folder.File("folder.sty"));
    struct Case {
        std::string path;
        std::string code; // empty: read
    };
    std::vector<Case> cases = {
        {folder.File("folder.sty"), CodeText("0x00000015", "Is a directory")}, {style, ""}};
#ifdef _WIN32
    cases.push_back(
        {"NUL",
         CodeText("0x00000006",
                  "No such device or address")}); // Windows has devices by name, and no FIFOs
#else
    ASSERT_EQ(::mkfifo(folder.File("fifo.sty").c_str(), 0600), 0);
    std::filesystem::create_symlink(style, folder.File("link.sty"));
    std::filesystem::create_directory_symlink(folder.File("folder.sty"), folder.File("dir-link"));
    std::filesystem::create_symlink(folder.File("fifo.sty"), folder.File("fifo-link.sty"));
    cases.insert(cases.end(),
                 {{folder.File("dir-link"), "0x00000015: Is a directory"},
                  {folder.File("fifo.sty"), "0x00000006: No such device or address"},
                  {folder.File("fifo-link.sty"), "0x00000006: No such device or address"},
                  {"/dev/null", "0x00000006: No such device or address"},
                  {"/dev/zero", "0x00000006: No such device or address"},
                  {folder.File("link.sty"), ""}});
#endif
    for (const auto& c : cases) {
        messages.shown.clear();
        document.StartNextFile();
        const ReadResult result = ReadStyleFile(c.path, document, messages);
        if (c.code.empty()) {
            EXPECT_EQ(result, ReadResult::Ok) << c.path;
            EXPECT_EQ(Sections().size(), 2u);
            continue;
        }
        EXPECT_EQ(result, ReadResult::Refused) << c.path;
        ExpectOnlyMessage("Cannot open file " + c.path + ". (" + c.code + ")");
        EXPECT_TRUE(Sections().empty()) << c.path;
    }
}

TEST_F(RefusedFileTest, RunningOutOfMemoryIsAFileErrorNotAnAbort) {
    // One section of 4 MB; no allocation above 1 MB may succeed while it is read.
    const ByteArray big(std::size_t(4) << 20, 0x00);
    const ByteArray track = Cat({B({0x00}), Marker("Main A"), big, B({0xFF, 0x2F, 0x00})});
    path = folder.File("big.sty");
    WriteBytes(path, Style(track, Cseg("Main A", {})));
    document.StartNextFile();
    ReadResult result;
    {
        CFailLargeAllocations guard(std::size_t(1) << 20);
        result = ReadStyleFile(path, document, messages);
    }
    EXPECT_EQ(result, ReadResult::Refused);
    ExpectOnlyMessage("Not enough memory to read file " + path + ".\nCannot process further.");
    // Without the limit the same file reads, its section held in an array of its own size.
    messages.shown.clear();
    document.StartNextFile();
    ASSERT_EQ(ReadStyleFile(path, document, messages), ReadResult::Ok);
    EXPECT_EQ(Sections()[0]->GetDataLength(), big.size());
    EXPECT_LT(Sections()[0]->GetData()->capacity(), big.size() + 64);
}

// Crafted shapes that once took quadratic time read to what a search of the text would give;
// their speed is measured by the benchmark.
TEST_F(StyleReaderTest, CraftedSdecShapesResolveLikeASearchOfTheText) {
    ASSERT_EQ(Read(LongSdecStyle(20001)), 0);
    ASSERT_EQ(Sections().size(), 1u);
    EXPECT_EQ(Sections()[0]->GetSegment(), document.GetCsegs().at(0));
    EXPECT_EQ(document.GetCsegs()[0]->GetSdecText().size(), 20001u);

    ASSERT_EQ(Read(ManyNamedSectionsStyle(3000)), 0);
    ASSERT_EQ(Sections().size(), 3000u);
    ASSERT_EQ(document.GetCsegs().size(), 1u);
    for (const CStyleSection* section : Sections())
        ASSERT_EQ(section->GetSegment(), document.GetCsegs()[0]) << section->GetName();

    ASSERT_EQ(Read(ManyCsegsStyle(3000)), 0);
    ASSERT_EQ(document.GetCsegs().size(), 3000u);
    for (std::size_t i = 0; i < 3000; ++i) {
        ASSERT_EQ(Sections()[i]->GetName(), NumberedName(i));
        ASSERT_EQ(Sections()[i]->GetSegment(), document.GetCsegs()[i]) << i;
    }
}

// 131,072 sections read; one more is refused, for each costs memory however small it is.
TEST_F(StyleReaderTest, AFileOfMoreSectionsThanAStyleMayHaveIsRefused) {
    for (const std::size_t count : {std::size_t(131072), std::size_t(131073)}) {
        ByteArray track = B({0x00});
        for (std::size_t i = 0; i < count; ++i) // markers of empty names, without events
            track.insert(track.end(), {0xFF, 0x06, 0x00});
        track.insert(track.end(), {0xFF, 0x2F, 0x00});
        messages.shown.clear();
        EXPECT_EQ(Read(Style(track, Cseg("SInt", {}))), count == 131072 ? 0 : -1);
        if (count == 131072)
            EXPECT_EQ(Sections().size(), count);
        else
            ExpectOnlyMessage("File test.sty has more than 131072 sections; a style has a few "
                              "dozen.\nCannot process further.");
    }
}

TEST_F(RefusedFileTest, EveryTruncationOfAStyleEndsWithAResult) {
    const ByteArray whole = MinimalStyle();
    for (std::size_t length = 0; length < whole.size(); ++length) {
        messages.shown.clear();
        const int result = Read(ByteArray(whole.begin(), whole.begin() + long(length)));
        EXPECT_NE(result, 0) << "cut at " << length;
        EXPECT_EQ(messages.shown.size(), 1u) << "cut at " << length;
    }
}

} // namespace
} // namespace korvane::testing
