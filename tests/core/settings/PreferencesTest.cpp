#include "settings/Preferences.h"
#include "settings/RecentFiles.h"

#include "support/PlatformText.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

using testing::CTemporaryFolder;
using testing::NativeAbsolute;
using testing::NativeLines;
using testing::ReadBytes;
using testing::WriteBytes;

class PreferencesTest : public ::testing::Test {
protected:
    void Load(const std::string& fileBytes) {
        WriteBytes(m_folder.File("Korvane.ini"), fileBytes);
        LoadSettings(m_settings, m_folder.Path());
    }
    std::string FileBytes() const { return ReadBytes(m_folder.File("Korvane.ini")); }

    CTemporaryFolder m_folder;
    CSettings m_settings;
    CRecentFiles m_recent;
};

TEST_F(PreferencesTest, DialogOpensOnTheCurrentValues) {
    Load("[PSR Model]\nmodel=5\n[Style Base]\nfolder=/styles\n[Audit Location]\nfolder=/tmp/a\n"
         "[Most Recently Used]\nsize=4\n");
    EXPECT_EQ(PreferencesFromSettings(m_settings),
              (PreferencesValues{5, "/styles", "/tmp/a", "4", "synthesizer", "", ""}));
    Load("[Audition]\noutput=My Port\nsoundfont=/sf/x.sf2\n");
    EXPECT_EQ(PreferencesFromSettings(m_settings),
              (PreferencesValues{0, m_folder.Path(), DefaultAuditionFolder(), "8", "My Port",
                                 "/sf/x.sf2", ""}));
}

// The audition values follow the four keys; an empty output means the built-in synthesizer; the
// settings in memory (which the audition's sequencer reads at its next open) change with them.
TEST_F(PreferencesTest, OkWritesTheAuditionKeysAfterTheFour) {
    Load("[Audition]\nsoundfont=/old.sf2\n");
    EXPECT_TRUE(ApplyPreferences(m_settings, m_recent,
                                 {1, "/s", "/a", "3", "PSR Port", "/new sf/gm.sf2", ""}));
    EXPECT_EQ(FileBytes(), "[Audition]\nsoundfont=/new sf/gm.sf2\noutput=PSR Port\ndriver=\n"
                           "[PSR Model]\nmodel=1\n[Style Base]\nfolder=/s\n"
                           "[Audit Location]\nfolder=/a\n[Most Recently Used]\nsize=3\n");
    EXPECT_EQ(m_settings.auditionOutput, "PSR Port");
    EXPECT_EQ(m_settings.soundfont, "/new sf/gm.sf2");
    ApplyPreferences(m_settings, m_recent, {1, "/s", "/a", "3", "", "", ""});
    EXPECT_EQ(m_settings.auditionOutput, "synthesizer");
    CSettings reloaded;
    LoadSettings(reloaded, m_folder.Path());
    EXPECT_EQ(reloaded.auditionOutput, "synthesizer");
    EXPECT_EQ(reloaded.soundfont, "");
}

TEST(PreferencesAuditionOutputTest, ListsTheSynthesizerThePortsAndAMissingCurrentPort) {
    using Choices = std::vector<AuditionOutputChoice>;
    const AuditionOutputChoice synth{"synthesizer", "Built-in synthesizer"};
    struct Case {
        std::vector<std::string> ports;
        std::string current;
        Choices expected;
    };
    const std::vector<Case> cases = {
        {{}, "synthesizer", {synth}},
        {{"A", "B"}, "synthesizer", {synth, {"A", "A"}, {"B", "B"}}},
        {{"A", "B"}, "B", {synth, {"A", "A"}, {"B", "B"}}},
        {{"A"}, "Gone", {synth, {"A", "A"}, {"Gone", "Gone (not connected)"}}},
        {{"A", "A", "", "synthesizer"}, "", {synth, {"A", "A"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AuditionOutputChoices(c.ports, c.current), c.expected) << c.current;
}

TEST(PreferencesSoundfontTest, BrowseStartsInTheSoundfontsFolder) {
    CTemporaryFolder folder;
    EXPECT_EQ(SoundfontBrowseFolder(folder.File("gm.sf2")), folder.Path());
    EXPECT_EQ(SoundfontBrowseFolder(""), "/usr/share/sounds/sf2");
    EXPECT_EQ(SoundfontBrowseFolder("/no/such/folder/gm.sf2"), "/usr/share/sounds/sf2");
    EXPECT_EQ(SoundfontFileFilters().front(), (FileFilter{"Soundfonts (*.sf2)", "*.sf2"}));
}

// OK writes the four keys at once, in their order, the size as typed; the values take effect in
// memory, except the style and save folders, which follow the new location from the next start.
TEST_F(PreferencesTest, OkWritesTheFourKeysInOrder) {
    Load("");
    const std::string startFolder = m_settings.styleFolder;
    EXPECT_TRUE(ApplyPreferences(m_settings, m_recent,
                                 {12, "/home/me/styles", "/tmp/audition", "7x", "", "", ""}));
    EXPECT_EQ(FileBytes(), NativeLines("[PSR Model]\nmodel=12\n"
                                       "[Style Base]\nfolder=/home/me/styles\n"
                                       "[Audit Location]\nfolder=/tmp/audition\n"
                                       "[Most Recently Used]\nsize=7x\n"
                                       "[Audition]\noutput=synthesizer\nsoundfont=\ndriver=\n"));
    EXPECT_EQ(m_settings.defaultModel, 12);
    EXPECT_EQ(m_settings.defaultStyleLocation, "/home/me/styles");
    EXPECT_EQ(m_settings.auditionFolder, "/tmp/audition");
    EXPECT_EQ(m_settings.recentListSize, 7);
    EXPECT_EQ(m_settings.styleFolder, startFolder);
    EXPECT_EQ(m_settings.saveFolder, startFolder);

    ApplyPreferences(m_settings, m_recent, {0, "", "", "letters", "", "", ""});
    EXPECT_EQ(m_settings.recentListSize, 0);
    CSettings reloaded;
    LoadSettings(reloaded, m_folder.Path());
    EXPECT_EQ(reloaded.defaultStyleLocation, "");
    EXPECT_EQ(reloaded.recentListSize, 0);
}

TEST(PreferencesBrowseTest, ChosenFolderReplacesTheBox) {
    EXPECT_EQ(BrowsedFolderOr(std::string("/new"), "/old"), "/new");
    EXPECT_EQ(BrowsedFolderOr(std::nullopt, "/old"), "/old");
    EXPECT_EQ(BrowsedFolderOr(std::string(), "/old"), "/old");
}

TEST_F(PreferencesTest, RecentFilesKeepTheNewestUpToTheSize) {
    Load("[Most Recently Used]\nsize=3\n");
    CRecentFiles recent;
    recent.Load(m_settings);
    EXPECT_TRUE(recent.GetFiles().empty());
    for (const char* path : {"/a.sty", "/b.sty", "/c.sty", "/a.sty", "/d.sty"})
        recent.Add(m_settings, path);
    const std::string a = NativeAbsolute("/a.sty"), c = NativeAbsolute("/c.sty"),
                      d = NativeAbsolute("/d.sty");
    const std::vector<std::string> expected = {d, a, c};
    EXPECT_EQ(recent.GetFiles(), expected);
    EXPECT_EQ(FileBytes(), "[Most Recently Used]\nsize=3\n"
                           "[Recent File List]\nFile1=" +
                               d + "\nFile2=" + a + "\nFile3=" + c + "\n");

    CRecentFiles reloaded;
    reloaded.Load(m_settings);
    EXPECT_EQ(reloaded.GetFiles(), expected);

    reloaded.Remove(m_settings, a);
    EXPECT_EQ(FileBytes(), "[Most Recently Used]\nsize=3\n"
                           "[Recent File List]\nFile1=" +
                               d + "\nFile2=" + c + "\nFile3=\n");
    reloaded.Load(m_settings);
    EXPECT_EQ(reloaded.GetFiles(), (std::vector<std::string>{d, c}));
}

TEST_F(PreferencesTest, RecentListOfSizeZeroKeepsNothing) {
    Load("[Most Recently Used]\nsize=0\n[Recent File List]\nFile1=/kept.sty\n");
    CRecentFiles recent;
    recent.Load(m_settings);
    EXPECT_TRUE(recent.GetFiles().empty());
    recent.Add(m_settings, "/x.sty");
    EXPECT_TRUE(recent.GetFiles().empty());
    EXPECT_EQ(FileBytes(), "[Most Recently Used]\nsize=0\n[Recent File List]\nFile1=/kept.sty\n");
    // A huge size keeps at most sixteen.
    m_settings.recentListSize = 999;
    EXPECT_EQ(CRecentFiles::Capacity(m_settings), 16);
}

} // namespace
} // namespace korvane
