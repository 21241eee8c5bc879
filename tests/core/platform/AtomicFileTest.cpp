// The atomic write on every kind of target: links written through, what is refused, the file
// rewritten in place, a name taken while writing, an interrupted write, a replaced file's owner.

#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"

#include "platform/Paths.h"
#include "platform/RegularFile.h"
#include "platform/SystemFile.h"
#include "support/PosixOnly.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#ifndef _WIN32
#include "support/Unprivileged.h"
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#endif
#ifdef __linux__
#include <cstddef>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> kNew = {'n', 'e', 'w'};

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(NameOfPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

#ifndef _WIN32
struct stat StatusOf(const std::string& path) {
    struct stat status {};
    lstat(path.c_str(), &status);
    return status;
}
#endif

class AtomicFileTest : public ::testing::Test {
protected:
    CTemporaryFolder folder;
};

TEST_F(AtomicFileTest, ChainOfLinksIsWrittenThroughAndStaysLinks) {
    KORVANE_POSIX_ONLY("links and file modes");
#ifndef _WIN32
    fs::create_directory(folder.File("real"));
    WriteBytes(folder.File("real/out.sty"), std::string("old"));
    chmod(folder.File("real/out.sty").c_str(), 0640);
    fs::create_symlink("real/out.sty", folder.File("relative"));      // relative to its folder
    fs::create_symlink(folder.File("relative"), folder.File("link")); // absolute, to a link

    EXPECT_FALSE(WriteFileAtomically(folder.File("link"), kNew));
    EXPECT_EQ(ReadBytes(folder.File("real/out.sty")), "new");
    EXPECT_EQ(StatusOf(folder.File("real/out.sty")).st_mode & 07777, 0640u);
    EXPECT_TRUE(fs::is_symlink(folder.File("link")));
    EXPECT_TRUE(fs::is_symlink(folder.File("relative")));
    EXPECT_EQ(Entries(folder.File("real")), std::vector<std::string>{"out.sty"});
#endif
}

// Folders, FIFOs, /dev/null, dangling links and long names are checked through the writer's
// messages; here the link chains that end in no file.
TEST_F(AtomicFileTest, LinksToNoFileAreRefused) {
    KORVANE_POSIX_ONLY("links and /dev/null");
#ifndef _WIN32
    fs::create_symlink("/dev/null", folder.File("null"));
    fs::create_symlink("loop", folder.File("loop"));
    const WriteFailure device = WriteFileAtomically(folder.File("null"), kNew);
    EXPECT_EQ(device.stage, WriteStage::Open);
    EXPECT_EQ(device.errorCode, EINVAL);
    const WriteFailure loop = WriteFileAtomically(folder.File("loop"), kNew);
    EXPECT_EQ(loop.stage, WriteStage::Open);
    EXPECT_EQ(loop.errorCode, ELOOP);
    EXPECT_TRUE(S_ISCHR(StatusOf("/dev/null").st_mode));
    EXPECT_EQ(Entries(folder.Path()), (std::vector<std::string>{"loop", "null"}));
#endif
}

TEST_F(AtomicFileTest, LinkPlantedByAnotherUserInAStickyFolderIsNotFollowed) {
    KORVANE_POSIX_ONLY("another user and sticky folders");
#ifndef _WIN32
    if (!UnprivilegedUser())
        GTEST_SKIP() << "needs root to plant a link owned by nobody";
    const std::string shared = folder.File("shared");
    fs::create_directory(shared);
    chmod(shared.c_str(), 01777);
    WriteBytes(folder.File("victim"), std::string("old"));
    fs::create_symlink(folder.File("victim"), shared + "/out.sty");
    lchown((shared + "/out.sty").c_str(), UnprivilegedUser()->pw_uid, UnprivilegedUser()->pw_gid);
    const WriteFailure failure = WriteFileAtomically(shared + "/out.sty", kNew);
    EXPECT_EQ(failure.stage, WriteStage::Open);
    EXPECT_EQ(failure.errorCode, EACCES);
    EXPECT_EQ(ReadBytes(folder.File("victim")), "old");
#endif
}

TEST_F(AtomicFileTest, UserRefusedOrInPlaceAsOpeningForWritingWould) {
    KORVANE_POSIX_ONLY("another user and file modes");
#ifndef _WIN32
    if (!CanRunUnprivileged())
        GTEST_SKIP() << "running as root without a user nobody";
    HandToUnprivileged(folder.Path());
    const std::string path = folder.File("out.sty");
    const std::string seen = RunUnprivileged([&] {
        std::string report;
        // A read-only file: refused, though the folder would take the new one.
        WriteBytes(path, std::string("old"));
        chmod(path.c_str(), 0444);
        const WriteFailure readOnly = WriteFileAtomically(path, kNew);
        report += std::to_string(int(readOnly.stage)) + " " + std::to_string(readOnly.errorCode);
        report += " " + ReadBytes(path) + "|";
        // A writable file in a folder that takes no new file: rewritten in place, same inode;
        // refused where the caller wants no rewrite in place.
        chmod(path.c_str(), 0600);
        const ino_t inode = StatusOf(path).st_ino;
        chmod(folder.Path().c_str(), 0555);
        AtomicWriteOptions keepOld;
        keepOld.inPlaceWhenFolderIsLocked = false;
        const WriteFailure refused = WriteFileAtomically(path, kNew, keepOld);
        report += std::to_string(int(refused.stage)) + " " + std::to_string(refused.errorCode);
        report += " " + ReadBytes(path) + "|";
        const WriteFailure inPlace = WriteFileAtomically(path, {'i', 'n'});
        report += std::to_string(int(inPlace.stage)) + " " + ReadBytes(path) + " ";
        report += StatusOf(path).st_ino == inode ? "same" : "other";
        chmod(folder.Path().c_str(), 0755);
        return report;
    });
    EXPECT_EQ(seen, "1 13 old|1 13 old|0 in same");
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"out.sty"});
#endif
}

std::string g_takenName;

void TakeTheName(const char*) {
    WriteBytes(g_takenName, std::string("other"));
}

TEST_F(AtomicFileTest, WithoutReplacingANameTakenWhileWritingIsLeftToItsOwner) {
    AtomicWriteOptions keep;
    keep.replaceExisting = false;
    const std::string path = folder.File("out.sty");
    WriteBytes(path, std::string("first"));
    EXPECT_EQ(WriteFileAtomically(path, kNew, keep).stage, WriteStage::Exists);
    EXPECT_EQ(ReadBytes(path), "first");

    fs::remove(path);
    g_takenName = path;
    SetBeforeReplaceObserver(TakeTheName);
    const WriteFailure raced = WriteFileAtomically(path, kNew, keep);
    SetBeforeReplaceObserver(nullptr);
    EXPECT_EQ(raced.stage, WriteStage::Exists);
    EXPECT_EQ(raced.errorCode, EEXIST);
    EXPECT_EQ(ReadBytes(path), "other");
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"out.sty"});

    fs::remove(path);
    EXPECT_FALSE(WriteFileAtomically(path, kNew, keep));
    EXPECT_EQ(ReadBytes(path), "new");
}

#ifdef __linux__
// Runs body in a child process whose system calls pass the filter first; true when body returned
// true there.
template <typename Body> bool HoldsUnderFilter(std::vector<sock_filter> filter, Body body) {
    const pid_t child = fork();
    if (child == 0) {
        const sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            _exit(2);
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(AtomicFileTest, WhereTheSystemLacksTheNoReplaceRenameTheWayAroundReplacesNothingEither) {
    AtomicWriteOptions keep;
    keep.replaceExisting = false;
    g_takenName = folder.File("out.sty");
    // renameat2 and O_TMPFILE refused, as on file systems that lack them.
    EXPECT_TRUE(HoldsUnderFilter(
        {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
            BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        },
        [&] {
            const bool fresh = !WriteFileAtomically(folder.File("new.sty"), kNew, keep);
            SetBeforeReplaceObserver(TakeTheName);
            const WriteFailure raced = WriteFileAtomically(g_takenName, kNew, keep);
            return fresh && raced.stage == WriteStage::Exists && raced.errorCode == EEXIST;
        }));
    EXPECT_EQ(ReadBytes(folder.File("new.sty")), "new");
    EXPECT_EQ(ReadBytes(g_takenName), "other");
    EXPECT_EQ(Entries(folder.Path()), (std::vector<std::string>{"new.sty", "out.sty"}));
}

// A file added to a commit group is not flushed on its own: the group flushes its volume once, at
// the commit, which keeps a batch to a slow USB stick fast. Here any flush of a file fails.
TEST_F(AtomicFileTest, AFileAddedToAGroupWaitsForTheGroupsOneFlush) {
    EXPECT_TRUE(HoldsUnderFilter(
        {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fsync, 1, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fdatasync, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        },
        [&] {
            CCommitGroup group;
            return !group.Add(folder.File("a.sty"), kNew);
        }));
}

// A folder conversion's workers add to one group at once, each file in a folder of its own here.
TEST_F(AtomicFileTest, AGroupTakesFilesFromManyThreadsAtOnce) {
    constexpr int kThreads = 8;
    constexpr int kFilesEach = 40;
    for (int i = 0; i < kThreads * kFilesEach; ++i)
        fs::create_directory(folder.File(std::to_string(i)));
    CCommitGroup group;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = t * kFilesEach; i < (t + 1) * kFilesEach; ++i)
                group.Add(folder.File(std::to_string(i) + "/a.sty"), kNew);
        });
    for (std::thread& thread : threads)
        thread.join();
    const std::vector<CCommitGroup::CommittedFile> outcomes = group.Commit();
    ASSERT_EQ(outcomes.size(), std::size_t(kThreads * kFilesEach));
    for (int i = 0; i < kThreads * kFilesEach; ++i)
        EXPECT_EQ(ReadBytes(folder.File(std::to_string(i) + "/a.sty")), "new") << i;
}

// A close can be the first to report that the last bytes were lost (network and FUSE volumes).
// Here every close fails, and a new file is copied into place, as on a volume without links.
TEST_F(AtomicFileTest, ACopyWhoseCloseFailsIsAFailedWriteAndLeavesNoFile) {
    EXPECT_TRUE(HoldsUnderFilter(
        {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_close, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        },
        [&] {
            SetVolumeRefusal(VolumeCall::LinkUnnamed, EOPNOTSUPP);
            AtomicWriteOptions keep;
            keep.replaceExisting = false;
            const WriteFailure failure = WriteFileAtomically(folder.File("new.sty"), kNew, keep);
            return failure.stage == WriteStage::Write && failure.errorCode == EIO;
        }));
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{});
}

// A temporary file's name as long as a path may be (PATH_MAX - 1 bytes) is still made.
TEST_F(AtomicFileTest, ATemporaryNameOfTheLongestPathIsMade) {
    const std::string tail = "/.korvane-" + std::to_string(getpid()) + "-123456";
    std::string path = folder.Path();
    for (std::size_t left; (left = PATH_MAX - 1 - tail.size() - path.size()) > 0;) {
        path += "/" + std::string(left > 250 ? 150 : left - 1, 'd');
        ASSERT_TRUE(fs::create_directory(path));
    }
    ASSERT_EQ(path.size() + tail.size(), std::size_t(PATH_MAX - 1));
    EXPECT_FALSE(WriteFileAtomically(path + "/a.sty", kNew));
    EXPECT_EQ(ReadBytes(path + "/a.sty"), "new");
}

// A process started with its standard input closed gets descriptor 0 for the files it opens.
TEST_F(AtomicFileTest, AFileOnDescriptorZeroIsWrittenReadAndGivenBack) {
    EXPECT_TRUE(HoldsUnderFilter({BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)}, [&] {
        AtomicWriteOptions keep;
        keep.replaceExisting = false;
        close(0);
        std::string read;
        return !WriteFileAtomically(folder.File("new.sty"), kNew, keep) && fcntl(0, F_GETFD) < 0 &&
               ReadRegularFile(folder.File("new.sty"), 16, read).outcome == FileReadOutcome::Read &&
               read == "new" && fcntl(0, F_GETFD) < 0;
    }));
    EXPECT_EQ(ReadBytes(folder.File("new.sty")), "new");
}
#endif

TEST_F(AtomicFileTest, InterruptedWriteLeavesNoTemporaryFile) {
    KORVANE_POSIX_ONLY("signals and fork");
#ifndef _WIN32
    for (int signal : {SIGTERM, SIGINT, SIGHUP, -SIGTERM}) { // negative: a group's new file
        const pid_t child = fork();
        if (child == 0 && signal < 0) {
            SetBeforeReplaceObserver([](const char*) { raise(SIGTERM); });
            CCommitGroup group;
            AtomicWriteOptions keep;
            keep.replaceExisting = false;
            group.Add(folder.File("out.sty"), std::vector<std::uint8_t>(100000, 1), keep);
            group.Commit();
            _exit(0);
        }
        if (child == 0) {
            InstallTemporaryFileCleanup();
            SetBeforeReplaceObserver([](const char* temporaryPath) {
                if (!fs::exists(temporaryPath))
                    _exit(5); // the temporary file should be there to be removed
                raise(std::atoi(getenv("KORVANE_TEST_SIGNAL")));
            });
            setenv("KORVANE_TEST_SIGNAL", std::to_string(signal).c_str(), 1);
            // A scratch folder and its file go with the temporary files.
            CScratchFolder scratch(folder.Path(), "scratch-", {"VCTEMP.MID"});
            std::ofstream(scratch.FilePath("VCTEMP.MID")) << "MThd";
            WriteFileAtomically(folder.File("out.sty"), std::vector<std::uint8_t>(100000, 1));
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == std::abs(signal)) << status;
        EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{}) << signal;
    }
#endif
}

TEST_F(AtomicFileTest, AGroupsFilesTakeTheirNamesAtItsCommitAndNoneWithoutIt) {
    AtomicWriteOptions keep;
    keep.replaceExisting = false;
    {
        CCommitGroup dropped;
        EXPECT_FALSE(dropped.Add(folder.File("never.sty"), kNew));
    }
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{});
    CCommitGroup group;
    EXPECT_FALSE(group.Add(folder.File("a.sty"), kNew, keep));
    EXPECT_FALSE(group.Add(folder.File("b.sty"), kNew, keep));
    EXPECT_EQ(group.Size(), 2u);
#ifndef _WIN32
    // Files without a name yet (Windows has no unnamed files: its temporaries have names).
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{});
#endif
    EXPECT_FALSE(fs::exists(folder.File("a.sty")));
    WriteBytes(folder.File("b.sty"), std::string("other")); // taken before the commit
    const std::vector<CCommitGroup::CommittedFile> outcomes = group.Commit();
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].path, folder.File("a.sty"));
    EXPECT_FALSE(outcomes[0].failure);
    EXPECT_EQ(outcomes[1].failure.stage, WriteStage::Exists);
    EXPECT_EQ(ReadBytes(folder.File("a.sty")), "new");
    EXPECT_EQ(ReadBytes(folder.File("b.sty")), "other");
    EXPECT_EQ(Entries(folder.Path()), (std::vector<std::string>{"a.sty", "b.sty"}));
}

#ifndef _WIN32
// FAT and FUSE volumes: no links, no rename that refuses a taken name, no unnamed files.
TEST_F(AtomicFileTest, AVolumeWithoutLinksStillWritesNewFilesAndReplacesNoneUnasked) {
    SetVolumeRefusal(VolumeCall::RenameWithoutReplacing, EINVAL);
    SetVolumeRefusal(VolumeCall::Link, EPERM);
    SetVolumeRefusal(VolumeCall::LinkUnnamed, EOPNOTSUPP);
    AtomicWriteOptions keep;
    keep.replaceExisting = false;
    const WriteFailure single = WriteFileAtomically(folder.File("one.sty"), kNew, keep);
    g_takenName = folder.File("two.sty");
    SetBeforeReplaceObserver(TakeTheName);
    const WriteFailure raced = WriteFileAtomically(folder.File("two.sty"), kNew, keep);
    SetBeforeReplaceObserver(nullptr);
    CCommitGroup group;
    group.Add(folder.File("three.sty"), kNew, keep);
    SetVolumeRefusal(VolumeCall::UnnamedFile, EOPNOTSUPP);
    group.Add(folder.File("four.sty"), kNew, keep);
    // Without unnamed files, four.sty waits under a temporary name of its own.
    const std::vector<std::string> waiting = Entries(folder.Path());
    const std::vector<CCommitGroup::CommittedFile> outcomes = group.Commit();
    for (VolumeCall call : {VolumeCall::RenameWithoutReplacing, VolumeCall::Link,
                            VolumeCall::LinkUnnamed, VolumeCall::UnnamedFile})
        SetVolumeRefusal(call, 0);
    EXPECT_FALSE(single);
    EXPECT_EQ(raced.stage, WriteStage::Exists);
    EXPECT_EQ(ReadBytes(folder.File("two.sty")), "other");
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_FALSE(outcomes[0].failure);
    EXPECT_FALSE(outcomes[1].failure);
    for (const char* name : {"one.sty", "three.sty", "four.sty"})
        EXPECT_EQ(ReadBytes(folder.File(name)), "new") << name;
    EXPECT_EQ(Entries(folder.Path()),
              (std::vector<std::string>{"four.sty", "one.sty", "three.sty", "two.sty"}));
    ASSERT_EQ(waiting.size(), 3u);
    EXPECT_TRUE(waiting[0].starts_with(".korvane-")) << waiting[0];
}

TEST_F(AtomicFileTest, AVolumeThatLostBytesFailsTheGroupButAFolderFlushFailsNoNamedFile) {
    AtomicWriteOptions keep;
    keep.replaceExisting = false;
    CCommitGroup group;
    group.Add(folder.File("a.sty"), kNew, keep);
    SetVolumeRefusal(VolumeCall::SyncVolume, EIO);
    const std::vector<CCommitGroup::CommittedFile> lost = group.Commit();
    SetVolumeRefusal(VolumeCall::SyncVolume, 0);
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].failure.stage, WriteStage::Write);
    EXPECT_EQ(lost[0].failure.errorCode, EIO);
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{});
    group.Add(folder.File("a.sty"), kNew, keep);
    SetVolumeRefusal(VolumeCall::SyncFolder, EIO);
    const std::vector<CCommitGroup::CommittedFile> named = group.Commit();
    SetVolumeRefusal(VolumeCall::SyncFolder, 0);
    ASSERT_EQ(named.size(), 1u);
    EXPECT_FALSE(named[0].failure);
}

TEST_F(AtomicFileTest, ASignalAtAnyStepOfMakingATemporaryFileLeavesNone) {
    for (int step = 0; step <= 5; ++step) {
        const pid_t child = fork();
        if (child == 0) {
            InstallTemporaryFileCleanup();
            setenv("KORVANE_TEST_STEP", std::to_string(step).c_str(), 1);
            SetCreationStepObserver([](int at) {
                if (at == std::atoi(getenv("KORVANE_TEST_STEP")))
                    raise(SIGTERM);
            });
            WriteFileAtomically(folder.File("out.sty"), kNew);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << step;
        EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{}) << step;
    }
}

std::string g_watchedFolder;
std::string g_lastTemporary;

// A signal before a thread has named its first temporary file removes nothing, though the record
// it reuses still holds the name of an earlier temporary file, which somebody has taken since.
TEST_F(AtomicFileTest, ASignalBeforeAThreadNamesItsFirstFileRemovesNothing) {
    const pid_t child = fork();
    if (child == 0) {
        InstallTemporaryFileCleanup();
        g_watchedFolder = folder.Path();
        SetCreationStepObserver([](int at) {
            if (at == 2)
                g_lastTemporary = Entries(g_watchedFolder).at(0);
        });
        WriteFileAtomically(folder.File("first.sty"), kNew);
        WriteBytes(folder.File(g_lastTemporary), std::string("theirs"));
        SetCreationStepObserver([](int at) {
            if (at == 0)
                raise(SIGTERM);
        });
        std::thread([this] { WriteFileAtomically(folder.File("second.sty"), kNew); }).join();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    const std::vector<std::string> entries = Entries(folder.Path());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(ReadBytes(folder.File(entries[0])), "theirs"); // ".korvane-…" sorts before "first"
}

// The same after the thread made a scratch folder: the folder's making, too, leaves the thread's
// next file unnamed until it is.
TEST_F(AtomicFileTest, ASignalBeforeAThreadNamesAFileAfterItsScratchFolderRemovesNothing) {
    WriteBytes(folder.File("a.sty"), std::string("old"));
    WriteBytes(folder.File("b.sty"), std::string("old"));
    const pid_t child = fork();
    if (child == 0) {
        InstallTemporaryFileCleanup();
        // Two temporary files at once leave two free records of their names.
        CCommitGroup group;
        group.Add(folder.File("a.sty"), kNew);
        group.Add(folder.File("b.sty"), kNew);
        const std::vector<std::string> temporaries = Entries(folder.Path());
        group.Commit();
        for (const std::string& name : temporaries)
            if (name.starts_with(".korvane-"))
                WriteBytes(folder.File(name), std::string("theirs"));
        CScratchFolder scratch(folder.Path(), "scratch-", {});
        SetCreationStepObserver([](int at) {
            if (at == 0)
                raise(SIGTERM);
        });
        WriteFileAtomically(folder.File("c.sty"), kNew);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    int theirs = 0;
    for (const std::string& name : Entries(folder.Path()))
        theirs += name.starts_with(".korvane-") && ReadBytes(folder.File(name)) == "theirs";
    EXPECT_EQ(theirs, 2);
}

TEST_F(AtomicFileTest, LeftoversOfProcessesThatAreGoneAreRemovedAndNothingElse) {
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string mine = ".korvane-" + std::to_string(getpid()) + "-abc123";
    const std::string longer = ".korvane-" + std::to_string(gone) + "-abc1234";
    const std::string notLetters = ".korvane-" + std::to_string(gone) + "-_bc123";
    // Numbers have at most nine digits; none is so high as a process's.
    const std::string tenDigits = ".korvane-1000000000-abc123";
    for (const std::string& name :
         {".korvane-" + std::to_string(gone) + "-Xy12z9", mine, longer, notLetters,
          std::string(".korvane-Ab12c3"), std::string("korvane-1-abcdef"),
          std::string(".korvane-999999999-abc123"), tenDigits})
        WriteBytes(folder.File(name), std::string("x"));
    RemoveLeftoverTemporaries(folder.Path());
    std::vector<std::string> kept = {
        mine, longer, notLetters, ".korvane-Ab12c3", "korvane-1-abcdef", tenDigits};
    std::sort(kept.begin(), kept.end()); // the numbers' order is the system's
    EXPECT_EQ(Entries(folder.Path()), kept);
    EXPECT_FALSE(FolderIgnoresCase(folder.Path())); // and the probe leaves nothing
    EXPECT_EQ(Entries(folder.Path()).size(), 6u);
}
#endif

TEST_F(AtomicFileTest, RootReplacingAnotherUsersFileKeepsOwnerGroupAndMode) {
    KORVANE_POSIX_ONLY("owners and modes");
#ifndef _WIN32
    const passwd* nobody = UnprivilegedUser();
    if (!nobody)
        GTEST_SKIP() << "needs root and a user nobody";
    const std::string path = folder.File("theirs.sty");
    WriteBytes(path, std::string("old"));
    chown(path.c_str(), nobody->pw_uid, nobody->pw_gid);
    chmod(path.c_str(), 0604);
    EXPECT_FALSE(WriteFileAtomically(path, kNew));
    const struct stat status = StatusOf(path);
    EXPECT_EQ(status.st_uid, nobody->pw_uid);
    EXPECT_EQ(status.st_gid, nobody->pw_gid);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    EXPECT_EQ(ReadBytes(path), "new");
#endif
}

// A file that grows while it is read may reach the limit exactly. A /proc file says 0 bytes at
// open; this thread's name, 15 letters and a line end, is 16 bytes: whole with a limit of 16, too
// large with 15.
TEST_F(AtomicFileTest, AFileThatGrowsToExactlyTheLimitIsReadWhole) {
    KORVANE_POSIX_ONLY("/proc");
#ifdef __linux__
    char name[16] = {};
    prctl(PR_GET_NAME, name);
    prctl(PR_SET_NAME, "korvane-reader1");
    std::string content;
    const FileRead whole = ReadRegularFile("/proc/thread-self/comm", 16, content);
    const FileRead over = ReadRegularFile("/proc/thread-self/comm", 15, content);
    // 13 bytes against 12: the room, doubled to 16, is cut to one byte past the limit.
    prctl(PR_SET_NAME, "korvane-read");
    const FileRead overByOne = ReadRegularFile("/proc/thread-self/comm", 12, content);
    prctl(PR_SET_NAME, name);
    EXPECT_FALSE(whole);
    EXPECT_EQ(over.outcome, FileReadOutcome::TooLarge);
    EXPECT_EQ(overByOne.outcome, FileReadOutcome::TooLarge);
    ReadRegularFile("/proc/thread-self/comm", 16, content); // the name given back
    EXPECT_EQ(content, std::string(name) + "\n");
#endif
}

// A write that a signal interrupts before any byte went (a full pipe) is taken up again: every
// byte arrives.
TEST_F(AtomicFileTest, AWriteInterruptedByASignalGoesOn) {
    KORVANE_POSIX_ONLY("signals and pipes");
#ifndef _WIN32
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    std::size_t filled = 0;
    for (char block[4096] = {}; write(ends[1], block, sizeof block) > 0;)
        filled += sizeof block; // a pipe takes whole blocks of up to PIPE_BUF only
    fcntl(ends[1], F_SETFL, 0);
    struct sigaction action {
    }, old{};
    action.sa_handler = [](int) {}; // no SA_RESTART: the blocked write ends with EINTR
    sigaction(SIGUSR1, &action, &old);
    const pthread_t writer = pthread_self();
    std::size_t received = 0;
    std::thread reader([&] {
        usleep(100000);
        pthread_kill(writer, SIGUSR1);
        usleep(100000);
        char block[4096];
        for (ssize_t n; (n = read(ends[0], block, sizeof block)) > 0;)
            received += std::size_t(n);
    });
    EXPECT_TRUE(system::WriteAll(ends[1], {'a', 'b', 'c'}));
    close(ends[1]);
    reader.join();
    close(ends[0]);
    sigaction(SIGUSR1, &old, nullptr);
    EXPECT_EQ(received, filled + 3);
#endif
}

// Names are UTF-8 bytes; Windows reaches only those of its code page through narrow calls.
TEST_F(AtomicFileTest, NameInAnyLanguageIsWrittenReplacedAndRead) {
    const std::string path = folder.File("\xE3\x82\xB9\xE3\x82\xBF\xE3\x82\xA4\xE3\x83\xAB.sty");
    EXPECT_FALSE(WriteFileAtomically(path, {'o', 'l', 'd'}));
    EXPECT_FALSE(WriteFileAtomically(path, kNew));
    std::string content;
    EXPECT_FALSE(ReadRegularFile(path, 100, content));
    EXPECT_EQ(content, "new");
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{FileNameOfPath(path)});
}

TEST_F(AtomicFileTest, CreateFileIfMissingNeverFollowsALink) {
#ifndef _WIN32
    fs::create_symlink(folder.File("elsewhere"), folder.File("dangling.ini"));
    EXPECT_FALSE(CreateFileIfMissing(folder.File("dangling.ini")));
    EXPECT_FALSE(fs::exists(folder.File("elsewhere")));
#endif
    WriteBytes(folder.File("kept.ini"), std::string("[A]\n"));
    EXPECT_FALSE(CreateFileIfMissing(folder.File("kept.ini")));
    EXPECT_EQ(ReadBytes(folder.File("kept.ini")), "[A]\n");
    EXPECT_TRUE(CreateFileIfMissing(folder.File("new.ini")));
    EXPECT_EQ(ReadBytes(folder.File("new.ini")), "");
}

} // namespace
} // namespace korvane::testing
