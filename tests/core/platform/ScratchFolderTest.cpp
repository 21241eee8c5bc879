// The scratch folder: private wherever it is asked for, gone whatever instant a signal ends the
// run, and the leftovers of runs killed outright removed by the next.

#include "platform/ScratchFolder.h"
#include "platform/AtomicFile.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

int g_stopAt = 0;

TEST(ScratchFolderTest, ASignalAtAnyStepOfItsMakingLeavesNoFolder) {
    CTemporaryFolder folder;
    for (g_stopAt = 1; g_stopAt <= 10; ++g_stopAt) {
        const pid_t child = fork();
        if (child == 0) {
            InstallTemporaryFileCleanup();
            SetScratchStepObserver([](int step) {
                if (step == g_stopAt)
                    raise(SIGTERM);
            });
            CScratchFolder scratch(folder.Path(), "scratch-", {"VCTEMP.MID"});
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << g_stopAt;
        EXPECT_TRUE(fs::is_empty(folder.Path())) << "a signal at step " << g_stopAt;
    }
}

// A folder whose making fails (its base removed just before) gives its entry back: a later signal
// still ends the run at once, with nothing left waiting for that folder.
TEST(ScratchFolderTest, AFolderThatCannotBeMadeLetsALaterSignalEndTheRun) {
    CTemporaryFolder folder;
    static std::string base;
    base = folder.File("vanishing");
    fs::create_directory(base);
    ASSERT_EQ(chmod(base.c_str(), 0700), 0);
    const pid_t child = fork();
    if (child == 0) {
        InstallTemporaryFileCleanup();
        SetScratchStepObserver([](int step) {
            if (step == 4)
                rmdir(base.c_str());
        });
        const bool made = !CScratchFolder(base, "scratch-", {}).Path().empty();
        raise(SIGTERM);
        _exit(made ? 2 : 3);
    }
    int status = 0;
    pid_t ended = 0;
    for (int wait = 0; wait < 100 && ended == 0; ++wait) {
        usleep(50000);
        ended = waitpid(child, &status, WNOHANG);
    }
    if (ended != child) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    EXPECT_TRUE(ended == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

// Another user's folder, or one open to all, is not used; a private one is.
TEST(ScratchFolderTest, AFolderOthersMayWriteIsReplacedByAPrivateOne) {
    CTemporaryFolder folder;
    const std::string shared = folder.File("korvane-0");
    fs::create_directory(shared);
    ASSERT_EQ(chmod(shared.c_str(), 0777), 0);
    EXPECT_EQ(fs::path(CScratchFolder(shared, "scratch-", {}).Path()).parent_path(), "/tmp");
    ASSERT_EQ(chmod(shared.c_str(), 0700), 0);
    EXPECT_EQ(fs::path(CScratchFolder(shared, "scratch-", {}).Path()).parent_path(), shared);
}

TEST(ScratchFolderTest, TheLeftoversOfKilledRunsAreRemovedAndLiveOnesKept) {
    CTemporaryFolder folder;
    const std::string dead = folder.File("scratch-Ab12Cd");
    const std::string live = folder.File("scratch-Ef34Gh");
    // Names of one letter more, and folders made just now, listed before or after the leftovers,
    // whatever the folder's order.
    std::vector<std::string> paths = {dead, live};
    for (int i = 0; i < 6; ++i)
        paths.push_back(folder.File("scratch-Ab12Cd" + std::to_string(i)));
    for (const std::string& path : paths) {
        fs::create_directory(path);
        WriteBytes(path + "/render.wav", std::string("RIFF"));
        const timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), hourAgo, 0), 0);
    }
    for (int i = 0; i < 6; ++i) {
        paths.push_back(folder.File("scratch-New12" + std::to_string(i)));
        fs::create_directory(paths.back());
        WriteBytes(paths.back() + "/render.wav", std::string("RIFF"));
    }
    const int lock = open(live.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    CScratchFolder scratch(folder.Path(), "scratch-", {});
    EXPECT_FALSE(fs::exists(dead));
    for (std::size_t i = 1; i < paths.size(); ++i)
        EXPECT_TRUE(fs::exists(paths[i] + "/render.wav")) << paths[i];
    close(lock);
}

} // namespace
} // namespace korvane::testing
