#include "platform/RegularFile.h"

#include "platform/SystemFile.h"

#include <algorithm>
#include <cerrno>

namespace korvane {

RegularFileOpen OpenRegularFile(const std::string& path) {
    RegularFileOpen result;
    const int fd = system::OpenRegularFile(path, result.errorCode, result.size);
    if (fd < 0)
        return result;
    result.stream = system::StreamOfDescriptor(fd);
    if (!result.stream) {
        result.errorCode = errno;
        system::CloseDescriptor(fd);
    }
    return result;
}

namespace {

template <typename Content>
FileRead ReadRegularContent(const std::string& path, std::size_t maxBytes, Content& content) {
    content.clear();
    FileRead result;
    std::uint64_t size = 0;
    const int fd = system::OpenRegularFile(path, result.errorCode, size);
    if (fd < 0) {
        result.outcome = result.errorCode == EISDIR || result.errorCode == ENXIO
                             ? FileReadOutcome::NotRegularFile
                             : FileReadOutcome::CannotOpen;
        return result;
    }
    if (size > maxBytes) {
        system::CloseDescriptor(fd);
        return {FileReadOutcome::TooLarge, EFBIG};
    }
    // Room for one byte more than the open saw, so that a file that grew meanwhile is noticed; it
    // may grow up to the limit, and one byte past it makes the file too large. The room doubles,
    // so a growing file costs a few reads, never one per byte.
    content.resize(std::size_t(size) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            if (filled > maxBytes) {
                result = {FileReadOutcome::TooLarge, EFBIG};
                break;
            }
            content.resize(std::min(maxBytes + 1, content.size() * 2));
        }
        const long got =
            system::ReadDescriptor(fd, content.data() + filled, content.size() - filled);
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
    system::CloseDescriptor(fd);
    if (result)
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
