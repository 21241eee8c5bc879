#include "platform/SystemFile.h"
#include "platform/Console.h"
#include "platform/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace system {

bool WriteAll(int descriptor, const std::vector<std::uint8_t>& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = Uninterrupted(
            [&] { return ::write(descriptor, bytes.data() + written, bytes.size() - written); });
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

int OpenRegularFile(const std::string& path, int& errorCode, std::uint64_t& size) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        errorCode = errno;
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        errorCode = S_ISDIR(status.st_mode) ? EISDIR : ENXIO;
        ::close(fd);
        return -1;
    }
    // Reads of a regular file never block; the stream gets the usual blocking descriptor.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    size = std::uint64_t(status.st_size);
    return fd;
}

long ReadDescriptor(int descriptor, void* into, std::size_t count) {
    return long(Uninterrupted([&] { return ::read(descriptor, into, count); }));
}

void CloseDescriptor(int descriptor) {
    ::close(descriptor);
}

std::FILE* StreamOfDescriptor(int descriptor) {
    return ::fdopen(descriptor, "rb");
}

} // namespace system

std::vector<std::string> StartConsoleProgram(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void CreatePrivateFolder(const std::string& path) {
    ::mkdir(path.c_str(), 0700);
}

std::string CurrentUserNumber() {
    return std::to_string(::getuid());
}

WriteFailure WriteToDescriptor(int descriptor, const std::vector<std::uint8_t>& bytes) {
    if (!system::WriteAll(descriptor, bytes))
        return {WriteStage::Write, errno};
    return {};
}

bool ConsoleOwnedAlone() {
    return false;
}

WriteFailure WriteToStandardOutput(const std::vector<std::uint8_t>& bytes) {
    return WriteToDescriptor(STDOUT_FILENO, bytes);
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

} // namespace korvane
