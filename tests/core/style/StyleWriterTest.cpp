// Writing style files: the exact bytes of header, track and CASM chunk, and what a failed write
// leaves behind.

#include "style/StyleWriter.h"

#include "style/StyleReader.h"
#include "support/AllocationFailure.h"
#include "support/PosixOnly.h"
#include "support/ScriptedDialogs.h"
#include "support/StyleBytes.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include "support/Unprivileged.h"
#include <sys/stat.h>
#endif

namespace korvane::testing {
namespace {

class StyleWriterTest : public ::testing::Test {
protected:
    StyleWriterTest() { document.StartNextFile(); }

    CStyleSection& Section(const std::string& name, const ByteArray& data,
                           CCsegRecord* segment = nullptr) {
        CStyleSection& section = document.AppendSection(name);
        for (auto byte : data)
            section.AppendByte(byte);
        section.SetSegment(segment);
        return section;
    }
    CCsegRecord& Record(const ByteArray& ctab = {}) {
        auto record = std::make_unique<CCsegRecord>();
        for (auto byte : ctab)
            record->AppendByte(byte);
        return document.AppendCseg(std::move(record));
    }
    void Assign(CStyleSection& section, int slot, const std::string& destination) {
        document.Assign(section, std::uint32_t(slot));
        slots[slot] = {true, section.GetName(), destination};
    }
    ByteArray Build() {
        csegs = document.GetCsegs();
        return BuildStyleBytes({properties, slots, document.GetAssignedSections(), csegs});
    }
    // The track data after MTrk and its length.
    ByteArray Track(const ByteArray& file) {
        return ByteArray(file.begin() + 22, file.begin() + 22 + TrackLength(file));
    }
    static std::size_t TrackLength(const ByteArray& file) {
        return std::size_t(file[18]) << 24 | std::size_t(file[19]) << 16 |
               std::size_t(file[20]) << 8 | file[21];
    }
    ByteArray Casm(const ByteArray& file) {
        return ByteArray(file.begin() + 22 + long(TrackLength(file)), file.end());
    }

    CStyleDocument document;
    CStyleProperties properties;
    AssignmentSlots slots;
    std::vector<const CCsegRecord*> csegs;
    CScriptedMessageBox messages;
};

TEST_F(StyleWriterTest, HeaderBlockAndTrackLengthOfASmallStyle) {
    properties.m_division = 480;
    properties.m_trackCount = 1;
    properties.SetTimeSignature(B({0xFF, 0x58, 0x04, 4, 2, 24, 8}));
    properties.SetTempo(B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00}));
    properties.SetSequenceName("Pop");
    Assign(Section("Main A", B({0, 0x90, 0x40, 0x64, 0x60, 0x40, 0, 0, 0x10, 0})), 1, "Main A");

    const ByteArray file = Build();
    EXPECT_EQ(ByteArray(file.begin(), file.begin() + 22),
              Cat({T("MThd"), B({0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0}), T("MTrk"), Be32(53)}));
    EXPECT_EQ(
        Track(file),
        Cat({B({0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
                0x00}),
             Marker("SFF1"), B({0x00, 0xFF, 0x03, 0x03}), T("Pop"), B({0x00}), Marker("Main A"),
             B({0, 0x90, 0x40, 0x64, 0x60, 0x40, 0, 0, 0x10, 0, 0xFF, 0x2F, 0x00})}));
    EXPECT_EQ(Casm(file), Cat({T("CASM"), Be32(0)}));
}

TEST_F(StyleWriterTest, EmptyPropertiesStillOpenWithSff1) {
    Assign(Section("SInt", B({0x00})), 0, "SInt");
    EXPECT_EQ(Track(Build()), Cat({B({0x00}), Marker("SFF1"), B({0x00}), Marker("SInt"),
                                   B({0x00, 0xFF, 0x2F, 0x00})}));
}

TEST_F(StyleWriterTest, HeaderEventsInTheirFixedOrder) {
    properties.SetCopyright("C");
    properties.SetSequenceName("S");
    properties.AppendSysex(B({0xF0, 0x01, 0xF7, 0x05}));
    properties.SetInstrumentName("I");
    properties.SetLyric("L");
    properties.SetCuePoint("Q");
    properties.m_channelPrefix = 3;
    properties.m_port = 1;
    properties.SetSmpteOffset(B({0xFF, 0x54, 0x05, 1, 2, 3, 4, 5}));
    properties.SetKeySignature(B({0xFF, 0x59, 0x02, 0xFE, 1}));
    Assign(Section("SInt", B({0x00})), 0, "SInt");
    EXPECT_EQ(Track(Build()),
              Cat({B({0x00, 0xFF, 0x02, 0x01}), T("C"), B({0x00}), Marker("SFF1"),
                   B({0x00, 0xFF, 0x03, 0x01}), T("S"), B({0x00}),
                   // the run without the delta-time it had in its own file
                   B({0xF0, 0x01, 0xF7, 0x00}), B({0xFF, 0x04, 0x01}), T("I"),
                   B({0x00, 0xFF, 0x05, 0x01}), T("L"), B({0x00, 0xFF, 0x07, 0x01}), T("Q"),
                   B({0x00, 0xFF, 0x20, 0x01, 3, 0x00, 0xFF, 0x21, 0x01, 1, 0x00}),
                   B({0xFF, 0x54, 0x05, 1, 2, 3, 4, 5, 0x00, 0xFF, 0x59, 0x02, 0xFE, 1, 0x00}),
                   Marker("SInt"), B({0x00, 0xFF, 0x2F, 0x00})}));
}

TEST_F(StyleWriterTest, TextsAreCutTo255Bytes) {
    properties.SetCopyright(std::string(255, 'c'));
    properties.SetSequenceName(std::string(300, 's'));
    Assign(Section("SInt", B({0x00})), 0, "SInt");
    const ByteArray track = Track(Build());
    EXPECT_EQ(ByteArray(track.begin(), track.begin() + 4), B({0x00, 0xFF, 0x02, 0xFF}));
    const ByteArray name = Cat({B({0xFF, 0x03, 0xFF}), T(std::string(255, 's')), B({0x00})});
    EXPECT_EQ(ByteArray(track.begin() + 268, track.begin() + 268 + long(name.size())), name);
    EXPECT_EQ(track.size(), 1u + 259 + 8 + 259 + 7 + 1 + 3);
}

TEST_F(StyleWriterTest, SectionsFollowSlotOrderNotAssignmentOrder) {
    CStyleSection& a = Section("Main A", B({0x0A}));
    CStyleSection& b = Section("Main B", B({0x0B}));
    Assign(b, 5, "Main B");
    Assign(a, 1, "Main A");
    EXPECT_EQ(Track(Build()), Cat({B({0x00}), Marker("SFF1"), B({0x00}), Marker("Main A"),
                                   B({0x0A}), Marker("Main B"), B({0x0B, 0xFF, 0x2F, 0x00})}));
}

TEST_F(StyleWriterTest, SectionsTakeTheirDestinationNames) {
    Assign(Section("Main A", B({0x0A})), 3, "Main B");
    EXPECT_EQ(Track(Build()), Cat({B({0x00}), Marker("SFF1"), B({0x00}), Marker("Main B"),
                                   B({0x0A, 0xFF, 0x2F, 0x00})}));
}

TEST_F(StyleWriterTest, SdecListsDestinationNamesInAssignmentOrder) {
    CCsegRecord& record = Record(Cat({T("Ctab"), Be32(2), B({7, 8})}));
    CStyleSection& a = Section("A", B({1}), &record);
    CStyleSection& b = Section("B", B({2}), &record);
    CStyleSection& c = Section("C", B({3}), &record);
    Assign(a, 5, "Main B");
    Assign(b, 1, "Main A");
    Assign(c, 3, "Fill In AB");
    EXPECT_EQ(Casm(Build()),
              Cat({T("CASM"), Be32(16 + 24 + 10), T("CSEG"), Be32(32 + 10), T("Sdec"), Be32(24),
                   T("Main B,Main A,Fill In AB"), T("Ctab"), Be32(2), B({7, 8})}));
}

TEST_F(StyleWriterTest, UnusedRecordsAreLeftOutAndRecordsWithoutCtabKeepOnlySdec) {
    Record(Cat({T("Ctab"), Be32(1), B({9})}));
    CCsegRecord& used = Record();
    Assign(Section("SInt", B({0}), &used), 0, "SInt");
    EXPECT_EQ(Casm(Build()),
              Cat({T("CASM"), Be32(20), T("CSEG"), Be32(12), T("Sdec"), Be32(4), T("SInt")}));
}

TEST_F(StyleWriterTest, EachSlotIsWrittenFromTheSectionThatHoldsIt) {
    // Two files, each with its own "Main A", assigned to two slots.
    CCsegRecord& first = Record(Cat({T("Ctab"), Be32(1), B({1})}));
    CStyleSection& fromFirst = Section("Main A", B({0x11}), &first);
    Assign(fromFirst, 1, "Main A");
    document.StartNextFile();
    CCsegRecord& second = Record(Cat({T("Ctab"), Be32(1), B({2})}));
    CStyleSection& fromSecond = Section("Main A", B({0x22}), &second);
    Assign(fromSecond, 5, "Main B");

    const ByteArray file = Build();
    EXPECT_EQ(Track(file), Cat({B({0x00}), Marker("SFF1"), B({0x00}), Marker("Main A"), B({0x11}),
                                Marker("Main B"), B({0x22, 0xFF, 0x2F, 0x00})}));
    EXPECT_EQ(Casm(file),
              Cat({T("CASM"), Be32(2 * (16 + 6 + 9)), T("CSEG"), Be32(8 + 6 + 9), T("Sdec"),
                   Be32(6), T("Main A"), T("Ctab"), Be32(1), B({1}), T("CSEG"), Be32(8 + 6 + 9),
                   T("Sdec"), Be32(6), T("Main B"), T("Ctab"), Be32(1), B({2})}));
}

TEST_F(StyleWriterTest, ASectionInSeveralSlotsListsEverySlotOnce) {
    CCsegRecord& record = Record();
    CStyleSection& main = Section("Main A", B({0x0A}), &record);
    Assign(main, 5, "Main B");
    Assign(main, 1, "Main A");
    Assign(main, 14, "Main D");
    EXPECT_EQ(Casm(Build()), Cat({T("CASM"), Be32(16 + 20), T("CSEG"), Be32(8 + 20), T("Sdec"),
                                  Be32(20), T("Main B,Main A,Main D")}));
}

class StyleFileWriteTest : public StyleWriterTest {
protected:
    // Builds and writes the file as Save does; a failure is shown as Save shows it.
    Outcome Write(const std::string& path, const StyleWriteOptions& options = {}) {
        csegs = document.GetCsegs();
        ByteArray bytes;
        Outcome outcome =
            BuildStyleFile({properties, slots, document.GetAssignedSections(), csegs}, path, bytes);
        if (!outcome)
            outcome = WriteStyleBytes(path, bytes, options);
        if (outcome && outcome.failure != Failure::Exists)
            ShowOutcome(messages, outcome);
        return outcome;
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    CTemporaryFolder folder;
};

TEST_F(StyleFileWriteTest, NothingAssignedWritesNothing) {
    EXPECT_TRUE(Write(folder.File("out.sty")));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], (ShownMessage{"You have not assigned anything to save.",
                                               "Sorry...", MessageIcon::None, MessageButtons::Ok}));
    EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(StyleFileWriteTest, MissingFolderCannotBeOpened) {
    Assign(Section("SInt", B({0})), 0, "SInt");
    const std::string path = folder.File("missing/out.sty");
    EXPECT_TRUE(Write(path));
    ASSERT_EQ(messages.shown.size(), 1u);
#ifdef _WIN32
    EXPECT_EQ(messages.shown[0].text, "Cannot open file " + path + ". (0x00000003)"); // not found
#else
    EXPECT_EQ(messages.shown[0], (ShownMessage{"Cannot open file " + path +
                                                   ". (0x00000002: No such file or directory)",
                                               "Sorry...", MessageIcon::None, MessageButtons::Ok}));
#endif
}

TEST_F(StyleFileWriteTest, ReplacesAnExistingFileWhole) {
    Assign(Section("SInt", B({0})), 0, "SInt");
    const std::string path = folder.File("out.sty");
    WriteBytes(path, std::string(5000, 'x'));
    ASSERT_FALSE(Write(path));
    EXPECT_EQ(ReadByteArray(path), Build());
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"out.sty"});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StyleFileWriteTest, TargetsThatCannotBeOpenedKeepTheirContentAndLeaveNoTemporaryFile) {
    Assign(Section("SInt", B({0})), 0, "SInt");
    std::filesystem::create_directory(folder.File("out.sty"));
    WriteBytes(folder.File("out.sty/keep"), std::string("kept"));
    struct Case {
        std::string path;
        std::string code;
    };
#ifdef _WIN32
    // A folder: "not supported on a directory". Devices are refused by their names.
    std::vector<Case> cases = {{folder.File("out.sty"), "0x00000150"}};
#else
    std::vector<Case> cases = {
        {folder.File("out.sty"), "0x00000015: Is a directory"}}; // a folder: EISDIR
    mkfifo(folder.File("fifo.sty").c_str(), 0644);
    std::filesystem::create_symlink(folder.File("gone.sty"), folder.File("dangling.sty"));
    cases.insert(cases.end(),
                 {
                     {folder.File("fifo.sty"), "0x00000016: Invalid argument"}, // EINVAL
                     {"/dev/null", "0x00000016: Invalid argument"},             // never replaced
                     {folder.File("dangling.sty"),
                      "0x00000002: No such file or directory"}, // creates no target
                     {folder.File(std::string(256, 'x') + ".sty"),
                      "0x00000024: File name too long"}, // ENAMETOOLONG
                 });
#endif
    for (const auto& c : cases) {
        messages.shown.clear();
        EXPECT_TRUE(Write(c.path)) << c.path;
        ASSERT_EQ(messages.shown.size(), 1u) << c.path;
#ifdef _WIN32 // the system's words follow the number
        EXPECT_EQ(messages.shown[0].text.rfind("Cannot open file " + c.path + ". (" + c.code, 0),
                  0u);
#else
        EXPECT_EQ(messages.shown[0],
                  (ShownMessage{"Cannot open file " + c.path + ". (" + c.code + ")", "Sorry...",
                                MessageIcon::None, MessageButtons::Ok}));
#endif
    }
    EXPECT_EQ(ReadBytes(folder.File("out.sty/keep")), "kept");
#ifdef _WIN32
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"out.sty"});
#else
    EXPECT_EQ(std::filesystem::symlink_status(folder.File("fifo.sty")).type(),
              std::filesystem::file_type::fifo);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"dangling.sty", "fifo.sty", "out.sty"}));
#endif
}

TEST_F(StyleFileWriteTest, LinkIsWrittenThroughAndStaysALink) {
    KORVANE_POSIX_ONLY("links are written through");
#ifndef _WIN32
    Assign(Section("SInt", B({0})), 0, "SInt");
    WriteBytes(folder.File("real.sty"), std::string("old"));
    std::filesystem::create_symlink("real.sty", folder.File("link.sty"));
    ASSERT_FALSE(Write(folder.File("link.sty")));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("link.sty")));
    EXPECT_EQ(ReadByteArray(folder.File("real.sty")), Build());
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"link.sty", "real.sty"}));
#endif
}

TEST_F(StyleFileWriteTest, ReadOnlyFileIsRefusedAsOpeningItWould) {
    KORVANE_POSIX_ONLY("another user and file modes");
#ifndef _WIN32
    if (!CanRunUnprivileged())
        GTEST_SKIP() << "running as root without a user nobody";
    Assign(Section("SInt", B({0})), 0, "SInt");
    HandToUnprivileged(folder.Path());
    const std::string path = folder.File("out.sty");
    const std::string seen = RunUnprivileged([&] {
        WriteBytes(path, std::string("old"));
        chmod(path.c_str(), 0444);
        const bool failed = bool(Write(path));
        return std::to_string(failed) + " " + messages.shown.at(0).text + " " + ReadBytes(path);
    });
    EXPECT_EQ(seen, "1 Cannot open file " + path + ". (0x0000000D: Permission denied) old");
#endif
}

TEST_F(StyleFileWriteTest, KeepingAnExistingFileSaysNothingAndWritesNothing) {
    Assign(Section("SInt", B({0})), 0, "SInt");
    const std::string path = folder.File("out.sty");
    WriteBytes(path, std::string("mine"));
    StyleWriteOptions keep;
    keep.existing = ExistingFile::Keep;
    EXPECT_EQ(Write(path, keep).failure, Failure::Exists);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ReadBytes(path), "mine");
}

TEST_F(StyleFileWriteTest, WrittenFileReadsBackUnderTheDestinationNames) {
    properties.m_trackCount = 1;
    properties.m_division = 96;
    properties.SetTempo(B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00}));
    properties.SetSequenceName("Pop");
    CCsegRecord& record = Record(Cat({T("Ctab"), Be32(3), B({1, 2, 3})}));
    const ByteArray mainBytes = B({0x00, 0x90, 0x40, 0x64, 0x83, 0xFF, 0x7F, 0x80, 0x40, 0, 0});
    Assign(Section("Main A", mainBytes, &record), 5, "Main B");
    Assign(Section("SInt", B({0x00}), &record), 0, "SInt");
    const std::string path = folder.File("out.sty");
    ASSERT_FALSE(Write(path));

    CStyleDocument readBack;
    readBack.StartNextFile();
    ASSERT_EQ(ReadStyleFile(path, readBack, messages), ReadResult::Ok);
    const CStyleProperties& p = *readBack.GetSourceProperties();
    EXPECT_EQ(p.m_division, 96);
    EXPECT_EQ(*p.GetTempo(), B({0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00}));
    EXPECT_EQ(p.GetSequenceName(), "Pop");
    const auto& sections = readBack.GetSections();
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0]->GetName(), "SInt");
    EXPECT_EQ(sections[1]->GetName(), "Main B");
    EXPECT_EQ(*sections[1]->GetData(), mainBytes);
    ASSERT_EQ(readBack.GetCsegs().size(), 1u);
    EXPECT_EQ(readBack.GetCsegs()[0]->GetSdecText(), "Main B,SInt");
    EXPECT_EQ(*readBack.GetCsegs()[0]->GetCtab(), *record.GetCtab());
    EXPECT_EQ(sections[0]->GetSegment(), readBack.GetCsegs()[0]);
    EXPECT_EQ(sections[1]->GetSegment(), readBack.GetCsegs()[0]);
}

// The whole file is built in one array of its exact size; when that array cannot be had, the
// outcome says so and there are no bytes to write.
TEST_F(StyleWriterTest, OutputIsBuiltOnceAndRunningOutOfMemoryWritesNothing) {
    CStyleSection& big = Section("Main A", ByteArray(std::size_t(2) << 20, 0x00));
    Assign(big, 1, "Main B");
    const ByteArray built = Build();
    EXPECT_EQ(built.size(), built.capacity());

    Outcome result;
    ByteArray bytes;
    {
        CFailLargeAllocations guard(std::size_t(1) << 20);
        result = BuildStyleFile({properties, slots, document.GetAssignedSections(), csegs},
                                "out.sty", bytes);
    }
    EXPECT_EQ(OutcomeText(result),
              "Not enough memory to write file out.sty.\nNo file was changed.");
    EXPECT_TRUE(bytes.empty());
}

} // namespace
} // namespace korvane::testing
