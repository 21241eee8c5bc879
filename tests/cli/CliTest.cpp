// korvane-cli as a user runs it: exit codes, what it prints, and the files it writes.

#include "CliRun.h"
#include "style/StyleReader.h"
#include "support/ScriptedDialogs.h"
#include "support/SectionNames.h"
#include "support/StyleBytes.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"
#include "support/Unprivileged.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane::testing {
namespace {

class CliTest : public ::testing::Test {
protected:
    // Runs korvane-cli with the arguments and collects its output; a shell prefix runs first.
    CliRun Run(const std::vector<std::string>& args, const std::string& shellPrefix = "") {
        return RunCli(args, folder, shellPrefix);
    }
    std::string Generated(const std::vector<std::string>& names, const std::string& file) {
        StyleGeneratorOptions options;
        options.seed = 7;
        options.sectionNames = names;
        const std::string path = folder.File(file);
        WriteGeneratedStyle(GenerateStyle(options), path);
        return path;
    }

    // Runs the tool in the test's folder, so that paths may be given relative to it.
    std::string InFolder() const { return "cd '" + folder.Path() + "' && "; }

    CTemporaryFolder folder;
};

// A section of the voices list that sets up no part.
std::string NoVoices(const std::string& section) {
    const char* parts[] = {"Rhythm Sub", "Rhythm Main", "Bass",     "Chord 1",
                           "Chord 2",    "Pad",         "Phrase 1", "Phrase 2"};
    std::string json = "{\"name\":\"" + section + "\",\"parts\":[";
    for (int p = 0; p < 8; ++p)
        json += std::string(p ? "," : "") + "{\"part\":\"" + parts[p] +
                "\",\"channel\":" + std::to_string(9 + p) +
                ",\"voice\":\"\",\"msb\":null,\"lsb\":null,\"program\":null,\"volume\":null,"
                "\"pan\":null,\"reverb\":null,\"chorus\":null}";
    return json + "]}";
}

TEST_F(CliTest, InfoJsonDescribesTheStyle) {
    const std::string path = folder.File("min.sty");
    WriteBytes(path, MinimalStyle());
    const CliRun run = Run({"info", path, "--json"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "{\"format\":0,\"tracks\":1,\"division\":480,\"properties\":{\"copyright\":"
                       "\"\",\"sequence_name\":\"\",\"tempo\":\"120\",\"time_signature\":\"4/4 24 "
                       "clocks PQN\"},\"sections\":[{\"name\":\"SInt\",\"length\":9,\"cseg\":0},{"
                       "\"name\":\"Main A\",\"length\":9,\"cseg\":0}],\"csegs\":[{\"sdec\":\"SInt,"
                       "Main A\",\"ctab_length\":11}],\"voices\":[" +
                           NoVoices("SInt") + "," + NoVoices("Main A") + "]}\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(CliTest, ReportsThatCannotBeWrittenFailAndOptionValuesAreEscaped) {
    const std::string path = folder.File("min.sty");
    WriteBytes(path, MinimalStyle());
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"info", path}, {"info", path, "--json"}, {"voices", path, "--json"}}) {
        const CliRun full = Run(args, "exec >/dev/full; exec ");
        EXPECT_EQ(full.exitCode, 1) << args[0];
        EXPECT_EQ(full.err, "korvane-cli: Cannot write to standard output. (0x0000001C: No "
                            "space left on device)\n");
    }
    const CliRun usage = Run({"convert", path, "--model", "\x1b[31mX", "--by-name", "-o", "x"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(usage.err.substr(0, 41), "korvane-cli: unknown model '\\x1b[31mX'; '");
}

TEST_F(CliTest, InfoJsonEscapesTextsAndShowsMissingCsegAsNull) {
    const ByteArray track = Cat({B({0x00, 0xFF, 0x03, 0x04}), T("A\"\xE9\\"), B({0x00}),
                                 Marker("Main A"), B({0x00, 0xFF, 0x2F, 0x00})});
    const std::string path = folder.File("odd.sty");
    WriteBytes(path, Style(track, {}));
    const CliRun run = Run({"info", path, "--json"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("\"sequence_name\":\"A\\\"\xC3\xA9\\\\\""), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("{\"name\":\"Main A\",\"length\":1,\"cseg\":null}"), std::string::npos);
    EXPECT_NE(run.out.find("\"tempo\":\"\""), std::string::npos);
}

TEST_F(CliTest, InfoTextDescribesTheStyle) {
    WriteBytes(folder.File("min.sty"), MinimalStyle());
    const CliRun run = Run({"info", "min.sty"}, InFolder());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "File:            min.sty\n"
                       "Format:          0\n"
                       "Tracks:          1\n"
                       "Division:        480 pulses per quarter note\n"
                       "Tempo:           120\n"
                       "Time signature:  4/4 24 clocks PQN\n"
                       "Sequence name:   \n"
                       "Copyright:       \n"
                       "Sections:        2\n"
                       "  SInt          9 bytes, CSEG 0\n"
                       "  Main A        9 bytes, CSEG 0\n"
                       "CSEG records:    1\n"
                       "  0: SInt,Main A (11 Ctab bytes)\n");
    EXPECT_EQ(run.err, "");
}

// Names are bytes: valid UTF-8 is shown as UTF-8, anything else as Latin-1 (so cp1252's E9 is
// "é"), control bytes escaped in the text output; the name columns line up by characters.
TEST_F(CliTest, InfoDecodesNamesByOneRuleInTextAndJson) {
    const std::string path = Generated({"Caf\xC3\xA9", "Caf\xE9",
                                        "Main\x1B"
                                        "A"},
                                       "names.sty");
    const CliRun json = Run({"info", path, "--json"});
    EXPECT_EQ(json.exitCode, 0);
    for (const char* name : {"\"name\":\"Caf\xC3\xA9\",", "\"name\":\"Main\\u001bA\","}) {
        EXPECT_NE(json.out.find(name), std::string::npos) << name << "\n" << json.out;
    }
    EXPECT_EQ(json.out.find("\"name\":\"Caf\xE9"), std::string::npos);
    EXPECT_EQ(json.out.find('\xE9'), std::string::npos); // no name or Sdec text left undecoded
    std::size_t first = json.out.find("Caf\xC3\xA9\",");
    EXPECT_NE(json.out.find("Caf\xC3\xA9\",", first + 1), std::string::npos); // both names

    const CliRun text = Run({"info", path});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("\n  Caf\xC3\xA9" + std::string(10, ' ')), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("\n  Main\\x1bA" + std::string(5, ' ')), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find('\x1B'), std::string::npos);
    EXPECT_EQ(text.out.find("Caf\xE9"), std::string::npos);
}

TEST_F(CliTest, InfoOnAFileThatIsNoStyleFails) {
    const std::string path = folder.File("song.mid");
    WriteBytes(path, Cat({Header(1, 2), Chunk("MTrk", B({0x00, 0xFF, 0x2F, 0x00}))}));
    const CliRun run = Run({"info", path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "korvane-cli: Sorry... This is a Type 1 MIDI File.\nCannot process further.\n");
}

TEST_F(CliTest, ModelsListsTheCatalogue) {
    const CliRun text = Run({"models"});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(text.out.substr(0, text.out.find('\n')),
              "PSR-9000 (16 sections): SInt, Main A, Fill In AA, Intro A, Ending A, Main B, Fill "
              "In BB, Fill In BA, Intro B, Ending B, Main C, Fill In CC, Intro C, Ending C, Main "
              "D, Fill In DD");
    const CliRun json = Run({"models", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_NE(json.out.find("{\"index\":7,\"name\":\"PSR-540\",\"sections\":[\"SInt\",\"Main "
                            "A\",\"Fill In AA\",\"Main B\",\"Fill In BB\",\"Intro B\",\"Ending "
                            "B\"]}"),
              std::string::npos);
}

TEST_F(CliTest, ConvertByNameKeepsTheSectionsTheModelHas) {
    const std::string in = Generated(SixteenSectionNames(), "big.sty");
    const std::string out = folder.File("small.sty");
    const CliRun run = Run({"convert", in, "--model", "PSR-540", "--by-name", "-o", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Wrote " + out + ": 7 sections for PSR-540.\n");
    EXPECT_EQ(SectionNamesOfFile(out),
              (std::vector<std::string>{"SInt", "Main A", "Fill In AA", "Main B", "Fill In BB",
                                        "Intro B", "Ending B"}));
}

TEST_F(CliTest, ConvertAssignPairsInTheOrderGiven) {
    const std::string in = Generated(SixteenSectionNames(), "big.sty");
    const std::string out = folder.File("out.sty");
    const CliRun run = Run({"convert", in, "--model", "PSR-8000", "--assign", "Main C=Main A",
                            "--assign", "Fill In CC=Fill In AB", "-o", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(SectionNamesOfFile(out), (std::vector<std::string>{"Main A", "Fill In AB"}));
}

TEST_F(CliTest, ConvertCopyAllPairsByPosition) {
    const std::string in = Generated({"SInt", "Main A", "Main B"}, "three.sty");
    const std::string out = folder.File("out.sty");
    EXPECT_EQ(Run({"convert", in, "--model", "PSR-9000", "--copy-all", "-o", out}).exitCode, 0);
    EXPECT_EQ(SectionNamesOfFile(out), (std::vector<std::string>{"SInt", "Main A", "Fill In AA"}));
}

// The path holds "%c": the message is filled once, so the path stays as given and the code follows.
TEST_F(CliTest, AnOutputPathHoldingPercentCIsReportedAsGiven) {
    Generated(SixteenSectionNames(), "big.sty");
    const CliRun run =
        Run({"convert", "big.sty", "--model", "PSR-540", "--by-name", "-o", "100%cool/out.sty"},
            InFolder());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "korvane-cli: Sorry... Cannot open file 100%cool/out.sty. (0x00000002: No "
                       "such file or directory)\n");
    EXPECT_FALSE(std::filesystem::exists(folder.File("100%cool")));
}

TEST_F(CliTest, ConvertNeverReplacesAFileUnlessForced) {
    const std::string in = Generated(SixteenSectionNames(), "big.sty");
    const std::string out = folder.File("out.sty");
    WriteBytes(out, std::string("mine"));
    const CliRun refused = Run({"convert", in, "--model", "PSR-540", "--by-name", "-o", out});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "korvane-cli: " + out + " already exists; add --force to replace it.\n");
    EXPECT_EQ(ReadBytes(out), "mine");
    EXPECT_EQ(
        Run({"convert", in, "--model", "PSR-540", "--by-name", "-o", out, "--force"}).exitCode, 0);
    EXPECT_EQ(SectionNamesOfFile(out).size(), 7u);
}

// Saving onto every kind of target

TEST_F(CliTest, ConvertForceWritesThroughALinkKeepingOwnerAndMode) {
    const std::string in = Generated(SixteenSectionNames(), "big.sty");
    const std::string real = folder.File("real.sty");
    WriteBytes(real, std::string("old"));
    chmod(real.c_str(), 0640);
    HandToUnprivileged(real); // as root: somebody else's file
    const struct stat before = [&] {
        struct stat s {};
        stat(real.c_str(), &s);
        return s;
    }();
    std::filesystem::create_symlink("real.sty", folder.File("link.sty"));
    const CliRun run = Run({"convert", in, "--model", "PSR-540", "--by-name", "-o",
                            folder.File("link.sty"), "--force"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File("link.sty")));
    EXPECT_EQ(SectionNamesOfFile(real).size(), 7u);
    struct stat after {};
    stat(real.c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
}

TEST_F(CliTest, ConvertForceRefusesWhatIsNoFile) {
    const std::string in = Generated(SixteenSectionNames(), "big.sty");
    mkfifo(folder.File("fifo").c_str(), 0644);
    std::filesystem::create_directory(folder.File("folder.sty"));
    for (const auto& [path, code] : std::vector<std::pair<std::string, std::string>>{
             {folder.File("fifo"), "0x00000016: Invalid argument"},
             {"/dev/null", "0x00000016: Invalid argument"},
             {folder.File("folder.sty"), "0x00000015: Is a directory"}}) {
        const CliRun run =
            Run({"convert", in, "--model", "PSR-540", "--by-name", "-o", path, "--force"});
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_EQ(run.err, "korvane-cli: Sorry... Cannot open file " + path + ". (" + code + ")\n");
    }
    EXPECT_EQ(std::filesystem::symlink_status(folder.File("fifo")).type(),
              std::filesystem::file_type::fifo);
    EXPECT_EQ(std::filesystem::symlink_status("/dev/null").type(),
              std::filesystem::file_type::character);
}

TEST_F(CliTest, ConvertToStandardOutput) {
    const std::string in = Generated(SixteenSectionNames(), "big.sty");
    const CliRun run = Run({"convert", in, "--model", "PSR-540", "--by-name", "-o", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "Wrote standard output: 7 sections for PSR-540.\n");
    ASSERT_EQ(Run({"convert", in, "--model", "PSR-540", "--by-name", "-o", folder.File("o.sty")})
                  .exitCode,
              0);
    EXPECT_EQ(run.out, ReadBytes(folder.File("o.sty")));
    EXPECT_FALSE(std::filesystem::exists("-"));
}

TEST_F(CliTest, ConvertAsAUserRefusesAReadOnlyFileAndWritesInPlaceInALockedFolder) {
    if (!CanRunUnprivileged())
        GTEST_SKIP() << "running as root without a user nobody";
    const std::string prefix =
        UnprivilegedUser() ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " : "";
    const std::string in = Generated(SixteenSectionNames(), "big.sty");
    const std::string locked = folder.File("locked");
    std::filesystem::create_directory(locked);
    const std::string readOnly = locked + "/read-only.sty";
    const std::string writable = locked + "/writable.sty";
    WriteBytes(readOnly, std::string("old"));
    WriteBytes(writable, std::string("old"));
    chmod(readOnly.c_str(), 0444);
    chmod(writable.c_str(), 0666);
    for (const std::string& path : {locked, readOnly, writable})
        HandToUnprivileged(path);
    chmod(folder.Path().c_str(), 0755);

    const CliRun refused =
        Run({"convert", in, "--model", "PSR-540", "--by-name", "-o", readOnly, "--force"}, prefix);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "korvane-cli: Sorry... Cannot open file " + readOnly +
                               ". (0x0000000D: Permission denied)\n");
    EXPECT_EQ(ReadBytes(readOnly), "old");

    chmod(locked.c_str(), 0555);
    const CliRun inPlace =
        Run({"convert", in, "--model", "PSR-540", "--by-name", "-o", writable, "--force"}, prefix);
    chmod(locked.c_str(), 0755);
    EXPECT_EQ(inPlace.exitCode, 0) << inPlace.err;
    EXPECT_EQ(SectionNamesOfFile(writable).size(), 7u);
}

TEST_F(CliTest, ConvertFailuresAndUsageErrors) {
    const std::string in = Generated({"SInt", "Main A"}, "two.sty");
    const std::string out = folder.File("out.sty");
    EXPECT_EQ(Run({"convert", in, "--model", "PSR-1", "--by-name", "-o", out}).exitCode, 2);
    EXPECT_EQ(Run({"convert", in, "--model", "PSR-540", "-o", out}).exitCode, 2);
    EXPECT_EQ(
        Run({"convert", in, "--model", "PSR-540", "--by-name", "--copy-all", "-o", out}).exitCode,
        2);
    EXPECT_EQ(Run({"convert", in, "--model", "PSR-540", "--assign", "Main A", "-o", out}).exitCode,
              2);
    EXPECT_EQ(Run({"convert", in, "--model", "PSR-540", "--by-name"}).exitCode, 2);
    EXPECT_EQ(Run({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(Run({}).exitCode, 2);

    const CliRun missing =
        Run({"convert", in, "--model", "PSR-540", "--assign", "Main D=Main A", "-o", out});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "korvane-cli: " + in + " has no section 'Main D' among its first 16.\n");
    // Nothing the model has: the writer refuses and no file appears.
    const std::string odd = Generated({"Intro C", "Ending C"}, "odd.sty");
    const CliRun nothing = Run({"convert", odd, "--model", "PSR-540", "--by-name", "-o", out});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(nothing.err, "korvane-cli: Sorry... You have not assigned anything to save.\n");
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Files that are not read completely, or not read at all, fail info and convert alike: exit 1,
// the reader's message, no output file. A convert that went on from a partly read file would
// write its sections.
TEST_F(CliTest, BrokenAndUnreadableFilesFailInfoAndConvert) {
    const ByteArray whole = MinimalStyle();
    const ByteArray noTrack = Cat({T("MThd"), Be32(8), B({0, 0, 0, 1, 0x01, 0xE0, 0, 0}),
                                   Chunk("MTrk", MinimalTrack()), MinimalCasm()});
    WriteBytes(folder.File("notrack.sty"), noTrack);
    WriteBytes(folder.File("half.sty"), ByteArray(whole.begin(), whole.end() - 8));
    std::filesystem::create_directory(folder.File("folder.sty"));
    ASSERT_EQ(::mkfifo(folder.File("fifo.sty").c_str(), 0600), 0);
    const std::string damaged = "is damaged: it ends in the middle of its data.\n"
                                "Cannot process further.";
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {folder.File("notrack.sty"), "No track tag.\n"},
        {folder.File("half.sty"), "File half.sty " + damaged},
        {folder.File("folder.sty"),
         "Cannot open file " + folder.File("folder.sty") + ". (0x00000015: Is a directory)"},
        {folder.File("fifo.sty"), "Cannot open file " + folder.File("fifo.sty") +
                                      ". (0x00000006: No such device or address)"},
    };
    const std::string out = folder.File("out.sty");
    for (const auto& c : cases) {
        const CliRun info = Run({"info", c.path});
        EXPECT_EQ(info.exitCode, 1) << c.path;
        EXPECT_EQ(info.out, "");
        EXPECT_EQ(info.err, "korvane-cli: Sorry... " + c.message + "\n");
        for (const char* mode : {"--copy-all", "--by-name"}) {
            const CliRun convert = Run({"convert", c.path, "--model", "PSR-9000", mode, "-o", out});
            EXPECT_EQ(convert.exitCode, 1) << c.path << " " << mode;
            EXPECT_EQ(convert.out, "");
            EXPECT_EQ(convert.err, "korvane-cli: Sorry... " + c.message + "\n");
            EXPECT_FALSE(std::filesystem::exists(out)) << c.path;
        }
    }
    // A complete style followed by a transfer's padding converts.
    WriteBytes(folder.File("padded.sty"), Cat({whole, B({0x1A, 0x1A})}));
    const CliRun padded =
        Run({"convert", folder.File("padded.sty"), "--model", "PSR-9000", "--copy-all", "-o", out});
    EXPECT_EQ(padded.exitCode, 0) << padded.err;
    EXPECT_EQ(padded.out, "Wrote " + out + ": 2 sections for PSR-9000.\n");
}

// A style too large for the memory allowed is refused with a message, not an abort.
TEST_F(CliTest, StyleTooLargeForMemoryIsAFileError) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit allows";
#endif
    // One section of 96 MB of zero bytes; the file is sparse, so it costs no disk.
    const std::string path = folder.File("huge.sty");
    WriteBytes(path, Cat({Header(), T("MTrk"), Be32(0), B({0x00}), Marker("Main A")}));
    ASSERT_EQ(::truncate(path.c_str(), 96L << 20), 0);
    const CliRun run =
        Run({"convert", path, "--model", "PSR-9000", "--copy-all", "-o", folder.File("out.sty")},
            "ulimit -v 81920; exec ");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "korvane-cli: Sorry... Not enough memory to read file " + path +
                           ".\nCannot process further.\n");
    EXPECT_FALSE(std::filesystem::exists(folder.File("out.sty")));
}

// 20,000 sections of one note each (260 KB): the reports are written a section at a time, in
// 80 MB of address space; held whole, they took 150 MB.
TEST_F(CliTest, ReportsOfManySectionsNeedMemoryBoundedByTheFile) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit allows";
#endif
    ByteArray track = B({0x00});
    for (int i = 0; i < 20000; ++i)
        track.insert(track.end(),
                     {0xFF, 0x06, 0x01, 'M', 0x00, 0x98, 0x3C, 0x40, 0x10, 0x88, 0x3C, 0x00, 0x00});
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    const std::string path = folder.File("many.sty");
    WriteBytes(path, Style(track, Cseg("M", {})));
    for (const char* command : {"info", "voices"}) {
        const CliRun run =
            Run({command, path, "--json"}, "ulimit -v 81920; exec >/dev/null; exec ");
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_EQ(run.err, "") << command;
    }
}

// A style that reads in the memory allowed but whose notes do not fit: a command that writes no
// file does not claim to have left one unchanged.
TEST_F(CliTest, AReadOnlyCommandOutOfMemorySaysSoPlainly) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers need more address space than the limit allows";
#endif
    // Main A: two million notes of one step each (12 MB) on channel 1, routed to Bass.
    const ByteArray ctab = Cat({B({0x00}), T("Bass    "), B({0x0A}), ByteArray(17, 0x00)});
    ByteArray track = Cat({B({0x00}), Marker("Main A"), B({0x00, 0x90, 0x24, 0x64})});
    for (int note = 0; note < 2000000; ++note)
        track.insert(track.end(), {0x01, 0x24, 0x00, 0x01, 0x24, 0x64});
    track.insert(track.end(), {0x01, 0x24, 0x00, 0x00, 0xFF, 0x2F, 0x00});
    const std::string path = folder.File("many-notes.sty");
    WriteBytes(path, Style(track, Cseg("Main A", Chunk("Ctab", ctab))));
    const CliRun run = Run({"info", path, "--notes"}, "ulimit -v 61440; exec ");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "korvane-cli: Not enough memory to process this file.\n");
}

// Parts whose notes are on channels 1 to 8, which the Ctab records route to 9 to 16: info
// --notes counts each part's notes as the generator wrote them.
TEST_F(CliTest, InfoNotesCountsEachPartByItsRouting) {
    StyleGeneratorOptions options;
    options.seed = 5;
    options.routeLowChannels = true;
    options.sectionNames = {"SInt", "Main A", "Fill In AA", "Ending A"};
    const GeneratedStyle style = GenerateStyle(options);
    const std::string path = folder.File("routed.sty");
    ASSERT_TRUE(WriteGeneratedStyle(style, path));
    const char* const parts[] = {"Rhythm Sub", "Rhythm Main", "Bass",     "Chord 1",
                                 "Chord 2",    "Pad",         "Phrase 1", "Phrase 2"};
    std::string expected;
    for (const GeneratedSection& section : style.sections) {
        std::string counts;
        for (int p = 0; p < 8; ++p)
            if (const int notes = section.notesPerChannel[std::size_t(p)])
                counts += (counts.empty() ? "" : ", ") + std::string(parts[p]) + " " +
                          std::to_string(notes);
        expected += (counts.empty() ? "no notes" : counts) + "\n";
    }
    const CliRun run = Run({"info", path, "--notes"});
    std::string shown; // each notes line after its length
    for (std::size_t at = run.out.find("\n    "); at != std::string::npos;
         at = run.out.find("\n    ", at + 1)) {
        const std::size_t from = run.out.find("; ", at) + 2;
        shown += run.out.substr(from, run.out.find('\n', from) + 1 - from);
    }
    EXPECT_EQ(shown, expected);
    EXPECT_NE(expected.find("Bass"), std::string::npos);
}

// Channel 1 routed to Bass changes its own program to 6: voices says so beside Bass.
TEST_F(CliTest, VoicesNamesTheProgramOfAChannelRoutedToAPart) {
    const ByteArray ctab = Cat({B({0x00}), T("Bass    "), B({0x0A}), ByteArray(17, 0x00)});
    const std::string path = folder.File("routed.sty");
    WriteBytes(path, Style(Cat({B({0x00}), Marker("Main A"),
                                B({0x00, 0xC0, 0x05, 0x00, 0x90, 0x24, 0x64, 0x60, 0x80, 0x24, 0x00,
                                   0x00, 0xFF, 0x2F, 0x00})}),
                           Cseg("Main A", Chunk("Ctab", ctab))));
    const CliRun run = Run({"voices", path, "--json"});
    EXPECT_NE(run.out.find("{\"part\":\"Bass\",\"channel\":11,\"voice\":\"\",\"msb\":null,\"lsb\":"
                           "null,\"program\":null,\"volume\":null,\"pan\":null,\"reverb\":null,"
                           "\"chorus\":null,\"routed_programs\":[{\"channel\":1,\"program\":6}]}"),
              std::string::npos)
        << run.out;
    EXPECT_NE(Run({"voices", path}).out.find(" (channel 1 routed here sets its own program 6)\n"),
              std::string::npos);
}

// The Ctab record routes channel 1 to Bass; channels 4 and 11 have a note each and no record:
// info --notes counts them apart, by channel.
TEST_F(CliTest, InfoNotesNamesTheChannelsNoRecordRoutes) {
    const ByteArray ctab = Cat({B({0x00}), T("Bass    "), B({0x0A}), ByteArray(17, 0x00)});
    const std::string path = folder.File("unrouted.sty");
    WriteBytes(path, Style(Cat({B({0x00}), Marker("Main A"),
                                B({0x00, 0x90, 0x24, 0x64, 0x00, 0x93, 0x30, 0x64, 0x00, 0x9A,
                                   0x28, 0x64, 0x60, 0x80, 0x24, 0x00, 0x00, 0x83, 0x30, 0x00,
                                   0x00, 0x8A, 0x28, 0x00, 0x00, 0xFF, 0x2F, 0x00})}),
                           Cseg("Main A", Chunk("Ctab", ctab))));
    EXPECT_NE(Run({"info", path, "--notes"})
                  .out.find("\n    0 bars 1 beat, 4/4; Bass 1; Channel 4, not routed: 1 note; "
                            "Channel 11, not routed: 1 note\n"),
              std::string::npos);
    EXPECT_NE(Run({"info", path, "--notes", "--json"})
                  .out.find("\"not_routed\":[{\"channel\":4,\"notes\":1},{\"channel\":11,"
                            "\"notes\":1}]"),
              std::string::npos);
}

// A part's setting given twice, a flag given a value, a wrong value: usage errors that name the
// option and the value.
TEST_F(CliTest, VoiceOptionsGivenTwiceOrWithAValueAreUsageErrors) {
    const std::string in = Generated({"SInt", "Main A"}, "two.sty");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--voice", "Bass=36", "--voice", "11=40"},
         "--voice \"11=40\": the voice of Bass is given twice"},
        {{"--mix", "Pad:pan=1", "--mix", "Bass:volume=100,volume=90"},
         "--mix: volume is given twice, not \"Bass:volume=100,volume=90\""},
        {{"--mix", "Bass:reverb=9", "--mix", "Bass:reverb=9"},
         "--mix \"Bass:reverb=9\": the reverb of Bass is given twice"},
        {{"--gm-voices=0"}, "--gm-voices: takes no value, not \"0\""},
        {{"--gm-voices=true"}, "--gm-voices: takes no value, not \"true\""},
        {{"--voice", "Bass=300"}, "--voice: PROGRAM must be 1 to 128, not \"Bass=300\""},
    };
    for (const auto& [options, problem] : cases) {
        std::vector<std::string> args = {
            "convert", in, "--model", "PSR-540", "--by-name", "-o", folder.File("out.sty")};
        args.insert(args.end(), options.begin(), options.end());
        const CliRun run = Run(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, "korvane-cli: " + problem +
                               "\nRun 'korvane-cli convert --help' for its options.\n");
    }
}

// Every command's help is written from its options: the usage line names the arguments it needs.
TEST_F(CliTest, EveryCommandHasHelp) {
    const struct {
        std::vector<std::string> args;
        std::string usage;
    } commands[] = {
        {{"--help"}, "korvane-cli COMMAND [OPTIONS]"},
        {{"info", "--help"}, "korvane-cli info FILE [OPTIONS]"},
        {{"models", "-h"}, "korvane-cli models [OPTIONS]"},
        {{"convert", "--help"}, "korvane-cli convert IN --model NAME -o OUT [OPTIONS]"},
        {{"batch", "--help"}, "korvane-cli batch --model NAME FROM_DIR TO_DIR [OPTIONS]"},
        {{"audition", "--help"}, "korvane-cli audition IN [OPTIONS]"},
        {{"ports", "--help"}, "korvane-cli ports"},
    };
    for (const auto& command : commands) {
        const CliRun run = Run(command.args);
        EXPECT_EQ(run.exitCode, 0) << command.args[0];
        EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "Usage: " + command.usage);
    }
    // Descriptions fill their lines up to column 79 and go on under their own column.
    EXPECT_NE(
        Run({"info", "--help"})
            .out.find(
                "  --notes             add, for each section, its length in bars and beats and\n"
                "                      the parts that play it with their note counts\n"),
        std::string::npos);
    // A value is named by the word its description uses.
    EXPECT_NE(Run({"batch", "--help"}).out.find("  --resolution N      write every style at N"),
              std::string::npos);
    const CliRun usage = Run({"convert", "--model", "PSR-540"});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_EQ(usage.err, "korvane-cli: IN is required\nRun 'korvane-cli convert --help' for its "
                         "options.\n");
}

TEST_F(CliTest, ConvertPatternReplaysTheStoredStepsByName) {
    const std::string in = Generated({"SInt", "Main A", "Main B"}, "three.sty");
    const std::string ini = folder.File("Korvane.ini");
    WriteBytes(ini, std::string("[Conversion Pattern]\nstep1=Main A,Main A\nstep5=Main B,Main "
                                "B\nstep7=Main B,Fill In BA\n"));
    const std::string out = folder.File("out.sty");
    const CliRun run = Run({"convert", in, "--model", "PSR-740", "--pattern", ini, "-o", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Wrote " + out + ": 2 sections for PSR-740.\n");
    EXPECT_EQ(SectionNamesOfFile(out), (std::vector<std::string>{"Main A", "Main B"}));

    // The reader's message names the file escaped, as every message on the terminal does.
    const CliRun none = Run({"convert", in, "--model", "PSR-740", "--pattern",
                             folder.File("missing\x1b[2J.ini"), "-o", folder.File("x.sty")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, "korvane-cli: Sorry... " + folder.File("missing\\x1b[2J.ini") +
                            " is not a configuration file.\n");
    EXPECT_EQ(Run({"convert", in, "--model", "PSR-740", "--pattern", ini, "--by-name", "-o",
                   folder.File("y.sty")})
                  .exitCode,
              2);
}

TEST_F(CliTest, BatchConvertsAFolderAndNamesEveryFileItDidNot) {
    std::filesystem::create_directory(folder.File("in"));
    std::filesystem::create_directory(folder.File("out"));
    Generated(SixteenSectionNames(), "in/a.sty");
    Generated({"SInt", "Main A", "Main B"}, "in/b.PRS");
    StyleGeneratorOptions damaged;
    damaged.seed = 9;
    damaged.truncateAt = 200;
    WriteGeneratedStyle(GenerateStyle(damaged), folder.File("in/c.sty"));
    WriteBytes(folder.File("in/d.sty"), std::string("RIFF...."));
    WriteBytes(folder.File("out/b.PRS"), std::string("mine"));

    const CliRun run = Run({"batch", "--model", "PSR-540", "--by-name", folder.File("in"),
                            folder.File("out"), "--jobs", "2"});
    EXPECT_EQ(run.exitCode, 1); // c.sty failed
    EXPECT_EQ(run.err, "");     // no progress bar when stderr is no terminal
    EXPECT_EQ(run.out,
              "Converted: 1 of 4 style files.\n"
              "Skipped: 2 (exists: 1, not a style: 1)\n"
              "Failed: 1\n"
              "\nb.PRS (skipped, exists)"
              "\nc.sty (failed): File c.sty is damaged: it ends in the middle of its data. "
              "Cannot process further."
              "\nd.sty (skipped, not a style): " +
                  folder.File("in/d.sty") + " is not a style file (MThd missing).\n");
    EXPECT_EQ(SectionNamesOfFile(folder.File("out/a.sty")).size(), 7u);
    EXPECT_EQ(ReadBytes(folder.File("out/b.PRS")), "mine");

    std::filesystem::remove(folder.File("in/c.sty"));
    const CliRun again = Run({"batch", "--model", "PSR-540", "--by-name", folder.File("in"),
                              folder.File("out"), "--overwrite"});
    EXPECT_EQ(again.exitCode, 0) << again.out;
    EXPECT_EQ(SectionNamesOfFile(folder.File("out/b.PRS")),
              (std::vector<std::string>{"SInt", "Main A", "Main B"}));
}

TEST_F(CliTest, BatchUsageErrorsAndMissingFolders) {
    std::filesystem::create_directory(folder.File("in"));
    const std::string in = folder.File("in");
    EXPECT_EQ(Run({"batch", "--model", "PSR-540", in, in}).exitCode, 2);
    EXPECT_EQ(Run({"batch", "--model", "PSR-540", "--by-name", "--copy-all", in, in}).exitCode, 2);
    EXPECT_EQ(Run({"batch", "--model", "PSR-540", "--by-name", in, in, "--jobs", "0"}).exitCode, 2);
    EXPECT_EQ(Run({"batch", "--model", "PSR-540", "--by-name", in}).exitCode, 2);
    const CliRun missing =
        Run({"batch", "--model", "PSR-540", "--copy-all", in, folder.File("nowhere/out")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "korvane-cli: Sorry... Cannot create the folder " +
                               folder.File("nowhere/out") +
                               ". (0x00000002: No such file or directory)\nNothing was "
                               "converted.\n");
    const CliRun same = Run({"batch", "--model", "PSR-540", "--copy-all", in, in + "/"});
    EXPECT_EQ(same.exitCode, 1);
    EXPECT_EQ(same.err, "korvane-cli: Sorry... The folders " + in + " and " + in +
                            "/ are the same folder.\nNothing was converted.\n");
    // A missing TO is created, as cp -r creates it; its parent is not.
    const CliRun empty =
        Run({"batch", "--model", "PSR-540", "--copy-all", in, folder.File("nowhere")});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out.rfind("Converted: 0 of 0 style files.\n", 0), 0u);
}

TEST_F(CliTest, BatchWritesEveryStyleAtTheResolutionAsked) {
    std::filesystem::create_directory(folder.File("in"));
    std::filesystem::create_directory(folder.File("out"));
    const std::string in = folder.File("in");
    const std::string out = folder.File("out");
    Generated({"SInt", "Main A", "Main B"}, "in/a.sty");
    Generated({"Main A", "Fill In AA"}, "in/b.sty");
    const CliRun run =
        Run({"batch", "--model", "PSR-540", "--by-name", "--resolution", "1920", in, out});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    for (const char* name : {"a.sty", "b.sty"}) {
        const std::string written = ReadBytes(folder.File("out/") + name);
        ASSERT_GT(written.size(), 14u) << name;
        EXPECT_EQ(written.substr(12, 2), std::string("\x07\x80")) << name; // 1920
        // The same bytes as convert writes at that resolution.
        const std::string alone = folder.File(std::string("alone-") + name);
        ASSERT_EQ(Run({"convert", folder.File("in/") + name, "--model", "PSR-540", "--by-name",
                       "--resolution", "1920", "-o", alone})
                      .exitCode,
                  0);
        EXPECT_EQ(written, ReadBytes(alone)) << name;
    }
    for (const char* bad : {"0", "32768", "x"})
        EXPECT_EQ(Run({"batch", "--model", "PSR-540", "--by-name", "--resolution", bad, in, out})
                      .exitCode,
                  2)
            << bad;
}

} // namespace
} // namespace korvane::testing

namespace korvane::testing {
namespace {

// The parser takes the forms users type: "--option=value", "--" before a file named like an
// option, and section names that hold "=".
TEST_F(CliTest, ArgumentsInEveryUsualForm) {
    const std::string in = Generated({"SInt", "A=B", "Main B"}, "-h.sty");
    const std::string out = folder.File("out.sty");
    const CliRun run =
        Run({"convert", "--model=PSR-540", "--assign", "A=B=Main A", "-o", out, "--", in});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(SectionNamesOfFile(out), (std::vector<std::string>{"Main A"}));

    const CliRun info = Run({"info", "--json", "--", in});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("{\"name\":\"A=B\""), std::string::npos) << info.out;
}

// A section name that would drive the terminal is shown escaped in text; JSON escapes it its own
// way. Names that are not UTF-8 are Latin-1.
TEST_F(CliTest, InfoNeverPrintsControlBytes) {
    const std::string in = Generated({"\x1b]0;pwned\x07", "Main\xE9"}, "odd.sty");
    const CliRun text = Run({"info", in});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos);
    EXPECT_NE(text.out.find("  \\x1b]0;pwned\\x07"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  Main\xC3\xA9 "), std::string::npos) << text.out;

    const CliRun json = Run({"info", in, "--json"});
    EXPECT_NE(json.out.find("{\"name\":\"\\u001b]0;pwned\\u0007\""), std::string::npos) << json.out;
}

TEST_F(CliTest, AuditionRendersTheConvertedStyleToAWavFile) {
    const std::string in = Generated({"Main A", "Main B"}, "in.sty");
    const std::string wav = folder.File("audition out.wav");
    const CliRun run =
        Run({"audition", in, "--model", "PSR-9000", "--assign", "Main B=Main A", "--render", wav});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("Rendered " + wav + ": ", 0), 0u) << run.out;
    const std::string bytes = ReadBytes(wav);
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(8, 4), "WAVE");
}

// A render whose file cannot be written (here: the file size limit, as a full disk) fails, claims
// no sound and leaves the output as it was.
TEST_F(CliTest, ARenderThatCannotBeWrittenFailsAndKeepsTheOutput) {
    const std::string in = Generated({"Main A"}, "in.sty");
    const std::string wav = folder.File("keep.wav");
    WriteBytes(wav, std::string("the old render"));
    const CliRun run = RunCli({"audition", in, "--model", "PSR-9000", "--by-name", "--render", wav},
                              folder, "ulimit -f 64; trap '' XFSZ; exec ");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("render.wav: File too large)"), std::string::npos) << run.err;
    EXPECT_TRUE(ReadBytes(wav) == "the old render") << "the output was replaced";
}

TEST_F(CliTest, AuditionFailuresAndUsageErrors) {
    const std::string in = Generated({"Main A"}, "in.sty");
    const std::string wav = folder.File("out.wav");
    const std::vector<std::string> byName = {"audition", in, "--model", "PSR-9000", "--by-name"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = byName;
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    };
    const CliRun noSoundfont = with({"--render", wav, "--soundfont", folder.File("none.sf2")});
    EXPECT_EQ(noSoundfont.exitCode, 1);
    EXPECT_EQ(noSoundfont.err, "korvane-cli: the soundfont " + folder.File("none.sf2") +
                                   " cannot be read: No such file or directory.\n");
    const CliRun noPort = with({"--port", "Korvane No Such Port"});
    EXPECT_EQ(noPort.exitCode, 1);
    EXPECT_NE(noPort.err.find("korvane-cli: MidPlay Couldn't load music file(no MIDI output port "
                              "named Korvane No Such Port)\n"),
              std::string::npos)
        << noPort.err;
    EXPECT_EQ(Run({"audition", folder.File("missing.sty"), "--model", "PSR-9000", "--by-name",
                   "--render", wav})
                  .exitCode,
              1);
    EXPECT_EQ(with({"--render", wav, "--port", "x"}).exitCode, 2);
    EXPECT_EQ(with({}).exitCode, 2);
    const CliRun emptyPort = with({"--port", ""});
    EXPECT_EQ(emptyPort.exitCode, 2);
    EXPECT_EQ(emptyPort.err.rfind("korvane-cli: --port needs the name of a MIDI output port", 0),
              0u)
        << emptyPort.err;
    EXPECT_FALSE(std::filesystem::exists(wav));
}

} // namespace
} // namespace korvane::testing
