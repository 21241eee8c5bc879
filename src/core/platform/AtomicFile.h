#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvane {

// Where a failed write stopped, with the system's error code. Open: the name cannot be written
// (missing folder, read-only file, a folder or device of that name, a name too long); Write and
// Replace: the bytes could not be stored (full disk); Exists: the name was taken and the write
// was asked not to replace it.
enum class WriteStage { None, Open, Write, Replace, Exists };

struct WriteFailure {
    WriteStage stage = WriteStage::None;
    int errorCode = 0;
    explicit operator bool() const { return stage != WriteStage::None; }
};

struct AtomicWriteOptions {
    // false: the new file only takes a name nobody holds, checked in the same step that puts it
    // in place, so two writers racing for one new name never both succeed.
    bool replaceExisting = true;
    // A writable file in a folder where no temporary file can be made is rewritten in place
    // (truncated, written, flushed) instead of being refused. Not atomic, so callers that would
    // rather keep the old file (the configuration) leave it off.
    bool inPlaceWhenFolderIsLocked = true;
};

// Writes bytes to path through a temporary file in the same folder, flushed to disk, that
// replaces path only when it is complete: a failure at any point leaves path as it was.
// - A symbolic link is written through: the file at the end of the chain is replaced and the
//   link stays. A link that leads nowhere is refused (ENOENT) rather than creating its target.
// - Only regular files are replaced; a folder (EISDIR), device, FIFO or socket (EINVAL) is
//   refused at the Open stage and left alone.
// - A file this process may not open for writing is refused as opening it would refuse it
//   (EACCES for a read-only file; root may write it, as root may open it).
// - A new file gets the usual permissions (0666 less the umask, which is never changed); a
//   replaced file keeps its mode and, where this process may set them, its owner and group.
// The temporary file is removed on every failure, and on SIGINT, SIGTERM or SIGHUP once
// InstallTemporaryFileCleanup has run.
WriteFailure WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                 const AtomicWriteOptions& options = {});

// Writes made durable together, for many files at once: Add writes each file's bytes as
// WriteFileAtomically does (same checks, links, owner and mode) to a temporary file beside its
// target, but does not flush it; Commit then flushes each file system once (syncfs), puts every
// file in place (without replacing anything where the file's options say so) and flushes each
// folder once. A file system that could not store the bytes fails every file of the group on it;
// a file that took its name is never reported as failed afterwards. Until its Commit, no file of
// the group has its name; temporary files are removed on every failure, on SIGINT, SIGTERM and
// SIGHUP (see below) and when the group is destroyed uncommitted. Add and Commit may be called from
// several threads at once; a Commit takes the files added so far, and files added meanwhile wait
// for the next one.
class CCommitGroup {
public:
    CCommitGroup();
    ~CCommitGroup();
    CCommitGroup(const CCommitGroup&) = delete;
    CCommitGroup& operator=(const CCommitGroup&) = delete;

    // A failure at the Open, Write or Exists stage, as WriteFileAtomically reports it. A file
    // rewritten in place (in a folder where no temporary file can be made) is done at once.
    WriteFailure Add(const std::string& path, const std::vector<std::uint8_t>& bytes,
                     const AtomicWriteOptions& options = {});
    std::size_t Size() const; // files added and not yet committed

    struct CommittedFile {
        std::string path; // as given to Add
        WriteFailure failure;
    };
    // One outcome per file, in the order they were added.
    std::vector<CommittedFile> Commit();

private:
    struct Entry;
    struct Folder;
    mutable std::mutex m_lock;
    std::vector<std::unique_ptr<Entry>> m_entries;
    std::map<std::string, std::shared_ptr<Folder>> m_folders; // opened since the last commit
    std::uint64_t m_foldersOpened = 0;
};

// Writes every byte to an open descriptor (korvane-cli's standard output); Write stage on error.
WriteFailure WriteToDescriptor(int descriptor, const std::vector<std::uint8_t>& bytes);

// The end of a chain of symbolic links: path itself when it is no link. Fails with ENOENT when
// the chain leads to nothing, ELOOP when it does not end. Other failures to look at a name
// (ENAMETOOLONG, ENOTDIR, EACCES) come through as they are; a name that simply does not exist
// yet is no failure.
struct LinkTarget {
    std::string path;
    bool exists = false;
    bool isLink = false;
    int errorCode = 0;
};
LinkTarget ResolveLinkTarget(const std::string& path);

// Creates path empty when nothing of that name exists; leaves anything that exists alone and
// never follows a link, dangling or not.
bool CreateFileIfMissing(const std::string& path);

// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove the temporary files of writes in
// progress and then end the process by the same signal. A signal that is ignored (nohup) or
// already handled is left as it is. korvane-cli and the window call it once at start.
void InstallTemporaryFileCleanup();

// Removes the temporary files that runs killed before they could clean up left in folder: those
// whose name says they belong to a process that no longer runs. Files of running processes, and
// anything else, are left alone.
void RemoveLeftoverTemporaries(const std::string& folder);

// Whether two names that differ only in case are one name in folder (FAT, exFAT, NTFS, macOS,
// Windows): found by making a file there and looking it up in the other case. A folder where
// nothing can be made counts as ignoring case, as no name is then lost by assuming it.
bool FolderIgnoresCase(const std::string& folder);

// What a name is on its volume, whatever way it is spelt (links followed): equal identities are
// one file or folder. Empty when the name cannot be looked at.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::string& path);

// The number of files this process may have open at once.
int MostOpenFiles();

// Called with the temporary file's path once it is complete and just before it takes its name.
// Lets tests race another writer or interrupt the write at that point; null (the default) calls
// nothing.
using BeforeReplaceObserver = void (*)(const char* temporaryPath);
void SetBeforeReplaceObserver(BeforeReplaceObserver observer);

// Test hooks: the calls a volume may refuse, made to fail with errorCode as such a volume fails
// them (0 lets the call through), and a point reached at each step of making a temporary file
// (0 to 5), where a test raises a signal.
enum class VolumeCall {
    UnnamedFile,
    LinkUnnamed,
    RenameWithoutReplacing,
    Link,
    SyncVolume,
    SyncFolder
};
void SetVolumeRefusal(VolumeCall call, int errorCode);
using CreationStepObserver = void (*)(int step);
void SetCreationStepObserver(CreationStepObserver observer);

} // namespace korvane
