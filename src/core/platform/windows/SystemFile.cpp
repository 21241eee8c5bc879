#include "platform/SystemFile.h"
#include "platform/Console.h"
#include "platform/Paths.h"
#include "platform/windows/WideText.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <shellapi.h>

namespace korvane {
namespace system {

std::wstring WideName(const std::string& name) {
    if (name.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, name.data(), int(name.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, name.data(), int(name.size()), wide.data(), length);
    return wide;
}

std::string Utf8Name(const std::wstring& name) {
    if (name.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, name.data(), int(name.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name.data(), int(name.size()), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

int ErrnoOfWindowsError(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

int OpenRegularFile(const std::string& path, int& errorCode, std::uint64_t& size) {
    const std::wstring name = WideName(path);
    // A folder cannot be opened by the C runtime at all (EACCES); it is told apart first. Windows
    // has no FIFOs, and a device (NUL, CON, COM1) opens without waiting.
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errorCode = EISDIR;
        return -1;
    }
    const int fd = _wopen(name.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        errorCode = errno;
        return -1;
    }
    struct _stat64 status {};
    if (_fstat64(fd, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG ||
        GetFileType(HANDLE(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        errorCode = (status.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : ENXIO;
        _close(fd);
        return -1;
    }
    size = std::uint64_t(status.st_size);
    return fd;
}

long ReadDescriptor(int descriptor, void* into, std::size_t count) {
    // _read takes at most INT_MAX bytes at once; the caller reads again for the rest.
    const unsigned chunk = count > 0x40000000u ? 0x40000000u : unsigned(count);
    return long(_read(descriptor, into, chunk));
}

void CloseDescriptor(int descriptor) {
    _close(descriptor);
}

std::FILE* StreamOfDescriptor(int descriptor) {
    return _fdopen(descriptor, "rb");
}

} // namespace system

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(system::Utf8Name(wide[i]));
    LocalFree(wide);
    return arguments;
}

void CreatePrivateFolder(const std::string& path) {
    CreateDirectoryW(system::WideName(path).c_str(), nullptr);
}

std::string CurrentUserNumber() {
    return {};
}

void UseUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}

WriteFailure WriteToStandardOutput(const std::vector<std::uint8_t>& bytes) {
    // Standard output starts in text mode, which would write every 0A byte as 0D 0A.
    std::fflush(stdout);
    const int previous = _setmode(_fileno(stdout), _O_BINARY);
    const WriteFailure failure = WriteToDescriptor(_fileno(stdout), bytes);
    if (previous != -1)
        _setmode(_fileno(stdout), previous);
    return failure;
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace korvane
