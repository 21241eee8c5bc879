#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace {

// The descriptor of path when it is a regular file, else -1 with the code in errorCode.
int OpenRegularDescriptor(const std::string& path, int& errorCode) {
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
    return fd;
}

} // namespace

RegularFileOpen OpenRegularFile(const std::string& path) {
    RegularFileOpen result;
    const int fd = OpenRegularDescriptor(path, result.errorCode);
    if (fd < 0)
        return result;
    result.stream = ::fdopen(fd, "rb");
    if (!result.stream) {
        result.errorCode = errno;
        ::close(fd);
    }
    return result;
}

namespace {

template <typename Content>
FileRead ReadRegularContent(const std::string& path, std::size_t maxBytes, Content& content) {
    content.clear();
    FileRead result;
    const int fd = OpenRegularDescriptor(path, result.errorCode);
    if (fd < 0) {
        result.outcome = result.errorCode == EISDIR || result.errorCode == ENXIO
                             ? FileReadOutcome::NotRegularFile
                             : FileReadOutcome::CannotOpen;
        return result;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || std::size_t(status.st_size) > maxBytes) {
        ::close(fd);
        return {FileReadOutcome::TooLarge, EFBIG};
    }
    // Room for one byte more than fstat saw, so that a file that grew meanwhile is noticed; it
    // may grow up to the limit, and one byte past it makes the file too large. The room doubles,
    // so a growing file costs a few reads, never one per byte.
    content.resize(std::size_t(status.st_size) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            if (filled > maxBytes) {
                result = {FileReadOutcome::TooLarge, EFBIG};
                break;
            }
            content.resize(std::min(maxBytes + 1, content.size() * 2));
        }
        const ssize_t got = ::read(fd, content.data() + filled, content.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result = {FileReadOutcome::ReadFailed, errno};
            break;
        }
        if (got == 0) {
            content.resize(filled);
            break;
        }
        filled += std::size_t(got);
    }
    ::close(fd);
    if (!result)
        content.clear();
    return result;
}

} // namespace

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& content) {
    return ReadRegularContent(path, maxBytes, content);
}

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes,
                         std::vector<std::uint8_t>& content) {
    return ReadRegularContent(path, maxBytes, content);
}

} // namespace korvane
