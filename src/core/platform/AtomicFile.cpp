#include "platform/AtomicFile.h"

#include "platform/Paths.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace {

// The kernel gives up after 40 links; so do we.
constexpr int kMostLinks = 40;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Temporary files of writes in progress, readable from a signal handler: a slot is Live only
// while its path is complete, and the handler touches nothing but Live slots.
enum SlotState : int { Free = 0, Filling = 1, Live = 2 };
struct CTemporarySlot {
    std::atomic<int> state{Free};
    char path[PATH_MAX] = {};
};
CTemporarySlot g_temporaries[8];

std::atomic<BeforeReplaceObserver> g_beforeReplace{nullptr};

extern "C" void RemoveTemporariesAndRaise(int signal) {
    for (CTemporarySlot& slot : g_temporaries) {
        if (slot.state.load() == Live)
            unlink(slot.path);
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// Blocks the cleanup signals while a temporary file is created and registered, so that no
// signal can come between the two and leave the file behind.
class CCleanupSignalsBlocked {
public:
    CCleanupSignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kCleanupSignals)
            sigaddset(&set, signal);
        sigprocmask(SIG_BLOCK, &set, &m_previous);
    }
    ~CCleanupSignalsBlocked() { sigprocmask(SIG_SETMASK, &m_previous, nullptr); }
    CCleanupSignalsBlocked(const CCleanupSignalsBlocked&) = delete;
    CCleanupSignalsBlocked& operator=(const CCleanupSignalsBlocked&) = delete;

private:
    sigset_t m_previous;
};

// A registered temporary file: removed (and forgotten) when the write fails, forgotten once it
// has taken its name.
class CTemporaryFile {
public:
    explicit CTemporaryFile(const std::string& folder) {
        m_path = (folder.empty() ? std::string(".") : folder) + "/.korvane-XXXXXX";
        CCleanupSignalsBlocked blocked;
        m_descriptor = mkostemp(m_path.data(), O_CLOEXEC);
        if (m_descriptor < 0) {
            m_kept = true; // nothing was created
            return;
        }
        for (CTemporarySlot& slot : g_temporaries) {
            int expected = Free;
            if (m_path.size() < sizeof slot.path &&
                slot.state.compare_exchange_strong(expected, Filling)) {
                std::memcpy(slot.path, m_path.c_str(), m_path.size() + 1);
                slot.state.store(Live);
                m_slot = &slot;
                break;
            }
        }
    }
    ~CTemporaryFile() {
        if (m_descriptor >= 0)
            close(m_descriptor);
        if (!m_kept)
            unlink(m_path.c_str());
        if (m_slot)
            m_slot->state.store(Free);
    }
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;

    int Descriptor() const { return m_descriptor; }
    const std::string& Path() const { return m_path; }
    // Closes the descriptor; false (errno set) when the last buffered bytes could not be stored.
    bool Close() {
        const int descriptor = m_descriptor;
        m_descriptor = -1;
        return close(descriptor) == 0;
    }
    void Keep() { m_kept = true; }

private:
    std::string m_path;
    int m_descriptor = -1;
    CTemporarySlot* m_slot = nullptr;
    bool m_kept = false;
};

class CDescriptor {
public:
    explicit CDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~CDescriptor() {
        if (m_descriptor >= 0)
            close(m_descriptor);
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_descriptor; }
    void Reset(int descriptor) {
        if (m_descriptor >= 0)
            close(m_descriptor);
        m_descriptor = descriptor;
    }

private:
    int m_descriptor;
};

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool WriteAll(int descriptor, const std::vector<std::uint8_t>& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(descriptor, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// Puts the temporary file in place without replacing anything: the kernel refuses an existing
// name in the same step. File systems without that rename get link and unlink, which refuse an
// existing name as well.
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (link(from.c_str(), to.c_str()) != 0)
        return errno;
    unlink(from.c_str());
    return 0;
}

// A failed rename that says something about the name (a folder of that name, a name too long,
// no permission) is reported like a failed open; only the rest is a storage failure.
WriteStage StageOfRenameFailure(int code) {
    switch (code) {
    case ENOSPC:
    case EDQUOT:
    case EIO:
        return WriteStage::Replace;
    case EEXIST:
        return WriteStage::Exists;
    default:
        return WriteStage::Open;
    }
}

// Rewrites an existing file through its own descriptor when the folder holds no room for a
// temporary file.
WriteFailure WriteInPlace(int descriptor, const std::vector<std::uint8_t>& bytes) {
    if (ftruncate(descriptor, 0) != 0 || !WriteAll(descriptor, bytes) || fsync(descriptor) != 0)
        return {WriteStage::Write, errno};
    return {};
}

} // namespace

LinkTarget ResolveLinkTarget(const std::string& path) {
    LinkTarget target{path};
    for (int links = 0;; ++links) {
        struct stat status {};
        if (lstat(target.path.c_str(), &status) != 0) {
            if (errno != ENOENT || target.isLink)
                target.errorCode = errno;
            return target;
        }
        if (!S_ISLNK(status.st_mode)) {
            target.exists = true;
            return target;
        }
        if (links == kMostLinks) {
            target.errorCode = ELOOP;
            return target;
        }
        // As the kernel's protected links: in a sticky folder that anyone may write (/tmp), a
        // link is followed only when it belongs to us or to the folder's owner, so a link planted
        // there cannot turn a write into one of somebody else's files.
        const std::string linkFolder = FolderOfPath(target.path);
        struct stat folder {};
        if (stat(linkFolder.empty() ? "." : linkFolder.c_str(), &folder) == 0 &&
            (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) &&
            status.st_uid != geteuid() && status.st_uid != folder.st_uid) {
            target.errorCode = EACCES;
            return target;
        }
        std::string next(PATH_MAX, '\0');
        const ssize_t length = readlink(target.path.c_str(), next.data(), next.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= next.size()) {
            target.errorCode = length < 0 ? errno : (length == 0 ? ENOENT : ENAMETOOLONG);
            return target;
        }
        next.resize(static_cast<std::size_t>(length));
        // A relative link is relative to the folder that holds the link.
        if (next.front() != '/' && !linkFolder.empty())
            next = linkFolder + "/" + next;
        target.path = next;
        target.isLink = true;
    }
}

WriteFailure WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                 const AtomicWriteOptions& options) {
    const LinkTarget target = ResolveLinkTarget(path);
    if (target.errorCode != 0)
        return {WriteStage::Open, target.errorCode};

    // An existing name is opened as the user would open it for writing, which refuses what the
    // user may not write; the descriptor also carries the owner and mode to keep.
    CDescriptor existing(-1);
    struct stat status {};
    if (target.exists) {
        if (lstat(target.path.c_str(), &status) != 0)
            return {WriteStage::Open, errno};
        if (S_ISDIR(status.st_mode))
            return {WriteStage::Open, EISDIR};
        if (!S_ISREG(status.st_mode))
            return {WriteStage::Open, EINVAL}; // a device, FIFO or socket is never replaced
        if (!options.replaceExisting)
            return {WriteStage::Exists, EEXIST};
        existing.Reset(
            open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        if (existing.Get() < 0)
            return {WriteStage::Open, errno};
        // Something else may have taken the name between the look and the open.
        if (fstat(existing.Get(), &status) != 0 || !S_ISREG(status.st_mode))
            return {WriteStage::Open, EINVAL};
    }

    CTemporaryFile temporary(FolderOfPath(target.path));
    if (temporary.Descriptor() < 0) {
        const int code = errno;
        if (existing.Get() >= 0 && options.inPlaceWhenFolderIsLocked &&
            (code == EACCES || code == EPERM))
            return WriteInPlace(existing.Get(), bytes);
        return {WriteStage::Open, code};
    }

    const int descriptor = temporary.Descriptor();
    if (existing.Get() >= 0) {
        // Root replacing another user's file gives it back to that user; anyone else keeps at
        // least the group where they belong to it. The mode goes last, as a change of owner
        // clears the set-id bits.
        if (fchown(descriptor, status.st_uid, status.st_gid) != 0)
            (void)fchown(descriptor, static_cast<uid_t>(-1), status.st_gid);
    }
    const mode_t mode = existing.Get() >= 0 ? status.st_mode & 07777 : NewFileMode();
    if (fchmod(descriptor, mode) != 0)
        return {WriteStage::Write, errno};
    if (!WriteAll(descriptor, bytes) || fsync(descriptor) != 0)
        return {WriteStage::Write, errno};
    if (!temporary.Close())
        return {WriteStage::Write, errno};

    if (const BeforeReplaceObserver observer = g_beforeReplace.load())
        observer(temporary.Path().c_str());

    int code = 0;
    if (options.replaceExisting)
        code = std::rename(temporary.Path().c_str(), target.path.c_str()) == 0 ? 0 : errno;
    else
        code = RenameWithoutReplacing(temporary.Path(), target.path);
    if (code != 0)
        return {StageOfRenameFailure(code), code};
    temporary.Keep();
    return {};
}

WriteFailure WriteToDescriptor(int descriptor, const std::vector<std::uint8_t>& bytes) {
    if (!WriteAll(descriptor, bytes))
        return {WriteStage::Write, errno};
    return {};
}

bool CreateFileIfMissing(const std::string& path) {
    // O_EXCL fails on any existing name and never follows a link, so a dangling link's target
    // is not created.
    const int descriptor =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return false;
    close(descriptor);
    return true;
}

void InstallTemporaryFileCleanup() {
    for (int signal : kCleanupSignals) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler != SIG_DFL ||
            (previous.sa_flags & SA_SIGINFO))
            continue;
        struct sigaction action {};
        action.sa_handler = RemoveTemporariesAndRaise;
        sigemptyset(&action.sa_mask);
        for (int other : kCleanupSignals)
            sigaddset(&action.sa_mask, other);
        sigaction(signal, &action, nullptr);
    }
}

void SetBeforeReplaceObserver(BeforeReplaceObserver observer) {
    g_beforeReplace.store(observer);
}

} // namespace korvane
