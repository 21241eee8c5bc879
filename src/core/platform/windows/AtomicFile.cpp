// The atomic write on Windows: the same interface and promises as the POSIX one where Windows
// allows them. What cannot hold here, said once:
// - Windows has no owner and mode to keep: a replaced file is a new file that takes the access
//   rights its folder passes on, as every Windows program's saved file does.
// - There are no FIFOs; a device's name (NUL, CON, COM1, with any extension) and a name that
//   ends in a dot or blank (which Windows would drop) are refused. Links are not followed: a
//   symbolic link (which only administrators and developer mode can make) is itself replaced by the
//   new file.
// - Ctrl+C, Ctrl+Break and closing the console window take the place of SIGINT, SIGTERM and
//   SIGHUP: their handler runs on a thread of its own, removes the temporary files of writes in
//   progress and lets the process end.

#include "platform/AtomicFile.h"

#include "platform/Paths.h"
#include "platform/windows/WideText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <io.h>
#include <set>
#include <windows.h>

namespace korvane {
namespace {

using system::LongPathForm;
using system::SystemPathOf;

std::atomic<BeforeReplaceObserver> g_beforeReplace{nullptr};

// ERROR_DIRECTORY_NOT_SUPPORTED ("An operation is not supported on a directory"), which
// mingw-w64's headers do not name.
constexpr int kErrorDirectoryNotSupported = 336;

// Temporary files of writes in progress. The console handler runs on its own thread, so a lock
// is enough; once it has run, no new temporary file is made.
std::mutex g_temporariesLock;
std::set<std::wstring> g_temporaries;
bool g_ending = false;

BOOL WINAPI RemoveTemporariesOnClose(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: {
        const std::lock_guard<std::mutex> lock(g_temporariesLock);
        g_ending = true;
        for (const std::wstring& path : g_temporaries)
            DeleteFileW(path.c_str()); // opened with FILE_SHARE_DELETE, so this works while open
        break;
    }
    default:
        break;
    }
    return FALSE; // the default handler then ends the process
}

class CHandle {
public:
    explicit CHandle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    ~CHandle() { Reset(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (Valid())
            CloseHandle(m_handle);
        m_handle = handle;
    }
    // Closes the handle; false when Windows reports a failure.
    bool Close() {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle;
};

// Failures carry Windows' own error code (5 access denied, 32 sharing violation), the number a
// Windows user can look up.
int LastError() {
    return int(GetLastError());
}

bool WriteAll(HANDLE handle, const std::vector<std::uint8_t>& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size() - written, 1u << 30));
        DWORD done = 0;
        if (!WriteFile(handle, bytes.data() + written, chunk, &done, nullptr))
            return false;
        if (done == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        written += done;
    }
    return true;
}

// A registered temporary file beside the target: removed when the write fails, forgotten once
// it has taken its name.
class CTemporaryFile {
public:
    // folder: the full path of the target's folder, without the separator at its end.
    explicit CTemporaryFile(const std::wstring& folder) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            const unsigned long long unique =
                GetTickCount64() * 7919u + GetCurrentProcessId() * 104729u + counter++;
            wchar_t name[32];
            swprintf(name, 32, L"\\.korvane-%06llx", unique & 0xFFFFFF);
            std::wstring path = LongPathForm(folder + name);
            {
                const std::lock_guard<std::mutex> lock(g_temporariesLock);
                if (g_ending) {
                    SetLastError(ERROR_OPERATION_ABORTED);
                    return;
                }
                m_handle.Reset(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
                if (m_handle.Valid()) {
                    g_temporaries.insert(path);
                    m_path = std::move(path);
                    return;
                }
            }
            if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
                return;
        }
    }
    ~CTemporaryFile() {
        m_handle.Reset();
        if (m_path.empty())
            return;
        const std::lock_guard<std::mutex> lock(g_temporariesLock);
        if (!m_kept)
            DeleteFileW(m_path.c_str());
        g_temporaries.erase(m_path);
    }
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;

    bool Created() const { return !m_path.empty(); }
    HANDLE Handle() const { return m_handle.Get(); }
    const std::wstring& Path() const { return m_path; }
    bool Close() { return m_handle.Close(); }
    void Keep() { m_kept = true; }

private:
    std::wstring m_path;
    CHandle m_handle;
    bool m_kept = false;
};

// Rewrites an existing file through its own handle when its folder holds no room for a
// temporary file.
WriteFailure WriteInPlace(HANDLE handle, const std::vector<std::uint8_t>& bytes) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) || !SetEndOfFile(handle) ||
        !WriteAll(handle, bytes) || !FlushFileBuffers(handle))
        return {WriteStage::Write, LastError()};
    return {};
}

struct StagedWrite {
    WriteFailure failure;
    std::wstring target;
    std::unique_ptr<CTemporaryFile> temporary; // null when done in place or failed
};

// The checks of the target and the complete temporary file, flushed when flush is set.
StagedWrite StageWrite(const std::string& path, const std::vector<std::uint8_t>& bytes,
                       const AtomicWriteOptions& options, bool flush) {
    StagedWrite staged;
    staged.target = SystemPathOf(path);
    // The prefixed form would make a file of a device's name, which no other program can open.
    if (OutputNameProblem(path) != FileNameProblem::None) {
        staged.failure = {WriteStage::Open, int(ERROR_INVALID_NAME)};
        return staged;
    }
    const DWORD attributes = GetFileAttributesW(staged.target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        staged.failure = {WriteStage::Open, kErrorDirectoryNotSupported};
        return staged;
    }
    // An existing name is opened as the user would open it for writing, which refuses a
    // read-only file; a device opens too, and is told apart by its type.
    CHandle existing(CreateFileW(staged.target.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (existing.Valid()) {
        if (GetFileType(existing.Get()) != FILE_TYPE_DISK) {
            staged.failure = {WriteStage::Open, int(ERROR_NOT_SUPPORTED)};
            return staged;
        }
        if (!options.replaceExisting) {
            staged.failure = {WriteStage::Exists, EEXIST};
            return staged;
        }
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        staged.failure = {WriteStage::Open, LastError()};
        return staged;
    }

    // The temporary file goes into the target's own folder, taken from its full path: "Z:name" is
    // in drive Z's current folder, "\name" at the root of the current drive.
    auto temporary = std::make_unique<CTemporaryFile>(
        staged.target.substr(0, staged.target.find_last_of(L'\\')));
    if (!temporary->Created()) {
        const int code = LastError();
        if (existing.Valid() && options.inPlaceWhenFolderIsLocked && code == ERROR_ACCESS_DENIED)
            staged.failure = WriteInPlace(existing.Get(), bytes);
        else
            staged.failure = {WriteStage::Open, code};
        return staged;
    }
    if (!WriteAll(temporary->Handle(), bytes) ||
        (flush && !FlushFileBuffers(temporary->Handle())) || !temporary->Close()) {
        staged.failure = {WriteStage::Write, LastError()};
        return staged;
    }
    staged.temporary = std::move(temporary);
    return staged;
}

// Gives the complete temporary file its name. Without replacing, MoveFileExW refuses an
// existing name in the same step. A file another program holds open cannot be replaced until it
// lets go; a virus scanner or indexer does so within moments, so the move is tried a few times.
WriteFailure PutInPlace(CTemporaryFile& temporary, const std::wstring& target,
                        bool replaceExisting) {
    if (const BeforeReplaceObserver observer = g_beforeReplace.load())
        observer(system::Utf8Name(temporary.Path()).c_str());
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(temporary.Path().c_str(), target.c_str(), flags)) {
            temporary.Keep();
            return {};
        }
        const DWORD error = GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                          error == ERROR_LOCK_VIOLATION;
        if (!held || attempt == 10) {
            if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
                return {WriteStage::Exists, EEXIST}; // as the check before writing says it
            const bool nameRefused = held || error == ERROR_FILE_NOT_FOUND ||
                                     error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
                                     error == ERROR_FILENAME_EXCED_RANGE ||
                                     error == ERROR_WRITE_PROTECT;
            return {nameRefused ? WriteStage::Open : WriteStage::Replace, int(error)};
        }
        Sleep(50);
    }
}

} // namespace

WriteFailure WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                 const AtomicWriteOptions& options) {
    StagedWrite staged = StageWrite(path, bytes, options, true);
    if (staged.failure || !staged.temporary)
        return staged.failure;
    return PutInPlace(*staged.temporary, staged.target, options.replaceExisting);
}

struct CCommitGroup::Entry {
    std::string path; // as given
    std::wstring target;
    bool replaceExisting = true;
    std::unique_ptr<CTemporaryFile> temporary;
};

CCommitGroup::CCommitGroup() = default;
CCommitGroup::~CCommitGroup() = default;

WriteFailure CCommitGroup::Add(const std::string& path, const std::vector<std::uint8_t>& bytes,
                               const AtomicWriteOptions& options) {
    StagedWrite staged = StageWrite(path, bytes, options, false);
    if (staged.failure || !staged.temporary)
        return staged.failure;
    auto entry = std::make_unique<Entry>();
    entry->path = path;
    entry->target = std::move(staged.target);
    entry->replaceExisting = options.replaceExisting;
    entry->temporary = std::move(staged.temporary);
    const std::lock_guard<std::mutex> lock(m_lock);
    m_entries.push_back(std::move(entry));
    return {};
}

std::size_t CCommitGroup::Size() const {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_entries.size();
}

// Windows has no flush of a whole file system for ordinary users, so each file is flushed
// before the moves, and each move is written through.
std::vector<CCommitGroup::CommittedFile> CCommitGroup::Commit() {
    std::vector<std::unique_ptr<Entry>> entries;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        entries.swap(m_entries);
    }
    std::vector<CommittedFile> outcomes;
    outcomes.reserve(entries.size());
    for (const auto& entry : entries) {
        CommittedFile outcome{entry->path, {}};
        CHandle file(CreateFileW(entry->temporary->Path().c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid() || !FlushFileBuffers(file.Get()))
            outcome.failure = {WriteStage::Replace, LastError()};
        file.Reset();
        if (!outcome.failure)
            outcome.failure = PutInPlace(*entry->temporary, entry->target, entry->replaceExisting);
        outcomes.push_back(std::move(outcome));
    }
    return outcomes;
}

WriteFailure WriteToDescriptor(int descriptor, const std::vector<std::uint8_t>& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const unsigned chunk = unsigned(std::min<std::size_t>(bytes.size() - written, 1u << 30));
        const int n = _write(descriptor, bytes.data() + written, chunk);
        if (n <= 0) // the C runtime keeps the Windows error of a failed write in _doserrno
            return {WriteStage::Write,
                    n < 0 && _doserrno != 0 ? int(_doserrno) : int(ERROR_WRITE_FAULT)};
        written += std::size_t(n);
    }
    return {};
}

LinkTarget ResolveLinkTarget(const std::string& path) {
    LinkTarget target{path};
    if (GetFileAttributesW(SystemPathOf(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        target.exists = true;
        return target;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        target.errorCode = int(error);
    return target;
}

bool CreateFileIfMissing(const std::string& path) {
    CHandle file(CreateFileW(SystemPathOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file.Valid();
}

void InstallTemporaryFileCleanup() {
    SetConsoleCtrlHandler(RemoveTemporariesOnClose, TRUE);
}

void SetBeforeReplaceObserver(BeforeReplaceObserver observer) {
    g_beforeReplace.store(observer);
}

// Windows folders ignore case; its temporary files name no process, so nothing is removed; no
// call is refused by injection.
bool FolderIgnoresCase(const std::string&) {
    return true;
}

void RemoveLeftoverTemporaries(const std::string&) {}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    // The volume's serial number and the file's index, read from the opened file or folder, so
    // that "W", "W\\" and "Z:/W/" are one folder.
    CHandle file(CreateFileW(SystemPathOf(path.empty() ? std::string(".") : path).c_str(), 0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.Valid() || !GetFileInformationByHandle(file.Get(), &information))
        return std::nullopt;
    return FileIdentity{information.dwVolumeSerialNumber,
                        (std::uint64_t(information.nFileIndexHigh) << 32) |
                            information.nFileIndexLow};
}

int MostOpenFiles() {
    return 2048; // the C runtime's descriptors
}

void SetVolumeRefusal(VolumeCall, int) {}
void SetCreationStepObserver(CreationStepObserver) {}

} // namespace korvane
