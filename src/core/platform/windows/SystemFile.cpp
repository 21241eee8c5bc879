#include "platform/SystemFile.h"
#include "platform/Console.h"
#include "platform/Paths.h"
#include "platform/windows/WideText.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <streambuf>
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

namespace {

// The plain calls take up to MAX_PATH (260) characters with the ending zero, and a folder needs
// room for an 8.3 name below it: from 248 on, a path goes with the prefix.
constexpr std::size_t kLongestPlainPath = 247;

const std::wstring kLongPrefix = L"\\\\?\\";

bool HasPrefix(const std::wstring& path) {
    return path.starts_with(kLongPrefix) || path.starts_with(L"\\\\.\\");
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length)
        return path;
    full.resize(written);
    return full;
}

std::wstring Prefixed(const std::wstring& fullPath) {
    if (fullPath.starts_with(L"\\\\")) // \\server\share\name
        return kLongPrefix + L"UNC" + fullPath.substr(1);
    return kLongPrefix + fullPath;
}

} // namespace

std::wstring LongPathForm(std::wstring fullPath) {
    if (fullPath.size() <= kLongestPlainPath || HasPrefix(fullPath))
        return fullPath;
    return Prefixed(fullPath);
}

std::wstring SystemPathOf(const std::string& path) {
    const std::wstring wide = WideName(path);
    if (wide.empty() || HasPrefix(wide))
        return wide;
    const std::size_t slash = wide.find_last_of(L"\\/");
    const std::size_t nameStart =
        slash != std::wstring::npos ? slash + 1 : (wide.size() > 1 && wide[1] == L':' ? 2 : 0);
    const std::wstring name = wide.substr(nameStart);
    if (WindowsNameProblem(Utf8Name(name)) != FileNameProblem::ReservedDeviceName)
        return LongPathForm(FullPath(wide));
    // The full path of a device's name is the device ("\\.\NUL"). A file of that name that the
    // folder holds (as a folder copied from another system may) is reached by the prefixed form,
    // the folder made full alone and the name put below it; without such a file, the name is
    // the device, as everywhere on Windows.
    std::wstring folder = FullPath(nameStart == 0 ? std::wstring(L".") : wide.substr(0, nameStart));
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    const std::wstring file = Prefixed(folder + name);
    if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES)
        return file;
    return FullPath(wide);
}

int OpenRegularFile(const std::string& path, int& errorCode, std::uint64_t& size) {
    const std::wstring name = SystemPathOf(path);
    // A folder is told apart first, as CreateFileW would refuse it only as "access denied".
    // Windows has no FIFOs, and a device (\\.\COM1) opens without waiting.
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errorCode = EISDIR;
        return -1;
    }
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errorCode = int(GetLastError());
        return -1;
    }
    LARGE_INTEGER length{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &length)) {
        errorCode = ENXIO;
        CloseHandle(file);
        return -1;
    }
    const int fd = _open_osfhandle(intptr_t(file), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        errorCode = ERROR_TOO_MANY_OPEN_FILES;
        CloseHandle(file);
        return -1;
    }
    size = std::uint64_t(length.QuadPart);
    return fd;
}

long ReadDescriptor(int descriptor, void* into, std::size_t count) {
    // _read takes at most INT_MAX bytes at once; the caller reads again for the rest.
    const unsigned chunk = count > 0x40000000u ? 0x40000000u : unsigned(count);
    const int got = _read(descriptor, into, chunk);
    // The C runtime keeps the Windows error of a failed read apart; that is the number a Windows
    // user can look up, so it is the one reported.
    if (got < 0 && _doserrno != 0)
        errno = int(_doserrno);
    return long(got);
}

void CloseDescriptor(int descriptor) {
    _close(descriptor);
}

std::FILE* StreamOfDescriptor(int descriptor) {
    return _fdopen(descriptor, "rb");
}

} // namespace system

namespace {

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

} // namespace

void CreatePrivateFolder(const std::string& path) {
    CreateDirectoryW(system::SystemPathOf(path).c_str(), nullptr);
}

std::string CurrentUserNumber() {
    return {};
}

std::filesystem::path SystemPath(const std::string& name) {
    return std::filesystem::path(system::SystemPathOf(name));
}

FileNameProblem OutputNameProblem(const std::string& path) {
    return WindowsNameProblem(FileNameOfPath(path));
}

namespace {

// Text for a console goes to it as UTF-16 through WriteConsoleW, which shows every character
// whatever the console's code page; the C runtime would pass the bytes to the code page. A
// character cut between two writes waits for its other bytes.
class CConsoleBuffer : public std::streambuf {
public:
    explicit CConsoleBuffer(HANDLE console) : m_console(console) {}

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            m_pending += char(c);
            if (c == '\n')
                sync();
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        m_pending.append(text, std::size_t(count));
        if (m_pending.find('\n') != std::string::npos)
            sync();
        return count;
    }
    int sync() override {
        // The bytes of a UTF-8 character not yet complete stay for the next write.
        std::size_t complete = m_pending.size();
        for (std::size_t back = 1; back <= 3 && back <= m_pending.size(); ++back) {
            const auto byte = std::uint8_t(m_pending[m_pending.size() - back]);
            if ((byte & 0xC0) != 0x80) {
                const std::size_t length = byte >= 0xF0   ? 4
                                           : byte >= 0xE0 ? 3
                                           : byte >= 0xC0 ? 2
                                                          : 1;
                if (length > back)
                    complete = m_pending.size() - back;
                break;
            }
        }
        const std::wstring wide = system::WideName(m_pending.substr(0, complete));
        m_pending.erase(0, complete);
        for (std::size_t at = 0; at < wide.size();) {
            DWORD written = 0;
            const DWORD chunk = DWORD(std::min<std::size_t>(wide.size() - at, 8192));
            if (!WriteConsoleW(m_console, wide.data() + at, chunk, &written, nullptr) ||
                written == 0)
                return -1;
            at += written;
        }
        return 0;
    }

private:
    HANDLE m_console;
    std::string m_pending;
};

void WriteToConsoleAsText(std::ostream& stream, DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode))
        return; // a pipe or a file takes the UTF-8 bytes as they are
    // Never destroyed: the streams are flushed at exit, after every static object has gone.
    stream.rdbuf(new CConsoleBuffer(handle));
}

} // namespace

bool FolderEntryNames(const std::string& folder, std::vector<std::string>& names, int& errorCode) {
    // Through FindFirstFileExW itself: the C runtime's folder reading stops at 260 characters.
    std::wstring pattern = system::SystemPathOf(folder);
    if (!pattern.empty() && pattern.back() != L'\\')
        pattern += L'\\';
    WIN32_FIND_DATAW entry;
    const HANDLE search =
        FindFirstFileExW(system::LongPathForm(pattern + L'*').c_str(), FindExInfoBasic, &entry,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        errorCode = int(GetLastError());
        if (errorCode != ERROR_FILE_NOT_FOUND) // the root of an empty drive has no entry at all
            return false;
        errorCode = 0;
        return true;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(system::Utf8Name(name));
    } while (FindNextFileW(search, &entry));
    errorCode = GetLastError() == ERROR_NO_MORE_FILES ? 0 : int(GetLastError());
    FindClose(search);
    return errorCode == 0;
}

std::vector<std::string> StartConsoleProgram(int argc, char** argv) {
    WriteToConsoleAsText(std::cout, STD_OUTPUT_HANDLE);
    WriteToConsoleAsText(std::cerr, STD_ERROR_HANDLE);
    return ProgramArguments(argc, argv);
}

bool ConsoleOwnedAlone() {
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

WriteFailure WriteToStandardOutput(const std::vector<std::uint8_t>& bytes) {
    // Standard output starts in text mode, which would write every 0A byte as 0D 0A.
    std::cout.flush();
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
