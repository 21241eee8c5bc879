#include "platform/AtomicFile.h"
#include "platform/ScratchFolder.h"

#include "platform/Paths.h"
#include "platform/SystemFile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <random>
#include <string_view>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace {

// The kernel gives up after 40 links; so do we.
constexpr int kMostLinks = 40;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Temporary files of writes in progress, readable from a signal handler. The registry is a list
// of nodes that only grows (a node is reused, never freed), pushed without a lock, so it holds
// as many files as are under way however many threads write.
// A node's path is written only while the node is Creating: from before the file's name is
// chosen until open() has said whether it made the file. The handler, on whatever thread it
// runs, first stops new creations (g_ending), then waits until no node is Creating, so that
// every file that exists is named in a Live node when it walks the list, and no path changes
// under it.
enum NodeState : int { Free = 0, Taken = 1, Creating = 2, Live = 3 };
} // namespace

struct CTemporaryNode {
    std::atomic<int> state{Taken};
    std::atomic<bool> folder{false}; // a scratch folder, removed after the files
    CTemporaryNode* next = nullptr;  // set once, before the node is published
    char path[PATH_MAX] = {};
};

namespace {

using system::WriteAll;

std::atomic<CTemporaryNode*> g_temporaries{nullptr};
std::atomic<bool> g_ending{false};
// The node this thread is creating a file for, and whether its path is complete: a handler that
// stops this thread inside its own creation settles that node itself.
thread_local std::atomic<CTemporaryNode*> t_pCreating{nullptr};
thread_local std::atomic<bool> t_named{false};

std::atomic<BeforeReplaceObserver> g_beforeReplace{nullptr};
std::atomic<CreationStepObserver> g_creationStep{nullptr};

constexpr int kVolumeCalls = 6;
std::atomic<int> g_refusals[kVolumeCalls] = {};

// 0, or the error a test makes the call fail with.
int Refusal(VolumeCall call) {
    return g_refusals[int(call)].load();
}

void CreationStep(int step) {
    if (const CreationStepObserver observer = g_creationStep.load())
        observer(step);
}

// What a volume answers for a way of naming files it does not have: FAT has no links, and FUSE
// volumes (FAT, NTFS, network shares) may have neither links nor renames that refuse a taken
// name, nor files without a name.
bool VolumeRefuses(int code) {
    return code == EPERM || code == EOPNOTSUPP || code == ENOTSUP || code == EINVAL ||
           code == ENOSYS;
}

extern "C" void RemoveTemporariesAndRaise(int signal) {
    g_ending.store(true);
    // The interrupted creation never resumes; once named, its file may exist. A node whose
    // creation has ended (Live or Free) already says so.
    if (CTemporaryNode* own = t_pCreating.load(); own && own->state.load() == Creating)
        own->state.store(t_named.load() ? Live : Taken);
    for (bool creating = true; creating;) {
        creating = false;
        for (CTemporaryNode* node = g_temporaries.load(); node; node = node->next)
            creating = creating || node->state.load() == Creating;
    }
    for (CTemporaryNode* node = g_temporaries.load(); node; node = node->next) {
        if (node->state.load() == Live && !node->folder.load())
            unlink(node->path);
    }
    for (CTemporaryNode* node = g_temporaries.load(); node; node = node->next) {
        if (node->state.load() == Live && node->folder.load())
            rmdir(node->path);
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

CTemporaryNode* TakeTemporaryNode() {
    for (CTemporaryNode* node = g_temporaries.load(); node; node = node->next) {
        int expected = Free;
        if (node->state.load() == Free && node->state.compare_exchange_strong(expected, Taken))
            return node;
    }
    auto* node = new CTemporaryNode;
    node->next = g_temporaries.load();
    while (!g_temporaries.compare_exchange_weak(node->next, node)) {
    }
    return node;
}

// A temporary file's name: ".korvane-", the number of the process that made it, "-", six random
// letters or digits. The number tells a later run whether the file's maker is gone.
constexpr char kTemporaryPrefix[] = ".korvane-";
constexpr std::size_t kRandomLetters = 6;

// Six random letters or digits.
void NameTemporary(char* letters, std::size_t count) {
    static constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::minstd_rand random(std::random_device{}());
    std::generate_n(letters, count, [] { return kLetters[random() % kLetters.size()]; });
    letters[count] = '\0';
}

// A registered temporary file: removed (and forgotten) when the write fails, forgotten once it
// has taken its name. Its name is registered before the file exists.
class CTemporaryFile {
public:
    // mode: as for open(); a new file asks for 0666, from which open() takes away the umask.
    CTemporaryFile(const std::string& folder, mode_t mode)
        : CTemporaryFile((folder.empty() ? std::string(".") : folder) + "/" + kTemporaryPrefix +
                             std::to_string(getpid()) + "-",
                         kRandomLetters, mode) {}
    // The exact name path, made only when nothing holds it; removed like a temporary file until
    // Keep.
    static std::unique_ptr<CTemporaryFile> Claim(const std::string& path) {
        return std::unique_ptr<CTemporaryFile>(new CTemporaryFile(path, 0, 0600));
    }
    ~CTemporaryFile() {
        if (m_descriptor >= 0)
            close(m_descriptor);
        if (m_pNode) {
            if (!m_kept)
                unlink(m_pNode->path);
            m_pNode->state.store(Free);
        }
    }
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;

    int Descriptor() const { return m_descriptor; }
    const char* Path() const { return m_pNode ? m_pNode->path : ""; }
    // Closes the descriptor; false (errno set) when the last buffered bytes could not be stored.
    bool Close() {
        const int descriptor = m_descriptor;
        m_descriptor = -1;
        return close(descriptor) == 0;
    }
    void Keep() { m_kept = true; }

private:
    // prefix followed by letters random letters, tried until a name is free; with no letters,
    // prefix alone, once.
    CTemporaryFile(const std::string& prefix, std::size_t letters, mode_t mode) {
        if (prefix.size() + letters + 1 > PATH_MAX) {
            errno = ENAMETOOLONG;
            return;
        }
        // Each step's state tells a signal handler landing between two of them what to remove:
        // the node is Creating until open() has said whether the file exists, and this thread's
        // t_pCreating names it until its state is final.
        m_pNode = TakeTemporaryNode();
        t_pCreating.store(m_pNode);
        m_pNode->state.store(Creating);
        CreationStep(0);
        int code = EINTR; // a signal is ending the process: no new file
        for (int attempt = 0; attempt < 100 && !g_ending.load(); ++attempt) {
            std::memcpy(m_pNode->path, prefix.data(), prefix.size());
            NameTemporary(m_pNode->path + prefix.size(), letters);
            t_named.store(true);
            CreationStep(1);
            m_descriptor =
                open(m_pNode->path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            code = errno;
            CreationStep(2);
            if (m_descriptor >= 0 || code != EEXIST || letters == 0)
                break;
            t_named.store(false); // that name is somebody else's
        }
        // Taken, not yet Free: no other thread may reuse the node while t_pCreating names it.
        m_pNode->state.store(m_descriptor >= 0 ? Live : Taken);
        CreationStep(3);
        t_named.store(false);
        CreationStep(4);
        t_pCreating.store(nullptr);
        CreationStep(5);
        if (m_descriptor < 0) {
            m_pNode->state.store(Free);
            m_pNode = nullptr;
            errno = code;
        }
    }

    CTemporaryNode* m_pNode = nullptr;
    int m_descriptor = -1;
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

// Puts the temporary file in place without replacing anything: the kernel refuses an existing
// name in the same step. Volumes without that rename get link and unlink, which refuse an
// existing name as well; volumes without links (FAT) get the name claimed first by making it
// empty, which fails on a taken name, and the temporary file renamed over that empty file.
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
    int code = Refusal(VolumeCall::RenameWithoutReplacing);
    if (code == 0)
        code = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0
                   ? 0
                   : errno;
    if (code == 0 || !VolumeRefuses(code))
        return code;
    code = Refusal(VolumeCall::Link);
    if (code == 0)
        code = link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    if (code == 0)
        unlink(from.c_str());
    if (code == 0 || !VolumeRefuses(code))
        return code;
    const auto claimed = CTemporaryFile::Claim(to);
    if (claimed->Descriptor() < 0)
        return errno;
    claimed->Close();
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return errno; // the claimed empty file goes with claimed
    claimed->Keep();
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

// The most files kept open without a name at once, in all groups: a part of the descriptors this
// process may open, so that reading the sources never runs short.
std::atomic<int> g_unnamedOpen{0};
int MostUnnamedOpen() {
    static const int most = std::clamp(MostOpenFiles() / 2, 0, 1024);
    return most;
}

// A new file in a folder, made without a name (O_TMPFILE) and given one by linking its
// descriptor's /proc name, which fails on a taken name. Where the kernel, the file system or
// /proc cannot do that, Create returns null and the caller takes a named temporary file.
class CUnnamedFile {
public:
    static std::unique_ptr<CUnnamedFile> Create(const std::string& folder) {
        static const bool hasProc = access("/proc/self/fd", X_OK) == 0;
        if (!hasProc || g_ending.load() || Refusal(VolumeCall::UnnamedFile))
            return nullptr;
        if (g_unnamedOpen.fetch_add(1) >= MostUnnamedOpen()) {
            g_unnamedOpen.fetch_sub(1);
            return nullptr;
        }
        // 0666 less the umask, as for any new file.
        const int descriptor =
            open(folder.empty() ? "." : folder.c_str(), O_RDWR | O_TMPFILE | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            g_unnamedOpen.fetch_sub(1);
            return nullptr;
        }
        return std::unique_ptr<CUnnamedFile>(new CUnnamedFile(descriptor));
    }
    ~CUnnamedFile() {
        close(m_descriptor);
        g_unnamedOpen.fetch_sub(1);
    }
    CUnnamedFile(const CUnnamedFile&) = delete;
    CUnnamedFile& operator=(const CUnnamedFile&) = delete;

    int Descriptor() const { return m_descriptor; }
    // Gives the complete file the name target, unless something holds it. A volume that can
    // make such a file but not link it gets a named copy, flushed, put in place without
    // replacing anything.
    WriteFailure Link(const std::string& target) const {
        char path[32];
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", m_descriptor);
        if (const BeforeReplaceObserver observer = g_beforeReplace.load())
            observer(path);
        int code = Refusal(VolumeCall::LinkUnnamed);
        if (code == 0)
            code = linkat(AT_FDCWD, path, AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                            : errno;
        if (code != 0 && VolumeRefuses(code))
            return LinkCopy(target);
        if (code != 0)
            return {StageOfRenameFailure(code), code};
        return {};
    }

private:
    explicit CUnnamedFile(int descriptor) : m_descriptor(descriptor) {}

    WriteFailure LinkCopy(const std::string& target) const {
        CTemporaryFile copy(FolderOfPath(target), 0666);
        if (copy.Descriptor() < 0)
            return {WriteStage::Open, errno};
        std::vector<std::uint8_t> block(1 << 16);
        for (off_t at = 0;;) {
            const ssize_t got = system::Uninterrupted(
                [&] { return pread(m_descriptor, block.data(), block.size(), at); });
            if (got < 0)
                return {WriteStage::Write, errno};
            if (got == 0)
                break;
            block.resize(std::size_t(got));
            if (!WriteAll(copy.Descriptor(), block))
                return {WriteStage::Write, errno};
            block.resize(1 << 16);
            at += got;
        }
        if (fsync(copy.Descriptor()) != 0 || !copy.Close())
            return {WriteStage::Write, errno};
        if (const int code = RenameWithoutReplacing(copy.Path(), target))
            return {StageOfRenameFailure(code), code};
        copy.Keep();
        return {};
    }

    int m_descriptor;
};

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

namespace {

// The new bytes in a complete temporary file beside the file they are to replace.
struct StagedWrite {
    WriteFailure failure;
    std::string target; // the end of the chain of links
    // Null after a failure, or when the file was rewritten in place and is done.
    std::unique_ptr<CTemporaryFile> temporary;
    // Or, for a new file of a group, a file without a name, open until it takes its name.
    std::unique_ptr<CUnnamedFile> unnamed;
};

// Everything of a write up to the rename: the target checked, the temporary file made with the
// owner and mode it is to have, the bytes written, flushed to disk when asked, and closed.
StagedWrite StageWrite(const std::string& path, const std::vector<std::uint8_t>& bytes,
                       const AtomicWriteOptions& options, bool flush, bool mayStayUnnamed) {
    StagedWrite staged;
    const LinkTarget target = ResolveLinkTarget(path);
    if (target.errorCode != 0) {
        staged.failure = {WriteStage::Open, target.errorCode};
        return staged;
    }
    staged.target = target.path;

    // An existing name is opened as the user would open it for writing, which refuses what the
    // user may not write; the descriptor also carries the owner and mode to keep.
    CDescriptor existing(-1);
    struct stat status {};
    if (target.exists) {
        if (lstat(target.path.c_str(), &status) != 0)
            staged.failure = {WriteStage::Open, errno};
        else if (S_ISDIR(status.st_mode))
            staged.failure = {WriteStage::Open, EISDIR};
        else if (!S_ISREG(status.st_mode))
            staged.failure = {WriteStage::Open,
                              EINVAL}; // a device, FIFO or socket is never replaced
        else if (!options.replaceExisting)
            staged.failure = {WriteStage::Exists, EEXIST};
        if (staged.failure)
            return staged;
        existing.Reset(
            open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        if (existing.Get() < 0) {
            staged.failure = {WriteStage::Open, errno};
            return staged;
        }
        // Something else may have taken the name between the look and the open.
        if (fstat(existing.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
            staged.failure = {WriteStage::Open, EINVAL};
            return staged;
        }
    }

    // A new file that need not replace anything is made without a name, when the file system
    // can: it takes its name in one step that refuses a taken name, and vanishes with the
    // process, so there is nothing to remove on a failure or a signal.
    if (mayStayUnnamed && !target.exists && !options.replaceExisting) {
        auto unnamed = CUnnamedFile::Create(FolderOfPath(target.path));
        if (unnamed) {
            if (!WriteAll(unnamed->Descriptor(), bytes) ||
                (flush && fsync(unnamed->Descriptor()) != 0))
                staged.failure = {WriteStage::Write, errno};
            else
                staged.unnamed = std::move(unnamed);
            return staged;
        }
    }

    // A new file asks for 0666 and open() takes away the umask, which is never changed here: the
    // umask belongs to the whole process, and other threads write files too.
    auto temporary = std::make_unique<CTemporaryFile>(FolderOfPath(target.path),
                                                      existing.Get() >= 0 ? 0600 : 0666);
    const int descriptor = temporary->Descriptor();
    if (descriptor < 0) {
        const int code = errno;
        if (existing.Get() >= 0 && options.inPlaceWhenFolderIsLocked &&
            (code == EACCES || code == EPERM))
            staged.failure = WriteInPlace(existing.Get(), bytes);
        else
            staged.failure = {WriteStage::Open, code};
        return staged;
    }
    if (existing.Get() >= 0) {
        // Root replacing another user's file gives it back to that user; anyone else keeps at
        // least the group where they belong to it. The mode goes last, as a change of owner
        // clears the set-id bits.
        if (fchown(descriptor, status.st_uid, status.st_gid) != 0)
            (void)fchown(descriptor, static_cast<uid_t>(-1), status.st_gid);
        // A volume without modes (FAT) refuses to set one, and has none to keep.
        if (fchmod(descriptor, status.st_mode & 07777) != 0 && !VolumeRefuses(errno)) {
            staged.failure = {WriteStage::Write, errno};
            return staged;
        }
    }
    if (!WriteAll(descriptor, bytes) || (flush && fsync(descriptor) != 0) || !temporary->Close()) {
        staged.failure = {WriteStage::Write, errno};
        return staged;
    }
    staged.temporary = std::move(temporary);
    return staged;
}

// The rename that gives the complete temporary file its name.
WriteFailure PutInPlace(CTemporaryFile& temporary, const std::string& target,
                        bool replaceExisting) {
    if (const BeforeReplaceObserver observer = g_beforeReplace.load())
        observer(temporary.Path());
    int code = 0;
    if (replaceExisting)
        code = std::rename(temporary.Path(), target.c_str()) == 0 ? 0 : errno;
    else
        code = RenameWithoutReplacing(temporary.Path(), target);
    if (code != 0)
        return {StageOfRenameFailure(code), code};
    temporary.Keep();
    return {};
}

} // namespace

WriteFailure WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                 const AtomicWriteOptions& options) {
    // A new file that may not replace one is made without a name and flushed before it takes
    // its name: one step in the folder, as a plain copy takes.
    StagedWrite staged = StageWrite(path, bytes, options, true, true);
    if (staged.failure)
        return staged.failure;
    if (staged.unnamed)
        return staged.unnamed->Link(staged.target);
    if (!staged.temporary)
        return staged.failure;
    return PutInPlace(*staged.temporary, staged.target, options.replaceExisting);
}

// A folder files of a group go to, opened before their bytes are written: syncfs through it
// reports every write-back error of its volume since it was opened, which is what the commit
// must know of its files.
struct CCommitGroup::Folder {
    CDescriptor descriptor{-1};
    dev_t device = 0;
    std::uint64_t opened = 0; // the order of opening: the earliest of a volume flushes it
};

struct CCommitGroup::Entry {
    std::string path;   // as given
    std::string target; // the end of its links
    bool replaceExisting{};
    std::shared_ptr<Folder> folder;
    std::unique_ptr<CTemporaryFile> temporary;
    std::unique_ptr<CUnnamedFile> unnamed;
};

CCommitGroup::CCommitGroup() = default;
CCommitGroup::~CCommitGroup() = default;

WriteFailure CCommitGroup::Add(const std::string& path, const std::vector<std::uint8_t>& bytes,
                               const AtomicWriteOptions& options) {
    std::shared_ptr<Folder> folder;
    {
        const std::string folderOfTarget = FolderOfPath(ResolveLinkTarget(path).path);
        const std::string name = folderOfTarget.empty() ? std::string(".") : folderOfTarget;
        const std::lock_guard<std::mutex> lock(m_lock);
        std::shared_ptr<Folder>& known = m_folders[name];
        if (!known) {
            known = std::make_shared<Folder>();
            known->descriptor.Reset(open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            struct stat status {};
            if (known->descriptor.Get() >= 0 && fstat(known->descriptor.Get(), &status) == 0)
                known->device = status.st_dev;
            known->opened = m_foldersOpened++;
        }
        folder = known;
    }
    StagedWrite staged = StageWrite(path, bytes, options, false, true);
    if (staged.failure || (!staged.temporary && !staged.unnamed))
        return staged.failure;
    auto entry = std::make_unique<Entry>();
    entry->path = path;
    entry->target = std::move(staged.target);
    entry->replaceExisting = options.replaceExisting;
    entry->folder = std::move(folder);
    entry->temporary = std::move(staged.temporary);
    entry->unnamed = std::move(staged.unnamed);
    const std::lock_guard<std::mutex> lock(m_lock);
    m_entries.push_back(std::move(entry));
    return {};
}

std::size_t CCommitGroup::Size() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_entries.size();
}

std::vector<CCommitGroup::CommittedFile> CCommitGroup::Commit() {
    std::vector<std::unique_ptr<Entry>> entries;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        entries.swap(m_entries);
        m_folders.clear(); // files added from now on are flushed through folders opened anew
    }
    std::vector<CommittedFile> outcomes;
    outcomes.reserve(entries.size());
    if (entries.empty())
        return outcomes;

    // One flush of each volume before the renames stores every file's bytes; a volume that
    // could not store them fails every file of the group on it.
    std::vector<std::pair<dev_t, Folder*>> earliest; // of each volume
    bool unopened = false;
    for (const auto& entry : entries) {
        Folder* folder = entry->folder.get();
        auto found = std::find_if(earliest.begin(), earliest.end(),
                                  [&](const auto& known) { return known.first == folder->device; });
        if (folder->descriptor.Get() < 0)
            unopened = true;
        else if (found == earliest.end())
            earliest.emplace_back(folder->device, folder);
        else if (folder->opened < found->second->opened)
            found->second = folder;
    }
    std::vector<std::pair<dev_t, int>> volumeFailures;
    for (const auto& [device, folder] : earliest) {
        int code = Refusal(VolumeCall::SyncVolume);
        if (code == 0 && syncfs(folder->descriptor.Get()) != 0)
            code = errno;
        volumeFailures.emplace_back(device, code);
    }
    // A folder this process may write but not read gives no descriptor to flush through.
    if (unopened)
        sync();

    for (const auto& entry : entries) {
        int stored = 0;
        for (const auto& [device, code] : volumeFailures) {
            if (entry->folder->descriptor.Get() >= 0 && device == entry->folder->device)
                stored = code;
        }
        WriteFailure failure{WriteStage::Write, stored};
        if (!stored && entry->unnamed)
            failure = entry->unnamed->Link(entry->target);
        else if (!stored)
            failure = PutInPlace(*entry->temporary, entry->target, entry->replaceExisting);
        entry->temporary.reset(); // removed unless it took its name
        entry->unnamed.reset();
        outcomes.push_back({entry->path, failure});
    }

    // The names are flushed once per folder. A file that has its name is written whatever this
    // flush says: the name is there, and reporting it as failed would be untrue.
    for (const auto& entry : entries) {
        Folder& folder = *entry->folder;
        if (folder.descriptor.Get() >= 0 && !Refusal(VolumeCall::SyncFolder))
            fsync(folder.descriptor.Get());
        folder.descriptor.Reset(-1); // once
    }
    if (unopened)
        sync();
    return outcomes;
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

bool IsPrivateFolder(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == geteuid() && (status.st_mode & 077) == 0;
}

namespace {

std::atomic<ScratchStepObserver> g_scratchStep{nullptr};

void ScratchStep(int step) {
    if (const ScratchStepObserver observer = g_scratchStep.load())
        observer(step);
}

// How long a scratch folder stays unlocked between its making and its lock, at most.
constexpr int kYoungestLeftoverSeconds = 60;

// Removes the scratch folders of runs that are gone: ours, named prefix and six letters, unlocked
// (a run holds its folder's lock until it ends, however it ends) and not made just now.
void RemoveLeftovers(const std::string& base, const std::string& prefix) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = entry.path().string();
        CDescriptor folder(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        if (folder.Get() < 0 || fstat(folder.Get(), &status) != 0 || status.st_uid != geteuid() ||
            time(nullptr) - status.st_mtime < kYoungestLeftoverSeconds ||
            flock(folder.Get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        std::filesystem::remove_all(path, error);
    }
}

} // namespace

CScratchFolder::CScratchFolder(const std::string& requestedBase, const std::string& prefix,
                               const std::vector<std::string>& fileNames) {
    // A folder others may write (another user's /tmp/korvane-UID, mode 777) could have our files
    // renamed or replaced: the system's temporary folder, whose sticky bit keeps a private folder
    // ours, takes its place.
    const std::string base = IsPrivateFolder(requestedBase) ? requestedBase : std::string("/tmp");
    RemoveLeftovers(base, prefix);
    const std::string folder = base + "/" + prefix + "XXXXXX";
    std::size_t longest = 0;
    for (const std::string& name : fileNames)
        longest = std::max(longest, name.size());
    if (folder.size() + 1 + longest >= PATH_MAX)
        return;
    // The folder's name is registered before mkdtemp makes it, as a temporary file's is. The
    // order below lets a signal land anywhere: until the node is Live and no longer this
    // thread's, the handler settles it by t_named.
    CTemporaryNode* node = TakeTemporaryNode();
    node->folder.store(true);
    ScratchStep(1);
    t_pCreating.store(node);
    ScratchStep(2);
    node->state.store(Creating);
    ScratchStep(3);
    std::snprintf(node->path, sizeof node->path, "%s", folder.c_str());
    t_named.store(true);
    ScratchStep(4);
    const bool made = !g_ending.load() && mkdtemp(node->path) != nullptr;
    ScratchStep(5);
    if (made) {
        node->state.store(Live);
        ScratchStep(6);
        t_pCreating.store(nullptr);
        ScratchStep(7);
        t_named.store(false);
    } else {
        t_named.store(false);
        node->state.store(Free);
        t_pCreating.store(nullptr);
        node->folder.store(false);
        return;
    }
    ScratchStep(8);
    m_path = node->path;
    m_pNodes.push_back(node);
    // Locked while this run lives, so that a later run tells it from the leftover of a dead one.
    m_lock = open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_lock >= 0)
        flock(m_lock, LOCK_EX | LOCK_NB);
    ScratchStep(9);
    for (const std::string& name : fileNames) {
        CTemporaryNode* file = TakeTemporaryNode();
        const std::string path = FilePath(name);
        std::snprintf(file->path, sizeof file->path, "%s", path.c_str());
        file->state.store(Live);
        m_pNodes.push_back(file);
        ScratchStep(10);
    }
}

CScratchFolder::~CScratchFolder() {
    // Files first, the folder last; every node goes back to the registry.
    for (auto node = m_pNodes.rbegin(); node != m_pNodes.rend(); ++node) {
        std::error_code error;
        if ((*node)->folder.load())
            std::filesystem::remove_all((*node)->path, error); // and whatever else was put there
        else
            unlink((*node)->path);
        (*node)->folder.store(false);
        (*node)->state.store(Free);
    }
    if (m_lock >= 0)
        close(m_lock);
}

void SetScratchStepObserver(ScratchStepObserver observer) {
    g_scratchStep.store(observer);
}

void SetBeforeReplaceObserver(BeforeReplaceObserver observer) {
    g_beforeReplace.store(observer);
}

void SetCreationStepObserver(CreationStepObserver observer) {
    g_creationStep.store(observer);
}

void SetVolumeRefusal(VolumeCall call, int errorCode) {
    g_refusals[int(call)].store(errorCode);
}

void RemoveLeftoverTemporaries(const std::string& folder) {
    const int folderDescriptor =
        open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor < 0)
        return;
    DIR* entries = fdopendir(folderDescriptor);
    if (!entries) {
        close(folderDescriptor);
        return;
    }
    const std::size_t prefix = std::strlen(kTemporaryPrefix);
    while (const dirent* entry = readdir(entries)) {
        // ".korvane-", the maker's number, "-", six letters or digits.
        const std::string name = entry->d_name;
        if (name.compare(0, prefix, kTemporaryPrefix) != 0)
            continue;
        const std::size_t dash = name.find('-', prefix);
        if (dash == std::string::npos || dash == prefix || dash - prefix > 9 ||
            name.size() != dash + 1 + kRandomLetters ||
            name.find_first_not_of("0123456789", prefix) != dash ||
            !std::all_of(name.begin() + long(dash) + 1, name.end(),
                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            continue;
        const pid_t maker = pid_t(std::stol(name.substr(prefix, dash - prefix)));
        const bool gone = maker != getpid() && kill(maker, 0) != 0 && errno == ESRCH;
        struct stat status {};
        if (!gone || fstatat(folderDescriptor, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode))
            continue;
        unlinkat(folderDescriptor, entry->d_name, 0);
    }
    closedir(entries);
}

bool FolderIgnoresCase(const std::string& folder) {
    CTemporaryFile probe(folder, 0600);
    if (probe.Descriptor() < 0)
        return true;
    // The probe's name has lower-case letters ("korvane"); in upper case it is another name
    // only where case matters.
    std::string other = probe.Path();
    const std::size_t name = other.size() - FileNameOfPath(other).size();
    std::transform(other.begin() + long(name), other.end(), other.begin() + long(name),
                   [](unsigned char c) { return char(std::toupper(c)); });
    // Numbers of files are no help: FUSE volumes number each spelling apart. The name is random,
    // so only the probe itself answers to it.
    struct stat upper {};
    return lstat(other.c_str(), &upper) == 0;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat status {};
    if (stat(path.empty() ? "." : path.c_str(), &status) != 0)
        return std::nullopt;
    return FileIdentity{std::uint64_t(status.st_dev), std::uint64_t(status.st_ino)};
}

int MostOpenFiles() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return INT_MAX;
    return int(std::min(limit.rlim_cur, rlim_t(INT_MAX))); // RLIM_INFINITY is the highest rlim_t
}

} // namespace korvane
