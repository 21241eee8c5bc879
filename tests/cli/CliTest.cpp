// korvane-cli as a user runs it: exit codes, what it prints, and the files it writes.

#include "style/StyleReader.h"
#include "support/ScriptedDialogs.h"
#include "support/SectionNames.h"
#include "support/StyleBytes.h"
#include "support/StyleGenerator.h"
#include "support/TemporaryFolder.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace korvane::testing {
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    // Runs korvane-cli with the arguments (each quoted for the shell) and collects its output.
    CliRun Run(const std::vector<std::string>& args) {
        std::string command = std::string("'") + KORVANE_CLI_PATH + "'";
        for (const auto& arg : args)
            command += " '" + arg + "'";
        const std::string errPath = folder.File("stderr.txt");
        command += " 2>'" + errPath + "'";
        CliRun run;
        FILE* pipe = popen(command.c_str(), "r");
        std::array<char, 4096> buffer;
        for (std::size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
            run.out.append(buffer.data(), n);
        const int status = pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.err = ReadBytes(errPath);
        return run;
    }
    std::string Generated(const std::vector<std::string>& names, const std::string& file) {
        StyleGeneratorOptions options;
        options.seed = 7;
        options.sectionNames = names;
        const std::string path = folder.File(file);
        WriteGeneratedStyle(GenerateStyle(options), path);
        return path;
    }

    CTemporaryFolder folder;
};

TEST_F(CliTest, InfoJsonDescribesTheStyle) {
    const std::string path = folder.File("min.sty");
    WriteBytes(path, MinimalStyle());
    const CliRun run = Run({"info", path, "--json"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "{\"format\":0,\"tracks\":1,\"division\":480,\"properties\":{\"copyright\":"
                       "\"\",\"sequence_name\":\"\",\"tempo\":\"120\",\"time_signature\":\"4/4 24 "
                       "clocks PQN\"},\"sections\":[{\"name\":\"SInt\",\"length\":9,\"cseg\":0},{"
                       "\"name\":\"Main A\",\"length\":9,\"cseg\":0}],\"csegs\":[{\"sdec\":\"SInt,"
                       "Main A\",\"ctab_length\":11}]}\n");
    EXPECT_EQ(run.err, "");
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

TEST_F(CliTest, EveryCommandHasHelp) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"info", "--help"}, {"models", "--help"}, {"convert", "--help"}}) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.exitCode, 0) << args[0];
        EXPECT_EQ(run.out.rfind("Usage: korvane-cli", 0), 0u) << run.out;
    }
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
                                   " is not a readable file.\n");
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
    EXPECT_FALSE(std::filesystem::exists(wav));
}

} // namespace
} // namespace korvane::testing
