#include "settings/RecentFiles.h"
#include "settings/Preferences.h"

#include "support/PlatformText.h"
#include "support/PosixOnly.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace korvane {
namespace {

using testing::CTemporaryFolder;
using testing::NativeAbsolute;
using testing::ReadBytes;
using testing::WriteBytes;

class RecentFilesTest : public ::testing::Test {
protected:
    void Load(const std::string& fileBytes) {
        WriteBytes(m_folder.File("Korvane.ini"), fileBytes);
        LoadSettings(m_settings, m_folder.Path());
        m_recent.Load(m_settings);
    }
    std::string FileBytes() const { return ReadBytes(m_folder.File("Korvane.ini")); }

    CTemporaryFolder m_folder;
    CSettings m_settings;
    CRecentFiles m_recent;
};

// Another spelling of a listed file, a link to it or the same path again: the file moves to the
// top and is listed once.
TEST_F(RecentFilesTest, AFileOpenedAgainIsListedOnceAtTheTop) {
    KORVANE_POSIX_ONLY("links");
#ifndef _WIN32
    Load("[Most Recently Used]\nsize=16\n");
    const std::string a = m_folder.File("a.sty");
    const std::string b = m_folder.File("b.sty");
    WriteBytes(a, std::string("a"));
    WriteBytes(b, std::string("b"));
    std::filesystem::create_symlink(a, m_folder.File("link.sty"));
    using Files = std::vector<std::string>;
    const std::vector<std::pair<std::string, Files>> opened = {
        {a, {a}},
        {b, {b, a}},
        {a, {a, b}},
        {m_folder.File("x/../b.sty"), {b, a}},
        {m_folder.File("link.sty"), {m_folder.File("link.sty"), b}},
    };
    for (const auto& [path, files] : opened) {
        m_recent.Add(m_settings, path);
        EXPECT_EQ(m_recent.GetFiles(), files) << path;
    }
#endif
}

// A list shrunk in Preferences stays short when it grows again, in memory and in the file.
TEST_F(RecentFilesTest, ShrinkingTheListInPreferencesIsSaved) {
    Load("[Most Recently Used]\nsize=3\n");
    for (const char* path : {"/a.sty", "/b.sty", "/c.sty"})
        m_recent.Add(m_settings, path);
    ASSERT_TRUE(ApplyPreferences(m_settings, m_recent, {0, "/s", "/t", "1", "", "", ""}));
    EXPECT_EQ(m_recent.GetFiles(), std::vector<std::string>{NativeAbsolute("/c.sty")});
    ApplyPreferences(m_settings, m_recent, {0, "/s", "/t", "3", "", "", ""});
    EXPECT_EQ(m_recent.GetFiles(), std::vector<std::string>{NativeAbsolute("/c.sty")});
    EXPECT_EQ(FileBytes(), "[Most Recently Used]\nsize=3\n"
                           "[Recent File List]\nFile1=" +
                               NativeAbsolute("/c.sty") +
                               "\nFile2=\nFile3=\n"
                               "[PSR Model]\nmodel=0\n[Style Base]\nfolder=/s\n"
                               "[Audit Location]\nfolder=/t\n"
                               "[Audition]\noutput=synthesizer\nsoundfont=\ndriver=\n");
    // Entries left past the size by an older version count as dropped too.
    Load("[Most Recently Used]\nsize=1\n[Recent File List]\nFile1=/a.sty\nFile2=/b.sty\n");
    ApplyPreferences(m_settings, m_recent, {0, "/s", "/t", "2", "", "", ""});
    m_recent.Load(m_settings);
    EXPECT_EQ(m_recent.GetFiles(), std::vector<std::string>{"/a.sty"});
}

// Preferences that leave the list's size alone leave the list in the file alone: another window
// may have written it since this one read it.
TEST_F(RecentFilesTest, PreferencesThatKeepTheSizeKeepAnotherWindowsList) {
    Load("[Most Recently Used]\nsize=3\n[Recent File List]\nFile1=/a.sty\n");
    WriteBytes(m_folder.File("Korvane.ini"),
               "[Most Recently Used]\nsize=3\n[Recent File List]\nFile1=/b.sty\n");
    ASSERT_TRUE(ApplyPreferences(m_settings, m_recent, {0, "/s", "/t", "3", "", "", ""}));
    EXPECT_TRUE(FileBytes().starts_with(
        "[Most Recently Used]\nsize=3\n[Recent File List]\nFile1=/b.sty\n[PSR Model]\n"));
}

TEST(RecentFileNumberTest, OnlyTheFirstTenGetAnAccelerator) {
    const std::vector<std::string> expected = {"&1", "&2",  "&3", "&4", "&5", "&6", "&7", "&8",
                                               "&9", "1&0", "11", "12", "13", "14", "15", "16"};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(RecentFileNumber(i), expected[i]);
}

#ifndef _WIN32
// How often a new file is put in place under the name (renamed or linked there), from the
// folder's inotify events, which the kernel queues as each call returns.
int WritesOf(const std::string& folder, const std::string& name, const std::function<void()>& run) {
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0 || inotify_add_watch(watch, folder.c_str(), IN_MOVED_TO | IN_CREATE) < 0)
        return -1;
    run();
    int writes = 0;
    alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (ssize_t length; (length = read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            writes += event->len > 0 && name == event->name;
            at += sizeof(inotify_event) + event->len;
        }
    }
    close(watch);
    return writes;
}
#endif

// Each command replaces "Korvane.ini" once, however many keys it sets.
TEST_F(RecentFilesTest, EachCommandWritesTheFileOnce) {
    KORVANE_POSIX_ONLY("inotify");
#ifndef _WIN32
    Load("[Most Recently Used]\nsize=16\n");
    for (int i = 0; i < 16; ++i)
        m_recent.Add(m_settings, "/" + std::to_string(i) + ".sty");
    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"Open", [&] { m_recent.Add(m_settings, "/new.sty"); }},
        {"Store Pattern", [&] { WriteConversionPattern(m_settings); }},
        {"Conversions OK", [&] { WriteConversionFolders(m_settings); }},
        {"Preferences OK, the list cut",
         [&] {
             ApplyPreferences(m_settings, m_recent, {0, "/s", "/t", "2", "", "", ""});
         }},
    };
    for (const auto& [command, run] : commands)
        EXPECT_EQ(WritesOf(m_folder.Path(), "Korvane.ini", run), 1) << command;
#endif
}

} // namespace
} // namespace korvane
