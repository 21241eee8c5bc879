#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace korvane {

// A file opened for reading only when it is a regular file. Links are followed; what they lead to
// must be regular. The open never waits: a FIFO without a writer is refused at once instead of
// blocking, and a device is never read.
struct RegularFileOpen {
    std::FILE* stream = nullptr; // owned by the caller; nullptr when refused
    int errorCode = 0;           // the system's code when refused
    std::uint64_t size = 0;      // the file's size when it was opened
};

// Opens path for binary reading. A folder is refused with EISDIR, anything else that is not a
// regular file (FIFO, device, socket) with ENXIO, as the system reports a FIFO or device that
// cannot be used; a path that cannot be opened gives the system's own code.
RegularFileOpen OpenRegularFile(const std::string& path);

// What reading a whole regular file ended with.
enum class FileReadOutcome {
    Read,           // the whole content, at most the limit
    CannotOpen,     // errorCode: the open's own code
    NotRegularFile, // errorCode: EISDIR for a folder, ENXIO for a FIFO, device or socket
    TooLarge,       // larger than the limit, or grew past it while being read (EFBIG)
    ReadFailed,     // errorCode: the read's own code
};

// As every result of the core: true when the read failed.
struct FileRead {
    FileReadOutcome outcome = FileReadOutcome::Read;
    int errorCode = 0;
    explicit operator bool() const { return outcome != FileReadOutcome::Read; }
};

// Reads the whole content of path into content, when path is a regular file of at most maxBytes
// bytes. The path is refused as OpenRegularFile refuses it, before a byte is read; the content is
// read in one pass of at most a few reads, linear in its size, however the file changes
// meanwhile. On failure content is empty.
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& content);
FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes,
                         std::vector<std::uint8_t>& content);

} // namespace korvane
