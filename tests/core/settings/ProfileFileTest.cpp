#include "settings/ProfileFile.h"

#include "support/PlatformText.h"
#include "support/PosixOnly.h"
#include "support/TemporaryFolder.h"
#ifndef _WIN32
#include "support/Unprivileged.h"
#include <csignal>
#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace korvane {
namespace {

using testing::CTemporaryFolder;
using testing::NativeLines;
using testing::ReadBytes;
using testing::WriteBytes;
#ifndef _WIN32
using testing::CanRunUnprivileged;
using testing::HandToUnprivileged;
using testing::RunUnprivileged;
#endif

// As another program on Windows leaves it: CRLF, comments, names in other letter cases, blanks
// around '=', a key without '=', a commented-out key and a section name appearing twice.
const std::string kWindowsFile = "; Korvane settings\r\n"
                                 "[Style Base]\r\n"
                                 "Folder = C:\\Styles\\ \r\n"
                                 "\r\n"
                                 "[psr model]\r\n"
                                 "  MODEL=5\r\n"
                                 "[Conversion Pattern]\r\n"
                                 "step0=\r\n"
                                 "step1\r\n"
                                 ";step2=Intro A,Intro A\r\n"
                                 "\r\n"
                                 "; keys of older versions below\r\n"
                                 "[Quoted]\r\n"
                                 "path=\"C:\\My Styles\"\r\n"
                                 "single='x'\r\n"
                                 "half=\"x\r\n"
                                 "[PSR MODEL]\r\n"
                                 "model=9\r\n"
                                 "size=4\r\n";

class ProfileFileTest : public ::testing::Test {
protected:
    CTemporaryFolder m_folder;
    std::string m_path = m_folder.File("Korvane.ini");
    CProfileFile m_file{m_path};

    std::string Read(const std::string& section, const std::string& key) const {
        return m_file.ReadString(section, key, "default", 260);
    }
};

// Reading what Windows wrote

TEST_F(ProfileFileTest, FindsKeysRegardlessOfCaseAndBlanks) {
    WriteBytes(m_path, kWindowsFile);
    EXPECT_EQ(Read("style base", "FOLDER"), "C:\\Styles\\");
    EXPECT_EQ(Read("PSR Model", "model"), "5");
    EXPECT_EQ(Read(" PSR Model ", " model "), "5");
}

TEST_F(ProfileFileTest, EmptyValueIsAValueButAKeyWithoutEqualsOrCommentedIsMissing) {
    WriteBytes(m_path, kWindowsFile);
    EXPECT_EQ(Read("Conversion Pattern", "step0"), "");
    EXPECT_EQ(Read("Conversion Pattern", "step1"), "default");
    EXPECT_EQ(Read("Conversion Pattern", "step2"), "default");
    EXPECT_EQ(Read("Conversion Pattern", ";step2"), "default");
}

TEST_F(ProfileFileTest, OnlyTheFirstSectionOfANameCounts) {
    WriteBytes(m_path, kWindowsFile);
    EXPECT_EQ(Read("PSR Model", "size"), "default");
    EXPECT_EQ(Read("Style Base", "model"), "default");
    EXPECT_EQ(Read("Missing", "model"), "default");
}

TEST_F(ProfileFileTest, MatchingQuotesAroundAValueAreDropped) {
    WriteBytes(m_path, kWindowsFile);
    EXPECT_EQ(Read("Quoted", "path"), "C:\\My Styles");
    EXPECT_EQ(Read("Quoted", "single"), "x");
    EXPECT_EQ(Read("Quoted", "half"), "\"x");
}

TEST_F(ProfileFileTest, LfFileReadsLikeCrLfFile) {
    WriteBytes(m_path, "[PSR Model]\nmodel=5\n[Style Base]\nfolder=/styles");
    EXPECT_EQ(Read("PSR Model", "model"), "5");
    EXPECT_EQ(Read("Style Base", "folder"), "/styles");
}

TEST_F(ProfileFileTest, ByteOrderMarkDoesNotHideTheFirstSection) {
    WriteBytes(m_path, "\xEF\xBB\xBF[PSR Model]\r\nmodel=5\r\n");
    EXPECT_EQ(Read("PSR Model", "model"), "5");
}

TEST_F(ProfileFileTest, ValueAndDefaultAreCutToCapacityLessOne) {
    WriteBytes(m_path, "[PSR Model]\nmodel=1234\n");
    EXPECT_EQ(m_file.ReadString("PSR Model", "model", "0", 4), "123");
    EXPECT_EQ(m_file.ReadString("PSR Model", "other", "abcdef", 4), "abc");
    EXPECT_EQ(m_file.ReadString("PSR Model", "model", "0", 1), "");
    EXPECT_EQ(m_file.ReadString("PSR Model", "model", "0", 0), "");
}

TEST_F(ProfileFileTest, MissingFileGivesTheDefault) {
    EXPECT_EQ(Read("PSR Model", "model"), "default");
    EXPECT_FALSE(std::filesystem::exists(m_path));
}

// Writing a key

TEST_F(ProfileFileTest, ReplacingAKeyKeepsEveryOtherByte) {
    WriteBytes(m_path, kWindowsFile);
    ASSERT_TRUE(m_file.WriteString("PSR Model", "model", "7"));
    std::string expected = kWindowsFile;
    expected.replace(expected.find("  MODEL=5"), 9, "MODEL=7");
    EXPECT_EQ(ReadBytes(m_path), expected);
    EXPECT_EQ(Read("psr model", "model"), "7");
}

TEST_F(ProfileFileTest, NewKeyGoesAfterTheLastKeyOfItsSection) {
    WriteBytes(m_path, kWindowsFile);
    ASSERT_TRUE(m_file.WriteString("conversion pattern", "step3", "Main A,Main B"));
    std::string expected = kWindowsFile;
    expected.insert(expected.find("step1\r\n"), "step3=Main A,Main B\r\n");
    EXPECT_EQ(ReadBytes(m_path), expected);
}

TEST_F(ProfileFileTest, NewKeyInASectionWithoutKeysFollowsItsHeader) {
    WriteBytes(m_path, "[Empty]\n\n[Next]\nk=1\n");
    ASSERT_TRUE(m_file.WriteString("Empty", "k", "2"));
    EXPECT_EQ(ReadBytes(m_path), "[Empty]\nk=2\n\n[Next]\nk=1\n");
}

TEST_F(ProfileFileTest, NewSectionGoesAtTheEndInTheFilesLineEnds) {
    WriteBytes(m_path, "[A]\r\nk=1");
    ASSERT_TRUE(m_file.WriteString("Recent File List", "File1", "x.sty"));
    EXPECT_EQ(ReadBytes(m_path), "[A]\r\nk=1\r\n[Recent File List]\r\nFile1=x.sty\r\n");
}

TEST_F(ProfileFileTest, NewKeyAfterAnUnfinishedLastLine) {
    WriteBytes(m_path, "[A]\nk=1");
    ASSERT_TRUE(m_file.WriteString("A", "j", "2"));
    EXPECT_EQ(ReadBytes(m_path), "[A]\nk=1\nj=2\n");
}

TEST_F(ProfileFileTest, WritingCreatesAMissingFile) {
    ASSERT_TRUE(m_file.WriteString("PSR Model", "model", "3"));
    EXPECT_EQ(ReadBytes(m_path), NativeLines("[PSR Model]\nmodel=3\n"));
}

TEST_F(ProfileFileTest, EmptyValueKeepsTheKeyPresent) {
    WriteBytes(m_path, "[Conversion Files]\r\nentire=Y\r\n");
    ASSERT_TRUE(m_file.WriteString("Conversion Files", "entire", ""));
    EXPECT_EQ(ReadBytes(m_path), "[Conversion Files]\r\nentire=\r\n");
    EXPECT_EQ(Read("Conversion Files", "entire"), "");
}

TEST_F(ProfileFileTest, LineBreaksInAValueAreDropped) {
    WriteBytes(m_path, "[A]\nk=1\n");
    ASSERT_TRUE(m_file.WriteString("A", "k", "x\r\n[B]\ny=1\r"));
    EXPECT_EQ(ReadBytes(m_path), "[A]\nk=x[B]y=1\n");
    EXPECT_EQ(Read("B", "y"), "default");
}

TEST_F(ProfileFileTest, NamesThatCouldNotBeReadBackAreRefused) {
    WriteBytes(m_path, kWindowsFile);
    EXPECT_FALSE(m_file.WriteString("PSR Model", "a=b", "1"));
    EXPECT_FALSE(m_file.WriteString("PSR Model", "", "1"));
    EXPECT_FALSE(m_file.WriteString("PSR Model", "  ", "1"));
    EXPECT_FALSE(m_file.WriteString("PSR Model", "[x]", "1"));
    EXPECT_FALSE(m_file.WriteString("PSR Model", ";x", "1"));
    EXPECT_FALSE(m_file.WriteString("PSR Model", "a\nb", "1"));
    EXPECT_FALSE(m_file.WriteString("A\r\n[B", "k", "1"));
    EXPECT_FALSE(m_file.WriteString("", "k", "1"));
    EXPECT_EQ(ReadBytes(m_path), kWindowsFile);
}

// A failing write

#ifndef _WIN32
std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// Lowers this process's file size limit for one test, as a full disk would stop a write.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~CFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    bool IsActive() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
    bool m_active = false;
};
#endif

TEST_F(ProfileFileTest, FailedWriteLeavesTheOldFileAndNoLeftovers) {
    KORVANE_POSIX_ONLY("file size limits");
#ifndef _WIN32
    const std::string old = "[A]\nk=1\n";
    WriteBytes(m_path, old);
    bool written = true;
    {
        CFileSizeLimit limit(64);
        ASSERT_TRUE(limit.IsActive());
        written = m_file.WriteString("A", "k", std::string(200, 'v'));
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadBytes(m_path), old);
    EXPECT_EQ(NamesIn(m_folder.Path()), std::vector<std::string>{"Korvane.ini"});
#endif
}

TEST_F(ProfileFileTest, UnwritableFolderLeavesTheOldFile) {
    KORVANE_POSIX_ONLY("another user and folder modes");
#ifndef _WIN32
    if (!CanRunUnprivileged())
        GTEST_SKIP() << "running as root without a user nobody";
    const std::string old = "[A]\nk=1\n";
    HandToUnprivileged(m_folder.Path());
    // As a user the folder's permissions stop; the file itself stays writable, and is still not
    // rewritten in place.
    const std::string seen = RunUnprivileged([&] {
        WriteBytes(m_path, old);
        std::filesystem::permissions(m_folder.Path(), std::filesystem::perms(0555));
        return std::to_string(m_file.WriteString("A", "k", "2")) + " " + ReadBytes(m_path);
    });
    EXPECT_EQ(seen, "0 " + old);
    EXPECT_EQ(NamesIn(m_folder.Path()), std::vector<std::string>{"Korvane.ini"});
#endif
}

TEST_F(ProfileFileTest, FolderThatIsAFileFailsWithoutCreatingAnything) {
    WriteBytes(m_folder.File("plain"), "x");
    const CProfileFile file(m_folder.File("plain") + "/Korvane.ini");
    EXPECT_FALSE(file.WriteString("A", "k", "1"));
    EXPECT_EQ(file.ReadString("A", "k", "d", 10), "d");
    EXPECT_EQ(ReadBytes(m_folder.File("plain")), "x");
}

} // namespace
} // namespace korvane
