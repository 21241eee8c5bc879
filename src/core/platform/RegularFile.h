#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

namespace korvane {

// A file opened for reading only when it is a regular file. Links are followed; what they lead to
// must be regular. The open never waits: a FIFO without a writer is refused at once instead of
// blocking, and a device is never read.
struct RegularFileOpen {
    std::FILE* stream = nullptr; // owned by the caller; nullptr when refused
    int errorCode = 0;           // the system's code when refused
};

// Opens path for binary reading. A folder is refused with EISDIR, anything else that is not a
// regular file (FIFO, device, socket) with ENXIO, as the system reports a FIFO or device that
// cannot be used; a path that cannot be opened gives the system's own code.
RegularFileOpen OpenRegularFile(const std::string& path);

// The whole content of a regular file of at most maxBytes bytes; nothing when the path is not a
// regular file, cannot be read or is larger.
std::optional<std::string> ReadSmallRegularFile(const std::string& path, std::size_t maxBytes);

} // namespace korvane
