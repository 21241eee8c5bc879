// Whole-folder conversion: which files are converted, skipped and failed, what is written, and
// how a cancelled run ends.

#include "batch/FolderConversion.h"

#include "assignment/OpenCommand.h"
#include "assignment/SaveCommand.h"
#include "platform/AtomicFile.h"
#include "platform/DisplayText.h"
#include "support/PlatformText.h"
#include "support/PosixOnly.h"
#include "support/ScriptedDialogs.h"
#include "support/SectionNames.h"
#include "support/StyleBytes.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#ifndef _WIN32
#include "support/Unprivileged.h"
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

// An SFF2 style whose one channel record has a note transposition rule no SFF1 style knows (3).
ByteArray UnconvertibleSff2Style() {
    const ByteArray track =
        Cat({B({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00}), Marker("SFF2"), B({0x00}),
             Marker("SInt"), B({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00}),
             Marker("Main A"), B({0x00, 0x90, 0x40, 0x64, 0x60, 0x80, 0x40, 0x00, 0x00}),
             B({0xFF, 0x2F, 0x00})});
    const ByteArray zone = B({0x03, 0x02, 0x05, 0x10, 0x70, 0x01});
    const ByteArray ctb2 = Chunk(
        "Ctb2",
        Cat({B({0x0B}), T("Chord1  "),
             B({0x0B, 0x00, 0x0F, 0xFF, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 0x00, 0x7F}),
             zone, zone, zone, B({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})}));
    return Style(track, Cseg("SInt,Main A", ctb2));
}

// A plain MIDI file: one track of notes, no section markers.
ByteArray PlainMidi() {
    return Cat({Header(), Chunk("MTrk", B({0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00,
                                           0xFF, 0x2F, 0x00}))});
}

class FolderConversionTest : public ::testing::Test {
protected:
    FolderConversionTest() {
        fs::create_directory(folder.File("in"));
        fs::create_directory(folder.File("out"));
        job.sourceFolder = folder.File("in");
        job.targetFolder = folder.File("out");
        job.modelIndex = 0; // PSR-9000
        job.mode = AssignmentMode::ByName;
        job.jobs = 2;
    }

    ByteArray Generated(std::uint64_t seed, bool sff2 = false) {
        StyleGeneratorOptions options;
        options.seed = seed;
        options.sff2 = sff2;
        return GenerateStyle(options).bytes;
    }

    void Put(const std::string& name, const ByteArray& bytes) {
        WriteBytes(folder.File("in/" + name), bytes);
    }
    // Puts count generated styles, prefix0.sty on, their seeds counting up from firstSeed.
    void PutGenerated(const std::string& prefix, int count, std::uint64_t firstSeed) {
        for (int i = 0; i < count; ++i)
            Put(prefix + std::to_string(i) + ".sty", Generated(firstSeed + std::uint64_t(i)));
    }

    // The file as korvane-cli convert and the window's Save write it.
    ByteArray ConvertedAlone(const std::string& name, std::uint16_t resolution = 0) {
        CScriptedMessageBox quiet;
        CAssignmentTable table(quiet);
        CSettings settings;
        table.SelectModel(job.modelIndex);
        table.Clear();
        EXPECT_EQ(OpenStyleFile(table, settings, folder.File("in/" + name)), ReadResult::Ok);
        table.AssignByName();
        const std::string path = folder.File("alone.sty");
        StyleWriteOptions options;
        options.resolution = resolution;
        EXPECT_EQ(WriteWork(table, path, options), WriteResult::Ok);
        return ReadByteArray(path);
    }

#ifndef _WIN32
    // Converts in a child process that may have `limit` files open, `free` of them left unopened
    // when given; the number of files converted, 255 when the run failed.
    int ConvertedWithOpenFiles(rlim_t limit, int free = -1) {
        const pid_t child = fork();
        if (child == 0) {
            const rlimit few{limit, limit};
            setrlimit(RLIMIT_NOFILE, &few);
            std::vector<int> held;
            for (int fd; free >= 0 && (fd = open("/dev/null", O_RDONLY)) >= 0;)
                held.push_back(fd);
            for (; free > 0 && !held.empty(); --free) {
                close(held.back());
                held.pop_back();
            }
            const auto summary = Convert();
            _exit(summary ? int(summary->Count(FileOutcome::Converted)) : 255);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -status;
    }
#endif

    std::vector<std::string> OutputNames() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.File("out")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::optional<FolderConversionSummary> Convert(const FolderProgress& progress = {}) {
        return ConvertFolder(job, messages, progress, cancel);
    }

    CTemporaryFolder folder;
    CScriptedMessageBox messages;
    FolderConversionJob job;
    std::atomic<bool> cancel{false};
};

TEST(StyleFileNames, EveryStyleExtensionInAnyCase) {
    for (const char* name : {"a.sty", "B.STY", "c.Mid", "d.prs", "e.SST", "f.pst", "g.bcs"})
        EXPECT_TRUE(IsStyleFileName(name)) << name;
    for (const char* name : {"sty", "a.txt", "a.sty.bak", ".ini", "a.styl", "Korvane.ini"})
        EXPECT_FALSE(IsStyleFileName(name)) << name;
}

TEST(StyleFileNames, NamesAreFoldedAsACaseBlindVolumeComparesThem) {
    // "ÀÞ×Ā ΑΩΫſ АЯЀЏ.STY": À Þ (Latin-1), × stays, Ā (Latin Extended-A), Α Ω Ϋ (Greek), ſ stays,
    // А Я Ѐ Џ (Cyrillic).
    EXPECT_EQ(FoldedName("\xC3\x80\xC3\x9E\xC3\x97\xC4\x80 \xCE\x91\xCE\xA9\xCE\xAB\xC5\xBF "
                         "\xD0\x90\xD0\xAF\xD0\x80\xD0\x8F.STY\xC3"),
              "\xC3\xA0\xC3\xBE\xC3\x97\xC4\x81 \xCE\xB1\xCF\x89\xCF\x8B\xC5\xBF "
              "\xD0\xB0\xD1\x8F\xD1\x90\xD1\x9F.sty\xC3");
    EXPECT_EQ(FoldedName("CAF\xC3\x89"), "caf\xC3\xA9"); // a letter of two bytes at the end
    // "ぁア": letters of three bytes stay as they are.
    EXPECT_EQ(FoldedName("\xE3\x81\x81\xE3\x82\xA2.STY"), "\xE3\x81\x81\xE3\x82\xA2.sty");
    // "ĹĺĻ ĸŊŉ ŹźŸ": capitals at odd code points too; ĸ and ŉ have no capital; Ÿ's small is ÿ.
    EXPECT_EQ(
        FoldedName("\xC4\xB9\xC4\xBA\xC4\xBB \xC4\xB8\xC5\x8A\xC5\x89 \xC5\xB9\xC5\xBA\xC5\xB8"),
        "\xC4\xBA\xC4\xBA\xC4\xBC \xC4\xB8\xC5\x8B\xC5\x89 \xC5\xBA\xC5\xBA\xC3\xBF");
    // "ĶķŶŷ ŇňŽž": the last capital of each run and the small letter after it.
    EXPECT_EQ(FoldedName("\xC4\xB6\xC4\xB7\xC5\xB6\xC5\xB7 \xC5\x87\xC5\x88\xC5\xBD\xC5\xBE"),
              "\xC4\xB7\xC4\xB7\xC5\xB7\xC5\xB7 \xC5\x88\xC5\x88\xC5\xBE\xC5\xBE");
}

TEST(ReadFailures, NoStyleAndNoRegularFileAreSkippedEveryOtherFailureFails) {
    const std::vector<std::pair<Failure, FileOutcome>> cases = {
        {Failure::None, FileOutcome::Converted},
        {Failure::Exists, FileOutcome::SkippedExists},
        {Failure::NotRegularFile, FileOutcome::SkippedNotStyle},
        {Failure::NotAStyle, FileOutcome::SkippedNotStyle},
        {Failure::Type1Midi, FileOutcome::SkippedNotStyle},
        {Failure::MultitrackMidi, FileOutcome::SkippedNotStyle},
        {Failure::NonStyleMidi, FileOutcome::SkippedNotStyle},
        {Failure::CannotOpen, FileOutcome::Failed},
        {Failure::NoTrack, FileOutcome::Failed},
        {Failure::NoCasm, FileOutcome::Failed},
        {Failure::Damaged, FileOutcome::Failed},
        {Failure::CannotConvertSff2, FileOutcome::Failed},
        {Failure::NoSectionMatches, FileOutcome::Failed},
        {Failure::WriteFailed, FileOutcome::Failed}};
    for (const auto& [failure, outcome] : cases)
        EXPECT_EQ(OutcomeOfFile(failure), outcome) << int(failure);
}

TEST(FolderSummary, SkippedIsExistsPlusNotAStyleAndNamesAreEscaped) {
    FolderConversionSummary summary;
    summary.styleFiles = 4;
    summary.files = {
        {"a.sty", FileOutcome::SkippedExists, MakeOutcome(Failure::Exists)},
        {"b.sty", FileOutcome::SkippedExists, MakeOutcome(Failure::Exists)},
        {"c\x1b.sty", FileOutcome::SkippedNotStyle, MakeOutcome(Failure::Type1Midi)},
        {"d\x1b[2J.sty", FileOutcome::Failed, MakeOutcome(Failure::Damaged, "/in/d\x1b[2J.sty")}};
    EXPECT_EQ(FolderSummaryText(summary, 1, PrintableUtf8),
              "Converted: 0 of 4 style files.\n"
              "Skipped: 3 (exists: 2, not a style: 1)\n"
              "Failed: 1\n"
              "\na.sty (skipped, exists)\n... and 3 more.");
    const std::string failed = FolderSummaryText(summary, 4, PrintableUtf8);
    EXPECT_EQ(failed.substr(failed.rfind('\n') + 1),
              "d\\x1b[2J.sty (failed): File d\\x1b[2J.sty is damaged: it ends in the middle of its "
              "data. Cannot process further.");
}

TEST_F(FolderConversionTest, EachFileIsConvertedSkippedOrFailedAndNoneStopsTheOthers) {
    const ByteArray first = Generated(11);
    Put("a-good.sty", first);
    Put("b-good.STY", Generated(12));
    ByteArray damaged = Generated(13);
    damaged.resize(damaged.size() / 2);
    Put("c-damaged.sty", damaged);
    Put("d-sff2.prs", Generated(15, true));
    Put("d-sff2-bad.sty", UnconvertibleSff2Style());
    Put("e-plain.mid", PlainMidi());
    Put("f-notes.txt", T("not a style"));
    Put("g-exists.sty", Generated(14));
    WriteBytes(folder.File("out/g-exists.sty"), T("keep me"));

    const auto summary = Convert();
    ASSERT_TRUE(summary);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(summary->cancelled);
    EXPECT_EQ(summary->styleFiles, 7u);
    ASSERT_EQ(summary->files.size(), 7u);
    const std::vector<std::pair<std::string, FileOutcome>> expected = {
        {"a-good.sty", FileOutcome::Converted},      {"b-good.STY", FileOutcome::Converted},
        {"c-damaged.sty", FileOutcome::Failed},      {"d-sff2-bad.sty", FileOutcome::Failed},
        {"d-sff2.prs", FileOutcome::Converted},      {"e-plain.mid", FileOutcome::SkippedNotStyle},
        {"g-exists.sty", FileOutcome::SkippedExists}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(summary->files[i].name, expected[i].first);
        EXPECT_EQ(summary->files[i].outcome, expected[i].second) << expected[i].first;
    }
    EXPECT_EQ(FileReportText(summary->files[2]),
              "File c-damaged.sty is damaged: it ends in the middle of its data. Cannot process "
              "further.");

    // Converted byte for byte as a single conversion; the existing file untouched; nothing else.
    EXPECT_EQ(ReadByteArray(folder.File("out/a-good.sty")), ConvertedAlone("a-good.sty"));
    EXPECT_EQ(ReadByteArray(folder.File("out/b-good.STY")), ConvertedAlone("b-good.STY"));
    EXPECT_EQ(ReadByteArray(folder.File("out/d-sff2.prs")), ConvertedAlone("d-sff2.prs"));
    EXPECT_EQ(ReadBytes(folder.File("out/g-exists.sty")), "keep me");
    EXPECT_EQ(OutputNames(),
              (std::vector<std::string>{"a-good.sty", "b-good.STY", "d-sff2.prs", "g-exists.sty"}));
    EXPECT_EQ(ReadByteArray(folder.File("in/a-good.sty")), first);

    EXPECT_EQ(FolderSummaryText(*summary, 3),
              "Converted: 3 of 7 style files.\n"
              "Skipped: 2 (exists: 1, not a style: 1)\n"
              "Failed: 2\n"
              "\nc-damaged.sty (failed): File c-damaged.sty is damaged: it ends in the middle of "
              "its data. Cannot process further."
              "\nd-sff2-bad.sty (failed): File d-sff2-bad.sty cannot be converted to SFF1: CSEG "
              "\"SInt,Main A\", channel 12 \"Chord1\": its note transposition rule is 3. Cannot "
              "process further."
              "\nd-sff2.prs (converted from SFF2)\n... and 2 more.");
}

TEST_F(FolderConversionTest, OverwriteReplacesExistingFiles) {
    Put("a.sty", Generated(21));
    WriteBytes(folder.File("out/a.sty"), T("old"));
    job.overwrite = true;
    const auto summary = Convert();
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->Count(FileOutcome::Converted), 1u);
    EXPECT_EQ(ReadByteArray(folder.File("out/a.sty")), ConvertedAlone("a.sty"));
}

TEST_F(FolderConversionTest, TheResolutionIsWrittenAsASingleConversionWritesIt) {
    Put("a.sty", Generated(22));
    job.resolution = 1920;
    ASSERT_TRUE(Convert());
    const ByteArray written = ReadByteArray(folder.File("out/a.sty"));
    ASSERT_GT(written.size(), 14u);
    EXPECT_EQ(written[12] * 256 + written[13], 1920);
    EXPECT_EQ(written, ConvertedAlone("a.sty", 1920));
}

TEST_F(FolderConversionTest, ThePatternModeReplaysTheStoredSteps) {
    StyleGeneratorOptions options;
    options.sectionNames = {"SInt", "Main A", "Main B"};
    Put("three.sty", GenerateStyle(options).bytes);
    job.mode = AssignmentMode::Pattern;
    job.modelIndex = 5; // PSR-740: 13 slots
    job.pattern[1] = {"Main A", "Main A"};
    job.pattern[5] = {"Main B", "Main B"};
    job.pattern[7] = {"Main B", "Fill In BA"};
    ASSERT_TRUE(Convert());
    EXPECT_EQ(SectionNamesOfFile(folder.File("out/three.sty")),
              (std::vector<std::string>{"Main A", "Main B"}));
}

TEST_F(FolderConversionTest, AFileWithNothingToAssignFailsWithItsReason) {
    StyleGeneratorOptions options;
    options.sectionNames = {"SInt", "Main A"};
    Put("a.sty", GenerateStyle(options).bytes);
    job.mode = AssignmentMode::Pattern; // an empty pattern
    const auto summary = Convert();
    ASSERT_TRUE(summary);
    ASSERT_EQ(summary->files.size(), 1u);
    EXPECT_EQ(summary->files[0].outcome, FileOutcome::Failed);
    EXPECT_EQ(FileReportText(summary->files[0]),
              "No section of this style matches a slot of the model.");
    EXPECT_TRUE(OutputNames().empty());
}

TEST_F(FolderConversionTest, ACancelledRunKeepsWhatIsWrittenAndLeavesNoPartFile) {
    PutGenerated("s", 6, 30);
    job.jobs = 1;
    std::vector<std::string> started;
    const auto summary =
        Convert([&](std::size_t count, std::size_t total, const std::string& name) {
            EXPECT_EQ(total, 6u);
            started.push_back(name);
            if (count == 2)
                cancel = true; // the second file still finishes; no third starts
        });
    ASSERT_TRUE(summary);
    EXPECT_TRUE(summary->cancelled);
    EXPECT_EQ(started, (std::vector<std::string>{"s0.sty", "s1.sty"}));
    EXPECT_EQ(summary->Count(FileOutcome::Converted), 2u);
    EXPECT_EQ(OutputNames(), (std::vector<std::string>{"s0.sty", "s1.sty"}));
    EXPECT_EQ(ReadByteArray(folder.File("out/s1.sty")), ConvertedAlone("s1.sty"));
    EXPECT_NE(FolderSummaryText(*summary, 0).find("Cancelled: 4 files were not converted."),
              std::string::npos);
}

TEST_F(FolderConversionTest, ParallelJobsWriteTheSameFilesAsOneWithTheUmasksMode) {
    KORVANE_POSIX_ONLY("umask and file modes");
#ifndef _WIN32
    PutGenerated("p", 40, 40);
    job.jobs = 16;
    std::size_t reported = 0;
    const mode_t before = umask(022);
    const auto summary = Convert([&](std::size_t, std::size_t, const std::string&) { ++reported; });
    EXPECT_EQ(umask(before), 022u);
    ASSERT_TRUE(summary);
    EXPECT_EQ(reported, 40u);
    EXPECT_EQ(summary->Count(FileOutcome::Converted), 40u);
    for (int i = 0; i < 40; ++i) {
        const std::string name = "p" + std::to_string(i) + ".sty";
        EXPECT_EQ(fs::status(folder.File("out/" + name)).permissions(), fs::perms(0644)) << name;
        EXPECT_EQ(ReadByteArray(folder.File("out/" + name)), ConvertedAlone(name)) << name;
    }
#endif
}

TEST_F(FolderConversionTest, TheVoiceChangesAreWrittenIntoEveryFile) {
    Put("v.sty", MinimalStyle());
    At(job.voiceChanges.parts[2], VoiceSetting::Program) = 0x23; // Bass: no section sets it
    ASSERT_TRUE(Convert());
    const ByteArray written = ReadByteArray(folder.File("out/v.sty"));
    const ByteArray sint = Cat({Marker("SInt"), B({0x00, 0xCA, 0x23, 0x00, 0x90, 0x3C})});
    EXPECT_NE(std::search(written.begin(), written.end(), sint.begin(), sint.end()), written.end());
}

TEST_F(FolderConversionTest, FilesTakeTheirNamesWhileTheRunGoesOn) {
    for (const char* name : {"a.sty", "b.sty"})
        Put(name, MinimalStyle());
    job.jobs = 1;
    bool firstNamed = false;
    ASSERT_TRUE(Convert([&](std::size_t started, std::size_t, const std::string&) {
        if (started == 1) // the first file is done past the second that commits a group
            std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        else
            firstNamed = fs::exists(folder.File("out/a.sty"));
    }));
    EXPECT_TRUE(firstNamed);
}

TEST_F(FolderConversionTest, ALinkInTheTargetFolderIsAnExistingFileEvenWhenItLeadsNowhere) {
    KORVANE_POSIX_ONLY("links");
    Put("a.sty", MinimalStyle());
    fs::create_symlink(folder.File("elsewhere.sty"), folder.File("out/a.sty"));
    const auto summary = Convert();
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->files.at(0).outcome, FileOutcome::SkippedExists);
    EXPECT_FALSE(fs::exists(folder.File("elsewhere.sty")));
}

TEST_F(FolderConversionTest, TheSourceFolderAsTargetIsRefusedHoweverItIsSpelt) {
    KORVANE_POSIX_ONLY("links to folders");
#ifndef _WIN32
    const ByteArray original = Generated(49);
    Put("a.sty", original);
    fs::create_directory_symlink(folder.File("in"), folder.File("link"));
    job.overwrite = true;
    for (const std::string& target :
         {folder.File("in"), folder.File("in/"), folder.File("out/../in"), folder.File("link")}) {
        job.targetFolder = target;
        messages.shown.clear();
        EXPECT_FALSE(Convert()) << target;
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "The folders " + folder.File("in") + " and " + target +
                                              " are the same folder.\nNothing was converted.");
        EXPECT_EQ(messages.shown[0].caption, "Sorry...");
    }
    EXPECT_EQ(ReadByteArray(folder.File("in/a.sty")), original);
    EXPECT_EQ(fs::directory_iterator(folder.File("in"))->path().filename(), "a.sty");
#endif
}

TEST_F(FolderConversionTest, WorkersTheSystemRefusesMeanFewerWorkers) {
    KORVANE_POSIX_ONLY("resource limits and another user");
#ifndef _WIN32
    Put("a.sty", Generated(50));
    Put("b.sty", Generated(51));
    job.jobs = 8;
    for (const std::string& path : {folder.Path(), folder.File("in"), folder.File("out")})
        HandToUnprivileged(path);
    const std::string seen = RunUnprivileged([&] {
        const rlimit none{0, 0}; // no process or thread more for this user
        setrlimit(RLIMIT_NPROC, &none);
        const auto summary = Convert();
        return summary ? FolderSummaryText(*summary, 0) : "nothing";
    });
    EXPECT_EQ(seen, "Converted: 2 of 2 style files.\nSkipped: 0 (exists: 0, not a style: 0)\n"
                    "Failed: 0\n");
    EXPECT_EQ(OutputNames(), (std::vector<std::string>{"a.sty", "b.sty"}));
#endif
}

TEST_F(FolderConversionTest, MissingFoldersAreReportedAndNothingRuns) {
    job.targetFolder = folder.File("nowhere");
    EXPECT_FALSE(Convert());
    job.sourceFolder = folder.File("none"); // named first when both are missing
    EXPECT_FALSE(Convert());
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text,
              "The folder " + folder.File("nowhere") + " does not exist.\nNothing was converted.");
#ifdef _WIN32
    const std::string missing = "0x00000003"; // Windows' "path not found"
#else
    const std::string missing = "0x00000002: No such file or directory";
#endif
    EXPECT_EQ(messages.shown[1].text, "Cannot read the folder " + folder.File("none") + ". (" +
                                          missing + ")\nNothing was converted.");
}

// korvane-cli creates a missing target as cp -r does: the folder itself, never its parents.
TEST_F(FolderConversionTest, AMissingTargetIsCreatedButNotItsParents) {
    Put("a.sty", Generated(21));
    job.createTarget = true;
    job.targetFolder = folder.File("gone/new");
    EXPECT_FALSE(Convert());
    EXPECT_EQ(messages.shown.at(0).text, "Cannot create the folder " + job.targetFolder + ". (" +
                                             CodeText("0x00000002", "No such file or directory") +
                                             ")\nNothing "
                                             "was converted.");
    job.targetFolder = folder.File("new");
    ASSERT_TRUE(Convert());
    EXPECT_EQ(ReadByteArray(folder.File("new/a.sty")), ConvertedAlone("a.sty"));
}

TEST_F(FolderConversionTest, TargetsLinkedToSourceFilesAreRefusedAndSourcesKept) {
    KORVANE_POSIX_ONLY("links");
#ifndef _WIN32
    const ByteArray a = Generated(63);
    Put("a.sty", a);
    Put("b.sty", Generated(64));
    fs::create_symlink(folder.File("in/a.sty"), folder.File("out/b.sty")); // another source file
    fs::create_symlink("../in/a.sty", folder.File("out/a.sty"));
    job.overwrite = true;
    const auto summary = Convert();
    ASSERT_TRUE(summary);
    EXPECT_EQ(FolderSummaryText(*summary, 9),
              "Converted: 0 of 2 style files.\nSkipped: 0 (exists: 0, not a style: 0)\nFailed: 2\n"
              "\na.sty (failed): " +
                  folder.File("out/a.sty") +
                  " is the source file itself."
                  "\nb.sty (failed): " +
                  folder.File("out/b.sty") + " is the source file itself.");
    EXPECT_EQ(ReadByteArray(folder.File("in/a.sty")), a);
#endif
}

TEST_F(FolderConversionTest, ManyJobsStayWithinTheOpenFilesLimit) {
    KORVANE_POSIX_ONLY("resource limits");
#ifndef _WIN32
    PutGenerated("s", 40, 100);
    job.jobs = 1024;
    EXPECT_EQ(ConvertedWithOpenFiles(40), 40);
    EXPECT_EQ(OutputNames().size(), 40u);
#endif
}

// The program holds all but a few descriptors: once the new files waiting for their commit have
// taken those, the next file is tried again after a commit.
TEST_F(FolderConversionTest, AFileThatFindsNoDescriptorIsTriedAgainAfterACommit) {
    KORVANE_POSIX_ONLY("resource limits");
#ifndef _WIN32
    PutGenerated("s", 20, 200);
    job.jobs = 1;
    EXPECT_EQ(ConvertedWithOpenFiles(64, 6), 20);
#endif
}

TEST_F(FolderConversionTest, AFifoWithAStyleNameIsSkippedWithoutBeingRead) {
    KORVANE_POSIX_ONLY("FIFOs");
#ifndef _WIN32
    ASSERT_EQ(mkfifo(folder.File("in/pipe.sty").c_str(), 0600), 0);
    const auto summary = Convert();
    ASSERT_TRUE(summary);
    ASSERT_EQ(summary->files.size(), 1u);
    EXPECT_EQ(summary->files[0].outcome, FileOutcome::SkippedNotStyle);
    EXPECT_EQ(FileReportText(summary->files[0]), "not a regular file");
#endif
}

// Takes the target's name while the converted file waits to take it.
std::string g_takenName;
void TakeTheName(const char*) {
    WriteBytes(g_takenName, T("came first"));
}

TEST_F(FolderConversionTest, AFileThatAppearsDuringTheWriteIsKeptAndCountsAsExisting) {
    Put("a.sty", Generated(51));
    g_takenName = folder.File("out/a.sty");
    SetBeforeReplaceObserver(&TakeTheName);
    const auto summary = Convert();
    SetBeforeReplaceObserver(nullptr);
    ASSERT_TRUE(summary);
    ASSERT_EQ(summary->files.size(), 1u);
    EXPECT_EQ(summary->files[0].outcome, FileOutcome::SkippedExists);
    EXPECT_EQ(ReadBytes(folder.File("out/a.sty")), "came first");
    EXPECT_EQ(OutputNames(), std::vector<std::string>{"a.sty"}); // no temporary file left
}

} // namespace
} // namespace korvane::testing
