#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

WriteFailure WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::string temporary = FolderOf(path) + "/.korvane-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return {WriteStage::Open, errno};

    auto fail = [&](WriteStage stage) {
        const int code = errno;
        close(fd);
        unlink(temporary.c_str());
        return WriteFailure{stage, code};
    };

    struct stat existing {};
    const mode_t mode =
        stat(path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : NewFileMode();
    if (fchmod(fd, mode) != 0)
        return fail(WriteStage::Write);

    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(WriteStage::Write);
        written += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0)
        return fail(WriteStage::Write);
    if (close(fd) != 0) {
        const int code = errno;
        unlink(temporary.c_str());
        return {WriteStage::Write, code};
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int code = errno;
        unlink(temporary.c_str());
        return {WriteStage::Replace, code};
    }
    return {};
}

} // namespace korvane
