#include "settings/Settings.h"

#include "settings/ProfileFile.h"

#include "support/PlatformText.h"
#include "support/PosixOnly.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#ifndef _WIN32
#include "support/Unprivileged.h"
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvane {
namespace {

using testing::CTemporaryFolder;
using testing::kNativeSeparator;
using testing::NativeLines;
using testing::ReadBytes;
using testing::WriteBytes;

class SettingsTest : public ::testing::Test {
protected:
    CTemporaryFolder m_folder;
    std::string m_path = m_folder.File("Korvane.ini");
    CSettings m_settings;

    void Load(const std::string& fileBytes) {
        WriteBytes(m_path, fileBytes);
        LoadSettings(m_settings, m_folder.Path());
    }
};

void ExpectDefaults(const CSettings& settings, const std::string& startFolder) {
    EXPECT_EQ(settings.defaultStyleLocation, startFolder);
    EXPECT_EQ(settings.styleFolder, startFolder);
    EXPECT_EQ(settings.saveFolder, startFolder);
    EXPECT_EQ(settings.auditionFolder, DefaultAuditionFolder());
    EXPECT_EQ(settings.defaultModel, 0);
    EXPECT_EQ(settings.recentListSize, 8);
    EXPECT_EQ(settings.pattern, decltype(settings.pattern){});
    EXPECT_FALSE(settings.patternLoaded);
    EXPECT_EQ(settings.conversionSourceFolder, "none");
    EXPECT_EQ(settings.conversionTargetFolder, "none");
    EXPECT_FALSE(settings.overwrite);
    EXPECT_FALSE(settings.entireFolder);
    EXPECT_EQ(settings.lastFile, "none");
}

// Starting the program

TEST_F(SettingsTest, FirstStartCreatesAnEmptyFileAndTakesTheDefaults) {
    m_settings.pattern[3] = {"stale", "stale"};
    m_settings.patternLoaded = true;
    LoadSettings(m_settings, m_folder.Path());
    EXPECT_EQ(m_settings.configurationPath, m_folder.Path() + kNativeSeparator + "Korvane.ini");
    ASSERT_TRUE(std::filesystem::is_regular_file(m_path));
    EXPECT_EQ(ReadBytes(m_path), "");
    ExpectDefaults(m_settings, m_folder.Path());
}

// The user's own folder, never the shared temporary one: the runtime folder, else the cache.
TEST_F(SettingsTest, AuditionDefaultIsTheUsersRuntimeElseCacheFolder) {
    KORVANE_POSIX_ONLY("XDG folders and user numbers");
#ifndef _WIN32
    struct Case {
        const char* runtime;
        const char* cache;
        const char* home;
        std::string folder;
    };
    const std::vector<Case> cases = {
        {"/run/user/7/", "/c", "/h", "/run/user/7/korvane"},
        {nullptr, "/c", "/h", "/c/korvane"},
        {"relative", nullptr, "/h", "/h/.cache/korvane"},
        {nullptr, nullptr, nullptr, "/tmp/korvane-" + std::to_string(getuid())}};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"})
        saved.push_back(
            {name, getenv(name) ? std::optional<std::string>(getenv(name)) : std::nullopt});
    for (const Case& test : cases) {
        for (const auto& [name, value] :
             {std::pair{"XDG_RUNTIME_DIR", test.runtime}, std::pair{"XDG_CACHE_HOME", test.cache},
              std::pair{"HOME", test.home}})
            value ? setenv(name, value, 1) : unsetenv(name);
        EXPECT_EQ(DefaultAuditionFolder(), test.folder);
    }
    for (const auto& [name, value] : saved)
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
#endif
}

TEST_F(SettingsTest, LoadingLeavesAnExistingFileUntouched) {
    const std::string bytes = "; mine\r\n[PSR Model]\r\nmodel = 4 \r\n";
    Load(bytes);
    EXPECT_EQ(m_settings.defaultModel, 4);
    EXPECT_EQ(ReadBytes(m_path), bytes);
}

TEST_F(SettingsTest, StartFolderThatCannotHoldTheFileGivesDefaults) {
    const std::string notAFolder = m_folder.File("plain");
    WriteBytes(notAFolder, "x");
    LoadSettings(m_settings, notAFolder);
    ExpectDefaults(m_settings, notAFolder);
    EXPECT_FALSE(WriteSetting(m_settings, "PSR Model", "model", "1"));
    EXPECT_EQ(ReadBytes(notAFolder), "x");
}

// A Korvane.ini that is not a regular file of a sane size is not read: every key takes its
// default, at once, and nothing aborts. A FIFO with no writer must not block the start.
TEST_F(SettingsTest, ConfigurationThatIsNotASmallRegularFileGivesDefaults) {
    KORVANE_POSIX_ONLY("links, FIFOs and /dev");
#ifndef _WIN32
    const std::string model5 = "[PSR Model]\nmodel=5\n";
    // Exactly the largest size read, then one byte more: the same key in front of each.
    const std::string largest = model5 + std::string(kMaxProfileBytes - model5.size(), ';');
    const struct {
        const char* what;
        std::function<void(const std::string&)> make;
        int model; // 5 when the file is read
    } cases[] = {
        {"folder", [](const std::string& p) { std::filesystem::create_directory(p); }, 0},
        {"link to a folder",
         [&](const std::string& p) {
             std::filesystem::create_directory(m_folder.File("sub"));
             std::filesystem::create_directory_symlink(m_folder.File("sub"), p);
         },
         0},
        {"link to /dev/zero",
         [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); }, 0},
        {"link to /dev/urandom",
         [](const std::string& p) { std::filesystem::create_symlink("/dev/urandom", p); }, 0},
        {"FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, 0},
        {"100 MB file",
         [&](const std::string& p) {
             WriteBytes(p, model5);
             ASSERT_EQ(::truncate(p.c_str(), 100L << 20), 0);
         },
         0},
        {"1 MiB and one byte", [&](const std::string& p) { WriteBytes(p, largest + ";"); }, 0},
        {"exactly 1 MiB", [&](const std::string& p) { WriteBytes(p, largest); }, 5},
        {"link to a small file",
         [&](const std::string& p) {
             WriteBytes(m_folder.File("real.ini"), model5);
             std::filesystem::create_symlink(m_folder.File("real.ini"), p);
         },
         5},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(m_path);
        std::filesystem::remove_all(m_folder.File("sub"));
        c.make(m_path);
        CSettings settings;
        LoadSettings(settings, m_folder.Path());
        EXPECT_EQ(settings.defaultModel, c.model) << c.what;
        if (c.model == 0)
            ExpectDefaults(settings, m_folder.Path());
    }
#endif
}

TEST_F(SettingsTest, ReadOnlyStartFolderGivesDefaultsAndRefusesWrites) {
    KORVANE_POSIX_ONLY("another user and folder modes");
#ifndef _WIN32
    if (!testing::CanRunUnprivileged())
        GTEST_SKIP() << "running as root without a user nobody";
    testing::HandToUnprivileged(m_folder.Path());
    // Run as a user the folder's permissions stop; the child reports what it saw.
    const std::string seen = testing::RunUnprivileged([&] {
        std::filesystem::permissions(m_folder.Path(), std::filesystem::perms(0555));
        LoadSettings(m_settings, m_folder.Path());
        const bool written = WriteSetting(m_settings, "PSR Model", "model", "1");
        return std::to_string(std::filesystem::exists(m_path)) + " " +
               m_settings.defaultStyleLocation + " " + m_settings.conversionSourceFolder + " " +
               std::to_string(m_settings.defaultModel) + " " + std::to_string(written);
    });
    EXPECT_EQ(seen, "0 " + m_folder.Path() + " none 0 0");
#endif
}

// A Korvane.ini that is a link: written through only to an existing regular file.

TEST_F(SettingsTest, StartUpCreatesNothingThroughADanglingLink) {
    KORVANE_POSIX_ONLY("links");
#ifndef _WIN32
    const std::string outside = m_folder.File("elsewhere.ini");
    std::filesystem::create_symlink(outside, m_path);
    LoadSettings(m_settings, m_folder.Path());
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_FALSE(WriteSetting(m_settings, "PSR Model", "model", "1"));
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_TRUE(std::filesystem::is_symlink(m_path));
#endif
}

TEST_F(SettingsTest, LinkToARegularFileIsWrittenThroughOthersAreNot) {
    KORVANE_POSIX_ONLY("links and FIFOs");
#ifndef _WIN32
    WriteBytes(m_folder.File("real.ini"), std::string("[PSR Model]\nmodel=2\n"));
    std::filesystem::create_symlink("real.ini", m_path);
    LoadSettings(m_settings, m_folder.Path());
    EXPECT_TRUE(WriteSetting(m_settings, "PSR Model", "model", "5"));
    EXPECT_EQ(ReadBytes(m_folder.File("real.ini")), "[PSR Model]\nmodel=5\n");
    EXPECT_TRUE(std::filesystem::is_symlink(m_path));

    // A FIFO or a device behind the name is neither read (it would block) nor written.
    mkfifo(m_folder.File("fifo").c_str(), 0644);
    for (const std::string& target : {m_folder.File("fifo"), std::string("/dev/null")}) {
        std::filesystem::remove(m_path);
        std::filesystem::create_symlink(target, m_path);
        EXPECT_FALSE(WriteSetting(m_settings, "PSR Model", "model", "6")) << target;
        EXPECT_TRUE(std::filesystem::is_symlink(m_path)) << target;
    }
    EXPECT_EQ(std::filesystem::symlink_status(m_folder.File("fifo")).type(),
              std::filesystem::file_type::fifo);
#endif
}

TEST_F(SettingsTest, StoredValuesAreLoaded) {
    Load("[Style Base]\nfolder=/music/styles\n"
         "[Audit Location]\nfolder=/music/audition\n"
         "[PSR Model]\nmodel=5\n"
         "[Most Recently Used]\nsize=8\n"
         "[Conversion Files]\nfrom=/in\nto=/out\noverwrite=Y\nentire=Yes\n"
         "[Recent File List]\nFile1=/in/a.sty\n");
    EXPECT_EQ(m_settings.defaultStyleLocation, "/music/styles");
    EXPECT_EQ(m_settings.styleFolder, "/music/styles");
    EXPECT_EQ(m_settings.saveFolder, "/music/styles");
    EXPECT_EQ(m_settings.auditionFolder, "/music/audition");
    EXPECT_EQ(m_settings.defaultModel, 5);
    EXPECT_EQ(m_settings.recentListSize, 8);
    EXPECT_EQ(m_settings.conversionSourceFolder, "/in");
    EXPECT_EQ(m_settings.conversionTargetFolder, "/out");
    EXPECT_TRUE(m_settings.overwrite);
    EXPECT_TRUE(m_settings.entireFolder);
    EXPECT_EQ(m_settings.lastFile, "/in/a.sty");
}

TEST_F(SettingsTest, TheAuditionOutputIsTheSynthesizerUnlessAPortIsNamed) {
    Load("");
    EXPECT_EQ(m_settings.auditionOutput, "synthesizer");
    EXPECT_EQ(m_settings.soundfont, "");
    Load("[Audition]\noutput=\n");
    EXPECT_EQ(m_settings.auditionOutput, "synthesizer");
    Load("[Audition]\noutput=Digital Keyboard:Digital Keyboard MIDI 1\n"
         "soundfont=/my fonts/Grand Piano.sf2\n");
    EXPECT_EQ(m_settings.auditionOutput, "Digital Keyboard:Digital Keyboard MIDI 1");
    EXPECT_EQ(m_settings.soundfont, "/my fonts/Grand Piano.sf2");
}

// Numbers and flags typed into the file by hand

TEST_F(SettingsTest, NumbersReadTheirLeadingIntegerOfAtMostThreeCharacters) {
    Load("[PSR Model]\nmodel=1234\n[Most Recently Used]\nsize=12abc\n");
    EXPECT_EQ(m_settings.defaultModel, 123);
    EXPECT_EQ(m_settings.recentListSize, 12);
    Load("[PSR Model]\nmodel=abc\n[Most Recently Used]\nsize=-3\n");
    EXPECT_EQ(m_settings.defaultModel, 0);
    EXPECT_EQ(m_settings.recentListSize, -3);
    Load("[PSR Model]\nmodel=\n");
    EXPECT_EQ(m_settings.defaultModel, 0);
}

TEST_F(SettingsTest, FlagsNeedAnUpperCaseY) {
    Load("[Conversion Files]\noverwrite=y\nentire=yes\n");
    EXPECT_FALSE(m_settings.overwrite);
    EXPECT_FALSE(m_settings.entireFolder);
    Load("[Conversion Files]\noverwrite=\nentire=\n");
    EXPECT_FALSE(m_settings.overwrite);
    EXPECT_FALSE(m_settings.entireFolder);
    Load("[Conversion Files]\noverwrite=Yup\nentire=Y\n");
    EXPECT_TRUE(m_settings.overwrite);
    EXPECT_TRUE(m_settings.entireFolder);
}

TEST_F(SettingsTest, EmptyFolderValueIsKeptNotReplacedByTheDefault) {
    Load("[Style Base]\nfolder=\n[Conversion Files]\nfrom=\n");
    EXPECT_EQ(m_settings.defaultStyleLocation, "");
    EXPECT_EQ(m_settings.conversionSourceFolder, "");
    EXPECT_EQ(m_settings.conversionTargetFolder, "none");
}

// The stored conversion pattern

TEST_F(SettingsTest, StepsSplitAtTheFirstComma) {
    Load("[Conversion Pattern]\n"
         "step0=Intro A,Intro A\n"
         "step1=\n"
         "step2=None\n"
         "step3=Main B\n"
         "step4=,Main C\n"
         "step5=Intro A,Fill In AA,x\n"
         "step6=none\n"
         "step15=Ending B,Ending A\n"
         "step16=Main D,Main D\n");
    decltype(m_settings.pattern) expected{};
    expected[0] = {"Intro A", "Intro A"};
    expected[5] = {"Intro A", "Fill In AA,x"};
    expected[15] = {"Ending B", "Ending A"};
    EXPECT_EQ(m_settings.pattern, expected);
    EXPECT_TRUE(m_settings.patternLoaded);
}

TEST_F(SettingsTest, StepValuesThatGiveNoStepStillMarkThePatternLoaded) {
    for (const char* value :
         {"step1=\n", "step1=None\n", "step1=NONE\n", "step1=Main B\n", "step1=,Main C\n"}) {
        Load(std::string("[Conversion Pattern]\n") + value);
        EXPECT_EQ(m_settings.pattern, decltype(m_settings.pattern){}) << value;
        EXPECT_TRUE(m_settings.patternLoaded) << value;
    }
}

TEST_F(SettingsTest, NoneAndStepsBeyondFifteenCountAsMissing) {
    Load("[Conversion Pattern]\nstep0=none\nstep16=Main A,Main A\nother=Main A,Main A\n");
    EXPECT_EQ(m_settings.pattern, decltype(m_settings.pattern){});
    EXPECT_FALSE(m_settings.patternLoaded);
}

TEST_F(SettingsTest, StepValueIsCutAtSixtyThreeCharacters) {
    const std::string to(70, 'b');
    Load("[Conversion Pattern]\nstep0=a," + to + "\n");
    EXPECT_EQ(m_settings.pattern[0].from, "a");
    EXPECT_EQ(m_settings.pattern[0].to, std::string(61, 'b'));
}

// Writing from the dialogs

TEST_F(SettingsTest, PreferencesWriteFourKeysInOrderAndTheSizeAsTyped) {
    LoadSettings(m_settings, m_folder.Path());
    m_settings.defaultModel = 12;
    m_settings.defaultStyleLocation = "/styles/100% mine, too";
    m_settings.auditionFolder = "/audition";
    ASSERT_TRUE(WritePreferences(m_settings, "1234"));
    EXPECT_EQ(ReadBytes(m_path), NativeLines("[PSR Model]\nmodel=12\n"
                                             "[Style Base]\nfolder=/styles/100% mine, too\n"
                                             "[Audit Location]\nfolder=/audition\n"
                                             "[Most Recently Used]\nsize=1234\n"));
    CSettings next;
    LoadSettings(next, m_folder.Path());
    EXPECT_EQ(next.recentListSize, 123);
    EXPECT_EQ(next.defaultModel, 12);
    EXPECT_EQ(next.defaultStyleLocation, "/styles/100% mine, too");
}

TEST_F(SettingsTest, ConversionFoldersWriteFlagsAsYOrEmpty) {
    Load("[Conversion Files]\r\nfrom=/old\r\noverwrite=Yes\r\n");
    m_settings.conversionSourceFolder = "/in";
    m_settings.conversionTargetFolder = "/out";
    ASSERT_TRUE(m_settings.overwrite);
    ASSERT_TRUE(WriteConversionFolders(m_settings));
    EXPECT_EQ(ReadBytes(m_path),
              "[Conversion Files]\r\nfrom=/in\r\noverwrite=Y\r\nto=/out\r\nentire=\r\n");
}

TEST_F(SettingsTest, StoredPatternHoldsAllSixteenStepsAndLoadsBack) {
    LoadSettings(m_settings, m_folder.Path());
    m_settings.pattern[0] = {"Intro A", "Intro A"};
    m_settings.pattern[1] = {"Main A", "Main B"};
    ASSERT_TRUE(WriteConversionPattern(m_settings));
    std::string expected = "[Conversion Pattern]\nstep0=Intro A,Intro A\nstep1=Main A,Main B\n";
    for (int step = 2; step < 16; ++step)
        expected += "step" + std::to_string(step) + "=\n";
    EXPECT_EQ(ReadBytes(m_path), NativeLines(expected));

    CSettings next;
    LoadSettings(next, m_folder.Path());
    EXPECT_TRUE(next.patternLoaded);
    EXPECT_EQ(next.pattern, m_settings.pattern);
}

TEST_F(SettingsTest, LineBreaksCannotInjectKeys) {
    Load("[PSR Model]\nmodel=2\n");
    m_settings.auditionFolder = "/a\r\n[PSR Model]\r\nmodel=9";
    ASSERT_TRUE(WriteSetting(m_settings, "Audit Location", "folder", m_settings.auditionFolder));
    EXPECT_EQ(ReadBytes(m_path),
              "[PSR Model]\nmodel=2\n[Audit Location]\nfolder=/a[PSR Model]model=9\n");
    CSettings next;
    LoadSettings(next, m_folder.Path());
    EXPECT_EQ(next.defaultModel, 2);
    EXPECT_EQ(next.auditionFolder, "/a[PSR Model]model=9");
}

} // namespace
} // namespace korvane
